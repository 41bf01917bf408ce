# bench_web_page: rendering the highscore page and its JSON twin (needs the server library).
if(TARGET munchet_server)
  add_executable(bench_web_page ${CMAKE_CURRENT_LIST_DIR}/web_page.cpp)
  target_link_libraries(bench_web_page PRIVATE munchet_server_web benchmark::benchmark)
endif()
# bench_web_play: the browser game's download, first frame, frame cost and
# state hash, with the real score server serving MUNCHET_WEB_FILES to
# headless Chromium; the native side watches the same game.
if(TARGET munchet_server AND TARGET test_web)
  find_package(GTest REQUIRED)
  find_package(nlohmann_json 3 REQUIRED)
  add_executable(bench_web_play ${CMAKE_CURRENT_LIST_DIR}/web_play.cpp ${CMAKE_SOURCE_DIR}/tests/web/headless_browser.cpp)
  target_link_libraries(bench_web_play PRIVATE munchet_server munchet_app munchet_bench_headers nlohmann_json::nlohmann_json
    GTest::gtest Threads::Threads)
  target_compile_definitions(bench_web_play PRIVATE
    MUNCHET_SCORES_BINARY="$<TARGET_FILE:munchet-scores>" MUNCHET_WEB_PLAY_DIR="${MUNCHET_WEB_FILES}")
  add_dependencies(bench_web_play munchet-scores)
endif()
