# The browser build, configured with emcmake (Debian's emscripten): the
# rules, the drawing, the replays and the score client as the native game
# has them, on the web platform (engine/web/), into ${CMAKE_BINARY_DIR}/play:
# index.html and its script and style, munchet.js, munchet.worker.js,
# munchet.wasm and munchet.data, each with a gzip copy beside it for the
# server to send.
#
# MUNCHET_ZLIB_SOURCE: zlib's sources (Debian's source package, unpacked by
# scripts/build_web.sh); emscripten's own zlib is a download we do not make.
# MUNCHET_WEB_TUNE: the tracker tune rendered to Ogg Vorbis by
# munchet-tune-render, with its ".loop" file beside it.
set(MUNCHET_ZLIB_SOURCE "" CACHE PATH "zlib's source folder")
set(MUNCHET_WEB_TUNE "" CACHE FILEPATH "The tune rendered to Ogg Vorbis")
foreach(needed MUNCHET_ZLIB_SOURCE MUNCHET_WEB_TUNE)
  if(NOT EXISTS "${${needed}}")
    message(FATAL_ERROR "${needed} must name what scripts/build_web.sh prepares, not \"${${needed}}\"")
  endif()
endforeach()

# Threads: the score exchange and the ticket requests run off the frame as
# natively. Exceptions: the replay and outbox readers report through them.
add_compile_options(-pthread -fexceptions)
add_link_options(-pthread -fexceptions)
set(THREADS_PREFER_PTHREAD_FLAG ON)
find_package(Threads REQUIRED)

set(zlib_files adler32 compress crc32 deflate infback inffast inflate inftrees trees uncompr zutil)
list(TRANSFORM zlib_files PREPEND "${MUNCHET_ZLIB_SOURCE}/")
list(TRANSFORM zlib_files APPEND ".c")
add_library(munchet_zlib STATIC ${zlib_files})
# Its own code, kept as it is released.
target_compile_options(munchet_zlib PRIVATE -w)
target_include_directories(munchet_zlib SYSTEM PUBLIC "${MUNCHET_ZLIB_SOURCE}")
add_library(ZLIB::ZLIB ALIAS munchet_zlib)

include(${CMAKE_SOURCE_DIR}/cmake/game_layers.cmake)

# munchet_web_page(TARGET FOLDER EXPORTS...): TARGET built as FOLDER/munchet.js
# (with its .wasm, .worker.js and .data) beside the page's own files, and a
# gzip copy of each for a server to send to browsers that take them. EXPORTS:
# the C functions the page calls besides main.
function(munchet_web_page target folder)
  set(exports _main ${ARGN})
  list(JOIN exports "," exports)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${folder} OUTPUT_NAME munchet SUFFIX ".js")
  # The data folder as the native game reads it, the tracker module replaced
  # by its rendering: the browser has no tracker player.
  target_link_options(${target} PRIVATE
    -O2
    "SHELL:--preload-file ${CMAKE_SOURCE_DIR}/data@/data"
    "SHELL:--exclude-file *.xm"
    "SHELL:--preload-file ${MUNCHET_WEB_TUNE}@/data/stardust.xm.ogg"
    "SHELL:--preload-file ${MUNCHET_WEB_TUNE}.loop@/data/stardust.xm.ogg.loop"
    -sENVIRONMENT=web,worker
    -sINITIAL_MEMORY=134217728
    # The exchange thread and the ticket thread start at once: their
    # workers are made while the page loads.
    -sPTHREAD_POOL_SIZE=4
    -sEXIT_RUNTIME=0
    # The page's Content-Security-Policy allows no eval.
    -sDYNAMIC_EXECUTION=0
    -lidbfs.js
    -sEXPORTED_FUNCTIONS=${exports}
    -sEXPORTED_RUNTIME_METHODS=FS,ccall,addRunDependency,removeRunDependency)
  # Linked again when the data or the tune change.
  file(GLOB game_data CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/data/*)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${game_data} ${MUNCHET_WEB_TUNE})

  set(served)
  foreach(name index.html play.js play.css)
    configure_file(${CMAKE_SOURCE_DIR}/app/page/${name} ${folder}/${name} COPYONLY)
    list(APPEND served ${folder}/${name})
  endforeach()
  foreach(name munchet.js munchet.worker.js munchet.wasm munchet.data)
    list(APPEND served ${folder}/${name})
  endforeach()
  # Made afresh at every build: the page's files change without a link.
  add_custom_target(${target}_gzip ALL
    COMMAND gzip -9 -n -k -f ${served}
    DEPENDS ${target}
    VERBATIM)
endfunction()

# The game, served at /play/.
munchet_web_page(munchet ${CMAKE_BINARY_DIR}/play _munchet_state_json)

# The worst-case frame on the same page, for bench_web_play.
add_library(munchet_bench_headers INTERFACE)
munchet_include_folder(munchet_bench_headers INTERFACE bench)
munchet_include_folder(munchet_bench_headers INTERFACE tests)
add_executable(munchet_frame_page ${CMAKE_SOURCE_DIR}/bench/browser_frame_page.cpp)
target_link_libraries(munchet_frame_page PRIVATE munchet_app munchet_bench_headers)
munchet_web_page(munchet_frame_page ${CMAKE_BINARY_DIR}/bench)
