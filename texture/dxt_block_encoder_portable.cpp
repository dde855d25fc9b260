// The block encoder in plain C++, for processors without SSE2.
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

#include "dxt_encoder.h"
#include "dxt_tables.h"
#include "dxt_kernels_portable.h"

namespace qelt::dxt::portable {
#include "dxt_block_encoder.inc"
}  // namespace qelt::dxt::portable
