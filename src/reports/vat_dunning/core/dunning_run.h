// The dunning letters, account statements, schedules of due dates and supplier payments of one
// account range, as the report engine's hooks call them: the 68 report variables, the choice of
// the accounts and of their lines (balance, four ageing buckets, acceptance by minimum and
// sense), the statement lines, and for a supplier payment the transfers: the 160-character
// records of a layout of kind "V" in report variables, or the ISO 20022 file of kind "S", which
// the run writes itself through Pain001Writer.
//
// A transfer run pays only accounts in credit: an account in debit is left out and named at the
// end. A line of the range whose amount does not read as a number leaves the sums unknown: the
// run writes no transfer file (nor the records of kind "V") and names the lines. Amounts of the
// records and of the file are taken in cents from the lines, never read back from the report
// variables, whose widths serve the layouts. A run in francs writes no SEPA file. A read the
// system refuses leaves its account in no list; the run says it at its end and writes no transfer.
//
// The run reads through cursors of its own (C10, C20, C40, C50, C60, read-only), so the windows'
// cursors never move. Messages go through the runtime's message hook.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "data/entry_lines.h"
#include "data/table.h"
#include "reports/vat_dunning/core/dunning_options.h"
#include "runtime/pain001_writer.h"
#include "runtime/report_fields.h"

namespace dunning {

class DunningRun {
 public:
  static constexpr int kFieldCount = 68;
  enum Var : int {
    EURO = 0, COMPTEDEBU, COMPTEFIN, DATEDEBUT, DATEFIN, TESTECHEAN, LETTRAGES, AVECRELEVE, MONTANTMIN, MONTANTSEN,
    CODESLIBEL, DATEECHEAN, DATE30J, DATE60J, DATE90J, COMPTE, NOMCOMPTE, RUE1, RUE2, VILLE, CPOSTAL, COMMUNE, TEL,
    FAX, EMAIL, SOLDE, SOLDEDBCR, SOLDEETOIL, SOLDEM30J, SOLDEM60J, SOLDEM90J, SOLDEP90J, DATE, CODELIBELL, LIBELLE,
    ECHEANCE, ECHEANCETR, DBCR, MONTANT, RUNNING_TOTAL, MONTANTM30, MONTANTM60, MONTANTM90, MONTANTP90, REF_OU_RES,
    REFERENCE, RESPONSABL, LIB2_OU_LI, LIB2, LIB3, TG_MONTANT, TG_MTDBCR, TG_MTM30J, TG_MTM60J, TG_MTM90J,
    TG_MTP90J, VRTS_03_01, VRTS_03_02, VRTS_06_01, VRTS_06_02, VRTS_08_01, VRTS_08_02, VRTS_SEPAR, BQE_CODE,
    BQE_LIBBAN, BQE_NOMCOM, BQE_IBAN, BQE_BIC,
  };
  // The 14-character definition of variable n.
  static const char* Definition(int n);

  // Positions of a line entry (1-based, 103 characters).
  static constexpr std::size_t kEntryLength = 103;

  // `sectionCode` is the break code the layouts read (the window's line-type text).
  DunningRun(ReportFieldTable& fields, std::string& sectionCode);

  // ---- state the window sets or reads
  std::string OptionsString = std::string(kOptionsLength, ' ');
  int AmountsInEuros = 0;
  char ListMode = '1';
  // The layout's kind: "1" one list for the range, "2" one list per account.
  char LayoutKind = '1';
  std::string ListType;  // the layout's TypeListe; its first letter counts
  long ComputedCount = 0;
  bool EndOfList = false;
  double AccountBalance = 0;
  std::vector<std::string> AccountLines = std::vector<std::string>(1);
  long AccountLineCount = 0;
  long LineIndex = 0;
  std::string DueReferenceDate;
  AgeingLimits Limits;
  std::string IncompleteRibAccounts, IncompleteIbanAccounts;
  // Called when NextRecord lets the list go on after a statement (the engine's end-of-data
  // flag cleared).
  std::function<void()> ClearEndOfData;
  // Where the SEPA file goes: the export file the report engine made for the layout, whose
  // follow-up (open, send) then serves the transfer file; TransferFileName() when empty.
  std::function<std::string()> TransferTarget;
  // Gives up the report's export file of a transfer run whose records or file cannot be right (an
  // amount that does not read): nothing of it is put in place or offered.
  std::function<void()> AbandonExport;

  // ---- the report hooks
  bool PrepareReport();
  void ComputeLine();
  bool NextRecord();
  // "Liste suivante" of a per-account run: the account after the one just listed becomes current
  // when the list ended in a statement (the letter's own end found it already). False, with
  // EndOfList set, when no account is left.
  bool NextList();
  // The end of a run that did not reach its last account: no transfer file.
  void Abandon();

