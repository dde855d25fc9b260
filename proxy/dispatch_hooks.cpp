#include "dispatch_hooks.h"

#include <cstring>

#include "entry_table.h"
#include "identification_strings.h"
#include "hooked_upload.h"

namespace qelt {

const ExportOffset kExportOffsets[kExportOffsetRows + 1] = {
    {"DrvSwapBuffers", 0xB6D0},         {"DrvSwapLayerBuffers", 0xB730},
    {"DrvSetPixelFormat", 0xB750},      {"DrvRealizeLayerPalette", 0xB877},
    {"DrvGetLayerPaletteEntries", 0xB8E6}, {"DrvSetLayerPaletteEntries", 0xB956},
    {"DrvGetProcAddress", 0xB9B0},      {"DrvShareLists", 0xB9EE},
    {"DrvValidateVersion", 0xBA80},     {"DrvReleaseContext", 0xBAA0},
    {"DrvDescribePixelFormat", 0xBB30}, {"DrvCopyContext", 0xBBDF},
    {"DrvSetContext", 0xBD34},          {"DrvDeleteContext", 0xBFF5},
    {"DrvDescribeLayerPlane", 0xC0D6},  {"DrvCreateLayerContext", 0xC1A5},
    {"DrvCreateContext", 0xC410},       {"wglChoosePixelFormat", 0xC460},
    {"wglDescribePixelFormat", 0xC470}, {"wglGetPixelFormat", 0xC480},
    {"wglSetPixelFormat", 0xC490},      {"wglSwapBuffers", 0xC4A0},
    {"wglCreateContext", 0xC4B0},       {"wglDeleteContext", 0xC4C0},
    {"wglGetCurrentContext", 0xC4D0},   {"wglGetCurrentDC", 0xC4E0},
    {"wglGetProcAddress", 0xC4F0},      {"wglMakeCurrent", 0xC500},
    {"wglShareLists", 0xC520},          {"wglUseFontBitmapsA", 0xC530},
    {"wglUseFontBitmapsW", 0xC540},     {"wglUseFontOutlinesA", 0xC550},
    {"wglUseFontOutlinesW", 0xC560},    {"wglCopyContext", 0xC570},
    {"wglCreateLayerContext", 0xC580},  {"wglDescribeLayerPlane", 0xC590},
    {"wglGetDefaultProcAddress", 0xC5A0}, {"wglGetLayerPaletteEntries", 0xC5B0},
    {nullptr, 0},
};

namespace {

struct HookRun {
  std::uintptr_t reference;
  const char* failure = nullptr;  // the message of a failed check
  bool written = false;           // a slot of the driver's tables was changed
};

DispatchWord word_of(const void* function) { return reinterpret_cast<DispatchWord>(function); }

// The checks and writes that read and write the driver's memory, run under the guard.
void check_and_hook(void* context) {
  HookRun& run = *static_cast<HookRun*>(context);
  const void* tag = reinterpret_cast<const void*>(run.reference + kVersionTagOffset);
  if (std::memcmp(tag, kVersionTag, sizeof kVersionTag) != 0) {
    run.failure = "DLL Date Check failed.\n";
    return;
  }
  volatile DispatchWord* tables[kDispatchTables];
  for (unsigned t = 0; t < kDispatchTables; ++t)
    tables[t] = reinterpret_cast<volatile DispatchWord*>(run.reference + kTableOffsets[t]);
  if (tables[0][0] != kTableEntryCount || tables[1][0] != kTableEntryCount) {
    run.failure = "DLL Function Count Check failed.\n";
    return;
  }
  // Already hooked (by another instance): the copies must never take in a hook's address.
  if (tables[0][kGetStringWord] == word_of(reinterpret_cast<const void*>(&qelt_get_string_hook0)))
    return;
  fill_dispatch_copies(const_cast<const DispatchWord*>(tables[0]),
                       const_cast<const DispatchWord*>(tables[1]));
  tables[0][kGetStringWord] = word_of(reinterpret_cast<const void*>(&qelt_get_string_hook0));
  run.written = true;
  tables[1][kGetStringWord] = word_of(reinterpret_cast<const void*>(&qelt_get_string_hook1));
  tables[0][kTexImage2DWord] = word_of(reinterpret_cast<const void*>(&qelt_tex_image_2d_hook0));
  tables[1][kTexImage2DWord] = word_of(reinterpret_cast<const void*>(&qelt_tex_image_2d_hook1));
}

}  // namespace

void install_dispatch_hooks(const Platform& platform, const LoaderState& state, void** table) {
  HookRun run{reinterpret_cast<std::uintptr_t>(table[slot::glNewList]) - kReferenceFromNewList};
  for (const ExportOffset* row = kExportOffsets; row->name != nullptr; ++row) {
    auto address = reinterpret_cast<std::uintptr_t>(platform.find_symbol(state.underlying, row->name));
    if (address - run.reference != row->offset) {
      platform.debug_output("DLL Function Check failed.\n");
      return;
    }
  }
  if (!platform.guarded(check_and_hook, &run))
    platform.debug_output("DLL Check failed. Exception Caught.\n");
  else if (run.failure != nullptr)
    platform.debug_output(run.failure);
  // The hooks point into this library, so it stays loaded as long as they may be called; a
  // library that found its own name already holds that reference.
  if (run.written && state.own_name == nullptr) platform.pin_module(state.own);
}

}  // namespace qelt

extern "C" {

const GLubyte* QELT_GLAPI qelt_get_string_hook0(GLenum name) {
  qelt::select_table(0);
  return qelt::identification_string(0, name);
}

const GLubyte* QELT_GLAPI qelt_get_string_hook1(GLenum name) {
  qelt::select_table(1);
  return qelt::identification_string(1, name);
}

void QELT_GLAPI qelt_tex_image_2d_hook0(GLenum target, GLint level, GLint internal_format,
                                        GLsizei width, GLsizei height, GLint border, GLenum format,
                                        GLenum type, const GLvoid* pixels) {
  qelt::select_table(0);
  qelt::upload_texture(0, target, level, internal_format, width, height, border, format, type,
                       pixels);
}

void QELT_GLAPI qelt_tex_image_2d_hook1(GLenum target, GLint level, GLint internal_format,
                                        GLsizei width, GLsizei height, GLint border, GLenum format,
                                        GLenum type, const GLvoid* pixels) {
  qelt::select_table(1);
  qelt::upload_texture(1, target, level, internal_format, width, height, border, format, type,
                       pixels);
}

}  // extern "C"
