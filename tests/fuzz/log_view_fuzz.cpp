// The log view's text store driven by a byte program: appends, replacing and
// taken texts, clearing, a lowered capacity, selections, scrolling, resizing,
// keys, mouse drags, double clicks and the wheel, the event loop and painting. After every step the
// text is what a plain string model says, the line index agrees with the text, and word wrapping
// keeps every visible byte inside the row.
#include <fuzzer/FuzzedDataProvider.h>

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPixmap>
#include <QWheelEvent>
#include <string>
#include <vector>

#include "framework/Dialogs.h"
#include "framework/LogView.h"
#include "framework/core/Exceptions.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/support/ScriptedDialogs.h"

namespace {

using namespace tempolog;

using fuzz::SplitLines;

TLogView* view = nullptr;
TScriptedDialogs* dialogs = nullptr;  // records any error box instead of showing it

// Rows start inside the line in rising order, never on a blank (except the
// first), and every byte that is not a blank starts left of the row's edge.
void CheckWrap(std::string_view line, int columns, std::string_view input) {
  const std::vector<std::size_t> rows = TLogView::WrapRows(line, columns);
  FUZZ_CHECK(!rows.empty() && rows[0] == 0, input);
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const std::size_t start = rows[r];
    const std::size_t end = r + 1 < rows.size() ? rows[r + 1] : line.size();
    FUZZ_CHECK(r == 0 || (start > rows[r - 1] && start < line.size()), input);
    FUZZ_CHECK(r == 0 || (line[start] != ' ' && line[start] != '\t'), input);
    int column = 0;
    for (std::size_t i = start; i < end; ++i) {
      if (line[i] == '\t') {
        column += TLogView::kTabWidth - column % TLogView::kTabWidth;
      } else if (line[i] == ' ') {
        ++column;
      } else {
        FUZZ_CHECK(column < std::max(columns, 1), input);
        ++column;
      }
    }
  }
}

void SendKey(int key, Qt::KeyboardModifiers modifiers) {
  QKeyEvent press(QEvent::KeyPress, key, modifiers);
  QCoreApplication::sendEvent(view, &press);
}

