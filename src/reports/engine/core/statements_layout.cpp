// Statements that shape the page: text-producing statements and alignment marks, fonts, text
// blocks and text files, positions, lines, rectangles, pictures, colours and barcodes.
#include <algorithm>
#include <cstdio>

#include "reports/engine/core/barcodes.h"
#include "reports/engine/core/interpreter_impl.h"
#include "resources/string_table.h"
#include "runtime/dossier_record.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace reports {

namespace {

std::string Repeat(char ch, int n) {
  if (n < 1) return {};
  if (n > static_cast<int>(kResultLimit)) n = static_cast<int>(kResultLimit);
  return std::string(static_cast<std::size_t>(n), ch);
}

int StyleBits(const ReportFont& f) { return (f.italic ? 1 : 0) | (f.underline ? 2 : 0) | (f.strikeOut ? 4 : 0); }

// The 3-character field at 1-based position `at` of a statement ("l:ccc,lll,ccc,lll").
std::string_view FieldAt(std::string_view s, std::size_t at) {
  if (s.size() < at) return {};
  return s.substr(at - 1, 3);
}

}  // namespace

void ReportInterpreter::Impl::RecordFont(char kind, const FontSlot& slot) {
  AppendRecord(kind, slot.font.height, slot.font.weight, StyleBits(slot.font), static_cast<unsigned char>(slot.colour),
               slot.font.face);
}

void ReportInterpreter::Impl::SelectNumberedFont(char number) {
  Flush();
  const FontSlot& slot = number == '6' ? c.subTotalFont : c.fonts[number - '1'];
  c.currentFontNumber = number;
  c.specialActive = false;
  c.textColour = slot.colour;
  c.baselineShift = ConstantIs(38, 'O') ? slot.metrics.ascent + slot.metrics.externalLeading - c.defaultAscent : 0;
  RecordFont(number, slot);
}

void ReportInterpreter::Impl::StyleLetters() {
  Flush();
  // From the font in use: the special font's own description when it draws.
  ReportFont font = CurrentFontSlot().font;
  const char colour = CurrentFontSlot().colour;
  const char base = c.specialActive ? '5' : c.currentFontNumber;
  const std::string& s = statement;
  if (s.find('l') != std::string::npos) font.weight = 100;
  if (s.find('b') != std::string::npos) font.weight = 700;
  if (s.find('i') != std::string::npos) font.italic = true;
  if (s.find('u') != std::string::npos) font.underline = true;
  if (s.find('o') != std::string::npos) font.strikeOut = true;
  c.specialFont.font = font;
  c.specialFont.colour = colour;
  c.specialFont.metrics = m.Metrics(font);
  ApplyCreatedFontMetrics(font);
  c.specialActive = true;
  c.textColour = colour;
  AppendRecord('A', static_cast<unsigned char>(base), 0, 0, 0, s);
}

void ReportInterpreter::Impl::SpecialFont() {
  Flush();
  const std::string& s = statement;
  const char form = s[1];  // ':' for [P:], 'd' for [PD:], 'v' for [PV:]
  c.verticalFont = form == 'v';
  const std::string rest = s.substr(form == ':' ? 2 : 3);
  const FontText ft = ParseFontText(rest);
  ReportFont font;
  char colour = 'A';
  if (ft.hasComma) {
    font.height = form == 'd' ? c.defaultFont.font.height : -MulDiv(ft.points, m.Dpi(), 72);
    font.weight = ft.weight;
    colour = UpperCp1252(std::string(1, ft.colour))[0];
    font.italic = (ft.style & 1) != 0;
    font.underline = (ft.style & 2) != 0;
  } else {
    font.height = 0;
    font.weight = 100;
  }
  font.face = ft.face.substr(0, 31);
  if (c.verticalFont) font.escapement = 900;
  font.fixedPitch = c.cpiMode;
  c.specialFont.font = font;
  c.specialFont.colour = colour;
  c.specialFont.metrics = m.Metrics(font);
  ApplyCreatedFontMetrics(font);
  c.specialActive = true;
  c.textColour = colour;
  RecordFont(c.verticalFont ? '7' : '5', c.specialFont);
}

