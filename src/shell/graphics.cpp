#include "shell/graphics.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "resources/string_table.h"
#include "runtime/inifiles.h"
#include "runtime/numbers.h"
#include "runtime/runtime_init.h"
#include "runtime/xbase.h"
#include "shell/mdi_client.h"

gui::Font TableFont, TableFontBold, TableFontStruck, TableFontFixed, SymbolFont;
int TableCharWidth = 8, TableRowHeight = 16;
gui::Font EntryFont, EntryFontFixed;
int EntryCharWidth = 8, EntryRowHeight = 19;
gui::Font AssistFont, AssistFontUnderlined;
int AssistCharWidth = 8, AssistRowHeight = 19;
gui::Pen PenGray, PenWhite, PenFace, PenBlack, PenLightRed, PenLightGreen, PenLightBlue;
gui::Brush BackgroundBrush, PatternBrush;

namespace {

bool g_made = false;
constexpr int kDefaultHeight = -13;

// The font and brush texts, by their ids in the string table.
constexpr int kEntryFontKey = 2;         // "PoliceSaisies"
constexpr int kTableFontKey = 3;         // "PoliceTableau"
constexpr int kFontKeys = 10;            // 13 characters each: "Police-Assist", "PoliceSpecial", "MajMaxPolVisu" ...
constexpr int kDefaultAssistFont = 128;  // "Verdana,010/400"
constexpr int kFaceNames = 129;          // "Wingdings" at 1, "Courier New" at 10
constexpr int kBrushNames = 130;         // 8 characters each
constexpr int kDefaultFace = 131;        // "Verdana,", the size after it
constexpr int kFixedFace = 2701;         // "Courier New"

// Key k of packed entry `id`, or the key at characters from..from+12.
std::string KeyAt(int id, int from) { return RTrim(SubStr(LoadStr(id), from, 13)); }

std::string ReadKey(const std::string& key, const std::string& def, int size) {
  std::string v = IniGetString(key.c_str(), def.c_str());
  if (static_cast<int>(v.size()) > size) v.resize(size);
  return v;
}

gui::FontDesc DescFrom(const FontText& ft, int dpi) {
  gui::FontDesc d;
  if (ft.hasComma) {
    d.face = ft.face;
    d.height = FontHeight(ft.points, dpi);
  } else {
    d.face = "";  // the platform's default face
    d.height = kDefaultHeight;
  }
  d.weight = ft.weight;
  return d;
}

// A small pattern drawn here when the bitmap resource is missing: a light
// grey weave (background) and a grey cross-hatch (pattern).
gui::Bitmap DrawnPattern(bool background) {
  gui::MemoryDC dc(8, 8, background ? gui::Rgb(212, 212, 212) : gui::Rgb(232, 232, 232));
  for (int i = 0; i < 8; ++i) {
    if (background) {
      if (i % 4 == 0) dc.SetPixel(i, i, gui::Rgb(200, 200, 204));
      if (i % 4 == 2) dc.SetPixel(7 - i, i, gui::Rgb(222, 222, 226));
    } else {
      dc.SetPixel(i, i, gui::Rgb(160, 160, 160));
      dc.SetPixel(7 - i, i, gui::Rgb(160, 160, 160));
    }
  }
  return dc.GetBitmap();
}

gui::Brush PatternFromResource(const std::string& name, bool background) {
  gui::Bitmap bmp = gui::Bitmap::Load(name);
  if (bmp.IsNull()) bmp = DrawnPattern(background);
  return gui::Brush::Pattern(bmp);
}

bool MakeHook() { return MakeSharedGraphics(0); }
bool FreeHook() {
  FreeSharedGraphics();
  return true;
}

}  // namespace

FontText ParseFontText(const std::string& text, int defaultWeight) {
  FontText ft;
  ft.weight = defaultWeight;
  std::string::size_type comma = text.find(',');  // string 1281
  if (comma == std::string::npos) return ft;
  ft.hasComma = true;
  ft.face = text.substr(0, comma);
  ft.points = std::atoi(text.substr(comma + 1, 3).c_str());
  std::string::size_type slash = text.find('/', comma + 1);
  if (slash != std::string::npos) {
    char c = slash + 1 < text.size() ? text[slash + 1] : '\0';
    ft.weight = (c >= '0' && c <= '9') ? (c - '0') * 100 : 0;
  }
  return ft;
}

