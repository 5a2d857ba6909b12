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

// Makes one unit of `painter` one device pixel, counted from the device
// pixel nearest to the widget's top-left corner, and answers how many there
// are up to the one nearest to its bottom-right corner: the pixels Qt clips
// the widget's painting to, in its window or in a grab. At 100 % the painter
// is left as it is.
QSize ToDevicePixels(QPainter& painter, QSize logical) {
  const QTransform device = painter.deviceTransform();
  const QPointF first = device.map(QPointF(0, 0));
  const QPointF past = device.map(QPointF(logical.width(), logical.height()));
  const QPoint origin(qRound(first.x()), qRound(first.y()));
  if (device.type() > QTransform::TxTranslate || first != QPointF(origin)) {
    painter.setWorldTransform(QTransform::fromTranslate(origin.x(), origin.y()) *
                              device.inverted());
  }
  return {qRound(past.x()) - origin.x(), qRound(past.y()) - origin.y()};
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
  UpdateBounds();
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
  const QSize pixels = ToDevicePixels(painter, size());
  TWindowSurface surface(painter, pixels.width(), pixels.height(),
                         qRound(logicalDpiY() * devicePixelRatioF()));
  Guard([&] { client_->Paint(surface); });
}

QRect TSurfaceWidget::DeviceRect() const {
  const qreal ratio = devicePixelRatioF();
  const QPointF at = mapTo(window(), QPointF(0, 0));
  const int left = qRound(at.x() * ratio), top = qRound(at.y() * ratio);
  return {left, top, qRound((at.x() + width()) * ratio) - left,
          qRound((at.y() + height()) * ratio) - top};
}

QPoint TSurfaceWidget::DevicePoint(QPointF logical) const {
  const qreal ratio = devicePixelRatioF();
  const QPointF at = mapTo(window(), logical);
  const QPoint origin = DeviceRect().topLeft();
  return {qRound(at.x() * ratio) - origin.x(), qRound(at.y() * ratio) - origin.y()};
}

void TSurfaceWidget::UpdateBounds() {
  const QSize pixels = DeviceRect().size();
  if (client_ == nullptr || pixels == bounds_) return;
  bounds_ = pixels;
  Guard([&] { client_->SetBounds(pixels.width(), pixels.height()); });
}

void TSurfaceWidget::resizeEvent(QResizeEvent*) { UpdateBounds(); }

// Where the widget lies in its window decides how its edges round to device
// pixels, and so its size in them.
void TSurfaceWidget::moveEvent(QMoveEvent*) { UpdateBounds(); }

void TSurfaceWidget::MouseButtonEvent(QMouseEvent* event, bool down) {
  TMouseButton button;
  if (client_ == nullptr || !ButtonOf(event->button(), button)) return;
  const QPoint p = DevicePoint(event->position());
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
  const QPoint p = DevicePoint(event->position());
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
