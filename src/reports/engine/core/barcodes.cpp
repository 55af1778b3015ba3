#include "reports/engine/core/barcodes.h"

#include <cstring>

namespace reports {

namespace {

constexpr int W = kBarcodeWideModules;

// Code 39: nine elements per character (bar, space, bar ...), "1" wide.
struct Code39Char {
  char c;
  const char* pattern;
};
constexpr Code39Char kCode39[] = {
    {'0', "000110100"}, {'1', "100100001"}, {'2', "001100001"}, {'3', "101100000"}, {'4', "000110001"},
    {'5', "100110000"}, {'6', "001110000"}, {'7', "000100101"}, {'8', "100100100"}, {'9', "001100100"},
    {'A', "100001001"}, {'B', "001001001"}, {'C', "101001000"}, {'D', "000011001"}, {'E', "100011000"},
    {'F', "001011000"}, {'G', "000001101"}, {'H', "100001100"}, {'I', "001001100"}, {'J', "000011100"},
    {'K', "100000011"}, {'L', "001000011"}, {'M', "101000010"}, {'N', "000010011"}, {'O', "100010010"},
    {'P', "001010010"}, {'Q', "000000111"}, {'R', "100000110"}, {'S', "001000110"}, {'T', "000010110"},
    {'U', "110000001"}, {'V', "011000001"}, {'W', "111000000"}, {'X', "010010001"}, {'Y', "110010000"},
    {'Z', "011010000"}, {'-', "010000101"}, {'.', "110000100"}, {' ', "011000100"}, {'$', "010101000"},
    {'/', "010100010"}, {'+', "010001010"}, {'%', "000101010"}, {'*', "010010100"},
};

const char* Code39Pattern(char c) {
  for (const Code39Char& e : kCode39) {
    if (e.c == c) return e.pattern;
  }
  return nullptr;
}

// 2 of 5: five elements per digit, "1" wide.
constexpr const char* kTwoOfFive[] = {"00110", "10001", "01001", "11000", "00101",
                                      "10100", "01100", "00011", "10010", "01010"};

// EAN left-hand odd-parity (L) widths: space, bar, space, bar.
constexpr const char* kEanL[] = {"3211", "2221", "2122", "1411", "1132",
                                 "1231", "1114", "1312", "1213", "3112"};
// Parity of the six left digits of EAN-13 by the first digit: "1" even (G).
constexpr const char* kEan13Parity[] = {"000000", "001011", "001101", "001110", "010011",
                                        "011001", "011100", "010101", "010110", "011010"};

bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

class Builder {
 public:
  explicit Builder(BarcodeSymbol& s) : s_(s) {}
  // Appends one element; the caller keeps bars and spaces alternating.
  void Add(int width, bool guard = false) {
    s_.widths.push_back(static_cast<std::uint8_t>(width));
    s_.guard.push_back(guard);
  }
  // Adds widths given as digits ("3211").
  void AddDigits(const char* widths, bool guard = false) {
    for (const char* p = widths; *p; ++p) Add(*p - '0', guard);
  }

 private:
  BarcodeSymbol& s_;
};

bool EncodeCode39(std::string_view text, BarcodeSymbol& symbol) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c == '*' || Code39Pattern(c) == nullptr) return false;
  }
  Builder b(symbol);
  auto addChar = [&](char c, bool gapAfter) {
    for (const char* p = Code39Pattern(c); *p; ++p) b.Add(*p == '1' ? W : 1);
    if (gapAfter) b.Add(1);  // narrow gap between characters
  };
  addChar('*', true);
  for (char c : text) addChar(c, true);
  addChar('*', false);
  return true;
}

