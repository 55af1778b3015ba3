// Device contexts: one drawing interface for a window's paint event, a
// memory bitmap (double buffering), a printer and a PDF file. Colours are
// Windows RGB values (0x00BBGGRR), text is cp1252, coordinates are logical
// units (device pixels unless a mapping mode scales them).
#pragma once

#include "platform/gui/window_users.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gui/bitmap.h"
#include "platform/gui/window.h"

class QPainter;
class QPaintDevice;

namespace gui {

using ColorRef = std::uint32_t;

constexpr ColorRef Rgb(int r, int g, int b) {
  return static_cast<ColorRef>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int RedOf(ColorRef c) { return static_cast<int>(c & 0xFF); }
constexpr int GreenOf(ColorRef c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int BlueOf(ColorRef c) { return static_cast<int>((c >> 16) & 0xFF); }

// Named colours of the program's windows.
namespace colors {
constexpr ColorRef Black = Rgb(0, 0, 0);
constexpr ColorRef White = Rgb(255, 255, 255);
constexpr ColorRef Gray = Rgb(128, 128, 128);
constexpr ColorRef LtGray = Rgb(192, 192, 192);
constexpr ColorRef DkGray = Rgb(64, 64, 64);
constexpr ColorRef LtRed = Rgb(255, 0, 0);
constexpr ColorRef LtGreen = Rgb(0, 255, 0);
constexpr ColorRef LtYellow = Rgb(255, 255, 0);
constexpr ColorRef LtBlue = Rgb(0, 0, 255);
constexpr ColorRef LtMagenta = Rgb(255, 0, 255);
constexpr ColorRef LtCyan = Rgb(0, 255, 255);
}  // namespace colors

// System colours that follow the desktop's palette.
enum class SysColor { BtnFace, BtnShadow, BtnHighlight, Window, WindowText, Highlight, HighlightText, GrayText };
ColorRef GetSysColor(SysColor which);

// ---- Fonts -----------------------------------------------------------------

constexpr int FW_DONTCARE = 0;
constexpr int FW_NORMAL = 400;
constexpr int FW_BOLD = 700;
constexpr int ANSI_CHARSET = 0;
constexpr int SYMBOL_CHARSET = 2;

// A logical font. `height` < 0 is the character height (em), > 0 the cell
// height (ascent + descent), 0 a default; in logical units of the device.
struct FontDesc {
  std::string face;  // Windows face name, mapped through the face table
  int height = 0;
  int width = 0;        // average character width, 0 = natural
  int escapement = 0;   // tenths of a degree, counter-clockwise
  int weight = FW_DONTCARE;
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
  bool fixedPitch = false;
  int charSet = ANSI_CHARSET;
};

// Height for a size in points on a device of `dpi` pixels per inch:
// -(points x dpi / 72), rounded as the program's font code expects.
int FontHeightForPoints(int points, int dpi);

class Font {
 public:
  Font();  // the default font of a new device context
  explicit Font(const FontDesc& desc);
  // Stock fonts by number: 10 OEM fixed, 11 ANSI fixed, 12 ANSI variable,
  // 13 system, 14 device default, 16 system fixed, 17 GUI default.
  static Font Stock(int number);

  const FontDesc& Desc() const;
  // Installed family that draws it.
  std::string InstalledFace() const;

  struct Impl;
  const Impl& impl() const { return *d_; }

 private:
  std::shared_ptr<const Impl> d_;
};

struct TextMetrics {
  int height = 0;            // ascent + descent
  int ascent = 0;
  int descent = 0;
  int internalLeading = 0;   // height - em
  int externalLeading = 0;
  int aveCharWidth = 0;
  int maxCharWidth = 0;
};

// Metrics of a font on the screen.
TextMetrics ScreenTextMetrics(const Font& font);
// The width in pixels of a text (cp1252) in a font on the screen, as a control showing it in that
// font lays it out.
int ScreenTextWidth(const Font& font, std::string_view cp1252);
// Pixels per inch of the screen (96 without a screen).
int ScreenLogPixelsY();

// ---- Pens and brushes ------------------------------------------------------

enum class PenStyle { Solid, Dash, Dot, DashDot, DashDotDot, Null };

struct Pen {
  PenStyle style = PenStyle::Solid;
  int width = 1;  // 0 and 1 are one device pixel
  ColorRef color = colors::Black;

  static Pen Solid(ColorRef c, int w = 1) { return Pen{PenStyle::Solid, w, c}; }
  static Pen None() { return Pen{PenStyle::Null, 0, 0}; }
};

enum class HatchStyle { Horizontal = 0, Vertical = 1, FDiagonal = 2, BDiagonal = 3, Cross = 4, DiagCross = 5 };

class Brush {
 public:
  Brush() = default;  // hollow: fills nothing
  static Brush Solid(ColorRef color);
  static Brush Hatch(HatchStyle style, ColorRef color);
  // Tiles the bitmap from the device's origin.
  static Brush Pattern(const Bitmap& bitmap);
  static Brush Hollow() { return Brush(); }

  enum class Kind { Hollow, Solid, Hatch, Pattern };
  Kind GetKind() const { return kind_; }
  ColorRef Color() const { return color_; }
  HatchStyle Hatching() const { return hatch_; }
  const Bitmap& PatternBitmap() const { return pattern_; }

 private:
  Kind kind_ = Kind::Hollow;
  ColorRef color_ = 0;
  HatchStyle hatch_ = HatchStyle::Horizontal;
  Bitmap pattern_;
};

// ---- Device context --------------------------------------------------------

// Background modes.
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

// Text alignment of TextOut (horizontal | vertical).
constexpr unsigned TA_LEFT = 0;
constexpr unsigned TA_TOP = 0;
constexpr unsigned TA_RIGHT = 2;
constexpr unsigned TA_CENTER = 6;
constexpr unsigned TA_BOTTOM = 8;
constexpr unsigned TA_BASELINE = 24;

// ExtTextOut options.
constexpr unsigned ETO_OPAQUE = 0x0002;
constexpr unsigned ETO_CLIPPED = 0x0004;

// DrawText formats.
constexpr unsigned DT_LEFT = 0x0000;
constexpr unsigned DT_CENTER = 0x0001;
constexpr unsigned DT_RIGHT = 0x0002;
constexpr unsigned DT_VCENTER = 0x0004;
constexpr unsigned DT_BOTTOM = 0x0008;
constexpr unsigned DT_WORDBREAK = 0x0010;
constexpr unsigned DT_SINGLELINE = 0x0020;
constexpr unsigned DT_EXPANDTABS = 0x0040;
constexpr unsigned DT_NOCLIP = 0x0100;
constexpr unsigned DT_CALCRECT = 0x0400;
constexpr unsigned DT_NOPREFIX = 0x0800;
constexpr unsigned DT_END_ELLIPSIS = 0x8000;

// Mapping modes.
constexpr int MM_TEXT = 1;
constexpr int MM_ISOTROPIC = 7;
constexpr int MM_ANISOTROPIC = 8;

// GetDeviceCaps indexes.
constexpr int HORZSIZE = 4;   // millimetres
constexpr int VERTSIZE = 6;
constexpr int HORZRES = 8;    // pixels of the printable area
constexpr int VERTRES = 10;
constexpr int BITSPIXEL = 12;
constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;
constexpr int PHYSICALWIDTH = 110;
constexpr int PHYSICALHEIGHT = 111;
constexpr int PHYSICALOFFSETX = 112;
constexpr int PHYSICALOFFSETY = 113;

struct Size {
  int cx = 0;
  int cy = 0;
};

// Rectangle by its edges (right and bottom excluded), as drawing calls take it.
struct Box {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  static Box From(const Rect& r) { return Box{r.x, r.y, r.x + r.w, r.y + r.h}; }
};

class DC {
 public:
  virtual ~DC();
  DC(const DC&) = delete;
  DC& operator=(const DC&) = delete;

  // False when the device could not be opened (nothing is drawn then).
  bool IsValid() const;

  // Drawing objects. Each Select returns the one it replaces.
  Font SelectFont(const Font& font);
  Pen SelectPen(const Pen& pen);
  Brush SelectBrush(const Brush& brush);
  const Font& GetFont() const;
  const Pen& GetPen() const;
  const Brush& GetBrush() const;

  ColorRef SetTextColor(ColorRef color);
  ColorRef GetTextColor() const;
  ColorRef SetBkColor(ColorRef color);
  ColorRef GetBkColor() const;
  int SetBkMode(int mode);  // TRANSPARENT or OPAQUE
  int GetBkMode() const;
  unsigned SetTextAlign(unsigned align);

  // Text. Positions follow the text alignment (top-left by default).
  bool TextOut(int x, int y, std::string_view text);
  // `rect` clips (ETO_CLIPPED) and/or is filled with the background colour
  // (ETO_OPAQUE); may be null.
  bool ExtTextOut(int x, int y, unsigned options, const Box* rect, std::string_view text);
  // Text in a rectangle; returns the height of the text drawn. With
  // DT_CALCRECT nothing is drawn and `rect` receives the text's extent.
  int DrawText(std::string_view text, Box& rect, unsigned format);
  Size GetTextExtent(std::string_view text) const;
  // Width of a text as the sum of its characters' own advances (kept per
  // font): no kerning, so it may differ from GetTextExtent by a pixel or so
  // per character; far quicker for deciding whether a text fits.
  int GetCharsWidth(std::string_view text) const;
  TextMetrics GetTextMetrics() const;

  // Lines and shapes: outlines in the pen, insides in the brush; the right
  // and bottom edges are excluded as on Windows.
  void MoveTo(int x, int y);
  void LineTo(int x, int y);
  Point GetCurrentPosition() const;
  void Polyline(const std::vector<Point>& points);
  void Polygon(const std::vector<Point>& points);
  void Rectangle(int left, int top, int right, int bottom);
  void RoundRect(int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight);
  void Ellipse(int left, int top, int right, int bottom);
  void FillRect(const Box& rect, const Brush& brush);
  void FillSolidRect(const Box& rect, ColorRef color);
  void FrameRect(const Box& rect, const Brush& brush);
  void DrawFocusRect(const Box& rect);
  void SetPixel(int x, int y, ColorRef color);
  // Colour at a point of a memory or window bitmap; 0xFFFFFFFF elsewhere.
  ColorRef GetPixel(int x, int y) const;

  // Gradient from colour 1 at the left (horizontal) or top (vertical) edge
  // to colour 2 at the opposite edge; alphas below 255 blend onto what is
  // there with their mean as constant opacity.
  void GradientFill(const Box& rect, ColorRef color1, ColorRef color2, bool horizontal,
                    int alpha1 = 255, int alpha2 = 255);

  // Bitmaps.
  void DrawBitmap(int x, int y, const Bitmap& bitmap);
  void StretchBitmap(const Box& dest, const Bitmap& bitmap, const Box& source);
  void StretchBitmap(const Box& dest, const Bitmap& bitmap);
  // Blends with a constant opacity 0..255 (and the bitmap's own alpha).
  void AlphaBlend(const Box& dest, const Bitmap& bitmap, const Box& source, int constantAlpha);
  // Copies a block of another context (a memory context of a double buffer).
  bool BitBlt(int x, int y, int w, int h, const DC& source, int sx, int sy);

  // Clipping, in logical units.
  void IntersectClipRect(const Box& rect);
  void SelectClipRect(const Box& rect);
  void RemoveClip();
  // Saves the whole drawing state; RestoreDC(-1) restores the last one.
  int SaveDC();
  bool RestoreDC(int saved = -1);

  // Mapping: device = (logical - window origin) x viewport extent / window
  // extent + viewport origin. MM_TEXT: one logical unit per device pixel.
  int SetMapMode(int mode);
  int GetMapMode() const;
  void SetWindowOrg(int x, int y);
  void SetWindowExt(int cx, int cy);
  void SetViewportOrg(int x, int y);
  void SetViewportExt(int cx, int cy);
  Point LPtoDP(Point p) const;
  Point DPtoLP(Point p) const;

  int GetDeviceCaps(int index) const;

  // The painter underneath, for the window layer's own code.
  QPainter* Painter() const;

  struct Impl;

 protected:
  DC();
  // Starts drawing on `device`; the device outlives this context.
  bool Begin(QPaintDevice* device);
  // Draws with a painter that Qt lends for one paint call (list rows ...).
  bool Borrow(QPainter* painter);
  void End();
  // The device answered by GetDeviceCaps before drawing begins.
  void AttachDevice(QPaintDevice* device);
  // Paper size and the printable area's offset, in device pixels.
  void SetPhysicalPage(int width, int height, int offsetX, int offsetY);
  Impl& impl() const { return *d_; }

 private:
  std::unique_ptr<Impl> d_;
};

// Draws on a window inside its EvPaint (or on any created window's widget).
class WindowDC : public DC {
 public:
  explicit WindowDC(Window& window);
  ~WindowDC() override;
};

// Draws with a painter lent by Qt (owner-drawn list rows).
class PainterDC : public DC {
 public:
  explicit PainterDC(QPainter* painter) { Borrow(painter); }
  ~PainterDC() override { End(); }
};

// Draws on a bitmap in memory: a double buffer, or a picture to save.
class MemoryDC : public DC {
 public:
  // A new bitmap of that size, filled with `fill`.
  MemoryDC(int width, int height, ColorRef fill = colors::White);
  ~MemoryDC() override;
  // The picture drawn so far; drawing ends here, further calls draw nothing.
  const Bitmap& GetBitmap();
  bool SavePng(const std::string& path);

 private:
  Bitmap bitmap_;
};

}  // namespace gui
