// The dossier constants (ConstantesDossier): the list of the 75 constants of the open dossier (kind "X": number, title,
// value) and the dialog that edits one of them (its title and help, the buttons of its values, a free field of
// three characters). A value is checked by the constant's kind in the catalogue of the dossier subject
// (ConstantCatalog) and saved alone into the dossier's general file, so that what another station changed
// meanwhile is kept.
#pragma once

#include <string>

#include "framework/browse.h"
#include "framework/dialog_bases.h"

struct ConstantDefinition;

// The edit dialog of one constant (template UTI_CONSTANTE). On "&Ok" the value typed must suit the constant's
// kind: a refused value beeps, says why and keeps the dialog.
class TDUtiConstante : public TDNuv {
 public:
  static constexpr int kTitle = 1201, kHelp = 1202, kValue = 1204, kNote = 1205, kFirstButton = 1211;
  static constexpr int kButtons = 10;

  TDUtiConstante(gui::Window* parent, const ConstantDefinition& definition, const std::string& value);

  const std::string& Value() const { return value_; }
  // The button of a value, 0 when the constant has none.
  int ButtonOf(const std::string& value) const;

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

 protected:
  void SetupWindow() override;
  void EvChildNotify(int id, unsigned code, gui::Handle control) override;
  void CmOk() override;

 private:
  const ConstantDefinition& definition_;
  std::string value_;
};

class TWUtiBroConstantes : public CMDIBrowse {
 public:
  explicit TWUtiBroConstantes(gui::MDIClient* parent);

  static const BrowseColumnTable& Columns();

  // ---- data source: the constants 000-074, record number n + 1
  bool HasCurrentRecord(::Table* table) override;
  void ReloadRow(BrowseRows& rows, int i, long recno) override;
  void FillRowsForward(BrowseRows& rows, int first, int count, long recno) override;
  void FillRowsFromFirst(BrowseRows& rows, int first, int count) override;
  void FillRowsFromLast(BrowseRows& rows, int last, int count) override;
  std::string GetCellText(int field, std::uint32_t value1, std::uint32_t value2, int column) override;
  void PositionOnRecord(long recno, int flag) override;
  void SkipRecords(long count) override;
  bool SeekTypedKey(char c) override;

  // "Modifier" (and Enter): the dialog of the selected constant, then its value saved.
  void CmModifier();
  // Saves a value of constant n as the dialog does (the lock of its record, the message of a refusal, the advice
  // of a rebuild for 032); true when saved.
  bool SaveConstant(int n, const std::string& value);

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

 protected:
  void SetupWindow() override;

 private:
  void Row(BrowseRows& rows, int i, int n);
  int current_ = 0;  // the constant the data source stands on; 75 past the end, -1 before the first
};

// The work of ConstantesDossier: the list comes forward, or opens.
void CmConstantesDossier();
