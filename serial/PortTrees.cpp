// The folders the port list reads, and the way to put made-up ones in their
// place.
#include <utility>

#include "serial/SerialPort.h"

namespace tempolog {

namespace {

TPortTrees& CurrentTrees() {
  static TPortTrees trees;
  return trees;
}

}  // namespace

const TPortTrees& PortTrees() { return CurrentTrees(); }

void SetPortTrees(TPortTrees trees) { CurrentTrees() = std::move(trees); }

}  // namespace tempolog
