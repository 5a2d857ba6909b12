#include "framework/Widgets.h"

#include <QComboBox>
#include <QEvent>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPainter>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "framework/Latin1.h"

namespace tempolog {

namespace {

constexpr const char* kFontColorProperty = "tempologFontColor";

double PixelsPerInch() {
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    return screen->logicalDotsPerInch();
  }
  return kDesignPixelsPerInch;
}

// Installed look-alikes, best first, for the fonts the window was designed with.
QStringList Candidates(const QString& family) {
  if (family.compare(QLatin1String("Courier New"), Qt::CaseInsensitive) == 0) {
    return {family, QStringLiteral("Liberation Mono"), QStringLiteral("Cousine"),
            QStringLiteral("DejaVu Sans Mono")};
  }
  if (family.compare(QLatin1String("Microsoft Sans Serif"), Qt::CaseInsensitive) == 0 ||
      family.compare(QLatin1String("Arial"), Qt::CaseInsensitive) == 0) {
    return {family, QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
            QStringLiteral("DejaVu Sans")};
  }
  return {family};
}

bool IsFixedPitchFamily(const QString& family) {
  return family.contains(QLatin1String("Courier"), Qt::CaseInsensitive) ||
         family.contains(QLatin1String("Mono"), Qt::CaseInsensitive);
}

// Items of one fixed height.
class FixedHeightDelegate : public QStyledItemDelegate {
 public:
  FixedHeightDelegate(int height, QObject* parent) : QStyledItemDelegate(parent), height_(height) {}
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    return {QStyledItemDelegate::sizeHint(option, index).width(), height_};
  }

 private:
  int height_;
};

// The available area of the screen at `point`, or of the primary screen;
// empty without a screen.
QRect AvailableAt(QPoint point) {
  const QScreen* screen = QGuiApplication::screenAt(point);
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  return screen == nullptr ? QRect() : screen->availableGeometry();
}

// Puts the window's frame into `frame`; the window is resized only when the
// frame's size changes.
void PutFrame(QWidget* window, const QRect& frame) {
  // The frame's extra size around the window (none before the window system
  // has framed it).
  const QSize extra = window->frameGeometry().size() - window->geometry().size();
  if (frame.size() != window->frameGeometry().size()) window->resize(frame.size() - extra);
  window->move(frame.topLeft());
}

// Puts the window's frame at topLeft and fits it on the screen there.
void FitWindow(QWidget* window, QPoint topLeft) {
  const QRect wanted(topLeft, window->frameGeometry().size());
  const QRect available = AvailableAt(topLeft);
  PutFrame(window, available.isEmpty() ? wanted : FitFrameOnScreen(wanted, available));
}

// Fits the window's frame on the screen as TFrameFitting says, from its
// first show until the window system has framed it, then goes.
class FramePlacer : public QObject {
 public:
  explicit FramePlacer(QWidget* window) : QObject(window) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    const QEvent::Type type = event->type();
    if (type == QEvent::Show && !shown_) {
      shown_ = true;
      QTimer::singleShot(kFramingWaitMs, this, [this, watched] { Leave(watched); });
    }
    const bool placing = type == QEvent::Show || type == QEvent::Move || type == QEvent::Resize ||
                         type == QEvent::WindowActivate;
    auto* window = static_cast<QWidget*>(watched);
    // A maximized, full-screen or minimized window is the window system's to place.
    if (!shown_ || !placing || (window->windowState() & kPlacedBySystem) != 0) return false;
    const QRect frame = window->frameGeometry();
    if (const std::optional<QRect> fitted =
            fitting_.After(frame, window->geometry(), AvailableAt(frame.topLeft())))
      PutFrame(window, *fitted);
    if (fitting_.Done()) Leave(watched);
    return false;
  }

 private:
  static constexpr int kFramingWaitMs = 10000;
  static constexpr Qt::WindowStates kPlacedBySystem =
      Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized;

  void Leave(QObject* window) {
    window->removeEventFilter(this);
    deleteLater();
  }

  TFrameFitting fitting_;
  bool shown_ = false;
};

}  // namespace

int Scaled(int designPixels) {
  return static_cast<int>(std::lround(designPixels * PixelsPerInch() / kDesignPixelsPerInch));
}

