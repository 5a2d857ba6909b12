// Throughput of the conversions a log of millions of readings goes through:
// reading timestamps and values back, and writing timestamps.
#include <benchmark/benchmark.h>

#include <string>

#include "app/textconv/TextConv.h"

namespace {

const tempolog::TFormatSettings& Text() {
  static const tempolog::TFormatSettings settings = tempolog::MakeTextSettings();
  return settings;
}

void BM_ParseTimestamp(benchmark::State& state) {
  const std::string text = "2024-03-05 07:04:09";
  for (auto _ : state) benchmark::DoNotOptimize(tempolog::ParseTimestamp(Text(), text));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ParseTimestamp);

void BM_ParseTimestampDateOnly(benchmark::State& state) {
  const std::string text = "2024-03-05";
  for (auto _ : state) benchmark::DoNotOptimize(tempolog::ParseTimestamp(Text(), text));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ParseTimestampDateOnly);

void BM_ParseNumber(benchmark::State& state) {
  const std::string text = "23.5";
  for (auto _ : state) benchmark::DoNotOptimize(tempolog::ParseNumber(Text(), text));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ParseNumber);

void BM_ParseNumberLong(benchmark::State& state) {
  const std::string text = "-1234.56789e-2";
  for (auto _ : state) benchmark::DoNotOptimize(tempolog::ParseNumber(Text(), text));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ParseNumberLong);

void BM_FormatTimestamp(benchmark::State& state) {
  double value = tempolog::EncodeDateTimeValue(2024, 3, 5, 7, 4, 9);
  for (auto _ : state) {
    benchmark::DoNotOptimize(tempolog::FormatTimestamp(Text(), value));
    value += 1.0 / 86400;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FormatTimestamp);

void BM_FormatNumberPattern(benchmark::State& state) {
  long double value = 23.5L;
  for (auto _ : state) {
    benchmark::DoNotOptimize(tempolog::FormatNumberPattern(Text(), "#00.0", value));
    value += 0.1L;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FormatNumberPattern);

void BM_FormatAxisDate(benchmark::State& state) {
  double value = tempolog::EncodeDateTimeValue(2024, 3, 5, 7, 4, 9);
  for (auto _ : state) {
    benchmark::DoNotOptimize(tempolog::FormatDateTimePattern(Text(), "dd.MM.yy hh:mm", value));
    value += 1.0 / 1440;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FormatAxisDate);

}  // namespace
