// Message boxes and the open/save file dialogs, behind one interface so that
// tests answer them without a display or a person.
//
//   IDialogs          what the program asks of the dialogs
//   Dialogs()         the one in force (the Qt dialogs unless a test set others)
//   TQtDialogs        the real, modal Qt dialogs
// (Tests answer them with tests/support/ScriptedDialogs.h.)
#pragma once

#include <optional>
#include <string>

class QWidget;

namespace tempolog {

class IDialogs {
 public:
  virtual ~IDialogs() = default;

  // The modal error box: error icon, one OK button.
  virtual void ShowError(const std::string& text, const std::string& caption) = 0;

  // A modal information box without icon, one OK button, centred on the screen.
  virtual void ShowMessage(const std::string& text, const std::string& caption) = 0;

  // The modal open dialog; a name of a file that does not exist may be
  // confirmed. Returns the chosen path, or nothing when cancelled.
  virtual std::optional<std::string> ChooseOpenFile() = 0;

  // The modal save dialog, with no overwrite question. Returns the chosen path,
  // or nothing when cancelled.
  virtual std::optional<std::string> ChooseSaveFile() = 0;
};

// The dialogs in force. SetDialogs(nullptr) restores the Qt dialogs; the object
// set must outlive its use.
IDialogs& Dialogs();
void SetDialogs(IDialogs* dialogs);

// Dialogs on the screen. File dialogs have no filter, no default extension and
// no title of their own; the chosen path is returned in the file system's
// encoding.
class TQtDialogs : public IDialogs {
 public:
  void ShowError(const std::string& text, const std::string& caption) override;
  void ShowMessage(const std::string& text, const std::string& caption) override;
  std::optional<std::string> ChooseOpenFile() override;
  std::optional<std::string> ChooseSaveFile() override;
};

}  // namespace tempolog
