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

add_subdirectory(engine)
add_subdirectory(common)
add_subdirectory(game)
add_subdirectory(replay)
add_subdirectory(render)
add_subdirectory(scores)
add_subdirectory(app)

# The page and its game, in one folder the score server serves at /play/.
set(play_dir ${CMAKE_BINARY_DIR}/play)
set_target_properties(munchet PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${play_dir} SUFFIX ".js")
# The data folder as the native game reads it, the tracker module replaced by
# its rendering: the browser has no tracker player.
target_link_options(munchet PRIVATE
  -O2
  "SHELL:--preload-file ${CMAKE_SOURCE_DIR}/data@/data"
  "SHELL:--exclude-file *.xm"
  "SHELL:--preload-file ${MUNCHET_WEB_TUNE}@/data/stardust.xm.ogg"
  "SHELL:--preload-file ${MUNCHET_WEB_TUNE}.loop@/data/stardust.xm.ogg.loop"
  -sENVIRONMENT=web,worker
  -sINITIAL_MEMORY=134217728
  # The exchange thread and the ticket thread start at once: their workers
  # are made while the page loads.
  -sPTHREAD_POOL_SIZE=4
  -sEXIT_RUNTIME=0
  # The page's Content-Security-Policy allows no eval.
  -sDYNAMIC_EXECUTION=0
  -lidbfs.js
  -sEXPORTED_FUNCTIONS=_main,_munchet_state_json
  -sEXPORTED_RUNTIME_METHODS=FS,ccall,addRunDependency,removeRunDependency)
# Rebuilt when the data or the tune change.
file(GLOB game_data CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/data/*)
set_property(TARGET munchet APPEND PROPERTY LINK_DEPENDS ${game_data} ${MUNCHET_WEB_TUNE})

set(page_files index.html play.js play.css)
set(served)
foreach(name ${page_files})
  configure_file(${CMAKE_SOURCE_DIR}/app/page/${name} ${play_dir}/${name} COPYONLY)
  list(APPEND served ${play_dir}/${name})
endforeach()
foreach(name munchet.js munchet.worker.js munchet.wasm munchet.data)
  list(APPEND served ${play_dir}/${name})
endforeach()
# gzip copies, for a server to send to browsers that take them; made afresh
# at every build, as the page's files change without a link.
add_custom_target(play_gzip ALL
  COMMAND gzip -9 -n -k -f ${served}
  DEPENDS munchet
  VERBATIM)
