// The account statement ("Relevé de Compte"): the lines of one account (or of one analytic
// section) between two dates, in francs or in euros, with optional monthly subtotals per journal,
// the amounts cumulated before the period, and five ways of treating matched lines; lines left
// out by the matching choice may be totalled apart. A collective's general account is walked
// under its collective's letter: one line sums the period's lines of all its auxiliary accounts.
//
// The report window (TWEtaBroCompte) takes the limits record of its form with TakeLimits, runs
// the choice dialog with ReportPrefix(), copies the chosen layout's list type into
// chosenLayoutText, and hands this object to the interpreter as the run's owner.
//
// Line types: A B C (start without a line: prior cumulation, other lines, both), D-J and X
// (collective start), K (first line, with a prior cumulation), L (a line), Y / Z (end, Z with the
// other lines' total).
#pragma once

#include <memory>
#include <string>

#include "reports/ledgers/core/ledger_options.h"
#include "reports/ledgers/core/ledger_report.h"

namespace ledgers {

class AccountStatement : public LedgerReport {
 public:
  // Report variables by index.
  enum Field {
    EURO, COMPTE, NOMCOMPTE, DATEDEBUT, DATEFIN, TYPELISTE, UNLETTRAGE, TC_DEBIT, TC_CREDIT, TC_SOLDE, TC_SOLDEMT,
    TC_SOLDEDC, DATE, JOURNAL, PIECE, CODELIBELL, LIBELLE, LIB23, ECHEANCE, LETTRE, SENSDC, MONTANTF, MONTANTE,
    DEBIT, CREDIT, SEURO, COMPTEGENE, CA_LIBELLE, CA_DEBIT, CA_CREDIT, CA_SOLDE, CA_SOLDEMT, CA_SOLDEDC, AE_LIBELLE,
    AE_DEBIT, AE_CREDIT, AE_SOLDE, AE_SOLDEMT, AE_SOLDEDC, TG_DEBIT, TG_CREDIT, TG_SOLDE, TG_SOLDEMT, TG_SOLDEDC,
    kFieldCount
  };

  explicit AccountStatement(const LedgerTables& tables = ProgramLedgerTables()) : LedgerReport(tables) {}

  AccountStatementOptions options;

  // The limits record as the window's Visualiser and Imprimer take it: the options, and the
  // currency ("En Eur&os", position 25).
  void TakeLimits(const std::string& record);
  std::string ReportPrefix() const { return options.ReportPrefix(); }
  // "Visualisation: Compte: " + the account as the report shows it.
  std::string PreviewTitle() const;

  bool PrepareReport() override;
  void ComputeLine() override;
  bool NextRecord() override;
  void ClassifyLine() override { lineType.assign(1, 'L'); }

  // The letters that matchings beyond the period use on this account (constant 044 not "N").
  const OrphanLetters& Orphans() const { return orphans_; }

 private:
  bool Collective() const { return key_.size() == 1; }
  bool OnKey(const SortLine& line) const { return line.Code().substr(0, key_.size()) == key_; }
  bool NextEntryLine(bool step);
  bool LineQualifies(const SortLine& line) const;
  bool FindNextLine();
  void FillLine(const SourceLine& s);
  void FillMissingSourceLine(const SortLine& line);
  void ComputeMonthGroup();
  void AddToTotals() {
    AddCents(TG_DEBIT, GetCents(DEBIT));
    AddCents(TG_CREDIT, GetCents(CREDIT));
    Balance(TG_DEBIT, TG_CREDIT, TG_SOLDE, TG_SOLDEMT, TG_SOLDEDC);
  }

  std::string key_;  // the account, or a collective's letter
  bool analyticByAccount_ = false;
  OrphanLetters orphans_;
  std::unique_ptr<SortWalk> walk_;
  bool groupConsumed_ = false;  // ComputeLine summed the current month group
};

}  // namespace ledgers