void ReportInterpreter::Impl::GridFromFont() {
  Flush();
  const std::string& s = statement;
  c.columnWidth = c.fontCharWidth < 1 ? 1 : c.fontCharWidth;
  c.columnsPerLine = (c.pageWidth - c.leftOffset) / c.columnWidth;
  if (c.columnsPerLine <= 0) c.columnsPerLine = 80;
  SetLineHeight(c.fontLineHeight);
  c.baselineShift = ConstantIs(38, 'O') ? c.fontAscent - c.defaultAscent : 0;
  const int reserve = s.size() > 4 && s[4] == '0' ? 0 : c.lineHeight / 5;
  c.linesPerPage = (c.pageHeight - 2 * reserve) / c.lineHeight;
  if (c.linesPerPage < 1) c.linesPerPage = 1;
  c.linesLeft = c.linesPerPage;
  c.widthWarningShown = true;
  if (s.size() > 4 && s[4] == 'd') {
    // The special font becomes the report's default and its initial numbered font.
    c.defaultCharWidth = c.fontCharWidth;
    c.defaultLineHeight = c.fontLineHeight;
    c.defaultAscent = c.fontAscent;
    c.defaultFont = c.specialFont;
    c.currentFontNumber = c.initialFontNumber;
    FontSlot& initial = c.fonts[c.initialFontNumber - '1'];
    initial = c.specialFont;
    c.specialActive = false;
    c.textColour = initial.colour;
    RecordFont(c.initialFontNumber, initial);
  }
}

void ReportInterpreter::Impl::Reflow() {
  const std::string_view rest = work.Rest();
  std::size_t end = rest.find("[txtfin]");
  if (end == std::string_view::npos) end = rest.find("[TXTFIN]");
  // Without its end mark the statement is only removed: nothing is reflowed.
  if (end == std::string_view::npos) return;
  std::string text(rest.substr(0, end));
  Drop(end + 8);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == kHardBlank) text[i] = ' ';
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') text[i] = text[i + 1] = ' ';
  }
  // [TXTFMT,margin,width]
  std::vector<int> items;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = statement.find(',', start);
    if (comma == std::string::npos) break;
    items.push_back(LeadingInt(std::string_view(statement).substr(comma + 1)));
    start = comma + 1;
  }
  int margin = items.size() >= 1 ? items[0] : 0;
  if (margin < 0 || margin > c.columnsPerLine) margin = 0;
  int width = items.size() >= 2 ? items[1] : c.columnsPerLine;
  if (width <= 0 || width > c.columnsPerLine) width = c.columnsPerLine;
  const ReportFont& font = CurrentFontSlot().font;
  const int room = width * c.columnWidth;
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && text[i] == ' ') ++i;
    std::size_t j = i;
    while (j < text.size() && text[j] != ' ') ++j;
    if (j > i) words.push_back(text.substr(i, j - i));
    i = j;
  }
  std::string out;
  std::string line;
  auto emit = [&](bool last) {
    out += std::string(static_cast<std::size_t>(margin), ' ');
    for (char& ch : line) {
      if (ch == ' ') ch = kHardBlank;
    }
    out += line;
    if (!last) out += "\r\n";
    line.clear();
  };
  for (const std::string& word : words) {
    if (line.empty()) {
      line = word;
    } else if (m.TextWidth(font, line + " " + word) <= room) {
      line += " " + word;
    } else {
      emit(false);
      line = word;
    }
  }
  if (!line.empty()) emit(true);
  Insert(out);
}

std::string ReportInterpreter::Impl::ResolveTemplateFile(const std::string& name, bool& ok) {
  ok = !IsBlank(name);
  if (!ok) return {};
  if (name[0] == '/') return name;
  std::string file = name;
  const std::size_t at = file.find("dossier.");
  if (at != std::string::npos) {
    file.replace(at, 8, LowerCp1252(Trimmed(env.DossierCode())) + ".");
    return env.DataFolder() + file;
  }
  return env.ProgramFolder() + file;
}

void ReportInterpreter::Impl::TextFile() {
  bool named = false;
  const std::string path = ResolveTemplateFile(TrimmedRight(std::string_view(statement).substr(4)), named);
  std::string content;
  if (!named || !env.ReadTextFile(path, content)) return;
  // The layout author's file: blanks kept as hard blanks, codes 24 and 25 live brackets.
  for (char& ch : content) {
    if (ch == ' ') ch = kHardBlank;
    else if (ch == '\x18') ch = '[';
    else if (ch == '\x19') ch = ']';
  }
  // The template leaves one empty line per file line after the first: they go.
  int extra = CountLines(content.c_str()) - 1;
  while (extra > 0 && work.Size() >= 2 && work.At(0) == '\r' && work.At(1) == '\n') {
    Drop(2);
    --extra;
  }
  Insert(content);
}

int ReportInterpreter::Impl::ColumnField(std::string_view field) const {
  if (!field.empty() && field[0] == 't') return c.columnsPerLine;
  return LeadingInt(field);
}

