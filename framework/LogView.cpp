// Stub bodies; the full view follows.
#include "framework/LogView.h"

#include <QMenu>

#include "framework/Exceptions.h"

namespace tempolog {

TLogView::TLogView(QWidget* parent) : QAbstractScrollArea(parent) {}
TLogView::~TLogView() = default;
void TLogView::AppendLine(std::string_view line) { text_.append(line).append("\r\n"); }
void TLogView::Clear() { text_.clear(); }
void TLogView::SetText(std::string_view bytes) { text_.assign(bytes); }
void TLogView::TakeText(std::string&& bytes) { text_ = std::move(bytes); }
std::size_t TLogView::LineCount() const { return 0; }
std::string_view TLogView::Line(std::size_t) const { return {}; }
void TLogView::SetCapacity(std::size_t bytes) { capacity_ = bytes; }
void TLogView::SetPopupMenu(QMenu* menu) { popup_ = menu; }
QMenu* TLogView::PopupMenu() const { return popup_; }
std::string TLogView::SelectedText() const { return {}; }
void TLogView::SelectAll() {}
void TLogView::Select(std::size_t, std::size_t) {}
std::size_t TLogView::SelectionStart() const { return 0; }
std::size_t TLogView::SelectionEnd() const { return 0; }
void TLogView::CopyToClipboard() {}
TLogView::RowPos TLogView::TopRow() const { return top_; }
bool TLogView::IsAtEnd() const { return true; }
void TLogView::ScrollToTop() {}
void TLogView::ScrollToEnd() {}
void TLogView::ScrollRows(std::ptrdiff_t) {}
int TLogView::Columns() const { return columns_; }
int TLogView::VisibleRows() const { return 1; }
std::vector<std::size_t> TLogView::WrapRows(std::string_view, int) { return {0}; }
QFont TLogView::DefaultFont(QWidget*) { return QFont(); }
bool TLogView::event(QEvent* e) { return QAbstractScrollArea::event(e); }
void TLogView::paintEvent(QPaintEvent*) {}
void TLogView::resizeEvent(QResizeEvent* e) { QAbstractScrollArea::resizeEvent(e); }
void TLogView::changeEvent(QEvent* e) { QAbstractScrollArea::changeEvent(e); }
void TLogView::keyPressEvent(QKeyEvent* e) { QAbstractScrollArea::keyPressEvent(e); }
void TLogView::mousePressEvent(QMouseEvent*) {}
void TLogView::mouseMoveEvent(QMouseEvent*) {}
void TLogView::mouseReleaseEvent(QMouseEvent*) {}
void TLogView::mouseDoubleClickEvent(QMouseEvent*) {}
void TLogView::wheelEvent(QWheelEvent*) {}
void TLogView::contextMenuEvent(QContextMenuEvent*) {}
void TLogView::focusInEvent(QFocusEvent* e) { QAbstractScrollArea::focusInEvent(e); }
void TLogView::focusOutEvent(QFocusEvent* e) { QAbstractScrollArea::focusOutEvent(e); }
void TLogView::scrollContentsBy(int, int) {}

}  // namespace tempolog
