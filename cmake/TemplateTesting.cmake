# Test registration: one ctest entry per GoogleTest suite of a test program,
# found by reading the program's sources (parameterised suites through their
# INSTANTIATE_TEST_SUITE_P lines). A process per suite keeps Wine's start cost
# low while ctest still names what failed.

function(template_add_gtest_suites target)
  # LAUNCHER: a command (a target first) that starts the test program, given the program's path and arguments.
  cmake_parse_arguments(ARG "" "PREFIX;LOCK;TIMEOUT" "SOURCES;ARGS;LAUNCHER" ${ARGN})
  if(ARG_LAUNCHER)
    set(program ${ARG_LAUNCHER} $<TARGET_FILE:${target}>)
  else()
    set(program ${target})
  endif()
  set(suites "")
  set(space "[ \t\r\n]*")
  foreach(source IN LISTS ARG_SOURCES)
    file(READ ${source} content)
    # Plain and fixture tests: the suite is the first macro argument.
    string(REGEX MATCHALL "\n(TEST|TEST_F|TYPED_TEST)\\(${space}[A-Za-z0-9_]+" found "\n${content}")
    foreach(match IN LISTS found)
      string(REGEX REPLACE ".*\\(${space}" "" suite "${match}")
      list(APPEND suites ${suite})
    endforeach()
    # Parameterised tests run as <instantiation>/<suite>.
    string(REGEX MATCHALL "\nINSTANTIATE_TEST_SUITE_P\\(${space}[A-Za-z0-9_]+${space},${space}[A-Za-z0-9_]+" found
           "\n${content}")
    foreach(match IN LISTS found)
      string(REGEX REPLACE ".*\\(${space}([A-Za-z0-9_]+)${space},${space}([A-Za-z0-9_]+)$" "\\1/\\2" suite "${match}")
      list(APPEND suites ${suite})
    endforeach()
  endforeach()
  list(REMOVE_DUPLICATES suites)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ARG_SOURCES})
  foreach(suite IN LISTS suites)
    add_test(NAME ${ARG_PREFIX}.${suite} COMMAND ${program} --gtest_filter=${suite}.* ${ARG_ARGS})
    # A filter that matches nothing would pass silently.
    set_tests_properties(${ARG_PREFIX}.${suite} PROPERTIES FAIL_REGULAR_EXPRESSION "Running 0 tests")
    if(ARG_LOCK)
      set_tests_properties(${ARG_PREFIX}.${suite} PROPERTIES RESOURCE_LOCK ${ARG_LOCK})
    endif()
    if(ARG_TIMEOUT)
      set_tests_properties(${ARG_PREFIX}.${suite} PROPERTIES TIMEOUT ${ARG_TIMEOUT})
    endif()
  endforeach()
  # Whatever the scan missed would never run: this entry runs all the rest and
  # passes only when that is nothing.
  list(TRANSFORM suites APPEND ".*" OUTPUT_VARIABLE patterns)
  list(JOIN patterns ":" covered)
  # Named after the program, so that several programs can share a prefix.
  set(check ${ARG_PREFIX}.${target}.every_suite_registered)
  add_test(NAME ${check} COMMAND ${program} --gtest_filter=-${covered} ${ARG_ARGS})
  set_tests_properties(${check} PROPERTIES PASS_REGULAR_EXPRESSION "Running 0 tests")
  if(ARG_LOCK)
    set_tests_properties(${check} PROPERTIES RESOURCE_LOCK ${ARG_LOCK})
  endif()
endfunction()
