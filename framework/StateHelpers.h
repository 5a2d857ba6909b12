// Two small helpers for an object's own state: a property setter that acts
// only on a change, and a flag held for the length of a call.
#pragma once

namespace tempolog {

// Stores `value` into `field`; true when that changed it (the setter then
// asks for a repaint).
template <class T>
bool StoreChanged(T& field, const T& value) {
  if (field == value) return false;
  field = value;
  return true;
}

// Sets a flag for the lifetime of the guard and gives it back its old value,
// also when the guarded call throws: the usual stop against re-entry.
class FlagGuard {
 public:
  explicit FlagGuard(bool& flag) noexcept : flag_(flag), old_(flag) { flag_ = true; }
  ~FlagGuard() { flag_ = old_; }
  FlagGuard(const FlagGuard&) = delete;
  FlagGuard& operator=(const FlagGuard&) = delete;

 private:
  bool& flag_;
  bool old_;
};

}  // namespace tempolog
