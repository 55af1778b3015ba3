#include "reports/engine/core/report_canvas.h"

#include <cstdio>
#include <cstdlib>

namespace reports {

FontText ParseFontText(std::string_view text) {
  FontText ft;
  const std::size_t comma = text.find(',');
  if (comma == std::string_view::npos) {
    ft.face = std::string(text);
    return ft;
  }
  ft.hasComma = true;
  ft.face = std::string(text.substr(0, comma));
  ft.points = LeadingInt(text.substr(comma + 1, 3));
  // Positions after the comma at p: weight digit p + 5, colour p + 6, style p + 7.
  auto at = [&](std::size_t offset) -> char { return comma + offset < text.size() ? text[comma + offset] : '\0'; };
  const char weight = at(5);
  ft.weight = (weight >= '0' && weight <= '9') ? (weight - '0') * 100 : 0;
  if (ft.weight == 0) ft.weight = 100;
  if (at(6) != '\0') ft.colour = at(6);
  const char style = at(7);
  ft.style = (style >= '0' && style <= '9') ? (style - '0') : 0;
  return ft;
}

int MulDiv(int a, int b, int c) {
  if (c == 0) return 0;
  const long long num = static_cast<long long>(a) * b;
  const long long q = (std::llabs(num) + std::llabs(c) / 2) / std::llabs(c);
  return static_cast<int>((num < 0) != (c < 0) ? -q : q);
}

int FontHeightFromPoints(int points, int dpi, int correctionPercent) {
  const long long v = static_cast<long long>(points) * dpi * (100 + correctionPercent) / 100 / 72;
  return static_cast<int>(-v);
}

namespace {

int HeightOf(const ReportFont& font) {
  const int h = std::abs(font.height);
  return h == 0 ? 16 : h;
}

std::string RectText(const Rect& r) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%d,%d-%d,%d", r.left, r.top, r.right, r.bottom);
  return buffer;
}

std::string ColourText(Rgb c) {
  char buffer[24];
  std::snprintf(buffer, sizeof buffer, "%d.%d.%d", c.r, c.g, c.b);
  return buffer;
}

}  // namespace

FontMetrics FixedMetricsCanvas::Metrics(const ReportFont& font) {
  const int h = HeightOf(font);
  FontMetrics m;
  m.height = h;
  m.ascent = h * 4 / 5;
  m.externalLeading = 0;
  m.averageWidth = h / 2 < 1 ? 1 : h / 2;
  m.maximumWidth = m.averageWidth;
  m.variablePitch = false;
  return m;
}

int FixedMetricsCanvas::TextWidth(const ReportFont& font, std::string_view text) {
  return Metrics(font).averageWidth * static_cast<int>(text.size());
}

void FixedMetricsCanvas::SetFont(const ReportFont& font) {
  font_ = font;
  if (recordOnlyText) return;
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "font %d w%d%s%s%s e%d '", font.height, font.weight,
                font.italic ? " i" : "", font.underline ? " u" : "", font.strikeOut ? " s" : "",
                font.escapement);
  calls_.push_back(buffer + font.face + "'");
}

void FixedMetricsCanvas::SetTextColour(Rgb colour) {
  if (colour == colour_ && !calls_.empty()) return;
  colour_ = colour;
  calls_.push_back("colour " + ColourText(colour));
}

void FixedMetricsCanvas::SetOpaqueBackground(bool opaque) {
  opaque_ = opaque;
  if (!recordOnlyText) calls_.push_back(opaque ? "opaque" : "transparent");
}

void FixedMetricsCanvas::DrawText(int x, int y, std::string_view text, const Rect* clip) {
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "text %d,%d '", x, y);
  std::string call = buffer + std::string(text) + "'";
  if (clip != nullptr) call += " clip " + RectText(*clip);
  calls_.push_back(std::move(call));
}

void FixedMetricsCanvas::DrawLine(Point from, Point to, Rgb colour, int width) {
  if (recordOnlyText) return;
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "line %d,%d-%d,%d w%d ", from.x, from.y, to.x, to.y, width);
  calls_.push_back(buffer + ColourText(colour));
}

void FixedMetricsCanvas::DrawRectangle(const Rect& r, Rgb pen, int penWidth, const Brush& brush,
                                       int cornerSize) {
  if (recordOnlyText) return;
  std::string call = "rect " + RectText(r) + " pen " + ColourText(pen) + " w" + std::to_string(penWidth);
  call += brush.hollow ? " hollow" : " fill " + ColourText(brush.colour);
  if (cornerSize != 0) call += " round " + std::to_string(cornerSize);
  calls_.push_back(std::move(call));
}

void FixedMetricsCanvas::FillRectangle(const Rect& r, Rgb colour) {
  if (recordOnlyText) return;
  calls_.push_back("bar " + RectText(r) + " " + ColourText(colour));
}

bool FixedMetricsCanvas::DrawImage(const Rect& r, const std::string& path) {
  if (recordOnlyText) return true;
  calls_.push_back("image " + RectText(r) + " " + path);
  return true;
}

void FixedMetricsCanvas::Save() { saved_.push_back({font_, colour_, opaque_}); }

void FixedMetricsCanvas::Restore() {
  if (saved_.empty()) return;
  font_ = saved_.back().font;
  colour_ = saved_.back().colour;
  opaque_ = saved_.back().opaque;
  saved_.pop_back();
}

}  // namespace reports
