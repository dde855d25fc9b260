#include "hooked_upload.h"

#include <new>

#include "dispatch_tables.h"
#include "entry_table.h"
#include "texture_upload.h"

namespace qelt {
namespace {

// The driver's entries as the loader bound them, read at each call: the uploader below exists
// before the loader has run.
void* QELT_GLAPI driver_get_proc_address(const char* name) {
  return reinterpret_cast<GetProcAddressFunction>(qelt_entry_table[slot::wglGetProcAddress])(name);
}

void QELT_GLAPI driver_get_integer(GLenum name, GLint* values) {
  reinterpret_cast<GetIntegervFunction>(qelt_entry_table[slot::glGetIntegerv])(name, values);
}

// Made when the library loads, before any hook can be reached, and never destroyed: its
// surfaces live until the process ends.
alignas(TextureUploader) unsigned char g_uploader_storage[sizeof(TextureUploader)];
TextureUploader& g_uploader =
    *new (g_uploader_storage) TextureUploader(driver_get_proc_address, driver_get_integer);

}  // namespace

void upload_texture(unsigned table, GLenum target, GLint level, GLint internal_format,
                    GLsizei width, GLsizei height, GLint border, GLenum format, GLenum type,
                    const GLvoid* pixels) {
  g_uploader.upload(driver_tex_image_2d(table), target, level, internal_format, width, height,
                    border, format, type, pixels);
}

}  // namespace qelt
