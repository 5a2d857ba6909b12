// Contiguous per-point storage of the chart: one block of plain values
// (doubles for value lists, 32-bit colours, label pointers), grown by the
// list growth rule of the framework and limited like the framework's list.
//
//   GrowListCapacity   the capacity a full list grows to
//   TPointArray<T>     the block itself, with checked index access
//
// Failures: an index outside the list raises EListError "List index out of
// bounds (%d)"; a capacity beyond MaxListSize (or below the count) raises
// EListError "List capacity out of bounds (%d)"; an allocation the system
// refuses raises EOutOfResources "Out of memory". Every failure leaves the
// array as it was.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <type_traits>
#include <utility>

namespace tempolog {

// The most entries a list may hold.
inline constexpr std::int32_t MaxListSize = 134217727;

// The capacity a full list of the given capacity grows to: a quarter more
// above 64 entries, 16 more above 8, else 4 more; clamped to MaxListSize.
// A list already at MaxListSize cannot grow: EListError.
std::int32_t GrowListCapacity(std::int32_t capacity);

[[noreturn]] void RaiseListIndexError(std::int64_t index);
[[noreturn]] void RaiseListCapacityError(std::int64_t capacity);
[[noreturn]] void RaiseOutOfMemory();

template <class T>
class TPointArray {
  static_assert(std::is_trivially_copyable_v<T>, "points are stored as plain bytes");

 public:
  TPointArray() = default;
  TPointArray(const TPointArray&) = delete;
  TPointArray& operator=(const TPointArray&) = delete;
  TPointArray(TPointArray&& other) noexcept { Take(other); }
  TPointArray& operator=(TPointArray&& other) noexcept {
    if (this != &other) {
      std::free(data_);
      Take(other);
    }
    return *this;
  }
  ~TPointArray() { std::free(data_); }

  std::int32_t Count() const noexcept { return count_; }
  std::int32_t Capacity() const noexcept { return capacity_; }
  const T* Data() const noexcept { return data_; }
  T* Data() noexcept { return data_; }

  // Unchecked access, for loops that already know the index is valid.
  const T& operator[](std::int32_t index) const noexcept { return data_[index]; }
  T& operator[](std::int32_t index) noexcept { return data_[index]; }

  // Checked access.
  const T& At(std::int32_t index) const {
    CheckIndex(index);
    return data_[index];
  }
  T& At(std::int32_t index) {
    CheckIndex(index);
    return data_[index];
  }

  void CheckIndex(std::int64_t index) const {
    if (index < 0 || index >= count_) RaiseListIndexError(index);
  }

  // Sets the capacity; refused below the count or beyond MaxListSize.
  // Capacity 0 frees the block.
  void SetCapacity(std::int64_t capacity) {
    if (capacity < count_ || capacity > MaxListSize) RaiseListCapacityError(capacity);
    if (capacity == capacity_) return;
    if (capacity == 0) {
      std::free(data_);
      data_ = nullptr;
      capacity_ = 0;
      return;
    }
    void* block = std::realloc(data_, static_cast<std::size_t>(capacity) * sizeof(T));
    if (block == nullptr) RaiseOutOfMemory();
    data_ = static_cast<T*>(block);
    capacity_ = static_cast<std::int32_t>(capacity);
  }

  // Makes room for one more entry, growing by the list rule when full. After
  // it returns, one Insert or Append cannot fail for want of room.
  void ReserveOne() {
    if (count_ == capacity_) SetCapacity(GrowListCapacity(capacity_));
  }

  // Inserts at index (0 to Count, Count appends).
  void Insert(std::int32_t index, T value) {
    if (index < 0 || index > count_) RaiseListIndexError(index);
    ReserveOne();
    if (index < count_) {
      std::memmove(data_ + index + 1, data_ + index,
                   static_cast<std::size_t>(count_ - index) * sizeof(T));
    }
    data_[index] = value;
    ++count_;
  }

  void Append(T value) {
    ReserveOne();
    data_[count_++] = value;
  }

  // Makes room for `more` entries after the last (the capacity grows to just
  // that, not by the list rule) and returns where they go; nothing counts them
  // until Commit.
  T* Room(std::int64_t more) {
    if (more > capacity_ - count_) SetCapacity(count_ + more);
    return data_ + count_;
  }
  // Counts `more` entries written into the room after the last.
  void Commit(std::int32_t more) noexcept { count_ += more; }

  void RemoveAt(std::int32_t index) {
    CheckIndex(index);
    if (index < count_ - 1) {
      std::memmove(data_ + index, data_ + index + 1,
                   static_cast<std::size_t>(count_ - index - 1) * sizeof(T));
    }
    --count_;
  }

  // Fills the array with count copies of value (capacity at least count).
  void Fill(std::int32_t count, T value) {
    if (count > capacity_) SetCapacity(count);
    for (std::int32_t i = 0; i < count; ++i) data_[i] = value;
    count_ = count;
  }

  // Empties the array and frees its block (capacity back to 0).
  void Clear() noexcept {
    std::free(data_);
    data_ = nullptr;
    count_ = 0;
    capacity_ = 0;
  }

  void Swap(std::int32_t a, std::int32_t b) noexcept { std::swap(data_[a], data_[b]); }

 private:
  void Take(TPointArray& other) noexcept {
    data_ = std::exchange(other.data_, nullptr);
    count_ = std::exchange(other.count_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
  }

  T* data_ = nullptr;
  std::int32_t count_ = 0;
  std::int32_t capacity_ = 0;
};

}  // namespace tempolog
