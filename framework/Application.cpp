#include "framework/Application.h"

#include <exception>
#include <new>

#include "framework/Dialogs.h"
#include "framework/Exceptions.h"
#include "framework/Latin1.h"

namespace tempolog {

namespace {

std::string& TitleStorage() {
  static std::string title;
  return title;
}

}  // namespace

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

TApplication::~TApplication() = default;

bool TApplication::notify(QObject* receiver, QEvent* event) {
  bool handled = false;
  Guard([&] { handled = QApplication::notify(receiver, event); });
  return handled;
}

int TApplication::Run() {
  int code = 0;
  Guard([&] { code = exec(); });
  return code;
}

const std::string& ApplicationTitle() { return TitleStorage(); }

void SetApplicationTitle(const std::string& title) {
  TitleStorage() = title;
  if (QCoreApplication::instance() != nullptr) {
    QCoreApplication::setApplicationName(ToScreen(title));
  }
}

bool CatchHandler(const std::function<void()>& handler, std::string& message) noexcept {
  try {
    handler();
    return true;
  } catch (const Exception& e) {
    message = e.Message();
  } catch (const std::bad_alloc&) {
    message = kOutOfMemoryMessage;
  } catch (const std::exception& e) {
    message = e.what();
  } catch (...) {
    message = kUnknownErrorMessage;
  }
  return false;
}

bool Guard(const std::function<void()>& handler) noexcept {
  std::string message;
  if (CatchHandler(handler, message)) return true;
  ShowErrorBox(message);
  return false;
}

void ShowErrorBox(const std::string& message) noexcept {
  try {
    Dialogs().ShowError(ErrorBoxText(message), ApplicationTitle());
  } catch (...) {
    // Nothing sensible is left to do when even the box cannot be shown (no
    // memory for its texts); the program carries on without it.
  }
}

}  // namespace tempolog
