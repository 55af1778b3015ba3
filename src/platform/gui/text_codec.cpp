#include "platform/gui/text_codec.h"

#include <QString>

#include "platform/system/cp1252.h"

namespace gui {
namespace {

using platform::Unassigned;

// The cp1252 byte of each character of the text, -1 where cp1252 has none
// (a lone half of a surrogate pair included).
template <typename Visit>
void ForEachByte(const QString& text, Visit visit) {
  for (auto it = text.cbegin(); it != text.cend(); ++it) {
    char32_t cp = it->unicode();
    if (it->isHighSurrogate() && it + 1 != text.cend() && (it + 1)->isLowSurrogate()) {
      cp = QChar::surrogateToUcs4(*it, *(it + 1));
      ++it;
    }
    visit(platform::UnicodeToCp1252(cp, Unassigned::kKeepC1));
  }
}

}  // namespace

QString ToQString(std::string_view text) {
  QString out;
  out.reserve(static_cast<qsizetype>(text.size()));
  for (char c : text)
    out.append(QChar(static_cast<char16_t>(platform::Cp1252ToUnicode(static_cast<unsigned char>(c), Unassigned::kKeepC1))));
  return out;
}

std::string FromQString(const QString& text) {
  std::string out;
  out.reserve(static_cast<size_t>(text.size()));
  ForEachByte(text, [&out](int b) { out.push_back(b < 0 ? '?' : static_cast<char>(b)); });
  return out;
}

bool FitsCp1252(const QString& text) {
  bool fits = true;
  ForEachByte(text, [&fits](int b) { fits = fits && b >= 0; });
  return fits;
}

}  // namespace gui
