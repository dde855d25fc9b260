// The upload body behind the glTexImage2D hooks, against any sequence of calls: the nine
// arguments (the older S3TC names included), the driver's pixel unpacking state and whether it
// offers the compressed upload entry. Calls come in through either hook, over stand-in dispatch
// tables and the driver's entries in the entry table, or straight to an uploader of their own.
// Each call ends as exactly one compressed upload of the mapped format with its exact image size,
// or exactly one pass-through, to the glTexImage2D of the table it came in on, with the mapped
// internal format and every other argument unchanged; no byte past the caller's pixels is read.
#include <cstdint>
#include <cstring>
#include <vector>

#include "dispatch_hooks.h"
#include "dispatch_tables.h"
#include "entry_table.h"
#include "fuzz_input.h"
#include "texture_upload.h"

namespace {

using namespace qelt;

struct Call {
  unsigned table;
  GLenum target;
  GLint level, internal_format, border;
  GLsizei width, height;
  GLenum format, type;
  const GLvoid* pixels;
  GLsizei image_size;
};

std::vector<Call> g_compressed;
std::vector<Call> g_passed;
bool g_offer_entry = true;
GLint g_unpack[4];  // row length, skip rows, skip pixels, alignment

void QELT_GLAPI compressed_entry(GLenum target, GLint level, GLenum internal_format, GLsizei width,
                                 GLsizei height, GLint border, GLsizei size, const GLvoid* data) {
  // Every block byte is read, as a driver would: the blocks must all lie in the buffer handed.
  std::vector<unsigned char> blocks(static_cast<std::size_t>(size));
  if (size > 0) std::memcpy(blocks.data(), data, blocks.size());
  g_compressed.push_back({0, target, level, static_cast<GLint>(internal_format), border, width,
                          height, 0, 0, data, size});
}

void* QELT_GLAPI lookup(const char*) {
  return g_offer_entry ? reinterpret_cast<void*>(&compressed_entry) : nullptr;
}

// The hooked path asks for the entry once per process: its driver always offers it, so that no
// input depends on the ones before.
void* QELT_GLAPI hooked_lookup(const char*) { return reinterpret_cast<void*>(&compressed_entry); }

void QELT_GLAPI get_integer(GLenum name, GLint* value) {
  if (name >= 0x0CF2 && name <= 0x0CF5) *value = g_unpack[name - 0x0CF2];
}

template <unsigned Table>
void QELT_GLAPI driver_tex_image(GLenum target, GLint level, GLint internal_format, GLsizei width,
                                 GLsizei height, GLint border, GLenum format, GLenum type,
                                 const GLvoid* pixels) {
  g_passed.push_back({Table, target, level, internal_format, border, width, height, format, type,
                      pixels, 0});
}

// The driver's two dispatch tables as the hook step copied them, and its entries in the entry
// table, set up once for the process.
void bind_stand_in_driver() {
  static DispatchWord tables[kDispatchTables][kDispatchWords];
  for (unsigned t = 0; t < kDispatchTables; ++t) tables[t][0] = kTableEntryCount;
  tables[0][kTexImage2DWord] = reinterpret_cast<DispatchWord>(&driver_tex_image<0>);
  tables[1][kTexImage2DWord] = reinterpret_cast<DispatchWord>(&driver_tex_image<1>);
  fill_dispatch_copies(tables[0], tables[1]);
  qelt_entry_table[slot::wglGetProcAddress] = reinterpret_cast<void*>(&hooked_lookup);
  qelt_entry_table[slot::glGetIntegerv] = reinterpret_cast<void*>(&get_integer);
}

constexpr GLint kInternalFormats[] = {kGlRgbS3tc, kGlRgb4S3tc, kGlRgbaS3tc, kGlRgba4S3tc,
                                      kGlCompressedRgbDxt1, kGlCompressedRgbaDxt1,
                                      kGlCompressedRgbaDxt3, kGlCompressedRgbaDxt5, 0x8058, 3};
constexpr GLenum kFormats[] = {kGlRgb, kGlRgba, kGlBgrExt, kGlBgraExt, 0x1909};
constexpr GLenum kTypes[] = {kGlUnsignedByte, kGlUnsignedByte, 0x1406};
constexpr GLint kAlignments[] = {1, 2, 4, 8};

GLsizei extent(FuzzInput& input) {
  return input.pick(5) == 0 ? input.take<GLsizei>() : static_cast<GLsizei>(input.pick(40));
}

std::size_t block_bytes(GLint internal_format) {
  return internal_format == kGlCompressedRgbDxt1 || internal_format == kGlCompressedRgbaDxt1 ? 8
                                                                                             : 16;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool bound = (bind_stand_in_driver(), true);
  (void)bound;
  FuzzInput input(data, size);
  g_compressed.clear();
  g_passed.clear();
  g_offer_entry = input.pick(8) != 0;
  TextureUploader uploader(&lookup, &get_integer);
  for (int calls = 1 + static_cast<int>(input.pick(3)); calls > 0; --calls) {
    const bool packed = input.pick(4) != 0;
    g_unpack[0] = packed ? 0 : input.take<std::int8_t>();
    g_unpack[1] = packed ? 0 : input.take<std::int8_t>();
    g_unpack[2] = packed ? 0 : input.take<std::int8_t>();
    g_unpack[3] = kAlignments[input.pick(4)];
    Call call{};
    call.target = input.pick(4) == 0 ? input.take<GLenum>() : 0x0DE1;
    call.level = static_cast<GLint>(input.pick(3));
    call.internal_format = input.pick(10) == 0 ? input.take<GLint>()
                                               : kInternalFormats[input.pick(std::size(kInternalFormats))];
    call.width = extent(input);
    call.height = extent(input);
    call.border = input.pick(6) == 0 ? 1 : 0;
    call.format = kFormats[input.pick(std::size(kFormats))];
    call.type = kTypes[input.pick(std::size(kTypes))];

    // Pixels for the extents the call names, in a buffer of exactly that size; none for extents
    // no caller could hand over.
    const std::size_t channels = call.format == kGlRgb || call.format == kGlBgrExt ? 3 : 4;
    std::vector<unsigned char> pixels;
    const bool small = call.width >= 0 && call.height >= 0 && call.width <= 64 && call.height <= 64;
    if (small && input.pick(8) != 0) {
      pixels.resize(static_cast<std::size_t>(call.width) * call.height * channels);
      const std::vector<std::uint8_t> given = input.bytes(pixels.size());
      std::copy(given.begin(), given.end(), pixels.begin());
    }
    // An empty image still gets an address, as a program's empty array would give.
    unsigned char empty = 0;
    const bool no_pixels = small && (call.width == 0 || call.height == 0);
    call.pixels = !pixels.empty() ? pixels.data() : no_pixels && input.pick(2) ? &empty : nullptr;

    const std::size_t compressed_before = g_compressed.size();
    const std::size_t passed_before = g_passed.size();
    // Through hook 0 or 1, or to this input's own uploader, standing for table 0.
    call.table = static_cast<unsigned>(input.pick(3));
    const auto hook = call.table == 1 ? &qelt_tex_image_2d_hook1 : &qelt_tex_image_2d_hook0;
    if (call.table == 2) {
      call.table = 0;
      uploader.upload(&driver_tex_image<0>, call.target, call.level, call.internal_format,
                      call.width, call.height, call.border, call.format, call.type, call.pixels);
    } else {
      hook(call.target, call.level, call.internal_format, call.width, call.height, call.border,
           call.format, call.type, call.pixels);
    }
    const bool compressed = g_compressed.size() == compressed_before + 1;
    const bool passed = g_passed.size() == passed_before + 1;
    FUZZ_CHECK(compressed != passed);
    FUZZ_CHECK(g_compressed.size() + g_passed.size() == compressed_before + passed_before + 1);

    const GLint mapped = map_s3tc_name(call.internal_format);
    if (passed) {
      const Call& got = g_passed.back();
      FUZZ_CHECK(got.internal_format == mapped);
      FUZZ_CHECK(got.table == call.table);
      FUZZ_CHECK(got.target == call.target && got.level == call.level &&
                 got.width == call.width && got.height == call.height &&
                 got.border == call.border && got.format == call.format &&
                 got.type == call.type && got.pixels == call.pixels);
    } else {
      const Call& got = g_compressed.back();
      FUZZ_CHECK(mapped >= kGlCompressedRgbDxt1 && mapped <= kGlCompressedRgbaDxt5);
      FUZZ_CHECK(got.internal_format == mapped && got.width == call.width &&
                 got.height == call.height && got.target == call.target &&
                 got.level == call.level && got.border == call.border);
      const std::size_t blocks_across = (static_cast<std::size_t>(call.width) + 3) / 4;
      const std::size_t blocks_down = (static_cast<std::size_t>(call.height) + 3) / 4;
      FUZZ_CHECK(static_cast<std::size_t>(got.image_size) ==
                 blocks_across * blocks_down * block_bytes(mapped));
      FUZZ_CHECK(call.pixels != nullptr && call.type == kGlUnsignedByte);
    }
  }
  return 0;
}
