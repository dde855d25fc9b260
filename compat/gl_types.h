// The OpenGL types and calling convention of the driver interface. Windows builds take them from
// the platform headers; the host builds declare the same few.
#pragma once

#include "win_types.h"

// OpenGL entry points use the callee-pop convention on 32-bit x86, on the host32 tier as well.
#define QELT_GLAPI QELT_STDCALL

#ifdef _WIN32
#include <GL/gl.h>
#else
using GLenum = unsigned int;
using GLint = int;
using GLsizei = int;
using GLubyte = unsigned char;
using GLvoid = void;
constexpr GLenum GL_VENDOR = 0x1F00;
constexpr GLenum GL_RENDERER = 0x1F01;
constexpr GLenum GL_VERSION = 0x1F02;
constexpr GLenum GL_EXTENSIONS = 0x1F03;
#endif

namespace qelt {

using GetStringFunction = const GLubyte*(QELT_GLAPI*)(GLenum name);
using TexImage2DFunction = void(QELT_GLAPI*)(GLenum target, GLint level, GLint internal_format,
                                             GLsizei width, GLsizei height, GLint border,
                                             GLenum format, GLenum type, const GLvoid* pixels);
using GetProcAddressFunction = void*(QELT_GLAPI*)(const char* name);

}  // namespace qelt
