# Checks that a shared library exports exactly the JNI entry points of
# libTabulon: run as cmake -DNM=<nm> -DLIBRARY=<file> -P check_exports.cmake.
set(expected "JNI_OnLoad;RegisterNatives;add;doTransform;readme")
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY}
                OUTPUT_VARIABLE out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${out}")
set(names "")
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^.* " "" name "${line}")
  list(APPEND names "${name}")
endforeach()
list(SORT names)
if(NOT names STREQUAL expected)
  message(FATAL_ERROR "exported: ${names}\nexpected: ${expected}")
endif()
message(STATUS "exports: ${names}")
