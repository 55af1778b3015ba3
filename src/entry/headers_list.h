// TWSaiBroEntJournaux: "Journaux saisis", the list of the journal-month headers of the general
// file (kind "C"): one row per header, draft and closed, with its month, journal, name, state and
// totals in the main currency. "Saisir" write-locks a draft header and asks the main window
// (SaisieEcritures) to open its lines window in a journal-entry slot; "Créer" makes a new journal-month.
#pragma once

#include <string>

#include "data/table.h"
#include "masterdata/code_list.h"

class TWSaiBroEntJournaux : public TWFichiersC10 {
 public:
  explicit TWSaiBroEntJournaux(gui::MDIClient* parent);

  // The list's columns: the hidden header code, then month, journal, name, state, debit, credit.
  static BrowseColumnTable DeclaredColumns();

  // ---- data source: the records of kind "C", live and cancelled
  bool HasCurrentRecord(::Table* table) override;
  void ReloadRow(BrowseRows& rows, int i, long recno) override;
  void FillRowsForward(BrowseRows& rows, int first, int count, long recno) override;
  void FillRowsFromFirst(BrowseRows& rows, int first, int count) override;
  void FillRowsFromLast(BrowseRows& rows, int last, int count) override;
  std::string GetCellText(int field, std::uint32_t start, std::uint32_t length, int column) override;
  void PositionOnRecord(long recno, int flag) override;
  void SkipRecords(long count) override;
  bool SeekTypedKey(char c) override;
  bool LocateCode(const std::string& code) override;

  // ---- commands
  void CmSaisir();
  void CmCreer();
  void CmAnnuler();
  void CmReactiver();
  void CeSaisir(gui::CommandEnabler& ce);
  void CeCreer(gui::CommandEnabler& ce);
  void EvKeyDown(int vk, unsigned repeat, unsigned flags) override;

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

 protected:
  void SetupWindow() override;

 private:
  bool OnHeader(::Table& t);
  void Row(BrowseRows& rows, int i);
  // The selected row's header code (8 characters: month, journal, source), "" when none.
  std::string SelectedCode();
  void Count();
  bool opened_ = false;
};

// The write lock of the journal-month's draft header, the current record of `c10`, for its entry. Refused,
// one box says why: held by another station, "Journal déjà en cours de Saisie sur un autre poste"; by
// another window here, the lock notice naming `recordText`; any other failure, the engine's box.
bool TakeJournalMonthLock(gui::Window* owner, ::Table& c10, const std::string& recordText);
// The same once the lock was tried (`tried`, TryLockRecord's answer).
bool TakeJournalMonthLock(gui::Window* owner, ::Table& c10, const std::string& recordText, RecordLockRefusal tried);

// Asks for the entry of a journal-month as "Saisir" does: the right, the write lock on its draft
// header (TakeJournalMonthLock), then the key at 528-534,
// the headers list's flag at "2" and SaisieEcritures posted to the main window. False after a
// refusal, which has been shown.
bool RequestJournalEntry(gui::Window* owner, const std::string& journalMonth);
