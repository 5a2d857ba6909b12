// Load of any file content, the way the window does it: the log shows the
// bytes unchanged, each line is cut into its two columns, and the chart gets
// exactly the points of the lines before the first one that does not read,
// the error being that line's.
#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/Unit1.h"
#include "app/link/LogFormat.h"
#include "framework/LogView.h"
#include "framework/core/Exceptions.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

using namespace tempolog;
using Points = std::vector<std::pair<double, double>>;

using fuzz::SplitLines;

TForm1* window = nullptr;

bool Trimmed(std::string_view s) {
  return s.empty() ||
         (static_cast<unsigned char>(s.front()) > 32 && static_cast<unsigned char>(s.back()) > 32);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::FixClock();
  fuzz::StartApplication();
  window = new TForm1();  // lives as long as the process
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input = fuzz::Bytes(data, size);
  static const TFormatSettings settings = MakeTextSettings();

  // What the lines should give: points up to the first line that fails.
  Points expected;
  std::optional<std::string> error;
  const std::vector<std::string_view> lines = SplitLines(input);
  for (std::string_view line : lines) {
    const LogColumns columns = SplitLogLine(line);
    FUZZ_CHECK(columns.timestamp.size() <= kLogTimestampWidth, input);
    FUZZ_CHECK(
        columns.value.size() + kLogTimestampWidth <= std::max(line.size(), kLogTimestampWidth),
        input);
    FUZZ_CHECK(Trimmed(columns.timestamp) && Trimmed(columns.value), input);
    try {
      const double x = ParseTimestamp(settings, columns.timestamp);
      expected.emplace_back(x, RoundToSingle(ParseNumber(settings, columns.value)));
    } catch (const Exception& e) {
      error = e.Message();
      break;
    }
  }

  window->Kasuj1Click();
  std::optional<std::string> loadError;
  try {
    window->LoadLog(std::string(input));
  } catch (const Exception& e) {
    loadError = e.Message();
  }
  FUZZ_CHECK(loadError == error, input);
  const TLogView& log = *window->Memo1;
  FUZZ_CHECK(log.Text() == input, input);
  FUZZ_CHECK(log.LineCount() == lines.size(), input);
  for (std::size_t i = 0; i < lines.size(); ++i) FUZZ_CHECK(log.Line(i) == lines[i], input);

  const TLineSeries& series = *window->Series1;
  Points plotted;
  for (std::int32_t i = 0; i < series.PointCount(); ++i) {
    plotted.emplace_back(series.XValue(i), series.YValue(i));
    FUZZ_CHECK(i == 0 || series.XValue(i - 1) <= series.XValue(i), input);
  }
  std::sort(expected.begin(), expected.end());
  std::sort(plotted.begin(), plotted.end());
  FUZZ_CHECK(plotted == expected, input);
  return 0;
}
