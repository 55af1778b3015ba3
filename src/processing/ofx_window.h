// The bank statement import form ("Importation Relevé de Banque (ofx)", ImportationReleveBanque): the
// statement file read through the reader program, the statement as read, the dossier's bank and
// its general account, the treasury journal, the counterpart account, the label code and the
// transactions (those already imported marked); "Accepter" imports the new ones.
#pragma once

#include <string>
#include <vector>

#include "framework/edit_form.h"
#include "processing/core/bank_statement.h"
#include "processing/core/ofx_import.h"
#include "resources/command_ids.h"

class MButton;
class MComboBox;
class MEdit;
class MListBox;
class MStatic;

namespace ofx_cmd {
using child_command::Accepter;
constexpr unsigned Choose = 1204;   // "?": the file chosen in the open dialog
constexpr unsigned Read = 1205;     // Enter in the file field: the file read
constexpr unsigned BankChosen = 1206;
}  // namespace ofx_cmd

// The work of ImportationReleveBanque: the form, brought forward when it is open.
void CmImportationReleveBanque();

class TWSaiModImportationOfx : public CMDIModif {
 public:
  explicit TWSaiModImportationOfx(gui::MDIClient* client);
  ~TWSaiModImportationOfx() override;

  // Reads the statement file; false (with its message shown) when it cannot be read.
  bool ReadFile(const std::string& path);
  void CmAccepter();
  void CmChoose();
  void CmRead();
  void CmBankChosen();

  MEdit* FileEdit() const { return file_; }
  MComboBox* BankBox() const { return bank_; }
  MEdit* JournalEdit() const { return journal_; }
  MEdit* CounterpartEdit() const { return counterpart_; }
  MEdit* LabelCodeEdit() const { return labelCode_; }
  MListBox* Transactions() const { return list_; }
  bool StatementRead() const { return read_; }
  int BankIndex() const { return bankIndex_; }

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

 protected:
  void SetupWindow() override;
  void ArrangeControls() override;

 private:
  void Tell(const std::string& message, unsigned icon);
  void ShowStatement();
  void SelectBank(int index);

  bool running_ = false;
  bool read_ = false;
  processing::BankStatement statement_;
  std::vector<processing::DossierBank> banks_;
  int bankIndex_ = -1;
  std::string readFile_;
  MStatic* labels_[8] = {};
  MStatic* texts_[3] = {};
  MStatic* bankAccount_ = nullptr;
  MEdit* file_ = nullptr;
  MButton* choose_ = nullptr;
  MComboBox* bank_ = nullptr;
  MEdit* journal_ = nullptr;
  MEdit* counterpart_ = nullptr;
  MEdit* labelCode_ = nullptr;
  MListBox* list_ = nullptr;
};
