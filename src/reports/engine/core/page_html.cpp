#include "reports/engine/core/page_html.h"

#include <cstdio>
#include <cstdlib>

#include "reports/engine/core/report_export.h"
#include "reports/engine/core/report_text.h"

namespace reports {

namespace {

std::string Colour(Rgb c) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "#%02x%02x%02x", c.r, c.g, c.b);
  return buffer;
}

std::string Box(int left, int top, int width, int height) {
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, "position:absolute;left:%dpx;top:%dpx;width:%dpx;height:%dpx;", left, top,
                width < 0 ? 0 : width, height < 0 ? 0 : height);
  return buffer;
}

struct Font {
  std::string face = "Courier New";
  int height = 13;
  int weight = 400;
  bool italic = false, underline = false;
};

std::string FontStyle(const Font& f) {
  std::string face;
  for (char c : f.face) {
    if (c != '"' && c != '\'' && c != '<' && c != '>' && c != '&') face += c;
  }
  std::string s = "font-family:\"" + face + "\";font-size:" + std::to_string(f.height) + "px;";
  s += "font-weight:" + std::to_string(f.weight < 100 ? 400 : f.weight) + ";";
  if (f.italic) s += "font-style:italic;";
  if (f.underline) s += "text-decoration:underline;";
  return s;
}

}  // namespace

std::string PageAsHtml(const PreviewPage& page, std::string_view title) {
  std::string out =
      "<html>\r\n<head>\r\n<meta http-equiv='Content-Type' content='text/html; charset=windows-1252'>\r\n<title>" +
      HtmlEscaped(title) + "</title>\r\n</head>\r\n<body>\r\n<div style='position:relative'>\r\n";
  Font fonts[7];
  char colours[7] = {'A', 'A', 'A', 'A', 'A', 'A', 'A'};
  Font font;
  char colour = 'A';
  for (const PageRecord& r : page) {
    const char k = r.kind;
    if (k >= '1' && k <= '7') {
      Font f;
      f.face = std::string(r.text.substr(0, 31));
      f.height = r.n1 == 0 ? 13 : std::abs(r.n1);
      f.weight = r.n2;
      f.italic = (r.n3 & 1) != 0;
      f.underline = (r.n3 & 2) != 0;
      const int slot = k == '7' ? 5 : k - '0';
      fonts[slot] = f;
      colours[slot] = static_cast<char>(r.n4);
      font = f;
      colour = colours[slot];
      continue;
    }
    switch (k) {
      case 'A': {
        const int base = r.n1 >= '1' && r.n1 <= '6' ? r.n1 - '0' : 5;
        Font f = fonts[base];
        if (r.text.find('l') != std::string_view::npos) f.weight = 100;
        if (r.text.find('b') != std::string_view::npos) f.weight = 700;
        if (r.text.find('i') != std::string_view::npos) f.italic = true;
        if (r.text.find('u') != std::string_view::npos) f.underline = true;
        fonts[5] = f;
        font = f;
        colour = colours[base];
        break;
      }
      case '9': colour = static_cast<char>(r.n4); break;
      case 'L': {
        // Lines across or down the page; a slanting line is drawn as the box it spans.
        const int left = r.n1 < r.n3 ? r.n1 : r.n3, top = r.n2 < r.n4 ? r.n2 : r.n4;
        const int width = std::abs(r.n3 - r.n1), height = std::abs(r.n4 - r.n2);
        out += "<div style='" + Box(left, top, width, height) +
               (height == 0 ? "border-top:1px solid #000000;" : "border-left:1px solid #000000;") + "'></div>\r\n";
        break;
      }
      case 'R':
      case 'T':
      case 'G':
      case 'N': {
        std::string fill;
        if (k == 'T') fill = "background:" + Colour(ColourLetterToRgb(r.text.empty() ? '0' : r.text.back())) + ";";
        if (k == 'G') fill = "background:" + Colour(kDarkGrey) + ";";
        if (k == 'N') fill = "background:#000000;";
        out += "<div style='" + Box(r.n1, r.n2, r.n3 - r.n1, r.n4 - r.n2) + "border:1px solid #000000;" + fill +
               "'></div>\r\n";
        break;
      }
      case 'X':
      case 'Y':
      case 'Z': {
        const char* align = k == 'X' ? "left" : k == 'Y' ? "center" : "right";
        out += "<div style='" + Box(r.n1, r.n2, r.n3, r.n4) + "text-align:" + align + ";white-space:pre;" +
               FontStyle(font) + "color:" + Colour(ColourLetterToRgb(colour)) + ";'>" + HtmlEscaped(r.text) +
               "</div>\r\n";
        break;
      }
      default: break;
    }
  }
  out += "</div>\r\n</body>\r\n</html>\r\n";
  return out;
}

}  // namespace reports