int ReportInterpreter::Impl::LineField(std::string_view field) const {
  if (field.empty()) return 0;
  switch (field[0]) {
    case 't': return c.linesPerPage;
    case 'm': return c.memorisedLine;
    case 'l': return (LeadingInt(field.substr(1, 2)) * c.lineHeight + c.currentY) / c.lineHeight;
    case '+':
    case '-': return (LeadingInt(field.substr(0, 3)) * c.lineHeight + c.currentY) / c.lineHeight;
    default: return LeadingInt(field);
  }
}

bool ReportInterpreter::Impl::Line() {
  const std::string_view s = statement;
  const int shift = ConstantIs(38, 'O') ? c.defaultAscent / 2 : 0;
  auto x = [&](int column) { return (column - 1) * c.columnWidth + c.columnWidth / 2 + c.lineStartX; };
  auto y = [&](int line) { return line * c.lineHeight - shift; };
  if (c.framesOn) {
    AppendRecord('L', x(ColumnField(FieldAt(s, 3))), y(LineField(FieldAt(s, 7))), x(ColumnField(FieldAt(s, 11))),
                 y(LineField(FieldAt(s, 15))), statement);
  }
  return true;
}

bool ReportInterpreter::Impl::Rectangle() {
  const std::string_view s = statement;
  const char kind = UpperCp1252(s.substr(0, 1))[0];
  const int shift = ConstantIs(38, 'O') ? c.defaultAscent / 2 : 0;
  auto x = [&](int column) { return (column - 1) * c.columnWidth + c.columnWidth / 2 + c.lineStartX; };
  auto y = [&](int line) { return line * c.lineHeight - shift; };
  if (c.framesOn) {
    AppendRecord(kind, x(ColumnField(FieldAt(s, 3))), y(LineField(FieldAt(s, 7))), x(ColumnField(FieldAt(s, 11))),
                 y(LineField(FieldAt(s, 15))), statement + std::string(1, c.fillColourLetter));
  }
  return true;
}

bool ReportInterpreter::Impl::Image() {
  const std::string_view s = statement;
  const int shift = ConstantIs(38, 'O') ? c.defaultAscent / 2 : 0;
  const int a = ColumnField(FieldAt(s, 3)), b = LineField(FieldAt(s, 7));
  const int third = s[0] == 'b' ? LeadingInt(FieldAt(s, 11)) : ColumnField(FieldAt(s, 11));
  const int fourth = s[0] == 'b' ? LeadingInt(FieldAt(s, 15)) : LineField(FieldAt(s, 15));
  Rect r;
  if (s[0] == 'b') {
    r = {a * c.columnWidth + c.lineStartX, b * c.lineHeight - shift, (a + third) * c.columnWidth + c.lineStartX,
         (b + fourth) * c.lineHeight - shift};
  } else {
    auto x = [&](int column) { return (column - 1) * c.columnWidth + c.columnWidth / 2 + c.lineStartX; };
    r = {x(a), b * c.lineHeight - shift, x(third), fourth * c.lineHeight - shift};
  }
  const std::string name = s.size() > 18 ? TrimmedRight(s.substr(18)) : std::string();
  std::string path = "CXDBrush";
  if (!IsBlank(name)) {
    bool named = false;
    path = ResolveTemplateFile(name, named);
    // A picture that cannot be found is left out; the run goes on.
    if (!env.FileExists(path)) return true;
  }
  AppendRecord('M', r.left, r.top, r.right, r.bottom, path);
  return true;
}

void ReportInterpreter::Impl::Barcode(int type, const std::string& value) {
  // The barcode stands where its statement stands: after the text of its line not drawn yet.
  int columns = 0;
  for (char ch : prefix) {
    if (ch != kAlignLeft && ch != kAlignCentre && ch != kAlignRight) ++columns;
  }
  const int x = c.currentX + columns * c.columnWidth;
  AppendRecord(BarcodeRecordKind(static_cast<BarcodeType>(type)), x, c.currentY, 0, c.lineHeight, value);
  Replace(std::string(value.size(), ' '));
}

bool ReportInterpreter::Impl::TryTab() {
  if (!FirstIn("t")) return false;
  if (statement == "tab") {
    Replace("\t");
    return true;
  }
  return false;
}

