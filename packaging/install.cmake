# What `cmake --install` puts where, and the .deb CPack makes of it.
# Included right after project(): the layout is known before any target is
# compiled (the game finds its installed data from its own path), and the
# rules naming the executables wait for the end of the top-level file, where
# every target exists.
include(GNUInstallDirs)

# The desktop entry, the AppStream component and the icons share this name;
# software centres pair them by it.
set(MUNCHET_APP_ID "io.github.munchet.Munchet" CACHE STRING "Reverse-DNS id of the desktop entry, metainfo and icons")
set(MUNCHET_RELEASE_DATE "2026-12-08")  # of PROJECT_VERSION, for the metainfo's release list
set(MUNCHET_PACKAGE_CONTACT "Munchet Fast Prototype developers <munchet@invalid>"
    CACHE STRING "Maintainer named in the .deb")
set(MUNCHET_SYSTEMD_UNIT_DIR "lib/systemd/system" CACHE STRING "Where the server's unit goes, under the prefix")

set(MUNCHET_INSTALL_DATA_ROOT "${CMAKE_INSTALL_DATADIR}/munchet")  # holds data/, as the source tree does
cmake_path(ABSOLUTE_PATH CMAKE_INSTALL_BINDIR BASE_DIRECTORY "${CMAKE_INSTALL_PREFIX}" OUTPUT_VARIABLE bin_dir)
cmake_path(ABSOLUTE_PATH MUNCHET_INSTALL_DATA_ROOT BASE_DIRECTORY "${CMAKE_INSTALL_PREFIX}" OUTPUT_VARIABLE data_dir)
cmake_path(RELATIVE_PATH data_dir BASE_DIRECTORY "${bin_dir}" OUTPUT_VARIABLE munchet_data_from_bin)
add_compile_definitions(MUNCHET_VERSION="${PROJECT_VERSION}" MUNCHET_DATA_FROM_BIN="${munchet_data_from_bin}")

set(munchet_packaging_dir "${CMAKE_CURRENT_LIST_DIR}")
set(munchet_generated "${CMAKE_BINARY_DIR}/packaging")

install(DIRECTORY "${PROJECT_SOURCE_DIR}/data/" DESTINATION "${MUNCHET_INSTALL_DATA_ROOT}/data")

# The game built for the browser, which munchet-scores serves at /play/ from
# here by default. Built apart (its own toolchain), so it is named, not made.
set(MUNCHET_WEB_FILES "" CACHE PATH "Folder of the browser game's built files to install for munchet-scores; empty: none")
if(MUNCHET_WEB_FILES)
  if(NOT IS_DIRECTORY "${MUNCHET_WEB_FILES}")
    message(STATUS "MUNCHET_WEB_FILES: ${MUNCHET_WEB_FILES} is not there yet; installed only if it is by then")
  endif()
  # Read when installing, as the folder is filled after configuring; the
  # server serves plain names at its top only, so only those go in.
  install(CODE "
    file(GLOB munchet_web_files LIST_DIRECTORIES false \"${MUNCHET_WEB_FILES}/*\")
    list(FILTER munchet_web_files INCLUDE REGEX \"/[A-Za-z0-9_-][A-Za-z0-9._-]*$\")
    if(munchet_web_files)
      file(INSTALL \${munchet_web_files} DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${MUNCHET_INSTALL_DATA_ROOT}/web\")
    endif()")
endif()

configure_file("${munchet_packaging_dir}/munchet.desktop.in" "${munchet_generated}/${MUNCHET_APP_ID}.desktop" @ONLY)
configure_file("${munchet_packaging_dir}/munchet.metainfo.xml.in" "${munchet_generated}/${MUNCHET_APP_ID}.metainfo.xml" @ONLY)
install(FILES "${munchet_generated}/${MUNCHET_APP_ID}.desktop" DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
install(FILES "${munchet_generated}/${MUNCHET_APP_ID}.metainfo.xml" DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")

# The art generator writes munchet-SIZE.png for each hicolor size it draws,
# and munchet.svg.
file(GLOB icons CONFIGURE_DEPENDS "${munchet_packaging_dir}/icons/munchet-*.png")
foreach(icon IN LISTS icons)
  string(REGEX MATCH "munchet-([0-9]+)\\.png$" ignored "${icon}")
  install(FILES "${icon}" RENAME "${MUNCHET_APP_ID}.png"
          DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${CMAKE_MATCH_1}x${CMAKE_MATCH_1}/apps")
endforeach()
install(FILES "${munchet_packaging_dir}/icons/munchet.svg" RENAME "${MUNCHET_APP_ID}.svg"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps")

configure_file("${munchet_packaging_dir}/munchet.6.in" "${munchet_generated}/munchet.6" @ONLY)
install(FILES "${munchet_generated}/munchet.6" DESTINATION "${CMAKE_INSTALL_MANDIR}/man6")
install(FILES "${PROJECT_SOURCE_DIR}/README.md" DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/munchet")
# Debian looks for the licence under this name; other systems read it just as well.
install(FILES "${PROJECT_SOURCE_DIR}/LICENSE" DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/munchet" RENAME copyright)

function(munchet_install_programs)
  install(TARGETS munchet RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
  if(NOT TARGET munchet-scores)
    return()
  endif()
  install(TARGETS munchet-scores RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
  configure_file("${munchet_packaging_dir}/munchet-scores.8.in" "${munchet_generated}/munchet-scores.8" @ONLY)
  install(FILES "${munchet_generated}/munchet-scores.8" DESTINATION "${CMAKE_INSTALL_MANDIR}/man8")
  # The unit names the server by its full path, known only when installing:
  # `cmake --install --prefix` and CPack (/usr) each choose their own.
  install(CODE "
    set(MUNCHET_SCORES_PATH \"${CMAKE_INSTALL_BINDIR}/munchet-scores\")
    cmake_path(ABSOLUTE_PATH MUNCHET_SCORES_PATH BASE_DIRECTORY \"\${CMAKE_INSTALL_PREFIX}\")
    configure_file(\"${munchet_packaging_dir}/munchet-scores.service.in\"
                   \"${munchet_generated}/install/munchet-scores.service\" @ONLY)
    file(INSTALL \"${munchet_generated}/install/munchet-scores.service\"
         DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${MUNCHET_SYSTEMD_UNIT_DIR}\")")
endfunction()
cmake_language(DEFER CALL munchet_install_programs)

set(CPACK_PACKAGE_NAME munchet)
set(CPACK_PACKAGE_VENDOR "Munchet Fast Prototype developers")
set(CPACK_PACKAGE_CONTACT "${MUNCHET_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "arcade game: herd drifting food past hungry munchets")
set(CPACK_PACKAGE_DESCRIPTION "Steer a ghost, herd a flock of food into the goal and eat the munchets\n\
that multiply on it, alone or two on one keyboard. Includes munchet-scores,\n\
the online highscore server the game talks to, with a sandboxed systemd unit.")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The game opens libcurl only when a game ends (scores/curl_library.h), so
# the shared-library scan cannot see it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libcurl4")
# The system's certificate authorities, for a score server reached over https://.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "ca-certificates")
include(CPack)
