#include "framework/SurfaceWidget.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWheelEvent>

#include "framework/Application.h"
#include "framework/SurfaceQt.h"

namespace tempolog {

namespace {

TShiftState ShiftOf(Qt::KeyboardModifiers keys, Qt::MouseButtons buttons) {
  TShiftState s = 0;
  if (keys & Qt::ShiftModifier) s |= ssShift;
  if (keys & Qt::AltModifier) s |= ssAlt;
  if (keys & Qt::ControlModifier) s |= ssCtrl;
  if (buttons & Qt::LeftButton) s |= ssLeft;
  if (buttons & Qt::RightButton) s |= ssRight;
  if (buttons & Qt::MiddleButton) s |= ssMiddle;
  return s;
}

bool ButtonOf(Qt::MouseButton qt, TMouseButton& button) {
  switch (qt) {
    case Qt::LeftButton: button = mbLeft; return true;
    case Qt::RightButton: button = mbRight; return true;
    case Qt::MiddleButton: button = mbMiddle; return true;
    default: return false;
  }
}

}  // namespace

TSurfaceWidget::TSurfaceWidget(TWindowClient& client, QWidget* parent)
    : QWidget(parent), client_(&client) {
  // The client paints every pixel itself; the window system must not erase.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  setMouseTracking(true);
  setFocusPolicy(Qt::ClickFocus);
  client.SetWindow(this);
  client.SetBounds(width(), height());
}

TSurfaceWidget::~TSurfaceWidget() {
  if (client_ != nullptr) client_->SetWindow(nullptr);
}

void TSurfaceWidget::InvalidateWindow() { update(); }
void TSurfaceWidget::RepaintWindow() { repaint(); }
void TSurfaceWidget::RefreshWindow() { update(); }

void TSurfaceWidget::SetWindowCursor(TCursor cursor) {
  switch (cursor) {
    case crCross: setCursor(Qt::CrossCursor); break;
    case crHandPoint: setCursor(Qt::PointingHandCursor); break;
    case crSizeAll: setCursor(Qt::SizeAllCursor); break;
    default: unsetCursor(); break;
  }
}

void TSurfaceWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (client_ == nullptr) {
    // Nobody draws any more: a plain background instead of stale pixels.
    painter.fillRect(rect(), palette().window());
    return;
  }
  TWindowSurface surface(painter, width(), height(), logicalDpiY());
  Guard([&] { client_->Paint(surface); });
}

void TSurfaceWidget::resizeEvent(QResizeEvent*) {
  if (client_ == nullptr) return;
  Guard([&] { client_->SetBounds(width(), height()); });
}

void TSurfaceWidget::MouseButtonEvent(QMouseEvent* event, bool down) {
  TMouseButton button;
  if (client_ == nullptr || !ButtonOf(event->button(), button)) return;
  const QPoint p = event->position().toPoint();
  const TShiftState shift = ShiftOf(event->modifiers(), event->buttons());
  Guard([&] {
    if (down) {
      client_->MouseDown(button, shift, p.x(), p.y());
    } else {
      client_->MouseUp(button, shift, p.x(), p.y());
    }
  });
}

void TSurfaceWidget::mousePressEvent(QMouseEvent* event) { MouseButtonEvent(event, true); }

void TSurfaceWidget::mouseMoveEvent(QMouseEvent* event) {
  if (client_ == nullptr) return;
  const QPoint p = event->position().toPoint();
  const TShiftState shift = ShiftOf(event->modifiers(), event->buttons());
  Guard([&] { client_->MouseMove(shift, p.x(), p.y()); });
}

void TSurfaceWidget::mouseReleaseEvent(QMouseEvent* event) { MouseButtonEvent(event, false); }

void TSurfaceWidget::wheelEvent(QWheelEvent* event) {
  if (client_ == nullptr) return;
  // 120 eighths of a degree make one notch; touchpads send smaller steps.
  wheelRemainder_ += event->angleDelta().y();
  event->accept();
  while (wheelRemainder_ >= 120 || wheelRemainder_ <= -120) {
    const bool down = wheelRemainder_ < 0;
    wheelRemainder_ += down ? 120 : -120;
    if (!Guard([&] { client_->MouseWheel(down); })) {
      wheelRemainder_ = 0;
      break;
    }
  }
}

}  // namespace tempolog
