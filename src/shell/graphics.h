// Fonts, pens and brushes shared by every window, made once at start from
// the font keys of the program INI and freed at exit. Their users never
// delete them. Before they are made each object is a usable default.
#pragma once

#include <string>

#include "platform/gui/dc.h"

// List fonts and their units (columns are counted in TableCharWidth, rows
// are TableRowHeight high).
extern gui::Font TableFont, TableFontBold, TableFontStruck, TableFontFixed, SymbolFont;
extern int TableCharWidth, TableRowHeight;
// Form fonts and units.
extern gui::Font EntryFont, EntryFontFixed;
extern int EntryCharWidth, EntryRowHeight;
// Assistance texts.
extern gui::Font AssistFont, AssistFontUnderlined;
extern int AssistCharWidth, AssistRowHeight;
// One-pixel solid pens in the named colours.
extern gui::Pen PenGray, PenWhite, PenFace, PenBlack, PenLightRed, PenLightGreen, PenLightBlue;
// Pattern brushes of the bitmaps "CBkBrush" and "CXCBrush".
extern gui::Brush BackgroundBrush, PatternBrush;

// A font text of the program INI: "Face,SSS/W" (face up to the first comma,
// the size in points in the three characters after it, then "/" and a
// weight whose first digit times 100 is the weight).
struct FontText {
  bool hasComma = false;  // false: the platform's default face at height -13
  std::string face;
  int points = 0;
  int weight = 0;         // `defaultWeight` when the text gives none; 0 for a letter
};
FontText ParseFontText(const std::string& text, int defaultWeight);

// A font as the report statement [P:face,sss/wcs] and the "Police" choice
// write it: the face up to the comma, the size in points in the three
// characters after it, "/", then the weight's hundreds (one digit, 0 read
// as 1), a colour letter ("0" none) and a style digit (1 italic,
// 2 underlined, 3 both), each read at its place after the comma.
struct FontSpec {
  std::string face;
  int points = 0;
  int weight = 100;
  char colour = '0';
  bool italic = false;
  bool underline = false;
};
// False (and `spec` left alone) for a text without a comma or with a blank
// face: it names no font to offer.
bool ParseFontSpec(const std::string& text, FontSpec& spec);
// "face,sss/wcs" with the size kept in 1-999 and the weight rounded to its
// hundreds in 1-9 ("Verdana,012/400" for Verdana 12 regular).
std::string FormatFontSpec(const FontSpec& spec);
// Windows MulDiv(-points, dpi, 72) (rounded half away from zero).
int FontHeight(int points, int dpi);
// Height of the bold list font: 3 units smaller in magnitude.
int BoldTableHeight(int height);
// A metric multiplied by the `Val` of a multiplier text when it is above 0
// (truncated); otherwise the metric as measured.
int ScaleMetric(int metric, const std::string& multiplier);

// Windows version code kept in ProgramOptions characters 1-2 (as
// (v div 100) + 1 and (v mod 100) + 1). This system reports the newest.
constexpr int kWindowsVersionCode = 603;
void StoreWindowsVersion(int code);
int StoredWindowsVersion();

// Makes / frees every shared object (the runtime's start and end call them
// through its graphic hooks; RegisterGraphicsHooks installs them). `dpi` 0
// = the screen's.
bool MakeSharedGraphics(int dpi = 0);
void FreeSharedGraphics();
bool SharedGraphicsMade();
void RegisterGraphicsHooks();
