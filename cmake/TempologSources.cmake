# tempolog_platform_sources(<var> <stem>...)
# Platform code lives in <stem>_posix.cpp and <stem>_win32.cpp; this appends
# the file of the platform being built for to the list <var>.
function(tempolog_platform_sources var)
  if(WIN32)
    set(suffix _win32.cpp)
  else()
    set(suffix _posix.cpp)
  endif()
  set(files ${${var}})
  foreach(stem IN LISTS ARGN)
    list(APPEND files ${stem}${suffix})
  endforeach()
  set(${var} ${files} PARENT_SCOPE)
endfunction()

# tempolog_library(<name> <source>...)
# A static library of the program. Code includes headers by their path from
# the project's root ("serial/SerialPort.h"), for the library itself and for
# everything that links it.
function(tempolog_library name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()
