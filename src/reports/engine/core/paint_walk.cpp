#include "reports/engine/core/paint_walk.h"

#include <algorithm>
#include <vector>

#include "reports/engine/core/barcodes.h"
#include "runtime/text.h"

namespace reports {

namespace {

bool IsTextKind(char kind) { return static_cast<unsigned char>(kind) >= static_cast<unsigned char>('X'); }

void Extend(PageExtent& e, const PageRecord& r) {
  switch (r.kind) {
    case 'R':
    case 'T':
    case 'G':
    case 'N':
    case 'M':
    case 'B':
      e.x = std::max({e.x, r.n1, r.n3});
      e.y = std::max({e.y, r.n2, r.n4});
      break;
    case 'L':
      e.x = std::max({e.x, r.n1, r.n3});
      e.y = std::max({e.y, r.n2, r.n4});
      break;
    default:
      if (IsTextKind(r.kind)) {
        // The cell's right and bottom edges, so that scrolling reaches the end of its text.
        e.x = std::max(e.x, r.n1 + r.n3);
        e.y = std::max(e.y, r.n2 + r.n4);
      }
      break;
  }
}

std::vector<std::string> HighlightPieces(std::string_view words) {
  std::vector<std::string> pieces;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= words.size(); ++i) {
    if (i == words.size() || words[i] == '&' || words[i] == '|') {
      std::string piece = Trimmed(words.substr(start, i - start));
      if (!piece.empty()) pieces.push_back(std::move(piece));
      start = i + 1;
    }
  }
  return pieces;
}

}  // namespace

bool TextHighlighted(std::string_view upperText, std::string_view words) {
  for (const std::string& piece : HighlightPieces(words)) {
    if (upperText.find(piece) != std::string_view::npos) return true;
  }
  return false;
}

PageExtent MeasurePage(const PreviewPage& page) {
  PageExtent e;
  for (const PageRecord& r : page) Extend(e, r);
  return e;
}

PageExtent PaintPage(const PreviewPage& page, ReportCanvas& canvas, const PaintOptions& o) {
  const int z = o.zoom < 1 ? 1 : o.zoom;
  const std::vector<std::string> pieces = HighlightPieces(o.highlightWords);
  // Font slots of this call: 1-4 and 6 the numbered and sub-total fonts, 5 the special font
  // (shared with "7" and "A"), with the colour each one brings.
  ReportFont slots[7];
  bool seen[7] = {};
  char colours[7] = {'A', 'A', 'A', 'A', 'A', 'A', 'A'};
  char colour = '0';
  int lineWidth = 1;
  bool vertical = false;
  PageExtent extent;
  std::string upper;
  auto X = [&](int v) { return v * z + o.scrollX; };
  auto Y = [&](int v) { return v * z + o.scrollY; };
  canvas.SetOpaqueBackground(false);
  for (const PageRecord& r : page) {
    Extend(extent, r);
    const char k = r.kind;
    if (k >= '1' && k <= '7') {
      ReportFont f;
      f.height = r.n1 * z;
      f.weight = r.n2;
      f.italic = (r.n3 & 1) != 0;
      f.underline = (r.n3 & 2) != 0;
      f.strikeOut = (r.n3 & 4) != 0;
      f.face = std::string(r.text.substr(0, 31));
      vertical = k == '7';
      if (vertical) f.escapement = 900;
      const int slot = k == '7' ? 5 : k - '0';
      slots[slot] = f;
      seen[slot] = true;
      canvas.SetFont(f);
      colour = static_cast<char>(r.n4);
      colours[slot] = colour;
      continue;
    }
    switch (k) {
      case 'A': {
        const int base = r.n1 >= '1' && r.n1 <= '6' ? r.n1 - '0' : 0;
        ReportFont f;
        if (base == 6 && !seen[6]) {
          f = o.subTotalFont;
          f.height *= z;
          colours[6] = o.subTotalColour;
        } else if (base != 0) {
          f = slots[base];
        }
        const std::string_view letters = r.text;
        if (letters.find('l') != std::string_view::npos) f.weight = 100;
        if (letters.find('b') != std::string_view::npos) f.weight = 700;
        if (letters.find('i') != std::string_view::npos) f.italic = true;
        if (letters.find('u') != std::string_view::npos) f.underline = true;
        if (letters.find('o') != std::string_view::npos) f.strikeOut = true;
        slots[5] = f;
        seen[5] = true;
        vertical = f.escapement != 0;
        canvas.SetFont(f);
        if (base != 0) colour = colours[base];
        colours[5] = colour;
        break;
      }
      case '9': colour = static_cast<char>(r.n4); break;
      case 'C': canvas.SetOpaqueBackground(false); break;
      case 'D': canvas.SetOpaqueBackground(true); break;
      case 'K': lineWidth = r.n1; break;
      case 'L':
        canvas.DrawLine({X(r.n1), Y(r.n2)}, {X(r.n3), Y(r.n4)}, o.greyFrames ? kGrey : kBlack, lineWidth * z);
        break;
      case 'R':
      case 'T':
      case 'G':
      case 'N': {
        const Rect rect{X(r.n1), Y(r.n2), X(r.n3), Y(r.n4)};
        const int corner = o.roundedCorners ? (o.lineHeight / 2) * z : 0;
        Brush brush;
        Rgb pen = o.greyFrames ? kGrey : kBlack;
        int width = lineWidth * z;
        if (k == 'T') {
          pen = kLightGrey;
          width = 2 * z;
          brush = {false, ColourLetterToRgb(r.text.empty() ? '0' : r.text.back())};
        } else if (k == 'G') {
          pen = kGrey;
          width = 2 * z;
          brush = {false, kDarkGrey};
        } else if (k == 'N') {
          pen = kBlack;
          width = 2 * z;
          brush = {false, kBlack};
        }
        canvas.DrawRectangle(rect, pen, width, brush, corner);
        break;
      }
      case 'M':
      case 'B': canvas.DrawImage({X(r.n1), Y(r.n2), X(r.n3), Y(r.n4)}, std::string(r.text)); break;
      case 'E':
      case 'F':
      case 'H':
      case 'I':
      case 'J': {
        BarcodeType type;
        if (BarcodeTypeOfKind(k, type)) {
          DrawBarcode(canvas, type, r.text, X(r.n1), Y(r.n2), r.n4 * z, o.barcodeModule * z);
        }
        break;
      }
      case 'X':
      case 'Y':
      case 'Z': {
        upper = UpperCp1252(r.text);
        bool light = false;
        for (const std::string& piece : pieces) {
          if (upper.find(piece) != std::string::npos) {
            light = true;
            break;
          }
        }
        canvas.SetTextColour(light ? kLightRed : ColourLetterToRgb(colour));
        const int w = canvas.CurrentTextWidth(r.text);
        const int left = X(r.n1);
        const int cell = r.n3 * z;
        const int start = k == 'X' ? left : k == 'Y' ? left + (cell - w) / 2 : left + cell - w;
        const int top = Y(r.n2);
        if (o.noTruncate || vertical) {
          canvas.DrawText(start, top, r.text, nullptr);
        } else {
          const Rect clip{start, top, left + cell, top + r.n4 * z};
          canvas.DrawText(start, top, r.text, &clip);
        }
        break;
      }
      default: break;
    }
  }
  return extent;
}

}  // namespace reports
