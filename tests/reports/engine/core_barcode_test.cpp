// Barcode encoders: widths of the symbols, check digits, texts a symbology cannot carry. The
// pictures decoded by zbarimg are in barcode_render_test.cpp (with the window layer).
#include "core_support.h"
#include "reports/engine/core/barcodes.h"

using namespace test_support;
using reports::BarcodeType;

TEST(BarcodeTest, Symbols) {
  struct Case {
    BarcodeType type;
    const char* text;
    int modules;      // 0: not carried
    const char* digits;
  };
  const Case cases[] = {
      {BarcodeType::kCode39, "AB", 4 * 15 + 3, ""},
      {BarcodeType::kCode39, "A-Z. $/+%", 11 * 15 + 10, ""},
      {BarcodeType::kCode39, "ab", 0, ""},
      {BarcodeType::kCode39, "A*B", 0, ""},
      {BarcodeType::kCode39, "", 0, ""},
      {BarcodeType::kEan13, "400638133393", 95, "4006381333931"},
      {BarcodeType::kEan13, "4006381333931", 95, "4006381333931"},
      {BarcodeType::kEan13, "4006381333932", 0, ""},  // a wrong check digit
      {BarcodeType::kEan13, "40063813339", 0, ""},
      {BarcodeType::kEan8, "9638507", 67, "96385074"},
      {BarcodeType::kEan8, "96385075", 0, ""},
      {BarcodeType::k2of5, "12", 10 + 2 * 14 + 9, ""},
      {BarcodeType::k2of5, "12a", 0, ""},
      {BarcodeType::k2of5Interleaved, "1234", 4 + 2 * 18 + 5, ""},
      {BarcodeType::k2of5Interleaved, "123", 4 + 2 * 18 + 5, ""},  // a leading 0 makes the pairs
      {BarcodeType::k2of5Interleaved, "12 3", 0, ""},
  };
  for (const Case& c : cases) {
    reports::BarcodeSymbol s;
    EXPECT_EQ(reports::EncodeBarcode(c.type, c.text, s), c.modules != 0) << c.text;
    EXPECT_EQ(s.Modules(), c.modules) << c.text;
    EXPECT_EQ(s.digits, c.digits) << c.text;
    // Bars and spaces alternate: an odd count, ending on a bar.
    if (c.modules != 0) {
      EXPECT_EQ(s.widths.size() % 2, 1u) << c.text;
    }
  }
  EXPECT_EQ(reports::EanCheckDigit("590123412345"), '7');
  EXPECT_EQ(reports::EanCheckDigit("12a"), 0);
}

TEST(BarcodeTest, TheDrawerDrawsNothingForATextItCannotCarry) {
  reports::FixedMetricsCanvas canvas;
  reports::DrawBarcodeEan13(canvas, "4006381333932", 0, 0, 40, 1);
  EXPECT_TRUE(canvas.Calls().empty());
  reports::DrawBarcodeEan8(canvas, "96385074", 0, 0, 40, 1);
  // The white area with its quiet zones, then the bars (22 for EAN-8), then its digits.
  ASSERT_FALSE(canvas.Calls().empty());
  EXPECT_EQ(canvas.Calls()[0], "bar 0,0-87,40 255.255.255");
  int bars = 0;
  for (const std::string& call : canvas.Calls()) bars += call.rfind("bar ", 0) == 0 && call.find(" 0.0.0") != std::string::npos;
  EXPECT_EQ(bars, 22);
}
