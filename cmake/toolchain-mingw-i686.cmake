set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(QELT_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# The processors the boards shipped for: i686 without SSE2 (the encoder picks its SSE2 path at
# run time).
set(CMAKE_C_FLAGS_INIT "-march=i686 -mtune=generic")
set(CMAKE_CXX_FLAGS_INIT "-march=i686 -mtune=generic")
set(QELT_SSE2_FLAGS -msse2)
# The systems they shipped for: the DLLs' code sees the headers at the level of Windows 98 and
# NT 4 with Internet Explorer 5, so that a function those systems lack does not compile.
set(QELT_SYSTEM_LEVEL WINVER=0x0410 _WIN32_WINNT=0x0400 _WIN32_IE=0x0500)
