// The measurement log view: a read-only, word-wrapped, fixed-pitch text view
// built for logs that run for weeks.
//
// The widget holds what is display and interaction: scrolling, selection and
// clipboard, painting, keys and mouse. The text itself, its line index and the
// wrapping of a line into display rows are in TLogText (LogText.h, no Qt), which
// also describes how the text is stored. Screen readers read the view through the
// accessible interface in LogViewAccessible.cpp.
//
// Sections: text (bytes, lines, appending), selection and clipboard, scrolling,
// look (wrapping, font), test hooks.
//
// Display: painting visits only the lines in view. Word-wrapped display rows are
// worked out only for lines on screen (the view scrolls by logical line on its
// scroll bar and by display row with the wheel and keys), so neither a resize nor
// an append ever lays out the whole log. Bytes are shown one to one as Latin-1
// characters; tabs are drawn as blanks up to the next tab stop; other control
// bytes are drawn as small boxes.
#pragma once

#include <QAbstractScrollArea>
#include <QPointer>
#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "framework/core/LogText.h"

class QMenu;
class QTimer;

namespace tempolog {

class TLogView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  // The most bytes the view holds: 1 GiB, about 40 million log lines. An append
  // or SetText that would go beyond it throws EInvalidOperation "Text exceeds
  // memo capacity" and leaves the text as it was.
  static constexpr std::size_t kCapacity = TLogText::kCapacity;
  // Columns between tab stops.
  static constexpr int kTabWidth = TLogText::kTabWidth;

  explicit TLogView(QWidget* parent = nullptr);
  ~TLogView() override;

  // --- Text ---------------------------------------------------------------

  // Appends one log line: the line's bytes then CR LF. When the text does not end
  // with a line break (a loaded file whose last line lacked one), CR LF is inserted
  // first, then the line, and the text again ends without a line break.
  // Throws EInvalidOperation "Text exceeds memo capacity" (text unchanged) when the
  // result would exceed the capacity.
  void AppendLine(std::string_view line);
  // Empties the view.
  void Clear();
  // Replaces the whole text; CR, LF and CR LF each end a line. Throws
  // EInvalidOperation "Text exceeds memo capacity" and keeps the earlier text when
  // the bytes exceed the capacity.
  void SetText(std::string_view bytes);
  // As SetText, taking over the buffer instead of copying it (for loading big files).
  void TakeText(TGrowingArray<char>&& bytes);
  // The exact bytes (what Save as writes).
  std::string_view Text() const { return text_.Bytes(); }
  // Logical lines; a final empty line after the last line break is not counted.
  std::size_t LineCount() const { return text_.LineCount(); }
  // One logical line without its line break. Throws EListError "List index out of
  // bounds (<index>)" for an index at or beyond LineCount().
  std::string_view Line(std::size_t index) const { return text_.Line(index); }
  // Line without the index check, for a loop over [0, LineCount()); safe to
  // call from several threads while the text does not change.
  std::string_view LineText(std::size_t index) const { return text_.LineText(index); }
  // The capacity in force (kCapacity unless lowered; lowering is meant for tests).
  std::size_t Capacity() const { return text_.Capacity(); }
  void SetCapacity(std::size_t bytes) { text_.SetCapacity(bytes); }

  // --- Selection and clipboard --------------------------------------------

  // Shown on right click and on the context-menu key. Without one the view offers
  // its own Copy / Select All menu. The menu is not owned.
  void SetPopupMenu(QMenu* menu);
  QMenu* PopupMenu() const;
  // The selected bytes, exactly as they are in Text() (line breaks included).
  std::string SelectedText() const;
  void SelectAll();
  // Selects the bytes [start, end) of Text() (clamped to the text); the cursor goes
  // to `end`.
  void Select(std::size_t start, std::size_t end);
  std::size_t SelectionStart() const;
  std::size_t SelectionEnd() const;
  // Puts the selection on the clipboard (nothing happens when it is empty).
  void CopyToClipboard();

  // --- Scrolling -------------------------------------------------------------

