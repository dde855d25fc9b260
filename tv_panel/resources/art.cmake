# The TV page's pictures, drawn at build time by panel_art. It runs on the build machine, so the
# machine's own C++ compiler builds it, whatever compiler the project targets Windows with.
#
# Gives the target qelt_tv_art, QELT_TV_ART_DIR (the folder for the resource compiler's -I) and
# QELT_TV_ART_FILES (the files, for the .rc file's OBJECT_DEPENDS).

find_program(QELT_HOST_CXX NAMES c++ g++ NO_CMAKE_FIND_ROOT_PATH REQUIRED)

set(QELT_TV_ART_DIR ${CMAKE_CURRENT_BINARY_DIR}/art)
set(QELT_TV_ART_FILES
    ${QELT_TV_ART_DIR}/tv_picture.bmp
    ${QELT_TV_ART_DIR}/tv_side.bmp
    ${QELT_TV_ART_DIR}/hand.cur
    ${QELT_TV_ART_DIR}/tv_clip.avi)

set(_qelt_panel_art ${CMAKE_CURRENT_BINARY_DIR}/panel_art)
add_custom_command(
  OUTPUT ${_qelt_panel_art}
  COMMAND ${QELT_HOST_CXX} -std=c++17 -O2 -o ${_qelt_panel_art}
          ${CMAKE_CURRENT_LIST_DIR}/panel_art.cpp
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/panel_art.cpp
  COMMENT "Building panel_art for the build machine"
  VERBATIM)
add_custom_command(
  OUTPUT ${QELT_TV_ART_FILES}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${QELT_TV_ART_DIR}
  COMMAND ${_qelt_panel_art} ${QELT_TV_ART_DIR}
  DEPENDS ${_qelt_panel_art}
  COMMENT "Drawing the TV page's pictures"
  VERBATIM)
add_custom_target(qelt_tv_art DEPENDS ${QELT_TV_ART_FILES})
unset(_qelt_panel_art)
