#include "posting/line_changes.h"

#include <vector>

#include "data/account_totals.h"
#include "data/entry_lines.h"
#include "data/record_fields.h"
#include "data/table.h"
#include "data/table_results.h"
#include "resources/string_table.h"
#include "runtime/logfile.h"
#include "runtime/numbers.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace posting {

namespace {

// The dossier log's line of a line whose sort record was missing, by its id in the string table.
constexpr int kLogSortRecordMade = 22043;

using L = LigneEcriture;

struct Amounts {
  std::string sense;
  double francs = 0, euros = 0;
};

Amounts AmountsOf(Table& c50) {
  return {std::string(1, c50.GetField(L::BSENS)[0]), FromCents(StoredAmountOf(c50, L::BMONTANTF)),
          FromCents(StoredAmountOf(c50, L::BMONTANTE))};
}

// The sort record of the current line made current on C60; a missing one is derived again.
bool SortRecordOf(Table& c50, Table& c60) {
  const std::uint32_t recno = c50.recordNumber;
  if (LigneTri::Find(c60, LigneTri::kDraft, recno)) return true;
  WriteLog(FillPlaceholder(LoadStr(kLogSortRecordMade), std::to_string(recno)));
  if (!AppendLigneTri(c50, LigneTri::kDraft, c60)) return false;
  // The new record takes the line's cancel mark.
  if (c50.IsDeleted() && LigneTri::Find(c60, LigneTri::kDraft, recno)) {
    c60.DeleteRecord(nullptr, 0);
    UnlockRecord(c60);
  }
  return LigneTri::Find(c60, LigneTri::kDraft, recno);
}

// The cancel mark set or removed on the current sort record.
void MarkSortRecord(Table& c60, bool cancel) {
  if (c60.IsDeleted() == cancel) return;
  if (cancel ? c60.DeleteRecord(c60.RecordToText(LigneTri::TREC), 0) : c60.RecallRecord(c60.RecordToText(LigneTri::TREC), 0))
    UnlockRecord(c60);
}

void PostLine(Table& c50, char sign) {
  const Amounts a = AmountsOf(c50);
  const std::string op = std::string(1, sign) + (a.sense == "D" ? "D" : "C");
  const std::string account = c50.GetField(L::BCODE);
  const std::string header = std::string(c50.GetField(L::BMOIS)) + c50.GetField(L::BJAL) + "B";
  MajCompteC20(account.c_str(), op.c_str(), a.francs, a.euros);
  MajCentC10(header.c_str(), op.c_str(), a.francs, a.euros);
}

bool OnGeneralLine(Table& c50, std::uint32_t recno) {
  return c50.isOpen && c50.GoTo(static_cast<long>(recno)) && c50.GetField(L::BCLE)[0] == L::kGeneral;
}

}  // namespace

bool IsLettered(Table& c50) { return !IsBlank(c50.GetField(L::BLET)) || !IsBlank(c50.GetField(L::BLETE)); }

LineChange CancelLine(Table& c50, Table& c60, std::uint32_t recno, const std::string& recordText,
                      long* analyticCancelled) {
  if (analyticCancelled != nullptr) *analyticCancelled = 0;
  if (!OnGeneralLine(c50, recno)) return LineChange::NoLine;
  if (c50.IsDeleted()) return LineChange::AlreadyDone;
  // Locked first, so that the line is read as it stands now: another station may have just
  // matched it.
  if (!LockRecord(c50, recordText.c_str(), 0)) return LineChange::LockRefused;
  const bool held = c50.result == kResultAlreadyLocked;
  const LineChange refused = c50.IsDeleted() ? LineChange::AlreadyDone : IsLettered(c50) ? LineChange::Lettered : LineChange::Done;
  if (refused == LineChange::Done) c50.DeleteRecord(recordText.c_str(), 0);
  if (!held) UnlockRecord(c50);
  if (refused != LineChange::Done) return refused;
  if (SortRecordOf(c50, c60)) MarkSortRecord(c60, true);
  c50.GoTo(static_cast<long>(recno));
  PostLine(c50, '-');

  // Its analytic lines, live ones, with their sort records and their sections.
  c50.GoTo(static_cast<long>(recno));
  const std::string key = L::AnalyticKey(c50);
  std::vector<std::uint32_t> analytic;
  for (bool more = c50.SeekNotBelow(L::kAnalyticTag, key.c_str()); more; more = c50.Skip(1)) {
    const char m = c50.MatchKey(key.c_str(), L::kAnalyticKeyLength, L::BMOIS, L::BJAL, L::BPIECE, L::BCG, L::BNUM);
    if (m == 'O') analytic.push_back(c50.recordNumber);
    else if (m != 'o') break;
  }
  c50.SetOrder(L::kCodeTag);
  for (std::uint32_t a : analytic) {
    if (!c50.GoTo(static_cast<long>(a)) || !c50.DeleteRecord(c50.RecordToText(L::BNUMA), 0)) continue;
    UnlockRecord(c50);
    if (SortRecordOf(c50, c60)) MarkSortRecord(c60, true);
    c50.GoTo(static_cast<long>(a));
    const char kind = c50.GetField(L::BCLE)[0];
    if (kind == 'W' || kind == 'Y') {
      const Amounts am = AmountsOf(c50);
      const std::string op = std::string("-") + (am.sense == "D" ? "D" : "C");
      MajAnalC30(c50.GetField(L::BCODE), op.c_str(), am.francs, am.euros);
    }
    if (analyticCancelled != nullptr) ++*analyticCancelled;
  }
  c50.GoTo(static_cast<long>(recno));
  return LineChange::Done;
}

LineChange ReactivateLine(Table& c50, Table& c60, std::uint32_t recno, const std::string& recordText) {
  if (!OnGeneralLine(c50, recno)) return LineChange::NoLine;
  if (!c50.IsDeleted()) return LineChange::AlreadyDone;
  if (!c50.RecallRecord(recordText.c_str(), 0)) return c50.IsDeleted() ? LineChange::LockRefused : LineChange::AlreadyDone;
  UnlockRecord(c50);
  if (SortRecordOf(c50, c60)) MarkSortRecord(c60, false);
  c50.GoTo(static_cast<long>(recno));
  PostLine(c50, '+');
  c50.GoTo(static_cast<long>(recno));
  return LineChange::Done;
}

}  // namespace posting
