#include "chart/PointArray.h"

#include <string>

#include "framework/core/Exceptions.h"

namespace tempolog {

std::int32_t GrowListCapacity(std::int32_t capacity) {
  if (capacity >= MaxListSize) RaiseListCapacityError(std::int64_t{capacity} + 1);
  std::int64_t delta = 4;
  if (capacity > 64) {
    delta = capacity / 4;
  } else if (capacity > 8) {
    delta = 16;
  }
  // Near the limit the last step stops at the limit, so that the list can
  // hold every entry it is allowed to.
  const std::int64_t grown = std::int64_t{capacity} + delta;
  return static_cast<std::int32_t>(grown > MaxListSize ? MaxListSize : grown);
}

void RaiseListIndexError(std::int64_t index) {
  throw EListError(FormatMessage("List index out of bounds (%s)", {std::to_string(index)}));
}

void RaiseListCapacityError(std::int64_t capacity) {
  throw EListError(FormatMessage("List capacity out of bounds (%s)", {std::to_string(capacity)}));
}

void RaiseOutOfMemory() { throw EOutOfResources("Out of memory"); }

}  // namespace tempolog
