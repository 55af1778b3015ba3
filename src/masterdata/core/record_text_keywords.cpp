#include "masterdata/core/record_text_keywords.h"

#include <cstdlib>
#include <set>

#include "resources/string_table.h"
#include "runtime/xbase.h"

namespace masterdata {
namespace {

// Most lines a report's own help may chain through numbered continuations.
constexpr int kMostReportLines = 2000;
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

// A line that holds only a number names the string id where the section goes on.
int ContinuationId(const std::string& line) {
  const std::string t = AllTrim(line.c_str());
  if (t.empty() || t.find_first_not_of("0123456789") != std::string::npos) return 0;
  return std::atoi(t.c_str());
}

// The section of the report help whose header names the prefix: "\" + prefix anywhere in a
// line that begins with "\" ("\EBA-\EBB-\EBC-\EBS-" serves four reports).
void AddReportSection(const std::string& prefix, const StringLookup& text, std::vector<std::string>& out) {
  if (prefix.empty()) return;
  const std::string* lastText = text(kReportHelpLast);
  const int last = lastText != nullptr ? std::atoi(lastText->c_str()) : 0;
  const std::string wanted = "\\" + prefix;
  for (int id = kReportHelpFirst; id <= last; ++id) {
    const std::string* header = text(id);
    if (header == nullptr || header->empty() || (*header)[0] != '\\' || header->find(wanted) == std::string::npos)
      continue;
    out.push_back(kReportOwnLinesHeader);
    std::set<int> visited;
    int next = id + 1;
    for (int n = 0; n < kMostReportLines && visited.insert(next).second; ++n) {
      const std::string* line = text(next);
      if (!Readable(line)) return;
      if (const int jump = ContinuationId(*line); jump > 0) {
        next = jump;
        continue;
      }
      out.push_back(*line);
      ++next;
    }
    return;
  }
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
