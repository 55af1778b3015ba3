// Access rights of files (the read, write and run bits of owner, group and
// others), for the runs that put a dossier's files back through a program
// that does not keep them.
#pragma once

#include <string>

namespace platform {

// The rights bits of a file (07777 at most); -1 when it cannot be read.
int FileMode(const std::string& path);
// Gives the file those bits; false when the system refuses.
bool SetFileMode(const std::string& path, int mode);
// The bits a file created now by this program gets: 0666 less the
// process's file-creation mask.
int NewFileMode();

}  // namespace platform
