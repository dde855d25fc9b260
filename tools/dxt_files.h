// What the demo clients do with the blocks a driver received: decode them back to pixels, write
// them as a .dds file, and compare pixels with their source.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

enum class DxtKind { kDxt1, kDxt3, kDxt5 };

// RGBA pixels, row by row, of a width x height image stored as DXT blocks. `opaque_dxt1` reads
// DXT1 as RGB (index 3 of a three-colour block is black), otherwise as RGBA (it is transparent).
std::vector<unsigned char> decode_dxt(DxtKind kind, const unsigned char* blocks, int width,
                                      int height, bool opaque_dxt1);

// A .dds file holding the blocks of one width x height level; false when it cannot be written.
bool write_dds(const std::string& path, DxtKind kind, const unsigned char* blocks,
               unsigned size, int width, int height);

// Colour PSNR over the pixels the RGBA source shows (alpha of at least 128), and the alpha RMSE
// over all of them.
void compare_to_source(const unsigned char* source, const unsigned char* decoded, std::size_t pixels,
                       double& psnr, double& alpha_rmse);
