// The two single-byte character sets that files for other programs ask for, from the
// program's Windows-1252 text: code page 850 (the MS-DOS Western set the other accounting
// product reads) and ISO 8859-15 (the statutory entries file). Standard library only.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// The code page 850 byte of one cp1252 byte: the same character where code page 850 holds it
// (as iconv -f CP1252 -t CP850 gives it); otherwise a plain ASCII form of the same look
// ("€" E, curly quotes straight, dashes "-", "Œ" O ...), "?" for the five unassigned bytes.
// ASCII comes back unchanged, so a text keeps its length.
unsigned char Cp1252ToCp850(unsigned char byte);

// A cp1252 text in ISO 8859-15. "€", Œ œ Š š Ž ž Ÿ take their ISO 8859-15 codes; the
// characters that set lacks become ASCII forms: curly quotes straight quotes, dashes "-",
// the ellipsis "...", the eight signs ISO 8859-15 gave up (¤ ¦ ¨ ´ ¸ ¼ ½ ¾) and the other
// typographic marks of 0x80-0x9F a close ASCII text; the five unassigned bytes "?".
// The text may grow (the ellipsis, the fractions).
std::string Cp1252ToIso885915(std::string_view text);

}  // namespace platform
