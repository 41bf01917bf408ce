# bench_server_load: the real score server under load and under attack over
# loopback (needs libmicrohttpd, like the server itself).
if(TARGET munchet_server)
  add_executable(bench_server_load ${CMAKE_CURRENT_LIST_DIR}/server_load.cpp)
  target_link_libraries(bench_server_load PRIVATE munchet_server)
  target_compile_definitions(bench_server_load PRIVATE MUNCHET_SCORES_BINARY="$<TARGET_FILE:munchet-scores>")
  add_dependencies(bench_server_load munchet-scores)
endif()
