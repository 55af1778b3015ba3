#include "reports/engine/dc_canvas.h"

#include "platform/gui/bitmap.h"
#include "platform/gui/font_map.h"
#include "reports/engine/core/report_text.h"
#include "runtime/text.h"

namespace reports {

namespace {

gui::ColorRef Ref(Rgb c) { return gui::Rgb(c.r, c.g, c.b); }

bool FixedFace(const std::string& face) {
  const std::string wanted = LowerCp1252(face);
  for (const gui::FontFaceMapping& m : gui::FontFaceTable()) {
    if (LowerCp1252(m.windowsFace) == wanted) return m.fixedPitch;
  }
  return false;
}

}  // namespace

gui::FontDesc DcCanvas::DescOf(const ReportFont& font) {
  gui::FontDesc d;
  d.face = font.face;
  d.height = font.height;
  d.width = font.width;
  d.escapement = font.escapement;
  d.weight = font.weight;
  d.italic = font.italic;
  d.underline = font.underline;
  d.strikeOut = font.strikeOut;
  d.fixedPitch = font.fixedPitch;
  return d;
}

int DcCanvas::Dpi() const {
  const int dpi = dc_.GetDeviceCaps(gui::LOGPIXELSX);
  return dpi > 0 ? dpi : 96;
}

FontMetrics DcCanvas::Metrics(const ReportFont& font) {
  const gui::Font old = dc_.SelectFont(gui::Font(DescOf(font)));
  const gui::TextMetrics tm = dc_.GetTextMetrics();
  dc_.SelectFont(old);
  FontMetrics m;
  m.height = tm.height;
  m.ascent = tm.ascent;
  m.externalLeading = tm.externalLeading;
  m.averageWidth = tm.aveCharWidth;
  m.maximumWidth = tm.maxCharWidth;
  m.variablePitch = !font.fixedPitch && !FixedFace(font.face);
  return m;
}

int DcCanvas::TextWidth(const ReportFont& font, std::string_view text) {
  const gui::Font old = dc_.SelectFont(gui::Font(DescOf(font)));
  const int width = dc_.GetTextExtent(text).cx;
  dc_.SelectFont(old);
  return width;
}

void DcCanvas::SetFont(const ReportFont& font) { dc_.SelectFont(gui::Font(DescOf(font))); }

void DcCanvas::SetTextColour(Rgb colour) { dc_.SetTextColor(Ref(colour)); }

void DcCanvas::SetOpaqueBackground(bool opaque) { dc_.SetBkMode(opaque ? gui::OPAQUE : gui::TRANSPARENT); }

void DcCanvas::DrawText(int x, int y, std::string_view text, const Rect* clip) {
  if (clip == nullptr) {
    dc_.TextOut(x, y, text);
    return;
  }
  const gui::Box box{clip->left, clip->top, clip->right, clip->bottom};
  dc_.ExtTextOut(x, y, gui::ETO_CLIPPED, &box, text);
}

int DcCanvas::CurrentTextWidth(std::string_view text) { return dc_.GetTextExtent(text).cx; }

void DcCanvas::DrawLine(Point from, Point to, Rgb colour, int width) {
  const gui::Pen old = dc_.SelectPen(gui::Pen::Solid(Ref(colour), width));
  dc_.MoveTo(from.x, from.y);
  dc_.LineTo(to.x, to.y);
  dc_.SelectPen(old);
}

void DcCanvas::DrawRectangle(const Rect& r, Rgb pen, int penWidth, const Brush& brush, int cornerSize) {
  const gui::Pen oldPen = dc_.SelectPen(penWidth > 0 ? gui::Pen::Solid(Ref(pen), penWidth) : gui::Pen::None());
  const gui::Brush oldBrush = dc_.SelectBrush(brush.hollow ? gui::Brush::Hollow() : gui::Brush::Solid(Ref(brush.colour)));
  if (cornerSize > 0) {
    dc_.RoundRect(r.left, r.top, r.right, r.bottom, cornerSize, cornerSize);
  } else {
    dc_.Rectangle(r.left, r.top, r.right, r.bottom);
  }
  dc_.SelectBrush(oldBrush);
  dc_.SelectPen(oldPen);
}

void DcCanvas::FillRectangle(const Rect& r, Rgb colour) {
  dc_.FillSolidRect(gui::Box{r.left, r.top, r.right, r.bottom}, Ref(colour));
}

bool DcCanvas::DrawImage(const Rect& r, const std::string& path) {
  // A name without a folder is one of the program's bitmap resources ("CXDBrush").
  const gui::Bitmap bitmap = path.find('/') == std::string::npos ? gui::Bitmap::Load(path) : gui::Bitmap::LoadFile(path);
  if (bitmap.IsNull()) return false;
  dc_.StretchBitmap(gui::Box{r.left, r.top, r.right, r.bottom}, bitmap);
  return true;
}

void DcCanvas::Save() { dc_.SaveDC(); }

void DcCanvas::Restore() { dc_.RestoreDC(-1); }

}  // namespace reports
