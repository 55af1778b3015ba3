// The bank reconciliation windows (RapprochementBanque "Rapprochement avec Relevé de Banque"): the form
// TWTraModRapprochement, where the user gives the account, the statement's date and closing
// balance, and the list TWTraBroRapprochement of the account's unreconciled lines beside the
// statement's transactions, with the proposals, the ticks, the balances, the statement's letter,
// "Enregistrer" and the reconciliation statement (layouts "ERB-").
#pragma once

#include <memory>
#include <string>

#include "data/lookup.h"
#include "data/unread_amounts.h"
#include "framework/edit_form.h"
#include "processing/core/reconciliation.h"
#include "processing/ranked_list.h"
#include "resources/command_ids.h"

class MButton;
class MEdit;
class MStatic;

namespace reconciliation_cmd {
using child_command::Accepter;
constexpr unsigned Pointer = child_command::LettrerOuDelettrer;  // "Lettrer ou DéLettrer": ticks or unticks the row
using child_command::ProchaineLettre;  // the statement's letter
using child_command::Importer;  // the list's own: imports the statement's transactions with no book line
constexpr unsigned LireReleve = 1213;          // "?" beside the balance: reads the statement from an OFX file
}  // namespace reconciliation_cmd

// The form: the account (by default the first bank's general account), the statement date (by
// default the working date) and the statement's closing balance. "Accepter" opens the list.
class TWTraModRapprochement : public CMDIModif {
 public:
  explicit TWTraModRapprochement(gui::MDIClient* client);
  ~TWTraModRapprochement() override;

  int Check() override;
  bool CanClose() override;
  void CmAccepter();
  void CeAccepter(gui::CommandEnabler& ce);
  void CmAccountLookup();
  // Reads the statement from an OFX file chosen in the file dialog; a refused file changes nothing.
  void CmLireReleve();

  // The statement given by a file reader (an OFX statement): its closing balance and date are
  // shown in the fields, its transactions go to the list.
  void TakeStatement(const processing::BankStatement& statement);

  MEdit* AccountEdit() const { return account_; }
  MEdit* DateEdit() const { return date_; }
  MEdit* BalanceEdit() const { return balance_; }
  MButton* LookupButton() const { return lookup_; }
  MButton* ReadStatementButton() const { return readStatement_; }
  MStatic* AccountName() const { return accountName_; }
  const processing::BankStatement& Statement() const { return statement_; }

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

 protected:
  void SetupWindow() override;
  void ArrangeControls() override;

 private:
  MStatic* labels_[3] = {};
  // Puts C20 on the account `code` (filled to 8 characters); false when it has no live record.
  // The live account of the code made current: found, not found, or refused when it could not be read.
  static Lookup SeekAccount(const std::string& code);

  MEdit* account_ = nullptr;
  MButton* lookup_ = nullptr;
  MStatic* accountName_ = nullptr;
  MEdit* date_ = nullptr;
  MEdit* balance_ = nullptr;
  MButton* readStatement_ = nullptr;
  processing::BankStatement statement_;
  std::string statementFile_;
};

// The list: one row per unreconciled line (its statement transaction beside it when paired),
// then the statement's transactions no line is paired with. The status bar shows the reconciled
// book balance, the statement's balance and the difference.
class TWTraBroRapprochement : public RankedList {
 public:
  TWTraBroRapprochement(gui::MDIClient* client, const std::string& title, const std::string& account,
                        const std::string& statementDate, const processing::BankStatement& statement);
  ~TWTraBroRapprochement() override;

  static BrowseColumnTable MakeColumns();

  // Opens the reconciliation (the account locked), reads the lines and proposes the pairs.
  processing::ReconciliationOpen OpenReconciliation();
  processing::Reconciliation& Work() { return work_; }

  void CmPointer();
  void CmProchaineLettre();
  void CmEnregistrer();
  // Imports the statement's transactions no line is paired with (the statement import's run), reads
  // the lines again and proposes them, so that the imported lines take the statement's letter.
  void CmImporter();
  void CeImporter(gui::CommandEnabler& ce);
  void SetStatementFile(const std::string& file) { file_ = file; }
  void CeEnregistrer(gui::CommandEnabler& ce);

  // The status line: reconciled balance, statement balance, difference.
  std::string StatusText() const override;

  // The reconciliation statement as a report of the list (layouts "ERB-").
  bool PrepareReport() override;
  void ComputeLine() override;
  bool NextRecord() override;
  void ClassifyLine() override;

  std::string GetCellText(int field, std::uint32_t value1, std::uint32_t value2, int column) override;
  // F12 saves the reconciliation, as the list's menu shows "Enregistrer [F12]".
  unsigned F12Command() const override { return form_cmd::Enregistrer; }

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

 protected:
  void SetupWindow() override;
  void CleanupWindow() override;
  void BuildRank(BrowseRows& rows, int i, long rank) override;
  long RankOfRecord(long recno) const override;

 private:
  void ResetRows();
  // False when the lines could not all be read.
  bool LoadAndPropose();
  void RedrawRows();

  processing::Reconciliation work_;
  // The amounts of the lines loaded that did not read as numbers (counted as zero): named to the
  // report engine by the statement's report, which writes no export over them.
  UnreadAmounts unreadLoaded_;
  bool unreadHanded_ = false;  // once a run
  std::string date_;
  processing::BankStatement statement_;
  std::string file_;                   // the statement file, "" when typed
  std::vector<std::size_t> unpaired_;  // the statement's transactions shown after the lines
  long building_ = -1;                 // the row whose cells are being built
  std::size_t reportLine_ = 0;         // the report's current unreconciled line
  std::vector<std::size_t> reportRows_;
};

// The work of RapprochementBanque: the list open comes forward, else the form open, else a new form.
void CmRapprochementBanque();
