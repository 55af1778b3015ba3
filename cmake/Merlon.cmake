# merlon_test(NAME src... LIBS lib... [LABELS label...]): one GoogleTest executable registered
# with CTest. Tests run from the build folder with MERLON_SOURCE_DIR compiled in, and
# require the fixture merlon_source_tree (the check that the run leaves no file
# in the source tree); a test added with add_test requires it too.
function(merlon_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES} ${T_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${T_LIBS} merlon_test_kit merlon_books_guard GTest::gtest GTest::gtest_main
                                        GTest::gmock)
  # The shared test kit: #include "support/...", its work in merlon_test_kit (tests/support).
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE MERLON_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
                                             MERLON_BINARY_DIR="${CMAKE_BINARY_DIR}")
  # The properties reach every discovered test as one flat list: each value must be a single item
  # (a ";" inside one would split it and shift the names after it). The source folder is compiled in.
  set(properties ENVIRONMENT QT_QPA_PLATFORM=offscreen FIXTURES_REQUIRED merlon_source_tree)
  if(T_LABELS)  # one label: a second would be read as a property name
    list(APPEND properties LABELS ${T_LABELS})
  endif()
  # A sanitizer tree runs its programs whole (merlon_whole_tests), not one test at a time.
  if(MERLON_ASAN OR MERLON_TSAN)
    return()
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ${properties})
endfunction()

# merlon_whole_tests(LABEL target...): each GoogleTest program runs as one CTest test, all its tests in one
# process, labelled LABEL (asan or tsan), in the folder its discovered tests run in; the target
# merlon_LABEL_tests builds them alone. A sanitizer's first report fails the run.
function(merlon_whole_tests label)
  # Leaks are not looked for: the font library under Qt keeps allocations to exit (fontconfig), reported as leaks.
  set(env QT_QPA_PLATFORM=offscreen
          "ASAN_OPTIONS=detect_leaks=0:abort_on_error=0:halt_on_error=1:detect_stack_use_after_return=1"
          "TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1")
  add_custom_target(merlon_${label}_tests)
  foreach(target ${ARGN})
    get_target_property(folder ${target} BINARY_DIR)
    add_test(NAME ${target}_whole_${label} COMMAND ${target} WORKING_DIRECTORY ${folder})
    set_tests_properties(${target}_whole_${label} PROPERTIES
      ENVIRONMENT "${env}" LABELS ${label} TIMEOUT 3600 FIXTURES_REQUIRED merlon_source_tree)
    add_dependencies(merlon_${label}_tests ${target})
  endforeach()
endfunction()

# merlon_label_tests(TARGET LABEL REGEX): gives LABEL to the tests of the GoogleTest program TARGET
# (added by merlon_test in this folder) whose CTest name matches REGEX. The tests are only known
# once CTest reads what the discovery found, so the labels are set by a file CTest reads after it.
function(merlon_label_tests target label regex)
  set(file ${CMAKE_CURRENT_BINARY_DIR}/${target}_label_${label}.cmake)
  file(WRITE ${file}
       "foreach(t IN LISTS ${target}_TESTS)\n"
       "  if(t MATCHES [=[${regex}]=])\n"
       "    set_tests_properties(\"\${t}\" PROPERTIES LABELS ${label})\n"
       "  endif()\n"
       "endforeach()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${file})
endfunction()
