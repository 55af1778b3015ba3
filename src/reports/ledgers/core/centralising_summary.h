// The centralising summary ("Récapitulatif Centralisateur"): month by month and journal by
// journal, the debit and credit totals that the general file keeps per journal-month (records
// "C": draft totals under a code ending in "B", closed totals under any other letter), with a
// balance per line, running totals per month and grand totals, in francs, in euros or in the
// dossier's main currency. With dossier constant 031 "O" the walk stops after the month of the
// working date.
//
// The report window (TWEtaBroRecapCentralisateur) opens only the general file, asks HasRecords,
// and starts its preview at once with the prefix "ER-".
//
// Line types: A (first line), R (first line of a month), S (another line of the month), Z (end).
#pragma once

#include <string>

#include "reports/ledgers/core/ledger_report.h"

namespace ledgers {

class CentralisingSummary : public LedgerReport {
 public:
  enum Field {
    EURO, MOIS, ANNEE, JOURNAL, JAL, TYPE, NOMJOURNAL, DEBIT, CREDIT, SOLDE, TM_RUPTURE, TM_DEBIT, TM_CREDIT, TM_SOLDE,
    TG_DEBIT, TG_CREDIT, TG_SOLDE, DEBITF, CREDITF, SOLDEF, TM_DEBITF, TM_CREDITF, TM_SOLDEF, TG_DEBITF, TG_CREDITF,
    TG_SOLDEF, DEBITE, CREDITE, SOLDEE, TM_DEBITE, TM_CREDITE, TM_SOLDEE, TG_DEBITE, TG_CREDITE, TG_SOLDEE,
    // Each balance as the exports write it, a number and its side (SOLDEMT "1132,18" and SOLDEDC
    // "Db" beside SOLDE "1 132.18 Db"): the line's, the month's and the grand total's, in the
    // report's currency, then in francs (SOLDEFMT, TM_SLDFMT, TG_SLDFMT) and in euros (SOLDEEMT,
    // TM_SLDEMT, TG_SLDEMT), each followed by its side.
    SOLDEMT, SOLDEDC, TM_SOLDEMT, TM_SOLDEDC, TG_SOLDEMT, TG_SOLDEDC, SOLDEFMT, SOLDEFDC, TM_SLDFMT, TM_SLDFDC,
    TG_SLDFMT, TG_SLDFDC, SOLDEEMT, SOLDEEDC, TM_SLDEMT, TM_SLDEDC, TG_SLDEMT, TG_SLDEDC, kFieldCount
  };

  // The amounts in euros unless the dossier's main currency is the franc (character 533 "N").
  explicit CentralisingSummary(const LedgerTables& tables = ProgramLedgerTables());

  // The window's options text: its first character chooses the currency ("E", "F", "M" the
  // main one, anything else both); the window has no form and leaves it empty.
  std::string optionsText;
  int amountsInEuros = 1;

  // At least one journal-month total record: the window opens its preview, else it closes.
  bool HasRecords();
  std::string ReportPrefix() const { return "ER-"; }
  std::string PreviewTitle() const;

  bool PrepareReport() override;
  void ComputeLine() override;
  bool NextRecord() override;
  void ClassifyLine() override;

 private:
  bool Walk(bool step);
  void Restore();
  // The debit, credit and balance of the line, the month and the whole from one totals zone of
  // the record; `pairs` the first of their balances' three number-and-side pairs.
  void Amounts(int zoneField, int debit, int monthDebit, int totalDebit, int pairs);
  std::string month_;      // stored year and month of the current record
  std::string code_;       // its key, to find it again when another window moved the table
  std::uint32_t recno_ = 0;
};

}  // namespace ledgers