bool EncodeEan(std::string_view text, std::size_t dataDigits, BarcodeSymbol& symbol) {
  if (!AllDigits(text)) return false;
  std::string digits(text);
  if (digits.size() == dataDigits) {
    digits += EanCheckDigit(digits);
  } else if (digits.size() == dataDigits + 1) {
    if (EanCheckDigit(std::string_view(digits).substr(0, dataDigits)) != digits.back()) return false;
  } else {
    return false;
  }
  const bool ean13 = dataDigits == 12;
  // EAN-13 carries its first digit in the parity of the six left ones.
  const std::string left = ean13 ? digits.substr(1, 6) : digits.substr(0, 4);
  const std::string right = ean13 ? digits.substr(7, 6) : digits.substr(4, 4);
  const char* parity = ean13 ? kEan13Parity[digits[0] - '0'] : "0000";
  Builder b(symbol);
  b.AddDigits("111", true);
  for (std::size_t i = 0; i < left.size(); ++i) {
    const char* l = kEanL[left[i] - '0'];
    if (parity[i] == '1') {
      // G: the L widths in reverse order, still beginning with a space.
      for (int k = 3; k >= 0; --k) b.Add(l[k] - '0');
    } else {
      b.AddDigits(l);
    }
  }
  b.AddDigits("11111", true);
  // R: the L widths beginning with a bar.
  for (char d : right) b.AddDigits(kEanL[d - '0']);
  b.AddDigits("111", true);
  symbol.digits = digits;
  return true;
}

bool Encode2of5(std::string_view text, BarcodeSymbol& symbol) {
  if (!AllDigits(text)) return false;
  Builder b(symbol);
  // Start: wide, wide, narrow bars; every space narrow.
  b.Add(W), b.Add(1), b.Add(W), b.Add(1), b.Add(1), b.Add(1);
  for (char d : text) {
    for (const char* p = kTwoOfFive[d - '0']; *p; ++p) {
      b.Add(*p == '1' ? W : 1);
      b.Add(1);
    }
  }
  // Stop: wide, narrow, wide bars.
  b.Add(W), b.Add(1), b.Add(1), b.Add(1), b.Add(W);
  return true;
}

bool Encode2of5Interleaved(std::string_view text, BarcodeSymbol& symbol) {
  if (!AllDigits(text)) return false;
  std::string digits(text);
  if (digits.size() % 2 != 0) digits.insert(0, 1, '0');
  Builder b(symbol);
  b.Add(1), b.Add(1), b.Add(1), b.Add(1);  // start: narrow bar, space, bar, space
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    const char* bars = kTwoOfFive[digits[i] - '0'];
    const char* spaces = kTwoOfFive[digits[i + 1] - '0'];
    for (int k = 0; k < 5; ++k) {
      b.Add(bars[k] == '1' ? W : 1);
      b.Add(spaces[k] == '1' ? W : 1);
    }
  }
  b.Add(W), b.Add(1), b.Add(1);  // stop: wide bar, narrow space, narrow bar
  return true;
}

}  // namespace

char BarcodeRecordKind(BarcodeType type) {
  switch (type) {
    case BarcodeType::kCode39: return 'E';
    case BarcodeType::kEan13: return 'F';
    case BarcodeType::kEan8: return 'H';
    case BarcodeType::k2of5: return 'I';
    case BarcodeType::k2of5Interleaved: return 'J';
  }
  return 0;
}

bool BarcodeTypeOfKind(char kind, BarcodeType& type) {
  switch (kind) {
    case 'E': type = BarcodeType::kCode39; return true;
    case 'F': type = BarcodeType::kEan13; return true;
    case 'H': type = BarcodeType::kEan8; return true;
    case 'I': type = BarcodeType::k2of5; return true;
    case 'J': type = BarcodeType::k2of5Interleaved; return true;
    default: return false;
  }
}

int BarcodeSymbol::Modules() const {
  int total = 0;
  for (std::uint8_t w : widths) total += w;
  return total;
}

char EanCheckDigit(std::string_view digits) {
  if (!AllDigits(digits)) return 0;
  // Weights 3 and 1 in turn from the rightmost data digit.
  int sum = 0;
  int weight = 3;
  for (std::size_t i = digits.size(); i-- > 0;) {
    sum += (digits[i] - '0') * weight;
    weight = weight == 3 ? 1 : 3;
  }
  return static_cast<char>('0' + (10 - sum % 10) % 10);
}

