// The journal listings ("Journaux"): the lines of the dossier by journal and month, line by line
// (the detail listing), or as one total per account for each journal-month (the summary
// listing, option "&Récapitulatif"), in francs or in euros, with the analytic split or not.
//
// The summary of a journal-month is gathered in memory in the order of the general file's code
// index (the account or section code, then "A" general before "B" analytic), with the account's
// name and its totals; nothing is written to the general file, so two stations may list the same
// dossier at once. A journal-month whose totals are all zero yields no line and the listing goes
// on with the next one.
//
// The report window (TWEtaBroJournaux) takes its form's record with TakeLimits, gives the choice
// dialog ReportPrefix() and ChoiceOptionsLevel(), then hands this object to the interpreter.
//
// In the analytic listing (the sort file's analytic order) a general line has a header per axis
// it is split on, V for the first and X for the second, each followed by that axis's sections:
// the line is listed and counted once, at its first header, with the sections of every axis
// under it. The journal's gap between general and analytic ("Ecart général - analytique")
// compares each axis with the general lines split on it: a further header, not listed, still
// counts there.
//
// Line types: A (first line), J (a new journal or month; the detail's first line of a journal-
// month turns it into N once its totals restart), P (a new piece), N (a further line), Z (end).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "reports/ledgers/core/ledger_options.h"
#include "reports/ledgers/core/ledger_report.h"

namespace ledgers {

// One line of a journal-month's summary: an account ("A") or a section ("B") with its totals.
struct SummaryEntry {
  std::string code;  // 8 characters
  char letter = 'A';
  std::string name;
  Cents debit = 0, credit = 0;
  // An account's general lines split on analytic axes, debit less credit, once per axis: what
  // the sections of its axes are compared with.
  Cents axes = 0;
};

class JournalListings : public LedgerReport {
 public:
  enum Field {
    EURO, TYPELISTE, MOIS, ANNEE, JOURNAL, NOMJOURNAL, VENTILATIO, COMPTE, NOMCOMPTE, DATE, PIECE, CLIB, CODELIBELL,
    LIBELLE, LIB23, ECHEANCE, CODEREGLEM, LETTRE, SENSDC, MONTANT, MONTANTF, MONTANTE, DEBIT, CREDIT, SEURO, CG_DBCR,
    CG_MONTANT, CA_DBCR, CA_MONTANT, PIECE_CG, PIECE_CA, TP_CG_DBCR, TP_CG_MONT, TP_CA_DBCR, TP_CA_MONT, TP_DEBIT,
    TP_CREDIT, TP_SOLDE, TG_DEBIT, TG_CREDIT, TG_SOLDE, SOLDEDEBIT, SOLDECREDI, TG_SOLDEDE, TG_SOLDECR, JOURNAL_CG,
    JOURNAL_CA, TG_CG_DBCR, TG_CG_MONT, TG_CA_DBCR, TG_CA_MONT,
    // The piece's and the journal's balances as the exports write them, a number and its side
    // (TG_SOLDEMT "1132,18" and TG_SOLDEDC "Db" beside TG_SOLDE "1 132.18 Db").
    TP_SOLDEMT, TP_SOLDEDC, TG_SOLDEMT, TG_SOLDEDC, kFieldCount
  };
  enum class Walk { kAutomatic, kIndex, kSnapshot };

  explicit JournalListings(const LedgerTables& tables = ProgramLedgerTables()) : LedgerReport(tables) {}

  JournalListingOptions options;
  Walk walk = Walk::kAutomatic;

  // Visualiser / Imprimer: the record and the currency ("En Eur&os").
  void TakeLimits(const std::string& record);
  std::string ReportPrefix() const { return options.ReportPrefix(); }
  int ChoiceOptionsLevel() const { return options.ChoiceOptionsLevel(); }
  std::string PreviewTitle() const { return "Visualisation: Journaux"; }

  bool PrepareReport() override;
  void ComputeLine() override;
  bool NextRecord() override;
  void ClassifyLine() override;

  // The summary block being listed (tests read it).
  const std::vector<SummaryEntry>& Block() const { return block_; }

 protected:
  // Called at every search of the next line and every block: a window shows its wait cursor and
  // lets waiting messages through.
  virtual void KeepResponsive() {}

 private:
  char Letter() const { return lineType.empty() ? ' ' : lineType[0]; }
  void SetLetter(char letter) {
    if (lineType.empty()) lineType = " ";
    lineType[0] = letter;
  }
  bool Matches(const SortLine& line) const;
  bool PastSelection(const SortLine& line) const;
  bool FindNextLine(bool scanAll);
  // A further header of the general line whose header was found last (the same line, a later
  // axis): passed over, its amount kept in skippedHeaders_. Otherwise false, and the line's header
  // becomes the last found.
  bool FurtherHeader(const SortLine& line);
  // TG_SOLDE and its pair from journalGap_.
  void SetJournalGap();
  // The detail's walk on to its next line, the further headers passed over counted in the gap.
  bool StepToNextLine();
  bool SourceLineQualifies(const SortLine& line);
  void SetJournalHeaderFields(const SortLine& line);
  void ClassifyDetailLine();
  void ComputeDetailLine();
  void FillMissingSourceLine(const SortLine& line);
  bool BuildSummaryBlock();
  bool BuildNextNonEmptyBlock();
  void ComputeSummaryLine();
  // A signed amount as a pair "Db" / "Cr" and its absolute value (both blank when zero).
  void SignedPair(int dbcr, int amountField, Cents value);

  CollectiveMap collectives_;
  std::shared_ptr<SortSnapshot> snapshot_;
  std::unique_ptr<SortWalk> walk_;
  std::vector<SummaryEntry> block_;
  std::size_t blockPos_ = 0;
  std::string header_;     // the general line of the last header found
  char headerKind_ = ' ';  // and that header's kind
  Cents skippedHeaders_ = 0;  // the further headers passed over, debit less credit, not yet counted
  Cents journalGap_ = 0;      // the headers of every axis less the sections, in the journal-month
  SortLine listed_{};         // the detail's line being listed
  bool advanced_ = false;     // the analytic detail's walk already stands on the next line
  bool nextFound_ = false;    // and whether there is one
};

}  // namespace ledgers
