// The general ledgers ("Grands Livres des Comptes"): account by account, the lines of a period
// with, per account, the cumulation of the lines before it, one line for the lines kept on a
// collective account, and the cumulation of the lines the matching choice sets aside. One run
// produces the ledgers of a selection one after the other: general accounts "1", result accounts
// "2", one ledger per collective (its letter) and the analytic sections "9"; every collective is
// held, however many the dossier has.
//
// The report window (TWEtaBroGrandsLivres) takes its form's record with TakeLimits, runs the
// choice dialog with the prefix "EG-", gives the chosen code to ChooseReportCode, then asks
// PrepareNextLedger for the first ledger that has something to show (preview with "Liste
// suivante" while MoreLedgers()); "Liste suivante" asks NextLedger.
//
// Line types: A B C (first block without a line: prior cumulation, other lines, both), D-J and X
// (a block opening with the collective line or nothing), K L (a block opening with a line, with
// or without a prior cumulation), M (a further line), V W X (another account without a line:
// other lines, prior cumulation, both), Y / Z (end, Z with other lines still to print).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "reports/ledgers/core/ledger_options.h"
#include "reports/ledgers/core/ledger_report.h"

namespace ledgers {

class GeneralLedgers : public LedgerReport, private ReportFieldSource {
 public:
  enum Field {
    EURO, TITRELISTE, COMPTEDEBU, COMPTEFIN, DATEDEBUT, DATEFIN, TYPELISTE, COMPTE, NOMCOMPTE, DATE, JOURNAL, PIECE,
    CLIB, CODELIBELL, LIBELLE, LIB23, ECHEANCE, LETTRE, SENSDC, MONTANTF, MONTANTE, VENTILATIO, DEBIT, CREDIT, SEURO,
    COMPTEGENE, NOMCOMPTEG, CA_LIBELLE, CA_DEBIT, CA_CREDIT, CA_SOLDE, CA_SOLDEMT, CA_SOLDEDC, SC_LIBELLE, SC_DEBIT,
    SC_CREDIT, SC_SOLDE, SC_SOLDEMT, SC_SOLDEDC, AE_LIBELLE, AE_DEBIT, AE_CREDIT, AE_SOLDE, AE_SOLDEMT, AE_SOLDEDC,
    TG_DEBIT, TG_CREDIT, TG_SOLDE, TG_SOLDEMT, TG_SOLDEDC, kFieldCount
  };
  // How the sort file is walked: through its tag, or from a snapshot read once in physical
  // order (a run over most of a large dossier). Automatic: a snapshot when the run covers
  // every account of its first ledger and the sort file holds many lines.
  enum class Walk { kAutomatic, kIndex, kSnapshot };

  explicit GeneralLedgers(const LedgerTables& tables = ProgramLedgerTables()) : LedgerReport(tables) {}

  // The working copy of the form's record: the account bounds and the general account of the
  // analytic block are rewritten during a run.
  GeneralLedgerOptions options;
  // The ledgers still to produce, the current one first.
  std::string ledgerSelection;
  bool severalLedgers = false;
  std::string generalReportCode, analyticReportCode;
  Walk walk = Walk::kAutomatic;
  // The texts of a line (and the balances of the account and of the ledger) made only when the
  // template reads them; off, made at once on every line. The same pages and exports either way.
  bool valuesWhenRead = true;

  // Visualiser / Imprimer: the record, the currency ("En Eur&os"), the selection of ledgers.
  void TakeLimits(const std::string& record);
  void BuildLedgerSelection();
  std::string ReportPrefix() const { return "EG-"; }
  // The code the choice dialog chose (18 characters) and its analytic variant.
  void ChooseReportCode(const std::string& reportCode);
  // The first ledger of the selection that has something to show, prepared (the others before
  // it dropped, silently when there are several); ReportCode() is then its layout's code.
  // False when none is left.
  bool PrepareNextLedger();
  // "Liste suivante": the next ledger.
  bool NextLedger();
  // More than one ledger remains: the preview offers "Liste suivante".
  bool MoreLedgers() const { return ledgerSelection.size() > 1; }
  char CurrentLedger() const { return ledgerSelection.empty() ? ' ' : ledgerSelection[0]; }
  // "Visualisation: Grand Livre: " + the ledger's title.
  std::string PreviewTitle() const;

  bool PrepareReport() override;
  void InitReport() override;
  void ComputeLine() override;
  bool NextRecord() override;
  void ClassifyLine() override;

 private:
  bool Analytic() const { return CurrentLedger() == '9'; }
  char Letter() const { return lineType.empty() ? ' ' : lineType[0]; }
  void SetLetter(char letter);
  void LoadCodes();
  bool WithinUpper(const std::string& code) const;
  bool FindFirstAccount();
  bool ReadAccountEntries();
  bool ReadSectionEntries();
  bool StepToLineInPeriod(bool step);
  bool PassesLetteringFilter(const SortLine& line) const;
  void ZeroSums();
  char BlockLetter() const;
  void OpenBlock();
  void OtherLinesStep();
  void NormalLine();
  void FillUnreadableLine(const SortLine& line);
  void FillField(int field) override;
  // One of the texts of a line, from the line read, whether its letter is an orphan, and the
  // margin of its labels 2 and 3.
  void LineText(int field, const SourceLine& s, bool orphan, int margin);
  void AddInto(int group, Cents debit, Cents credit);
  bool BlankGeneralAccount() const { return BlankText(options.sectionGeneralAccount); }

  CollectiveMap collectives_;
  std::shared_ptr<SortSnapshot> snapshot_;
  std::unique_ptr<SortWalk> walk_;
  std::vector<std::string> codes_;  // live accounts (or sections) in code order
  std::size_t codePos_ = 0;
  std::string currentAccount_;
  int accountState_ = 0;
  Cents priorD_ = 0, priorC_ = 0, collD_ = 0, collC_ = 0, collDF_ = 0, collCF_ = 0, collDE_ = 0, collCE_ = 0,
        otherD_ = 0, otherC_ = 0;
  OrphanLetters orphans_;
  std::string lettragesSauf_;
  bool analyticByAccount_ = false;
  bool analyticDeclared_ = false;
  bool blockOpened_ = false;  // the current record's block head is computed
  bool otherLinesShownZero_ = false;  // the AE fields hold a zero total and its balance
  // The line whose texts are made when read (source_.Kept()): its letter is an orphan, and the
  // margin of its labels 2 and 3 then.
  bool shownOrphan_ = false;
  int shownMarge_ = 20;
};

}  // namespace ledgers
