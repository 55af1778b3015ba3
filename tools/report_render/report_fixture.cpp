#include "report_fixture.h"

#include "reports/engine/core/report_text.h"
#include "runtime/numbers.h"

namespace reports {

namespace {

std::string WithoutCr(std::string line) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
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
    if (TrimBlanks(line).empty()) {
      current = nullptr;
      continue;
    }
    if (StartsWith(line, "VAR ")) {
      fixture.definitions.push_back(line.substr(4));
    } else if (StartsWith(line, "CONSTANT ") && line.size() >= 13 && line[12] == '=') {
      fixture.constants[LeadingInt(line.substr(9, 3))] = line.substr(13);
    } else if (StartsWith(line, "LINE")) {
      const std::string letter = TrimBlanks(line.substr(4));
      fixture.records.push_back(FixtureRecord{letter.empty() ? ' ' : letter[0], {}});
      current = &fixture.records.back();
    } else if (current != nullptr && line.find('=') != std::string::npos) {
      const std::size_t eq = line.find('=');
      current->values.emplace_back(UpperText(TrimBlanks(line.substr(0, eq))), line.substr(eq + 1));
    } else {
      error = "Ligne " + std::to_string(number) + " incomprise: " + line;
      return false;
    }
  }
  return true;
}

FixtureReportOwner::FixtureReportOwner(ReportFixture fixture) : fixture_(std::move(fixture)) {}

bool FixtureReportOwner::PrepareReport() {
  fields.SetFieldCount(static_cast<int>(fixture_.definitions.size()));
  fields.InitFieldTable();
  for (std::size_t i = 0; i < fixture_.definitions.size(); ++i)
    fields.DeclareField(static_cast<int>(i), fixture_.definitions[i].c_str());
  position_ = 0;
  lineType = fixture_.records.empty() ? "Z" : std::string(1, fixture_.records[0].letter);
  return !fixture_.records.empty();
}

void FixtureReportOwner::ComputeLine() {
  ++computeCalls;
  fields.ClearFieldValues();
  if (position_ >= fixture_.records.size()) return;
  for (const auto& [name, value] : fixture_.records[position_].values) {
    const int n = fields.FindField(name.c_str());
    if (n < 0) continue;
    const char type = FieldTypeOf(fields.Definition(n));
    if (type == 'N' || type == 'M') {
      fields.SetFieldNumber(n, Val(value.c_str()));
    } else {
      fields.SetFieldText(n, value.c_str());
    }
  }
  ++lineCount;
}

bool FixtureReportOwner::NextRecord() {
  ++nextCalls;
  if (position_ + 1 >= fixture_.records.size()) {
    position_ = fixture_.records.size();
    lineType = "Z";
    return false;
  }
  ++position_;
  return true;
}

void FixtureReportOwner::ClassifyLine() {
  ++classifyCalls;
  if (position_ < fixture_.records.size()) lineType = std::string(1, fixture_.records[position_].letter);
}

}  // namespace reports
