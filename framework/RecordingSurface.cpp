#include "framework/RecordingSurface.h"

#include <cstdio>

namespace tempolog {

std::string TSurfaceCall::ToString() const {
  std::string s = Op + "(";
  for (std::size_t i = 0; i < Args.size(); ++i) {
    if (i > 0) s += ",";
    s += std::to_string(Args[i]);
  }
  if (Op == "TextOut" || Op == "TextExtent") {
    if (!Args.empty()) s += ",";
    s += "\"" + Text + "\"";
  } else if (Op == "SetPixel") {
    char hex[16];
    std::snprintf(hex, sizeof hex, ",#%06X", static_cast<unsigned>(Color));
    s += hex;
  }
  return s + ")";
}

TRecordingSurface::TRecordingSurface(int width, int height, int pixels_per_inch)
    : width_(width), height_(height), pixels_per_inch_(pixels_per_inch) {
  Font().SetPixelsPerInch(pixels_per_inch);
  ResetClip();
}

std::vector<std::string> TRecordingSurface::CallTexts() const {
  std::vector<std::string> texts;
  texts.reserve(calls_.size());
  for (const TSurfaceCall& call : calls_) texts.push_back(call.ToString());
  return texts;
}

std::vector<TSurfaceCall> TRecordingSurface::CallsNamed(std::string_view op) const {
  std::vector<TSurfaceCall> found;
  for (const TSurfaceCall& call : calls_) {
    if (call.Op == op) found.push_back(call);
  }
  return found;
}

void TRecordingSurface::SetTextMetrics(int char_width, int line_height) {
  char_width_ = char_width;
  line_height_ = line_height;
}

TSurfaceCall& TRecordingSurface::Record(std::string op, std::initializer_list<int> args) {
  TSurfaceCall& call = calls_.emplace_back();
  call.Op = std::move(op);
  call.Args = args;
  call.PenPos = PenPos();
  call.Pen = {Pen().Color(), Pen().Mode(), Pen().Style(), Pen().Width()};
  call.Brush = {Brush().Color(), Brush().Style(), Brush().HasBitmap()};
  call.Font = {Font().Name(),  Font().Size(),        Font().Color(),
               Font().Style(), Font().Orientation(), Font().OutlineOnly()};
  call.BackgroundColor = BackgroundColor();
  call.BackgroundMode = BackgroundMode();
  call.TextAlign = TextAlign();
  call.Clip = ClipRect();
  call.Origin = Origin();
  return call;
}

void TRecordingSurface::MoveTo(int x, int y) {
  Record("MoveTo", {x, y});
  TSurface::MoveTo(x, y);
}
void TRecordingSurface::IntersectClip(const TRect& box) {
  TSurface::IntersectClip(box);
  Record("IntersectClip", {box.Left, box.Top, box.Right, box.Bottom});
}
void TRecordingSurface::RemoveClip() {
  TSurface::RemoveClip();
  Record("RemoveClip", {});
}
void TRecordingSurface::SetPixel(int x, int y, TColor color) {
  Record("SetPixel", {x, y}).Color = color;
}
void TRecordingSurface::LineTo(int x, int y) {
  Record("LineTo", {x, y});
  TSurface::MoveTo(x, y);
}
void TRecordingSurface::Polyline(std::span<const TPoint> points) {
  TSurfaceCall& call = Record("Polyline", {});
  for (const TPoint& p : points) call.Args.insert(call.Args.end(), {p.X, p.Y});
}
void TRecordingSurface::Rectangle(const TRect& b) {
  Record("Rectangle", {b.Left, b.Top, b.Right, b.Bottom});
}
void TRecordingSurface::FillRect(const TRect& b) {
  Record("FillRect", {b.Left, b.Top, b.Right, b.Bottom});
}
void TRecordingSurface::RoundRect(const TRect& b, int cw, int ch) {
  Record("RoundRect", {b.Left, b.Top, b.Right, b.Bottom, cw, ch});
}
void TRecordingSurface::Ellipse(const TRect& b) {
  Record("Ellipse", {b.Left, b.Top, b.Right, b.Bottom});
}
void TRecordingSurface::Polygon(std::span<const TPoint> points) {
  TSurfaceCall& call = Record("Polygon", {});
  for (const TPoint& p : points) call.Args.insert(call.Args.end(), {p.X, p.Y});
}
void TRecordingSurface::Arc(const TRect& b, TPoint s, TPoint e) {
  Record("Arc", {b.Left, b.Top, b.Right, b.Bottom, s.X, s.Y, e.X, e.Y});
}
void TRecordingSurface::Pie(const TRect& b, TPoint s, TPoint e) {
  Record("Pie", {b.Left, b.Top, b.Right, b.Bottom, s.X, s.Y, e.X, e.Y});
}
void TRecordingSurface::TextOut(int x, int y, std::string_view text) {
  Record("TextOut", {x, y}).Text = text;
}
TSize TRecordingSurface::TextExtent(std::string_view text) {
  if (record_measurements_) Record("TextExtent", {}).Text = text;
  return {static_cast<int>(text.size()) * char_width_, line_height_};
}
void TRecordingSurface::Draw(int x, int y, const QImage& picture) {
  Record("Draw", {x, y, picture.width(), picture.height()});
}
void TRecordingSurface::StretchDraw(const TRect& b, const QImage& picture) {
  Record("StretchDraw", {b.Left, b.Top, b.Right, b.Bottom, picture.width(), picture.height()});
}
void TRecordingSurface::CopyFrom(const TSurface& source, int x, int y) {
  Record("CopyFrom", {x, y, source.Width(), source.Height()});
}

}  // namespace tempolog
