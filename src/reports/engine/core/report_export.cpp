#include "reports/engine/core/report_export.h"

#include <cstdio>

#include "data/write_targets.h"
#include "platform/system/files.h"
#include "reports/engine/core/report_text.h"
#include "resources/string_table.h"
#include "runtime/text.h"

namespace reports {

namespace {

constexpr std::size_t kFlushSize = 64 * 1024;
constexpr const char* kCrLf = "\r\n";
// The export file that could not be made, or written to (%s: its path).
constexpr int kMsgNotCreated = 19520;
constexpr int kMsgNotWritten = 19521;
// The comments of an HTML export: the width left automatic, the width it takes (%s: the columns).
constexpr int kHtmlAutomaticWidth = 23703;
constexpr int kHtmlRealWidth = 23704;

// "-1234,50", "0", "12": an optional minus, digits without a leading zero (but a lone one), and
// the export's decimal mark with digits.
bool PlainNumberCell(std::string_view text, char decimalMark) {
  std::size_t i = text.size() > 1 && text[0] == '-' ? 1 : 0;
  const std::size_t digits = i;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
  if (i == digits || (text[digits] == '0' && i - digits > 1)) return false;
  if (i == text.size()) return true;
  if (text[i] != decimalMark || i + 1 == text.size()) return false;
  for (++i; i < text.size(); ++i)
    if (text[i] < '0' || text[i] > '9') return false;
  return true;
}

bool IsCellBreak(char c) { return c == ' ' || c == '\t' || c == kAlignLeft || c == kAlignCentre || c == kAlignRight; }

std::string TableOpening(char variant, int style) {
  std::string t = "<table width='100%'";
  if (variant >= '1' && variant <= '9') {
    t += " border='";
    t += variant;
    t += "' cellspacing='0' cellpadding='5'";
  } else if (style == 1 || style == 2) {
    const char* colour = style == 1 ? "#ffff80" : "#00ffff";
    t += " cellspacing='0' cellpadding='5' bordercolorlight='";
    t += colour;
    t += "' bordercolordark='";
    t += colour;
    t += "' bordercolor='#ffffff' bgcolor='";
    t += colour;
    t += "'";
  }
  return t + ">";
}

}  // namespace

std::string DelimiterText(std::string_view delimiter) {
  const std::string d = UpperCp1252(Trimmed(delimiter));
  if (d == "TAB") return "\t";
  if (d == "NON") return "";
  if (d.empty()) return ";";
  return Trimmed(delimiter);
}

std::string HtmlEscaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '&': out += "&amp;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c; break;
    }
  }
  return out;
}

std::string HtmlRowOpening(int& style) {
  switch (style) {
    case 1: return "<tr bgcolor='#ffff80'>";
    case 2: return "<tr bgcolor='#00ffff'>";
    case 3:
      style = 4;
      return "<tr bgcolor='#eeeee0'>";
    case 4:
      style = 3;
      return "<tr>";
    default: return "<tr>";
  }
}

ReportExportFile::~ReportExportFile() = default;

int ReportExportFile::Handle() const {
  switch (state_) {
    case State::kOpen:
    case State::kWriteFailed: return 1;
    case State::kCreateFailed: return -1;
    default: return 0;
  }
}

void ReportExportFile::Fail(bool creation) {
  failure_ = FillPlaceholder(LoadStr(creation ? kMsgNotCreated : kMsgNotWritten), path_);
  failureShown_ = false;
  if (creation) {
    state_ = State::kCreateFailed;
  } else {
    writeFailed_ = true;
    state_ = State::kWriteFailed;
    buffer_.clear();
  }
}

