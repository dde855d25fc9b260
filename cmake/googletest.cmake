# GoogleTest from Debian's sources, built with this tier's compiler and flags.
set(QELT_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest source tree")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${QELT_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)
