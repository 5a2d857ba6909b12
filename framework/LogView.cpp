// The measurement log view. See LogView.h for the storage and display model.
//
// Positions in the text are byte offsets into text_. A display position is a
// logical line plus a display row within it (RowPos). The lines shown are the
// entries of starts_, including the empty line after a final line break, where
// the cursor can stand after the last line.
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
#include <functional>
#include <new>

#include "framework/Application.h"
#include "framework/Exceptions.h"
#include "framework/Latin1.h"
#include "framework/StateHelpers.h"

namespace tempolog {

namespace {

constexpr char kCapacityMessage[] = "Text exceeds memo capacity";
constexpr char kOutOfMemory[] = "Out of memory";
// Lines at least this long keep their wrap in the cache; shorter ones are
// cheaper to wrap again than to look up.
constexpr std::size_t kCachedLineLength = 256;
// The cache is emptied when it grows beyond this many lines.
constexpr std::size_t kCacheLimit = 4096;
// The mouse selection is offered to X11-style middle-click pasting up to this size.
constexpr std::size_t kPrimarySelectionLimit = std::size_t{1} << 20;

bool IsBreak(char c) { return c == '\r' || c == '\n'; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Bytes drawn as a box: C0 controls, DEL and the C1 controls of Latin-1.
bool IsControl(unsigned char c) { return c < 0x20 || (c >= 0x7F && c < 0xA0); }

// Adds to `starts` the line starts found in text[from, end). A line feed right
// after a carriage return completes a CR LF break; this also holds across the
// boundary at `from`, so the text can be indexed piece by piece as it grows.
void IndexBreaks(std::string_view text, std::size_t from, std::vector<std::uint32_t>& starts) {
  const char* data = text.data();
  const std::size_t size = text.size();
  for (std::size_t i = from; i < size; ++i) {
    const char c = data[i];
    if (c == '\n') {
      if (i > 0 && data[i - 1] == '\r') {
        starts.back() = static_cast<std::uint32_t>(i + 1);
      } else {
        starts.push_back(static_cast<std::uint32_t>(i + 1));
      }
    } else if (c == '\r') {
      starts.push_back(static_cast<std::uint32_t>(i + 1));
    }
  }
}

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

bool TLogView::EndsWithBreak() const { return !text_.empty() && IsBreak(text_.back()); }

std::size_t TLogView::LineCount() const {
  std::size_t count = starts_.size();
  if (starts_.back() == text_.size()) --count;  // the empty line after a final break
  return count;
}

std::size_t TLogView::LineContentEnd(std::size_t index) const {
  if (index + 1 >= starts_.size()) return text_.size();
  std::size_t end = starts_[index + 1] - 1;  // the break's last byte
  if (text_[end] == '\n' && end > starts_[index] && text_[end - 1] == '\r') --end;
  return end;
}

std::size_t TLogView::LineOf(std::size_t offset) const {
  const auto it = std::upper_bound(starts_.begin(), starts_.end(), offset);
  return static_cast<std::size_t>(it - starts_.begin()) - 1;
}

std::string_view TLogView::Line(std::size_t index) const {
  if (index >= LineCount()) {
    throw EListError(
        FormatMessage("List index out of bounds (%s)", {std::to_string(index)}));
  }
  const std::size_t start = starts_[index];
  return std::string_view(text_).substr(start, LineContentEnd(index) - start);
}

void TLogView::SetCapacity(std::size_t bytes) { capacity_ = std::min(bytes, kCapacity); }

void TLogView::AppendLine(std::string_view line) {
  if (text_.empty() || EndsWithBreak()) {
    AppendBytes(line, "\r\n");
  } else {
    AppendBytes("\r\n", line);
  }
}

void TLogView::AppendBytes(std::string_view a, std::string_view b) {
  // A piece taken from the log itself would move when the buffer grows.
  const auto inText = [this](std::string_view piece) {
    return !piece.empty() && std::less_equal<>()(text_.data(), piece.data()) &&
           std::less<>()(piece.data(), text_.data() + text_.size());
  };
  if (inText(a) || inText(b)) {
    const std::string copy = std::string(a).append(b);
    AppendBytes(copy, {});
    return;
  }
  const std::size_t oldSize = text_.size();
  const std::size_t added = a.size() + b.size();
  if (oldSize > capacity_ || added > capacity_ - oldSize) throw EInvalidOperation(kCapacityMessage);
  const std::size_t oldCount = starts_.size();
  const std::uint32_t oldLast = starts_.back();
  try {
    text_.append(a).append(b);
    IndexBreaks(text_, oldSize, starts_);
  } catch (const std::bad_alloc&) {
    text_.resize(oldSize);
    starts_.resize(oldCount);
    starts_.back() = oldLast;
    throw EOutOfResources(kOutOfMemory);
  }
  // Only the last line shown before the append can have changed.
  rowCache_.erase(oldCount - 1);
  ScheduleSync();
  viewport()->update();
  AccessibleTextInserted(oldSize);
}

void TLogView::Clear() {
  std::string().swap(text_);
  std::vector<std::uint32_t>{0}.swap(starts_);
  rowCache_.clear();
  anchor_ = cursor_ = 0;
  desiredColumn_ = -1;
  top_ = {};
  followEnd_ = true;
  Sync();
  viewport()->update();
  AccessibleTextReplaced();
}

void TLogView::SetText(std::string_view bytes) {
  if (bytes.size() > capacity_) throw EInvalidOperation(kCapacityMessage);
  try {
    ReplaceText(std::string(bytes));
  } catch (const std::bad_alloc&) {
    throw EOutOfResources(kOutOfMemory);
  }
}

void TLogView::TakeText(std::string&& bytes) {
  if (bytes.size() > capacity_) throw EInvalidOperation(kCapacityMessage);
  try {
    ReplaceText(std::move(bytes));
  } catch (const std::bad_alloc&) {
    throw EOutOfResources(kOutOfMemory);
  }
}

void TLogView::ReplaceText(std::string&& bytes) {
  // The new index is built aside, so a failure leaves the old text whole.
  std::vector<std::uint32_t> starts{0};
  IndexBreaks(bytes, 0, starts);
  text_.swap(bytes);
  starts_.swap(starts);
  std::string().swap(bytes);  // release the old text now
  rowCache_.clear();
  anchor_ = cursor_ = 0;
  desiredColumn_ = -1;
  top_ = {};
  followEnd_ = false;  // a loaded log is shown from its start
  Sync();
  viewport()->update();
  AccessibleTextReplaced();
}

// --- Display rows ---------------------------------------------------------

std::vector<std::size_t> TLogView::WrapRows(std::string_view line, int columns) {
  columns = std::max(columns, 1);
  std::vector<std::size_t> rows{0};
  std::size_t rowStart = 0;
  std::size_t breakAt = 0;  // just after the last blank of the row; rowStart if none
  int column = 0;
  std::size_t i = 0;
  while (i < line.size()) {
    const char c = line[i];
    if (IsBlank(c)) {
      // Blanks never start a row: past the edge they hang on the current one.
      const int width = c == '\t' ? kTabWidth - column % kTabWidth : 1;
      column = std::min(column + width, columns);
      breakAt = ++i;
      continue;
    }
    if (column >= columns) {
      rowStart = breakAt > rowStart ? breakAt : i;
      rows.push_back(rowStart);
      breakAt = rowStart;
      column = 0;
      i = rowStart;
      continue;
    }
    ++column;
    ++i;
  }
  return rows;
}

const std::vector<std::size_t>& TLogView::RowsOf(std::size_t line) const {
  const auto found = rowCache_.find(line);
  if (found != rowCache_.end()) return found->second;
  const std::size_t start = starts_[line];
  const auto text = std::string_view(text_).substr(start, LineContentEnd(line) - start);
  return rowCache_.emplace(line, WrapRows(text, columns_)).first->second;
}

std::size_t TLogView::RowCount(std::size_t line) const {
  const auto found = rowCache_.find(line);
  if (found != rowCache_.end()) return found->second.size();
  const std::size_t length = LineContentEnd(line) - starts_[line];
  // No line shorter than this can need a second row, tabs or not.
  if (length * kTabWidth <= static_cast<std::size_t>(columns_)) return 1;
  if (length >= kCachedLineLength) return RowsOf(line).size();
  return WrapRows(std::string_view(text_).substr(starts_[line], length), columns_).size();
}

TLogView::RowPos TLogView::EndPos() const {
  std::size_t remaining = static_cast<std::size_t>(VisibleRows());
  std::size_t line = starts_.size() - 1;
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
    if (pos.line + 1 >= starts_.size()) {
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
  if (pos.line >= starts_.size()) return end;
  pos.row = std::min(pos.row, RowCount(pos.line) - 1);
  return std::min(pos, end);
}

TLogView::RowPos TLogView::RowOfOffset(std::size_t offset) const {
  offset = std::min(offset, text_.size());
  const std::size_t line = LineOf(offset);
  const auto& rows = RowsOf(line);
  const std::size_t within = offset - starts_[line];
  const auto it = std::upper_bound(rows.begin(), rows.end(), within);
  return {line, static_cast<std::size_t>(it - rows.begin()) - 1};
}

std::size_t TLogView::RowStartOffset(RowPos pos) const {
  return starts_[pos.line] + RowsOf(pos.line)[pos.row];
}

// Where a row ends for the cursor: the end of the line on its last row; before
// the row's last byte (normally a hanging blank) on a wrapped row, so that the
// cursor stays on the row.
std::size_t TLogView::RowEndOffset(RowPos pos) const {
  const auto& rows = RowsOf(pos.line);
  if (pos.row + 1 >= rows.size()) return LineContentEnd(pos.line);
  return starts_[pos.line] + rows[pos.row + 1] - 1;
}

std::size_t TLogView::OffsetInRowAtColumn(RowPos pos, double column) const {
  const std::size_t start = RowStartOffset(pos);
  const std::size_t end = RowEndOffset(pos);
  int col = 0;
  for (std::size_t i = start; i < end; ++i) {
    const int width = text_[i] == '\t' ? kTabWidth - col % kTabWidth : 1;
    if (column < col + width / 2.0) return i;
    col += width;
  }
  return end;
}

int TLogView::ColumnOfOffset(std::size_t offset) const {
  offset = std::min(offset, text_.size());
  const std::size_t start = RowStartOffset(RowOfOffset(offset));
  int col = 0;
  for (std::size_t i = start; i < offset && !IsBreak(text_[i]); ++i) {
    col += text_[i] == '\t' ? kTabWidth - col % kTabWidth : 1;
  }
  return col;
}

std::size_t TLogView::OffsetAt(QPoint point) const {
  RowPos pos = TopRow();
  std::ptrdiff_t rows = point.y() >= 0 ? point.y() / rowHeight_ : -1 - (-point.y() - 1) / rowHeight_;
  const std::ptrdiff_t moved = StepRows(pos, rows);
  if (moved < rows) return text_.size();  // below the last row
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
  QMetaObject::invokeMethod(this, [this] { Quietly([this] { Sync(); }); }, Qt::QueuedConnection);
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
  return text_.substr(start, SelectionEnd() - start);
}

void TLogView::Select(std::size_t start, std::size_t end) {
  anchor_ = std::min(start, text_.size());
  cursor_ = std::min(end, text_.size());
  desiredColumn_ = -1;
  viewport()->update();
  AccessibleCursorMoved();
}

void TLogView::SelectAll() { Select(0, text_.size()); }

void TLogView::CopyToClipboard() {
  if (SelectionStart() == SelectionEnd()) return;
  QGuiApplication::clipboard()->setText(ToScreen(SelectedText()));
}

void TLogView::SafeCopy() { Guard([this] { CopyToClipboard(); }); }

void TLogView::MoveCursor(std::size_t offset, bool extend, bool keepColumn) {
  cursor_ = std::min(offset, text_.size());
  if (!extend) anchor_ = cursor_;
  if (!keepColumn) desiredColumn_ = -1;
  EnsureCursorVisible();
  viewport()->update();
  AccessibleCursorMoved();
}

std::size_t TLogView::StepOffset(std::size_t offset, int direction) const {
  if (direction > 0) {
    if (offset >= text_.size()) return text_.size();
    if (text_[offset] == '\r' && offset + 1 < text_.size() && text_[offset + 1] == '\n') {
      return offset + 2;
    }
    return offset + 1;
  }
  if (offset == 0) return 0;
  if (text_[offset - 1] == '\n' && offset >= 2 && text_[offset - 2] == '\r') return offset - 2;
  return offset - 1;
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
    QString cells;
    std::vector<int> columnOf;  // display column of each byte of the row, plus its end
    std::vector<int> boxes;     // columns of control bytes
    int y = 0;
    while (y < height && pos.line < starts_.size()) {
      const std::size_t lineStart = starts_[pos.line];
      const std::size_t lineEnd = LineContentEnd(pos.line);
      const bool hasBreak = pos.line + 1 < starts_.size();
      const auto& rows = RowsOf(pos.line);
      for (std::size_t r = pos.row; r < rows.size() && y < height; ++r, y += rowHeight_) {
        const bool lastRow = r + 1 == rows.size();
        const std::size_t rowStart = lineStart + rows[r];
        const std::size_t rowEnd = lastRow ? lineEnd : lineStart + rows[r + 1];
        // Every byte takes at least one column, so bytes past this one (blanks
        // hanging past the edge) cannot be in view.
        const std::size_t drawEnd = std::min(rowEnd, rowStart + static_cast<std::size_t>(columns_) + 2);
        const auto cellIndex = [&](std::size_t offset) { return std::min(offset, drawEnd) - rowStart; };
        cells.clear();
        columnOf.clear();
        boxes.clear();
        int col = 0;
        for (std::size_t i = rowStart; i < drawEnd; ++i) {
          const auto c = static_cast<unsigned char>(text_[i]);
          columnOf.push_back(col);
          if (c == '\t') {
            const int w = kTabWidth - col % kTabWidth;
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
        if (showCursor && cursor_ >= rowStart && (cursor_ < rowEnd || (lastRow && cursor_ <= lineEnd))) {
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
          MoveCursor(StepOffset(cursor_, direction), extend);
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
        MoveCursor(control ? text_.size() : RowEndOffset(RowOfOffset(cursor_)), extend);
        break;
      default:
        handled = false;
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
    const std::size_t at = OffsetAt(e->position().toPoint());
    const std::size_t line = LineOf(at);
    const std::size_t lineStart = starts_[line];
    const std::size_t lineEnd = LineContentEnd(line);
    std::size_t start = std::min(at, lineEnd);
    std::size_t end = start;
    while (start > lineStart && !IsBlank(text_[start - 1])) --start;
    while (end < lineEnd && !IsBlank(text_[end])) ++end;
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
    if (notches != 0) ScrollRows(-static_cast<std::ptrdiff_t>(notches) * QApplication::wheelScrollLines());
  });
  e->accept();
}

void TLogView::contextMenuEvent(QContextMenuEvent* e) {
  Guard([&] { ShowContextMenu(e->globalPos()); });
  e->accept();
}

}  // namespace tempolog
