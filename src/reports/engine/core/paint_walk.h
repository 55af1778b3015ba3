// Painting a stored page: the walk from a page's records to canvas calls (PaintPage's drawing
// part), with the searched words highlighted, and the page's extent. The preview window calls
// it on its screen canvas at its zoom and scroll; the printout of the page shown calls it on
// the printer's canvas, scaled; tests call it on a FixedMetricsCanvas or a picture.
#pragma once

#include <string>

#include "reports/engine/core/page_store.h"
#include "reports/engine/core/report_canvas.h"

namespace reports {

struct PaintOptions {
  int zoom = 1;                 // 1, 2 or 4: every stored coordinate and font height times this
  int scrollX = 0, scrollY = 0; // device offsets added after scaling (0 or negative)
  // Words to show in light red, separated by "&" or "|" (upper-cased, blanks as blanks).
  std::string highlightWords;
  bool noTruncate = false;      // [SansTronquer]: text drawn without clipping
  int lineHeight = 12;          // the run's line height: size of the rounded corners
  bool roundedCorners = false;  // dossier constant 073 "O"
  bool greyFrames = false;      // program option 11 on paper: frames drawn grey
  ReportFont subTotalFont;      // font 6 when an "A" record names it before any "6" record
  char subTotalColour = 'A';
  int barcodeModule = 1;        // narrow module at zoom 1, in device units
};

struct PageExtent {
  int x = 0, y = 0;  // unscaled
};

// Draws the page's records; the extent of what it holds.
PageExtent PaintPage(const PreviewPage& page, ReportCanvas& canvas, const PaintOptions& options);
// The extent without drawing.
PageExtent MeasurePage(const PreviewPage& page);
// True when one of the words (split at "&" and "|", trimmed) occurs in the upper-cased text.
bool TextHighlighted(std::string_view upperText, std::string_view words);

}  // namespace reports
