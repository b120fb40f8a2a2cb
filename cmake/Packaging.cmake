# Desktop integration (menu entry, icons, AppStream metadata, manual pages)
# and the Debian package that `scripts/build.sh package` makes with CPack.
option(LUMIVALE_DESKTOP_FILES "Render the icons and manual pages and install the desktop files" ON)
set(LUMIVALE_APP_ID io.github.lumivale.Lumivale)
set(LUMIVALE_MAINTAINER "The Lumivale developers <lumivale@users.noreply.github.com>"
    CACHE STRING "Maintainer field of the Debian package")
set(desktop ${PROJECT_SOURCE_DIR}/data/desktop)
set(debian ${PROJECT_SOURCE_DIR}/data/debian)
set(generated ${CMAKE_BINARY_DIR}/desktop)
set(docdir ${CMAKE_INSTALL_DATADIR}/doc/lumivale)

if(LUMIVALE_DESKTOP_FILES)
  find_program(RSVG_CONVERT rsvg-convert REQUIRED)
  find_program(HELP2MAN help2man REQUIRED)
  find_program(GZIP gzip REQUIRED)

  install(FILES ${desktop}/${LUMIVALE_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${desktop}/${LUMIVALE_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${desktop}/${LUMIVALE_APP_ID}.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

  set(outputs)
  foreach(size 16 22 24 32 48 64 128 256)
    set(png ${generated}/icons/${size}x${size}/${LUMIVALE_APP_ID}.png)
    add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${generated}/icons/${size}x${size}
      COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${desktop}/${LUMIVALE_APP_ID}.svg
      DEPENDS ${desktop}/${LUMIVALE_APP_ID}.svg VERBATIM)
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    list(APPEND outputs ${png})
  endforeach()

  # The manual pages come from the programs' own --help and --version, so
  # they never drift from them. Sanitizer builds must not report at exit.
  foreach(program lumivale lumivale-cli)
    set(page ${generated}/man/${program}.1)
    add_custom_command(OUTPUT ${page}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${generated}/man
      COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen
              ${HELP2MAN} --no-info --section=1 --include=${desktop}/${program}.h2m
              --output=${page} $<TARGET_FILE:${program}>
      COMMAND ${GZIP} -9nf ${page}
      DEPENDS ${program} ${desktop}/${program}.h2m VERBATIM)
    install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    list(APPEND outputs ${page}.gz)
  endforeach()

  set(changelog ${generated}/changelog.gz)
  add_custom_command(OUTPUT ${changelog}
    COMMAND ${GZIP} -9nc ${debian}/changelog > ${changelog}
    DEPENDS ${debian}/changelog VERBATIM)
  list(APPEND outputs ${changelog})
  install(FILES ${changelog} ${debian}/copyright DESTINATION ${docdir})

  add_custom_target(lumivale_desktop_files ALL DEPENDS ${outputs})
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumivale)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "loading screens, music and textures for the City of Heroes client")
set(CPACK_PACKAGE_DESCRIPTION_FILE ${debian}/description.txt)
set(CPACK_PACKAGE_CONTACT ${LUMIVALE_MAINTAINER})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${LUMIVALE_MAINTAINER})
# A tool for a game rather than a game (no programs in /usr/games); the
# desktop entry still sits among the games.
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://github.com/lumivale/lumivale)
# Dependencies come from the linked shared libraries; the Ogg Vorbis libraries
# are opened by name at run time, so dpkg-shlibdeps cannot see them, and the
# TGA reader is a Qt plug-in.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libogg0, libvorbis0a, libvorbisenc2, qt6-image-formats-plugins")
# nvcompress (optional texture compression) and Wine (starting the game).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libnvtt-bin, wine, xdg-user-dirs, xdg-utils")
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
include(CPack)
