// Reads a fuzzer's bytes as a sequence of values; past the end every value is 0, so that any
// input, however short, is a complete case.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  template <typename T>
  T take() {
    T value{};
    const std::size_t n = std::min(sizeof value, size_ - at_);
    std::memcpy(&value, data_ + at_, n);
    at_ += n;
    return value;
  }
  // A value in [0, count).
  std::size_t pick(std::size_t count) { return count == 0 ? 0 : take<std::uint32_t>() % count; }
  // Up to `limit` of the remaining bytes.
  std::vector<std::uint8_t> bytes(std::size_t limit) {
    const std::size_t n = std::min(limit, size_ - at_);
    std::vector<std::uint8_t> out(data_ + at_, data_ + at_ + n);
    at_ += n;
    return out;
  }
  bool empty() const { return at_ >= size_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

// A violated invariant is a finding: stop where it happened.
#define FUZZ_CHECK(condition) \
  do {                        \
    if (!(condition)) __builtin_trap(); \
  } while (false)
