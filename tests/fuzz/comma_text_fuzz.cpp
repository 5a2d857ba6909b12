// The port list's comma text: any list of port names written by CommaText
// splits back into the same names, also behind the "offline," item the port
// box puts in front; and any text at all splits into items that survive a
// second trip through CommaText.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <vector>

#include "serial/SerialPort.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

using Items = std::vector<std::string>;

// One list with a single empty name is written as the empty text, which is
// the empty list: the only list the form cannot carry.
bool Representable(const Items& items) { return !(items.size() == 1 && items[0].empty()); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tempolog;
  FuzzedDataProvider in(data, size);
  if (in.ConsumeBool()) {
    // Arbitrary text, as a list that was not written by CommaText.
    const std::string text = in.ConsumeRemainingBytesAsString();
    const Items items = SplitCommaText(text);
    if (Representable(items)) FUZZ_CHECK(SplitCommaText(CommaText(items)) == items, text);
    return 0;
  }
  Items names;
  while (in.remaining_bytes() > 0) names.push_back(in.ConsumeRandomLengthString(32));
  const std::string text = CommaText(names);
  if (Representable(names)) FUZZ_CHECK(SplitCommaText(text) == names, text);
  // The port box: "offline" first, an empty list leaving one empty item.
  Items shown{"offline"};
  shown.insert(shown.end(), names.begin(), names.end());
  if (names.empty()) shown.emplace_back();
  FUZZ_CHECK(SplitCommaText("offline," + text) == shown, text);
  return 0;
}
