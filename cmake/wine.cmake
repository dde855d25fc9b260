# Runs the Windows programs of this tier under Wine with a prefix kept inside this build tree:
# wine64 for the 64-bit tier, 32-bit Wine (native, or under qemu user emulation, as
# scripts/setup_wine32.sh found) for the 32-bit one.
set(QELT_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(QELT_PRIVATE_DISPLAY ${CMAKE_CURRENT_LIST_DIR}/private_display.sh)
set(script_permissions OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
                       WORLD_EXECUTE)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  find_program(QELT_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
  find_program(QELT_WINE64 NAMES wine64 REQUIRED)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh
                 FILE_PERMISSIONS ${script_permissions} @ONLY)
else()
  set(QELT_WINE32_RUNTIME ${PROJECT_SOURCE_DIR}/build/wine32-runtime CACHE PATH
      "Where scripts/setup_wine32.sh set up 32-bit Wine")
  if(NOT EXISTS ${QELT_WINE32_RUNTIME}/done OR NOT EXISTS ${QELT_WINE32_RUNTIME}/route.sh)
    message(FATAL_ERROR "win32 tier: no 32-bit Wine in ${QELT_WINE32_RUNTIME}: run "
                        "scripts/setup_wine32.sh ${QELT_WINE32_RUNTIME} (make test does), or set "
                        "QELT_SKIP_WIN32=1 to build the 32-bit DLLs without running them")
  endif()
  configure_file(${CMAKE_CURRENT_LIST_DIR}/wine32-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh
                 FILE_PERMISSIONS ${script_permissions} @ONLY)
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)
