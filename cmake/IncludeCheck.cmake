# merlon_include_check(COMMAND <checker> FOLDERS <folder>...): the include check of src/ (tools/include_check) in
# the build. The checker (its target, or the path of a built one) reads docs/architecture.md and the build's
# compile_commands.json; a broken rule fails the build with "file:line: reason", the stamp is written only when
# every rule holds, and the depfile names every file and folder the check read, so that it runs again only when
# one of them changes. Every target of FOLDERS and of the folders under them waits for the stamp: whichever target
# a developer builds (a program, a library, a test or a tool that links them), the check runs first and a broken
# rule stops the build before anything of src/ is compiled.
function(merlon_include_check)
  cmake_parse_arguments(CHECK "" "COMMAND" "FOLDERS" ${ARGN})
  set(stamp ${CMAKE_CURRENT_BINARY_DIR}/include_check.stamp)
  set(depfile ${CMAKE_CURRENT_BINARY_DIR}/include_check.d)
  add_custom_command(
    OUTPUT ${stamp}
    COMMAND ${CHECK_COMMAND} --source ${CMAKE_SOURCE_DIR} --compile-commands ${CMAKE_BINARY_DIR}/compile_commands.json
            --stamp ${stamp} --depfile ${depfile}
    DEPENDS ${CHECK_COMMAND} ${CMAKE_BINARY_DIR}/compile_commands.json ${CMAKE_SOURCE_DIR}/docs/architecture.md
    DEPFILE ${depfile}
    COMMENT "Checking the includes of src/ against docs/architecture.md"
    VERBATIM)
  add_custom_target(merlon_include_check_run ALL DEPENDS ${stamp})

  set(folders)
  foreach(folder ${CHECK_FOLDERS})
    list(APPEND folders ${CMAKE_SOURCE_DIR}/${folder})
  endforeach()
  while(folders)
    list(POP_FRONT folders folder)
    get_property(targets DIRECTORY ${folder} PROPERTY BUILDSYSTEM_TARGETS)
    get_property(below DIRECTORY ${folder} PROPERTY SUBDIRECTORIES)
    list(APPEND folders ${below})
    foreach(target ${targets})
      add_dependencies(${target} merlon_include_check_run)
    endforeach()
  endwhile()
endfunction()
