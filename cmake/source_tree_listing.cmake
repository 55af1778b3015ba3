# What a test run may leave in the source tree, listed before the tests and compared after
# them (the fixture merlon_source_tree in the top CMakeLists.txt):
#   cmake -DMODE=before|after -DSOURCE=<source dir> -DBINARY=<build dir> -DLISTING=<file> -P <this file>
# In a git work tree: the untracked files, and the ignored ones with ignored folders
# collapsed (so a build folder inside the tree counts once, however its content changes).
# Elsewhere: every file outside the build folder. "after" fails naming each new entry.

cmake_minimum_required(VERSION 3.25)

function(tree_listing out)
  file(RELATIVE_PATH build_rel "${SOURCE}" "${BINARY}")
  set(entries "")
  execute_process(COMMAND git -C "${SOURCE}" rev-parse --is-inside-work-tree
                  OUTPUT_VARIABLE inside ERROR_QUIET RESULT_VARIABLE rc OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(rc EQUAL 0 AND inside STREQUAL "true")
    foreach(args "--others;--exclude-standard" "--others;--ignored;--exclude-standard;--directory")
      execute_process(COMMAND git -C "${SOURCE}" -c core.quotePath=true ls-files ${args}
                      OUTPUT_VARIABLE text RESULT_VARIABLE rc)
      if(NOT rc EQUAL 0)
        message(FATAL_ERROR "git ls-files ${args} failed in ${SOURCE}")
      endif()
      string(REPLACE "\n" ";" lines "${text}")
      list(APPEND entries ${lines})
    endforeach()
  else()
    file(GLOB_RECURSE entries RELATIVE "${SOURCE}" LIST_DIRECTORIES false "${SOURCE}/*")
    list(FILTER entries EXCLUDE REGEX "^\\.git/")
  endif()
  # The build folder's own files change during the run; it is not the tree's.
  if(NOT build_rel MATCHES "^\\.\\.")
    string(REGEX REPLACE "([][+.*()^$?|\\{}])" "\\\\\\1" build_pattern "${build_rel}")
    list(FILTER entries EXCLUDE REGEX "^${build_pattern}(/|$)")
  endif()
  list(REMOVE_ITEM entries "")
  list(REMOVE_DUPLICATES entries)
  list(SORT entries)
  set(${out} "${entries}" PARENT_SCOPE)
endfunction()

tree_listing(now)
if(MODE STREQUAL "before")
  string(REPLACE ";" "\n" text "${now}")
  file(WRITE "${LISTING}" "${text}\n")
elseif(MODE STREQUAL "after")
  if(NOT EXISTS "${LISTING}")
    message(FATAL_ERROR "No listing from before the tests: ${LISTING}")
  endif()
  file(STRINGS "${LISTING}" before)
  set(left "")
  foreach(entry IN LISTS now)
    if(NOT entry IN_LIST before)
      list(APPEND left "${entry}")
    endif()
  endforeach()
  if(left)
    string(REPLACE ";" "\n  " text "${left}")
    message(FATAL_ERROR "The tests left files in the source tree ${SOURCE}:\n  ${text}")
  endif()
  message(STATUS "The source tree holds no file the tests wrote.")
else()
  message(FATAL_ERROR "MODE must be before or after")
endif()
