// The measurement log view: display and interaction. The text, its lines and
// their wrapping into display rows come from TLogText (LogText.h).
//
// Positions in the text are byte offsets into text_.Bytes(). A display position
// is a shown line (TLogText::ShownLines(): the logical lines plus the empty line
// after a final line break, where the cursor can stand after the last line) and
// a display row within it (RowPos).
#include "framework/LogView.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>

#include "framework/Application.h"
#include "framework/Latin1.h"
#include "framework/StateHelpers.h"

namespace tempolog {

namespace {

// Lines at least this long keep their wrap in the cache; shorter ones are
// cheaper to wrap again than to look up.
constexpr std::size_t kCachedLineLength = 256;
// The cache is emptied when it grows beyond this many lines.
constexpr std::size_t kCacheLimit = 4096;
// The mouse selection is offered to X11-style middle-click pasting up to this size.
constexpr std::size_t kPrimarySelectionLimit = std::size_t{1} << 20;

// Bytes drawn as a box: C0 controls, DEL and the C1 controls of Latin-1.
bool IsControl(unsigned char c) { return c < 0x20 || (c >= 0x7F && c < 0xA0); }

// Runs fn() where nothing may escape to Qt and no message box may open (painting,
// layout): a failure there leaves the view as it was until the next try.
template <typename Fn>
void Quietly(Fn&& fn) noexcept {
  try {
    fn();
  } catch (...) {
  }
}

}  // namespace

TLogView::TLogView(QWidget* parent) : QAbstractScrollArea(parent) {
  setFrameShape(QFrame::NoFrame);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_InputMethodEnabled, false);
  viewport()->setCursor(Qt::IBeamCursor);
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(false);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);  // the paint fills every pixel
  setFont(DefaultFont(this));
  autoScroll_ = new QTimer(this);
  autoScroll_->setInterval(50);
  connect(autoScroll_, &QTimer::timeout, this, [this] {
    if (!dragging_) {
      autoScroll_->stop();
      return;
    }
    Quietly([this] { DragTo(true); });
  });
  UpdateMetrics();
  UpdateScrollBar();
  InstallAccessibility();
}

TLogView::~TLogView() = default;

QFont TLogView::DefaultFont(QWidget* forScreen) {
  QFont font;
  const QStringList families = QFontDatabase::families();
  if (families.contains(QStringLiteral("Courier New"))) {
    font = QFont(QStringLiteral("Courier New"));
  } else if (families.contains(QStringLiteral("Liberation Mono"))) {
    font = QFont(QStringLiteral("Liberation Mono"));
  } else {
    font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  }
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  font.setKerning(false);
  // Character height 17 pixels at the design resolution of 120 pixels per inch.
  const int dpi = forScreen != nullptr ? forScreen->logicalDpiY() : 96;
  font.setPixelSize(std::max(1, qRound(17.0 * dpi / 120.0)));
  return font;
}

// --- Text -------------------------------------------------------------------

void TLogView::AppendLine(std::string_view line) {
  const std::size_t oldSize = text_.Size();
  const std::size_t lastLine = text_.ShownLines() - 1;
  text_.AppendLine(line);
  // Only the last line shown before the append can have changed.
  rowCache_.erase(lastLine);
  ScheduleSync();
  viewport()->update();
  AccessibleTextInserted(oldSize);
}

void TLogView::Clear() {
  text_.Clear();
  TextReplaced(true);
}

void TLogView::SetText(std::string_view bytes) {
  text_.SetText(bytes);
  TextReplaced(false);  // a loaded log is shown from its start
}

void TLogView::TakeText(TGrowingArray<char>&& bytes) {
  text_.TakeText(std::move(bytes));
  TextReplaced(false);
}

void TLogView::TextReplaced(bool followEnd) {
  rowCache_.clear();
  anchor_ = cursor_ = 0;
  desiredColumn_ = -1;
  top_ = {};
  followEnd_ = followEnd;
  Sync();
  viewport()->update();
  AccessibleTextReplaced();
}

// --- Display rows ---------------------------------------------------------

const std::vector<std::size_t>& TLogView::RowsOf(std::size_t line) const {
  const auto found = rowCache_.find(line);
  if (found != rowCache_.end()) return found->second;
  return rowCache_.emplace(line, TLogText::WrapRows(text_.LineText(line), columns_)).first->second;
}

