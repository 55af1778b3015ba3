// What the report engine draws on and measures with. The interpreter only measures (font
// metrics and text widths, through TextMeasurer); pages are drawn from the page store by the
// paint walk (paint_walk.h) on a ReportCanvas. The window layer implements both over its
// device contexts (the preview on the screen, the printer, a PDF); tests and tools use
// FixedMetricsCanvas, whose metrics depend only on the font's height.
//
// Units are the device units of the target (screen pixels for the preview, printer dots for
// a printout). Texts are cp1252.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "reports/engine/core/report_text.h"

namespace reports {

// A logical font as templates and the program INI describe it.
struct ReportFont {
  int height = 0;      // negative: character height (Windows' convention); 0: the device's default
  int width = 0;
  int escapement = 0;  // tenths of a degree; 900 = text turned a quarter turn
  int weight = 0;      // 100 to 900; 0 = the device's default
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
  bool fixedPitch = false;
  std::string face;    // at most 31 characters
  bool operator==(const ReportFont&) const = default;
};

struct FontMetrics {
  int height = 0;           // text-metric height (ascent + descent)
  int ascent = 0;
  int externalLeading = 0;
  int averageWidth = 0;
  int maximumWidth = 0;
  bool variablePitch = false;
};

// A font text of the [P:] form "face,sss/wcs": the face before the comma, the size in points
// in the three characters after it, then "/", the weight digit (x 100), a colour letter and a
// style digit (bit 1 italic, bit 2 underlined). Without a comma the whole text is the face.
struct FontText {
  bool hasComma = false;
  std::string face;
  int points = 0;
  int weight = 100;   // a weight of 0 counts as 100
  char colour = '0';  // '0': none
  int style = 0;
};
FontText ParseFontText(std::string_view text);
// Windows MulDiv: a * b / c rounded half away from zero; 0 for c == 0.
int MulDiv(int a, int b, int c);
// -(points x dpi x (100 + correction) / 100 / 72), cut toward zero.
int FontHeightFromPoints(int points, int dpi, int correctionPercent);

struct Point {
  int x = 0, y = 0;
};
struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
};

class TextMeasurer {
 public:
  virtual ~TextMeasurer() = default;
  // Logical pixels per inch of the device (fonts sized in points use it).
  virtual int Dpi() const = 0;
  virtual FontMetrics Metrics(const ReportFont& font) = 0;
  virtual int TextWidth(const ReportFont& font, std::string_view text) = 0;
};

// Filling of a rectangle.
struct Brush {
  bool hollow = true;
  Rgb colour;
};

class ReportCanvas : public TextMeasurer {
 public:
  virtual void SetFont(const ReportFont& font) = 0;
  virtual void SetTextColour(Rgb colour) = 0;
  virtual void SetOpaqueBackground(bool opaque) = 0;
  // Text with its top-left at (x, y) in the current font; clipped to `clip` when given.
  virtual void DrawText(int x, int y, std::string_view text, const Rect* clip) = 0;
  virtual int CurrentTextWidth(std::string_view text) = 0;
  virtual void DrawLine(Point from, Point to, Rgb colour, int width) = 0;
  // A framed rectangle (pen of `penWidth`; 0 = no frame) with rounded corners of
  // `cornerSize` (0 = square).
  virtual void DrawRectangle(const Rect& r, Rgb pen, int penWidth, const Brush& brush, int cornerSize) = 0;
  // A solid area (barcode bars).
  virtual void FillRectangle(const Rect& r, Rgb colour) = 0;
  // A picture file (or a resource named without a folder) stretched into the rectangle; false
  // when it cannot be read (nothing drawn).
  virtual bool DrawImage(const Rect& r, const std::string& path) = 0;
  // Keeps and gives back the font, colours and background mode around a drawing that
  // changes them (the barcode drawer).
  virtual void Save() = 0;
  virtual void Restore() = 0;
};

// Metrics that depend only on the font: height h (the absolute value of its height, 16 for
// 0), ascent 4h/5, no external leading, every character h/2 wide (at least 1), a bold font
// no wider. Drawing calls are kept as text lines, one per call, so that tests can read what
// a page painted.
class FixedMetricsCanvas : public ReportCanvas {
 public:
  explicit FixedMetricsCanvas(int dpi = 96) : dpi_(dpi) {}

  int Dpi() const override { return dpi_; }
  FontMetrics Metrics(const ReportFont& font) override;
  int TextWidth(const ReportFont& font, std::string_view text) override;

  void SetFont(const ReportFont& font) override;
  void SetTextColour(Rgb colour) override;
  void SetOpaqueBackground(bool opaque) override;
  void DrawText(int x, int y, std::string_view text, const Rect* clip) override;
  int CurrentTextWidth(std::string_view text) override { return TextWidth(font_, text); }
  void DrawLine(Point from, Point to, Rgb colour, int width) override;
  void DrawRectangle(const Rect& r, Rgb pen, int penWidth, const Brush& brush, int cornerSize) override;
  void FillRectangle(const Rect& r, Rgb colour) override;
  bool DrawImage(const Rect& r, const std::string& path) override;
  void Save() override;
  void Restore() override;

  // What was drawn, one line per call ("text 10,20 'abc'", "line 0,5-80,5 w1" ...).
  const std::vector<std::string>& Calls() const { return calls_; }
  void ClearCalls() { calls_.clear(); }
  // Keep only the text calls and colour changes (the bulk of a page).
  bool recordOnlyText = false;
  const ReportFont& CurrentFont() const { return font_; }
  Rgb CurrentColour() const { return colour_; }

 private:
  struct Saved {
    ReportFont font;
    Rgb colour;
    bool opaque;
  };
  int dpi_;
  ReportFont font_;
  Rgb colour_;
  bool opaque_ = false;
  std::vector<Saved> saved_;
  std::vector<std::string> calls_;
};

}  // namespace reports
