#include "framework/Widgets.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPainter>
#include <QScreen>
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
