# tempolog_test_labels(<area> <out>): the CTest labels of an area's suites, by
# what they need: "unit" (plain code and drawing, no port, no window),
# "window" (the window and its dialogs), "serial" (pseudo-terminals or COM
# ports played by the test), "cli" (the recorder run as a program), "servers"
# (real servers and tools); the Windows build adds "wine" to each.
function(tempolog_test_labels area out)
  if(area MATCHES "^(textconv|framework|chart|canvas|reduce|logview)$")
    set(labels unit)
  elseif(area MATCHES "^(window|chartpaint|app)$")
    set(labels window)
  elseif(area STREQUAL "serial")
    set(labels serial)
  elseif(area STREQUAL "cli")
    set(labels cli)
  else()
    set(labels servers)
  endif()
  if(CMAKE_CROSSCOMPILING)
    list(APPEND labels wine)
  endif()
  set(${out} "${labels}" PARENT_SCOPE)
endfunction()

# tempolog_add_test(<name> LIBS <lib>...)
# Builds <name>_test from <name>_test.cpp in the calling folder, links GoogleTest
# and the listed libraries, and registers it with CTest under the folder's name.
function(tempolog_add_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "LIBS" ${ARGN})
  get_filename_component(area ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  add_executable(${area}_${name}_test ${name}_test.cpp)
  target_link_libraries(${area}_${name}_test PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  add_test(NAME ${area}.${name} COMMAND ${area}_${name}_test)
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  tempolog_test_labels(${area} labels)
  set_tests_properties(${area}.${name} PROPERTIES
    TIMEOUT ${ARG_TIMEOUT}
    LABELS "${labels}"
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ASAN_OPTIONS=detect_leaks=1:abort_on_error=0;LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
endfunction()
