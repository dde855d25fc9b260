# Build rules for the files generated from the entry-point list.
set(QELT_ENTRY_LIST ${PROJECT_SOURCE_DIR}/proxy/entry_points.txt)
set(QELT_GENERATED ${PROJECT_BINARY_DIR}/generated)
file(MAKE_DIRECTORY ${QELT_GENERATED})

# Generates one file from the entry-point list: qelt_generate(<out> <kind> [args...]).
function(qelt_generate out kind)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -DLIST=${QELT_ENTRY_LIST} -DOUT=${out} -DKIND=${kind} ${ARGN}
            -P ${PROJECT_SOURCE_DIR}/cmake/entry_points.cmake
    DEPENDS ${QELT_ENTRY_LIST} ${PROJECT_SOURCE_DIR}/cmake/entry_points.cmake
    VERBATIM)
endfunction()