QFont DesignFont(const QString& family, int designHeight) {
  const QStringList installed = QFontDatabase::families();
  QFont font;
  bool found = false;
  for (const QString& candidate : Candidates(family)) {
    if (installed.contains(candidate, Qt::CaseInsensitive)) {
      font = QFont(candidate);
      found = true;
      break;
    }
  }
  if (!found) {
    font = IsFixedPitchFamily(family) ? QFontDatabase::systemFont(QFontDatabase::FixedFont)
                                      : QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  }
  font.setPixelSize(std::max(1, Scaled(designHeight)));
  return font;
}

void SetFontColor(QWidget* widget, TColor color) {
  QPalette palette = widget->palette();
  const QColor qt = ToQColor(color);
  palette.setColor(QPalette::WindowText, qt);
  palette.setColor(QPalette::ButtonText, qt);
  palette.setColor(QPalette::Text, qt);
  widget->setPalette(palette);
  widget->setProperty(kFontColorProperty, static_cast<qulonglong>(color));
}

TColor FontColor(const QWidget* widget) {
  const QVariant value = widget->property(kFontColorProperty);
  if (!value.isValid()) return clWindowText;
  return static_cast<TColor>(value.toULongLong());
}

void SetBackgroundColor(QWidget* widget, TColor color) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, ToQColor(color));
  widget->setPalette(palette);
  widget->setAutoFillBackground(true);
}

void SetItemHeight(QComboBox* box, int pixels) {
  box->setItemDelegate(new FixedHeightDelegate(std::max(1, pixels), box));
}

QRect FitFrameOnScreen(const QRect& frame, const QRect& available) {
  if (available.isEmpty() || available.contains(frame)) return frame;
  const int width = std::min(frame.width(), available.width());
  const int height = std::min(frame.height(), available.height());
  const int left =
      std::clamp(frame.left(), available.left(), available.left() + available.width() - width);
  const int top =
      std::clamp(frame.top(), available.top(), available.top() + available.height() - height);
  return {left, top, width, height};
}

std::optional<QRect> TFrameFitting::After(const QRect& frame, const QRect& window,
                                          const QRect& available) {
  if (done_) return std::nullopt;
  done_ = frame.size() != window.size();
  const QRect fitted = FitFrameOnScreen(frame, available);
  if (fitted == frame) return std::nullopt;
  return fitted;
}

void PlaceOnScreen(QWidget* window, QPoint topLeft) {
  FitWindow(window, topLeft);
  window->installEventFilter(new FramePlacer(window));
}

std::string TextOf(const QLineEdit* edit) { return FromScreen(edit->text()); }

void SetTextOf(QLineEdit* edit, std::string_view bytes) { edit->setText(ToScreen(bytes)); }

TLabel::TLabel(QWidget* parent) : QLabel(parent) {
  setTextFormat(Qt::PlainText);
  setAlignment(Qt::AlignRight | Qt::AlignTop);
}

void TLabel::AnchorRight(int right, int top) {
  anchoredRight_ = true;
  right_ = right;
  top_ = top;
  FitToText();
}

void TLabel::SetText(std::string_view bytes) {
  setText(ToScreen(bytes));
  FitToText();
}

std::string TLabel::Text() const { return FromScreen(text()); }

void TLabel::FitToText() {
  adjustSize();
  if (anchoredRight_) move(right_ - width(), top_);
}

TShape::TShape(QWidget* parent) : QWidget(parent) {}

void TShape::SetBrushColor(TColor color) {
  if (color == brush_) return;
  brush_ = color;
  update();
}

void TShape::paintEvent(QPaintEvent*) {
  // The outline sits inside the shape's own half-open rectangle.
  QPainter painter(this);
  painter.setPen(QPen(Qt::black, 1));
  painter.setBrush(ToQColor(brush_));
  painter.drawRect(0, 0, width() - 1, height() - 1);
}

TSpeedButton::TSpeedButton(QWidget* parent) : QToolButton(parent) {
  setCheckable(true);
  setToolButtonStyle(Qt::ToolButtonTextOnly);
}

}  // namespace tempolog
