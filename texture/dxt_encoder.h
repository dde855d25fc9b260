// S3TC block compression for texture uploads.
//
// Output is deterministic: the same image gives the same bytes on every supported
// target and on both of its paths, because every decision that reaches the output is made on
// exact integer values.
#pragma once

namespace qelt::dxt {

enum class Format { kDxt1, kDxt3, kDxt5 };

// The instruction sets the block encoder is compiled for. The encoder uses SSE2 where the
// processor has it, unless a caller chose otherwise.
enum class Path { kPortable, kSse2 };

// SSE2 when this processor has it, else the portable path.
Path fastest_path();
// Makes every later encode use `path`; false, changing nothing, when the processor lacks it.
bool use_path(Path path);
Path active_path();

// Bytes per 4x4 block: 8 for DXT1, 16 for DXT3/DXT5.
unsigned block_bytes(Format f);

// Encodes one 4x4 block. `bgra` is 16 pixels, row-major, 4 bytes each in memory order B,G,R,A.
// For DXT1, `punch_through` true makes pixels with alpha < 128 transparent (three-colour mode,
// index 3) and keeps index 3 away from opaque pixels; false encodes colour only (alpha ignored)
// for the RGB reading of DXT1, where three-colour blocks may use index 3 as black.
void encode_block(Format f, const unsigned char bgra[64], unsigned char* out,
                  bool punch_through = false);

// Encodes a whole image. Source pixels are `src_bytes_per_pixel` (3: B,G,R with alpha 255;
// 4: B,G,R,A) bytes each, rows `src_pitch` bytes apart; width, height >= 1. Partial edge
// blocks are padded by replicating the last column/row. Block rows are written `dst_pitch`
// bytes apart. Allocates nothing.
void encode_image(Format f, const unsigned char* src, int src_pitch, int src_bytes_per_pixel,
                  int width, int height, unsigned char* dst, int dst_pitch,
                  bool punch_through = false);

}  // namespace qelt::dxt
