// Every header of the engine includes this one: they compile only where the engine may be called, in the engine
// itself and the data layer (and the tests, benchmarks, fuzz targets and tools that link merlon_dbase). Above the
// data layer tables are reached through data/table.h and its result codes (data/table_results.h).
// The mark comes from the build only (merlon_dbase's CMakeLists.txt): the build's include check refuses a source
// that defines or undefines it.
#pragma once

#ifndef MERLON_ENGINE_USER
#error "The dBASE engine is called through the data layer (data/table.h), not included above it."
#endif