  // ---- the selection
  bool FirstAccount();
  bool LoadAccount();
  bool MatchesLetterFilter();
  bool SkipZeroLines(int step);
  void GrowLines();

  // ---- what the run did
  char Kind() const { return ListType.empty() ? ' ' : ListType[0]; }
  bool TransferRun() const { return Kind() == 'V' || Kind() == 'S'; }
  // The signed balance of the current account in cents, and its four buckets.
  long long AccountCents() const { return balanceCents_; }
  const long long* BucketCents() const { return buckets_; }
  // Kind "V": the sum of the amounts of the records 06 written; kind "S": of the file's blocks.
  long long TransferredCents() const { return transferredCents_; }
  long TransferCount() const { return transferCount_; }
  // Accounts in debit left out of a transfer run (CR LF + code each).
  const std::string& LeftOutAccounts() const { return leftOut_; }
  // Kind "S": the file written at the end of the run, empty when none was.
  const std::string& TransferFile() const { return transferFile_; }
  const std::string& MessageId() const { return writer_.MessageId(); }
  // The message that ends a transfer run (the file, its transfers, the accounts left out).
  std::string EndMessage() const;
  // The lines of the accounts listed whose amount does not read as a number, left out as zero.
  const std::vector<UnreadableAmountLine>& Unreadable() const { return unreadable_; }
  // A transfer run that wrote no file because of them, and said so with the lines.
  bool RefusedUnreadable() const { return unreadableRefused_; }
  // A transfer run that gave its file up (and the layout's export with it), having said why.
  bool GaveUpTransferFile() const { return givenUp_; }
  // False when the report engine's printout warning named them already: the end says nothing more.
  bool EndSaysUnreadable() const { return endSaysUnreadable_; }
  // The file a run of kind "S" writes.
  static std::string TransferFileName();

 private:
  struct Line {
    std::string month, day, label, text, due, text2, text3;
    char sense = ' ';
    long long cents = 0;
    // Its amount does not read as a number (counted as zero): where it stands.
    bool unreadable = false;
    char file = 'C';
    std::uint32_t recno = 0;
    std::string piece;
  };
  // The current sort record's line `l` is one the current account's letter takes (its dates,
  // matching letter, due date and label code within the options).
  bool Taken(const Line& l);
  bool OpenCursors();
  void DeclareOrClear();
  // The transfer file given up with the layout's export: the preview of the run shows nothing of it.
  void GiveUpExport();
  bool Refuse(const std::string& text, const std::string& caption);
  bool ReadBank();
  bool CheckDebtor();
  bool ReadLine(Line& line);
  bool AccountSearch();
  void SetAccountVariables();
  const std::string& LabelText(char code);
  void ComputeStatementLine();
  void ComputeAccount();
  void ComputeRecords();
  void ComputeTransfer();
  void FinishTransferFile();
  bool RefuseUnreadable();
  // A look-up of the run: `found`, the first refusal kept (refusedFile_, refusedResult_).
  const Lookup& Kept(const Table& table, const Lookup& found);
  // At the run's end, when a read was refused: said, and a transfer file given up (an account whose
  // lines were not all read is in no list). True when it was.
  bool RefuseRefusedRead();
  // The lines left out as zero, named to the report engine at the end of the run.
  void NameUnreadable();
  std::string PaymentText(bool record) const;
  std::string Option(std::size_t position, std::size_t width) const { return OptionPart(OptionsString, position, width); }

  ReportFieldTable& fields_;
  std::string& sectionCode_;
  Table c10_, c20_, c40_, c50_, c60_;
  Line line_;                  // the line SkipZeroLines stood on
  long long balanceCents_ = 0;
  long long buckets_[4] = {0, 0, 0, 0};
  long long minimumCents_ = 0;
  long long runningCents_ = 0;
  std::string bankCode_, bankName_, bankZone4_, bankZone5_;
  std::string header03_;
  char labelCode_ = 0;
  bool labelCached_ = false;
  std::string labelText_;
  std::string leftOut_;
  long leftOutCount_ = 0;
  Pain001Writer writer_;
  bool transferFailed_ = false;
  std::string failedAccounts_;
  long failedCount_ = 0;
  bool tooWide_ = false;
  bool unreadableRefused_ = false;
  std::string refusedFile_;  // the first read the system refused, its file and engine code
  int refusedResult_ = 0;
  bool accountRefused_ = false;  // ... while the current account's lines were read
  bool givenUp_ = false;
  std::string transferFile_;
  long long transferredCents_ = 0;
  long transferCount_ = 0;
  bool finished_ = false;
  bool pendingSearch_ = false;
  std::vector<UnreadableAmountLine> unreadable_;
  bool endSaysUnreadable_ = true;
};

}  // namespace dunning
