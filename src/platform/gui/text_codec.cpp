#include "platform/gui/text_codec.h"

#include <QString>

namespace gui {
namespace {

// 0x80-0x9F: the only range where cp1252 differs from Latin-1.
constexpr char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

char32_t Cp1252ToUnicode(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F) return kHigh[byte - 0x80];
  return byte;
}

int UnicodeToCp1252(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  for (int i = 0; i < 32; ++i)
    if (kHigh[i] == cp) return 0x80 + i;
  return -1;
}

QString ToQString(std::string_view text) {
  QString out;
  out.reserve(static_cast<qsizetype>(text.size()));
  for (char c : text) out.append(QChar(static_cast<char16_t>(Cp1252ToUnicode(static_cast<unsigned char>(c)))));
  return out;
}

std::string FromQString(const QString& text) {
  std::string out;
  out.reserve(static_cast<size_t>(text.size()));
  for (auto it = text.cbegin(); it != text.cend(); ++it) {
    char32_t cp = it->unicode();
    if (it->isHighSurrogate() && it + 1 != text.cend() && (it + 1)->isLowSurrogate()) {
      cp = QChar::surrogateToUcs4(*it, *(it + 1));
      ++it;
    }
    int b = UnicodeToCp1252(cp);
    out.push_back(b < 0 ? '?' : static_cast<char>(b));
  }
  return out;
}

bool FitsCp1252(const QString& text) { return ToQString(FromQString(text)) == text; }

std::string Utf8ToCp1252(std::string_view utf8) {
  return FromQString(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
}

std::string Cp1252ToUtf8(std::string_view cp1252) { return ToQString(cp1252).toStdString(); }

}  // namespace gui
