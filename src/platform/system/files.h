// Small file helpers and case-insensitive name resolution. Paths are POSIX
// paths; folders keep their case, file names are matched without case.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

bool FileExists(const std::string& path);        // a regular file that exists
bool DirectoryExists(const std::string& path);
std::int64_t FileSize(const std::string& path);  // -1 when missing

// The path of the entry of `folder` whose name equals `name` without case
// (an exact match wins). When none matches, folder + "/" + name as given.
// The folder itself is used as given.
std::string ResolveName(const std::string& folder, const std::string& name);
// Same for a whole path: its last component is resolved in its folder.
std::string ResolvePath(const std::string& path);

// Copies a file (through a temporary file renamed at the end). When
// overwrite is false an existing target makes it fail.
bool CopyFile(const std::string& from, const std::string& to, bool overwrite = true);

// rename(2): atomic replacement of `to` on the same file system.
bool AtomicRename(const std::string& from, const std::string& to);

// Writes the whole content to a temporary file in the same folder, flushes
// it and renames it over `path`.
bool WriteFileAtomic(const std::string& path, const std::string& content);
// Writes all of data to fd, going on after interruptions; false on an error.
bool WriteAll(int fd, const char* data, std::size_t size);

// Reads a whole file; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string& content);

bool RemoveFile(const std::string& path);  // true when it no longer exists
bool MakeDirectories(const std::string& path);

}  // namespace platform
