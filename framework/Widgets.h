// Small widget helpers of the main window: design-size scaling, the fonts the
// window asks for, colours given as TColor, and the few controls Qt does not
// have as such (a label anchored at its right edge, a filled shape, a toggle
// speed button).
//
// Design sizes are pixels at 120 pixels per inch; Scaled() maps them to the
// screen's logical resolution.
#pragma once

#include <QLabel>
#include <QToolButton>
#include <QWidget>
#include <optional>
#include <string>
#include <string_view>

#include "framework/Colors.h"

class QComboBox;
class QLineEdit;

namespace tempolog {

// Pixels per inch the window was designed at.
inline constexpr int kDesignPixelsPerInch = 120;

// Screen pixels for a design size (rounded to nearest).
int Scaled(int designPixels);

// The installed font closest to `family` (for example "Microsoft Sans Serif"
// gives a sans-serif font, "Courier New" a fixed-pitch one) with a character
// height of `designHeight` design pixels.
QFont DesignFont(const QString& family, int designHeight);

// Gives the widget's text the colour `color` and remembers it for FontColor().
void SetFontColor(QWidget* widget, TColor color);
TColor FontColor(const QWidget* widget);

// Gives the widget's own background the colour `color`, drawn opaque.
void SetBackgroundColor(QWidget* widget, TColor color);

// Gives every item of the box's drop-down list the height `pixels`.
void SetItemHeight(QComboBox* box, int pixels);

// Where a window frame goes on a screen's available area: where it is when it
// fits; otherwise moved just far enough to lie inside, after shrinking the
// sides that are longer than the area. Rectangles are half-open (QRect's
// right() and bottom() are the last pixels inside).
QRect FitFrameOnScreen(const QRect& frame, const QRect& available);

// When a new window's frame is fitted on the screen. Many window systems
// frame a window only after it is shown (its Show event still finds no
// frame), and the frame then juts out by its borders. So the frame is fitted
// after every show, move and resize until one finds it framed (larger than
// the window's own rectangle): that fit is the last, and later moves are the
// operator's.
class TFrameFitting {
 public:
  // After an event of the window, with its frame and own rectangles and the
  // screen's available area: the frame rectangle to put the window into (as
  // FitFrameOnScreen says), or nothing when the frame stays as it is.
  std::optional<QRect> After(const QRect& frame, const QRect& window, const QRect& available);
  // True once the framed window has been fitted.
  bool Done() const { return done_; }

 private:
  bool done_ = false;
};

// Puts the top-level window's frame at `topLeft` with the window's current
// size, then fits the frame on the available area of the screen there (or of
// the primary screen), as FitFrameOnScreen says. The frame is fitted again
// as TFrameFitting says once the window is shown, while the window system
// frames it; a window system that gives no frame within 10 s of the first
// show ends the watch.
void PlaceOnScreen(QWidget* window, QPoint topLeft);

// The text of an edit or label as bytes, and back.
std::string TextOf(const QLineEdit* edit);
void SetTextOf(QLineEdit* edit, std::string_view bytes);

// A label sized to its text. With a right anchor its right edge stays where it
// was put when the text (and so the width) changes.
class TLabel : public QLabel {
 public:
  explicit TLabel(QWidget* parent = nullptr);

  // Places the label with its right edge at `right` (design pixels already
  // scaled) and its top at `top`, and keeps that edge from now on.
  void AnchorRight(int right, int top);

  void SetText(std::string_view bytes);
  std::string Text() const;

 private:
  void FitToText();

  bool anchoredRight_ = false;
  int right_ = 0;
  int top_ = 0;
};

// A rectangle with a one-pixel black pen, filled with a colour.
class TShape : public QWidget {
 public:
  explicit TShape(QWidget* parent = nullptr);
  void SetBrushColor(TColor color);
  TColor BrushColor() const { return brush_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  TColor brush_ = clWhite;
};

// A toggle button: each click flips it between down and up; the click handler
// then sees the new position.
class TSpeedButton : public QToolButton {
 public:
  explicit TSpeedButton(QWidget* parent = nullptr);
  bool Down() const { return isChecked(); }
  void SetDown(bool down) { setChecked(down); }
};

}  // namespace tempolog