bool ParseFontSpec(const std::string& text, FontSpec& spec) {
  const std::string::size_type comma = text.find(',');
  if (comma == std::string::npos || IsBlank(text.substr(0, comma).c_str())) return false;
  auto at = [&text, comma](std::string::size_type offset) {
    return comma + offset < text.size() ? text[comma + offset] : '\0';
  };
  FontSpec out;
  out.face = text.substr(0, comma);
  out.points = std::atoi(text.substr(comma + 1, 3).c_str());
  const char w = at(5);
  out.weight = (w >= '1' && w <= '9') ? (w - '0') * 100 : 100;
  const char colour = at(6);
  out.colour = colour == '\0' || colour == ' ' ? '0' : colour;
  const char style = at(7);
  const int bits = (style >= '0' && style <= '9') ? style - '0' : 0;
  out.italic = (bits & 1) != 0;
  out.underline = (bits & 2) != 0;
  spec = out;
  return true;
}

std::string FormatFontSpec(const FontSpec& spec) {
  const int points = std::clamp(spec.points, 1, 999);
  const int hundreds = std::clamp((spec.weight + 50) / 100, 1, 9);
  char tail[16];
  std::snprintf(tail, sizeof tail, ",%03d/%c%c%c", points, static_cast<char>('0' + hundreds),
                spec.colour == '\0' || spec.colour == ' ' ? '0' : spec.colour,
                static_cast<char>('0' + (spec.italic ? 1 : 0) + (spec.underline ? 2 : 0)));
  return spec.face + tail;
}

int FontHeight(int points, int dpi) {
  long long num = -static_cast<long long>(points) * dpi;
  long long q = (std::llabs(num) + 36) / 72;
  return static_cast<int>(num < 0 ? -q : q);
}

int BoldTableHeight(int height) { return height <= 6 ? height + 3 : height - 3; }

int ScaleMetric(int metric, const std::string& multiplier) {
  double factor = Val(multiplier.c_str());
  if (!(factor > 0)) return metric;
  return static_cast<int>(metric * factor);
}

void StoreWindowsVersion(int code) {
  SetProgramOption(1, static_cast<char>(code / 100 + 1));
  SetProgramOption(2, static_cast<char>(code % 100 + 1));
}

int StoredWindowsVersion() {
  return 100 * static_cast<unsigned char>(ProgramOption(1)) +
         static_cast<unsigned char>(ProgramOption(2)) - 101;
}

