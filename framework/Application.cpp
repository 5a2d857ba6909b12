#include "framework/Application.h"

#include <QCursor>
#include <exception>
#include <new>

#include "framework/Dialogs.h"
#include "framework/Latin1.h"
#include "framework/core/Exceptions.h"
#include "framework/core/GrowingArray.h"

namespace tempolog {

namespace {

std::string& TitleStorage() {
  static std::string title;
  return title;
}

int openErrorBoxes = 0;  // error boxes on screen (nested modal loops)

}  // namespace

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
  // Millions of readings held for days: their growing lists must not be
  // copied at each growth.
  address_space::MapLargeBlocks();
}

TApplication::~TApplication() = default;

bool TApplication::notify(QObject* receiver, QEvent* event) {
  // Runs for every event: no allocation on the way in.
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    ShowErrorBox(CurrentExceptionMessage());
    return false;
  }
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

std::string CurrentExceptionMessage() noexcept {
  try {
    try {
      throw;
    } catch (const Exception& e) {
      return e.Message();
    } catch (const std::bad_alloc&) {
      return kOutOfMemoryMessage;
    } catch (const std::exception& e) {
      return e.what();
    } catch (...) {
      return kUnknownErrorMessage;
    }
  } catch (...) {
    // Copying the message itself ran out of memory.
    return {};
  }
}

bool CatchHandler(const std::function<void()>& handler, std::string& message) noexcept {
  try {
    handler();
    return true;
  } catch (...) {
    message = CurrentExceptionMessage();
    return false;
  }
}

bool Guard(const std::function<void()>& handler) noexcept {
  std::string message;
  if (CatchHandler(handler, message)) return true;
  ShowErrorBox(message);
  return false;
}

bool ErrorBoxOpen() noexcept { return openErrorBoxes > 0; }

void ShowErrorBox(const std::string& message) noexcept {
  struct OpenBox {
    OpenBox() { ++openErrorBoxes; }
    ~OpenBox() { --openErrorBoxes; }
  } open;
  try {
    Dialogs().ShowError(ErrorBoxText(message), ApplicationTitle());
  } catch (...) {
    // Nothing sensible is left to do when even the box cannot be shown (no
    // memory for its texts); the program carries on without it.
  }
}

TBusyCursor::TBusyCursor() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }

TBusyCursor::~TBusyCursor() { QApplication::restoreOverrideCursor(); }

}  // namespace tempolog
