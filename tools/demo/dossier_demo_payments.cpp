// The supplier payments by credit transfer of the demo dossier: the standard label "V" ("Virement
// fournisseur") marks, in the treasury journal BQ, the pieces that pay a supplier whose account
// carries a right IBAN and a BIC of the transfer schema's form, both lines of each piece; the
// payments of suppliers without bank details stay cheques (label "4"). A run of the journal
// printout with TypeListe "SBQ01V" (issuing bank BQ01, label V) turns them into a credit-transfer
// file. Only the label code of those lines changes: the sort records and every total stay.
#include <algorithm>
#include <cstdlib>
#include <set>

#include "data/entry_lines.h"
#include "data/table.h"
#include "demo/dossier_demo_internal.h"
#include "runtime/bank_ids.h"
#include "runtime/dates.h"
#include "runtime/dossier_record.h"
#include "runtime/xbase.h"

namespace demo {
namespace {

using L = LigneEcriture;

constexpr char kTransferLabel = 'V';
constexpr char kChequeLabel = '4';
constexpr const char* kTreasury = "BQ ";

// A supplier account whose IBAN and BIC a transfer file can carry.
bool PaidByTransfer(Table& c20, const std::string& account) {
  if (account.empty() || account[0] != 'F') return false;
  if (!c20.Seek("C20CODE", account.c_str()) || c20.MatchKey(account.c_str(), 8, 1) != 'O') return false;
  return CheckIban(std::string(c20.GetField(15))) == 0 && CheckBic(std::string(c20.GetField(16)));
}

}  // namespace

bool MarkTransferPayments(const std::string& c10Path, const std::string& c20Path, const std::string& c50Path,
                          const std::vector<Period>& periods, long* marked) {
  if (marked != nullptr) *marked = 0;
  Table c10, c20, c50;
  if (!c10.OpenShared(c10Path, "C10CODE") || !c20.OpenShared(c20Path, "C20CODE", true) ||
      !c50.OpenShared(c50Path, L::kCodeTag))
    return false;
  if (!c10.AppendBlank()) return false;
  const bool label = c10.PutField(1, "L") && c10.PutField(2, std::string(1, kTransferLabel).c_str()) &&
                     c10.PutField(3, "Virement fournisseur") && c10.PutField(4, (Fit("Virmt", 7) + "4").c_str());
  if (!c10.InsertRecord() || !label) return false;

  for (const Period& p : periods) {
    const std::string prefix = "Z" + p.monthKey + kTreasury;
    // The pieces of the month that pay a supplier with bank details, then both of their lines.
    std::set<std::string> pieces;
    std::vector<std::pair<std::uint32_t, std::string>> lines;
    for (bool more = c50.Seek(L::kCodeTag, prefix.c_str()); more; more = c50.Skip(1)) {
      const char m = c50.MatchKey(prefix.c_str(), L::kJournalMonthKeyLength, L::BCLE, L::BMOIS, L::BJAL);
      if (m != 'O' && m != 'o') break;
      if (m == 'o' || c50.GetField(L::BCLIB)[0] != kChequeLabel) continue;
      const std::string piece = c50.GetField(L::BPIECE);
      lines.emplace_back(c50.recordNumber, piece);
      if (c50.GetField(L::BSENS)[0] == 'D' && PaidByTransfer(c20, c50.GetField(L::BCODE))) pieces.insert(piece);
    }
    for (const auto& [recno, piece] : lines) {
      if (pieces.count(piece) == 0 || !c50.GoTo(static_cast<long>(recno))) continue;
      if (!c50.PutField(L::BCLIB, std::string(1, kTransferLabel).c_str())) return false;
      if (marked != nullptr && c50.GetField(L::BSENS)[0] == 'D') ++*marked;
    }
  }
  return c50.Commit() && c10.Commit();
}

namespace {

// The last day of the month `months` after the one of `d`.
Ymd MonthEndAfter(const Ymd& d, int months) {
  const int index = d.year * 12 + (d.month - 1) + months + 1;  // the first of the month after
  const Ymd next{index / 12, index % 12 + 1, 1};
  return CivilFromDays(DaysFromCivil(next) - 1);
}

}  // namespace

bool SpreadDueDates(const std::string& c50Path, const std::vector<Period>& periods, long* moved) {
  if (moved != nullptr) *moved = 0;
  if (periods.empty()) return true;
  const Ymd yearEnd = periods.back().last;
  // A schedule at the year's last day ages by the ends of the three months after it: the due
  // dates fall on the reference, on each limit and on the day after it, and beyond.
  const long end = DaysFromCivil(yearEnd);
  const long limits[3] = {DaysFromCivil(MonthEndAfter(yearEnd, 1)), DaysFromCivil(MonthEndAfter(yearEnd, 2)),
                          DaysFromCivil(MonthEndAfter(yearEnd, 3))};
  const long targets[] = {end - 12, end, limits[0], limits[0] + 1, limits[1], limits[1] + 1, limits[2], limits[2] + 1};
  constexpr std::size_t kTargets = sizeof(targets) / sizeof(targets[0]);
  Table c50;
  if (!c50.OpenShared(c50Path, L::kCodeTag)) return false;
  std::size_t next = 0;
  const std::size_t first = periods.size() > 3 ? periods.size() - 3 : 0;
  for (std::size_t i = first; i < periods.size(); ++i) {
    const std::string prefix = "Z" + periods[i].monthKey + "VE ";
    std::vector<std::pair<std::uint32_t, long>> invoices;  // record, invoice day
    for (bool more = c50.Seek(L::kCodeTag, prefix.c_str()); more; more = c50.Skip(1)) {
      const char m = c50.MatchKey(prefix.c_str(), L::kJournalMonthKeyLength, L::BCLE, L::BMOIS, L::BJAL);
      if (m != 'O' && m != 'o') break;
      // Customer invoices still open: a due date, debit, no matching letter.
      if (m == 'o' || c50.GetField(L::BCODE)[0] != 'C' || c50.GetField(L::BSENS)[0] != 'D' ||
          IsBlank(c50.GetField(L::BECHEANCE)) || !IsBlank(c50.GetField(L::BLETE)) || !IsBlank(c50.GetField(L::BLET)))
        continue;
      const Ymd day{periods[i].first.year, periods[i].first.month, std::atoi(c50.GetField(L::BJOUR))};
      invoices.emplace_back(c50.recordNumber, DaysFromCivil(day));
    }
    for (const auto& [recno, invoiceDay] : invoices) {
      if (!c50.GoTo(static_cast<long>(recno))) continue;
      const long due = std::max(targets[next++ % kTargets], invoiceDay);
      if (!c50.PutField(L::BECHEANCE, StoredDateOf(CivilFromDays(due)).c_str())) return false;
      if (moved != nullptr) ++*moved;
    }
  }
  return c50.Commit();
}

bool NameThePayingBank(const std::string& c10Path) {
  // Constant 043 holds three characters: "BQ0" finds the first bank of that prefix, BQ01.
  constexpr int kPayingBankConstant = 43;
  constexpr int kZoneStart = 539;  // record "P0", field 4: dossier record positions 539-790
  Table c10;
  if (!c10.OpenShared(c10Path, "C10CODE") || !c10.Seek("C10CODE", "P0") || c10.MatchKey("P0", 2, 1, 2) != 'O')
    return false;
  std::string zone = c10.GetField(4);
  const std::size_t at = static_cast<std::size_t>(DossierRecord::kConstantsPos +
                                                  DossierRecord::kConstantWidth * kPayingBankConstant - kZoneStart);
  if (zone.size() < at + DossierRecord::kConstantWidth) zone.resize(at + DossierRecord::kConstantWidth, ' ');
  zone.replace(at, DossierRecord::kConstantWidth, "BQ0");
  return c10.PutField(4, zone.c_str()) && c10.Commit();
}

}  // namespace demo
