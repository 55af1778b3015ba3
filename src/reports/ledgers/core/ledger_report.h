// What the four ledger reports share: they are report owners that hold their own state (the
// interpreter runs them directly; a report window forwards its hooks to them), read the
// dossier's tables, keep every amount in whole cents and write it exactly into the report
// variables.
#pragma once

#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "reports/engine/core/report_owner.h"
#include "reports/ledgers/core/ledger_tables.h"

namespace ledgers {

class LedgerReport : public reports::SimpleReportOwner {
 public:
  explicit LedgerReport(const LedgerTables& tables)
      : tables_(tables), names_(tables_, &refused_), source_(tables.c50, tables.c40, &refused_) {}

  // What the choice dialog leaves in the window: the chosen layout's list type (upper-cased,
  // at most 20 characters; empty for the standard layout). Its first letter "E" or "F" chooses
  // euros or francs; any layout list type also lists the lines of zero amount.
  std::string chosenLayoutText;
  // 0 francs, 1 euros: the report currency, set from the limits by the window and from the
  // layout's list type by PrepareReport.
  int euroFlag = 0;

  // The empty-report notice ("Il n'y a rien dans cet Etat" and the text); a window shows it
  // over itself (ShowEmptyEtat), the default through the runtime's message hook.
  virtual void ShowEmpty(const std::string& text);
  // The text of the last empty-report notice (tests read it).
  const std::string& LastEmptyText() const { return lastEmpty_; }
  // At the end of a report whose lines include amounts that do not read as numbers (counted as
  // zero): the warning naming them; a window shows it in a message box. A run with an export file
  // shows none: the report engine gives the file up and names them.
  virtual void ShowUnreadableAmounts(const std::string& text) { lastUnreadable_ = text; }
  const std::string& LastUnreadableText() const { return lastUnreadable_; }
  // At the end of a report that met a record the system could not read (its lines stop short of it,
  // a name shows "???"): the file and why, through the runtime's message hook, once a run.
  virtual void ShowRefusedRead(const std::string& text);
  const std::string& LastRefusedText() const { return lastRefused_; }

  void ExportBegins() override { exporting_ = true; }

  const LedgerTables& Tables() const { return tables_; }

 protected:
  // A new run names its own unreadable amounts: those of the last run are forgotten.
  void ForgetUnreadable();
  // A record of another table than the lines (an account's, a section's or a journal-month's
  // totals) whose amount does not read as a number, counted as zero.
  void NoteUnreadable(UnreadableAmountLine record) { unreadableRecords_.push_back(std::move(record)); }
  // At the run's end: the lines and records read whose amount does not read, named to the report
  // engine, and in one box once a run (ShowUnreadableAmounts) when the run has no export file; and the
  // first look-up the system refused (ShowRefusedRead).
  void SayUnreadable();
  // The look-up the system refused first, said (ShowRefusedRead) and forgotten; false when none was.
  bool SayRefused();
  // A report left with nothing to show: the read refused that left it so, else the empty-report
  // notice with `text`.
  void ShowNothing(const std::string& text);
  // A look-up of the report's own: `found`, its refusal kept to be said at the run's end.
  const Lookup& Kept(const Table& table, const Lookup& found) { return refused_.Note(table, found); }

  // The report variables: their count and definitions (declared once per report object).
  void DeclareFields(const std::vector<std::string>& definitions);
  // The first letter of the chosen layout's list type sets the currency.
  void TakeLayoutCurrency();
  bool AnyLayout() const { return !chosenLayoutText.empty(); }

  // Report variables by index.
  // The text up to its first NUL byte, as a C string would be read.
  void SetText(int field, std::string_view text) {
    const void* nul = text.empty() ? nullptr : std::memchr(text.data(), '\0', text.size());
    if (nul != nullptr) text = text.substr(0, static_cast<std::size_t>(static_cast<const char*>(nul) - text.data()));
    fields.SetFieldText(field, text);
  }
  void AppendText(int field, const std::string& text) { fields.AppendFieldText(field, text.c_str()); }
  void SetCents(int field, Cents cents) { fields.SetFieldUnits(field, cents); }
  Cents GetCents(int field) const;
  void AddCents(int field, Cents cents) { SetCents(field, GetCents(field) + cents); }
  // A balance triple: solde := debit - credit as the 17-character money text ("0.00" alone when
  // zero); mt := its absolute value; dc := its side "Db" / "Cr" (blank when zero).
  void Balance(int debit, int credit, int solde, int mt, int dc);
  void BalanceSolde(int debit, int credit, int solde) { fields.SetFieldDifference(solde, debit, credit); }

  // Labels 2 and 3 as LIB23 shows them (constant 065 "O"): each non-blank one on a new line at
  // the column of MargeLib23.
  std::string Lib23(const std::string& label2, const std::string& label3) const {
    return Lib23(label2, label3, margeLib23);
  }
  // The same at a given margin.
  std::string Lib23(const std::string& label2, const std::string& label3, int margin) const;
  // An account number shown as constant 019 asks.
  static std::string Normalized(std::string code);

  LedgerTables tables_;
  RefusedLookups refused_;
  NameCache names_;
  SourceReader source_;

 private:
  std::string lastEmpty_, lastUnreadable_, lastRefused_;
  std::vector<UnreadableAmountLine> unreadableRecords_;
  bool unreadableSaid_ = false;
  bool exporting_ = false;
};

}  // namespace ledgers
