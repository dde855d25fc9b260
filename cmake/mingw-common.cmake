# MinGW-w64 with the posix thread model (std::mutex and friends), runtime linked in statically so
# that the DLLs depend on system DLLs only.
set(CMAKE_C_COMPILER ${QELT_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QELT_TRIPLE}-g++-posix)
set(CMAKE_ASM_COMPILER ${QELT_TRIPLE}-gcc-posix)
set(CMAKE_RC_COMPILER ${QELT_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QELT_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
