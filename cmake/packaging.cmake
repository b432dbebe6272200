# Installation layout and the Debian package.
#
#   /usr/bin/aurisona, /usr/bin/aurisona-cli
#   /usr/share/aurisona/aurisona.rcc                  the application's resources
#   /usr/share/applications/aurisona.desktop          the menu entry
#   /usr/share/mime/packages/aurisona.xml             *.lsn
#   /usr/share/icons/hicolor/{scalable,NxN}/apps/     the icon
#   /usr/share/metainfo/org.aurisona.Aurisona.metainfo.xml
#   /usr/share/man/man1/aurisona.1.gz, aurisona-cli.1.gz
#   /usr/share/doc/aurisona/{copyright,changelog.gz,examples/sample.txt}
#
# Everything is also laid out in the build folder under share/ (the resource
# file where the application looks for it when started from the build folder).
include(GNUInstallDirs)

set(AURISONA_BUILD_SHARE ${PROJECT_BINARY_DIR}/share)
set(AURISONA_STAGE ${PROJECT_BINARY_DIR}/package-files)
file(MAKE_DIRECTORY ${AURISONA_STAGE} ${AURISONA_BUILD_SHARE}/aurisona)

# The desktop entry of an installed program starts it from the PATH.
file(READ ${PROJECT_SOURCE_DIR}/resources/desktop/aurisona.desktop AURISONA_DESKTOP_ENTRY)
string(REPLACE "@EXEC@" "aurisona" AURISONA_DESKTOP_ENTRY "${AURISONA_DESKTOP_ENTRY}")
file(GENERATE OUTPUT ${AURISONA_STAGE}/aurisona.desktop CONTENT "${AURISONA_DESKTOP_ENTRY}")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/resources/desktop/aurisona.desktop)

configure_file(${PROJECT_SOURCE_DIR}/resources/desktop/org.aurisona.Aurisona.metainfo.xml
               ${AURISONA_STAGE}/org.aurisona.Aurisona.metainfo.xml @ONLY)

# Manual pages, compressed as Debian wants them.
set(AURISONA_MAN_PAGES)
foreach(page aurisona aurisona-cli)
  configure_file(${PROJECT_SOURCE_DIR}/resources/man/${page}.1 ${AURISONA_STAGE}/${page}.1 @ONLY)
  add_custom_command(OUTPUT ${AURISONA_STAGE}/${page}.1.gz
                     COMMAND gzip -9n -c ${AURISONA_STAGE}/${page}.1 > ${AURISONA_STAGE}/${page}.1.gz
                     DEPENDS ${AURISONA_STAGE}/${page}.1 VERBATIM)
  list(APPEND AURISONA_MAN_PAGES ${AURISONA_STAGE}/${page}.1.gz)
endforeach()
add_custom_command(OUTPUT ${AURISONA_STAGE}/changelog.gz
                   COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/cmake/debian/changelog > ${AURISONA_STAGE}/changelog.gz
                   DEPENDS ${PROJECT_SOURCE_DIR}/cmake/debian/changelog VERBATIM)

# PNG icons drawn from the SVG at the usual sizes.
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
set(AURISONA_ICON_SVG ${PROJECT_SOURCE_DIR}/resources/icons/aurisona.svg)
set(AURISONA_ICON_SIZES 16 22 24 32 48 64 128 256)
set(AURISONA_ICONS)
foreach(size ${AURISONA_ICON_SIZES})
  set(png ${AURISONA_STAGE}/icons/${size}x${size}/aurisona.png)
  add_custom_command(OUTPUT ${png}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${AURISONA_STAGE}/icons/${size}x${size}
                     COMMAND ${RSVG_CONVERT} --width=${size} --height=${size} --format=png
                             --output=${png} ${AURISONA_ICON_SVG}
                     DEPENDS ${AURISONA_ICON_SVG} VERBATIM)
  list(APPEND AURISONA_ICONS ${png})
  install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
add_custom_target(aurisona_package_files ALL DEPENDS ${AURISONA_MAN_PAGES} ${AURISONA_ICONS}
                                                     ${AURISONA_STAGE}/changelog.gz)

# The application's resources: the shell's resource collection as one binary
# resource file that the program registers at start.
if(TARGET aurisona_app)
  find_package(Qt6 REQUIRED COMPONENTS Core)
  set(AURISONA_RESOURCE_FILE ${AURISONA_BUILD_SHARE}/aurisona/aurisona.rcc)
  qt6_add_binary_resources(aurisona_resources ${PROJECT_SOURCE_DIR}/src/app/shell/shell.qrc
                           DESTINATION ${AURISONA_RESOURCE_FILE})
  add_dependencies(aurisona_app aurisona_resources)
  target_compile_definitions(aurisona_app PRIVATE AURISONA_BUILD_DIR="${PROJECT_BINARY_DIR}")
  install(FILES ${AURISONA_RESOURCE_FILE} DESTINATION ${CMAKE_INSTALL_DATADIR}/aurisona)
endif()

install(FILES ${AURISONA_STAGE}/aurisona.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/resources/desktop/aurisona-lsn.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME aurisona.xml)
install(FILES ${AURISONA_ICON_SVG} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${AURISONA_STAGE}/org.aurisona.Aurisona.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${AURISONA_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/copyright ${AURISONA_STAGE}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/aurisona)
# The bundled sample script, to read or to render with aurisona-cli.
install(FILES ${PROJECT_SOURCE_DIR}/resources/scripts/sample.txt DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/aurisona/examples)

# The Debian package: cmake --build --preset default --target package
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME aurisona)
set(CPACK_PACKAGE_VENDOR "The Aurisona developers")
set(CPACK_PACKAGE_CONTACT "The Aurisona developers <aurisona@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "authoring tool for the audio of listening examinations")
# The synopsis is the summary above; CPack indents these lines.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Aurisona voices school English listening-exam scripts with text-to-speech.
A teacher writes a script with Chinese instructions, English dialogues and
passages, and places control marks in it: voices, pauses, prompt tones, music
clips, recordings, repeated and unread stretches. The desktop application
previews the script through the sound card with the spoken words highlighted
and renders it into one MP3 file; aurisona-cli does the same without a
display.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Libraries come from the binaries; the rest is what they use at run time:
# speech data (Festival's Scheme library and its HTS voice when it is built in), a
# CJK font for the editor, and the ALSA plugin through which PortAudio reaches
# PulseAudio or PipeWire.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(AURISONA_RUNTIME_DEPENDS "espeak-ng-data, libflite1")
if(AURISONA_WITH_FESTIVAL)
  string(APPEND AURISONA_RUNTIME_DEPENDS ", festival, festvox-us-slt-hts")
endif()
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${AURISONA_RUNTIME_DEPENDS}, fonts-noto-cjk, libasound2-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pipewire-pulse | pulseaudio, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