bool ReportInterpreter::Impl::TryLinePositions() {
  if (!FirstIn("dl")) return false;
  const std::string& s = statement;
  if (StartsWith(s, "derlig")) {
    Flush();
    const int count = CountLinesForRupture(work.Rest(), LineLetter(), c.pageBreakMark) +
                      LeadingInt(std::string_view(s).substr(6));
    const std::string c20 = env.Dossier().Constant(20);
    const bool down = c.ProgramOption(17) == 'O' || (!c20.empty() && (c20[0] == 'O' || c20[0] == 'V'));
    if (down && c.linesLeft > count) {
      c.linesLeft = count;
      c.currentY = TopOfLine(c.linesPerPage - count);
    }
    return true;
  }
  if (StartsWith(s, "ligfin-")) {
    Flush();
    const int n = LeadingInt(std::string_view(s).substr(7));
    if (c.linesLeft >= n) {
      c.linesLeft = n;
      c.currentY = TopOfLine(c.linesPerPage - n + 1);
    }
    return true;
  }
  if (StartsWith(s, "lig:")) {
    Flush();
    const int n = LeadingInt(std::string_view(s).substr(4));
    c.currentY = TopOfLine(n);
    c.linesLeft = c.linesPerPage - n;
    return true;
  }
  if (StartsWith(s, "lmm:")) {
    Flush();
    return true;
  }
  return false;
}

bool ReportInterpreter::Impl::TryMem() {
  if (!FirstIn("m")) return false;
  if (statement != "mem") return false;
  c.memorisedLine = (c.currentY - c.lineHeight / 5) / c.lineHeight + 1;
  c.currentY = TopOfLine(c.memorisedLine);
  return true;
}

void ReportInterpreter::Impl::NoteWideNumber(std::size_t length, int width) {
  if (width < 0 || length <= static_cast<std::size_t>(width)) return;
  // Where the prefix leaves off: each of its characters takes a column, the alignment marks
  // none; lines it still holds whole move the number down to a later line.
  const std::size_t lineStart = lineEnds.empty() ? 0 : lineEnds.back() + 1;
  int columns = 0;
  bool blank = true;
  for (std::size_t i = lineStart; i < prefix.size(); ++i) {
    const char ch = prefix[i];
    if (ch != kAlignLeft && ch != kAlignCentre && ch != kAlignRight) ++columns;
    if (ch != ' ' && ch != '\t' && ch != kHardBlank && ch != kAlignLeft && ch != kAlignCentre && ch != kAlignRight)
      blank = false;
  }
  wideNumber.active = true;
  wideNumber.y = c.currentY + static_cast<int>(lineEnds.size()) * c.lineHeight;
  wideNumber.startX = (lineEnds.empty() ? c.currentX : c.lineStartX) + columns * c.columnWidth;
  // Nothing but blanks before it since the position was set: the number (and those blanks) may
  // move left over the free columns, a blank column kept after what the line already shows.
  if (!lineEnds.empty() || !blank || c.columnWidth < 1) return;
  const int limit = inkY == c.currentY ? inkRight + c.columnWidth : c.lineStartX;
  const int free = wideNumber.startX > limit ? (wideNumber.startX - limit) / c.columnWidth : 0;
  const int move = std::min(free, static_cast<int>(length) - width);
  c.currentX -= move * c.columnWidth;
  wideNumber.startX -= move * c.columnWidth;
}

int ReportInterpreter::Impl::ShiftedColumnX(int x) {
  if (c.currentY != lineShiftY) {
    lineShift = 0;
    lineShiftY = c.currentY;
  }
  x += lineShift;
  if (wideNumber.active && wideNumber.y == c.currentY && x > wideNumber.startX) {
    // A column placed after a wide number keeps a blank column after the text written since;
    // the columns after it on this line move with it.
    const int need = c.currentX + c.columnWidth - x;
    if (need > 0) {
      lineShift += need;
      x += need;
    }
    wideNumber.active = false;
  } else if (wideNumber.active && wideNumber.y != c.currentY) {
    wideNumber.active = false;
  }
  return x;
}

bool ReportInterpreter::Impl::TryColumns() {
  if (!FirstIn("cn")) return false;
  const std::string& s = statement;
  if (StartsWith(s, "col:")) {
    Flush();
    c.currentX = ShiftedColumnX((LeadingInt(std::string_view(s).substr(4)) - 1) * c.columnWidth + c.lineStartX);
    return true;
  }
  if (StartsWith(s, "cmm:")) {
    Flush();
    return true;
  }
  if (StartsWith(s, "nlmax")) {
    c.linesLeft = c.linesPerPage;
    c.currentY = c.lineHeight / 5;
    c.currentX = c.lineStartX;
    return true;
  }
  if (StartsWith(s, "nl")) {
    Flush();
    const int n = LeadingInt(std::string_view(s).substr(2));
    c.currentY += n * c.lineHeight;
    c.linesLeft -= n;
    return true;
  }
  return false;
}

