// The printout of a journal-month of the draft through the report engine's hooks: the 78 report
// variables of its lines, the piece and run totals, the line types A (first line), R (a new
// piece), S (the same piece) and Z (no further line), the caches of the account and the label,
// the single-piece run, and for the layouts whose TypeListe asks for it the credit transfers of
// the treasury journal: the 160-character records of kind "V" in report variables, or the ISO
// 20022 credit-transfer file of kind "S", which the run writes itself (Pain001Writer). A transfer
// whose amount does not read as a line's (below zero or past what a line takes included,
// LineAmountHolds) makes neither: the accounts are named at the end, and the layout's export is
// given up with the file, so that nothing is said to be ready.
//
// TypeListe (20 characters): 1 the kind ("S" the transfer file, "V" the fixed-width records, "1"
// the selected piece alone, any other an ordinary printout), 2-5 the issuing bank (C10 "Q"), 6 the
// label code that marks the lines to pay (C10 "L"). The transfers are the live debit lines of the
// journal-month carrying that label code, inside the piece range.
//
// The run reads through cursors of its own (C50 in key order, C10 and C20 read-only), so the
// windows' cursors never move. Messages go through the runtime's message hook.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "data/table.h"
#include "runtime/pain001_writer.h"
#include "runtime/report_fields.h"

namespace entry {

// What a run needs of its window.
struct PrintoutRun {
  std::string journalMonth;     // CleJournalMois (7 characters)
  char journalType = ' ';       // the journal's type letter ("T" treasury)
  bool euros = true;            // the run's currency
  std::string typeListe;        // the chosen layout's option text
  std::string pieceFrom;        // piece limits, blank = none
  std::string pieceTo;
  // Kind "1": the piece of the selected row when it is a live line, blank otherwise.
  std::string selectedPiece;
  int continuationColumn = 20;  // the column LIB23 continues at
};

class JournalPrintout {
 public:
  static constexpr int kFieldCount = 78;
  // Variable numbers used by callers and tests.
  enum Var : int {
    EURO = 0, MOIS, ANNEE, JOURNAL, NOMJOURNAL, PIECE, JOUR, VENT, COMPTE, NOMCOMPTE, CODELIB, LIBELLE, LIB23, LIB2,
    LIB3, ECHEANCE, LETTRE, LETTREF, LETTREE, SENSDC, MONTANT, MONTANTF, MONTANTE, DEBIT, DEBITF, DEBITE, CREDIT,
    CREDITF, CREDITE, CONTROLE, CONTROLEF, CONTROLEE, CONTROLE2, TP_DEBIT, TP_DEBITF, TP_DEBITE, TP_CREDIT,
    TP_CREDITF, TP_CREDITE, TP_SOLDE, TP_SOLDEF, TP_SOLDEE, TG_DEBIT, TG_DEBITF, TG_DEBITE, TG_CREDIT, TG_CREDITF,
    TG_CREDITE, TG_SOLDE, TG_SOLDEF, TG_SOLDEE, BQE_CODE, BQE_LIBBAN, BQE_NOMCOM, BQE_ETS, BQE_GUICHE, BQE_NUMCOM,
    BQE_CLERIB, BQE_IBAN, BQE_BIC, BQE_SEPARA, BQE_NUMEME, BQE_COMPTE, BQF_DOM1, BQF_DOM2, BQF_ETS, BQF_GUICHE,
    BQF_NUMCOM, BQF_CLERIB, BQF_IBAN, BQF_BIC, BQF_LIBVRT, VRTS_03_01, VRTS_03_02, VRTS_06_01, VRTS_06_02,
    VRTS_08_01, VRTS_08_02,
  };
  // The 14-character definition of variable n.
  static const char* Definition(int n);

  explicit JournalPrintout(ReportFieldTable& fields) : fields_(fields) {}

  // Gives up the report's export file of a transfer run whose records or file cannot be right (an
  // amount that does not read): nothing of it is put in place or offered.
  std::function<void()> AbandonExport;

  // The report hooks. Prepare adjusts the run's piece limits (the single-piece run sets both);
  // false stops the run after its message (none for a single-piece run without a live line).
  bool Prepare(PrintoutRun& run);
  void Compute();
  bool Next();
  void Classify();
  // The end of a preview: the single-piece run gives its limits back (emptied in `run`), then
  // the incomplete bank details of a run of kind "V" are said.
  void Default(PrintoutRun& run);

  // 13 characters: the line type, the current line's piece, the piece of the line before.
  const std::string& LineType() const { return lineType_; }
  long LinesComputed() const { return computed_; }
  char Kind() const { return kind_; }
  // Kind "S": the file written at the end of the run, empty when none was.
  const std::string& TransferFile() const { return transferFile_; }
  const Pain001Writer& Writer() const { return writer_; }
  // Accounts flagged for incomplete bank details during the run (CR LF + code each).
  const std::string& IncompleteRibAccounts() const { return incompleteRib_; }
  const std::string& IncompleteIbanAccounts() const { return incompleteIban_; }
  // C20 and C10 reads of the run (the caches spare the lines of the same account or label).
  long AccountReads() const { return accountReads_; }

 private:
  struct Account {
    bool found = false;
    std::string code, name, dom1, dom2, bank, branch, number, key, iban, bic, memo;
  };
  struct Bank {
    std::string code, name, zone4, zone5;
  };

  bool OpenCursors();
  void DeclareOrClear();
  bool Refuse(int message, const std::string& detail);
  bool Empty();
  // The bank's record (kept in bank_) and the label code's, live: found, not found or refused.
  Lookup CheckBank(const std::string& code);
  Lookup LabelExists(char code);
  void SetBankVariables();
  bool SkipSelected(int n);
  bool Selected();
  bool InJournal();
  const Account& AccountOf(const std::string& code);
  const std::string& LabelOf(char code);
  // Kind "S": every creditor of the selection checked before anything is written.
  bool CheckCreditors();
  bool CreditorIncomplete(const Account& a) const;
  std::string RemittanceText(const Account& a, const std::string& label, const std::string& label3) const;
  void ComputeTransfer(const Account& a);
  void FinishTransferFile();
  // Kind "V": the end of a run that met a line whose amount does not read, or a record that cannot
  // hold its amount.
  void RefuseUnreadableRecords();

  ReportFieldTable& fields_;
  Table c50_, c10_, c20_;
  std::string prefix_;  // "Z" + CleJournalMois
  PrintoutRun run_;
  std::string typeListe_;
  char kind_ = ' ';
  Bank bank_;
  char payLabel_ = ' ';
  std::string lineType_;
  long computed_ = 0;
  long accountReads_ = 0;
  Account account_;
  // The accounts read in this run: each is read from the chart once.
  std::unordered_map<std::string, Account> accounts_;
  // An account or a line of the run the system could not read: said once; no transfer file is written.
  bool accountUnread_ = false;
  char labelCode_ = 0;
  bool labelCached_ = false;
  std::string labelText_;
  std::string incompleteRib_, incompleteIban_;
  std::string record03a_;
  Pain001Writer writer_;
  bool transferFailed_ = false;
  std::string failedAccounts_;
  std::string unreadableAccounts_;  // accounts of transfers whose amount does not read as a line's
  std::string tooWideAccount_;      // kind "V": the first account whose record cannot hold its amount
  std::string notPositiveAccounts_;  // accounts of transfers whose amount reads at or below zero
  std::string transferFile_;
};

}  // namespace entry
