# Every test file and benchmark is built only if a CMakeLists.txt names it, so a file that none
# names would silently never run. Fails naming each tests/**/*_test.cpp that no CMakeLists.txt of
# its folder or of a folder above it (up to tests/) names, and each bench/*_bench.cpp that
# bench/CMakeLists.txt does not name (with or without ".cpp"). The same for the folders whose files
# the build takes one by one, where a file named nowhere would be left out: the window layer's
# sources and the resources it embeds, the fuzz targets, the report layouts and the balance-sheet
# models.
#   cmake -DSOURCE=<source dir> -P <this file>

cmake_minimum_required(VERSION 3.25)

# The text of a CMakeLists.txt without its comments.
function(listing_text dir out)
  set(text "")
  if(EXISTS "${dir}/CMakeLists.txt")
    file(STRINGS "${dir}/CMakeLists.txt" lines)
    foreach(line IN LISTS lines)
      string(REGEX REPLACE "#.*$" "" line "${line}")
      string(APPEND text " ${line}\n")
    endforeach()
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# True when TEXT names NAME as a whole word (NAME may end in ".cpp" or not).
function(names text name out)
  string(REGEX REPLACE "\\.cpp$" "" stem "${name}")
  string(REGEX REPLACE "([][+.*()^$?|\\\\])" "\\\\\\1" stem "${stem}")
  if(text MATCHES "[ \t\n(\"/]${stem}(\\.cpp)?[ \t\n)\"]")
    set(${out} TRUE PARENT_SCOPE)
  else()
    set(${out} FALSE PARENT_SCOPE)
  endif()
endfunction()

set(unnamed "")
file(GLOB_RECURSE tests RELATIVE "${SOURCE}" "${SOURCE}/tests/*_test.cpp")
foreach(test IN LISTS tests)
  get_filename_component(dir "${SOURCE}/${test}" DIRECTORY)
  set(found FALSE)
  while(NOT found)
    listing_text("${dir}" text)
    file(RELATIVE_PATH rel "${dir}" "${SOURCE}/${test}")
    names("${text}" "${rel}" found)
    if(dir STREQUAL "${SOURCE}/tests")
      break()
    endif()
    get_filename_component(dir "${dir}" DIRECTORY)
  endwhile()
  if(NOT found)
    list(APPEND unnamed "${test}")
  endif()
endforeach()

file(GLOB benches RELATIVE "${SOURCE}" "${SOURCE}/bench/*_bench.cpp")
listing_text("${SOURCE}/bench" text)
foreach(bench IN LISTS benches)
  get_filename_component(name "${bench}" NAME)
  names("${text}" "${name}" found)
  if(NOT found)
    list(APPEND unnamed "${bench}")
  endif()
endforeach()

# Each file of FOLDER (relative to SOURCE) matching one of the PATTERNS must be named in the
# CMakeLists.txt of LISTING, written from FOLDER ("bitmaps/20003.png" for FOLDER src/resources).
# Hidden files and READMEs are not the build's.
set(n_listed 0)
function(folder_files_named listing folder)
  listing_text("${SOURCE}/${listing}" text)
  set(missing "")
  set(count 0)
  foreach(pattern IN LISTS ARGN)
    file(GLOB_RECURSE found RELATIVE "${SOURCE}/${folder}" LIST_DIRECTORIES false "${SOURCE}/${folder}/${pattern}")
    list(FILTER found EXCLUDE REGEX "(^|/)(\\.|README)[^/]*$")
    foreach(file IN LISTS found)
      math(EXPR count "${count} + 1")
      names("${text}" "${file}" found_it)
      if(NOT found_it)
        list(APPEND missing "${folder}/${file} (in ${listing}/CMakeLists.txt)")
      endif()
    endforeach()
  endforeach()
  set(unnamed ${unnamed} ${missing} PARENT_SCOPE)
  math(EXPR n_listed "${n_listed} + ${count}")
  set(n_listed ${n_listed} PARENT_SCOPE)
endfunction()

folder_files_named(src/platform/gui src/platform/gui *.cpp *.h)
folder_files_named(src/platform/gui src/resources dialogs/* menus/* accelerators/* cursors/* icons/* bitmaps/*)
folder_files_named(fuzz fuzz fuzz_*.cpp)
folder_files_named(tools src/resources/reports *.txt)
folder_files_named(tools src/resources/models *.csv)

if(unnamed)
  list(JOIN unnamed "\n  " text)
  message(FATAL_ERROR "Named in no CMakeLists.txt, so left out of the build:\n  ${text}")
endif()
list(LENGTH tests n_tests)
list(LENGTH benches n_benches)
message(STATUS "${n_tests} test files, ${n_benches} benchmarks and ${n_listed} files of the listed folders, "
               "each named in a CMakeLists.txt")