bool MakeSharedGraphics(int dpi) {
  if (dpi <= 0) dpi = gui::ScreenLogPixelsY();
  StoreWindowsVersion(kWindowsVersionCode);

  // Brushes (names: characters 1-8 and 9-16 of string 130).
  BackgroundBrush = PatternFromResource(RTrim(SubStr(LoadStr(kBrushNames), 1, 8)), true);
  PatternBrush = PatternFromResource(RTrim(SubStr(LoadStr(kBrushNames), 9, 8)), false);

  PenGray = gui::Pen::Solid(gui::colors::Gray);
  PenWhite = gui::Pen::Solid(gui::colors::White);
  PenFace = gui::Pen::Solid(gui::GetSysColor(gui::SysColor::BtnFace));
  PenBlack = gui::Pen::Solid(gui::colors::Black);
  PenLightRed = gui::Pen::Solid(gui::colors::LtRed);
  PenLightGreen = gui::Pen::Solid(gui::colors::LtGreen);
  PenLightBlue = gui::Pen::Solid(gui::colors::LtBlue);

  const std::string fixedFace = RTrim(SubStr(LoadStr(kFaceNames), 10, 11));  // "Courier New"
  const std::string symbolFace = RTrim(SubStr(LoadStr(kFaceNames), 1, 9));   // "Wingdings"

  // List fonts: the weight of the text is not read.
  std::string tableText = ReadKey(KeyAt(kTableFontKey, 1), std::string(LoadStr(kDefaultFace)) + "010", 64);
  FontText tft = ParseFontText(tableText, gui::FW_DONTCARE);
  tft.weight = gui::FW_DONTCARE;
  gui::FontDesc base = DescFrom(tft, dpi);
  gui::FontDesc bold = base;
  bold.height = BoldTableHeight(base.height);
  bold.weight = gui::FW_BOLD;
  TableFontBold = gui::Font(bold);
  TableFont = gui::Font(base);
  gui::FontDesc struck = base;
  struck.italic = true;
  struck.strikeOut = true;
  TableFontStruck = gui::Font(struck);
  gui::FontDesc fixed = base;
  fixed.face = fixedFace;
  fixed.fixedPitch = true;
  TableFontFixed = gui::Font(fixed);
  gui::FontDesc symbol = base;
  symbol.face = symbolFace;
  symbol.charSet = gui::SYMBOL_CHARSET;
  SymbolFont = gui::Font(symbol);

  gui::TextMetrics tm = gui::ScreenTextMetrics(TableFont);
  TableCharWidth = static_cast<int>(tm.aveCharWidth * 1.5);
  TableRowHeight = tm.height + tm.externalLeading;
  TableCharWidth = ScaleMetric(TableCharWidth, ReadKey(KeyAt(kFontKeys, 79), "1", 6));
  TableRowHeight = ScaleMetric(TableRowHeight, ReadKey(KeyAt(kFontKeys, 53), "1.3", 6));

  // Form fonts: a whole value from 10 to 16 names a stock font.
  std::string entryText = ReadKey(KeyAt(kEntryFontKey, 1), std::string(LoadStr(kDefaultFace)) + "010", 64);
  int stock = std::atoi(entryText.c_str());
  if (!IsBlank(entryText) && std::to_string(stock) == AllTrim(entryText.c_str()) && stock >= 10 &&
      stock <= 16) {
    EntryFont = gui::Font::Stock(stock);
    EntryFontFixed = gui::Font::Stock(stock);
    EntryCharWidth = 8;
    EntryRowHeight = 19;
  } else {
    gui::FontDesc e = DescFrom(ParseFontText(entryText, gui::FW_NORMAL), dpi);
    EntryFont = gui::Font(e);
    e.face = LoadStr(kFixedFace);
    e.fixedPitch = true;
    EntryFontFixed = gui::Font(e);
    gui::TextMetrics em = gui::ScreenTextMetrics(EntryFont);
    EntryCharWidth = em.aveCharWidth;
    EntryRowHeight = em.height + em.externalLeading + 2;
  }
  EntryCharWidth = ScaleMetric(EntryCharWidth, ReadKey(KeyAt(kFontKeys, 92), "1", 6));
  EntryRowHeight = ScaleMetric(EntryRowHeight, ReadKey(KeyAt(kFontKeys, 66), "1.3", 6));

  // Assistance fonts.
  std::string assistText = ReadKey(KeyAt(kFontKeys, 1), LoadStr(kDefaultAssistFont), 64);
  gui::FontDesc a = DescFrom(ParseFontText(assistText, gui::FW_NORMAL), dpi);
  AssistFont = gui::Font(a);
  a.underline = true;
  AssistFontUnderlined = gui::Font(a);
  gui::TextMetrics am = gui::ScreenTextMetrics(AssistFont);
  AssistCharWidth = am.aveCharWidth;
  AssistRowHeight = am.height + am.externalLeading + 2;

  g_made = true;
  return true;
}

void FreeSharedGraphics() {
  TableFont = TableFontBold = TableFontStruck = TableFontFixed = SymbolFont = gui::Font();
  EntryFont = EntryFontFixed = AssistFont = AssistFontUnderlined = gui::Font();
  BackgroundBrush = PatternBrush = gui::Brush();
  g_made = false;
}

bool SharedGraphicsMade() { return g_made; }

void RegisterGraphicsHooks() { SetRuntimeGraphicsHooks(&MakeHook, &FreeHook); }
