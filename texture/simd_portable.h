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
struct VecF {
  alignas(16) unsigned char b[16];
};

namespace lanes {

template <typename T, typename V>
inline T get(const V& v, int i) {
  T x;
  std::memcpy(&x, v.b + i * int(sizeof(T)), sizeof(T));
  return x;
}

template <typename T, typename V>
inline void put(V& v, int i, T x) {
  std::memcpy(v.b + i * int(sizeof(T)), &x, sizeof(T));
}

// Lane by lane: r[i] = f(a[i], b[i]) over lanes of type T.
template <typename T, typename F>
inline Vec each(Vec a, Vec b, F f) {
  Vec r;
  for (int i = 0; i < int(16 / sizeof(T)); ++i) put<T>(r, i, T(f(get<T>(a, i), get<T>(b, i))));
  return r;
}

template <typename T, typename F>
inline Vec each(Vec a, F f) {
  return each<T>(a, a, [&](T x, T) { return f(x); });
}

template <typename T>
inline Vec splat(T x) {
  Vec r;
  for (int i = 0; i < int(16 / sizeof(T)); ++i) put<T>(r, i, x);
  return r;
}

template <typename To, typename From>
inline To saturate(From x, From low, From high) {
  return To(x < low ? low : x > high ? high : x);
}

}  // namespace lanes

inline Vec zero() { return lanes::splat<std::uint8_t>(0); }
inline Vec splat_i8(char v) { return lanes::splat<std::uint8_t>(std::uint8_t(v)); }
inline Vec splat_i16(short v) { return lanes::splat<std::uint16_t>(std::uint16_t(v)); }
inline Vec splat_i32(int v) { return lanes::splat<std::uint32_t>(std::uint32_t(v)); }
inline Vec make_i32(int a, int b, int c, int d) {
  const int values[4] = {a, b, c, d};
  Vec r;
  for (int i = 0; i < 4; ++i) lanes::put<std::uint32_t>(r, i, std::uint32_t(values[i]));
  return r;
}
inline Vec load(const void* p) {
  Vec r;
  std::memcpy(r.b, p, 16);
  return r;
}
inline Vec load_aligned(const void* p) { return load(p); }
inline void store(void* p, Vec v) { std::memcpy(p, v.b, 16); }
inline void store_aligned(void* p, Vec v) { store(p, v); }
inline void store_low_half(void* p, Vec v) { std::memcpy(p, v.b, 8); }
inline int low_i32(Vec v) { return int(lanes::get<std::uint32_t>(v, 0)); }

inline Vec bits_and(Vec a, Vec b) {
  return lanes::each<std::uint8_t>(a, b, [](unsigned x, unsigned y) { return x & y; });
}
inline Vec bits_or(Vec a, Vec b) {
  return lanes::each<std::uint8_t>(a, b, [](unsigned x, unsigned y) { return x | y; });
}
inline Vec bits_xor(Vec a, Vec b) {
  return lanes::each<std::uint8_t>(a, b, [](unsigned x, unsigned y) { return x ^ y; });
}
inline Vec bits_andnot(Vec a, Vec b) {
  return lanes::each<std::uint8_t>(a, b, [](unsigned x, unsigned y) { return ~x & y; });
}

