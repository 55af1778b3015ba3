// The program's text is single-byte Windows-1252, as the dossier files hold
// it. Here is its case mapping and the one table between it and Unicode:
// bytes 0x80-0x9F carry typographic characters, the rest of the upper half is
// Latin-1. Standard library only, so that the string table's build tool, the
// resources and the window layer use it too.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Upper- and lower-case of one cp1252 byte (0x9A <-> 0x8A, 0xE9 <-> 0xC9 ...),
// as the ANSI case calls of the old platform did it: accented letters change
// case too. Bytes that are not letters come back unchanged.
unsigned char Cp1252Upper(unsigned char c);
unsigned char Cp1252Lower(unsigned char c);

// Byte-wise comparison ignoring case (0 when equal, <0 / >0 otherwise).
int Cp1252CompareNoCase(const char* a, const char* b);
bool Cp1252EqualNoCase(const char* a, const char* b);

// cp1252 leaves five bytes unassigned (0x81, 0x8D, 0x8F, 0x90, 0x9D); each
// caller says what becomes of them.
enum class Unassigned {
  kRefuse,  // no character: the string table, dialog templates, menus, transfer files
  kKeepC1,  // the C1 point of the same value: names on disk, arguments, the window edge
};

// Code point of one byte; -1 for an unassigned byte under kRefuse.
int Cp1252ToUnicode(unsigned char byte, Unassigned policy);
// Byte of a code point; -1 when cp1252 has no such character.
int UnicodeToCp1252(char32_t codePoint, Unassigned policy);

// cp1252 to UTF-8; false at the first byte the policy refuses.
bool Cp1252ToUtf8(std::string_view cp1252, std::string& out, Unassigned policy);
// UTF-8 to cp1252; false when the text is not well-formed UTF-8 (a truncated
// or overlong sequence, a stray continuation byte, a surrogate, a point past
// U+10FFFF) or holds a character that cp1252 (under the policy) lacks.
bool Utf8ToCp1252(std::string_view utf8, std::string& out, Unassigned policy);
// True when the text is well-formed UTF-8.
bool IsWellFormedUtf8(std::string_view text);

// Names on disk are UTF-8 while the program holds text in cp1252: every byte
// has a UTF-8 form (the unassigned ones as C1 points, so they come back).
std::string Cp1252ToUtf8(std::string_view cp1252);

// A path of the program as the system takes it (cp1252 to UTF-8).
inline std::string DiskPath(std::string_view path) { return Cp1252ToUtf8(path); }
// A name read from the system as the program holds it. Names that are not
// UTF-8 (written by older programs in a single-byte set) come back as they
// are; false for a UTF-8 name with a character cp1252 lacks.
bool ProgramName(std::string_view diskName, std::string& out);
// A name read from the system as a message shows it: the ProgramName when cp1252 holds it,
// otherwise each character cp1252 lacks written "<U+XXXX>" (never its UTF-8 bytes read as
// cp1252, which would show other characters).
std::string ShownName(std::string_view diskName);

}  // namespace platform
