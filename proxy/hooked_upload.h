// The process's texture uploader, bound to the driver the loader chose: the routine behind both
// glTexImage2D hooks.
#pragma once

#include "gl_types.h"

namespace qelt {

// `table` names the dispatch table the call came in on, whose glTexImage2D entry takes every call
// that is not compressed.
void upload_texture(unsigned table, GLenum target, GLint level, GLint internal_format,
                    GLsizei width, GLsizei height, GLint border, GLenum format, GLenum type,
                    const GLvoid* pixels);

}  // namespace qelt