void SendMouse(QEvent::Type type, QPoint at, Qt::MouseButtons held,
               Qt::KeyboardModifiers modifiers) {
  QMouseEvent event(type, at, view->viewport()->mapToGlobal(at), Qt::LeftButton, held, modifiers);
  QCoreApplication::sendEvent(view->viewport(), &event);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::StartApplication();
  dialogs = new TScriptedDialogs();
  view = new TLogView();  // lives as long as the process
  view->resize(200, 120);
  view->show();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input = fuzz::Bytes(data, size);
  FuzzedDataProvider in(data, size);
  view->SetCapacity(TLogView::kCapacity);
  view->Clear();
  std::string model;
  static constexpr int kKeys[] = {Qt::Key_Up,   Qt::Key_Down, Qt::Key_Left,   Qt::Key_Right,
                                  Qt::Key_Home, Qt::Key_End,  Qt::Key_PageUp, Qt::Key_PageDown,
                                  Qt::Key_A,    Qt::Key_C};

  for (int step = 0; step < 64 && in.remaining_bytes() > 0; ++step) {
    switch (in.ConsumeIntegralInRange<int>(0, 15)) {
      case 0:
      case 1: {
        const std::string line = in.ConsumeRandomLengthString(80);
        std::string next = model;
        if (!next.empty() && next.back() != '\r' && next.back() != '\n') next += "\r\n";
        next += line;
        if (model.empty() || model.back() == '\r' || model.back() == '\n') next += "\r\n";
        try {
          view->AppendLine(line);
          model = next;
        } catch (const EInvalidOperation&) {
          FUZZ_CHECK(next.size() > view->Capacity(), input);
        }
        break;
      }
      case 2:
      case 3: {
        const std::string text = in.ConsumeRandomLengthString(300);
        const bool take = in.ConsumeBool();
        const std::string copy = text;
        try {
          if (take) {
            TGrowingArray<char> bytes;
            bytes.append(text.data(), text.size());
            view->TakeText(std::move(bytes));
          } else {
            view->SetText(text);
          }
          model = copy;
        } catch (const EInvalidOperation&) {
          FUZZ_CHECK(copy.size() > view->Capacity(), input);
        }
        break;
      }
      case 4:
        view->Clear();
        model.clear();
        break;
      case 5: view->SetCapacity(in.ConsumeIntegralInRange<std::size_t>(0, 600)); break;
      case 6: {
        const auto a = in.ConsumeIntegralInRange<std::size_t>(0, model.size() + 4);
        const auto b = in.ConsumeIntegralInRange<std::size_t>(0, model.size() + 4);
        view->Select(a, b);
        const std::size_t lo = std::min({a, b, model.size()});
        const std::size_t hi = std::min(std::max(a, b), model.size());
        FUZZ_CHECK(view->SelectedText() == model.substr(lo, hi - lo), input);
        break;
      }
      case 7: view->ScrollRows(in.ConsumeIntegralInRange<int>(-50, 50)); break;
      case 8:
        if (in.ConsumeBool()) view->ScrollToEnd();
        else view->ScrollToTop();
        break;
      case 9:
        view->resize(in.ConsumeIntegralInRange<int>(1, 400),
                     in.ConsumeIntegralInRange<int>(1, 300));
        break;
      case 10: {
        const int key = kKeys[in.ConsumeIntegralInRange<int>(0, std::size(kKeys) - 1)];
        const auto mods = in.ConsumeIntegral<std::uint8_t>();
        Qt::KeyboardModifiers modifiers;
        if (mods & 1) modifiers |= Qt::ShiftModifier;
        if (mods & 2) modifiers |= Qt::ControlModifier;
        SendKey(key, modifiers);
        break;
      }
      case 11: view->grab(); break;
      case 12:
        // Lets the scheduled scroll update and the paint of the shown view run.
        QCoreApplication::processEvents();
        break;
      case 13: {  // a drag, possibly out of the view
        const QPoint from(in.ConsumeIntegralInRange<int>(-20, 420),
                          in.ConsumeIntegralInRange<int>(-20, 320));
        const QPoint to(in.ConsumeIntegralInRange<int>(-20, 420),
                        in.ConsumeIntegralInRange<int>(-20, 320));
        const Qt::KeyboardModifiers modifiers =
            in.ConsumeBool() ? Qt::ShiftModifier : Qt::NoModifier;
        SendMouse(QEvent::MouseButtonPress, from, Qt::LeftButton, modifiers);
        SendMouse(QEvent::MouseMove, to, Qt::LeftButton, modifiers);
        SendMouse(QEvent::MouseButtonRelease, to, Qt::NoButton, modifiers);
        break;
      }
      case 14: {
        const QPoint at(in.ConsumeIntegralInRange<int>(-20, 420),
                        in.ConsumeIntegralInRange<int>(-20, 320));
        SendMouse(QEvent::MouseButtonDblClick, at, Qt::LeftButton, Qt::NoModifier);
        break;
      }
      case 15: {
        const QPoint at(10, 10);
        const QPoint angle(0, in.ConsumeIntegralInRange<int>(-1000, 1000));
        QWheelEvent wheel(at, view->viewport()->mapToGlobal(at), QPoint(), angle, Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(view->viewport(), &wheel);
        break;
      }
    }
    FUZZ_CHECK(dialogs->History().empty(), input);

    FUZZ_CHECK(view->Text() == model, input);
    FUZZ_CHECK(view->SelectionEnd() <= model.size(), input);
    const std::vector<std::string_view> lines = SplitLines(model);
    FUZZ_CHECK(view->LineCount() == lines.size(), input);
    const TLogView::RowPos top = view->TopRow();
    FUZZ_CHECK(top.line <= lines.size(), input);
    for (std::size_t i = 0; i < lines.size(); ++i) {
      FUZZ_CHECK(view->Line(i) == lines[i], input);
      CheckWrap(lines[i], view->Columns(), input);
    }
    try {
      (void)view->Line(lines.size());
      FUZZ_CHECK(!"a line past the end is refused", input);
    } catch (const EListError&) {
    }
  }
  return 0;
}
