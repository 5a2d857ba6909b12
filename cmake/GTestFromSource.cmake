# GoogleTest built from Debian's sources (/usr/src/googletest) with the
# project's own compiler, for cross builds where no prebuilt library fits.
# Provides the same GTest::gtest and GTest::gtest_main targets as
# find_package(GTest).
set(TEMPOLOG_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
if(NOT EXISTS ${TEMPOLOG_GTEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found in ${TEMPOLOG_GTEST_SOURCE} "
                      "(Debian package googletest)")
endif()
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${TEMPOLOG_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# Its warnings are not ours, and it knows no AUTOMOC.
foreach(target gtest gtest_main)
  set_target_properties(${target} PROPERTIES AUTOMOC OFF)
  target_compile_options(${target} PRIVATE -w)
endforeach()
if(NOT TARGET GTest::gtest)  # older GoogleTest releases name no aliases
  add_library(GTest::gtest ALIAS gtest)
  add_library(GTest::gtest_main ALIAS gtest_main)
endif()
