// The dialogs as tests answer them: file dialogs from a queue of answers,
// every box and dialog recorded. Installs itself while it lives, as the
// dialogs in force (framework/Dialogs.h), and puts back the ones before it.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "framework/Dialogs.h"

namespace tempolog {

class TScriptedDialogs : public IDialogs {
 public:
  enum class Kind { Error, Message, OpenFile, SaveFile };
  struct Shown {
    Kind kind;
    std::string text;     // box text; empty for file dialogs
    std::string caption;  // box caption; empty for file dialogs
  };

  TScriptedDialogs() : previous_(&Dialogs()) { SetDialogs(this); }
  ~TScriptedDialogs() override { SetDialogs(previous_); }
  TScriptedDialogs(const TScriptedDialogs&) = delete;
  TScriptedDialogs& operator=(const TScriptedDialogs&) = delete;

  // Queues the answer of the next file dialog: a path, or nothing to cancel.
  // A file dialog with no queued answer is cancelled.
  void AnswerFile(std::optional<std::string> path) { answers_.push_back(std::move(path)); }

  // Runs while a box is "open", as the nested loop of a real modal box would
  // run timer ticks. Receives what is being shown.
  std::function<void(const Shown&)> WhileOpen;

  const std::vector<Shown>& History() const { return shown_; }
  // Only the shown items of one kind.
  std::vector<Shown> Boxes(Kind kind) const {
    std::vector<Shown> result;
    for (const Shown& s : shown_) {
      if (s.kind == kind) result.push_back(s);
    }
    return result;
  }
  void ClearHistory() { shown_.clear(); }

  void ShowError(const std::string& text, const std::string& caption) override {
    Record(Kind::Error, text, caption);
  }
  void ShowMessage(const std::string& text, const std::string& caption) override {
    Record(Kind::Message, text, caption);
  }
  std::optional<std::string> ChooseOpenFile() override {
    Record(Kind::OpenFile, {}, {});
    return NextAnswer();
  }
  std::optional<std::string> ChooseSaveFile() override {
    Record(Kind::SaveFile, {}, {});
    return NextAnswer();
  }

 private:
  void Record(Kind kind, const std::string& text, const std::string& caption) {
    shown_.push_back({kind, text, caption});
    // A copy: what runs while the box is open may show further boxes.
    const Shown current = shown_.back();
    if (WhileOpen) WhileOpen(current);
  }
  std::optional<std::string> NextAnswer() {
    if (answers_.empty()) return std::nullopt;
    std::optional<std::string> answer = std::move(answers_.front());
    answers_.pop_front();
    return answer;
  }

  std::deque<std::optional<std::string>> answers_;
  std::vector<Shown> shown_;
  IDialogs* previous_ = nullptr;
};

}  // namespace tempolog
