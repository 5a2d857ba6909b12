# The Windows folder: `cmake --install build/windows` lays out a folder that
# runs on a machine without Qt or a compiler (scripts/windows-package turns it
# into the installer and the .zip):
#   tempolog.exe, tempolog-cli.exe        the programs
#   Qt6Core/Gui/Widgets.dll               Qt's libraries
#   platforms/qwindows.dll                Qt's platform plugin
#   styles/qwindowsvistastyle.dll         the native look of controls
#   libstdc++-6, libgcc_s_seh-1, libwinpthread-1 .dll   the C++ run-time
#   LICENSE.txt, licenses/                the program's licence, Qt's and the
#                                         run-time's, and the exact Qt source
if(NOT WIN32 OR NOT TARGET tempolog OR NOT TARGET tempolog-cli)
  return()
endif()

install(TARGETS tempolog tempolog-cli RUNTIME DESTINATION .)

# Qt's libraries and the two plugins the window loads.
foreach(module Core Gui Widgets)
  install(FILES $<TARGET_FILE:Qt6::${module}> DESTINATION .)
endforeach()
install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin> DESTINATION platforms)
if(TARGET Qt6::QWindowsVistaStylePlugin)
  install(FILES $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin> DESTINATION styles)
endif()

# The compiler's run-time DLLs, as the compiler itself finds them.
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                  OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
    find_file(path_${dll} ${dll} PATHS /usr/${CMAKE_CXX_LIBRARY_ARCHITECTURE}/lib
              /usr/x86_64-w64-mingw32/lib NO_CMAKE_FIND_ROOT_PATH REQUIRED)
    set(path ${path_${dll}})
  endif()
  install(FILES ${path} DESTINATION .)
endforeach()

# Licences: the program's own (MIT), Qt's LGPL-3 with the note of the source it
# was built from, and the run-time library exception of the compiler's DLLs.
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
get_filename_component(tempolog_qt_prefix "${Qt6_DIR}/../../.." ABSOLUTE)
if(EXISTS ${tempolog_qt_prefix}/share/licenses/LGPL-3.0-only.txt)
  install(FILES ${tempolog_qt_prefix}/share/licenses/LGPL-3.0-only.txt
                ${tempolog_qt_prefix}/share/licenses/GPL-3.0-only.txt
          DESTINATION licenses/qt)
  install(FILES ${tempolog_qt_prefix}/share/licenses/debian-copyright
          DESTINATION licenses/qt RENAME copyright.txt)
endif()
if(EXISTS ${tempolog_qt_prefix}/SOURCE)
  install(FILES ${tempolog_qt_prefix}/SOURCE DESTINATION licenses/qt RENAME SOURCE.txt)
endif()
install(FILES ${CMAKE_CURRENT_LIST_DIR}/THIRD-PARTY.txt DESTINATION licenses)
