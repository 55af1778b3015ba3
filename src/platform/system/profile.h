// Profile (INI) files with the behaviour of the Windows profile calls:
// section and key names compare without case (cp1252 letters included),
// values lose their surrounding blanks and one pair of quotes when read,
// CR LF and LF files both read, a missing final line end is fine.
// Writes rebuild the whole file in a temporary file beside it and rename it
// over the old one, so a crash leaves the old or the new file, never half.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace platform {

// Copies the value of [section] key into buf (at most size - 1 characters,
// always terminated) and returns its length. A missing file, section or key
// gives the default with its trailing blanks removed. A null key copies the
// section's key names, each followed by a NUL, with a final extra NUL.
std::size_t GetPrivateProfileString(const char* section, const char* key, const char* def,
                                    char* buf, std::size_t size, const char* path);

// Same, into a std::string (no length limit; null key not allowed).
std::string GetPrivateProfileString(const char* section, const char* key, const char* def,
                                    const char* path);

// Writes key=value in [section], creating the file or section as needed.
// A null value deletes the key, an empty one writes "key=". A null key
// deletes the whole section. A null section is refused. True on success.
bool WritePrivateProfileString(const char* section, const char* key, const char* value,
                               const char* path);

// Names of the sections and of one section's keys, in file order.
std::vector<std::string> ProfileSectionNames(const char* path);
std::vector<std::string> ProfileKeyNames(const char* section, const char* path);

}  // namespace platform