std::size_t TLogView::RowCount(std::size_t line) const {
  const auto found = rowCache_.find(line);
  if (found != rowCache_.end()) return found->second.size();
  const std::string_view text = text_.LineText(line);
  if (text.size() >= kCachedLineLength) return RowsOf(line).size();
  return TLogText::RowCount(text, columns_);
}

TLogView::RowPos TLogView::EndPos() const {
  std::size_t remaining = static_cast<std::size_t>(VisibleRows());
  std::size_t line = text_.ShownLines() - 1;
  for (;;) {
    const std::size_t rows = RowCount(line);
    if (rows >= remaining) return {line, rows - remaining};
    if (line == 0) return {};
    remaining -= rows;
    --line;
  }
}

std::ptrdiff_t TLogView::StepRows(RowPos& pos, std::ptrdiff_t rows) const {
  std::ptrdiff_t moved = 0;
  while (rows > 0) {
    const std::size_t count = RowCount(pos.line);
    const std::size_t left = count - 1 - pos.row;  // rows below in this line
    if (static_cast<std::size_t>(rows) <= left) {
      pos.row += static_cast<std::size_t>(rows);
      return moved + rows;
    }
    if (pos.line + 1 >= text_.ShownLines()) {
      pos.row = count - 1;
      return moved + static_cast<std::ptrdiff_t>(left);
    }
    rows -= static_cast<std::ptrdiff_t>(left) + 1;
    moved += static_cast<std::ptrdiff_t>(left) + 1;
    ++pos.line;
    pos.row = 0;
  }
  while (rows < 0) {
    if (static_cast<std::size_t>(-rows) <= pos.row) {
      pos.row -= static_cast<std::size_t>(-rows);
      return moved + rows;
    }
    if (pos.line == 0) {
      moved -= static_cast<std::ptrdiff_t>(pos.row);
      pos.row = 0;
      return moved;
    }
    rows += static_cast<std::ptrdiff_t>(pos.row) + 1;
    moved -= static_cast<std::ptrdiff_t>(pos.row) + 1;
    --pos.line;
    pos.row = RowCount(pos.line) - 1;
  }
  return moved;
}

TLogView::RowPos TLogView::Clamp(RowPos pos) const {
  const RowPos end = EndPos();
  if (pos.line >= text_.ShownLines()) return end;
  pos.row = std::min(pos.row, RowCount(pos.line) - 1);
  return std::min(pos, end);
}

TLogView::RowPos TLogView::RowOfOffset(std::size_t offset) const {
  offset = std::min(offset, text_.Size());
  const std::size_t line = text_.LineOf(offset);
  const auto& rows = RowsOf(line);
  const std::size_t within = offset - text_.LineStart(line);
  const auto it = std::upper_bound(rows.begin(), rows.end(), within);
  return {line, static_cast<std::size_t>(it - rows.begin()) - 1};
}

std::size_t TLogView::RowStartOffset(RowPos pos) const {
  return text_.LineStart(pos.line) + RowsOf(pos.line)[pos.row];
}

// Where a row ends for the cursor: the end of the line on its last row; before
// the row's last byte (normally a hanging blank) on a wrapped row, so that the
// cursor stays on the row.
std::size_t TLogView::RowEndOffset(RowPos pos) const {
  const auto& rows = RowsOf(pos.line);
  if (pos.row + 1 >= rows.size()) return text_.LineContentEnd(pos.line);
  return text_.LineStart(pos.line) + rows[pos.row + 1] - 1;
}

std::size_t TLogView::OffsetInRowAtColumn(RowPos pos, double column) const {
  const std::size_t start = RowStartOffset(pos);
  const std::size_t end = RowEndOffset(pos);
  return start + TLogText::OffsetAtColumn(
                     std::string_view(text_.Bytes()).substr(start, end - start), column);
}

int TLogView::ColumnOfOffset(std::size_t offset) const {
  offset = std::min(offset, text_.Size());
  const std::size_t start = RowStartOffset(RowOfOffset(offset));
  return TLogText::RowColumns(std::string_view(text_.Bytes()).substr(start, offset - start));
}

