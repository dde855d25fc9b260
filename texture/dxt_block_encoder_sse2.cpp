// The block encoder on SSE2. On 32-bit x86 only this file is compiled for SSE2, and the encoder
// calls it only where the processor has SSE2.
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

#include "dxt_encoder.h"
#include "dxt_tables.h"
#include "dxt_kernels_sse2.h"

namespace qelt::dxt::sse2 {
#include "dxt_block_encoder.inc"
}  // namespace qelt::dxt::sse2
