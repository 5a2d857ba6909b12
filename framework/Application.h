// The application object, the guard every handler runs through, and the error
// box that shows what escaped a handler.
//
// Everything the window does is entered from Qt: button clicks, menu commands,
// focus changes, timer ticks, the close request. Each such entry goes through
// Guard(), which catches whatever the handler throws, shows it in the modal
// error box (caption = application title, error icon, one OK button) and lets
// the program carry on. No exception ever crosses a Qt frame.
#pragma once

#include <QApplication>
#include <functional>
#include <string>

namespace tempolog {

// The program's application object. Exactly one exists while the program runs;
// tests create one too. notify() is a last line of defence: an exception that
// slipped past every Guard still ends in the error box, not in Qt.
class TApplication : public QApplication {
 public:
  TApplication(int& argc, char** argv);
  ~TApplication() override;

  bool notify(QObject* receiver, QEvent* event) override;

  // Runs the message loop until the main window closes; returns the exit code.
  int Run();
};

// The application title: caption of every message box ("tempolog" once the
// program has set it).
const std::string& ApplicationTitle();
void SetApplicationTitle(const std::string& title);

// Runs `handler`; an exception leaving it is shown in the error box and
// swallowed. Returns true when the handler completed, false when it threw.
bool Guard(const std::function<void()>& handler) noexcept;

// Like Guard, but the exception is handed back as its message instead of being
// shown: for callers that decide themselves whether to show it (timers).
// Returns true when the handler completed; otherwise `message` holds the text.
bool CatchHandler(const std::function<void()>& handler, std::string& message) noexcept;

// The message of the exception being handled (call only inside a catch
// block): the program's own message, what() of a standard exception, or a
// fixed text for out-of-memory and for anything else. Never throws.
std::string CurrentExceptionMessage() noexcept;

// Shows the error box for an exception message: the text is ErrorBoxText(message),
// the caption the application title. Never throws.
void ShowErrorBox(const std::string& message) noexcept;

// True while an error box is on the screen (its modal loop still delivers
// timer ticks).
bool ErrorBoxOpen() noexcept;

// Shows the busy cursor over the program's windows while it lives, for work
// that holds the window's thread for a while (loading or saving a long log).
class TBusyCursor {
 public:
  TBusyCursor();
  ~TBusyCursor();
  TBusyCursor(const TBusyCursor&) = delete;
  TBusyCursor& operator=(const TBusyCursor&) = delete;
};

// The message shown for exceptions that carry no message of their own.
inline constexpr const char* kOutOfMemoryMessage = "Out of memory";
inline constexpr const char* kUnknownErrorMessage = "Unexpected error";

}  // namespace tempolog
