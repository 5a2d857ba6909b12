# Installation of the programs, and their two Debian packages:
#   cmake --preset release && cmake --build --preset release && cpack --preset release
# (scripts/package does that and checks the result). Only the programs (the
# window, the command-line recorder, the simulator), the menu entry, icon,
# metadata, manual pages, the recorder's service template and its example
# alerting rules and log rotation are installed; tests, benchmarks and the
# screenshot tool stay in the build tree.
if(NOT (TARGET tempolog AND TARGET tempolog-sim AND TARGET tempolog-cli)
   OR NOT CMAKE_SYSTEM_NAME STREQUAL "Linux")
  return()
endif()

include(GNUInstallDirs)

# The AppStream id names the desktop entry, the metadata and the icon; it is
# the reverse-DNS of the project's home, which the project holds.
set(TEMPOLOG_APP_ID "io.github.tempolog.tempolog" CACHE STRING "AppStream id of the desktop program")
set(TEMPOLOG_HOMEPAGE "https://tempolog.github.io" CACHE STRING "Home page of the project")
# Build trees configured before kept the placeholders of the first package.
if(TEMPOLOG_APP_ID STREQUAL "org.example.tempolog")
  set_property(CACHE TEMPOLOG_APP_ID PROPERTY VALUE "io.github.tempolog.tempolog")
endif()
if(TEMPOLOG_HOMEPAGE STREQUAL "https://example.org/tempolog")
  set_property(CACHE TEMPOLOG_HOMEPAGE PROPERTY VALUE "https://tempolog.github.io")
endif()

set(packaging_src ${PROJECT_SOURCE_DIR}/packaging)
set(packaging_out ${PROJECT_BINARY_DIR}/packaging)

configure_file(${packaging_src}/tempolog.metainfo.xml.in
               ${packaging_out}/${TEMPOLOG_APP_ID}.metainfo.xml @ONLY)
configure_file(${packaging_src}/tempolog.desktop.in ${packaging_out}/${TEMPOLOG_APP_ID}.desktop
               @ONLY)

# Manual pages and the changelog are installed compressed, as Debian expects;
# -n leaves name and time out of the gzip header so builds are reproducible.
set(docs tempolog.1 tempolog-sim.1 tempolog-cli.1 changelog)
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

# Two packages from the one build. "cli" (tempolog-cli) needs only the C and
# C++ run-time libraries: the recorder, the simulator, their manual pages, the
# service template with its system user, the example alerting rules and
# logrotate configuration.
# "gui" (tempolog) is the window with its menu entry, icon and metadata.
install(TARGETS tempolog-cli tempolog-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        COMPONENT cli)
# A template, enabled per port by the administrator; systemd reads units from
# /usr/lib/systemd/system (the same folder as /lib/systemd/system on Debian).
install(FILES ${packaging_src}/tempolog-cli@.service DESTINATION lib/systemd/system COMPONENT cli)
install(FILES ${packaging_src}/tempolog-cli.sysusers DESTINATION lib/sysusers.d
        RENAME tempolog-cli.conf COMPONENT cli)
install(FILES ${packaging_out}/tempolog-cli.1.gz ${packaging_out}/tempolog-sim.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT cli)
install(FILES ${packaging_src}/tempolog-alerts.yml ${packaging_src}/tempolog-cli.logrotate
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tempolog-cli/examples COMPONENT cli)
install(FILES ${packaging_out}/changelog.gz ${packaging_src}/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tempolog-cli COMPONENT cli)

