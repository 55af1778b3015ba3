// The user-defined reports (EtatsParametrablesVisualisation and EtatsParametrablesImpression): TWUtiBroEtats lists the
// reports of the display set (TableCE0, kind "Y") or of the printing set (TableCE1, kind "Z") by code with their names;
// "Créer" asks for a code through the new-code dialog and makes the report empty or from another report, a text file
// or a section of "CESETATS.txt"; "Annuler" / "Réactiver"; "Texte" opens the template in the record text editor;
// "Modifier" opens the name form TWUtiModEtats, which holds its record locked; "Exporter" writes the template into
// "C-Etat-" + code + ".txt". At start-up, a "CESETATS.LST" in the program folder has EtatsParametrablesImpression store
// the reports it names from the reference set into the printing sets first.
#pragma once

#include <string>

#include "framework/browse.h"
#include "framework/edit_form.h"
#include "resources/command_ids.h"

class MEdit;
class MRStatic;
class MStatic;

namespace report_cmd {
using child_command::Exporter;  // the list's own command: the template into a text file
}

class TWUtiBroEtats : public CMDIBrowse {
 public:
  // `kind` "Y" (display set) or "Z" (printing set).
  TWUtiBroEtats(gui::MDIClient* parent, char kind);

  char Kind() const { return kind_; }
  // The set's letter and table object (TableCE0 or TableCE1), open shared while the list is open.
  char SetLetter() const { return letter_; }
  ::Table* SetTable() const;
  ::Table* Cursor() { return GetTable(0); }
  bool Opened() const { return opened_; }

  static const BrowseColumnTable& Columns();

  // ---- data source (tag CE0CODE)
  void ReloadRow(BrowseRows& rows, int i, long recno) override;
  void FillRowsForward(BrowseRows& rows, int first, int count, long recno) override;
  void FillRowsFromFirst(BrowseRows& rows, int first, int count) override;
  void FillRowsFromLast(BrowseRows& rows, int last, int count) override;
  std::string GetCellText(int field, std::uint32_t value1, std::uint32_t value2, int column) override;
  void PositionOnRecord(long recno, int flag) override;
  void SkipRecords(long count) override;
  bool SeekTypedKey(char c) override;

  // ---- commands
  void CmCreer();
  void CmAnnuler();
  void CmReactiver();
  void CmModifier();
  void CmTexte();
  void CmExporter();
  void CeExporter(gui::CommandEnabler& ce);

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

 protected:
  void SetupWindow() override;
  void CleanupWindow() override;

 private:
  void SetCancelled(bool cancel);
  // The selected row's record current on the set's table object and locked; false after a beep.
  bool LockSelected();
  void ReleaseUnusedLock(std::uint32_t recno);
  std::string SelectedCode() const;
  unsigned MenuCommand() const;
  int FormEntry() const;

  char kind_;
  char letter_;
  bool opened_ = false;
};

// The name form of a user-defined report: its code, and its name to change. The record stays locked (entry 11 or
// 12 of FormRecordLocks) while the form is open, so that the report engine knows the definition is in edit.
class TWUtiModEtats : public CMDIModif {
 public:
  static constexpr int kCodeLabel = 1201, kCode = 1202, kNameLabel = 1203, kName = 1204;

  TWUtiModEtats(gui::MDIClient* client, char kind, const std::string& code);
  ~TWUtiModEtats() override;

  MEdit* NameEdit() const { return name_; }
  bool Held() const { return held_; }

  bool Save() override;
  bool IsModified() override;
  int Check() override;

 protected:
  void SetupWindow() override;
  void CleanupWindow() override;
  void ArrangeControls() override;

 private:
  ::Table* SetTable() const;
  char kind_;
  std::string code_;
  bool held_ = false;
  MStatic* codeLabel_;
  MRStatic* codeStatic_;
  MStatic* nameLabel_;
  MEdit* name_;
};

// The work of EtatsParametrablesVisualisation ('Y') and EtatsParametrablesImpression ('Z'): an open form or list comes
// forward; a list that asked for its form gets it; otherwise the list opens (for EtatsParametrablesImpression once the
// reports of "CESETATS.LST" are stored).
void OpenReportsWindow(char kind);

// Stores the reports "CESETATS.LST" names (when it lies in the program folder) into the printing sets of both
// printers and renames it "CESETATS.OLD"; a failure is said and leaves the list. True when nothing was to be done
// or everything was stored.
bool StoreStartupReports();
