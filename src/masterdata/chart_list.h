// The chart of accounts list (TWDonBroPlanComptable, DonneesPlanComptable) and its near twin, the analytic sections
// list (TWDonBroSectionsAnal, DonneesSectionsAnal). Each lists every record of its file, cancelled ones included, in
// one of two orders (by code or by name, switched by opening the list again in the other order at the same place on the
// same record), shades every other group of codes, shows the balances, searches words, creates records (also as a copy
// of a model), cancels, reactivates, opens its form and the record's text, answers the lookups of the forms (returning
// the chosen code, or finding or offering to create a typed one) and prints through the report engine.
#pragma once

#include <memory>
#include <string>

#include "framework/browse.h"
#include "masterdata/core/chart_breaks.h"
#include "masterdata/core/chart_files.h"
#include "masterdata/core/chart_reports.h"

// The state a list hands to its new instance when it closes itself to open again in the other order: its X, Y,
// width and height ("%5i" each), the 18 characters of its registry entry after the key (the asking window of a
// lookup), then the code to select again. Empty when not in use.
extern std::string ListReopenState;

class ChartList : public CMDIBrowse {
 public:
  // The list of `kind` ("2" accounts, "3" sections) in the order of its program option (21 / 22).
  ChartList(gui::MDIClient* parent, const std::string& title, const BrowseColumnTable* columns, char kind);

  const masterdata::ChartFile& File() const { return *file_; }
  const masterdata::CodeKind& Kind() const { return *kind_; }
  bool CodeOrder() const { return order_ == 'C'; }
  // Where the record's code stands in a row (1-based): after the key, or after the name in name order.
  int CodePosition() const { return CodeOrder() ? 16 : 46; }
  // The selected row's code (8 characters); blanks when none is selected.
  std::string SelectedCode() const;
  const std::string& BreakList() const { return breakList_; }
  const masterdata::BreakLevels& Levels() const { return levels_; }
  bool Euros() const { return euros_; }

  // The list's cursor (in its order), the report's and a third one for look-ups and model copies.
  ::Table* Cursor() { return GetTable(0); }
  ::Table* ReportCursor() { return GetTable(1); }
  ::Table* LookupCursor() { return GetTable(2); }
  // The program's table of the file (TableC20 or TableC30), which the form works on.
  ::Table* ProgramTable() const;

  // ---- data source and painting
  void ReturnSelectedCode() override;
  void CopySelectedCode() override;
  void BeforeRefresh() override;
  int GetCellTextColor(int row, int column) override;
  bool SeekTypedKey(char c) override;
  std::string GetRecordKey(::Table* table, int start, int length, int firstField) override;
  bool HasCurrentRecord(::Table* table) override;
  void ReloadRow(BrowseRows& rows, int i, long recno) override;
  void FillRowsForward(BrowseRows& rows, int first, int count, long recno) override;
  void FillRowsFromFirst(BrowseRows& rows, int first, int count) override;
  void FillRowsFromLast(BrowseRows& rows, int last, int count) override;
  std::string GetCellText(int field, std::uint32_t start, std::uint32_t length, int column) override;
  // Flag 0: the list's own cursor; any other: the program's table of the file (the form side).
  void PositionOnRecord(long recno, int flag) override;
  void SkipRecords(long count) override;
  // Shows the record of the code in either order (its rank in the order's index brings the page there).
  bool LocateCode(const std::string& code) override;

  // ---- report hooks
  bool PrepareReport() override;
  void ComputeLine() override;
  bool NextRecord() override;
  void ClassifyLine() override;

  // ---- commands
  void CmTriParCode() { SwitchOrder('C'); }
  void CmTriParNom() { SwitchOrder('N'); }
  void CmChercher() { SearchWord(false); }
  void CmChercherEncore() { SearchWord(true); }
  void CmCreer();
  void CmAnnuler();
  void CmReactiver();
  void CmModifier();
  void CmTexte();
  void CmReCaler();
  void EvLButtonDown(unsigned modKeys, gui::Point p) override;
  void EvSetFocus(gui::Handle lost) override;

  // Builds the list of the groups shown plain again (code order; name order keeps none).
  void RebuildBreakList();

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

  // The columns of the list of a kind in the order of its program option.
  static BrowseColumnTable ColumnsOf(char kind);

 protected:
  void SetupWindow() override;

  void CeTriParCode(gui::CommandEnabler& ce);
  void CeTriParNom(gui::CommandEnabler& ce);
  void CeChercher(gui::CommandEnabler& ce);
  void CeChercherEncore(gui::CommandEnabler& ce);
  void CeCreer(gui::CommandEnabler& ce);
  void CeAnnulerFiche(gui::CommandEnabler& ce);
  void CeModifierFiche(gui::CommandEnabler& ce);

 private:
  const char* OrderTag() const;
  void Row(BrowseRows& rows, int i);
  void SwitchOrder(char order);
  // The state of ListReopenState for a list closing to open again: its place, its registry's lookup part, and
  // `code` to select again.
  std::string ReopenState(const std::string& code) const;
  void SearchWord(bool next);
  // The selected record may be cancelled: its amounts are all zero (the francs too unless the dossier is kept
  // only in euros, for accounts) and it is not cancelled already.
  bool SelectedCancellable();
  // The selected row's record made current on the program's table and locked for the form or the text editor.
  bool LockSelectedForForm();
  void ShowNewRecord(const std::string& code);
  void ReCalerAccounts(std::string key);
  void ReCalerSections(const std::string& key);
  void CloseAndReopen(const std::string& state, char order);

  const masterdata::CodeKind* kind_;
  const masterdata::ChartFile* file_;
  char order_;
  bool euros_;
  masterdata::BreakLevels levels_;
  std::string breakList_;
  bool opened_ = false;
  std::unique_ptr<masterdata::ChartReport> report_;
};

class TWDonBroPlanComptable : public ChartList {
 public:
  TWDonBroPlanComptable(gui::MDIClient* parent, const std::string& title, const BrowseColumnTable* columns)
      : ChartList(parent, title, columns, '2') {}
};

class TWDonBroSectionsAnal : public ChartList {
 public:
  TWDonBroSectionsAnal(gui::MDIClient* parent, const std::string& title, const BrowseColumnTable* columns)
      : ChartList(parent, title, columns, '3') {}
};

// The title of the list of a kind in the order of its program option: the file's title + " (Tri par Code)" or
// " (Tri par Nom)".
std::string ChartListTitle(char kind);
// The list of a kind, with its columns and title.
ChartList* MakeChartList(gui::MDIClient* parent, char kind);
