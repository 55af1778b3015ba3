#include "platform/gui/font_map.h"

#include <QFontDatabase>
#include <QGuiApplication>

#include <algorithm>
#include <array>
#include <cctype>

namespace gui {

namespace {

constexpr const char* kSans = "DejaVu Sans";
constexpr const char* kMono = "DejaVu Sans Mono";

// Liberation fonts keep the metrics of the Windows core fonts, so columns laid
// out in characters keep their widths; the other faces take the DejaVu face
// closest in look (Verdana and DejaVu share their wide, open design).
constexpr std::array<FontFaceMapping, 27> kTable{{
    {"Arial", "Liberation Sans", false, FontSymbols::None},
    {"Arial Narrow", "Liberation Sans", false, FontSymbols::None},
    {"Helvetica", "Liberation Sans", false, FontSymbols::None},
    {"Times New Roman", "Liberation Serif", false, FontSymbols::None},
    {"Times", "Liberation Serif", false, FontSymbols::None},
    {"Courier New", "Liberation Mono", true, FontSymbols::None},
    {"Courier", "Liberation Mono", true, FontSymbols::None},
    {"MS Sans Serif", "DejaVu Sans", false, FontSymbols::None},
    {"Microsoft Sans Serif", "DejaVu Sans", false, FontSymbols::None},
    {"MS Shell Dlg", "DejaVu Sans", false, FontSymbols::None},
    {"MS Shell Dlg 2", "DejaVu Sans", false, FontSymbols::None},
    {"MS Serif", "DejaVu Serif", false, FontSymbols::None},
    {"Verdana", "DejaVu Sans", false, FontSymbols::None},
    {"Tahoma", "DejaVu Sans", false, FontSymbols::None},
    {"Segoe UI", "DejaVu Sans", false, FontSymbols::None},
    {"Comic Sans MS", "DejaVu Sans", false, FontSymbols::None},
    {"Trebuchet MS", "DejaVu Sans", false, FontSymbols::None},
    {"Georgia", "DejaVu Serif", false, FontSymbols::None},
    {"Garamond", "Liberation Serif", false, FontSymbols::None},
    {"System", "DejaVu Sans", false, FontSymbols::None},
    {"Fixedsys", "DejaVu Sans Mono", true, FontSymbols::None},
    {"Terminal", "DejaVu Sans Mono", true, FontSymbols::None},
    {"Lucida Console", "DejaVu Sans Mono", true, FontSymbols::None},
    {"Consolas", "DejaVu Sans Mono", true, FontSymbols::None},
    {"Symbol", "DejaVu Sans", false, FontSymbols::Symbol},
    {"Wingdings", "DejaVu Sans", false, FontSymbols::Wingdings},
    {"Marlett", "DejaVu Sans", false, FontSymbols::None},
}};

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\0')) s.remove_suffix(1);
  return s;
}

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

const FontFaceMapping* Find(std::string_view face) {
  face = Trim(face);
  for (const auto& m : kTable)
    if (SameName(face, m.windowsFace)) return &m;
  return nullptr;
}

struct SymbolPair {
  unsigned char byte;
  char32_t code;
};

// Pictures of the Wingdings face that the program's windows show (row
// markers, arrows, check marks) and their Unicode equivalents.
constexpr SymbolPair kWingdings[] = {
    {0x21, U'\u270F'}, {0x22, U'\u2702'}, {0x23, U'\u2701'}, {0x28, U'\u260E'},
    {0x2A, U'\u2709'}, {0x36, U'\u231B'}, {0x37, U'\u2328'}, {0x41, U'\u270C'},
    {0x45, U'\u261C'}, {0x46, U'\u261E'}, {0x47, U'\u261D'}, {0x48, U'\u261F'},
    {0x4A, U'\u263A'}, {0x4C, U'\u2639'}, {0x4E, U'\u2620'}, {0x51, U'\u2708'},
    {0x52, U'\u263C'}, {0x54, U'\u2744'}, {0x6C, U'\u25CF'}, {0x6D, U'\u274D'},
    {0x6E, U'\u25A0'}, {0x6F, U'\u25A1'}, {0x71, U'\u2751'}, {0x72, U'\u2752'},
    {0x75, U'\u25C6'}, {0x76, U'\u2756'}, {0x9F, U'\u2022'}, {0xA1, U'\u25CB'},
    {0xA7, U'\u25AA'}, {0xAB, U'\u2605'}, {0xDF, U'\u2190'}, {0xE0, U'\u2192'},
    {0xE1, U'\u2191'}, {0xE2, U'\u2193'}, {0xE8, U'\u2794'}, {0xEF, U'\u21E6'},
    {0xF0, U'\u21E8'}, {0xF1, U'\u21E7'}, {0xF2, U'\u21E9'}, {0xFB, U'\u2717'},
    {0xFC, U'\u2713'}, {0xFD, U'\u2612'}, {0xFE, U'\u2611'},
};

// Symbol face: Greek letters on the Latin ones, and the usual signs.
constexpr char32_t kSymbolUpper[26] = {
    U'\u0391', U'\u0392', U'\u03A7', U'\u0394', U'\u0395', U'\u03A6', U'\u0393',
    U'\u0397', U'\u0399', U'\u03D1', U'\u039A', U'\u039B', U'\u039C', U'\u039D',
    U'\u039F', U'\u03A0', U'\u0398', U'\u03A1', U'\u03A3', U'\u03A4', U'\u03A5',
    U'\u03C2', U'\u03A9', U'\u039E', U'\u03A8', U'\u0396'};
constexpr char32_t kSymbolLower[26] = {
    U'\u03B1', U'\u03B2', U'\u03C7', U'\u03B4', U'\u03B5', U'\u03C6', U'\u03B3',
    U'\u03B7', U'\u03B9', U'\u03D5', U'\u03BA', U'\u03BB', U'\u03BC', U'\u03BD',
    U'\u03BF', U'\u03C0', U'\u03B8', U'\u03C1', U'\u03C3', U'\u03C4', U'\u03C5',
    U'\u03D6', U'\u03C9', U'\u03BE', U'\u03C8', U'\u03B6'};
constexpr SymbolPair kSymbolSigns[] = {
    {0x22, U'\u2200'}, {0x24, U'\u2203'}, {0x27, U'\u220B'}, {0xA3, U'\u2264'},
    {0xA5, U'\u221E'}, {0xAC, U'\u2190'}, {0xAD, U'\u2191'}, {0xAE, U'\u2192'},
    {0xAF, U'\u2193'}, {0xB0, U'\u00B0'}, {0xB1, U'\u00B1'}, {0xB3, U'\u2265'},
    {0xB4, U'\u00D7'}, {0xB6, U'\u2202'}, {0xB7, U'\u2022'}, {0xB8, U'\u00F7'},
    {0xB9, U'\u2260'}, {0xBB, U'\u2248'}, {0xBC, U'\u2026'}, {0xC6, U'\u2205'},
    {0xCE, U'\u2208'}, {0xD5, U'\u220F'}, {0xD6, U'\u221A'}, {0xD8, U'\u00AC'},
    {0xD9, U'\u2227'}, {0xDA, U'\u2228'}, {0xE5, U'\u2211'},
};

}  // namespace