std::size_t TLogView::OffsetAt(QPoint point) const {
  RowPos pos = TopRow();
  std::ptrdiff_t rows =
      point.y() >= 0 ? point.y() / rowHeight_ : -1 - (-point.y() - 1) / rowHeight_;
  const std::ptrdiff_t moved = StepRows(pos, rows);
  if (moved < rows) return text_.Size();  // below the last row
  if (moved > rows) return 0;             // above the first row
  const double column = (point.x() - kLeftMargin) / charWidth_;
  return OffsetInRowAtColumn(pos, std::max(column, 0.0));
}

double TLogView::ColumnX(int column) const { return kLeftMargin + column * charWidth_; }

// --- Scrolling ----------------------------------------------------------------

int TLogView::Columns() const { return columns_; }

int TLogView::VisibleRows() const { return std::max(1, viewport()->height() / rowHeight_); }

TLogView::RowPos TLogView::TopRow() const { return followEnd_ ? EndPos() : Clamp(top_); }

bool TLogView::IsAtEnd() const { return followEnd_ || Clamp(top_) == EndPos(); }

void TLogView::ScheduleSync() {
  if (syncPending_) return;
  syncPending_ = true;
  QMetaObject::invokeMethod(
      this, [this] { Quietly([this] { Sync(); }); }, Qt::QueuedConnection);
}

// Brings the top row and the scroll bar up to date after the text or the view's
// size changed; done once for a burst of appends.
void TLogView::Sync() {
  syncPending_ = false;
  if (rowCache_.size() > kCacheLimit) rowCache_.clear();
  if (followEnd_) {
    top_ = EndPos();
  } else {
    top_ = Clamp(top_);
    followEnd_ = top_ == EndPos();
  }
  UpdateScrollBar();
}

void TLogView::SetTop(RowPos pos) {
  top_ = Clamp(pos);
  followEnd_ = top_ == EndPos();
  UpdateScrollBar();
  viewport()->update();
}

// The scroll bar counts logical lines: its value is the line at the top, its
// maximum the top line when the view shows the end of the log.
void TLogView::UpdateScrollBar() {
  const FlagGuard setting(settingScrollBar_);
  QScrollBar* bar = verticalScrollBar();
  const RowPos end = EndPos();
  const int maximum = static_cast<int>(end.line);
  bar->setRange(0, maximum);
  bar->setPageStep(VisibleRows());
  bar->setSingleStep(1);
  bar->setValue(static_cast<int>(std::min(top_.line, end.line)));
}

void TLogView::scrollContentsBy(int, int) {
  if (settingScrollBar_) return;
  Quietly([this] {
    // Read the operator's choice before a pending update resets the bar.
    const QScrollBar* bar = verticalScrollBar();
    const int value = bar->value();
    const bool atEnd = value >= bar->maximum();
    if (syncPending_) Sync();
    SetTop(atEnd ? EndPos() : RowPos{static_cast<std::size_t>(value), 0});
  });
}

void TLogView::ScrollToTop() {
  if (syncPending_) Sync();
  SetTop({});
}

void TLogView::ScrollToEnd() {
  if (syncPending_) Sync();
  SetTop(EndPos());
}

void TLogView::ScrollRows(std::ptrdiff_t rows) {
  if (syncPending_) Sync();
  RowPos pos = TopRow();
  StepRows(pos, rows);
  SetTop(pos);
}

void TLogView::EnsureCursorVisible() {
  const RowPos cursor = RowOfOffset(cursor_);
  const RowPos top = TopRow();
  if (cursor < top) {
    SetTop(cursor);
    return;
  }
  RowPos last = top;
  StepRows(last, VisibleRows() - 1);
  if (last < cursor) {
    RowPos newTop = cursor;
    StepRows(newTop, -(VisibleRows() - 1));
    SetTop(newTop);
  }
}

// --- Selection and clipboard ---------------------------------------------------

void TLogView::SetPopupMenu(QMenu* menu) { popup_ = menu; }

QMenu* TLogView::PopupMenu() const { return popup_; }

std::size_t TLogView::SelectionStart() const { return std::min(anchor_, cursor_); }

std::size_t TLogView::SelectionEnd() const { return std::max(anchor_, cursor_); }

std::string TLogView::SelectedText() const {
  const std::size_t start = SelectionStart();
  return std::string(text_.Bytes().substr(start, SelectionEnd() - start));
}

