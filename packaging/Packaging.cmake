# Installation of the program and the simulator, and their Debian package:
#   cmake --preset release && cmake --build --preset release && cpack --preset release
# (scripts/package does that and checks the result). Only the programs (the
# window, the command-line recorder, the simulator), the menu entry, icon,
# metadata, manual pages and the recorder's service template are installed;
# tests, benchmarks and the screenshot tool stay in the build tree.
if(NOT (TARGET tempolog AND TARGET tempolog-sim) OR NOT CMAKE_SYSTEM_NAME STREQUAL "Linux")
  return()
endif()

include(GNUInstallDirs)

# The AppStream id names the desktop entry and the metadata; the home page
# carries the screenshot the metadata shows.
set(TEMPOLOG_APP_ID "org.example.tempolog" CACHE STRING "AppStream id of the desktop program")
set(TEMPOLOG_HOMEPAGE "https://example.org/tempolog" CACHE STRING "Home page of the project")

set(packaging_src ${PROJECT_SOURCE_DIR}/packaging)
set(packaging_out ${PROJECT_BINARY_DIR}/packaging)

configure_file(${packaging_src}/tempolog.metainfo.xml.in
               ${packaging_out}/${TEMPOLOG_APP_ID}.metainfo.xml @ONLY)

# Manual pages and the changelog are installed compressed, as Debian expects;
# -n leaves name and time out of the gzip header so builds are reproducible.
set(docs tempolog.1 tempolog-sim.1 changelog)
set(man_pages ${packaging_out}/tempolog.1.gz ${packaging_out}/tempolog-sim.1.gz)
if(TARGET tempolog-cli)
  list(APPEND docs tempolog-cli.1)
  list(APPEND man_pages ${packaging_out}/tempolog-cli.1.gz)
endif()
set(compressed)
foreach(doc ${docs})
  add_custom_command(
    OUTPUT ${packaging_out}/${doc}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${packaging_src}/${doc} ${packaging_out}/${doc}
    COMMAND gzip -9nf ${packaging_out}/${doc}
    DEPENDS ${packaging_src}/${doc}
    VERBATIM)
  list(APPEND compressed ${packaging_out}/${doc}.gz)
endforeach()
add_custom_target(tempolog-docs ALL DEPENDS ${compressed})

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS tempolog tempolog-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET tempolog-cli)
  install(TARGETS tempolog-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # A template, enabled per port by the administrator; systemd reads units from
  # /usr/lib/systemd/system (the same folder as /lib/systemd/system on Debian).
  install(FILES ${packaging_src}/tempolog-cli@.service DESTINATION lib/systemd/system)
endif()
install(FILES ${packaging_src}/tempolog.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
        RENAME ${TEMPOLOG_APP_ID}.desktop)
install(FILES ${packaging_out}/${TEMPOLOG_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${packaging_src}/icons/tempolog.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 48 128)
  install(FILES ${packaging_src}/icons/tempolog-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME tempolog.png)
endforeach()
install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${packaging_out}/changelog.gz ${packaging_src}/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${packaging_src}/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME tempolog)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tempolog)
set(CPACK_PACKAGE_VENDOR "The tempolog maintainers")
set(CPACK_PACKAGE_CONTACT "tempolog maintainers <maintainers@users.noreply.c-seed-6178a87b.example>")
set(CPACK_PACKAGE_HOMEPAGE_URL ${TEMPOLOG_HOMEPAGE})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "record a thermometer on a serial port")
# Debian shows the description on 80-column terminals: lines stay shorter.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "tempolog monitors a measuring instrument, such as a laboratory thermometer,"
  "attached to a serial port. It queries the instrument at a fixed period,"
  "shows the latest reading in large digits, keeps a time-stamped log that"
  "can be saved, loaded and cleared, and plots every reading on a zoomable"
  "date-time chart."
  ""
  ""
  "tempolog-cli records without a window, for example as a service on a"
  "small computer next to the instrument, into the same log files and as"
  "CSV, InfluxDB line protocol or a file for the Prometheus node exporter;"
  "it also converts saved logs to CSV and line protocol."
  ""
  "The package also holds tempolog-sim, a simulated thermometer on a"
  "pseudo-terminal for trying the program without an instrument.")
set(CPACK_TEMPOLOG_STRIP ${CMAKE_STRIP})
set(CPACK_PRE_BUILD_SCRIPTS ${packaging_src}/Strip.cmake)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Library dependencies come from dpkg-shlibdeps. The fonts the window and the
# chart are designed with (Arial, Courier New) have metric-compatible
# stand-ins in Liberation, which the program looks for next.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# systemd is told of a new or changed service template when it runs.
if(TARGET tempolog-cli)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${packaging_src}/postinst ${packaging_src}/prerm
      ${packaging_src}/postrm)
endif()
include(CPack)
