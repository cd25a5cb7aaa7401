# Test registration: one ctest entry per GoogleTest suite of a test program,
# found by reading the program's sources
# (parameterised suites through their INSTANTIATE_TEST_SUITE_P lines). A process per suite keeps Wine's start
# cost low while ctest still names what failed.

function(template_add_gtest_suites target)
  cmake_parse_arguments(ARG "" "PREFIX;LOCK;TIMEOUT" "SOURCES;ARGS" ${ARGN})
  set(suites "")
  foreach(source IN LISTS ARG_SOURCES)
    file(STRINGS ${source} lines REGEX "^(TEST|TEST_F|TYPED_TEST)\\(")
    foreach(line IN LISTS lines)
      string(REGEX REPLACE "^[A-Z_]+\\(([A-Za-z0-9_]+),.*" "\\1" suite "${line}")
      list(APPEND suites ${suite})
    endforeach()
    file(STRINGS ${source} lines REGEX "^INSTANTIATE_TEST_SUITE_P\\(")
    foreach(line IN LISTS lines)
      string(REGEX REPLACE "^INSTANTIATE_TEST_SUITE_P\\(([A-Za-z0-9_]+), *([A-Za-z0-9_]+).*" "\\1/\\2" suite "${line}")
      list(APPEND suites ${suite})
    endforeach()
  endforeach()
  list(REMOVE_DUPLICATES suites)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ARG_SOURCES})
  foreach(suite IN LISTS suites)
    add_test(NAME ${ARG_PREFIX}.${suite} COMMAND ${target} --gtest_filter=${suite}.* ${ARG_ARGS})
    # A filter that matches nothing would pass silently.
    set_tests_properties(${ARG_PREFIX}.${suite} PROPERTIES FAIL_REGULAR_EXPRESSION "Running 0 tests")
    if(ARG_LOCK)
      set_tests_properties(${ARG_PREFIX}.${suite} PROPERTIES RESOURCE_LOCK ${ARG_LOCK})
    endif()
    if(ARG_TIMEOUT)
      set_tests_properties(${ARG_PREFIX}.${suite} PROPERTIES TIMEOUT ${ARG_TIMEOUT})
    endif()
  endforeach()
endfunction()
