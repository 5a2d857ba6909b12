// What assistive technology (screen readers, desktop test tools) sees of the
// log view: a read-only, multi-line text whose characters are the log's bytes
// one to one (line breaks included, so offsets are byte offsets of Text()),
// with its caret and its one selection. Lines (LineBoundary) are the display
// rows as wrapped on screen; paragraphs are the log's lines.
#include <QAccessible>
#include <QAccessibleWidget>
#include <algorithm>

#include "framework/Latin1.h"
#include "framework/LogView.h"

namespace tempolog {

class TLogViewAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
 public:
  explicit TLogViewAccessible(TLogView* view)
      : QAccessibleWidget(view, QAccessible::EditableText), view_(view) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }

  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    s.readOnly = true;
    s.multiLine = true;
    s.selectableText = true;
    s.focusable = true;
    return s;
  }

  QString text(QAccessible::Text kind) const override {
    if (kind == QAccessible::Value) return ToScreen(view_->Text());
    return QAccessibleWidget::text(kind);
  }

  // --- selection
  void selection(int index, int* start, int* end) const override {
    *start = *end = 0;
    if (index != 0 || selectionCount() == 0) return;
    *start = static_cast<int>(view_->SelectionStart());
    *end = static_cast<int>(view_->SelectionEnd());
  }
  int selectionCount() const override {
    return view_->SelectionStart() != view_->SelectionEnd() ? 1 : 0;
  }
  void addSelection(int start, int end) override { setSelection(0, start, end); }
  void removeSelection(int index) override {
    if (index == 0) view_->MoveCursor(view_->cursor_, false);
  }
  void setSelection(int index, int start, int end) override {
    if (index != 0) return;
    view_->anchor_ = Clamped(start);
    view_->MoveCursor(Clamped(end), true);
  }

  // --- cursor
  int cursorPosition() const override { return static_cast<int>(view_->cursor_); }
  void setCursorPosition(int position) override { view_->MoveCursor(Clamped(position), false); }

  // --- text
  QString text(int start, int end) const override {
    const std::size_t from = Clamped(start), to = Clamped(end);
    if (from >= to) return {};
    return ToScreen(std::string_view(view_->Text()).substr(from, to - from));
  }
  int characterCount() const override { return static_cast<int>(view_->Text().size()); }

  QString textAtOffset(int offset, QAccessible::TextBoundaryType boundary, int* start,
                       int* end) const override {
    std::size_t from = 0, to = 0;
    if (Piece(offset, boundary, from, to)) return Report(from, to, start, end);
    return QAccessibleTextInterface::textAtOffset(offset, boundary, start, end);
  }
  QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundary, int* start,
                           int* end) const override {
    std::size_t from = 0, to = 0;
    if (Piece(offset, boundary, from, to)) {
      if (from == 0) return Report(0, 0, start, end);
      Piece(static_cast<int>(from) - 1, boundary, from, to);
      return Report(from, to, start, end);
    }
    return QAccessibleTextInterface::textBeforeOffset(offset, boundary, start, end);
  }
  QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundary, int* start,
                          int* end) const override {
    std::size_t from = 0, to = 0;
    if (Piece(offset, boundary, from, to)) {
      const std::size_t size = view_->Text().size();
      if (to >= size) return Report(size, size, start, end);
      Piece(static_cast<int>(to), boundary, from, to);
      return Report(from, to, start, end);
    }
    return QAccessibleTextInterface::textAfterOffset(offset, boundary, start, end);
  }

  // --- geometry: only characters in view have a place on the screen
  QRect characterRect(int offset) const override {
    const TLogView& v = *view_;
    const std::size_t at = Clamped(offset);
    const TLogView::RowPos target = v.RowOfOffset(at);
    TLogView::RowPos row = v.TopRow();
    if (target < row) return {};
    const int rows = v.VisibleRows();
    int index = 0;
    while (row < target && index <= rows) {
      if (v.StepRows(row, 1) == 0) break;
      ++index;
    }
    if (row != target || index > rows) return {};
    const int column = v.ColumnOfOffset(at);
    const int columns = at < v.Text().size() ? TLogText::CellWidth(v.Text()[at], column) : 1;
    const int left = static_cast<int>(v.ColumnX(column));
    const int right = static_cast<int>(v.ColumnX(column + columns));
    const QRect local(left, index * v.rowHeight_, right - left, v.rowHeight_);
    return QRect(v.viewport()->mapToGlobal(local.topLeft()), local.size());
  }
  int offsetAtPoint(const QPoint& point) const override {
    const QPoint local = view_->viewport()->mapFromGlobal(point);
    if (!view_->viewport()->rect().contains(local)) return -1;
    return static_cast<int>(view_->OffsetAt(local));
  }
  void scrollToSubstring(int start, int) override {
    const TLogView::RowPos row = view_->RowOfOffset(Clamped(start));
    TLogView::RowPos last = view_->TopRow();
    view_->StepRows(last, view_->VisibleRows() - 1);
    if (row < view_->TopRow() || last < row) view_->SetTop(row);
  }
  QString attributes(int offset, int* start, int* end) const override {
    *start = *end = offset;
    return {};
  }

 private:
  std::size_t Clamped(int offset) const {
    return std::min(static_cast<std::size_t>(std::max(offset, 0)), view_->Text().size());
  }

  // The display row or log line around `offset`, break included, where the
  // view knows the boundary better than a scan of the whole text would.
  bool Piece(int offset, QAccessible::TextBoundaryType boundary, std::size_t& from,
             std::size_t& to) const {
    const TLogView& v = *view_;
    const std::size_t at = Clamped(offset);
    if (boundary == QAccessible::ParagraphBoundary) {
      const std::size_t line = v.text_.LineOf(at);
      from = v.text_.LineStart(line);
      to = v.text_.LineEnd(line);
      return true;
    }
    if (boundary == QAccessible::LineBoundary) {
      const TLogView::RowPos pos = v.RowOfOffset(at);
      from = v.RowStartOffset(pos);
      const auto& rows = v.RowsOf(pos.line);
      if (pos.row + 1 < rows.size()) to = v.text_.LineStart(pos.line) + rows[pos.row + 1];
      else to = v.text_.LineEnd(pos.line);
      return true;
    }
    return false;
  }

  QString Report(std::size_t from, std::size_t to, int* start, int* end) const {
    *start = static_cast<int>(from);
    *end = static_cast<int>(to);
    return text(*start, *end);
  }

  TLogView* view_;
};

