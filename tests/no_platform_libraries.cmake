# cmake -DPROGRAM=path -P no_platform_libraries.cmake
# Fails when the program would load SDL, OpenAL, libsndfile or libopenmpt
# (directly or through another library), as ldd lists what the dynamic loader
# brings in.
execute_process(COMMAND ldd ${PROGRAM} OUTPUT_VARIABLE loaded RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "ldd could not read ${PROGRAM}")
endif()
string(REGEX MATCHALL "lib(SDL2[^ ]*|openal[^ ]*|sndfile[^ ]*|openmpt[^ ]*)" platform "${loaded}")
if(platform)
  message(FATAL_ERROR "${PROGRAM} loads platform libraries: ${platform}")
endif()
message(STATUS "${PROGRAM} loads no platform library")
