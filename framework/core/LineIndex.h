// Where the lines of a text start: the line index of the log's text store.
//
// A line ends after a CR, an LF or a CR LF; the index holds the offset just
// past each line break (the text's first line, at 0, is the caller's).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "framework/core/GrowingArray.h"

namespace tempolog {

// Adds to `starts` the line starts found in text[from, end). A line feed right
// after a carriage return completes a CR LF break; this also holds across the
// boundary at `from` (the CR LF's start then gives way to the one after the
// LF, so `starts` must not be empty), so the text can be indexed piece by
// piece as it grows.
void IndexBreaks(std::string_view text, std::size_t from, TGrowingArray<std::uint32_t>& starts);

// The same for the whole text, from 0, on `threads` threads: the text is cut
// into that many parts just after a line break (never between a CR and its
// LF), each part is indexed on a thread of its own (the first on this one)
// and the parts' starts are joined in order. The starts are those of
// IndexBreaks, bit for bit. A thread that cannot be had leaves its part to
// this one. Throws std::bad_alloc with `starts` as it was but perhaps longer.
void IndexBreaksInParallel(std::string_view text, TGrowingArray<std::uint32_t>& starts,
                           unsigned threads);

// The threads IndexBreaksInParallel is worth giving for `bytes` of text on
// this machine (1 for a text of less than a few megabytes).
unsigned LineIndexThreads(std::size_t bytes);

}  // namespace tempolog
