#include "masterdata/core/record_text_keywords.h"

#include "resources/string_table.h"
#include "runtime/xbase.h"
#include "reports/engine/core/report_texts.h"

namespace masterdata {
namespace {

constexpr const char* kReportOwnLinesHeader = "// Variables et Mots-Cl\xE9s sp\xE9" "cifiques \xE0 cet Etat";

bool Readable(const std::string* line) { return line != nullptr && !IsBlank(*line); }

// Lines from `first` up to a missing or blank one.
void AddLinesFrom(int first, const StringLookup& text, std::vector<std::string>& out) {
  for (int id = first;; ++id) {
    const std::string* line = text(id);
    if (!Readable(line)) return;
    out.push_back(*line);
  }
}

// The report's own help, the one look-up the report editor and the settings share.
void AddReportSection(const std::string& prefix, const StringLookup& text, std::vector<std::string>& out) {
  const std::vector<std::string> help = settings::ReportVariableHelp(prefix, text);
  if (help.empty()) return;
  out.push_back(kReportOwnLinesHeader);
  out.insert(out.end(), help.begin(), help.end());
}

KeywordList Titled(int titleId, const StringLookup& text) {
  KeywordList list;
  if (const std::string* title = text(titleId)) list.title = *title;
  AddLinesFrom(titleId + 1, text, list.lines);
  return list;
}

}  // namespace

const std::string* StringTableText(int id) { return resources::FindString(id); }

std::string ReportPrefix(const std::string& code) {
  const std::string trimmed = RTrim(code.c_str());
  const std::size_t dash = trimmed.find('-');
  return dash == std::string::npos ? trimmed : trimmed.substr(0, dash + 1);
}

std::string InsertableText(const std::string& line) {
  const std::string text = line.substr(0, line.find('\t'));
  if (IsBlank(text) || text.compare(0, 2, "//") == 0) return {};
  return text;
}

KeywordList KeywordListFor(const RecordTextType& type, const std::string& code, char analyticMode,
                           const StringLookup& text) {
  switch (type.designation) {
    case '1':
      if (type.kind == 'M') return Titled(kModelKeywordsTitle, text);
      return {};
    case '2': {
      const char first = code.empty() ? ' ' : code[0];
      const bool digit = first >= '0' && first <= '9';
      if (analyticMode == '1' || (analyticMode == '2' && digit)) return Titled(kAnalyticKeywordsTitle, text);
      if (static_cast<unsigned char>(first) >= 'A') return Titled(kTransferExampleTitle, text);
      return {};
    }
    case 'Y':
    case 'Z': {
      KeywordList list;
      AddReportSection(ReportPrefix(code), text, list.lines);
      if (const std::string* title = text(kReportKeywordsTitle)) list.title = *title;
      AddLinesFrom(kReportKeywordsTitle + 1, text, list.lines);
      return list;
    }
    default:
      return {};
  }
}

}  // namespace masterdata
