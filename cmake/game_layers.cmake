# The game's layers, from the engine up to the program: the same folders
# natively and in the browser build (engine/ picks its platform). Included
# from the top-level CMakeLists.txt, whose folder the names are relative to.
add_subdirectory(engine)
add_subdirectory(common)
add_subdirectory(game)
add_subdirectory(replay)
add_subdirectory(render)
add_subdirectory(scores)
add_subdirectory(app)
