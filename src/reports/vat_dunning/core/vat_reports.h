// The report runs of the two VAT returns, as the template interpreter calls their hooks: the
// return on debits (16 variables, one line "A" then "Z", layouts "EDD-") and the return on
// receipts (35 variables, layouts "EDE-"), whose layouts of a list type beginning with "1" also
// get the detailed listing: one line per receipt and deductible-VAT line of the period in the
// order of C60DTVAE, grouped by VAT code (or, without a code, by account), with subtotals and
// grand totals. The amounts come from the computed return as numbers, so a figure wider than
// its variable still prints its digits, and the field table keeps the exact cents.
#pragma once

#include <string>

#include "reports/vat_dunning/core/vat_return.h"
#include "runtime/report_fields.h"

namespace vat {

class DebitsReport {
 public:
  static constexpr int kFieldCount = 16;
  // TOT_BRUTE and TOT_DEDUC, after the others, are the return's two totals: the gross VAT due
  // (collected and intra-community) and the deductible VAT (fixed assets, other goods, other
  // VAT accounts, previous credit), so that a layout prints its total lines as the sums they are.
  enum Var : int {
    EURO = 0, MOISDEBUT, MOISFIN, TOT_4452, TOT_4457, TOT_44562, TOT_4456, TOT_44567, TOT_445, TOT_APAYER, APAYER,
    TOT_CREDIT, CREDIT, NON_IMPOSA, TOT_BRUTE, TOT_DEDUC,
  };
  static const char* Definition(int n);

  // `lineType` is the window's line-type text.
  DebitsReport(ReportFieldTable& fields, std::string& lineType) : fields_(fields), lineType_(lineType) {}

  DebitsReturn Return;  // the dialog's result
  long LineCount = 0;

  bool PrepareReport();
  void ComputeLine();
  bool NextRecord();
  void ClassifyLine() { lineType_ = "Z"; }

 private:
  ReportFieldTable& fields_;
  std::string& lineType_;
};

class ReceiptsReport {
 public:
  static constexpr int kFieldCount = 36;
  // TOT_DEDUC, after the others: the deductible VAT (fixed assets, other goods, previous credit).
  enum Var : int {
    EURO = 0, MOISDEBUT, MOISFIN, TOT_44562, TOT_4456, TOT_44567, TOT_APAYER, APAYER, TOT_CREDIT, CREDIT, TOT_ENCAIS,
    DATE, JOURNAL, PIECE, COMPTE, NOMCOMPTE, CODELIBELL, LIBELLE, ECHEANCE, LETTRE, MT_TVA4456, CODE_TVA, TAUX_TVA,
    MT_HTENCAI, MT_TVAENCA, MT_TTCENCA, ST_CODE_TV, ST_MT_TVA4, ST_MT_HTEN, ST_MT_TVAE, ST_MT_TTCE, TG_MT_TVA4,
    TG_MT_HTEN, TG_MT_TVAE, TG_MT_TTCE, TOT_DEDUC,
  };
  static const char* Definition(int n);

  // The cursors are the window's: C10 (C10CODE), C20 (C20CODE), C40, C50, C60 (C60DTVAE).
  // `lineType` is the window's line-type text, here the break key (19 characters).
  ReceiptsReport(ReportFieldTable& fields, std::string& lineType, Table& c10, Table& c20, Table& c40, Table& c50,
                 Table& c60);

  ReceiptsReturn Return;  // the dialog's result
  std::string ListType;   // the layout's TypeListe
  std::string CollectiveLetters = CollectiveLettersText();
  long LineCount = 0;

  // False for a detailed listing without treasury journal, or without a line (the caller shows
  // the empty report; EmptyListing() tells which).
  bool PrepareReport();
  void ComputeLine();
  bool NextRecord();
  void ClassifyLine();
  bool EmptyListing() const { return emptyListing_; }
  bool Detailed() const { return !ListType.empty() && ListType[0] == '1'; }

 private:
  // The current C60 line is one the listing keeps (read into line_).
  bool Kept();
  std::string Name(const std::string& account);
  std::string LabelText(const std::string& code);
  // A read the system refused (`text`: the file and why), said once a listing. A name not read shows
  // "???" and is asked again at the next line rather than kept.
  void SayUnread(const std::string& text);
  // The walk's first read refused, said; false when none was.
  bool SayWalkRefused();

  ReportFieldTable& fields_;
  std::string& lineType_;
  Table& c10_;
  Table& c20_;
  ReceiptsComputation walk_;
  VatLine line_;
  bool lineRead_ = false;
  bool emptyListing_ = false;
  bool unreadSaid_ = false;
  // From line to line: the previous account and its name, the previous label code and its text.
  std::string lastAccount_, lastName_, lastLabelCode_, lastLabelText_;
};

}  // namespace vat
