// A window whose every pixel its client draws through a TSurface, seen from
// both sides without any widget type: what the client may ask of its window
// (TDrawnWindow) and what the window hands to its client (TWindowClient),
// with the mouse vocabulary of those events. TSurfaceWidget (SurfaceWidget.h)
// is the Qt window that joins the two; a client without a window works
// off-screen.
#pragma once

#include "framework/Surface.h"

namespace tempolog {

enum TMouseButton { mbLeft, mbRight, mbMiddle };

// Keys and buttons held during a mouse event.
using TShiftState = unsigned;
enum : unsigned {
  ssShift = 1,
  ssAlt = 2,
  ssCtrl = 4,
  ssLeft = 8,
  ssRight = 16,
  ssMiddle = 32,
  ssDouble = 64,
};

// Mouse cursors a client can set on its window.
using TCursor = int;
inline constexpr TCursor crDefault = 0;
inline constexpr TCursor crArrow = -2;
inline constexpr TCursor crCross = -3;
inline constexpr TCursor crSizeAll = -22;
inline constexpr TCursor crHandPoint = -21;

// The window a client is shown in: what the client asks of it.
class TDrawnWindow {
 public:
  virtual ~TDrawnWindow() = default;
  // A paint request later (merged by the window system).
  virtual void InvalidateWindow() = 0;
  // Paint now, before returning.
  virtual void RepaintWindow() = 0;
  // Show the client's kept picture again later without a new paint pass.
  virtual void RefreshWindow() = 0;
  virtual void SetWindowCursor(TCursor cursor) = 0;
  // The client is going away: the window forgets it and hands on nothing more.
  virtual void ClientGone() = 0;
};

// What a window hands to the client it shows. The window calls SetWindow with
// itself when made and with nullptr when it goes away first; a client that goes
// first calls its window's ClientGone.
class TWindowClient {
 public:
  virtual ~TWindowClient() = default;
  virtual void SetWindow(TDrawnWindow* window) = 0;
  // The window's client size in pixels, on every resize.
  virtual void SetBounds(int width, int height) = 0;
  // The window's paint request; `window` lives only for this call.
  virtual void Paint(TSurface& window) = 0;
  virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y) = 0;
  virtual void MouseMove(TShiftState shift, int x, int y) = 0;
  virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y) = 0;
  // One notch of the wheel, towards the user when `down`.
  virtual void MouseWheel(bool down) = 0;
};

}  // namespace tempolog