namespace {

QAccessibleInterface* LogViewFactory(const QString& className, QObject* object) {
  if (className == QLatin1String("tempolog::TLogView") && object != nullptr &&
      object->isWidgetType()) {
    return new TLogViewAccessible(static_cast<TLogView*>(object));
  }
  return nullptr;
}

}  // namespace

void TLogView::InstallAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(LogViewFactory);
    return true;
  }();
  (void)installed;
}

void TLogView::AccessibleCursorMoved() {
  if (!QAccessible::isActive()) return;
  QAccessibleTextSelectionEvent selection(this, static_cast<int>(SelectionStart()),
                                          static_cast<int>(SelectionEnd()));
  selection.setCursorPosition(static_cast<int>(cursor_));
  QAccessible::updateAccessibility(&selection);
  QAccessibleTextCursorEvent cursor(this, static_cast<int>(cursor_));
  QAccessible::updateAccessibility(&cursor);
}

void TLogView::AccessibleTextInserted(std::size_t offset) {
  if (!QAccessible::isActive()) return;
  QAccessibleTextInsertEvent inserted(this, static_cast<int>(offset),
                                      ToScreen(std::string_view(Text()).substr(offset)));
  QAccessible::updateAccessibility(&inserted);
}

void TLogView::AccessibleTextReplaced() {
  if (!QAccessible::isActive()) return;
  // The old text is gone; readers ask again for what they need of the new one.
  QAccessibleTextUpdateEvent updated(this, 0, QString(), QString());
  QAccessible::updateAccessibility(&updated);
  AccessibleCursorMoved();
}

}  // namespace tempolog
