# Benchmarks that start the real munchet-scores (needs libmicrohttpd, like the
# server itself).
function(munchet_server_bench name source)
  if(TARGET munchet_server)
    add_executable(${name} ${CMAKE_CURRENT_LIST_DIR}/${source})
    target_link_libraries(${name} PRIVATE munchet_server munchet_bench_headers)
    target_compile_definitions(${name} PRIVATE MUNCHET_SCORES_BINARY="$<TARGET_FILE:munchet-scores>")
    add_dependencies(${name} munchet-scores)
  endif()
endfunction()

# bench_server_load: the real score server under load and under attack over
# loopback.
munchet_server_bench(bench_server_load server_load.cpp)
# bench_store_fleet: the server on SQLite against one and two processes on
# one PostgreSQL database it starts itself (needs the postgresql package).
munchet_server_bench(bench_store_fleet store_fleet.cpp)
# bench_scores_replay: replays verified per second by the real server, and
# its CPU time per game minute; then with one verifier thread against two.
munchet_server_bench(bench_scores_replay replay_server.cpp)
# bench_server_metrics: throughput with the admin listener's counters on
# against off.
munchet_server_bench(bench_server_metrics server_metrics.cpp)
# bench_server_tls: HTTPS handshakes and view.php over kept-alive TLS
# connections (needs certtool, from gnutls-bin).
munchet_server_bench(bench_server_tls server_tls.cpp)
# bench_metrics_counters: the counting one request costs, alone and from
# eight threads at once.
munchet_server_bench(bench_metrics_counters metrics_counters.cpp)
if(TARGET bench_metrics_counters)
  target_link_libraries(bench_metrics_counters PRIVATE benchmark::benchmark)
endif()
# bench_admin_delay: from `munchet-scores admin hide` to the running server's
# view.php without the row, on SQLite and PostgreSQL.
munchet_server_bench(bench_admin_delay admin_delay.cpp)
