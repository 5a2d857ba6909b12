// The Windows half of Instrument.h: the thermometer on the far end of a
// null-modem pair of COM ports. scripts/wintest joins two ports of Wine's
// back to back and names them: the program opens TEMPOLOG_TEST_PAIRED_PORT,
// the test plays the instrument on TEMPOLOG_TEST_INSTRUMENT_PORT.
#pragma once

#include <atomic>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace tempolog::testing {

class Instrument : public InstrumentScript {
 public:
  explicit Instrument(const std::string& port) {
    handle_ = CreateFileA(("\\\\.\\" + port).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                          OPEN_EXISTING, 0, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE)
      throw std::runtime_error("the instrument's port " + port + " does not open");
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    GetCommState(handle_, &dcb);
    dcb.BaudRate = CBR_9600;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = dcb.fOutX = dcb.fInX = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    // A read returns what has come, or nothing after 10 ms.
    COMMTIMEOUTS timeouts{MAXDWORD, MAXDWORD, 10, 0, 0};
    if (!SetCommState(handle_, &dcb) || !SetCommTimeouts(handle_, &timeouts)) {
      CloseHandle(handle_);
      throw std::runtime_error("the instrument's port " + port + " cannot be set up");
    }
    PurgeComm(handle_, PURGE_RXCLEAR | PURGE_TXCLEAR);
    thread_ = std::thread([this] { Serve(); });
  }

  ~Instrument() {
    stop_ = true;
    thread_.join();
    CloseHandle(handle_);
  }

  // Sends bytes unasked (stray bytes, a late reply).
  void Send(const std::string& bytes) { Write(bytes); }

 private:
  void Serve() {
    while (!stop_) {
      char buffer[512];
      DWORD n = 0;
      if (!ReadFile(handle_, buffer, sizeof buffer, &n, nullptr)) Sleep(10);
      if (n > 0) Write(Received(buffer, n));
    }
  }

  void Write(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
      DWORD n = 0;
      if (!WriteFile(handle_, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &n,
                     nullptr) ||
          n == 0)
        return;
      done += n;
    }
  }

  HANDLE handle_ = INVALID_HANDLE_VALUE;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

inline std::string TestVariable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// The instrument the window tests choose, and the name it has in the port
// list; empty when no pair of ports was set up.
inline std::string InstrumentPort() { return TestVariable("TEMPOLOG_TEST_PAIRED_PORT"); }
inline std::unique_ptr<Instrument> PlugInstrument(const std::string&) {
  return std::make_unique<Instrument>(TestVariable("TEMPOLOG_TEST_INSTRUMENT_PORT"));
}

}  // namespace tempolog::testing
