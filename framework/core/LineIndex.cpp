// The line index. See LineIndex.h.
#include "framework/core/LineIndex.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <thread>

namespace tempolog {

namespace {

bool IsBreak(char c) { return c == '\r' || c == '\n'; }

// The bytes of an 8-byte word that are CR or LF: bit 7 of each such byte set,
// every other bit clear (exact: no carry runs from one byte into the next).
std::uint64_t BreakBytes(std::uint64_t word) {
  constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
  const auto zeroBytes = [](std::uint64_t v) { return ~(((v & kLow7) + kLow7) | v | kLow7); };
  return zeroBytes(word ^ 0x0A0A0A0A0A0A0A0Aull) | zeroBytes(word ^ 0x0D0D0D0D0D0D0D0Dull);
}

// Texts below this many bytes a part are indexed on the calling thread alone:
// a thread costs more than indexing a few megabytes takes.
constexpr std::size_t kBytesPerThread = std::size_t{1} << 22;

// Where the part that should start near `at` starts: just after the first line
// break from `at` on (after the LF of a CR LF), or at the text's end.
std::size_t PartStart(std::string_view text, std::size_t at) {
  while (at < text.size() && !IsBreak(text[at])) ++at;
  if (at == text.size()) return at;
  if (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') ++at;
  return at + 1;
}

}  // namespace

void IndexBreaks(std::string_view text, std::size_t from, TGrowingArray<std::uint32_t>& starts) {
  const char* data = text.data();
  const std::size_t size = text.size();
  const auto take = [&](std::size_t i) {
    if (data[i] == '\n') {
      if (i > 0 && data[i - 1] == '\r') {
        starts.back() = static_cast<std::uint32_t>(i + 1);
      } else {
        starts.push_back(static_cast<std::uint32_t>(i + 1));
      }
    } else {
      starts.push_back(static_cast<std::uint32_t>(i + 1));
    }
  };
  std::size_t i = from;
  // Eight bytes at a time: most words of a log hold no line break at all.
  if constexpr (std::endian::native == std::endian::little) {
    for (; i + 8 <= size; i += 8) {
      std::uint64_t word = 0;
      std::memcpy(&word, data + i, 8);
      for (std::uint64_t breaks = BreakBytes(word); breaks != 0; breaks &= breaks - 1) {
        take(i + static_cast<std::size_t>(std::countr_zero(breaks)) / 8);
      }
    }
  }
  for (; i < size; ++i) {
    if (IsBreak(data[i])) take(i);
  }
}

void IndexBreaksInParallel(std::string_view text, TGrowingArray<std::uint32_t>& starts,
                           unsigned threads) {
  threads = std::max(1u, threads);
  // Part t covers [bounds[t], bounds[t + 1]); each starts just after a break,
  // so no part's first LF completes a CR of the part before it.
  std::vector<std::size_t> bounds(threads + 1, text.size());
  bounds[0] = 0;
  for (unsigned t = 1; t < threads; ++t) {
    bounds[t] = PartStart(text, std::max(bounds[t - 1], text.size() / threads * t));
  }
  // The starts of parts 1.. are gathered aside (the first part's go straight
  // into `starts`) and joined in order.
  std::vector<TGrowingArray<std::uint32_t>> parts;
  for (unsigned t = 0; t < threads; ++t) parts.emplace_back((bounds[t + 1] - bounds[t]) / 16 + 1);
  std::vector<char> failed(threads, 0);
  const auto indexPart = [&](unsigned t) noexcept {
    try {
      IndexBreaks(text.substr(0, bounds[t + 1]), bounds[t], parts[t]);
    } catch (const std::bad_alloc&) {
      failed[t] = 1;
    }
  };
  std::vector<std::thread> workers;
  try {
    workers.reserve(threads - 1);
    for (unsigned t = 1; t < threads; ++t) workers.emplace_back(indexPart, t);
  } catch (const std::exception&) {
    // No further thread: the parts without one are indexed below.
  }
  const auto join = [&]() {
    for (std::thread& worker : workers) worker.join();
  };
  try {
    IndexBreaks(text.substr(0, bounds[1]), 0, starts);
    for (unsigned t = static_cast<unsigned>(workers.size()) + 1; t < threads; ++t) indexPart(t);
  } catch (...) {
    join();
    throw;
  }
  join();
  if (std::find(failed.begin(), failed.end(), 1) != failed.end()) throw std::bad_alloc();
  for (unsigned t = 1; t < threads; ++t) {
    starts.append(parts[t].data(), parts[t].size());
    parts[t].clear();  // released as soon as it is joined
  }
}

unsigned LineIndexThreads(std::size_t bytes) {
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  const std::size_t worth = std::max<std::size_t>(1, bytes / kBytesPerThread);
  return static_cast<unsigned>(std::min<std::size_t>({cores, worth, 8}));
}

}  // namespace tempolog
