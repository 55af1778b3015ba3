// A balanced piece of two lines for the draft appends of the tests: 12,34 euros (80,94 francs) on
// the bank's debit and the sales' credit, piece "999999" on the 1st of the journal-month `target`
// (month and journal, as CleJournalMois gives it), or of an amount of the test's.
#pragma once

#include <string>
#include <vector>

#include "data/dossier_files.h"
#include "data/draft_lines.h"
#include "data/entry_lines.h"
#include "data/session.h"
#include "data/table.h"

namespace test_support {

inline std::vector<NewDraftLine> TwoLinePiece(const std::string& target, double euros, double francs) {
  NewDraftLine one;
  one.month = target.substr(0, 4);
  one.journal = target.substr(4, 3);
  one.piece = "999999";
  one.day = "01";
  one.account = "51200000";
  one.label = "Ajout";
  one.sense = 'D';
  one.euros = euros;
  one.francs = francs;
  NewDraftLine two = one;
  two.account = "70600000";
  two.sense = 'C';
  return {one, two};
}

inline std::vector<NewDraftLine> TwoLinePiece(const std::string& target) {
  return TwoLinePiece(target, 12.34, 80.94);
}

// A balanced piece whose totals are `euros` (and `francs`) on each side, wider than a line takes
// (15 244 901 723,74 euros): `lines` debits of the bank and as many credits of the sales, each the
// `lines`-th of the totals (which the test picks so that it falls on a cent).
inline std::vector<NewDraftLine> WidePiece(const std::string& target, double euros, double francs, int lines) {
  const std::vector<NewDraftLine> two = TwoLinePiece(target, euros / lines, francs / lines);
  std::vector<NewDraftLine> piece(static_cast<std::size_t>(lines), two[0]);
  piece.insert(piece.end(), static_cast<std::size_t>(lines), two[1]);
  return piece;
}

// Writes lines into the open dossier's draft as the program writes new lines (the lines, their
// sort records, the totals they move), opening for it the totals' tables that are closed and
// closing them again after; what WriteDraftLines gives, or Failed when a table does not open.
inline DraftWrite WriteIntoOpenDossier(const std::vector<NewDraftLine>& lines, TotalsOverflow* overflow = nullptr) {
  std::vector<Table*> opened;
  // The paths come in one buffer: each taken as its table opens.
  const struct {
    Table* table;
    const char* (*path)();
    const char* tag;
  } totals[] = {{TableC10, [] { return PathC10(); }, "C10CODE"}, {TableC20, &PathC20, "C20CODE"},
                {TableC30, &PathC30, "C30CODE"}};
  for (const auto& t : totals) {
    if (t.table->isOpen) continue;
    if (!t.table->OpenShared(t.path(), t.tag)) {
      for (Table* table : opened) table->CloseTable();
      return DraftWrite::Failed;
    }
    opened.push_back(t.table);
  }
  Table c50, c60;
  const DraftWrite written = c50.OpenShared(PathC50(), LigneEcriture::kCodeTag) && c60.OpenShared(PathC60(), LigneTri::kRecordTag)
                                 ? WriteDraftLines(c50, c60, lines, nullptr, overflow)
                                 : DraftWrite::Failed;
  for (Table* table : opened) table->CloseTable();
  return written;
}

}  // namespace test_support
