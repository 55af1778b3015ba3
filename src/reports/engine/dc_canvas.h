// The report canvas on the window layer's device contexts: the preview window's screen, a
// memory picture, a printer or a PDF file all draw a stored page through the same paint walk
// (reports/engine/core/paint_walk.h) and measure the interpreter's fonts the same way.
#pragma once

#include "platform/gui/dc.h"
#include "reports/engine/core/report_canvas.h"

namespace reports {

class DcCanvas : public ReportCanvas {
 public:
  // The device context outlives the canvas; its font, pen, brush and colours are the canvas's
  // while it draws.
  explicit DcCanvas(gui::DC& dc) : dc_(dc) {}

  int Dpi() const override;
  FontMetrics Metrics(const ReportFont& font) override;
  int TextWidth(const ReportFont& font, std::string_view text) override;

  void SetFont(const ReportFont& font) override;
  void SetTextColour(Rgb colour) override;
  void SetOpaqueBackground(bool opaque) override;
  void DrawText(int x, int y, std::string_view text, const Rect* clip) override;
  int CurrentTextWidth(std::string_view text) override;
  void DrawLine(Point from, Point to, Rgb colour, int width) override;
  void DrawRectangle(const Rect& r, Rgb pen, int penWidth, const Brush& brush, int cornerSize) override;
  void FillRectangle(const Rect& r, Rgb colour) override;
  bool DrawImage(const Rect& r, const std::string& path) override;
  void Save() override;
  void Restore() override;

  // The window layer's description of a report font.
  static gui::FontDesc DescOf(const ReportFont& font);

 private:
  gui::DC& dc_;
};

}  // namespace reports
