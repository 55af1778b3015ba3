# How the objects and programs are made, so that a one-file change rebuilds in seconds.
include(CheckLinkerFlag)

# lld links the programs several times faster than the default linker; used wherever it is installed.
option(MERLON_LLD "Link with lld when it is installed" ON)
if(MERLON_LLD)
  find_program(MERLON_LD_LLD NAMES ld.lld)
  if(MERLON_LD_LLD)
    check_linker_flag(CXX -fuse-ld=lld MERLON_HAS_FUSE_LD_LLD)
    if(MERLON_HAS_FUSE_LD_LLD)
      add_link_options(-fuse-ld=lld)
      set(MERLON_USES_LLD ON)
    endif()
  endif()
endif()

# The debug information stays beside each object (.dwo) instead of being copied into every program
# that links it: the programs are a third of their size and link faster, and a debugger still finds
# every line through the objects of the build folder.
option(MERLON_SPLIT_DWARF "Keep the debug information in .dwo files beside the objects" ON)
if(MERLON_SPLIT_DWARF)
  add_compile_options($<$<CONFIG:Debug,RelWithDebInfo>:-gsplit-dwarf>)
  # lld turns the objects' name tables into one index for the debugger, smaller than the tables.
  if(MERLON_USES_LLD)
    add_link_options($<$<CONFIG:Debug,RelWithDebInfo>:LINKER:--gdb-index>)
  endif()
endif()
