// TSurfaceWidget: the Qt window of a TWindowClient (DrawnWindow.h). It hands
// paint, size, mouse and wheel events to the client, each inside the
// application's guard so that no exception reaches Qt.
//
// The client works in the screen's own pixels: on a screen scaled to 150 % or
// 200 % its size, its surface and the mouse positions it gets are in device
// pixels (the widget's logical size times the device pixel ratio, rounded at
// the widget's edges as Qt rounds them), and its surface's pixels per inch
// are the logical ones times that ratio. At 100 % device and logical pixels
// are the same.
#pragma once

#include <QWidget>

#include "framework/DrawnWindow.h"

namespace tempolog {

class TSurfaceWidget : public QWidget, public TDrawnWindow {
 public:
  // Shows `client` in a new child of `parent`; the parent owns the widget.
  TSurfaceWidget(TWindowClient& client, QWidget* parent);
  ~TSurfaceWidget() override;

  TWindowClient* Client() const { return client_; }

  void InvalidateWindow() override;
  void RepaintWindow() override;
  void RefreshWindow() override;
  void SetWindowCursor(TCursor cursor) override;
  void ClientGone() override { client_ = nullptr; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  // A button pressed (`down`) or released, handed to the client.
  void MouseButtonEvent(QMouseEvent* event, bool down);
  // The device pixels the widget covers in its window, from its first to
  // past its last: Qt rounds each edge of the widget to the nearest one.
  QRect DeviceRect() const;
  // A position in the widget's logical coordinates as a device pixel of the
  // client.
  QPoint DevicePoint(QPointF logical) const;
  // Hands the client its device size when that changed.
  void UpdateBounds();

  TWindowClient* client_;
  int wheelRemainder_ = 0;  // eighths of a degree not yet a whole notch
  QSize bounds_{-1, -1};    // the size last handed to the client
};

}  // namespace tempolog