bool EncodeBarcode(BarcodeType type, std::string_view text, BarcodeSymbol& symbol) {
  symbol = BarcodeSymbol();
  bool ok = false;
  switch (type) {
    case BarcodeType::kCode39: ok = EncodeCode39(text, symbol); break;
    case BarcodeType::kEan13: ok = EncodeEan(text, 12, symbol); break;
    case BarcodeType::kEan8: ok = EncodeEan(text, 7, symbol); break;
    case BarcodeType::k2of5: ok = Encode2of5(text, symbol); break;
    case BarcodeType::k2of5Interleaved: ok = Encode2of5Interleaved(text, symbol); break;
  }
  if (!ok) symbol = BarcodeSymbol();
  return ok;
}

void DrawBarcode(ReportCanvas& canvas, BarcodeType type, std::string_view text, int x, int y, int height,
                 int module) {
  BarcodeSymbol symbol;
  if (!EncodeBarcode(type, text, symbol)) return;
  if (module < 1) module = 1;
  if (height < 1) height = 1;
  const bool ean = !symbol.digits.empty();
  // EAN: the digits take the lower part; the guard bars reach into it.
  const int digitHeight = ean ? (height / 5 > 8 * module ? height / 5 : 8 * module) : 0;
  const int barHeight = ean && height > digitHeight + module ? height - digitHeight : height;
  const int totalModules = symbol.Modules() + 2 * kBarcodeQuietModules;
  canvas.Save();
  canvas.FillRectangle({x, y, x + totalModules * module, y + height}, Rgb{255, 255, 255});
  int at = x + kBarcodeQuietModules * module;
  for (std::size_t i = 0; i < symbol.widths.size(); ++i) {
    const int w = symbol.widths[i] * module;
    if (i % 2 == 0) {
      const int bottom = symbol.guard[i] ? y + height : y + barHeight;
      canvas.FillRectangle({at, y, at + w, bottom}, kBlack);
    }
    at += w;
  }
  if (ean && barHeight < height) {
    ReportFont font;
    font.face = "Courier New";
    font.height = -(digitHeight - module > 1 ? digitHeight - module : 1);
    canvas.SetFont(font);
    canvas.SetTextColour(kBlack);
    const int start = x + kBarcodeQuietModules * module;
    const int textY = y + barHeight;
    // The halves of the digits stand between the guards (3 modules each, centre guard 5).
    const bool ean13 = symbol.digits.size() == 13;
    const int half = ean13 ? 42 : 28;
    const std::string first = ean13 ? symbol.digits.substr(0, 1) : std::string();
    const std::string left = ean13 ? symbol.digits.substr(1, 6) : symbol.digits.substr(0, 4);
    const std::string right = ean13 ? symbol.digits.substr(7, 6) : symbol.digits.substr(4, 4);
    auto centred = [&](const std::string& t, int from, int modules) {
      const int w = canvas.CurrentTextWidth(t);
      canvas.DrawText(from + (modules * module - w) / 2, textY, t, nullptr);
    };
    if (!first.empty()) {
      const int w = canvas.CurrentTextWidth(first);
      canvas.DrawText(start - w - module, textY, first, nullptr);
    }
    centred(left, start + 3 * module, half);
    centred(right, start + (3 + half + 5) * module, half);
  }
  canvas.Restore();
}

void DrawBarcodeCode39(ReportCanvas& canvas, std::string_view text, int x, int y, int height, int module) {
  DrawBarcode(canvas, BarcodeType::kCode39, text, x, y, height, module);
}
void DrawBarcodeEan13(ReportCanvas& canvas, std::string_view text, int x, int y, int height, int module) {
  DrawBarcode(canvas, BarcodeType::kEan13, text, x, y, height, module);
}
void DrawBarcodeEan8(ReportCanvas& canvas, std::string_view text, int x, int y, int height, int module) {
  DrawBarcode(canvas, BarcodeType::kEan8, text, x, y, height, module);
}
void DrawBarcode2of5(ReportCanvas& canvas, std::string_view text, int x, int y, int height, int module) {
  DrawBarcode(canvas, BarcodeType::k2of5, text, x, y, height, module);
}
void DrawBarcode2of5Interleaved(ReportCanvas& canvas, std::string_view text, int x, int y, int height,
                                int module) {
  DrawBarcode(canvas, BarcodeType::k2of5Interleaved, text, x, y, height, module);
}

}  // namespace reports
