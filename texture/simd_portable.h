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

// Narrows the lanes of a, then those of b, each saturated to [low, high].
template <typename To, typename From>
inline Vec pack(Vec a, Vec b, int low, int high) {
  From x[2 * Of<From>::kCount];
  std::memcpy(x, a.b, 16);
  std::memcpy(x + Of<From>::kCount, b.b, 16);
  Of<To> r;
  for (int i = 0; i < Of<To>::kCount; ++i) {
    const From v = x[i] < From(low) ? From(low) : x[i];
    r.v[i] = To(v > From(high) ? From(high) : v);
  }
  return from(r);
}

}  // namespace lanes

inline Vec zero() { return lanes::splat<std::uint8_t>(0); }
inline Vec splat_i8(char v) { return lanes::splat<std::uint8_t>(std::uint8_t(v)); }
inline Vec splat_i16(short v) { return lanes::splat<std::uint16_t>(std::uint16_t(v)); }
inline Vec splat_i32(int v) { return lanes::splat<std::uint32_t>(std::uint32_t(v)); }
inline Vec load(const void* p) {
  Vec r;
  std::memcpy(r.b, p, 16);
  return r;
}
inline Vec load_aligned(const void* p) { return load(p); }
// Four bytes into the low lane, the rest zero.
inline Vec load_low_i32(const void* p) {
  Vec r = zero();
  std::memcpy(r.b, p, 4);
  return r;
}
inline void store(void* p, Vec v) { std::memcpy(p, v.b, 16); }
inline void store_aligned(void* p, Vec v) { store(p, v); }

inline Vec bits_and(Vec a, Vec b) {
  return lanes::each<std::uint32_t>(a, b, [](std::uint32_t x, std::uint32_t y) { return x & y; });
}

// Wrapping arithmetic is done on unsigned lanes, where it is defined.
inline Vec add_i16(Vec a, Vec b) {
  return lanes::each<std::uint16_t>(a, b, [](unsigned x, unsigned y) { return x + y; });
}
inline Vec add_i32(Vec a, Vec b) {
  return lanes::each<std::uint32_t>(a, b, [](std::uint32_t x, std::uint32_t y) { return x + y; });
}
inline Vec multiply_low_i16(Vec a, Vec b) {
  // The low 16 bits of a product are the same for signed and unsigned lanes.
  return lanes::each<std::uint16_t>(a, b, [](std::uint32_t x, std::uint32_t y) { return x * y; });
}
// Signed 16-bit products, summed in pairs into 32-bit lanes. Each product fits in 32 bits; their
// sum wraps as the instruction's does.
inline Vec madd_i16(Vec a, Vec b) {
  const lanes::Of<std::int16_t> x = lanes::as<std::int16_t>(a), y = lanes::as<std::int16_t>(b);
  std::int32_t product[8];
  for (int i = 0; i < 8; ++i) product[i] = x.v[i] * y.v[i];
  lanes::Of<std::uint32_t> r;
  for (int i = 0; i < 4; ++i)
    r.v[i] = std::uint32_t(product[2 * i]) + std::uint32_t(product[2 * i + 1]);
  return lanes::from(r);
}
inline Vec max_u8(Vec a, Vec b) {
  return lanes::each<std::uint8_t>(a, b, [](unsigned x, unsigned y) { return x > y ? x : y; });
}
inline Vec subtract_saturated_u8(Vec a, Vec b) {
  return lanes::each<std::uint8_t>(a, b, [](unsigned x, unsigned y) { return x > y ? x - y : 0; });
}

inline Vec shift_right_u16(Vec v, int n) {
  return lanes::each<std::uint16_t>(v, v,
                                    [n](unsigned x, unsigned) { return n > 15 ? 0 : x >> n; });
}

// Interleaves take the low lanes of a and b in turn: a0 b0 a1 b1 ...
template <typename T>
inline Vec interleave_low(Vec a, Vec b) {
  const lanes::Of<T> x = lanes::as<T>(a), y = lanes::as<T>(b);
  lanes::Of<T> r;
  for (int i = 0; i < lanes::Of<T>::kCount / 2; ++i) r.v[2 * i] = x.v[i], r.v[2 * i + 1] = y.v[i];
  return lanes::from(r);
}
inline Vec interleave_low_i16(Vec a, Vec b) { return interleave_low<std::uint16_t>(a, b); }
inline Vec interleave_low_i32(Vec a, Vec b) { return interleave_low<std::uint32_t>(a, b); }

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

// Packs take the lanes of a, then those of b, each saturated to the narrower type.
inline Vec pack_i16_to_i8(Vec a, Vec b) {
  return lanes::pack<std::int8_t, std::int16_t>(a, b, -128, 127);
}
inline Vec pack_i16_to_u8(Vec a, Vec b) {
  return lanes::pack<std::uint8_t, std::int16_t>(a, b, 0, 255);
}

// Composite operations, each computed directly rather than from the ones above.
inline Vec select(Vec mask, Vec a, Vec b) {
  const lanes::Of<std::uint32_t> m = lanes::as<std::uint32_t>(mask),
                                 x = lanes::as<std::uint32_t>(a), y = lanes::as<std::uint32_t>(b);
  lanes::Of<std::uint32_t> r;
  for (int i = 0; i < 4; ++i) r.v[i] = (m.v[i] & x.v[i]) | (~m.v[i] & y.v[i]);
  return lanes::from(r);
}
inline std::uint32_t horizontal_sum(Vec v) {
  const lanes::Of<std::uint32_t> x = lanes::as<std::uint32_t>(v);
  return x.v[0] + x.v[1] + x.v[2] + x.v[3];
}
inline int sum_bytes(Vec v) {
  int sum = 0;
  for (int i = 0; i < 16; ++i) sum += v.b[i];
  return sum;
}
// The 32-bit lanes of four values, saturated to bytes.
inline Vec pack_bytes(const Vec (&quads)[4]) {
  std::int32_t x[16];
  for (int j = 0; j < 4; ++j) std::memcpy(x + 4 * j, quads[j].b, 16);
  Vec r;
  for (int i = 0; i < 16; ++i) {
    const std::int32_t v = x[i] < 0 ? 0 : x[i];
    r.b[i] = std::uint8_t(v > 255 ? 255 : v);
  }
  return r;
}

}  // namespace qelt::dxt::portable