// Wrapping arithmetic is done on unsigned lanes, where it is defined.
inline Vec add_i16(Vec a, Vec b) {
  return lanes::each<std::uint16_t>(a, b, [](unsigned x, unsigned y) { return x + y; });
}
inline Vec add_i32(Vec a, Vec b) {
  return lanes::each<std::uint32_t>(a, b, [](std::uint32_t x, std::uint32_t y) { return x + y; });
}
inline Vec sub_i32(Vec a, Vec b) {
  return lanes::each<std::uint32_t>(a, b, [](std::uint32_t x, std::uint32_t y) { return x - y; });
}
inline Vec multiply_low_i16(Vec a, Vec b) {
  // The low 16 bits of a product are the same for signed and unsigned lanes.
  return lanes::each<std::uint16_t>(a, b, [](std::uint32_t x, std::uint32_t y) { return x * y; });
}
// Signed 16-bit products, summed in pairs into 32-bit lanes.
inline Vec madd_i16(Vec a, Vec b) {
  Vec r;
  for (int i = 0; i < 4; ++i) {
    const std::int64_t sum =
        std::int64_t(lanes::get<std::int16_t>(a, 2 * i)) * lanes::get<std::int16_t>(b, 2 * i) +
        std::int64_t(lanes::get<std::int16_t>(a, 2 * i + 1)) *
            lanes::get<std::int16_t>(b, 2 * i + 1);
    lanes::put<std::uint32_t>(r, i, std::uint32_t(sum));
  }
  return r;
}
// Sum of absolute byte differences of each 8-byte half, in the low bits of its 64-bit lane.
inline Vec sad_u8(Vec a, Vec b) {
  Vec r;
  for (int half = 0; half < 2; ++half) {
    std::uint64_t sum = 0;
    for (int i = 8 * half; i < 8 * half + 8; ++i)
      sum += a.b[i] > b.b[i] ? a.b[i] - b.b[i] : b.b[i] - a.b[i];
    lanes::put<std::uint64_t>(r, half, sum);
  }
  return r;
}
inline Vec min_u8(Vec a, Vec b) {
  return lanes::each<std::uint8_t>(a, b, [](unsigned x, unsigned y) { return x < y ? x : y; });
}
inline Vec max_u8(Vec a, Vec b) {
  return lanes::each<std::uint8_t>(a, b, [](unsigned x, unsigned y) { return x > y ? x : y; });
}
inline Vec subtract_saturated_u8(Vec a, Vec b) {
  return lanes::each<std::uint8_t>(a, b, [](unsigned x, unsigned y) { return x > y ? x - y : 0; });
}

inline Vec equal_i8(Vec a, Vec b) {
  return lanes::each<std::uint8_t>(a, b, [](unsigned x, unsigned y) { return x == y ? 0xff : 0; });
}
inline Vec equal_i32(Vec a, Vec b) {
  return lanes::each<std::uint32_t>(
      a, b, [](std::uint32_t x, std::uint32_t y) { return x == y ? ~std::uint32_t(0) : 0; });
}
inline Vec greater_i32(Vec a, Vec b) {
  return lanes::each<std::int32_t>(
      a, b, [](std::int32_t x, std::int32_t y) { return x > y ? std::int32_t(-1) : 0; });
}
inline int mask_of_i8(Vec v) {
  int mask = 0;
  for (int i = 0; i < 16; ++i) mask |= (v.b[i] >> 7) << i;
  return mask;
}
inline int mask_of_i32(Vec v) {
  int mask = 0;
  for (int i = 0; i < 4; ++i) mask |= int(lanes::get<std::uint32_t>(v, i) >> 31) << i;
  return mask;
}

// Counts past the lane width clear the lane, or fill it with the sign for arithmetic shifts.
inline Vec shift_left_i32(Vec v, int n) {
  return lanes::each<std::uint32_t>(v, [n](std::uint32_t x) { return n > 31 ? 0 : x << n; });
}
inline Vec shift_right_u32(Vec v, int n) {
  return lanes::each<std::uint32_t>(v, [n](std::uint32_t x) { return n > 31 ? 0 : x >> n; });
}
inline Vec shift_right_i32(Vec v, int n) {
  // GCC shifts negative values arithmetically, as the instruction does.
  return lanes::each<std::int32_t>(v, [n](std::int32_t x) { return x >> (n > 31 ? 31 : n); });
}
inline Vec shift_right_u16(Vec v, int n) {
  return lanes::each<std::uint16_t>(v, [n](unsigned x) { return n > 15 ? 0 : x >> n; });
}
inline Vec shift_left_i64(Vec v, int n) {
  return lanes::each<std::uint64_t>(v, [n](std::uint64_t x) { return n > 63 ? 0 : x << n; });
}
template <int N>
inline Vec shift_bytes_right(Vec v) {
  Vec r = zero();
  for (int i = 0; i + N < 16; ++i) r.b[i] = v.b[i + N];
  return r;
}
template <int Order>
inline Vec shuffle_i32(Vec v) {
  Vec r;
  for (int i = 0; i < 4; ++i)
    lanes::put<std::uint32_t>(r, i, lanes::get<std::uint32_t>(v, (Order >> (2 * i)) & 3));
  return r;
}

