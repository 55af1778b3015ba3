// Conversion between the program's single-byte Windows-1252 text and the
// Unicode text of the window system. Only the window layer converts.
#pragma once

#include <string>
#include <string_view>

class QString;

namespace gui {

// Unicode code point of one cp1252 byte. The five bytes that cp1252 leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the same C1 control point.
char32_t Cp1252ToUnicode(unsigned char byte);

// cp1252 byte for a code point, or -1 when cp1252 has no such character.
int UnicodeToCp1252(char32_t codePoint);

QString ToQString(std::string_view cp1252);
// Characters without a cp1252 form become '?'.
std::string FromQString(const QString& text);
// True when every character of the text has a cp1252 form.
bool FitsCp1252(const QString& text);

// UTF-8 (resource files) to cp1252, with the same replacement rule.
std::string Utf8ToCp1252(std::string_view utf8);
std::string Cp1252ToUtf8(std::string_view cp1252);

}  // namespace gui