bool ReportInterpreter::Impl::TryFontsAndText() {
  if (!FirstIn("fpcdms-^<=>/t")) return false;
  const std::string& s = statement;
  if (s.size() == 2 && s[0] == 'f') {
    switch (s[1]) {
      case '1':
      case '2':
      case '3':
      case '4': SelectNumberedFont(s[1]); return true;
      case '+':
        if (c.currentFontNumber >= '1' && c.currentFontNumber <= '3') SelectNumberedFont(c.currentFontNumber + 1);
        return true;
      case '-':
        if (c.currentFontNumber >= '2' && c.currentFontNumber <= '4') SelectNumberedFont(c.currentFontNumber - 1);
        return true;
      case 'r': SelectNumberedFont(c.initialFontNumber >= '1' && c.initialFontNumber <= '4' ? c.initialFontNumber : '1'); return true;
      case 's': SelectNumberedFont('6'); return true;
      default: break;
    }
  }
  if (StartsWith(s, "fb") || StartsWith(s, "fl") || StartsWith(s, "fi") || StartsWith(s, "fu") || StartsWith(s, "fo")) {
    StyleLetters();
    return true;
  }
  if (StartsWith(s, "p:xy")) {
    GridFromFont();
    return true;
  }
  if (StartsWith(s, "px:")) {
    // A count of 0 would divide by zero: ignored.
    const int n = LeadingInt(std::string_view(s).substr(3));
    if (n > 0) {
      c.columnWidth = (c.pageWidth - c.leftOffset) / n;
      if (c.columnWidth < 1) c.columnWidth = 1;
      c.columnsPerLine = n;
    }
    return true;
  }
  if (StartsWith(s, "py:")) {
    const int n = LeadingInt(std::string_view(s).substr(3));
    if (n > 0) {
      c.linesPerPage = c.linesLeft = n;
      SetLineHeight(c.pageHeight / n);
      c.currentY = 0;
    }
    return true;
  }
  if (StartsWith(s, "p:") || StartsWith(s, "pd:") || StartsWith(s, "pv:")) {
    SpecialFont();
    return true;
  }
  if (StartsWith(s, "coul:")) {
    const char letter = s.size() > 5 ? UpperCp1252(s.substr(5, 1))[0] : 'A';
    c.textColour = letter;
    AppendRecord('9', 0, 0, 0, static_cast<unsigned char>(letter), "");
    return true;
  }
  if (StartsWith(s, "coult:")) {
    c.fillColourLetter = s.size() > 6 ? UpperCp1252(s.substr(6, 1))[0] : 'K';
    return true;
  }
  if (s == "crlf") {
    Replace("\r\n");
    return true;
  }
  if (s == "dblint") {
    Replace(ConstantIs(42, 'O') || ConstantIs(42, 'V') ? "\r\n" : "");
    return true;
  }
  if (StartsWith(s, "c:") || StartsWith(s, "d:")) {
    const int n = LeadingInt(std::string_view(s).substr(2));
    const int usable = c.pageWidth - c.leftOffset;
    const int x = s[0] == 'c' ? (usable - n * c.columnWidth) / 2 : usable - n * c.columnWidth;
    c.lineStartX = c.currentX = x;
    if (x < 0 && !c.widthWarningShown) {
      env.Beep();
      env.Warn(LoadStr(kCaptionAttention), LoadStr(kMsgTooWide));
      env.Beep();
      c.widthWarningShown = true;
    }
    return true;
  }
  if (StartsWith(s, "m:")) {
    c.lineStartX = c.currentX = LeadingInt(std::string_view(s).substr(2)) * c.columnWidth;
    return true;
  }
  if (StartsWith(s, "s:")) {
    Replace(Repeat(' ', LeadingInt(std::string_view(s).substr(2))));
    return true;
  }
  if (StartsWith(s, "-:")) {
    Replace(Repeat('-', LeadingInt(std::string_view(s).substr(2))));
    return true;
  }
  if (StartsWith(s, "^:")) {
    Replace(Repeat(kHardBlank, LeadingInt(std::string_view(s).substr(2))));
    return true;
  }
  if (s == "<" || s == "=" || s == ">") {
    Replace(std::string(" ") + (s == "<" ? kAlignLeft : s == "=" ? kAlignCentre : kAlignRight));
    return true;
  }
  if (StartsWith(s, "//")) return true;
  if (StartsWith(s, "sanstronquer")) {
    c.noTruncate = true;
    return true;
  }
  if (StartsWith(s, "txtfmt")) {
    Reflow();
    return true;
  }
  if (StartsWith(s, "txt:")) {
    TextFile();
    return true;
  }
  return false;
}

}  // namespace reports
