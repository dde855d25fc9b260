// The upload body behind both glTexImage2D hooks. An upload of 8-bit RGB, RGBA, BGR or BGRA pixels
// that asks for an S3TC internal format is compressed here into DXT1, DXT3 or DXT5 blocks and
// handed to the driver's glCompressedTexImage2DARB; every other call goes on to the driver's own
// glTexImage2D, with the older S3TC names mapped to the DXT ones.
#pragma once

#include "critical_section.h"
#include "gl_types.h"
#include "memory_surface.h"

namespace qelt {

constexpr GLint kGlRgbS3tc = 0x83A0;
constexpr GLint kGlRgb4S3tc = 0x83A1;
constexpr GLint kGlRgbaS3tc = 0x83A2;
constexpr GLint kGlRgba4S3tc = 0x83A3;
constexpr GLint kGlCompressedRgbDxt1 = 0x83F0;
constexpr GLint kGlCompressedRgbaDxt1 = 0x83F1;
constexpr GLint kGlCompressedRgbaDxt3 = 0x83F2;
constexpr GLint kGlCompressedRgbaDxt5 = 0x83F3;
constexpr GLenum kGlUnsignedByte = 0x1401;

using GetIntegervFunction = void(QELT_GLAPI*)(GLenum name, GLint* values);
using CompressedTexImage2DFunction = void(QELT_GLAPI*)(GLenum target, GLint level,
                                                       GLenum internal_format, GLsizei width,
                                                       GLsizei height, GLint border,
                                                       GLsizei image_size, const GLvoid* data);

// GL_RGB_S3TC and GL_RGB4_S3TC become RGB DXT1, GL_RGBA_S3TC and GL_RGBA4_S3TC become DXT3;
// every other value is returned unchanged.
GLint map_s3tc_name(GLint internal_format);

// The upload state of one process: the two surfaces and the upload entry, created on the first
// eligible call and reused by every later one. Compressions run one at a time under its lock.
class TextureUploader {
 public:
  // `lookup` is the driver's wglGetProcAddress, asked once for the upload entry; `get_integer` its
  // glGetIntegerv, asked for the pixel unpacking state of each upload it could compress.
  TextureUploader(GetProcAddressFunction lookup, GetIntegervFunction get_integer)
      : lookup_(lookup), get_integer_(get_integer) {}
  ~TextureUploader();
  TextureUploader(const TextureUploader&) = delete;
  TextureUploader& operator=(const TextureUploader&) = delete;

  // One glTexImage2D call; `driver` is the driver's own glTexImage2D for the table it came in on.
  void upload(TexImage2DFunction driver, GLenum target, GLint level, GLint internal_format,
              GLsizei width, GLsizei height, GLint border, GLenum format, GLenum type,
              const GLvoid* pixels);

 private:
  // Compresses and uploads; false when the call has to go to glTexImage2D instead.
  bool compress(GLenum target, GLint level, GLint internal_format, GLsizei width, GLsizei height,
                GLint border, GLenum format, const GLvoid* pixels);
  CompressedTexImage2DFunction upload_entry();
  // True when the driver's unpacking state lays the rows out one after another, as the surfaces
  // read them; otherwise only the driver knows where the pixels are.
  bool rows_tightly_packed(GLenum format, GLsizei width);

  GetProcAddressFunction lookup_;
  GetIntegervFunction get_integer_;
  CriticalSection lock_;
  bool entry_resolved_ = false;
  CompressedTexImage2DFunction entry_ = nullptr;
  MemorySurface* destination_ = nullptr;
  MemorySurface* source_ = nullptr;
};

}  // namespace qelt
