// TGrowingArray: a run of plain values that grows in place. Address space for
// as many values as it is expected to hold is reserved at its first growth;
// the system gives it memory page by page as the values are first written, so
// growing never copies the values nor holds two copies of them at once (as a
// std::vector or std::string does each time it doubles). Beyond that
// reservation it moves into a new one twice as large, copying once.
//
// For the log's text and its line index, which grow by a line at a time to
// hundreds of megabytes.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>
#include <new>
#include <type_traits>
#include <utility>

namespace tempolog {

namespace address_space {
// Reserves `bytes` of address space; nullptr when the system refuses.
void* Reserve(std::size_t bytes) noexcept;
// Makes the pages of [at, at + bytes), inside a reservation, usable; false
// when the system refuses (on systems that hand out memory on first touch
// this does nothing).
bool Commit(void* at, std::size_t bytes) noexcept;
// Gives a reservation of `bytes` at `at` back.
void Release(void* at, std::size_t bytes) noexcept;
// The system's page size.
std::size_t PageSize() noexcept;
// Has the C library give every large block (128 KiB and more) address space of
// its own, so that one grown by realloc (the chart's value lists) is moved by
// the system without a copy, and a freed one goes back to the system. The C
// library would otherwise raise that bound after the first large blocks are
// freed and copy the lists below it at each growth. Nothing where the library
// keeps large blocks apart by itself.
void MapLargeBlocks() noexcept;
}  // namespace address_space

template <class T>
class TGrowingArray {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  // `expected`: how many values to reserve address space for at the first
  // growth.
  explicit TGrowingArray(std::size_t expected = 0) : expected_(expected) {}
  ~TGrowingArray() { Free(); }
  TGrowingArray(TGrowingArray&& other) noexcept { swap(other); }
  TGrowingArray& operator=(TGrowingArray&& other) noexcept {
    TGrowingArray(std::move(other)).swap(*this);
    return *this;
  }
  TGrowingArray(const TGrowingArray&) = delete;
  TGrowingArray& operator=(const TGrowingArray&) = delete;

  void swap(TGrowingArray& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(usable_, other.usable_);
    std::swap(reserved_, other.reserved_);
    std::swap(expected_, other.expected_);
  }

  T* data() { return data_; }
  const T* data() const { return data_; }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  T& operator[](std::size_t i) { return data_[i]; }
  const T& operator[](std::size_t i) const { return data_[i]; }
  T& back() { return data_[size_ - 1]; }
  const T& back() const { return data_[size_ - 1]; }
  const T* begin() const { return data_; }
  const T* end() const { return data_ + size_; }

  // Each growth throws std::bad_alloc when the system has no memory for it,
  // and then leaves the values as they were.
  void push_back(T value) {
    if (size_ == usable_) Grow(size_ + 1);
    data_[size_++] = value;
  }
  void append(const T* values, std::size_t count) {
    T* at = Extend(count);
    if (count > 0) std::memcpy(at, values, count * sizeof(T));
  }
  // Adds `count` values that the caller writes at the place returned.
  T* Extend(std::size_t count) {
    if (count > std::numeric_limits<std::size_t>::max() - size_) throw std::bad_alloc();
    if (size_ + count > usable_) Grow(size_ + count);
    T* at = data_ + size_;
    size_ += count;
    return at;
  }
  // Drops the values from `count` on (never grows).
  void Shorten(std::size_t count) { size_ = std::min(size_, count); }
  // Drops every value and gives the memory back.
  void clear() {
    Free();
    data_ = nullptr;
    size_ = usable_ = reserved_ = 0;
  }

 private:
  // Makes room for at least `count` values.
  void Grow(std::size_t count) {
    constexpr std::size_t kMost = std::numeric_limits<std::size_t>::max() / sizeof(T) / 2;
    if (count > kMost) throw std::bad_alloc();
    if (count > reserved_) Move(std::max({count, expected_, reserved_ * 2}));
    // Pages are made usable a megabyte or more at a time.
    const std::size_t step = std::max<std::size_t>(usable_ / 2, (std::size_t{1} << 20) / sizeof(T));
    const std::size_t want = std::min(reserved_, std::max(count, usable_ + step));
    const std::size_t from =
        usable_ * sizeof(T) / address_space::PageSize() * address_space::PageSize();
    const std::size_t to = RoundedToPages(want * sizeof(T));
    if (!address_space::Commit(reinterpret_cast<char*>(data_) + from, to - from)) {
      // The system may still give what is needed now.
      const std::size_t least = RoundedToPages(count * sizeof(T));
      if (!address_space::Commit(reinterpret_cast<char*>(data_) + from, least - from))
        throw std::bad_alloc();
      usable_ = std::min(reserved_, least / sizeof(T));
      return;
    }
    usable_ = std::min(reserved_, to / sizeof(T));
  }

  // Into a reservation of `count` values, with the values held so far.
  void Move(std::size_t count) {
    const std::size_t bytes = RoundedToPages(count * sizeof(T));
    void* place = address_space::Reserve(bytes);
    if (place == nullptr) throw std::bad_alloc();
    T* values = static_cast<T*>(place);
    const std::size_t copied = RoundedToPages(size_ * sizeof(T));
    if (size_ > 0) {
      if (!address_space::Commit(place, copied)) {
        address_space::Release(place, bytes);
        throw std::bad_alloc();
      }
      std::memcpy(values, data_, size_ * sizeof(T));
    }
    Free();
    data_ = values;
    reserved_ = bytes / sizeof(T);
    usable_ = std::min(reserved_, copied / sizeof(T));
  }

  void Free() noexcept {
    if (data_ != nullptr) address_space::Release(data_, RoundedToPages(reserved_ * sizeof(T)));
  }

  static std::size_t RoundedToPages(std::size_t bytes) {
    const std::size_t page = address_space::PageSize();
    return (bytes + page - 1) / page * page;
  }

  T* data_ = nullptr;
  std::size_t size_ = 0;      // values held
  std::size_t usable_ = 0;    // values the usable pages take
  std::size_t reserved_ = 0;  // values the reservation takes
  std::size_t expected_ = 0;
};

}  // namespace tempolog