install(TARGETS tempolog RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT gui)
install(FILES ${packaging_out}/${TEMPOLOG_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT gui)
install(FILES ${packaging_out}/${TEMPOLOG_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT gui)
install(FILES ${packaging_src}/icons/tempolog.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${TEMPOLOG_APP_ID}.svg COMPONENT gui)
foreach(size 48 128)
  install(FILES ${packaging_src}/icons/tempolog-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${TEMPOLOG_APP_ID}.png COMPONENT gui)
endforeach()
install(FILES ${packaging_out}/tempolog.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
        COMPONENT gui)
install(FILES ${packaging_out}/changelog.gz ${packaging_src}/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tempolog COMPONENT gui)

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL cli gui)
set(CPACK_PACKAGE_NAME tempolog)
set(CPACK_PACKAGE_VENDOR "The tempolog maintainers")
set(CPACK_PACKAGE_CONTACT "tempolog maintainers <maintainers@users.noreply.c-seed-6178a87b.example>")
set(CPACK_PACKAGE_HOMEPAGE_URL ${TEMPOLOG_HOMEPAGE})
# Each package's description starts with its own summary line. Debian shows
# the description on 80-column terminals: lines stay shorter, and a lone "."
# line (an empty line here) parts the paragraphs.
string(JOIN "\n" CPACK_DEBIAN_CLI_DESCRIPTION
  "record a thermometer on a serial port without a window"
  "tempolog-cli records a measuring instrument, such as a laboratory"
  "thermometer, attached to a serial port, for example as a service on a"
  "small computer next to the instrument. It keeps the readings in log files,"
  "prints them as CSV or InfluxDB line protocol, and keeps a file for the"
  "Prometheus node exporter; it also converts saved logs to CSV and line"
  "protocol. A service template records one port from boot on, and example"
  "Prometheus alerting rules warn when a temperature leaves its range or the"
  "instrument goes quiet."
  ""
  "The package also holds tempolog-sim, a simulated thermometer on a"
  "pseudo-terminal for trying the programs without an instrument. It needs no"
  "graphical libraries; the window is in the package tempolog.")
string(JOIN "\n" CPACK_DEBIAN_GUI_DESCRIPTION
  "record a thermometer on a serial port and plot its readings"
  "tempolog monitors a measuring instrument, such as a laboratory thermometer,"
  "attached to a serial port. It queries the instrument at a fixed period,"
  "shows the latest reading in large digits, keeps a time-stamped log that"
  "can be saved, loaded and cleared, and plots every reading on a zoomable"
  "date-time chart."
  ""
  "The recorder without a window and the simulated thermometer come with it,"
  "from the package tempolog-cli.")
set(CPACK_DEBIAN_CLI_PACKAGE_NAME tempolog-cli)
set(CPACK_DEBIAN_GUI_PACKAGE_NAME tempolog)
set(CPACK_TEMPOLOG_STRIP ${CMAKE_STRIP})
set(CPACK_PRE_BUILD_SCRIPTS ${packaging_src}/Strip.cmake)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Library dependencies come from dpkg-shlibdeps. The fonts the window and the
# chart are designed with (Arial, Courier New) have metric-compatible
# stand-ins in Liberation, which the program looks for next.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_GUI_PACKAGE_RECOMMENDS "fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The window's package depends on the recorder's of the same version: whoever
# installs the window gets the simulator to try it with, and the recorder to
# keep recording when no one is logged in (both are small and need no more
# libraries than the window has already).
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_COMPONENT_GUI_DEPENDS cli)
# Up to 0.1 one package, tempolog, held everything: the files that moved to
# tempolog-cli may replace that package's, which must be upgraded with it.
set(CPACK_DEBIAN_CLI_PACKAGE_REPLACES "tempolog (<< 0.2~)")
set(CPACK_DEBIAN_CLI_PACKAGE_BREAKS "tempolog (<< 0.2~)")
# The service's system user is made by systemd-sysusers (what
# dh_installsysusers asks for); the maintainer scripts handle the template's
# instances with deb-systemd-helper and deb-systemd-invoke.
set(CPACK_DEBIAN_CLI_PACKAGE_DEPENDS "systemd | systemd-standalone-sysusers | systemd-sysusers")
set(CPACK_DEBIAN_CLI_PACKAGE_CONTROL_EXTRA ${packaging_src}/postinst ${packaging_src}/prerm
    ${packaging_src}/postrm)
include(CPack)
