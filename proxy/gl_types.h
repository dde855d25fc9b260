// The OpenGL types and calling convention of the driver interface. Windows builds take them from
// the platform headers; the host builds declare the same few, with the 32-bit callee-pop
// convention on 32-bit x86 so that the host32 tier runs the very call sequences Windows does.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <GL/gl.h>
#define QELT_GLAPI APIENTRY
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
#if defined(__i386__)
#define QELT_GLAPI __attribute__((stdcall))
#else
#define QELT_GLAPI
#endif
#endif

namespace qelt {

using GetStringFunction = const GLubyte*(QELT_GLAPI*)(GLenum name);
using TexImage2DFunction = void(QELT_GLAPI*)(GLenum target, GLint level, GLint internal_format,
                                             GLsizei width, GLsizei height, GLint border,
                                             GLenum format, GLenum type, const GLvoid* pixels);
using GetProcAddressFunction = void*(QELT_GLAPI*)(const char* name);

}  // namespace qelt
