// The block encoder's vector operations in plain C++, for processors without SSE2: each one
// gives exactly the bits of its SSE2 counterpart in simd_sse2.h, so both paths write the same
// blocks. Values are 16 bytes in memory order; lanes are read and written little-endian.
#pragma once

#include <cstdint>
#include <cstring>

namespace qelt::dxt::portable {

struct Vec {
  alignas(16) unsigned char b[16];
};

namespace lanes {

// A value seen as 16 / sizeof(T) lanes of type T. Every operation copies its operands into such
// arrays, works on whole arrays in plain loops and copies the result back, which compilers keep
// in registers and, where the target has vector instructions, turn into them.
template <typename T>
struct Of {
  static constexpr int kCount = int(16 / sizeof(T));
  T v[kCount];
};

template <typename T, typename V>
inline Of<T> as(const V& x) {
  Of<T> l;
  std::memcpy(l.v, x.b, 16);
  return l;
}

template <typename V = Vec, typename T>
inline V from(const Of<T>& l) {
  V r;
  std::memcpy(r.b, l.v, 16);
  return r;
}

// Lane by lane: r[i] = f(a[i], b[i]) over lanes of type T.
template <typename T, typename F>
inline Vec each(Vec a, Vec b, F f) {
  const Of<T> x = as<T>(a), y = as<T>(b);
  Of<T> r;
  for (int i = 0; i < Of<T>::kCount; ++i) r.v[i] = T(f(x.v[i], y.v[i]));
  return from(r);
}

template <typename T>
inline Vec splat(T x) {
  Of<T> r;
  for (int i = 0; i < Of<T>::kCount; ++i) r.v[i] = x;
  return from(r);
}

}  // namespace lanes

inline Vec zero() { return lanes::splat<std::uint8_t>(0); }
inline Vec splat_i8(char v) { return lanes::splat<std::uint8_t>(std::uint8_t(v)); }
inline Vec load(const void* p) {
  Vec r;
  std::memcpy(r.b, p, 16);
  return r;
}
inline Vec load_aligned(const void* p) { return load(p); }
inline void store(void* p, Vec v) { std::memcpy(p, v.b, 16); }
inline void store_aligned(void* p, Vec v) { store(p, v); }

inline Vec bits_and(Vec a, Vec b) {
  return lanes::each<std::uint32_t>(a, b, [](std::uint32_t x, std::uint32_t y) { return x & y; });
}

inline Vec max_u8(Vec a, Vec b) {
  return lanes::each<std::uint8_t>(a, b, [](unsigned x, unsigned y) { return x > y ? x : y; });
}
inline Vec subtract_saturated_u8(Vec a, Vec b) {
  return lanes::each<std::uint8_t>(a, b, [](unsigned x, unsigned y) { return x > y ? x - y : 0; });
}

// Eight bytes at a time: a byte of t = a ^ b is nonzero exactly where adding 0x7f to its low
// seven bits, or-ed with t, sets its top bit.
inline Vec equal_i8(Vec a, Vec b) {
  constexpr std::uint64_t kLow7 = 0x7f7f7f7f7f7f7f7full;
  return lanes::each<std::uint64_t>(a, b, [](std::uint64_t x, std::uint64_t y) {
    const std::uint64_t t = x ^ y;
    const std::uint64_t same = ~(((t & kLow7) + kLow7) | t) & ~kLow7;
    return (same >> 7) * 0xff;
  });
}
// The top bit of each byte, eight bytes at a time: with byte i's bit moved to bit 8i, a multiply
// by the sum of 2^(56 - 7j) over j = 0..7 puts it at bit 56 + i; the other copies fall on
// distinct bits below 56 or beyond 63, so nothing carries into the top byte.
inline int mask_of_i8(Vec v) {
  const lanes::Of<std::uint64_t> x = lanes::as<std::uint64_t>(v);
  int mask = 0;
  for (int i = 0; i < 2; ++i)
    mask |= int((((x.v[i] >> 7) & 0x0101010101010101ull) * 0x0102040810204080ull) >> 56) << (8 * i);
  return mask;
}

// Composite operations, each computed directly rather than from the ones above.
inline Vec select(Vec mask, Vec a, Vec b) {
  const lanes::Of<std::uint32_t> m = lanes::as<std::uint32_t>(mask),
                                 x = lanes::as<std::uint32_t>(a), y = lanes::as<std::uint32_t>(b);
  lanes::Of<std::uint32_t> r;
  for (int i = 0; i < 4; ++i) r.v[i] = (m.v[i] & x.v[i]) | (~m.v[i] & y.v[i]);
  return lanes::from(r);
}
inline int sum_bytes(Vec v) {
  int sum = 0;
  for (int i = 0; i < 16; ++i) sum += v.b[i];
  return sum;
}

}  // namespace qelt::dxt::portable
