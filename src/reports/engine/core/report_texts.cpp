#include "reports/engine/core/report_texts.h"

#include <cstdlib>
#include <set>

#include "platform/system/cp1252.h"
#include "resources/string_table.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace settings {

namespace {

constexpr const char* kSectionMark = "#ETAT=";
constexpr int kHelpLastId = 6300;   // holds the last id of the blocks
constexpr int kHelpFirstId = 6301;
constexpr int kMostHelpLines = 2000;  // a chain of continuations never runs away
constexpr int kMsgUtf8BeyondCp1252 = 23702;

bool Readable(const std::string* line) { return line != nullptr && !IsBlank(*line); }

// A line that holds only a number names the string id where the block goes on.
int ContinuationId(const std::string& line) {
  const std::string t = Trimmed(line);
  if (t.empty() || t.find_first_not_of("0123456789") != std::string::npos) return 0;
  return std::atoi(t.c_str());
}

// The prefixes a heading line names: "\EBA-\EBB-" gives "EBA-" and "EBB-".
std::vector<std::string> HeadingPrefixes(const std::string& line) {
  std::vector<std::string> out;
  if (line.empty() || line[0] != '\\') return out;
  std::size_t at = 1;
  while (at <= line.size()) {
    std::size_t next = line.find('\\', at);
    if (next == std::string::npos) next = line.size();
    const std::string p = Trimmed(line.substr(at, next - at));
    if (!p.empty()) out.push_back(p);
    at = next + 1;
  }
  return out;
}

int LastHelpId(const HelpLookup& text) {
  const std::string* last = text(kHelpLastId);
  return last != nullptr ? std::atoi(last->c_str()) : 0;
}

}  // namespace

std::string ReportExportName(const std::string& code) {
  const std::string t = Trimmed(code);
  if (t.empty() || t.find('/') != std::string::npos || t == "." || t == "..") return {};
  return "C-Etat-" + t + ".txt";
}

bool DecodeReportText(const std::string& bytes, std::string& cp1252, std::string& error) {
  static const std::string kBom = "\xEF\xBB\xBF";
  const bool bom = bytes.compare(0, kBom.size(), kBom) == 0;
  const std::string body = bom ? bytes.substr(kBom.size()) : bytes;
  bool beyondAscii = false;
  for (unsigned char c : body)
    if (c >= 0x80) beyondAscii = true;
  if (bom || (beyondAscii && platform::IsWellFormedUtf8(body))) {
    if (!platform::Utf8ToCp1252(body, cp1252, platform::Unassigned::kRefuse)) {
      error = LoadStr(kMsgUtf8BeyondCp1252);
      return false;
    }
    return true;
  }
  cp1252 = body;
  return true;
}

std::vector<ReportSection> ParseReportSetText(const std::string& text) {
  std::vector<ReportSection> sections;
  const std::string mark = kSectionMark;
  std::size_t at = 0;
  ReportSection* current = nullptr;
  while (at < text.size()) {
    std::size_t eol = text.find('\n', at);
    const std::size_t next = eol == std::string::npos ? text.size() : eol + 1;
    const std::string line = text.substr(at, next - at);
    if (line.compare(0, mark.size(), mark) == 0) {
      std::string head = line.substr(mark.size());
      while (!head.empty() && (head.back() == '\n' || head.back() == '\r')) head.pop_back();
      const std::size_t tab = head.find('\t');
      ReportSection s;
      s.code = Trimmed(head.substr(0, tab));
      if (tab != std::string::npos) s.name = Trimmed(head.substr(tab + 1));
      sections.push_back(s);
      current = &sections.back();
    } else if (current != nullptr) {
      current->text += line;
    }
    at = next;
  }
  return sections;
}

const ReportSection* FindReportSection(const std::vector<ReportSection>& sections, const std::string& code) {
  const std::string wanted = UpperCp1252(Trimmed(code));
  for (const ReportSection& s : sections)
    if (UpperCp1252(s.code) == wanted) return &s;
  return nullptr;
}

std::vector<std::string> ParseReportList(const std::string& text) {
  std::vector<std::string> codes;
  std::size_t at = 0;
  while (at <= text.size()) {
    std::size_t eol = text.find('\n', at);
    if (eol == std::string::npos) eol = text.size();
    std::string line = text.substr(at, eol - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string code = UpperCp1252(Trimmed(line));
    if (!code.empty()) codes.push_back(code);
    at = eol + 1;
  }
  return codes;
}

// ---- help ---------------------------------------------------------------------------------------------------------

const std::string* HelpStringText(int id) { return resources::FindString(id); }

std::string ReportHelpHeading(const std::string& prefix) {
  const std::string p = UpperCp1252(Trimmed(prefix));
  return p == "EDD-" ? std::string("ED-") : p;
}

std::vector<std::string> ReportVariableHelp(const std::string& prefix, const HelpLookup& text) {
  std::vector<std::string> lines;
  const std::string heading = ReportHelpHeading(prefix);
  if (heading.empty()) return lines;
  const int last = LastHelpId(text);
  for (int id = kHelpFirstId; id <= last; ++id) {
    const std::string* header = text(id);
    if (header == nullptr || header->empty() || (*header)[0] != '\\') continue;
    bool named = false;
    for (const std::string& p : HeadingPrefixes(*header))
      if (UpperCp1252(p) == heading) named = true;
    if (!named) continue;
    std::set<int> visited;
    int next = id + 1;
    for (int n = 0; n < kMostHelpLines && visited.insert(next).second; ++n) {
      const std::string* line = text(next);
      if (!Readable(line)) break;
      if (const int jump = ContinuationId(*line); jump > 0) {
        next = jump;
        continue;
      }
      lines.push_back(*line);
      ++next;
    }
    break;
  }
  return lines;
}

std::vector<std::string> ReportHelpPrefixes(const HelpLookup& text) {
  std::vector<std::string> prefixes;
  const int last = LastHelpId(text);
  for (int id = kHelpFirstId; id <= last; ++id) {
    const std::string* header = text(id);
    if (header == nullptr || header->empty() || (*header)[0] != '\\') continue;
    for (const std::string& p : HeadingPrefixes(*header)) prefixes.push_back(p);
  }
  return prefixes;
}

}  // namespace settings
