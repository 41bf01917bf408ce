# bench_web_page: rendering the highscore page and its JSON twin (needs the server library).
if(TARGET munchet_server)
  add_executable(bench_web_page ${CMAKE_CURRENT_LIST_DIR}/web_page.cpp)
  target_link_libraries(bench_web_page PRIVATE munchet_server_web benchmark::benchmark)
endif()
