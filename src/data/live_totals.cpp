#include "data/live_totals.h"

#include <string_view>
#include <unordered_map>
#include <vector>

#include "data/collective_account.h"
#include "data/dossier_files.h"
#include "data/entry_lines.h"
#include "data/error_report.h"
#include "data/record_fields.h"
#include "data/table.h"
#include "data/table_scan.h"
#include "runtime/text.h"

namespace {

using L = LigneEcriture;

}  // namespace

bool LiveTotals(Table& c50, const std::set<TotalsRecord>& records, std::map<TotalsRecord, TotalsCents>* live) {
  std::unordered_map<std::string, TotalsCents*> headers;  // BMOIS + BJAL -> the header's totals
  std::set<std::string> accounts;
  std::unordered_map<std::string, TotalsCents*> sections;  // the section, trimmed -> its totals
  for (const TotalsRecord& record : records) {
    TotalsCents& total = (*live)[record];
    if (record.first == 'A') accounts.insert(record.second);
    else if (record.first == 'S') sections[TrimmedRight(record.second)] = &total;
    else headers[record.second.substr(0, 7)] = &total;
  }
  // A read the disk refused on the way works no total out: the collectives read short. A table that
  // did not open could not be read either: the general file is not one without collectives, nor the
  // closed file one without lines.
  const RefusalWatch reads;
  auto unopened = [](const Table& table) {
    RefusalWatch::NoteOpenRefused(table);
    return false;
  };
  // The collective of each letter of the auxiliary accounts (the general file's "B" records, a
  // cancelled one too: the first of a letter, as the moves' seek finds it).
  std::map<char, std::string> collectives;
  Table c10;
  if (!accounts.empty()) {
    if (!c10.OpenShared(PathC10(), "C10CODE", true)) return unopened(c10);
    collectives = CollectiveAccounts(c10);
  }
  // The totals the lines of an account go to (its own record's, its collective's), found once for
  // each account as stored.
  std::unordered_map<std::string, std::vector<TotalsCents*>> targets;
  Table c40;
  const bool hasClosed = !accounts.empty() || !sections.empty();
  if (hasClosed && !c40.OpenShared(PathC40(), "", true)) return unopened(c40);
  std::string stored, text;
  for (int pass = 0; pass < (hasClosed ? 2 : 1); ++pass) {
    const bool closed = pass == 1;
    Table& t = closed ? c40 : c50;
    const FieldLayout& kind = t.Layout(closed ? L::ClosedFieldOf(L::BCLE) : L::BCLE);
    const FieldLayout& sense = t.Layout(closed ? L::ClosedFieldOf(L::BSENS) : L::BSENS);
    const int fFrancs = closed ? L::ClosedFieldOf(L::BMONTANTF) : L::BMONTANTF;
    const int fEuros = closed ? L::ClosedFieldOf(L::BMONTANTE) : L::BMONTANTE;
    const int fCode = closed ? L::ClosedFieldOf(L::BCODE) : L::BCODE;
    const FieldLayout& code = t.Layout(fCode);
    const FieldLayout& month = t.Layout(L::BMOIS);
    const FieldLayout& journal = t.Layout(L::BJAL);
    // A field's bytes as stored (a month and a journal hold no NUL byte: the same as their text).
    auto bytes = [](const std::uint8_t* record, const FieldLayout& f) {
      return std::string_view(reinterpret_cast<const char*>(record) + f.offset, static_cast<std::size_t>(f.width));
    };
    const bool read = ScanRecords(t, [&](std::uint32_t, const std::uint8_t* record) {
      const char letter = static_cast<char>(record[kind.offset]);
      if (record[0] == '*') return;
      if (letter == 'W' || letter == 'Y') {
        if (sections.empty()) return;
        FieldTextOf(t, fCode, record, text);
        if (const auto section = sections.find(TrimmedRight(text)); section != sections.end())
          section->second->Add(record[sense.offset] == 'D', FieldCentsOf(t, fFrancs, record),
                               FieldCentsOf(t, fEuros, record));
        return;
      }
      if (letter != 'Z') return;
      TotalsCents line;
      line.Add(record[sense.offset] == 'D', FieldCentsOf(t, fFrancs, record), FieldCentsOf(t, fEuros, record));
      if (!closed && !headers.empty()) {
        stored.assign(bytes(record, month)).append(bytes(record, journal));
        if (const auto header = headers.find(stored); header != headers.end()) *header->second += line;
      }
      if (accounts.empty()) return;
      stored.assign(bytes(record, code));
      auto to = targets.find(stored);
      if (to == targets.end()) {
        std::vector<TotalsCents*> moved;
        FieldTextOf(t, fCode, record, text);
        const std::string account = NormalizeAccount(text);
        if (accounts.count(account) != 0) moved.push_back(&(*live)[{'A', account}]);
        if (IsAuxiliaryAccount(account))
          if (const auto collective = collectives.find(account[0]);
              collective != collectives.end() && accounts.count(collective->second) != 0)
            moved.push_back(&(*live)[{'A', collective->second}]);
        to = targets.emplace(stored, std::move(moved)).first;
      }
      for (TotalsCents* total : to->second) *total += line;
    });
    if (!read) {
      RefusalWatch::NoteAll(t);
      return false;
    }
  }
  return !reads.ReadRefused();
}
