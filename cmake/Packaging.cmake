# What the Linux install holds besides the program and its help page, and the Debian package
# made from it (cpack -G DEB, run by scripts/package). The Windows installer and zip are made
# by scripts/package from the executable (packaging/windows).

# The version is the one of the changelog's latest entry.
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/linux/changelog SC_CHANGELOG_ENTRY LIMIT_COUNT 1)
if(NOT SC_CHANGELOG_ENTRY MATCHES "^screen-capturer \\(([^)]+)\\)")
  message(FATAL_ERROR "packaging/linux/changelog: no version in its first line")
endif()
set(SC_VERSION ${CMAKE_MATCH_1})

if(WIN32)
  return()
endif()

set(SC_PACKAGING ${PROJECT_SOURCE_DIR}/packaging/linux)
set(SC_DOC share/doc/screen-capturer)

# The manual page and the changelog go compressed, without name or time stamp (Debian policy).
set(SC_COMPRESSED)
foreach(source ${SC_PACKAGING}/screen-capturer.1 ${SC_PACKAGING}/changelog)
  get_filename_component(name ${source} NAME)
  set(output ${CMAKE_CURRENT_BINARY_DIR}/packaging/${name}.gz)
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${CMAKE_CURRENT_BINARY_DIR}/packaging/${name}
    COMMAND gzip -9nf ${CMAKE_CURRENT_BINARY_DIR}/packaging/${name}
    DEPENDS ${source} VERBATIM)
  list(APPEND SC_COMPRESSED ${output})
endforeach()
add_custom_target(sc_packaging_files ALL DEPENDS ${SC_COMPRESSED})

install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/screen-capturer.1.gz DESTINATION share/man/man1)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.gz DESTINATION ${SC_DOC})
install(FILES ${SC_PACKAGING}/screen-capturer.desktop DESTINATION share/applications)
install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/screen-capturer.svg
        DESTINATION share/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/screen-capturer.png
        DESTINATION share/icons/hicolor/256x256/apps)
# The licence notices scripts/package gathers before it runs cpack.
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/copyright DESTINATION ${SC_DOC} OPTIONAL)

# Installing (and so cpack) builds nothing: scripts/package builds the program and these files
# in the build the tests use, without building the tests.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME screen-capturer)
set(CPACK_PACKAGE_VERSION ${SC_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT
    "screen-capturer maintainers <maintainers@users.noreply.c-seed-d9472965.example>")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends comes from the shared libraries the program links (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "screen recorder started by a host application
A small always-on-top toolbar picks the area to record (the whole screen, a
preset size, a window or a dragged rectangle), the sound sources (microphone,
what the computer plays, both or none), a camera, the mouse pointer
decoration, the quality and the hotkeys. The recording is encoded as H.264
with AAC sound into the file the host application named on the command line;
the camera can be recorded into a file of its own. Needs an X11 session.")
include(CPack)
