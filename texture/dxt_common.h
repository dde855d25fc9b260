// Helpers and result types the block encoder and the kernels of both its paths share.
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>

namespace qelt::dxt {

// Calls f(0) .. f(N-1) with compile-time indices; the hot loops are short and must unroll.
template <int N, typename F>
inline void unroll(F&& f) {
  if constexpr (N > 0) {
    unroll<N - 1>(f);
    f(std::integral_constant<int, N - 1>{});
  }
}

// Spreads the 16 bits of v to the even bit positions of the result.
inline uint32_t spread_bits(uint32_t v) {
  v = (v | (v << 8)) & 0x00ff00ffu;
  v = (v | (v << 4)) & 0x0f0f0f0fu;
  v = (v | (v << 2)) & 0x33333333u;
  return (v | (v << 1)) & 0x55555555u;
}

// Little-endian, as blocks are stored.
inline void put_le32(unsigned char* out, uint32_t v) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  std::memcpy(out, &v, 4);
#else
  for (int b = 0; b < 4; ++b) out[b] = static_cast<unsigned char>(v >> (8 * b));
#endif
}

// The pixels projected on an axis, and the extremes among the active ones.
struct Projection {
  alignas(16) int proj[16];  // projection of each pixel; of inactive ones, any value
  int low, high;             // extreme projections of active pixels
  int lo, hi;                // pixels that reach them (the first one on ties)
};

}  // namespace qelt::dxt
