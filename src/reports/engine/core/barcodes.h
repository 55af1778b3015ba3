// Barcodes of the templates ([@1xxx] to [@5xxx]): pure encoders from a text to the widths of
// the bars and spaces, and one drawer on a canvas.
//
// Widths are counted in narrow modules; a wide element is 3 modules. The drawer leaves a
// quiet zone of 10 modules on both sides (painted white with the symbol's area), draws the
// bars black, and for EAN the digits under the bars (the guard bars reach below the others).
// The module is 1 pixel times the zoom on the screen and 0.33 mm on paper (the caller gives
// it in device units).
//
// A text the symbology cannot carry draws nothing: an empty text; Code 39 outside its 43
// characters (digits, capitals, "-", ".", blank, "$", "/", "+", "%"); EAN-13 other than 12
// digits (the check digit is computed) or 13 digits with their right check digit; EAN-8 the
// same with 7 or 8; 2 of 5 and interleaved 2 of 5 anything but digits (an odd count of
// digits is interleaved after a leading "0").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "reports/engine/core/report_canvas.h"

namespace reports {

enum class BarcodeType {
  kCode39 = 1,
  kEan13 = 2,
  kEan8 = 3,
  k2of5 = 4,             // industrial 2 of 5: bars only carry the data
  k2of5Interleaved = 5,
};

// Page-store kind of a barcode record ("E", "F", "H", "I", "J") and back (0 / false for others).
char BarcodeRecordKind(BarcodeType type);
bool BarcodeTypeOfKind(char kind, BarcodeType& type);

inline constexpr int kBarcodeQuietModules = 10;
inline constexpr int kBarcodeWideModules = 3;

struct BarcodeSymbol {
  // Element widths in modules, a bar first, then bars and spaces in turn.
  std::vector<std::uint8_t> widths;
  // Per element: a guard bar of EAN, drawn down into the digits' line.
  std::vector<bool> guard;
  // EAN: the digits shown under the bars (13 or 8, the check digit included).
  std::string digits;
  // Modules from the first bar to the end of the last one.
  int Modules() const;
};

// False when the text cannot be carried (the symbol is then empty).
bool EncodeBarcode(BarcodeType type, std::string_view text, BarcodeSymbol& symbol);
// EAN check digit of the data digits (12 for EAN-13, 7 for EAN-8): '0'-'9'; 0 for a text
// that is not all digits.
char EanCheckDigit(std::string_view digits);

// Draws the barcode of the text with the quiet zone's left edge at x and the top at y; the
// symbol is `height` high, with modules of `module` device units. Nothing for a text the
// symbology cannot carry. The canvas's font and colours are kept.
void DrawBarcode(ReportCanvas& canvas, BarcodeType type, std::string_view text, int x, int y, int height,
                 int module);
void DrawBarcodeCode39(ReportCanvas& canvas, std::string_view text, int x, int y, int height, int module);
void DrawBarcodeEan13(ReportCanvas& canvas, std::string_view text, int x, int y, int height, int module);
void DrawBarcodeEan8(ReportCanvas& canvas, std::string_view text, int x, int y, int height, int module);
void DrawBarcode2of5(ReportCanvas& canvas, std::string_view text, int x, int y, int height, int module);
void DrawBarcode2of5Interleaved(ReportCanvas& canvas, std::string_view text, int x, int y, int height,
                                int module);

}  // namespace reports
