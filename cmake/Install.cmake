# Installation, the desktop integration and the Debian package.
#
#   cmake --install build --prefix /usr     (DESTDIR works as usual)
#   cd build && cpack -G DEB
include(GNUInstallDirs)

install(TARGETS movarel-tool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET movarel)
  install(TARGETS movarel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

set(movarel_data ${CMAKE_SOURCE_DIR}/data)
install(FILES ${movarel_data}/movarel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${movarel_data}/movarel-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        RENAME movarel.xml)
# File managers show a film's picture through movarel-tool thumbnail.
if(MOVAREL_TOOL_THUMBNAIL)
  install(FILES ${movarel_data}/movarel.thumbnailer DESTINATION ${CMAKE_INSTALL_DATADIR}/thumbnailers)
endif()
install(FILES ${movarel_data}/icons/movarel-48.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps
        RENAME movarel.png)
install(FILES ${movarel_data}/icons/movarel.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The README is what Help (F1) opens when no web page is set; its pictures
# go with it so it reads as on the project's page.
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/movarel)
install(FILES ${CMAKE_SOURCE_DIR}/docs/screenshot-playing.png ${CMAKE_SOURCE_DIR}/docs/screenshot-segments.png
              ${CMAKE_SOURCE_DIR}/docs/screenshot-fullscreen.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/movarel/docs)

# Man pages are installed compressed, as Debian expects, when gzip is there.
find_program(MOVAREL_GZIP gzip)
set(movarel_man_pages movarel.1 movarel-tool.1)
set(movarel_man_files)
foreach(page ${movarel_man_pages})
  if(MOVAREL_GZIP)
    set(out ${CMAKE_BINARY_DIR}/man/${page}.gz)
    add_custom_command(OUTPUT ${out}
                       COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
                       COMMAND ${CMAKE_COMMAND} -E copy ${movarel_data}/man/${page} ${CMAKE_BINARY_DIR}/man/${page}
                       COMMAND ${MOVAREL_GZIP} -9 -n -f ${CMAKE_BINARY_DIR}/man/${page}
                       DEPENDS ${movarel_data}/man/${page} VERBATIM)
    list(APPEND movarel_man_files ${out})
  else()
    list(APPEND movarel_man_files ${movarel_data}/man/${page})
  endif()
endforeach()
add_custom_target(movarel_man ALL DEPENDS ${movarel_man_files})
install(FILES ${movarel_man_files} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The documentation folder as Debian wants it: the copyright file in the
# machine-readable format, the changelog compressed as changelog.gz (the
# name for a package that is its own upstream) and the README. The folder is
# named after the package, not the project (CMAKE_INSTALL_DOCDIR would say
# "Movarel").
set(movarel_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/movarel)
set(movarel_changelog ${movarel_data}/changelog)
if(MOVAREL_GZIP)
  set(movarel_changelog ${CMAKE_BINARY_DIR}/doc/changelog.gz)
  add_custom_command(OUTPUT ${movarel_changelog}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/doc
                     COMMAND ${CMAKE_COMMAND} -E copy ${movarel_data}/changelog ${CMAKE_BINARY_DIR}/doc/changelog
                     COMMAND ${MOVAREL_GZIP} -9 -n -f ${CMAKE_BINARY_DIR}/doc/changelog
                     DEPENDS ${movarel_data}/changelog VERBATIM)
endif()
add_custom_target(movarel_doc ALL DEPENDS ${movarel_changelog})
install(FILES ${movarel_data}/copyright ${movarel_changelog} ${CMAKE_SOURCE_DIR}/README.md
        DESTINATION ${movarel_doc_dir})

# The demo film and, with the player, the same film as a self-playing file:
#   cmake --build build --target demo-film
set(movarel_demo_dir ${CMAKE_BINARY_DIR}/demo)
set(movarel_demo_outputs ${movarel_demo_dir}/demo.qxf)
set(movarel_demo_commands
    COMMAND ${CMAKE_COMMAND} -E make_directory ${movarel_demo_dir}
    COMMAND $<TARGET_FILE:movarel-demo-film> ${movarel_demo_dir}/demo.qxf)
set(movarel_demo_depends movarel-demo-film)
if(TARGET movarel)
  list(APPEND movarel_demo_outputs ${movarel_demo_dir}/movarel-demo)
  list(APPEND movarel_demo_commands
       COMMAND $<TARGET_FILE:movarel-tool> bundle ${movarel_demo_dir}/demo.qxf
               --out ${movarel_demo_dir}/movarel-demo --player $<TARGET_FILE:movarel>)
  list(APPEND movarel_demo_depends movarel movarel-tool)
endif()
add_custom_command(OUTPUT ${movarel_demo_outputs} ${movarel_demo_commands}
                   DEPENDS ${movarel_demo_depends} VERBATIM)
add_custom_target(demo-film DEPENDS ${movarel_demo_outputs})

# The install test runs cmake --install on this build tree and the demo film
# generator, so it needs them built and needs to know where they are.
if(TARGET test_tools)
  add_dependencies(test_tools movarel-tool movarel-demo-film movarel_man movarel_doc)
  if(TARGET movarel)
    add_dependencies(test_tools movarel)
  endif()
  target_compile_definitions(test_tools PRIVATE
    MOVAREL_BUILD_DIR="${CMAKE_BINARY_DIR}"
    MOVAREL_DEMO_FILM="$<TARGET_FILE:movarel-demo-film>"
    MOVAREL_HAS_PLAYER=$<BOOL:$<TARGET_EXISTS:movarel>>
    MOVAREL_HAS_THUMBNAIL=$<BOOL:${MOVAREL_TOOL_THUMBNAIL}>)
endif()

# The shell's tests start the player and movarel-tool of this tree as
# programs (movarel --version, self-playing films).
if(TARGET test_shell)
  add_dependencies(test_shell movarel movarel-tool)
endif()

# The Debian package. Its library dependencies come from dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME movarel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Movarel")
set(CPACK_PACKAGE_CONTACT "Movarel maintainers <maintainers@movarel.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "player for screen-recording films")
# Lines of the extended description stay under 80 columns, as lintian asks.
set(CPACK_PACKAGE_DESCRIPTION
    "Movarel plays screen-recording films (.qxf files and self-playing films):\nthe recorded frames, the recorded mouse cursor and the MP3 sound track.\nmovarel-tool shows what a film holds, exports its frames and makes\nself-playing films.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# movarel-tool frames --video hands its frames to ffmpeg.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS ffmpeg)
# On a Wayland desktop Qt needs its Wayland plugin; without it the player
# falls back to XWayland.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-wayland)
include(CPack)
