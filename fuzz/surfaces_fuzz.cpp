// Memory surfaces, the conversion service and the encoder against any formats, extents (huge,
// negative, zero, not multiples of 4), rectangles and contents: sizes follow the sizing rule or
// creation fails, no access leaves a buffer (every buffer is exactly sized), the same input
// encodes to the same bytes, and a refused call changes nothing.
#include <cstdint>
#include <cstring>
#include <vector>

#include "dxt_encoder.h"
#include "fuzz_input.h"
#include "memory_surface.h"
#include "surface_conversion.h"

namespace {

using namespace qelt;

// Blocks over this size are refused, as a full heap would refuse them: the failure path is part of
// what is fuzzed, and the run stays within its memory.
constexpr std::size_t kLargestBlock = 8u << 20;

void* limited_allocate(std::size_t bytes) {
  return bytes <= kLargestBlock ? ::operator new(bytes, std::nothrow) : nullptr;
}
void limited_release(void* block) { ::operator delete(block); }

constexpr D3DFORMAT kFormats[] = {D3DFMT_R8G8B8, D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_DXT1,
                                  D3DFMT_DXT3,   D3DFMT_DXT5,     D3DFMT_DXT2,     23,
                                  28,            0,               D3DFMT_DXT4};
constexpr GLenum kGlFormats[] = {kGlRgb, kGlRgba, kGlBgrExt, kGlBgraExt, 0x1909};

bool compressed(D3DFORMAT format) {
  return format == D3DFMT_DXT1 || format == D3DFMT_DXT2 || format == D3DFMT_DXT3 ||
         format == D3DFMT_DXT4 || format == D3DFMT_DXT5;
}

// The sizing rule: bits per pixel times both extents (whole 4x4 blocks when compressed), or no
// size when an extent is negative or the product leaves 32 bits.
bool expected_size(D3DFORMAT format, INT width, INT height, std::uint64_t* size) {
  const std::uint64_t bits = format == D3DFMT_R8G8B8                                  ? 24
                             : format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8 ? 32
                             : format == D3DFMT_DXT1                                  ? 4
                             : compressed(format)                                     ? 8
                             : format == 23                                           ? 16
                             : format == 28                                           ? 8
                                                                                      : 0;
  if (width < 0 || height < 0) return false;
  auto counted = [format](std::uint64_t extent) {
    return !compressed(format) ? extent : extent <= 4 ? 4 : (extent + 3) & ~std::uint64_t{3};
  };
  const std::uint64_t row = bits * counted(static_cast<std::uint64_t>(width));
  const std::uint64_t total = row * counted(static_cast<std::uint64_t>(height));
  if (row > UINT32_MAX || total > UINT32_MAX) return false;
  *size = total / 8;
  return true;
}

INT extent(FuzzInput& input) {
  switch (input.pick(4)) {
    case 0:
      return input.take<INT>();  // anything, huge and negative included
    case 1:
      return static_cast<INT>(input.pick(2049));
    default:
      return static_cast<INT>(input.pick(70));
  }
}

std::vector<unsigned char> contents(const MemorySurface* surface) {
  return std::vector<unsigned char>(surface->bits, surface->bits + surface->desc.Size);
}

void release(MemorySurface* surface) {
  if (surface != nullptr) surface->com.table->Release(&surface->com);
}

// Memory lent to surfaces, each block exactly the image's size, alive until the input is done.
std::vector<std::vector<unsigned char>> g_lent;

// Makes a surface, on its own buffer or on lent memory of exactly its size, and checks its
// description and pitch against the sizing rule.
MemorySurface* make(D3DFORMAT format, INT width, INT height, bool lend) {
  std::uint64_t size = 0;
  const bool sized = expected_size(format, width, height, &size);
  void* memory = nullptr;
  if (lend && sized && size > 0 && size <= kLargestBlock) {
    g_lent.emplace_back(static_cast<std::size_t>(size));
    memory = g_lent.back().data();
  }
  MemorySurface* surface = create_memory_surface(format, width, height, memory);
  if (surface == nullptr) {
    FUZZ_CHECK(!sized || size > kLargestBlock);
    return nullptr;
  }
  FUZZ_CHECK(sized && surface->desc.Size == size);
  FUZZ_CHECK(surface->desc.Width == static_cast<UINT>(width));
  FUZZ_CHECK(surface->desc.Height == static_cast<UINT>(height));
  D3DLOCKED_RECT locked{};
  FUZZ_CHECK(surface->com.table->LockRect(&surface->com, &locked, nullptr, 0) == S_OK);
  FUZZ_CHECK(surface->com.table->UnlockRect(&surface->com) == S_OK);
  const std::uint64_t rows = compressed(format) ? (height <= 4 ? 1 : (height + 3) / 4) : height;
  if (rows != 0) FUZZ_CHECK(static_cast<std::uint64_t>(locked.Pitch) * rows == size);
  return surface;
}

// A locked rectangle is refused, or lies inside the buffer from its first byte to its last.
void lock_somewhere(MemorySurface* surface, FuzzInput& input) {
  RECT rect = {input.take<LONG>() % 80, input.take<LONG>() % 80, input.take<LONG>() % 80,
               input.take<LONG>() % 80};
  D3DLOCKED_RECT locked{};
  const HRESULT result = surface->com.table->LockRect(&surface->com, &locked, &rect, 0);
  FUZZ_CHECK(surface->com.table->UnlockRect(&surface->com) == S_OK);
  if (result != S_OK || surface->desc.Size == 0) return;  // a format without pixels holds none
  const auto* first = static_cast<const unsigned char*>(locked.pBits);
  const unsigned char* end = surface->bits + surface->desc.Size;
  FUZZ_CHECK(first >= surface->bits && first < end);
  const bool blocks = compressed(surface->desc.Format);
  const std::size_t across = static_cast<std::size_t>(rect.right - rect.left);
  const std::size_t down = static_cast<std::size_t>(rect.bottom - rect.top);
  if (across == 0 || down == 0) return;
  const std::size_t rows = blocks ? (down + 3) / 4 : down;
  const std::size_t row_bytes = blocks ? (across + 3) / 4 * surface->bits_per_pixel * 2
                                       : across * surface->bits_per_pixel / 8;
  FUZZ_CHECK(first + (rows - 1) * static_cast<std::size_t>(locked.Pitch) + row_bytes <= end);
}

// The encoder on the source's pixels with rows further apart than they need be, source and
// blocks each in a buffer ending exactly at its last byte, on both paths.
void encode_with_pitches(const MemorySurface* source, FuzzInput& input) {
  const int width = static_cast<int>(source->desc.Width);
  const int height = static_cast<int>(source->desc.Height);
  const int pixel_bytes = static_cast<int>(source->bits_per_pixel / 8);
  const int source_pitch = width * pixel_bytes + static_cast<int>(input.pick(9));
  std::vector<unsigned char> pixels(static_cast<std::size_t>(source_pitch) * (height - 1) +
                                    static_cast<std::size_t>(width) * pixel_bytes);
  for (int y = 0; y < height; ++y) {
    std::memcpy(&pixels[static_cast<std::size_t>(y) * source_pitch],
                source->bits + static_cast<std::size_t>(y) * width * pixel_bytes,
                static_cast<std::size_t>(width) * pixel_bytes);
  }
  const auto format = static_cast<dxt::Format>(input.pick(3));
  const int block_row = (width + 3) / 4 * static_cast<int>(dxt::block_bytes(format));
  const int block_pitch = block_row + static_cast<int>(input.pick(17));
  const std::size_t block_bytes =
      static_cast<std::size_t>(block_pitch) * ((height + 3) / 4 - 1) + block_row;
  std::vector<unsigned char> fast(block_bytes);
  std::vector<unsigned char> portable(block_bytes);
  const bool punch_through = input.pick(2);
  const dxt::Path path = dxt::active_path();
  dxt::use_path(dxt::fastest_path());
  dxt::encode_image(format, pixels.data(), source_pitch, pixel_bytes, width, height, fast.data(),
                    block_pitch, punch_through);
  dxt::use_path(dxt::Path::kPortable);
  dxt::encode_image(format, pixels.data(), source_pitch, pixel_bytes, width, height,
                    portable.data(), block_pitch, punch_through);
  dxt::use_path(path);
  FUZZ_CHECK(fast == portable);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  surface_allocator() = SurfaceAllocator{&limited_allocate, &limited_release};
  FuzzInput input(data, size);
  const D3DFORMAT source_format = kFormats[input.pick(3)];
  const D3DFORMAT target_format = kFormats[input.pick(std::size(kFormats))];
  const INT width = extent(input);
  const INT height = extent(input);
  const GLenum gl_format = kGlFormats[input.pick(std::size(kGlFormats))];
  const auto alpha = static_cast<Dxt1Alpha>(input.pick(3));

  g_lent.clear();
  MemorySurface* source = make(source_format, width, height, input.pick(2));
  MemorySurface* target = make(target_format, width, height, input.pick(2));
  MemorySurface* again = make(target_format, width, height, input.pick(2));
  if (source != nullptr) lock_somewhere(source, input);
  if (target != nullptr) lock_somewhere(target, input);

  // A refused new size leaves the description as it was.
  if (target != nullptr) {
    const D3DSURFACE_DESC before = target->desc;
    const D3DFORMAT format = kFormats[input.pick(std::size(kFormats))];
    const INT new_width = extent(input);
    const INT new_height = extent(input);
    if (target->methods().Reinitialize(target, format, new_width, new_height, nullptr) != S_OK) {
      FUZZ_CHECK(std::memcmp(&before, &target->desc, sizeof before) == 0);
    } else {
      FUZZ_CHECK(target->desc.Width == static_cast<UINT>(new_width));
      target->methods().Reinitialize(target, target_format, width, height, nullptr);
    }
  }

  // The pixels a GL upload of this size holds, in a buffer of exactly that size.
  const std::size_t pixel_bytes = gl_format == kGlRgb || gl_format == kGlBgrExt ? 3 : 4;
  const bool small = source != nullptr && static_cast<std::uint64_t>(width) * height <= 96 * 96;
  if (small && target != nullptr && again != nullptr && target->desc.Width == UINT(width)) {
    std::vector<unsigned char> pixels(static_cast<std::size_t>(width) * height * pixel_bytes);
    const std::vector<std::uint8_t> given = input.bytes(pixels.size());
    std::copy(given.begin(), given.end(), pixels.begin());
    source->methods().LoadGLPixels(source, gl_format, pixels.empty() ? nullptr : pixels.data());

    const std::vector<unsigned char> before = contents(target);
    const HRESULT first = load_surface_from_surface(&target->com, &source->com, alpha);
    if (first == S_OK && width > 0 && height > 0) {
      // The other instruction path gives the same bytes.
      const dxt::Path path = dxt::active_path();
      dxt::use_path(path == dxt::Path::kSse2 ? dxt::Path::kPortable : dxt::fastest_path());
      FUZZ_CHECK(load_surface_from_surface(&again->com, &source->com, alpha) == S_OK);
      dxt::use_path(path);
      FUZZ_CHECK(contents(target) == contents(again));
      encode_with_pitches(source, input);
    } else {
      FUZZ_CHECK(contents(target) == before);  // refused, or an empty image: nothing written
    }
  }
  release(source);
  release(target);
  release(again);
  return 0;
}
