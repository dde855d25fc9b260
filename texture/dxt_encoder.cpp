#include "dxt_encoder.h"

#include <atomic>
#include <cstddef>
#include <cstring>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

namespace qelt::dxt {

namespace sse2 {
void encode_block(Format f, const unsigned char bgra[64], unsigned char* out, bool punch_through);
}
namespace portable {
void encode_block(Format f, const unsigned char bgra[64], unsigned char* out, bool punch_through);
}

namespace {

using BlockEncoder = void (*)(Format, const unsigned char*, unsigned char*, bool);

// CPUID's SSE2 flag. Every system the DLLs support saves the SSE registers on task switches
// wherever the processor has them, so the flag alone decides.
bool processor_has_sse2() {
#if defined(__x86_64__)
  return true;
#elif defined(__i386__)
  unsigned eax, ebx, ecx, edx;
  return __get_cpuid(1, &eax, &ebx, &ecx, &edx) != 0 && (edx & bit_SSE2) != 0;
#else
  return false;
#endif
}

BlockEncoder encoder_for(Path path) {
  return path == Path::kSse2 ? &sse2::encode_block : &portable::encode_block;
}

// Chosen on first use, unless a caller chose before.
std::atomic<BlockEncoder> g_encoder{nullptr};

BlockEncoder current_encoder() {
  BlockEncoder encoder = g_encoder.load(std::memory_order_relaxed);
  if (encoder == nullptr) {
    encoder = encoder_for(fastest_path());
    g_encoder.store(encoder, std::memory_order_relaxed);
  }
  return encoder;
}

}  // namespace

Path fastest_path() { return processor_has_sse2() ? Path::kSse2 : Path::kPortable; }

bool use_path(Path path) {
  if (path == Path::kSse2 && fastest_path() != Path::kSse2) return false;
  g_encoder.store(encoder_for(path), std::memory_order_relaxed);
  return true;
}

Path active_path() {
  return current_encoder() == &sse2::encode_block ? Path::kSse2 : Path::kPortable;
}

unsigned block_bytes(Format f) { return f == Format::kDxt1 ? 8u : 16u; }

void encode_block(Format f, const unsigned char bgra[64], unsigned char* out, bool punch_through) {
  current_encoder()(f, bgra, out, punch_through);
}

void encode_image(Format f, const unsigned char* src, int src_pitch, int src_bytes_per_pixel,
                  int width, int height, unsigned char* dst, int dst_pitch, bool punch_through) {
  const unsigned bytes = block_bytes(f);
  const BlockEncoder encoder = current_encoder();
  unsigned char block[64];
  for (int by = 0; by < height; by += 4) {
    unsigned char* out = dst + static_cast<std::ptrdiff_t>(by / 4) * dst_pitch;
    const bool whole_rows = by + 4 <= height && src_bytes_per_pixel == 4;
    for (int bx = 0; bx < width; bx += 4) {
      if (whole_rows && bx + 4 <= width) {
        const unsigned char* p = src + static_cast<std::ptrdiff_t>(by) * src_pitch + 4 * bx;
        for (int y = 0; y < 4; ++y) std::memcpy(block + 16 * y, p + y * src_pitch, 16);
      } else {
        // Edge blocks repeat the last column and row; three-byte pixels get alpha 255.
        for (int y = 0; y < 4; ++y) {
          const int sy = by + y < height ? by + y : height - 1;
          const unsigned char* row = src + static_cast<std::ptrdiff_t>(sy) * src_pitch;
          for (int x = 0; x < 4; ++x) {
            const int sx = bx + x < width ? bx + x : width - 1;
            const unsigned char* p = row + sx * src_bytes_per_pixel;
            unsigned char* q = block + 4 * (4 * y + x);
            q[0] = p[0];
            q[1] = p[1];
            q[2] = p[2];
            q[3] = src_bytes_per_pixel == 4 ? p[3] : 255;
          }
        }
      }
      encoder(f, block, out, punch_through);
      out += bytes;
    }
  }
}

}  // namespace qelt::dxt