  // A place in the display: a logical line and a display row within it.
  struct RowPos {
    std::size_t line = 0;
    std::size_t row = 0;
    friend bool operator==(const RowPos&, const RowPos&) = default;
    friend auto operator<=>(const RowPos&, const RowPos&) = default;
  };
  // The display row at the top of the view.
  RowPos TopRow() const;
  // True when the last display row of the log is in view; while it holds, new
  // lines scroll the view so that the newest stays in view.
  bool IsAtEnd() const;
  void ScrollToTop();
  void ScrollToEnd();
  // Scrolls by display rows (negative: towards the start), clamped to the log.
  void ScrollRows(std::ptrdiff_t rows);

  // --- Look ------------------------------------------------------------------

  // Display columns of a row at the current width and font (at least 1).
  int Columns() const;
  // Display rows that fit completely into the view (at least 1).
  int VisibleRows() const;
  // Where a line breaks into display rows at `columns` columns: the byte offsets
  // within the line at which each row starts (the first is always 0). Lines break
  // after the last blank that fits; a word longer than a row is cut at the row's
  // end; blanks at the end of a row hang past the edge rather than start a row.
  static std::vector<std::size_t> WrapRows(std::string_view line, int columns) {
    return TLogText::WrapRows(line, columns);
  }
  // The font the view starts with: "Courier New", else the metric-compatible
  // "Liberation Mono", else the system's fixed-pitch font; character height 17
  // pixels at 120 pixels per inch, scaled to the screen.
  static QFont DefaultFont(QWidget* forScreen);

  // --- Test hooks ------------------------------------------------------------

  // The logical lines [first, end) that the last paint drew.
  struct LineRange {
    std::size_t first = 0;
    std::size_t end = 0;
  };
  LineRange LastPaintedLines() const { return lastPainted_; }

 protected:
  bool event(QEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void changeEvent(QEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;
  void contextMenuEvent(QContextMenuEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  // After the whole text changed: selection, cursor and top row start afresh.
  void TextReplaced(bool followEnd);

  // Display rows (of the lines TLogText::ShownLines() counts)
  const std::vector<std::size_t>& RowsOf(std::size_t line) const;
  std::size_t RowCount(std::size_t line) const;
  RowPos EndPos() const;
  RowPos Clamp(RowPos pos) const;
  // Moves pos by up to `rows` display rows within the log; returns the rows moved.
  std::ptrdiff_t StepRows(RowPos& pos, std::ptrdiff_t rows) const;
  RowPos RowOfOffset(std::size_t offset) const;
  std::size_t OffsetAt(QPoint viewportPoint) const;
  double ColumnX(int column) const;

  // Scrolling state
  void ScheduleSync();
  void Sync();
  void SetTop(RowPos pos);
  void UpdateScrollBar();
  void EnsureCursorVisible();

  // Selection and cursor
  void MoveCursor(std::size_t offset, bool extend, bool keepColumn = false);
  std::size_t RowStartOffset(RowPos pos) const;
  std::size_t RowEndOffset(RowPos pos) const;
  std::size_t OffsetInRowAtColumn(RowPos pos, double column) const;
  int ColumnOfOffset(std::size_t offset) const;
  void DragTo(bool scroll);
  void ShowContextMenu(const QPoint& globalPos);
  void SafeCopy();

  void UpdateMetrics();

  // Assistive technology (LogViewAccessible.cpp): the factory of the view's
  // accessible interface, and what it is told of changes.
  friend class TLogViewAccessible;
  static void InstallAccessibility();
  void AccessibleCursorMoved();
  void AccessibleTextInserted(std::size_t offset);  // text from offset on is new
  void AccessibleTextReplaced();

  TLogText text_;

  RowPos top_;
  bool followEnd_ = true;
  bool syncPending_ = false;
  bool settingScrollBar_ = false;

  std::size_t anchor_ = 0;
  std::size_t cursor_ = 0;
  int desiredColumn_ = -1;  // kept while moving up and down
  bool dragging_ = false;
  QPoint dragPoint_;
  QTimer* autoScroll_ = nullptr;
  int wheelRemainder_ = 0;

  double charWidth_ = 8;
  int rowHeight_ = 16;
  int ascent_ = 12;
  int columns_ = 1;
  static constexpr int kLeftMargin = 2;

  // Wrap results of lines on screen, dropped when the width changes.
  mutable std::unordered_map<std::size_t, std::vector<std::size_t>> rowCache_;
  QPointer<QMenu> popup_;
  QMenu* ownMenu_ = nullptr;
  LineRange lastPainted_;
};

}  // namespace tempolog
