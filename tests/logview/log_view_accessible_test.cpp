// What assistive technology reads of the log view through Qt's accessibility
// interfaces: role and state, its text by lines, the caret and the selection.
// (Change notices reach only an active platform bridge, which the offscreen
// platform has not, so they are not seen here.)
#include <gtest/gtest.h>

#include <QAccessible>

#include "framework/LogView.h"
#include "tests/support/TestApplication.h"  // the application object

namespace tempolog {
namespace {

TEST(LogViewAccessibility, ReadsAsAReadOnlyMultiLineTextWithItsLinesCaretAndSelection) {
  TLogView view;
  view.resize(400, 200);
  view.show();
  view.AppendLine("12:00:01\t23.5");
  view.AppendLine("12:00:02\t23.6");
  QAccessibleInterface* a = QAccessible::queryAccessibleInterface(&view);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->role(), QAccessible::EditableText);
  EXPECT_TRUE(a->state().readOnly);
  EXPECT_TRUE(a->state().multiLine);
  QAccessibleTextInterface* t = a->textInterface();
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->characterCount(), 30);
  EXPECT_EQ(a->text(QAccessible::Value), QStringLiteral("12:00:01\t23.5\r\n12:00:02\t23.6\r\n"));

  struct Row {
    int offset;
    QAccessible::TextBoundaryType boundary;
    const char* which;  // at, before, after
    int start, end;
  } rows[] = {
      {20, QAccessible::LineBoundary, "at", 15, 30},
      {3, QAccessible::ParagraphBoundary, "at", 0, 15},
      {20, QAccessible::LineBoundary, "before", 0, 15},
      {3, QAccessible::LineBoundary, "after", 15, 30},
      {3, QAccessible::LineBoundary, "before", 0, 0},
      {20, QAccessible::ParagraphBoundary, "after", 30, 30},
      {4, QAccessible::CharBoundary, "at", 4, 5},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.which) + " " + std::to_string(row.offset));
    int start = -1, end = -1;
    const std::string which = row.which;
    const QString text = which == "at" ? t->textAtOffset(row.offset, row.boundary, &start, &end)
                         : which == "before"
                             ? t->textBeforeOffset(row.offset, row.boundary, &start, &end)
                             : t->textAfterOffset(row.offset, row.boundary, &start, &end);
    EXPECT_EQ(start, row.start);
    EXPECT_EQ(end, row.end);
    EXPECT_EQ(text, t->text(row.start, row.end));
  }

  // The caret and the selection as the view has them, and set through the interface.
  view.Select(15, 23);
  EXPECT_EQ(t->cursorPosition(), 23);
  ASSERT_EQ(t->selectionCount(), 1);
  int start = -1, end = -1;
  t->selection(0, &start, &end);
  EXPECT_EQ(start, 15);
  EXPECT_EQ(end, 23);
  t->setSelection(0, 0, 8);
  EXPECT_EQ(view.SelectedText(), "12:00:01");
  t->setCursorPosition(4);
  EXPECT_EQ(t->selectionCount(), 0);
  EXPECT_EQ(view.SelectionEnd(), 4u);
  // A character in view has its place on the screen.
  const QRect first = t->characterRect(0);
  ASSERT_FALSE(first.isEmpty());
  EXPECT_EQ(t->offsetAtPoint(first.center()), 0);
}

}  // namespace
}  // namespace tempolog
