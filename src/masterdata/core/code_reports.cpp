#include "masterdata/core/code_reports.h"

#include "data/error_report.h"
#include "data/table.h"
#include "masterdata/core/code_kinds.h"
#include "masterdata/core/code_records.h"
#include "masterdata/core/code_values.h"
#include "masterdata/core/masterdata_strings.h"
#include "resources/string_table.h"
#include "runtime/code_helpers.h"
#include "runtime/report_fields.h"
#include "runtime/xbase.h"

namespace masterdata {

namespace {

bool OnKind(Table& t, char kind) {
  return t.isOpen && !t.eof && !t.bof && t.recordNumber != 0 && t.GetField(kKindField)[0] == kind;
}

std::string AccountNameOf(Table* c20, const std::string& account) {
  if (IsBlankAccount(account)) return std::string(30, ' ');
  if (c20 == nullptr || !SeekLiveAccount(*c20, account).FoundOrNone()) return LoadStr(kTextUnknown);
  return c20->GetField(2);
}

// The code of the current record does not pass the upper limit, compared on the limit's length.
bool WithinLimit(Table& c10, const std::string& to) {
  const std::string limit = RTrim(to.c_str());
  return limit.empty() || SliceOf(c10.GetField(kCodeField), 1, static_cast<int>(limit.size())) <= limit;
}

}  // namespace

bool PrepareCodeReport(Table& c10, const KindLayout& layout, ReportFieldTable& fields, const std::string& from,
                       const std::string& to) {
  const std::string key = std::string(1, layout.kind) + std::string(RTrim(from.c_str()));
  if (!c10.isOpen || !c10.FindNotBelow(kC10Tag, key.c_str()).IsFound()) return false;
  c10.SkipActive(false);
  if (!OnKind(c10, layout.kind) || !LiveOrSaid(c10).IsFound() || !WithinLimit(c10, to)) return false;
  if (!fields.Declared()) {
    const std::vector<std::string> definitions = ReportDefinitions(layout);
    fields.SetFieldCount(static_cast<int>(definitions.size()));
    fields.InitFieldTable();
    for (std::size_t i = 0; i < definitions.size(); ++i) fields.DeclareField(static_cast<int>(i), definitions[i].c_str());
  } else {
    fields.ClearFieldValues();
  }
  return true;
}

void ComputeCodeLine(Table& c10, Table* c20, const KindLayout& layout, ReportFieldTable& fields) {
  for (std::size_t i = 0; i < layout.report.size(); ++i) {
    const ReportVariable& v = layout.report[i];
    const int n = static_cast<int>(i);
    std::string value;
    switch (v.value) {
      case ReportValue::Stored: value = ReadSlice(c10, v.slice); break;
      case ReportValue::Normalized:
        value = ReadSlice(c10, v.slice);
        if (IsBlankAccount(value)) value.assign(value.size(), ' ');
        else NormalizeNumberText(value);
        break;
      case ReportValue::AccountName: value = AccountNameOf(c20, ReadSlice(c10, v.slice)); break;
      case ReportValue::Cut: value = SliceOf(fields.Value(v.other), v.start, v.length); break;
      case ReportValue::YesNo: value = LoadStr(ReadSlice(c10, v.slice) == "N" ? kTextNo : kTextYes); break;
      case ReportValue::LabelType: value = LabelTypeCell(ReadSlice(c10, v.slice)[0]); break;
    }
    fields.SetFieldText(n, value.c_str());
  }
}

bool NextCodeRecord(Table& c10, char kind, const std::string& to) {
  return c10.isOpen && c10.SkipActive(true) && OnKind(c10, kind) && WithinLimit(c10, to);
}

std::string LabelTypeEntry(char type) {
  for (int i = 0; i < kLabelTypeCount; ++i) {
    const std::string entry = LoadStr(kLabelTypeFirst + i);
    if (!entry.empty() && entry[0] == type) return entry;
  }
  return {};
}

std::string LabelTypeCell(char type) {
  if (type < '1' || type > '8') return std::string(11, ' ');
  const std::string entry = LabelTypeEntry(type);
  return std::string(1, type) + " - " + SliceOf(entry, 2, 7);
}

std::string LabelTypeChoice(char type) {
  const std::string entry = LabelTypeEntry(type);
  if (entry.empty()) return {};
  return std::string(1, type) + " - " + std::string(RTrim(SliceOf(entry, 2, 30).c_str()));
}

}  // namespace masterdata
