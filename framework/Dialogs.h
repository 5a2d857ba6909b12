// Message boxes and the open/save file dialogs, behind one interface so that
// tests answer them without a display or a person.
//
//   IDialogs          what the program asks of the dialogs
//   Dialogs()         the one in force (the Qt dialogs unless a test set others)
//   TQtDialogs        the real, modal Qt dialogs
//   TScriptedDialogs  a fake: answers from a queue, records everything shown
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

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

// A scripted stand-in for tests. Installs itself while it lives.
class TScriptedDialogs : public IDialogs {
 public:
  enum class Kind { Error, Message, OpenFile, SaveFile };
  struct Shown {
    Kind kind;
    std::string text;     // box text; empty for file dialogs
    std::string caption;  // box caption; empty for file dialogs
  };

  TScriptedDialogs();
  ~TScriptedDialogs() override;
  TScriptedDialogs(const TScriptedDialogs&) = delete;
  TScriptedDialogs& operator=(const TScriptedDialogs&) = delete;

  // Queues the answer of the next file dialog: a path, or nothing to cancel.
  // A file dialog with no queued answer is cancelled.
  void AnswerFile(std::optional<std::string> path) { answers_.push_back(std::move(path)); }

  // Runs while a box is "open", as the nested loop of a real modal box would
  // run timer ticks. Receives what is being shown.
  std::function<void(const Shown&)> WhileOpen;

  const std::vector<Shown>& History() const { return shown_; }
  std::vector<Shown> Boxes(Kind kind) const;  // only the shown items of one kind
  void ClearHistory() { shown_.clear(); }

  void ShowError(const std::string& text, const std::string& caption) override;
  void ShowMessage(const std::string& text, const std::string& caption) override;
  std::optional<std::string> ChooseOpenFile() override;
  std::optional<std::string> ChooseSaveFile() override;

 private:
  void Record(Kind kind, const std::string& text, const std::string& caption);
  std::optional<std::string> NextAnswer();

  std::deque<std::optional<std::string>> answers_;
  std::vector<Shown> shown_;
  IDialogs* previous_ = nullptr;
};

}  // namespace tempolog
