// Draws the program's chart at its design size (750 × 596) with two hours of
// readings, one a minute, and saves it as a PNG, so the chart can be looked
// at without an instrument. Usage: tempolog-screenshot [file.png]
#include <QGuiApplication>
#include <cmath>
#include <cstdio>
#include <string>

#include "chart/ProgramChart.h"
#include "framework/SurfaceQt.h"

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  const std::string path = argc > 1 ? argv[1] : "chart.png";

  tempolog::TProgramChart chart = tempolog::MakeProgramChart();
  constexpr int kWidth = 750, kHeight = 596;
  chart.Chart->SetBounds(kWidth, kHeight);

  // 5 March 2024 from 07:00, a slow warming with a small wobble.
  const double start = 45356.0 + 7.0 / 24.0;
  for (int minute = 0; minute <= 120; ++minute) {
    const double reading =
        21.0 + minute * 0.02 + 0.6 * std::sin(minute / 7.0) + 0.3 * std::sin(minute * 1.3);
    chart.Series1->AddPoint(start + minute * tempolog::OneMinute,
                            std::round(reading * 10.0) / 10.0);
  }

  tempolog::TBitmapSurface image(kWidth, kHeight);
  chart.Chart->PaintChart(&image, {0, 0, kWidth, kHeight});
  if (!image.Image()->save(QString::fromStdString(path), "PNG")) {
    std::fprintf(stderr, "Cannot write %s\n", path.c_str());
    return 1;
  }
  std::printf("%s\n", path.c_str());
  return 0;
}