std::span<const FontFaceMapping> FontFaceTable() { return kTable; }

const char* DefaultFontFace() { return kSans; }
const char* DefaultFixedFontFace() { return kMono; }

std::string MapFontFace(std::string_view windowsFace) {
  if (const FontFaceMapping* m = Find(windowsFace)) return m->installedFace;
  std::string_view face = Trim(windowsFace);
  if (!face.empty() && QGuiApplication::instance() != nullptr) {
    const QString family = QString::fromLatin1(face.data(), static_cast<qsizetype>(face.size()));
    const QStringList families = QFontDatabase::families();
    for (const QString& f : families)
      if (f.compare(family, Qt::CaseInsensitive) == 0) return f.toStdString();
  }
  return kSans;
}

FontSymbols FontSymbolSet(std::string_view windowsFace) {
  const FontFaceMapping* m = Find(windowsFace);
  return m != nullptr ? m->symbols : FontSymbols::None;
}

char32_t SymbolToUnicode(FontSymbols symbols, unsigned char byte) {
  if (symbols == FontSymbols::Wingdings) {
    for (const auto& p : kWingdings)
      if (p.byte == byte) return p.code;
  } else if (symbols == FontSymbols::Symbol) {
    if (byte >= 'A' && byte <= 'Z') return kSymbolUpper[byte - 'A'];
    if (byte >= 'a' && byte <= 'z') return kSymbolLower[byte - 'a'];
    for (const auto& p : kSymbolSigns)
      if (p.byte == byte) return p.code;
  }
  return byte;
}

}  // namespace gui