void TLogView::Select(std::size_t start, std::size_t end) {
  anchor_ = std::min(start, text_.Size());
  cursor_ = std::min(end, text_.Size());
  desiredColumn_ = -1;
  viewport()->update();
  AccessibleCursorMoved();
}

void TLogView::SelectAll() { Select(0, text_.Size()); }

void TLogView::CopyToClipboard() {
  if (SelectionStart() == SelectionEnd()) return;
  QGuiApplication::clipboard()->setText(ToScreen(SelectedText()));
}

void TLogView::SafeCopy() {
  Guard([this] { CopyToClipboard(); });
}

void TLogView::MoveCursor(std::size_t offset, bool extend, bool keepColumn) {
  cursor_ = std::min(offset, text_.Size());
  if (!extend) anchor_ = cursor_;
  if (!keepColumn) desiredColumn_ = -1;
  EnsureCursorVisible();
  viewport()->update();
  AccessibleCursorMoved();
}

void TLogView::ShowContextMenu(const QPoint& globalPos) {
  QMenu* menu = popup_;
  if (menu == nullptr) {
    if (ownMenu_ == nullptr) {
      ownMenu_ = new QMenu(this);
      QAction* copy = ownMenu_->addAction(QStringLiteral("&Copy"));
      copy->setShortcut(QKeySequence::Copy);
      connect(copy, &QAction::triggered, this, [this] { SafeCopy(); });
      QAction* all = ownMenu_->addAction(QStringLiteral("Select &All"));
      all->setShortcut(QKeySequence::SelectAll);
      connect(all, &QAction::triggered, this, [this] { SelectAll(); });
    }
    ownMenu_->actions().at(0)->setEnabled(SelectionStart() != SelectionEnd());
    menu = ownMenu_;
  }
  menu->exec(globalPos);
}

// --- Events ----------------------------------------------------------------------

void TLogView::UpdateMetrics() {
  const QFontMetricsF metricsF(font());
  const QFontMetrics metrics(font());
  charWidth_ = std::max(1.0, metricsF.horizontalAdvance(QLatin1Char('M')));
  rowHeight_ = std::max(1, metrics.lineSpacing());
  ascent_ = metrics.ascent();
  const int columns =
      std::max(1, static_cast<int>((viewport()->width() - 2 * kLeftMargin) / charWidth_));
  if (columns != columns_) {
    columns_ = columns;
    rowCache_.clear();
  }
}

bool TLogView::event(QEvent* e) {
  if (e->type() == QEvent::KeyPress) {
    // The log keeps the focus on Tab (it wants tabs, though being read-only it
    // does nothing with them).
    const auto* key = static_cast<QKeyEvent*>(e);
    if ((key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) &&
        !(key->modifiers() & Qt::ControlModifier)) {
      e->accept();
      return true;
    }
  }
  return QAbstractScrollArea::event(e);
}

void TLogView::resizeEvent(QResizeEvent* e) {
  QAbstractScrollArea::resizeEvent(e);
  Quietly([this] {
    UpdateMetrics();
    Sync();
  });
}

void TLogView::changeEvent(QEvent* e) {
  QAbstractScrollArea::changeEvent(e);
  if (e->type() == QEvent::FontChange) {
    Quietly([this] {
      UpdateMetrics();
      rowCache_.clear();
      Sync();
      viewport()->update();
    });
  }
}

void TLogView::focusInEvent(QFocusEvent* e) {
  QAbstractScrollArea::focusInEvent(e);
  viewport()->update();
}

void TLogView::focusOutEvent(QFocusEvent* e) {
  QAbstractScrollArea::focusOutEvent(e);
  viewport()->update();
}

