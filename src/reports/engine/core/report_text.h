// Small text rules of the report engine that every part shares: the escaped form of data put
// into a template's work text, colour letters, statement keywords, document titles and the
// page texts of the status bar.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace reports {

// Escaped form of a value put into the work text, so that the interpreter neither reads it
// as statements nor cuts it at its blanks: a blank becomes "^" (a hard blank), "[" code 28,
// "{" code 29, "}" code 30, "]" code 31. Codes 24 and 25 are the live brackets of the
// in-value statements that report variables may carry (a line break, a column): with
// kKeepStatements they become "[" and "]"; with kDropStatements they are removed, so that a
// control code stored in a table or typed by a user never runs as a statement.
inline constexpr char kHardBlank = '^';
enum class InValueStatements { kDrop, kKeep };
void EscapeBrackets(std::string& text, InValueStatements statements);
std::string Escaped(std::string_view text, InValueStatements statements);
// Appends at most `limit` characters of the text as EscapeBrackets(kKeep) makes it, when that
// holds no bracket and no line feed; false, and nothing appended, otherwise.
bool AppendEscapedPlain(std::string& out, std::string_view text, std::size_t limit);
// The reverse of the first step: "^" becomes a blank and codes 28-31 brackets again.
void UnescapeBrackets(std::string& text);
std::string Unescaped(std::string_view text);
// `out` := the text made plain as UnescapeBrackets makes it, in one pass.
void AssignUnescaped(std::string& out, std::string_view text);

// Alignment marks of the work text: the text after a mark is drawn left-aligned, centred or
// right-aligned in its cell.
inline constexpr char kAlignLeft = '\x01';
inline constexpr char kAlignCentre = '\x02';
inline constexpr char kAlignRight = '\x03';

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};
// Colour letter (either case) to red, green and blue: B dark blue, C blue, D dark green,
// E blue-green, F green, G cyan, H dark red, I violet, J light brown, K light grey, L dark
// grey, M red, N magenta, O yellow, P white, Z pale yellow; A and any other character black.
Rgb ColourLetterToRgb(char letter);
// The named colours of the painter.
inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kLightRed{255, 96, 96};
inline constexpr Rgb kGrey{128, 128, 128};
inline constexpr Rgb kLightGrey{192, 192, 192};
inline constexpr Rgb kDarkGrey{64, 64, 64};

// cp1252 case of one character (tables made once from the system layer's); a text's case and
// trimming are runtime/text.h's.
extern const std::array<unsigned char, 256> kCp1252LowerTable;
extern const std::array<unsigned char, 256> kCp1252UpperTable;
inline char LowerChar(char c) { return static_cast<char>(kCp1252LowerTable[static_cast<unsigned char>(c)]); }
inline char UpperChar(char c) { return static_cast<char>(kCp1252UpperTable[static_cast<unsigned char>(c)]); }
// atoi of a text: leading blanks, a sign, digits; 0 when none.
int LeadingInt(std::string_view text);
inline bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

// Title of a run's document: the dossier code without trailing blanks, "-", the name without
// trailing blanks; then every "/" and ":" becomes a blank, every two blanks "-", every blank
// "-", every "--" a blank, and every blank "-".
std::string MakeDocumentTitle(std::string_view dossierCode, std::string_view name);

// "Page:" + page in 5 characters + "/" + count in 5 characters (the status bar of the preview).
std::string PageStatusText(int page, int count);

// The limits of a run in words, the codes trimmed: "Edition complète", "A partir de A", "Seulement A",
// "Jusqu'à B", "De A à B".
std::string LimitsDescription(std::string_view from, std::string_view to);

}  // namespace reports
