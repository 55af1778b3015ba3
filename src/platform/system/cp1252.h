// Case mapping of single-byte Windows-1252 text, as the ANSI case calls of
// the old platform did it: accented letters change case too.
#pragma once

namespace platform {

// Upper- and lower-case of one cp1252 byte (0x9A <-> 0x8A, 0xE9 <-> 0xC9 ...).
// Bytes that are not letters come back unchanged.
unsigned char Cp1252Upper(unsigned char c);
unsigned char Cp1252Lower(unsigned char c);

// Byte-wise comparison ignoring case (0 when equal, <0 / >0 otherwise).
int Cp1252CompareNoCase(const char* a, const char* b);
bool Cp1252EqualNoCase(const char* a, const char* b);

}  // namespace platform
