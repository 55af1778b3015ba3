#include "report_fixture.h"

#include <cstdint>
#include <sstream>

#include "reports/engine/core/report_text.h"
#include "runtime/numbers.h"
#include "runtime/text.h"

namespace reports {

namespace {

std::string WithoutCr(std::string line) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  std::string w;
  while (in >> w) words.push_back(w);
  return words;
}

// A balance as the windows write it ("99 999 999 999.99 Cr"): its cents, the side giving the sign;
// false for any other text.
bool BalanceCents(const std::string& text, std::int64_t& cents) {
  const std::string t = Trimmed(text);
  if (t.size() < 7 || (t.compare(t.size() - 3, 3, " Db") != 0 && t.compare(t.size() - 3, 3, " Cr") != 0)) return false;
  std::int64_t units = 0;
  int decimals = -1;
  for (std::size_t i = 0; i + 3 < t.size(); ++i) {
    const char c = t[i];
    if (c == '.' && decimals < 0) {
      decimals = 0;
    } else if (c >= '0' && c <= '9' && decimals < 2) {
      units = units * 10 + (c - '0');
      if (decimals >= 0) ++decimals;
    } else if (c != ' ' || decimals >= 0) {
      return false;
    }
  }
  if (decimals != 2) return false;
  cents = t[t.size() - 2] == 'C' ? -units : units;
  return true;
}

std::string CodeKey(std::string code) {
  code.resize(3, ' ');
  return code;
}

}  // namespace