void TLogView::paintEvent(QPaintEvent*) {
  Quietly([this] {
    if (syncPending_) Sync();
    QPainter painter(viewport());
    painter.setFont(font());
    const QPalette& pal = palette();
    const int width = viewport()->width();
    const int height = viewport()->height();
    painter.fillRect(0, 0, width, height, pal.base());

    const std::size_t selStart = SelectionStart();
    const std::size_t selEnd = SelectionEnd();
    const bool showCursor = hasFocus();
    RowPos pos = TopRow();
    lastPainted_ = {pos.line, pos.line};
    const std::string_view bytes = text_.Bytes();
    QString cells;
    std::vector<int> columnOf;  // display column of each byte of the row, plus its end
    std::vector<int> boxes;     // columns of control bytes
    int y = 0;
    while (y < height && pos.line < text_.ShownLines()) {
      const std::size_t lineStart = text_.LineStart(pos.line);
      const std::size_t lineEnd = text_.LineContentEnd(pos.line);
      const bool hasBreak = pos.line + 1 < text_.ShownLines();
      const auto& rows = RowsOf(pos.line);
      for (std::size_t r = pos.row; r < rows.size() && y < height; ++r, y += rowHeight_) {
        const bool lastRow = r + 1 == rows.size();
        const std::size_t rowStart = lineStart + rows[r];
        const std::size_t rowEnd = lastRow ? lineEnd : lineStart + rows[r + 1];
        // Every byte takes at least one column, so bytes past this one (blanks
        // hanging past the edge) cannot be in view.
        const std::size_t drawEnd =
            std::min(rowEnd, rowStart + static_cast<std::size_t>(columns_) + 2);
        const auto cellIndex = [&](std::size_t offset) {
          return std::min(offset, drawEnd) - rowStart;
        };
        cells.clear();
        columnOf.clear();
        boxes.clear();
        int col = 0;
        for (std::size_t i = rowStart; i < drawEnd; ++i) {
          const auto c = static_cast<unsigned char>(bytes[i]);
          columnOf.push_back(col);
          if (c == '\t') {
            const int w = TLogText::CellWidth('\t', col);
            cells.append(QString(w, QLatin1Char(' ')));
            col += w;
            continue;
          }
          if (IsControl(c)) {
            boxes.push_back(col);
            cells.append(QLatin1Char(' '));
          } else if (c == 0xAD) {
            cells.append(QLatin1Char('-'));  // a soft hyphen would take no room
          } else {
            cells.append(QChar(c));
          }
          ++col;
        }
        columnOf.push_back(col);

        const QPointF origin(ColumnX(0), y + ascent_);
        const auto drawCells = [&](const QColor& colour) {
          painter.setPen(colour);
          painter.drawText(origin, cells);
          for (const int box : boxes) {
            painter.drawRect(QRectF(ColumnX(box) + 1, y + 2, charWidth_ - 3, rowHeight_ - 5));
          }
        };
        drawCells(pal.color(QPalette::Text));

        // Selection: the selected cells in the highlight colours; a selected line
        // break shows as one highlighted cell after the line.
        const std::size_t a = std::max(selStart, rowStart);
        const std::size_t b = std::min(selEnd, rowEnd);
        double x0 = 0;
        double x1 = 0;
        if (a < b) {
          x0 = ColumnX(columnOf[cellIndex(a)]);
          x1 = ColumnX(columnOf[cellIndex(b)]);
        }
        if (lastRow && hasBreak && selStart <= lineEnd && selEnd > lineEnd) {
          if (x1 <= x0) x0 = ColumnX(col);
          x1 = ColumnX(col + 1);
        }
        if (x1 > x0) {
          const QRectF band(x0, y, x1 - x0, rowHeight_);
          painter.fillRect(band, pal.highlight());
          painter.save();
          painter.setClipRect(band);
          drawCells(pal.color(QPalette::HighlightedText));
          painter.restore();
        }

        // The cursor stands on the row that holds its offset; the end of a
        // wrapped row belongs to the next row.
        if (showCursor && cursor_ >= rowStart &&
            (cursor_ < rowEnd || (lastRow && cursor_ <= lineEnd))) {
          const double x = ColumnX(columnOf[cellIndex(cursor_)]);
          painter.fillRect(QRectF(x, y, 1, rowHeight_), pal.color(QPalette::Text));
        }
      }
      lastPainted_.end = pos.line + 1;
      ++pos.line;
      pos.row = 0;
    }
  });
}

