#include "texture_upload.h"

#include <cstdint>

#include "surface_conversion.h"

namespace qelt {
namespace {

bool compressible_internal_format(GLint internal_format) {
  return internal_format >= kGlCompressedRgbDxt1 && internal_format <= kGlCompressedRgbaDxt5;
}

constexpr GLenum kGlUnpackRowLength = 0x0CF2;
constexpr GLenum kGlUnpackSkipRows = 0x0CF3;
constexpr GLenum kGlUnpackSkipPixels = 0x0CF4;
constexpr GLenum kGlUnpackAlignment = 0x0CF5;

bool compressible_pixels(GLenum format, GLenum type) {
  bool pixel_format =
      format == kGlRgba || format == kGlRgb || format == kGlBgrExt || format == kGlBgraExt;
  return pixel_format && type == kGlUnsignedByte;
}

D3DFORMAT block_format(GLint internal_format) {
  switch (internal_format) {
    case kGlCompressedRgbaDxt3:
      return D3DFMT_DXT3;
    case kGlCompressedRgbaDxt5:
      return D3DFMT_DXT5;
    default:
      return D3DFMT_DXT1;
  }
}

// Creates the surface on first use, otherwise gives it the new format and size; false when memory
// for it cannot be had (the surface then stays as it was).
bool prepare(MemorySurface*& surface, D3DFORMAT format, GLsizei width, GLsizei height,
             void* memory) {
  if (surface == nullptr) {
    surface = create_memory_surface(format, width, height, memory);
    return surface != nullptr;
  }
  return surface->methods().Reinitialize(surface, format, width, height, memory) == S_OK;
}

// The process-wide root object and device that every surface hands out.
bool prepare_surface_objects() {
  SurfaceObjects& objects = surface_objects();
  if (objects.root == nullptr) {
    SurfaceDirect3D* root = create_surface_direct3d();
    if (root == nullptr) return false;
    objects.root = &root->com;
  }
  if (objects.device == nullptr)
    objects.root->table->CreateDevice(objects.root, 0, D3DDEVTYPE_HAL, nullptr, 0, nullptr,
                                      &objects.device);
  return objects.device != nullptr;
}

}  // namespace

GLint map_s3tc_name(GLint internal_format) {
  switch (internal_format) {
    case kGlRgbS3tc:
    case kGlRgb4S3tc:
      return kGlCompressedRgbDxt1;
    case kGlRgbaS3tc:
    case kGlRgba4S3tc:
      return kGlCompressedRgbaDxt3;
    default:
      return internal_format;
  }
}

TextureUploader::~TextureUploader() {
  for (MemorySurface* surface : {destination_, source_})
    if (surface != nullptr) surface->com.table->Release(&surface->com);
}

void TextureUploader::upload(TexImage2DFunction driver, GLenum target, GLint level,
                             GLint internal_format, GLsizei width, GLsizei height, GLint border,
                             GLenum format, GLenum type, const GLvoid* pixels) {
  internal_format = map_s3tc_name(internal_format);
  // Calls that cannot be compressed safely go to the driver as they are: no pixels (a level
  // allocated without data), an empty image, or one whose byte count leaves 32 bits.
  bool safe = pixels != nullptr && width > 0 && height > 0 &&
              std::uint64_t(width) * std::uint64_t(height) * 4 <= UINT32_MAX;
  if (compressible_internal_format(internal_format) && compressible_pixels(format, type) && safe &&
      rows_tightly_packed(format, width) &&
      compress(target, level, internal_format, width, height, border, format, pixels)) {
    return;
  }
  driver(target, level, internal_format, width, height, border, format, type, pixels);
}

bool TextureUploader::compress(GLenum target, GLint level, GLint internal_format, GLsizei width,
                               GLsizei height, GLint border, GLenum format, const GLvoid* pixels) {
  // A driver whose upload entry comes back into glTexImage2D gets its own call: the surfaces are
  // in use by the upload that is still running on this thread.
  if (lock_.held_by_caller()) return false;
  std::lock_guard<CriticalSection> hold(lock_);
  if (!prepare_surface_objects()) return false;
  CompressedTexImage2DFunction entry = upload_entry();
  if (entry == nullptr) return false;

  if (!prepare(destination_, block_format(internal_format), width, height, nullptr)) return false;
  bool alpha = format == kGlRgba || format == kGlBgraExt;
  D3DFORMAT source_format = alpha ? D3DFMT_A8R8G8B8 : D3DFMT_R8G8B8;
  // BGR and BGRA pixels already have the surfaces' byte order and are read where they are.
  bool borrow = format == kGlBgrExt || format == kGlBgraExt;
  void* memory = borrow ? const_cast<GLvoid*>(pixels) : nullptr;
  if (!prepare(source_, source_format, width, height, memory)) return false;
  if (!borrow) source_->methods().LoadGLPixels(source_, format, pixels);

  // RGB DXT1 is opaque whatever the pixels' alpha; RGBA DXT1 makes transparent exactly the
  // pixels with alpha below 128, never an opaque one.
  Dxt1Alpha dxt1_alpha =
      internal_format == kGlCompressedRgbaDxt1 ? Dxt1Alpha::kPunchThrough : Dxt1Alpha::kOpaque;
  load_surface_from_surface(&destination_->com, &source_->com, dxt1_alpha);

  IDirect3DSurface8* blocks = &destination_->com;
  D3DSURFACE_DESC desc{};
  D3DLOCKED_RECT locked{};
  blocks->table->GetDesc(blocks, &desc);
  blocks->table->LockRect(blocks, &locked, nullptr, 0);
  entry(target, level, static_cast<GLenum>(internal_format), width, height, border,
        static_cast<GLsizei>(desc.Size), locked.pBits);
  blocks->table->UnlockRect(blocks);
  return true;
}

bool TextureUploader::rows_tightly_packed(GLenum format, GLsizei width) {
  // GL's initial values, kept where the driver does not answer.
  GLint row_length = 0, skip_rows = 0, skip_pixels = 0, alignment = 4;
  get_integer_(kGlUnpackRowLength, &row_length);
  get_integer_(kGlUnpackSkipRows, &skip_rows);
  get_integer_(kGlUnpackSkipPixels, &skip_pixels);
  get_integer_(kGlUnpackAlignment, &alignment);
  std::uint64_t row_bytes =
      std::uint64_t(width) * (format == kGlRgb || format == kGlBgrExt ? 3 : 4);
  return (row_length == 0 || row_length == width) && skip_rows == 0 && skip_pixels == 0 &&
         alignment > 0 && row_bytes % std::uint64_t(alignment) == 0;
}

CompressedTexImage2DFunction TextureUploader::upload_entry() {
  // Asked once per process, whatever it answers: the flag is set before the question.
  if (!entry_resolved_) {
    entry_resolved_ = true;
    entry_ = reinterpret_cast<CompressedTexImage2DFunction>(lookup_("glCompressedTexImage2DARB"));
  }
  return entry_;
}

}  // namespace qelt
