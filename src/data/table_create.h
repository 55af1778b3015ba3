// Creation of any table the program makes: the dossier tables C10 ... C70, the report
// definitions, the dossier lock table, the balance-sheet models and the reference tables
// ("CR00REF", "CR10REF", "CR50REF") that dossier creation copies.
#pragma once

#include <cstdint>
#include <string>

#include "data/table_structures.h"

// Creates the data file (and the memo file when the structure has a memo) of `kind` at
// `path` (".dbf" optional; the file name is made lower case, the folder keeps its case),
// then adds the kind's tags (C60ANAL by dossier constant 032 as it is now). An existing
// table is replaced only with `replace`. A refused tag is shown by the engine-error report
// with its context. Answers the engine's code: 0 when the table and all its tags exist.
std::uint16_t CreateTableOfKind(TableKind kind, const std::string& path, bool replace = false);
