// The gl names of the entry-point list are the OpenGL 1.1 functions the platform header declares.
#include <gtest/gtest.h>

#include <windows.h>
#include <GL/gl.h>

#include <type_traits>

namespace {

// Compiles only if the header declares every gl name of the list as a function.
#define QELT_DRV(name, slot, ordinal, stub)
#define QELT_WGL(name, slot, ordinal, stub)
#define QELT_GL(name, slot, ordinal, stub) \
  static_assert(std::is_function_v<decltype(::name)>, #name " is not declared as a function");
#include "entry_points.inc"
#undef QELT_GL

constexpr unsigned kGlNames = 0
#define QELT_GL(name, slot, ordinal, stub) +1
#include "entry_points.inc"
    ;

TEST(EntryPointsHeader, ListHoldsTheHeadersOpenGL11Functions) { EXPECT_EQ(kGlNames, 336u); }

}  // namespace
