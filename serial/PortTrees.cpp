// The folders the port list reads, and the tests' way to put made-up ones in
// their place.
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

TPortTreeOverride::TPortTreeOverride(TPortTrees trees) : saved_(CurrentTrees()) {
  CurrentTrees() = std::move(trees);
}

TPortTreeOverride::~TPortTreeOverride() { CurrentTrees() = std::move(saved_); }

}  // namespace tempolog