// Packs take the lanes of a, then those of b, each saturated to the narrower type.
inline Vec pack_i32_to_i16(Vec a, Vec b) {
  Vec r;
  for (int i = 0; i < 8; ++i) {
    const std::int32_t x = lanes::get<std::int32_t>(i < 4 ? a : b, i % 4);
    lanes::put<std::int16_t>(r, i, lanes::saturate<std::int16_t, std::int32_t>(x, -32768, 32767));
  }
  return r;
}
inline Vec pack_i16_to_i8(Vec a, Vec b) {
  Vec r;
  for (int i = 0; i < 16; ++i) {
    const std::int32_t x = lanes::get<std::int16_t>(i < 8 ? a : b, i % 8);
    r.b[i] = std::uint8_t(lanes::saturate<std::int8_t, std::int32_t>(x, -128, 127));
  }
  return r;
}
inline Vec pack_i16_to_u8(Vec a, Vec b) {
  Vec r;
  for (int i = 0; i < 16; ++i) {
    const std::int32_t x = lanes::get<std::int16_t>(i < 8 ? a : b, i % 8);
    r.b[i] = lanes::saturate<std::uint8_t, std::int32_t>(x, 0, 255);
  }
  return r;
}
// Interleaves take a's and b's lanes in turn, from the low or the high half.
inline Vec interleave_low_i8(Vec a, Vec b) {
  Vec r;
  for (int i = 0; i < 8; ++i) r.b[2 * i] = a.b[i], r.b[2 * i + 1] = b.b[i];
  return r;
}
inline Vec interleave_high_i8(Vec a, Vec b) {
  Vec r;
  for (int i = 0; i < 8; ++i) r.b[2 * i] = a.b[8 + i], r.b[2 * i + 1] = b.b[8 + i];
  return r;
}
inline Vec interleave_low_i64(Vec a, Vec b) {
  Vec r;
  std::memcpy(r.b, a.b, 8);
  std::memcpy(r.b + 8, b.b, 8);
  return r;
}
inline Vec interleave_high_i64(Vec a, Vec b) {
  Vec r;
  std::memcpy(r.b, a.b + 8, 8);
  std::memcpy(r.b + 8, b.b + 8, 8);
  return r;
}

// The encoder keeps only whole numbers below 2^24 in floats, so conversions are exact on any
// floating-point unit and truncation equals the SSE2 conversion.
inline VecF splat_f32(float v) {
  VecF r;
  for (int i = 0; i < 4; ++i) lanes::put<float>(r, i, v);
  return r;
}
inline VecF to_f32(Vec v) {
  VecF r;
  for (int i = 0; i < 4; ++i) lanes::put<float>(r, i, float(lanes::get<std::int32_t>(v, i)));
  return r;
}
inline VecF min_f32(VecF a, VecF b) {
  VecF r;
  for (int i = 0; i < 4; ++i) {
    const float x = lanes::get<float>(a, i), y = lanes::get<float>(b, i);
    lanes::put<float>(r, i, x < y ? x : y);
  }
  return r;
}
inline Vec truncate_to_i32(VecF v) {
  Vec r;
  for (int i = 0; i < 4; ++i) lanes::put<std::int32_t>(r, i, std::int32_t(lanes::get<float>(v, i)));
  return r;
}

}  // namespace qelt::dxt::portable
