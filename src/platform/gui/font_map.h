// Windows font faces named by settings and report templates, mapped to the
// faces installed on this system. One table serves every font the program
// makes, so a face shows the same wherever it is used.
#pragma once

#include "platform/gui/window_users.h"

#include <span>
#include <string>
#include <string_view>

namespace gui {

// Faces whose byte codes stand for pictures or Greek letters rather than
// letters: their text is translated to the matching Unicode characters.
enum class FontSymbols { None, Symbol, Wingdings };

struct FontFaceMapping {
  const char* windowsFace;    // as the settings name it, compared without case
  const char* installedFace;  // family name of an installed font
  bool fixedPitch;
  FontSymbols symbols;
};

// The whole table, for display and checks.
std::span<const FontFaceMapping> FontFaceTable();

// Face used when a name is empty or unknown and not installed either.
const char* DefaultFontFace();
const char* DefaultFixedFontFace();

// Installed family for a Windows face. An unknown name that is installed
// as such is used unchanged; any other falls back to the default face.
std::string MapFontFace(std::string_view windowsFace);

FontSymbols FontSymbolSet(std::string_view windowsFace);

// Unicode character drawn for one byte of a symbol face (the byte's
// Latin-1 meaning when the face has no picture for it).
char32_t SymbolToUnicode(FontSymbols symbols, unsigned char byte);

}  // namespace gui
