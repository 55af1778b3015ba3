# add_subdirectory for each folder that has a CMakeLists.txt
function(merlon_add_dirs)
  foreach(d ${ARGN})
    if(EXISTS "${CMAKE_SOURCE_DIR}/${d}/CMakeLists.txt")
      add_subdirectory("${d}")
    endif()
  endforeach()
endfunction()

# merlon_test(NAME src... LIBS lib...): one GoogleTest executable registered
# with CTest. Tests run from the build folder with MERLON_SOURCE_DIR set, and
# require the fixture merlon_source_tree (the check that the run leaves no file
# in the source tree); a test added with add_test requires it too.
function(merlon_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES} ${T_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  # The shared test kit: #include "support/...".
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE MERLON_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
                                             MERLON_BINARY_DIR="${CMAKE_BINARY_DIR}")
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;MERLON_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
               LABELS "${T_LABELS}"
               FIXTURES_REQUIRED merlon_source_tree)
endfunction()
