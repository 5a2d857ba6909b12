#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>
#include <functional>
#include <string>
#include <vector>

#include "framework/Latin1.h"
#include "framework/LogView.h"
#include "framework/core/Exceptions.h"
#include "tests/support/TestApplication.h"

namespace tempolog {
namespace {

std::vector<std::string> LinesOf(const TLogView& view) {
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < view.LineCount(); ++i) lines.emplace_back(view.Line(i));
  return lines;
}

void Key(QWidget& widget, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QKeyEvent press(QEvent::KeyPress, key, modifiers);
  QApplication::sendEvent(&widget, &press);
}

void Mouse(QWidget* viewport, QEvent::Type type, QPointF at) {
  const Qt::MouseButtons buttons =
      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent event(type, at, viewport->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
  QApplication::sendEvent(viewport, &event);
}

QImage Render(TLogView& view) {
  QImage image(view.size(), QImage::Format_RGB32);
  image.fill(Qt::white);
  view.render(&image);
  return image;
}

// --- Appending and lines ------------------------------------------------------

TEST(LogViewText, AppendLineFollowsTheLineBreakRules) {
  struct Row {
    const char* name;
    std::string initial;
    std::vector<std::string> appended;
    std::string expected;
  } rows[] = {
      {"empty log", "", {"a"}, "a\r\n"},
      {"two lines", "", {"a", "b"}, "a\r\nb\r\n"},
      {"empty line", "", {""}, "\r\n"},
      {"after CR LF", "x\r\n", {"a"}, "x\r\na\r\n"},
      {"after bare LF", "x\n", {"a"}, "x\na\r\n"},
      {"after bare CR", "x\r", {"a"}, "x\ra\r\n"},
      {"no final break", "x", {"a"}, "x\r\na"},
      {"no final break, twice", "x", {"a", "b"}, "x\r\na\r\nb"},
  };
  for (const Row& row : rows) {
    TLogView view;
    view.SetText(row.initial);
    for (const std::string& line : row.appended) view.AppendLine(line);
    EXPECT_EQ(view.Text(), row.expected) << row.name;
  }
}

TEST(LogViewText, LinesEndAtCrLfOrCrLfAndAFinalEmptyLineIsNotCounted) {
  struct Row {
    const char* name;
    std::string text;
    std::vector<std::string> lines;
  } rows[] = {
      {"empty", "", {}},
      {"one line without break", "abc", {"abc"}},
      {"CR LF", "a\r\nb\r\n", {"a", "b"}},
      {"LF only", "a\nb\n", {"a", "b"}},
      {"CR only", "a\rb\r", {"a", "b"}},
      {"mixed", "a\rb\nc\r\nd", {"a", "b", "c", "d"}},
      {"LF CR is two breaks", "a\n\rb", {"a", "", "b"}},
      {"CR CR LF", "a\r\r\nb", {"a", "", "b"}},
      {"empty lines", "\r\n\r\n", {"", ""}},
      {"lone break", "\n", {""}},
      {"blank line counts", "a\r\n\r\nb\r\n", {"a", "", "b"}},
  };
  for (const Row& row : rows) {
    TLogView view;
    view.SetText(row.text);
    EXPECT_EQ(view.LineCount(), row.lines.size()) << row.name;
    EXPECT_EQ(LinesOf(view), row.lines) << row.name;
    EXPECT_EQ(view.Text(), row.text) << row.name;
  }
}

TEST(LogViewText, AppendedBreakBytesAreIndexedAsIfTheTextWereLoaded) {
  // Lines may themselves hold CR or LF; the lines seen after appending must be
  // the same as those of the same text loaded in one piece.
  struct Row {
    const char* name;
    std::string initial;
    std::vector<std::string> appended;
  } rows[] = {
      {"LF inside", "", {"a\nb", "c"}},
      {"CR inside", "", {"a\rb"}},
      {"LF after a final CR", "x\r", {"\ny"}},
      {"line of one CR", "", {"\r", "z"}},
      {"loaded without final break", "p\rq", {"\nr", "s"}},
  };
  for (const Row& row : rows) {
    TLogView grown;
    grown.SetText(row.initial);
    for (const std::string& line : row.appended) grown.AppendLine(line);
    TLogView loaded;
    loaded.SetText(grown.Text());
    EXPECT_EQ(LinesOf(grown), LinesOf(loaded)) << row.name;
  }
}

TEST(LogViewText, AppendingALineOfTheLogItselfIsSafe) {
  TLogView view;
  view.SetText("first line of the log, long enough to live on the heap");
  for (int i = 0; i < 20; ++i) view.AppendLine(view.Line(0));  // the buffer grows meanwhile
  ASSERT_EQ(view.LineCount(), 21u);
  EXPECT_EQ(view.Line(20), view.Line(0));
}

TEST(LogViewText, EveryByteValueRoundTrips) {
  std::string all;
  for (int c = 0; c < 256; ++c) all.push_back(static_cast<char>(c));
  TLogView view;
  view.SetText(all);
  EXPECT_EQ(view.Text(), all);

  std::string noBreaks;
  for (char c : all) {
    if (c != '\r' && c != '\n') noBreaks.push_back(c);
  }
  view.Clear();
  view.AppendLine(noBreaks);
  view.AppendLine(std::string("\0\0", 2));
  ASSERT_EQ(view.LineCount(), 2u);
  EXPECT_EQ(view.Line(0), noBreaks);
  EXPECT_EQ(view.Line(1), std::string("\0\0", 2));
  EXPECT_EQ(view.Text(), noBreaks + "\r\n" + std::string("\0\0", 2) + "\r\n");
  // Painting control and 8-bit bytes must not disturb the text.
  view.resize(300, 100);
  Render(view);
  EXPECT_EQ(view.Line(0), noBreaks);
}

TEST(LogViewText, LineOutOfRangeIsAnError) {
  TLogView view;
  view.SetText("a\r\n");
  EXPECT_EQ(view.Line(0), "a");
  try {
    view.Line(1);
    FAIL() << "no exception";
  } catch (const EListError& e) {
    EXPECT_EQ(e.Message(), "List index out of bounds (1)");
  }
}

TEST(LogViewText, BeyondCapacityIsRefusedAndTheEarlierTextKept) {
  TLogView view;
  view.SetCapacity(20);
  view.SetText("0123456789\r\n");  // 12 bytes
  struct Row {
    const char* name;
    std::function<void()> action;
  } rows[] = {
      {"append too long", [&] { view.AppendLine("0123456789"); }},
      {"set too long", [&] { view.SetText(std::string(21, 'x')); }},
      {"take too long",
       [&] {
         TGrowingArray<char> bytes;
         std::fill_n(bytes.Extend(21), 21, 'x');
         view.TakeText(std::move(bytes));
       }},
  };
  for (const Row& row : rows) {
    try {
      row.action();
      ADD_FAILURE() << row.name << ": no exception";
    } catch (const EInvalidOperation& e) {
      EXPECT_EQ(e.Message(), "Text exceeds memo capacity") << row.name;
    }
    EXPECT_EQ(view.Text(), "0123456789\r\n") << row.name;
    EXPECT_EQ(view.LineCount(), 1u) << row.name;
  }
  view.AppendLine("012345");  // exactly 20 bytes
  EXPECT_EQ(view.Text().size(), 20u);
  EXPECT_THROW(view.AppendLine(""), EInvalidOperation);
  EXPECT_EQ(view.LineCount(), 2u);
  view.SetText(std::string(20, 'y'));
  EXPECT_EQ(view.LineCount(), 1u);
  view.SetCapacity(5);  // below what the view holds already
  EXPECT_THROW(view.AppendLine("z"), EInvalidOperation);
  EXPECT_EQ(view.Text(), std::string(20, 'y'));
  view.SetCapacity(TLogView::kCapacity * 2);
  EXPECT_EQ(view.Capacity(), TLogView::kCapacity);
}

TEST(LogViewText, ClearEmptiesEverything) {
  TLogView view;
  view.SetText("abc\r\ndef");
  view.SelectAll();
  view.Clear();
  EXPECT_EQ(view.Text(), "");
  EXPECT_EQ(view.LineCount(), 0u);
  EXPECT_EQ(view.SelectedText(), "");
  view.AppendLine("x");
  EXPECT_EQ(view.Text(), "x\r\n");
}

// --- Selection and clipboard -------------------------------------------------

TEST(LogViewSelection, SelectedTextIsTheExactBytes) {
  TLogView view;
  view.SetText("alpha\r\nbeta\r\n\xE9t\xE9\r\n");
  struct Row {
    std::size_t start, end;
    std::string expected;
  } rows[] = {
      {2, 9, "pha\r\nbe"},
      {9, 2, "pha\r\nbe"},
      {0, 0, ""},
      {13, 100, "\xE9t\xE9\r\n"},
  };
  for (const Row& row : rows) {
    view.Select(row.start, row.end);
    EXPECT_EQ(view.SelectedText(), row.expected) << row.start << ".." << row.end;
  }
}

TEST(LogViewSelection, CopyAndSelectAllWorkFromTheKeyboard) {
  TLogView view;
  view.SetText("2024-03-05 07:04:09\t23.5\r\nna\xEFve\r\n");
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->setText(QStringLiteral("before"));
  Key(view, Qt::Key_C, Qt::ControlModifier);  // nothing selected: clipboard untouched
  EXPECT_EQ(clipboard->text(), QStringLiteral("before"));

  Key(view, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(view.SelectedText(), view.Text());
  Key(view, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(FromScreen(clipboard->text()), view.Text());

  // Keyboard selection: from the start, Shift+End then Shift+Right over the break.
  Key(view, Qt::Key_Home, Qt::ControlModifier);
  Key(view, Qt::Key_End, Qt::ShiftModifier);
  EXPECT_EQ(view.SelectedText(), "2024-03-05 07:04:09\t23.5");
  Key(view, Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_EQ(view.SelectedText(), "2024-03-05 07:04:09\t23.5\r\n");
  Key(view, Qt::Key_Down, Qt::ShiftModifier);
  EXPECT_EQ(view.SelectedText(), "2024-03-05 07:04:09\t23.5\r\nna\xEFve\r\n");
  Key(view, Qt::Key_Left);  // collapses to the start of the selection
  EXPECT_EQ(view.SelectedText(), "");
  EXPECT_EQ(view.SelectionStart(), 0u);
}

TEST(LogViewSelection, MouseDragSelects) {
  TLogView view;
  view.resize(400, 200);
  view.SetText("abcdef\r\nghijkl\r\n");
  const double cw = QFontMetricsF(view.font()).horizontalAdvance(QLatin1Char('M'));
  const int rh = QFontMetrics(view.font()).lineSpacing();
  QWidget* vp = view.viewport();
  Mouse(vp, QEvent::MouseButtonPress, QPointF(2 + 2 * cw + 1, rh / 2));  // before 'c'
  Mouse(vp, QEvent::MouseMove, QPointF(2 + 3 * cw + 1, rh + rh / 2));    // before 'j'
  Mouse(vp, QEvent::MouseButtonRelease, QPointF(2 + 3 * cw + 1, rh + rh / 2));
  EXPECT_EQ(view.SelectedText(), "cdef\r\nghi");
  // Below the last line selects to the end of the text.
  Mouse(vp, QEvent::MouseButtonPress, QPointF(2, rh / 2));
  Mouse(vp, QEvent::MouseMove, QPointF(300, 190));
  EXPECT_EQ(view.SelectedText(), view.Text());
}

TEST(LogViewSelection, DraggingBelowTheViewScrollsAndExtendsTheSelection) {
  TLogView view;
  view.resize(300, 100);
  std::string text;
  for (int i = 0; i < 100; ++i) text += "row " + std::to_string(i) + "\r\n";
  view.SetText(text);
  QWidget* vp = view.viewport();
  Mouse(vp, QEvent::MouseButtonPress, QPointF(3, 3));
  Mouse(vp, QEvent::MouseMove, QPointF(3, vp->height() + 10));
  EXPECT_EQ(view.TopRow().line, 1u);
  // The mouse stays below the view: the log keeps scrolling on its own.
  QElapsedTimer clock;
  clock.start();
  while (view.TopRow().line < 3 && clock.elapsed() < 5000)
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  EXPECT_GE(view.TopRow().line, 3u);
  Mouse(vp, QEvent::MouseButtonRelease, QPointF(3, vp->height() + 10));
  const auto top = view.TopRow();
  const std::string selected = view.SelectedText();
  EXPECT_EQ(selected.rfind("row 0\r\n", 0), 0u);
  EXPECT_GT(selected.size(), static_cast<std::size_t>(view.VisibleRows()) * 6);
  QElapsedTimer settle;
  settle.start();
  while (settle.elapsed() < 150) QApplication::processEvents(QEventLoop::AllEvents, 20);
  EXPECT_EQ(view.TopRow(), top);  // released: no more scrolling
}

TEST(LogViewSelection, TabKeepsTheFocusAndThePopupMenuShows) {
  QWidget window;
  auto* layout = new QVBoxLayout(&window);
  auto* view = new TLogView;
  auto* edit = new QLineEdit;
  layout->addWidget(view);
  layout->addWidget(edit);
  window.show();
  QApplication::setActiveWindow(&window);
  view->setFocus();
  QApplication::processEvents();
  ASSERT_TRUE(view->hasFocus());
  Key(*view, Qt::Key_Tab);
  QApplication::processEvents();
  EXPECT_TRUE(view->hasFocus());

  QMenu menu;
  menu.addAction(QStringLiteral("&Clear"));
  view->SetPopupMenu(&menu);
  bool shown = false;
  QObject::connect(&menu, &QMenu::aboutToShow, [&] {
    shown = true;
    QTimer::singleShot(0, &menu, &QMenu::close);
  });
  QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), view->mapToGlobal(QPoint(5, 5)));
  QApplication::sendEvent(view->viewport(), &event);
  EXPECT_TRUE(shown);
}

// --- Display --------------------------------------------------------------------

TEST(LogViewDisplay, WrapRowsBreaksAfterBlanksAndCutsLongWords) {
  struct Row {
    const char* name;
    std::string line;
    int columns;
    std::vector<std::size_t> rows;
  } rows[] = {
      {"empty", "", 10, {0}},
      {"fits", "abc", 10, {0}},
      {"exactly fits", "abcde", 5, {0}},
      {"long word cut", "abcdefghij", 5, {0, 5}},
      {"break after blank", "hello world", 8, {0, 6}},
      {"blanks hang", "ab    ", 2, {0}},
      {"hanging blanks then word", "ab  cd", 3, {0, 4}},
      {"long run of blanks hangs", std::string(50, ' ') + "x", 10, {0, 50}},
      {"tab to stop", "a\tb", 8, {0, 2}},
      {"tab fits", "a\tb", 9, {0}},
      {"one column", "abc", 1, {0, 1, 2}},
      {"zero columns as one", "ab", 0, {0, 1}},
      {"log line", "2024-03-05 07:04:09\t23.5", 20, {0, 20}},
      {"log line, narrow", "2024-03-05 07:04:09\t23.5", 15, {0, 11, 20}},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(TLogView::WrapRows(row.line, row.columns), row.rows) << row.name;
  }
}

TEST(LogViewDisplay, PaintingVisitsOnlyTheLinesInView) {
  TLogView view;
  view.resize(400, 300);
  for (int i = 0; i < 200000; ++i) view.AppendLine("2024-03-05 07:04:09\t23.5");
  QApplication::processEvents();
  Render(view);
  const auto painted = view.LastPaintedLines();
  const auto rows = static_cast<std::size_t>(view.VisibleRows());
  EXPECT_LE(painted.end - painted.first, rows + 1);
  EXPECT_EQ(painted.end, view.LineCount() + 1);  // down to the empty line after the last break

  view.ScrollToTop();
  Render(view);
  EXPECT_EQ(view.LastPaintedLines().first, 0u);
  EXPECT_LE(view.LastPaintedLines().end, rows + 1);
}

TEST(LogViewDisplay, ViewFollowsNewLinesOnlyWhenAtTheEnd) {
  TLogView view;
  view.resize(400, 200);
  const auto rows = static_cast<std::size_t>(view.VisibleRows());
  for (std::size_t i = 0; i < 3 * rows; ++i) view.AppendLine("line " + std::to_string(i));
  QApplication::processEvents();
  EXPECT_TRUE(view.IsAtEnd());
  // The last rows are: the newest line, then the empty line after its break.
  EXPECT_EQ(view.TopRow().line, 3 * rows + 1 - rows);

  view.ScrollRows(-2);
  EXPECT_FALSE(view.IsAtEnd());
  const auto top = view.TopRow();
  view.AppendLine("new");
  QApplication::processEvents();
  EXPECT_EQ(view.TopRow(), top);

  view.ScrollRows(1000);
  EXPECT_TRUE(view.IsAtEnd());
  view.AppendLine("newer");
  QApplication::processEvents();
  EXPECT_TRUE(view.IsAtEnd());
  Render(view);
  EXPECT_EQ(view.LastPaintedLines().end, view.LineCount() + 1);
}

TEST(LogViewDisplay, LoadedTextShowsFromItsStartAndTheEndStaysReachable) {
  TLogView view;
  view.resize(400, 200);
  std::string text;
  for (int i = 0; i < 1000; ++i) text += "l" + std::to_string(i) + "\r\n";
  view.SetText(text);
  EXPECT_EQ(view.TopRow(), TLogView::RowPos{});
  EXPECT_FALSE(view.IsAtEnd());
  // The scroll bar's maximum is the end of the log.
  view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum());
  EXPECT_TRUE(view.IsAtEnd());
  Render(view);
  EXPECT_EQ(view.LastPaintedLines().end, view.LineCount() + 1);
}

TEST(LogViewDisplay, ScrollBarMovesTheViewEvenRightAfterAppends) {
  TLogView view;
  view.resize(400, 200);
  for (int i = 0; i < 500; ++i) view.AppendLine("reading " + std::to_string(i));
  QApplication::processEvents();
  EXPECT_TRUE(view.IsAtEnd());
  view.AppendLine("one more");  // its scroll update is still pending
  view.verticalScrollBar()->setValue(10);
  EXPECT_EQ(view.TopRow(), (TLogView::RowPos{10, 0}));
  EXPECT_FALSE(view.IsAtEnd());
  QApplication::processEvents();
  EXPECT_EQ(view.TopRow(), (TLogView::RowPos{10, 0}));
  EXPECT_EQ(view.verticalScrollBar()->value(), 10);
}

TEST(LogViewDisplay, LongLineWrapsIntoRowsThatScrollOneByOne) {
  TLogView view;
  view.resize(300, 200);
  const int columns = view.Columns();
  ASSERT_GT(columns, 5);
  const std::size_t rows = static_cast<std::size_t>(view.VisibleRows());
  // One line of 3 * rows rows, then short lines.
  view.AppendLine(std::string(static_cast<std::size_t>(columns) * 3 * rows, 'x'));
  view.AppendLine("tail");
  view.ScrollToTop();
  view.ScrollRows(1);
  EXPECT_EQ(view.TopRow(), (TLogView::RowPos{0, 1}));
  view.ScrollRows(static_cast<std::ptrdiff_t>(rows));
  EXPECT_EQ(view.TopRow(), (TLogView::RowPos{0, rows + 1}));
  view.ScrollRows(-static_cast<std::ptrdiff_t>(rows) - 5);
  EXPECT_EQ(view.TopRow(), (TLogView::RowPos{0, 0}));
  view.ScrollRows(static_cast<std::ptrdiff_t>(10 * rows));
  EXPECT_TRUE(view.IsAtEnd());
  // The end: the last rows of the long line, "tail" and the empty last line.
  EXPECT_EQ(view.TopRow(), (TLogView::RowPos{0, 3 * rows - (rows - 2)}));
}

TEST(LogViewDisplay, TabsAdvanceToTheNextStop) {
  TLogView view;
  view.resize(300, 60);
  view.SetText("a\tb");
  const QImage image = Render(view);
  const double cw = QFontMetricsF(view.font()).horizontalAdvance(QLatin1Char('M'));
  const int rh = QFontMetrics(view.font()).lineSpacing();
  const auto inkInColumn = [&](int column) {
    for (int x = static_cast<int>(2 + column * cw) + 1; x < static_cast<int>(2 + (column + 1) * cw);
         ++x) {
      for (int y = 0; y < rh; ++y) {
        if (qGray(image.pixel(x, y)) < 128) return true;
      }
    }
    return false;
  };
  EXPECT_TRUE(inkInColumn(0));
  for (int column = 1; column < 8; ++column) EXPECT_FALSE(inkInColumn(column)) << column;
  EXPECT_TRUE(inkInColumn(8));
}

}  // namespace
}  // namespace tempolog
