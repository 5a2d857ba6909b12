// TSurfaceWidget: the Qt window of a TWindowClient (DrawnWindow.h). It hands
// paint, size, mouse and wheel events to the client, each inside the
// application's guard so that no exception reaches Qt.
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
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  // A button pressed (`down`) or released, handed to the client.
  void MouseButtonEvent(QMouseEvent* event, bool down);

  TWindowClient* client_;
  int wheelRemainder_ = 0;  // eighths of a degree not yet a whole notch
};

}  // namespace tempolog
