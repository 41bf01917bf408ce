# bench_server_load: the real score server under load and under attack over
# loopback (needs libmicrohttpd, like the server itself).
if(TARGET munchet_server)
  add_executable(bench_server_load ${CMAKE_CURRENT_LIST_DIR}/server_load.cpp)
  target_link_libraries(bench_server_load PRIVATE munchet_server)
  target_compile_definitions(bench_server_load PRIVATE MUNCHET_SCORES_BINARY="$<TARGET_FILE:munchet-scores>")
  add_dependencies(bench_server_load munchet-scores)
endif()

# bench_store_fleet: the server on SQLite against one and two processes on
# one PostgreSQL database it starts itself (needs the postgresql package).
if(TARGET munchet_server)
  add_executable(bench_store_fleet ${CMAKE_CURRENT_LIST_DIR}/store_fleet.cpp)
  target_link_libraries(bench_store_fleet PRIVATE munchet_server)
  target_compile_definitions(bench_store_fleet PRIVATE MUNCHET_SCORES_BINARY="$<TARGET_FILE:munchet-scores>")
  add_dependencies(bench_store_fleet munchet-scores)
endif()

# bench_scores_replay: replays verified per second by the real server, and
# its CPU time per game minute.
if(TARGET munchet_server)
  add_executable(bench_scores_replay ${CMAKE_CURRENT_LIST_DIR}/replay_server.cpp)
  target_link_libraries(bench_scores_replay PRIVATE munchet_server)
  target_compile_definitions(bench_scores_replay PRIVATE MUNCHET_SCORES_BINARY="$<TARGET_FILE:munchet-scores>")
  add_dependencies(bench_scores_replay munchet-scores)
endif()
