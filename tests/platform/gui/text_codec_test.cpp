// Text across the Qt edge: every cp1252 byte crosses and comes back (the
// unassigned ones as C1 points); a character cp1252 lacks is seen as such.
#include <gtest/gtest.h>

#include <QString>

#include "platform/gui/text_codec.h"
#include "platform/system/cp1252.h"

namespace {

TEST(TextCodec, EveryByteCrossesAndComesBack) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  const QString shown = gui::ToQString(all);
  ASSERT_EQ(shown.size(), 256);
  for (int b = 0; b < 256; ++b)
    EXPECT_EQ(shown[b].unicode(), platform::Cp1252ToUnicode(static_cast<unsigned char>(b), platform::Unassigned::kKeepC1))
        << b;
  EXPECT_EQ(shown[0x80], QChar(0x20AC));
  EXPECT_TRUE(gui::FitsCp1252(shown));
  EXPECT_EQ(gui::FromQString(shown), all);
}

TEST(TextCodec, CharactersOutsideCp1252AreSeen) {
  const struct { const char16_t* text; const char* held; } rows[] = {
      {u"\u0141\u00F3d\u017A", "?\xF3" "d?"},  // "Łódź": the Polish letters are not in cp1252
      {u"a\U0001F600b", "a?b"},                // a pair of surrogates is one character
      {u"a\xD800" "b", "a?b"},                 // half a pair
      {u"\u0080", "?"},                        // the C1 point where cp1252 puts the euro
  };
  for (const auto& r : rows) {
    const QString text = QString::fromUtf16(r.text);
    EXPECT_FALSE(gui::FitsCp1252(text)) << r.held;
    EXPECT_EQ(gui::FromQString(text), r.held);
  }
}

}  // namespace
