# cmake -DCOMPILER=c++ -DINCLUDES=dir;dir... -DOWN=header -DABOVE=header -DPROBE=file.cpp
#       -P include_reach.cmake
# With a library's include folders only, its own header compiles and a header
# of a layer above or beside it is not found: the build, not a review, keeps
# the layers. The own header shows the folders are right, so the other's
# absence is for the right reason.
set(probe ${PROBE})
set(flags -std=c++20 -fsyntax-only)
foreach(folder ${INCLUDES})
  list(APPEND flags -I${folder})
endforeach()

file(WRITE ${probe} "#include \"${OWN}\"\n")
execute_process(COMMAND ${COMPILER} ${flags} ${probe} RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${OWN} does not compile with its own library's include folders:\n${errors}")
endif()

file(WRITE ${probe} "#include \"${OWN}\"\n#include \"${ABOVE}\"\n")
execute_process(COMMAND ${COMPILER} ${flags} ${probe} RESULT_VARIABLE status ERROR_VARIABLE errors)
if(status EQUAL 0)
  message(FATAL_ERROR "${ABOVE} is reachable beside ${OWN}: the include folders let a layer include upward")
endif()
if(NOT errors MATCHES "${ABOVE}: No such file")
  message(FATAL_ERROR "${ABOVE} failed to compile for another reason than being out of reach:\n${errors}")
endif()
file(REMOVE ${probe})
message(STATUS "${ABOVE} is out of reach beside ${OWN}")