bool ParseReportFixture(const std::string& text, ReportFixture& fixture, std::string& error) {
  fixture = ReportFixture();
  FixtureRecord* current = nullptr;
  std::size_t start = 0;
  int number = 0;
  while (start <= text.size()) {
    const std::size_t end = text.find('\n', start);
    const std::string line = WithoutCr(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    start = end == std::string::npos ? text.size() + 1 : end + 1;
    ++number;
    if (!line.empty() && line[0] == '#') continue;
    if (Trimmed(line).empty()) {
      current = nullptr;
      continue;
    }
    if (StartsWith(line, "VAR ")) {
      fixture.definitions.push_back(line.substr(4));
    } else if (StartsWith(line, "CONSTANT ") && line.size() >= 13 && line[12] == '=') {
      fixture.constants[LeadingInt(line.substr(9, 3))] = line.substr(13);
    } else if (StartsWith(line, "DOSSIER ") && line.find('=') != std::string::npos && LeadingInt(line.substr(8)) > 0) {
      fixture.dossier[LeadingInt(line.substr(8))] = line.substr(line.find('=') + 1);
    } else if (StartsWith(line, "LINE")) {
      const std::string letter = Trimmed(line.substr(4));
      fixture.records.push_back(FixtureRecord{letter.empty() ? ' ' : letter[0], {}});
      current = &fixture.records.back();
    } else if (line == "PREPARE") {
      current = &fixture.prepare;
    } else if (line == "END" || StartsWith(line, "END ")) {
      const std::string letter = Trimmed(line.substr(3));
      fixture.end = FixtureRecord{letter.empty() ? 'Z' : letter[0], {}};
      current = &fixture.end;
    } else if (StartsWith(line, "FAMILY ")) {
      fixture.family = Trimmed(line.substr(7));
    } else if (StartsWith(line, "PREFIX ")) {
      fixture.prefixes.push_back(UpperCp1252(Trimmed(line.substr(7))));
    } else if (StartsWith(line, "LETTERS ")) {
      fixture.letters = UpperCp1252(Trimmed(line.substr(8)));
    } else if (StartsWith(line, "LISTTYPES ")) {
      for (const std::string& w : Words(line.substr(10))) fixture.listTypes.push_back(UpperCp1252(w));
    } else if (StartsWith(line, "READS ")) {
      for (const std::string& w : Words(line.substr(6))) fixture.reads.push_back(LowerCp1252(w));
    } else if (StartsWith(line, "CODE ") && line.find('=') != std::string::npos) {
      const std::size_t eq = line.find('=');
      const std::string rest = line.substr(eq + 1);
      const std::size_t bar = rest.find('|');
      fixture.codes[CodeKey(line.substr(5, eq - 5))] = {rest.substr(0, bar),
                                                        bar == std::string::npos ? std::string() : rest.substr(bar + 1)};
    } else if (current != nullptr && line.find('=') != std::string::npos) {
      const std::size_t eq = line.find('=');
      current->values.emplace_back(UpperCp1252(Trimmed(line.substr(0, eq))), line.substr(eq + 1));
    } else {
      error = "Ligne " + std::to_string(number) + " incomprise: " + line;
      return false;
    }
  }
  return true;
}

bool FamilyReadsListType(const ReportFixture& fixture, const std::string& value) {
  const std::string v = UpperCp1252(value);
  for (const std::string& t : fixture.listTypes) {
    if (!t.empty() && t.back() == '*' ? StartsWith(v, t.substr(0, t.size() - 1)) : v == t) return true;
  }
  return false;
}

bool FamilyReads(const ReportFixture& fixture, const std::string& name) {
  const std::string n = LowerCp1252(name);
  for (const std::string& r : fixture.reads) {
    if (r == n) return true;
  }
  return false;
}

FixtureReportOwner::FixtureReportOwner(ReportFixture fixture) : fixture_(std::move(fixture)) {}

bool FixtureReportOwner::PrepareReport() {
  fields.SetFieldCount(static_cast<int>(fixture_.definitions.size()));
  fields.InitFieldTable();
  for (std::size_t i = 0; i < fixture_.definitions.size(); ++i)
    fields.DeclareField(static_cast<int>(i), fixture_.definitions[i].c_str());
  position_ = 0;
  Write(FixtureRecord());
  if (!fixture_.records.empty()) Apply(fixture_.records[0], true);
  lineType = fixture_.records.empty() ? std::string(1, fixture_.end.letter) : std::string(1, fixture_.records[0].letter);
  return !fixture_.records.empty();
}

void FixtureReportOwner::Apply(const FixtureRecord& record, bool arrivals) {
  for (const auto& [written, value] : record.values) {
    const bool arrival = !written.empty() && written[0] == '+';
    if (arrivals && !arrival) continue;
    const std::string name = arrival ? written.substr(1) : written;
    const int n = fields.FindField(name.c_str());
    if (n < 0) continue;
    const char type = FieldTypeOf(fields.Definition(n));
    std::int64_t cents = 0;
    if (type == 'N' || type == 'M') {
      fields.SetFieldNumber(n, Val(value.c_str()));
    } else if (static_cast<int>(value.size()) > FieldWidthOf(fields.Definition(n)) && BalanceCents(value, cents)) {
      // A balance wider than its variable, kept whole as the windows keep it.
      fields.SetFieldBalance(n, cents);
    } else {
      fields.SetFieldText(n, value.c_str());
    }
  }
}

void FixtureReportOwner::Write(const FixtureRecord& record) {
  fields.ClearFieldValues();
  Apply(fixture_.prepare, false);
  Apply(record, false);
}

void FixtureReportOwner::InitReport() {
  ++initCalls;
  if (position_ < fixture_.records.size()) Write(fixture_.records[position_]);
  else Apply(fixture_.end, false);
}

void FixtureReportOwner::ComputeLine() {
  ++computeCalls;
  if (position_ >= fixture_.records.size()) {
    // Past the last record the report keeps what it holds, and the end's values come on top.
    if (fixture_.end.values.empty()) fields.ClearFieldValues();
    Apply(fixture_.end, false);
    return;
  }
  Write(fixture_.records[position_]);
  ++lineCount;
}

bool FixtureReportOwner::NextRecord() {
  ++nextCalls;
  if (position_ + 1 >= fixture_.records.size()) {
    position_ = fixture_.records.size();
    lineType = std::string(1, fixture_.end.letter);
    // The end's values come on top of what the report holds as soon as its data ends.
    Apply(fixture_.end, false);
    return false;
  }
  ++position_;
  Apply(fixture_.records[position_], true);
  return true;
}

void FixtureReportOwner::ClassifyLine() {
  ++classifyCalls;
  if (position_ < fixture_.records.size()) lineType = std::string(1, fixture_.records[position_].letter);
}

std::string FixtureReportOwner::GetCodeLabel(const std::string& code) {
  auto it = fixture_.codes.find(CodeKey(code));
  return it == fixture_.codes.end() ? std::string() : it->second.first;
}

std::string FixtureReportOwner::GetCodeValue(const std::string& code) {
  auto it = fixture_.codes.find(CodeKey(code));
  return it == fixture_.codes.end() ? std::string() : it->second.second;
}

}  // namespace reports