void TLogView::keyPressEvent(QKeyEvent* e) {
  if (e == QKeySequence::Copy) {
    SafeCopy();
    return;
  }
  if (e == QKeySequence::SelectAll) {
    SelectAll();
    return;
  }
  const bool extend = e->modifiers() & Qt::ShiftModifier;
  const bool control = e->modifiers() & Qt::ControlModifier;
  bool handled = true;
  Guard([&] {
    if (syncPending_) Sync();
    switch (e->key()) {
      case Qt::Key_Left:
      case Qt::Key_Right: {
        const int direction = e->key() == Qt::Key_Left ? -1 : 1;
        if (!extend && anchor_ != cursor_) {
          MoveCursor(direction < 0 ? SelectionStart() : SelectionEnd(), false);
        } else {
          MoveCursor(text_.Step(cursor_, direction), extend);
        }
        break;
      }
      case Qt::Key_Up:
      case Qt::Key_Down:
      case Qt::Key_PageUp:
      case Qt::Key_PageDown: {
        const bool page = e->key() == Qt::Key_PageUp || e->key() == Qt::Key_PageDown;
        const bool up = e->key() == Qt::Key_Up || e->key() == Qt::Key_PageUp;
        const std::ptrdiff_t rows = (page ? VisibleRows() : 1) * (up ? -1 : 1);
        if (control && !page) {
          ScrollRows(rows);  // scroll the view, leave the cursor
          break;
        }
        if (desiredColumn_ < 0) desiredColumn_ = ColumnOfOffset(cursor_);
        RowPos pos = RowOfOffset(cursor_);
        if (StepRows(pos, rows) == 0) break;
        if (page) ScrollRows(rows);
        MoveCursor(OffsetInRowAtColumn(pos, desiredColumn_), extend, true);
        break;
      }
      case Qt::Key_Home:
        MoveCursor(control ? 0 : RowStartOffset(RowOfOffset(cursor_)), extend);
        break;
      case Qt::Key_End:
        MoveCursor(control ? text_.Size() : RowEndOffset(RowOfOffset(cursor_)), extend);
        break;
      default: handled = false;
    }
  });
  if (!handled) e->ignore();
}

void TLogView::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  Guard([&] {
    if (syncPending_) Sync();
    const bool extend = e->modifiers() & Qt::ShiftModifier;
    MoveCursor(OffsetAt(e->position().toPoint()), extend);
    dragging_ = true;
  });
}

void TLogView::mouseMoveEvent(QMouseEvent* e) {
  if (!dragging_ || !(e->buttons() & Qt::LeftButton)) return;
  dragPoint_ = e->position().toPoint();
  const bool outside = dragPoint_.y() < 0 || dragPoint_.y() >= viewport()->height();
  if (outside && !autoScroll_->isActive()) autoScroll_->start();
  if (!outside) autoScroll_->stop();
  Quietly([this, outside] { DragTo(outside); });
}

// Extends the mouse selection to the last drag point; above or below the view
// the log scrolls a row at a time (again on every tick of the auto-scroll timer
// while the mouse stays there).
void TLogView::DragTo(bool scroll) {
  if (scroll) ScrollRows(dragPoint_.y() < 0 ? -1 : 1);
  cursor_ = OffsetAt(dragPoint_);
  desiredColumn_ = -1;
  viewport()->update();
  AccessibleCursorMoved();
}

void TLogView::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton || !dragging_) return;
  dragging_ = false;
  autoScroll_->stop();
  Quietly([this] {
    QClipboard* clipboard = QGuiApplication::clipboard();
    const std::size_t size = SelectionEnd() - SelectionStart();
    if (clipboard->supportsSelection() && size > 0 && size <= kPrimarySelectionLimit) {
      clipboard->setText(ToScreen(SelectedText()), QClipboard::Selection);
    }
  });
}

void TLogView::mouseDoubleClickEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  Guard([&] {
    // Selects the word (run of non-blank bytes within the line) under the mouse.
    const auto [start, end] = text_.WordAt(OffsetAt(e->position().toPoint()));
    anchor_ = start;
    MoveCursor(end, true);
    dragging_ = false;
  });
}

void TLogView::wheelEvent(QWheelEvent* e) {
  Quietly([&] {
    // Whole notches scroll the system's number of rows; finer devices add up.
    wheelRemainder_ += e->angleDelta().y();
    const int notches = wheelRemainder_ / 120;
    wheelRemainder_ -= notches * 120;
    if (notches != 0)
      ScrollRows(-static_cast<std::ptrdiff_t>(notches) * QApplication::wheelScrollLines());
  });
  e->accept();
}

void TLogView::contextMenuEvent(QContextMenuEvent* e) {
  Guard([&] { ShowContextMenu(e->globalPos()); });
  e->accept();
}

}  // namespace tempolog
