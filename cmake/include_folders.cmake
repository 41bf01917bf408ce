# Each target names its headers by the path from the top of the tree
# ("game/game.h", "server/http/score_server.h"), yet reaches only the folders
# of what it links: a library's folder is linked, under that same path, into
# an include folder of the library's own in the build tree, which the library
# hands on as a PUBLIC include directory. A header included against the
# layers is then not found, and the build says so.

# munchet_include_folder(TARGET SCOPE [FOLDER]): FOLDER (from the top of the
# source tree; by default the current one) becomes includable by TARGET, and
# with SCOPE PUBLIC by everything that links it. When another library lives
# in a subfolder, only FOLDER's own headers are linked, one by one, so that
# the subfolder stays out of reach.
function(munchet_include_folder target scope)
  if(ARGC GREATER 2)
    set(folder ${ARGV2})
  else()
    file(RELATIVE_PATH folder ${CMAKE_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  endif()
  set(root ${CMAKE_BINARY_DIR}/include/${target})
  set(link ${root}/${folder})
  cmake_path(GET link PARENT_PATH parent)
  file(MAKE_DIRECTORY ${parent})
  # What an earlier configure made may be the other kind of link.
  if(IS_SYMLINK ${link})
    file(REMOVE ${link})
  elseif(EXISTS ${link})
    file(REMOVE_RECURSE ${link})
  endif()
  file(GLOB nested ${CMAKE_SOURCE_DIR}/${folder}/*/CMakeLists.txt)
  if(nested)
    file(MAKE_DIRECTORY ${link})
    file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.h)
    foreach(header ${headers})
      cmake_path(GET header FILENAME name)
      file(CREATE_LINK ${header} ${link}/${name} SYMBOLIC)
    endforeach()
  else()
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${link} SYMBOLIC)
  endif()
  target_include_directories(${target} ${scope} ${root})
endfunction()