bool ReportExportFile::Create(const std::string& path, ExportSettings& settings, const std::string& htmlTitle,
                              int columnsPerLine) {
  if (Handle() != 0) return IsOpen();
  path_ = path;
  buffer_.clear();
  written_ = 0;
  lineOpen_ = false;
  cellsInLine_ = 0;
  writeFailed_ = false;
  failure_.clear();
  closedEmpty_ = false;
  // Never written over a file of the dossier or of the program.
  const std::string refusal = WriteTargetRefusal(path);
  if (!refusal.empty()) {
    Fail(true);
    failure_ = refusal;
    return false;
  }
  // Written aside and renamed over the name at the end: the name itself is never opened, so that
  // a pipe or a device put there after the check blocks nothing (the rename replaces it).
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  stamp_ = platform::FileStamp(path);
  if (!aside_.Create(name + ".", folder)) {
    Fail(true);
    return false;
  }
  state_ = State::kOpen;
  // A delimiter "NON" means a fixed-width export, as [ExportSansDelimiteur] does (which stays
  // in force when it was given before the file was made).
  if (!settings.html && UpperCp1252(Trimmed(settings.delimiter)) == "NON") settings.noDelimiter = true;
  if (settings.html) {
    char columns[8];
    std::snprintf(columns, sizeof columns, "%3d", columnsPerLine);
    std::string head;
    head += "<html>\r\n<head>\r\n";
    head += "<meta http-equiv='Content-Type' content='text/html; charset=windows-1252'>\r\n";
    head += "<title>\r\n" + HtmlEscaped(htmlTitle) + "\r\n</title>\r\n";
    head += "</head>\r\n<body>\r\n<center>\r\n";
    head += std::string("<!-- ") + LoadStr(kHtmlAutomaticWidth) + " -->\r\n";
    head += "<!-- " + FillPlaceholder(LoadStr(kHtmlRealWidth), columns) + " -->\r\n";
    head += "<table width='100%' border='1'>\r\n<tr>\r\n<td>\r\n";
    head += "<table width='100%'>\r\n";
    head += HtmlRowOpening(settings.htmlStyle);
    head += kCrLf;
    Put(head);
  }
  return IsOpen();
}

void ReportExportFile::Put(std::string_view bytes) {
  if (state_ != State::kOpen) return;
  buffer_.append(bytes);
  if (buffer_.size() >= kFlushSize) Flush();
}

void ReportExportFile::Flush() {
  if (state_ != State::kOpen || buffer_.empty()) return;
  if (!aside_.Write(buffer_)) {
    Fail(false);
    return;
  }
  written_ += buffer_.size();
  buffer_.clear();
}

void ReportExportFile::PutLineEnd(const ExportSettings& settings) {
  switch (settings.lineEnd) {
    case '2': Put("\r"); break;
    case '3': Put("\n"); break;
    case '4': break;
    default: Put(kCrLf); break;
  }
}

void ReportExportFile::WriteCell(std::string_view cell, ExportSettings& settings) {
  // A cell holds no blank but its hard blanks: trimmed of those, then made plain.
  std::size_t first = 0, last = cell.size();
  while (first < last && cell[first] == kHardBlank) ++first;
  while (last > first && cell[last - 1] == kHardBlank) --last;
  cell_.assign(cell.data() + first, last - first);
  UnescapeBrackets(cell_);
  WriteCellText(cell_, settings);
}

void ReportExportFile::WriteCellText(std::string_view text, ExportSettings& settings) {
  if (settings.html) {
    std::string td = "<td";
    if (settings.htmlColumnWidth > 0) {
      td += " width='" + std::to_string(settings.htmlColumnWidth) + "%'";
      settings.htmlColumnWidth = 0;
    }
    td += ">";
    std::string open, close;
    if (settings.htmlFontSize >= '1' && settings.htmlFontSize <= '9') {
      open += std::string("<font size='") + settings.htmlFontSize + "'>";
      close = "</font>" + close;
    }
    const char attribute = static_cast<char>(LowerCp1252(std::string(1, settings.htmlFontAttribute))[0]);
    if (attribute == 'i' || attribute == 'b' || attribute == 'u') {
      open += std::string("<") + attribute + ">";
      close = std::string("</") + attribute + ">" + close;
    }
    Put(td + open + HtmlEscaped(text) + close + "</td>");
    ++cellsInLine_;
    return;
  }
  // The delimiter is a few characters: compared in place rather than through a call per cell.
  const std::string& asked = settings.delimiter;
  bool same = asked.size() == delimiterOf_.size();
  for (std::size_t i = 0; same && i < asked.size(); ++i) same = asked[i] == delimiterOf_[i];
  if (!same) {
    delimiterOf_ = settings.delimiter;
    delimiter_ = DelimiterText(settings.delimiter);
  }
  const std::string& delimiter = delimiter_;
  if (cellsInLine_ > 0) Put(delimiter);
  if (settings.csv) {
    // Only a plain number goes bare: a code, a piece, a date or any other text is quoted, so that
    // a spreadsheet keeps "000004" or "(002262)" as written rather than reading a number.
    bool quote = !text.empty() && !PlainNumberCell(text, settings.decimalMark);
    if (quote) {
      if (state_ == State::kOpen) {
        buffer_ += '"';
        std::size_t from = 0;
        for (std::size_t at = text.find('"'); at != std::string_view::npos; at = text.find('"', at + 1)) {
          buffer_.append(text, from, at + 1 - from);
          buffer_ += '"';
          from = at + 1;
        }
        buffer_.append(text.substr(from));
        buffer_ += '"';
        if (buffer_.size() >= kFlushSize) Flush();
      }
      ++cellsInLine_;
      return;
    }
  }
  Put(text);
  ++cellsInLine_;
}

