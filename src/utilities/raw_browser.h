// The raw table browser (AccesFichierC10 to AccesFichierLignesBilan): one table of the dossier, or a balance-sheet
// model of the program folder, opened alone while the dossier is held by this station, listed in physical order with
// one column per field and "#" on cancelled records. "Annuler" / "Réactiver" cancel and recall a record, "Modifier"
// opens its record form TWUtiModFichier (one edit per field that is not a memo), "Visualiser" / "Imprimer" run the
// table's report layouts ("F" + number + "-", "FPB-", "FLB-"), the preview with the field writes of the templates
// allowed, each made as the record form makes its writes and refused where it would refuse them. Closing
// the browser gives the dossier back. Each record it writes (a field put, a delete mark set or removed) is written
// whole in one engine call while the dossier is held alone: a run of its own, which takes the permit to write the
// books (data/books_write_permit.h) for that write, whatever table it is, so that the user may mend any record.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "framework/browse.h"
#include "framework/edit_form.h"
#include "utilities/core/raw_tables.h"

class MEdit;
class MStatic;

// The name of the browser's permit to write the books.
inline constexpr const char* kRawAccessRun = "acces-fichier";

class TWUtiBroFichier : public CMDIBrowse {
 public:
  // `table` is open alone on the file `path` (physical order).
  TWUtiBroFichier(gui::MDIClient* parent, const settings::RawTable& raw, ::Table* table, const std::string& title,
                  const BrowseColumnTable& columns);
  ~TWUtiBroFichier() override;

  // The columns of a table: the marker, then one per field but the memos.
  static BrowseColumnTable ColumnsOf(::Table& table);

  const settings::RawTable& Raw() const { return raw_; }
  ::Table* Cursor() const { return table_; }

  // ---- data source: physical order, the record number is the rank
  bool HasCurrentRecord(::Table* table) override;
  void ReloadRow(BrowseRows& rows, int i, long recno) override;
  void FillRowsForward(BrowseRows& rows, int first, int count, long recno) override;
  void FillRowsFromFirst(BrowseRows& rows, int first, int count) override;
  void FillRowsFromLast(BrowseRows& rows, int last, int count) override;
  std::string GetCellText(int field, std::uint32_t value1, std::uint32_t value2, int column) override;
  void PositionOnRecord(long recno, int flag) override;
  void SkipRecords(long count) override;

  // ---- report hooks: every record in physical order
  bool PrepareReport() override;
  void ComputeLine() override;
  bool NextRecord() override;
  void ClassifyLine() override;
  // The field writes of its templates, made as its record form makes them (the preview alone writes).
  bool WriteReportField(::Table& table, int field, const std::string& text, std::string& why) override;

  // ---- commands
  void CmAnnuler();
  void CmReactiver();
  void CmModifier();
  void CeModifierFichier(gui::CommandEnabler& ce);
  // The record shown again after its form wrote it, its row brought on the page and selected.
  void ShowRecord(long recno);

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

 protected:
  void SetupWindow() override;
  void CleanupWindow() override;

 private:
  void SetCancelled(bool cancel);
  settings::RawTable raw_;
  ::Table* table_;
  bool reportStarted_ = false;
};

// The record form of the raw table browser: the record's fields, each with its name; an edit for each field of
// type C or N, the others shown only; memo fields are left out. A value that does not fit its field is refused
// with a message and nothing of the record is written.
class TWUtiModFichier : public CMDIModif {
 public:
  TWUtiModFichier(gui::MDIClient* client, const std::string& title, ::Table* table, long recno);

  long Record() const { return recno_; }
  // The edit of a field (null for a field shown only or left out).
  MEdit* EditOf(int field) const;

  bool Save() override;
  bool IsModified() override;
  int Check() override;

 protected:
  void SetupWindow() override;
  void ArrangeControls() override;

 private:
  struct FieldRow {
    int field = 0;
    char type = 'C';
    int width = 0;
    int decimals = 0;
    MStatic* label = nullptr;
    MEdit* edit = nullptr;    // C and N
    MStatic* shown = nullptr;  // any other type
  };
  // The values checked: true with the texts to write (field -> text) for the fields changed.
  bool CheckedValues(std::vector<std::pair<int, std::string>>& writes, bool tell);
  ::Table* table_;
  long recno_;
  std::vector<FieldRow> rows_;
};

// Opens the raw browser of a command's table (the work of AccesFichierC10 to AccesFichierLignesBilan).
void OpenRawTable(unsigned command);
