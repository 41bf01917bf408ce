# bench_engine draws through SDL directly (software renderer, offscreen window).
if(TARGET bench_engine)
  target_link_libraries(bench_engine PRIVATE munchet_engine_sdl PkgConfig::SDL2)
endif()
