// TWFichiersC10: the list window of the code lists kept in the general file C10. It reads, counts and walks only
// the records of its kind letter, shows cancelled codes with the "#" marker and carries the commands every code
// list offers: create (through the new-code dialog), cancel, reactivate, modify, record text, go to a code,
// create a typed code ("ReCaler"), the copies from and to another dossier, preview and print. Each kind's list
// (TWDonBroBanques and its seven siblings) gives its columns and report variables as data (code_layouts.h).
#pragma once

#include <string>

#include "framework/browse.h"
#include "masterdata/core/code_kinds.h"
#include "masterdata/core/code_layouts.h"

class TWFichiersC10 : public CMDIBrowse {
 public:
  // The six values go to CMDIBrowse unchanged; the list has no form (menu command 0) until its kind is set.
  TWFichiersC10(gui::MDIClient* parent, const std::string& title, const BrowseColumnTable* columns, int ownSlot,
                int slotDistance, int partnerSlot);

  // The menu command of the kind, which opens its form; 0 = the list has no form.
  unsigned menuCommand = 0;

  // The kind of the list (null while none is set: the list then closes with a message when it opens).
  const masterdata::CodeKind* Kind() const { return kind_; }
  const masterdata::KindLayout* Layout() const { return layout_; }
  // The list's own cursor on C10 and the one its report walks.
  ::Table* Cursor() { return GetTable(0); }
  ::Table* ReportCursor() { return GetTable(1); }

  // ---- data source
  bool SeekTypedKey(char c) override;
  bool HasCurrentRecord(::Table* table) override;
  void ReloadRow(BrowseRows& rows, int i, long recno) override;
  void FillRowsForward(BrowseRows& rows, int first, int count, long recno) override;
  void FillRowsFromFirst(BrowseRows& rows, int first, int count) override;
  void FillRowsFromLast(BrowseRows& rows, int last, int count) override;
  std::string GetCellText(int field, std::uint32_t start, std::uint32_t length, int column) override;
  // Flag 0: the list's own cursor; any other: the program's TableC10 (the form side).
  void PositionOnRecord(long recno, int flag) override;
  void SkipRecords(long count) override;

  // ---- report hooks: the live codes of the kind between the limits of the choice dialog
  bool PrepareReport() override;
  void ComputeLine() override;
  bool NextRecord() override;
  void ClassifyLine() override;

  // ---- commands
  void CmCreer();
  void CmAnnuler();
  void CmReactiver();
  void CmModifier();
  void CmTexte();
  void CmRecaler();
  void CeCreer(gui::CommandEnabler& ce);

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

  // The column table of a kind's list.
  static BrowseColumnTable ColumnsOf(const masterdata::KindLayout& layout);

 protected:
  // Sets the kind's members: kind letter, code width, rights group, help topic, report size and prefix, menu
  // command and titles; opens the cursors and counts the kind's records.
  void SetKind(char kind);
  void SetupWindow() override;

 private:
  bool OnKind(::Table& t);
  void Row(BrowseRows& rows, int i);
  // The selected row's record made current on TableC10 and locked for the form or the text editor; false after
  // a beep (no selection, a cancelled record, a refused lock).
  bool LockSelectedForForm();
  // Cancels or reactivates the selected record, then shows its marker again.
  void SetCancelled(bool cancel);
  // A new code created: counted, shown and opened in the form.
  void ShowNewCode(const std::string& code);
  std::string SelectedRowText() const;

  const masterdata::CodeKind* kind_ = nullptr;
  const masterdata::KindLayout* layout_ = nullptr;
  bool opened_ = false;
};

// ---- the eight lists ------------------------------------------------------------------------------------------
// Each passes its kind's slots and sets its kind; the banks, collective accounts, journals and distribution codes
// also read the chart of accounts (opened by SetKind).

class TWDonBroEtablissements : public TWFichiersC10 {
 public:
  TWDonBroEtablissements(gui::MDIClient* parent, const std::string& title, const BrowseColumnTable* columns);
};
class TWDonBroJournaux : public TWFichiersC10 {
 public:
  TWDonBroJournaux(gui::MDIClient* parent, const std::string& title, const BrowseColumnTable* columns);
};
class TWDonBroCollectifs : public TWFichiersC10 {
 public:
  TWDonBroCollectifs(gui::MDIClient* parent, const std::string& title, const BrowseColumnTable* columns);
};
class TWDonBroBanques : public TWFichiersC10 {
 public:
  TWDonBroBanques(gui::MDIClient* parent, const std::string& title, const BrowseColumnTable* columns);
};
// Its type column shows the label type's text, not a slice.
class TWDonBroLibelles : public TWFichiersC10 {
 public:
  TWDonBroLibelles(gui::MDIClient* parent, const std::string& title, const BrowseColumnTable* columns);
  std::string GetCellText(int field, std::uint32_t start, std::uint32_t length, int column) override;
};
class TWDonBroVentilations : public TWFichiersC10 {
 public:
  TWDonBroVentilations(gui::MDIClient* parent, const std::string& title, const BrowseColumnTable* columns);
};
class TWDonBroModeles : public TWFichiersC10 {
 public:
  TWDonBroModeles(gui::MDIClient* parent, const std::string& title, const BrowseColumnTable* columns);
};
class TWDonBroCodesTva : public TWFichiersC10 {
 public:
  TWDonBroCodesTva(gui::MDIClient* parent, const std::string& title, const BrowseColumnTable* columns);
};

// The list of a kind, built with its columns and title (null for a letter that is no code list).
TWFichiersC10* MakeCodeList(gui::MDIClient* parent, char kind);
