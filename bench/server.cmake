# bench_server_load: the score server under load over loopback (needs cpp-httplib).
if(TARGET munchet_server)
  add_executable(bench_server_load ${CMAKE_CURRENT_LIST_DIR}/server_load.cpp)
  target_link_libraries(bench_server_load PRIVATE munchet_server)
endif()
