// Made-up /dev and /sys trees in place of the system's for the length of a
// test; the earlier ones again when it goes out of scope.
#pragma once

#include <utility>

#include "serial/SerialPort.h"

namespace tempolog {

class TPortTreeOverride {
 public:
  explicit TPortTreeOverride(TPortTrees trees) : saved_(PortTrees()) {
    SetPortTrees(std::move(trees));
  }
  ~TPortTreeOverride() { SetPortTrees(std::move(saved_)); }
  TPortTreeOverride(const TPortTreeOverride&) = delete;
  TPortTreeOverride& operator=(const TPortTreeOverride&) = delete;

 private:
  TPortTrees saved_;
};

}  // namespace tempolog
