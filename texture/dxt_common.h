// Helpers and result types the block encoder and the kernels of both its paths share.
#pragma once

#include <cstdint>
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

inline int pair16(int lo, int hi) {
  return static_cast<int>((static_cast<uint32_t>(hi) << 16) | (static_cast<uint32_t>(lo) & 0xffff));
}

// The pixels projected on an axis, and the extremes among the active ones.
struct Projection {
  alignas(16) int proj[16];  // projection of each pixel; of inactive ones, any value
  int low, high;             // extreme projections of active pixels
  int lo, hi;                // pixels that reach them (the first one on ties)
};

}  // namespace qelt::dxt
