# Checks that the gl names of the entry-point list are exactly the functions that the platform's
# GL/gl.h declares. Run: cmake -DLIST=<entry_points.txt> -DHEADER=<GL/gl.h> -P check_gl_header.cmake
file(READ "${HEADER}" text)
string(REGEX MATCHALL "WINGDIAPI[^;]*APIENTRY[ \t]+gl[A-Za-z0-9_]+" declarations "${text}")
set(declared "")
foreach(declaration IN LISTS declarations)
  string(REGEX MATCH "gl[A-Za-z0-9_]+$" name "${declaration}")
  list(APPEND declared "${name}")
endforeach()
list(REMOVE_DUPLICATES declared)
list(SORT declared)

file(STRINGS "${LIST}" listed REGEX "^gl")
list(SORT listed)

list(LENGTH declared declared_count)
list(LENGTH listed listed_count)
set(missing ${declared})
list(REMOVE_ITEM missing ${listed})
set(extra ${listed})
list(REMOVE_ITEM extra ${declared})
if(missing OR extra OR NOT declared_count EQUAL 336)
  message(FATAL_ERROR "header declares ${declared_count}, list holds ${listed_count}; "
                      "not in the list: ${missing}; not in the header: ${extra}")
endif()
message(STATUS "${listed_count} gl functions match ${HEADER}")
