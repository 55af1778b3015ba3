// Files that no print or export may be written over: the open dossier's own files (tables,
// memos, indexes, INI, log, run marker, lock table, and their copies in its sub-folders) and the
// program folder's files (tables, INI and batch files, programs). Paths are compared after
// following links, their folders by their real path and their names without case.
#pragma once

#include <string>

// The refusal, in French, of writing `path`; "" when the file may be written.
std::string WriteTargetRefusal(const std::string& path);
