// Files that no print or export may be written over: a name that stands for anything but a
// regular file (a folder, a pipe, a device), the files of every dossier of the target's
// folder, whatever its code (tables, memos, indexes, INI and its copies, log, run marker, lock
// table, the records of the imports, the backup archives, and the same names in the sub-folders
// of a dossier's folder, where its copies are kept), the open dossier's files, and the program
// folder's files by their names, there yet or not (tables, INI and batch files, programs, the help
// page, the e-mail model, the reference set's text and list files; and any file of it the system
// may run). The target is judged as the file it
// stands for: its links followed however deep (in its folders and at its end), its name without
// case, and, when the file has other names (hard links), as each of the protected files of the
// open dossier's, the target's and the program's folders that is the same file.
//
// A file with another name that no folder looked at tells of cannot be judged here: the writers
// make their file aside and rename it over the name, so that such a file is never written
// through, and a pipe put under the name after the check is replaced, never opened.
#pragma once

#include <string>

// The refusal, in French, of writing `path`; "" when the file may be written.
std::string WriteTargetRefusal(const std::string& path);
