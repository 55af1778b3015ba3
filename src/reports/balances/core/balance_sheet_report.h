// The balance-sheet edition's report, without a window: the 39 report variables, the totals
// pass that rewrites the computed lines of C70 in the chosen currency, the walk of the printed
// lines in section and line order (lines without amounts left out when asked), the walk of the
// annex records of C10 (kind "j") with their running totals per poste, and the answers of the
// layouts' macros [BLL:xxx] / [BLV:xxx] from the postes indexed once per run. The window hands
// it C70 and C10 opened and forwards the interpreter's hooks to it.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "data/lookup.h"
#include "data/unread_amounts.h"
#include "reports/balances/core/balance_sheet_edition.h"
#include "reports/engine/core/report_owner.h"

class Table;

namespace balances {

// The report variables by index.
namespace sheet_var {
inline constexpr int kEuro = 0, kTitle = 1, kStart = 2, kEnd = 3, kCode = 4, kApr = 5, kCalc = 6, kLine = 7,
                     kLabel = 8, kPercent = 25, kAApr = 26, kAPoste = 27, kACode = 28, kALabel = 29,
                     kAAccount = 30, kAName = 31, kAAmount = 32, kADc = 33, kACarried = 34, kAPrevious = 35,
                     kABreak = 36, kATotal = 37, kATotalPrevious = 38, kCount = 39;
// POSTEi, COLONNEi, LIGCOLi, MONTANTi of column i (1-4).
inline constexpr int Poste(int column) { return 5 + 4 * column; }
inline constexpr int PrintColumn(int column) { return 6 + 4 * column; }
inline constexpr int LineColumn(int column) { return 7 + 4 * column; }
inline constexpr int Amount(int column) { return 8 + 4 * column; }
}  // namespace sheet_var

// The string-table title of a header type character, a model's label (kLabelNormalModel for "0",
// kLabelSimplifiedModel for "3", kLabelOtherModel for "A"-"G"); 0 for any other.
int SheetTitleId(char type);

class SheetEditionReport : public reports::SimpleReportOwner {
 public:
  SheetEditionReport(Table& c70, Table& c10);
  ~SheetEditionReport() override;

  // What the window's choice sets before each PrepareReport.
  bool annex = false;          // the annex (C10 "j") rather than the balance sheet
  int currency = 0;            // 0 francs, 1 euros
  bool withEmptyLines = true;  // the lines "ne comportant rien" printed

  bool PrepareReport() override;
  void ComputeLine() override;
  bool NextRecord() override;
  void ClassifyLine() override;
  std::string GetCodeLabel(const std::string& code) override;
  std::string GetCodeValue(const std::string& code) override;

  // The empty-report notice; a window shows it over itself.
  virtual void ShowEmpty(const std::string& text) { lastEmpty_ = text; }
  const std::string& LastEmptyText() const { return lastEmpty_; }
  // C70 records the totals pass could not save in the last run (the window reports them).
  int RefusedSaves() const { return refusedSaves_; }
  // The total of a line that its field cannot hold, named in one sentence, when the last run
  // stopped on it before writing any total ("" otherwise; the window shows it).
  const std::string& TotalPastItsField() const { return tooLarge_; }
  // The C70 or general-file record the last run could not read (the file and why), when it stopped
  // on it or printed a column blank for it ("" otherwise; the window shows it).
  const std::string& RefusedRead() const { return refusedRead_; }
  // The title id the header chose (a model's label), kept from one run to the next.
  int TitleId() const { return titleId_; }
  // The lines of C70 in code order as the last run left them (totals included).
  const std::vector<SheetLine>& Lines() const { return lines_; }
  // The postes that the dossier's model (its lines in the program folder) carries and C70 does
  // not: a balance sheet initialised from an earlier version of the model. [BLL:] and [BLV:]
  // print them blank; only a code that neither carries is "?BLL:" / "?BLV:".
  const std::set<std::string>& PostesOnlyInModel() const { return onlyInModel_; }

 private:
  void DeclareVariables();
  bool PrepareAnnex();
  bool TotalsIntoTable();
  const SheetLine& Current() const { return lines_[order_[pos_]]; }
  bool AtPrintable() const;
  void ComputeSheetLine();
  void ComputeAnnexLine();
  void SetCents(int field, long long cents) { fields.SetFieldUnits(field, cents); }

  Table& c70_;
  Table& c10_;
  std::vector<SheetLine> lines_;     // code order
  // The amounts of the computed sheet that did not read as numbers (counted as zero), read as the
  // run was prepared: named to the report engine at the run's first line.
  UnreadAmounts unreadLoaded_;
  bool unreadHanded_ = false;
  bool sheetUnread_ = false;         // an amount of C70 itself did not read: no total is written back
  std::vector<std::size_t> order_;   // indices of lines_ in section and line order
  std::size_t pos_ = 0;
  std::unique_ptr<PosteIndex> index_;
  std::set<std::string> onlyInModel_;  // codes padded to 3 characters
  void FindPostesOnlyInModel();
  // The lines and the accounts' figures that do not read, named to the watch of the run.
  void NoteBooksUnread();
  void HandUnread();
  std::string previousCode_, currentCode_;
  char firstLabel_ = ' ';
  struct AnnexEntry {
    std::string code, name, text;
  };
  std::vector<AnnexEntry> annexLines_;
  std::size_t annexPos_ = 0;
  std::string previousPoste_, currentPoste_;
  long long totalCarried_ = 0, totalPrevious_ = 0;
  int titleId_ = 0;
  int refusedSaves_ = 0;
  std::string tooLarge_;
  std::string refusedRead_;
  std::string lastEmpty_;
  // `found`, its refusal kept in refusedRead_ (the first only).
  const Lookup& Kept(const Table& table, const Lookup& found);
};

}  // namespace balances