void ReportExportFile::WriteSegment(std::string_view segment, ExportSettings& settings) {
  if (state_ != State::kOpen || segment.empty()) return;
  lineOpen_ = true;
  if (settings.noDelimiter && !settings.html) {
    std::string text;
    text.reserve(segment.size());
    for (char c : segment) {
      if (c == kAlignLeft || c == kAlignCentre || c == kAlignRight) continue;
      text += c;
    }
    UnescapeBrackets(text);
    Put(text);
    return;
  }
  std::size_t i = 0;
  while (i < segment.size()) {
    if (IsCellBreak(segment[i])) {
      ++i;
      continue;
    }
    std::size_t j = i;
    while (j < segment.size() && !IsCellBreak(segment[j])) ++j;
    WriteCell(segment.substr(i, j - i), settings);
    i = j;
  }
}

void ReportExportFile::EndLine(ExportSettings& settings) {
  if (state_ != State::kOpen) return;
  if (settings.html) {
    if (cellsInLine_ > 0) {
      Put("</tr>\r\n");
      Put(HtmlRowOpening(settings.htmlStyle));
      Put(kCrLf);
    }
  } else {
    PutLineEnd(settings);
  }
  lineOpen_ = false;
  cellsInLine_ = 0;
}

void ReportExportFile::EndOpenLine(ExportSettings& settings) {
  if (lineOpen_) EndLine(settings);
}

void ReportExportFile::NewHtmlTable(char variant, ExportSettings& settings) {
  if (state_ != State::kOpen || !settings.html) return;
  Put("</tr>\r\n</table>\r\n");
  Put(TableOpening(variant, settings.htmlStyle));
  Put(kCrLf);
  Put(HtmlRowOpening(settings.htmlStyle));
  Put(kCrLf);
  lineOpen_ = false;
  cellsInLine_ = 0;
}

void ReportExportFile::WriteLine(std::string_view text, const ExportSettings& settings) {
  if (state_ != State::kOpen) return;
  Put(text);
  PutLineEnd(settings);
}

bool ReportExportFile::Close(const ExportSettings& settings) {
  if (state_ == State::kOpen && settings.html) {
    Put("</tr>\r\n</table>\r\n</td>\r\n</tr>\r\n</table>\r\n</center>\r\n</body>\r\n</html>\r\n");
  }
  Flush();
  if (aside_.IsOpen()) {
    if (state_ != State::kOpen) {
      aside_.Discard();
    } else if (platform::FileStamp(path_) != stamp_) {
      // The owner's own file took the name during the run: it is the run's file.
      aside_.Discard();
    } else if (written_ == 0) {
      aside_.Discard();
      closedEmpty_ = true;
    } else if (!aside_.Place(path_)) {
      Fail(false);
    }
  }
  if (state_ == State::kOpen) state_ = State::kClosed;
  return !writeFailed_ && state_ == State::kClosed;
}

void ReportExportFile::Abandon() {
  if (state_ != State::kOpen) return;
  buffer_.clear();
  aside_.Discard();
  // Failed, without a message of its own: the owner has said why.
  state_ = State::kWriteFailed;
  writeFailed_ = true;
  failure_.clear();
  failureShown_ = true;
}

void ReportExportFile::Reset() {
  // A file written aside never stands incomplete under its name.
  incompletePath_.clear();
  aside_.Discard();
  closedEmpty_ = false;
  stamp_.clear();
  state_ = State::kNone;
  path_.clear();
  buffer_.clear();
  written_ = 0;
  lineOpen_ = false;
  cellsInLine_ = 0;
  writeFailed_ = false;
  failure_.clear();
  failureShown_ = false;
}

ReportExportFile& ExportFile() {
  static ReportExportFile file;
  return file;
}

}  // namespace reports
