// The build-fingerprint step that runs after a successful bind. It recognises one build of the
// underlying driver and hooks its two internal dispatch tables, so that the driver's own
// glGetString and glTexImage2D dispatch comes to the proxy; against every other build it leaves
// the proxy a plain forwarder and writes nothing. It never makes the load fail.
#pragma once

#include <cstdint>

#include "dispatch_tables.h"
#include "gl_types.h"
#include "loader.h"

namespace qelt {

// The recognised build, relative to R = its glNewList - kReferenceFromNewList.
constexpr std::uintptr_t kReferenceFromNewList = 0x64D0;
constexpr std::uintptr_t kVersionTagOffset = 0x2A1C8;
constexpr char kVersionTag[] = "/ICD (Jan 16 2001)";  // compared with its terminating zero
// 1640 bytes apart: 407 four-byte words fit; with 8-byte words (64-bit builds, met only by the
// stand-in driver) table 1 begins inside table 0, whose words 205 on are table 1's first ones.
constexpr std::uintptr_t kTableOffsets[kDispatchTables] = {0xF70C0, 0xF7728};
constexpr DispatchWord kTableEntryCount = 336;  // word 0 of each table

struct ExportOffset {
  const char* name;
  std::uintptr_t offset;  // the export's address minus R
};
constexpr unsigned kExportOffsetRows = 38;
extern const ExportOffset kExportOffsets[kExportOffsetRows + 1];  // ended by a null name

void install_dispatch_hooks(const Platform& platform, const LoaderState& state, void** table);

}  // namespace qelt

// The four hooks the driver's tables are given: the GL signatures, each passing its table on.
extern "C" {
const GLubyte* QELT_GLAPI qelt_get_string_hook0(GLenum name);
const GLubyte* QELT_GLAPI qelt_get_string_hook1(GLenum name);
void QELT_GLAPI qelt_tex_image_2d_hook0(GLenum target, GLint level, GLint internal_format,
                                        GLsizei width, GLsizei height, GLint border, GLenum format,
                                        GLenum type, const GLvoid* pixels);
void QELT_GLAPI qelt_tex_image_2d_hook1(GLenum target, GLint level, GLint internal_format,
                                        GLsizei width, GLsizei height, GLint border, GLenum format,
                                        GLenum type, const GLvoid* pixels);
}
