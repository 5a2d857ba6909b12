# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (the posix thread
# model, which std::thread and GoogleTest need); Wine runs the programs when
# CTest starts a test. Every program links the compiler's run-time libraries
# as DLLs (libstdc++-6, libgcc_s_seh-1, libwinpthread-1), as Qt's own DLLs do:
# one copy of the C++ run-time per process, shared by the program and Qt, so
# that memory, exceptions and the standard streams cross between them safely.
# The Windows folder carries these DLLs beside the programs; the tests find
# them through WINEPATH (scripts/wintest). With Qt, configure with Qt's
# qt.toolchain.cmake chain-loading this file (the windows preset does).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Debian's wine64 keeps its loader out of PATH.
find_program(TEMPOLOG_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(TEMPOLOG_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TEMPOLOG_WINE})
endif()
