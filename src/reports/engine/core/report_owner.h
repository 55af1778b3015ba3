// The window a report runs for (a list window or a report window): the interpreter calls its
// report hooks and reads and writes its report state. The framework's list-window base
// (CMDIBrowse) answers through an adapter that forwards each operation to its own hooks and
// fields; tests, tools and benchmarks use SimpleReportOwner.
//
// The hook protocol, as the template drives it:
//   [TT-Init]    InitReport
//   [TT-Avant]   ComputeLine, at the first repetition of a record ([NbITn] repeats it)
//   [TT-Suivant] when the repetitions are used up: NextRecord; true is followed by
//                ClassifyLine, which puts the line-type letter first in LineTypeText; false
//                ends the data (the reports then put "Z" there)
//   [BLL:xxx] / [BLV:xxx]  GetCodeLabel / GetCodeValue with a 3-character code
//   [@NAME]      the value of report variable NAME of ReportFields()
// PrepareReport runs before the run, called by the window after the choice dialog.
#pragma once

#include <string>

#include "runtime/report_fields.h"

class Table;

namespace reports {

class ReportOwner {
 public:
  virtual ~ReportOwner() = default;

  // ---- hooks (the defaults are those of the list-window base)
  virtual bool PrepareReport() { return false; }
  virtual void InitReport() {}
  virtual void ComputeLine() {}
  virtual bool NextRecord() { return false; }
  virtual void ClassifyLine() {}
  virtual std::string GetCodeLabel(const std::string& code) { return {}; }
  // A code's value is an amount in kCodeValueWidth characters, wider when it needs more: a
  // wider one grows to its left as a wide number does.
  virtual std::string GetCodeValue(const std::string& code) { return {}; }
  static constexpr int kCodeValueWidth = 14;

  // ---- report state
  virtual ReportFieldTable& ReportFields() = 0;
  // 18 characters: 1-10 the report code, 11-14 the first page, 15-18 the last (9999 = all).
  virtual std::string& ReportCode() = 0;
  // First character: the current line's type letter; reports may keep more after it.
  virtual std::string& LineTypeText() = 0;
  // The code limits chosen for the report; LimitsAbsent() when the window has none.
  virtual std::string LimitFrom() const = 0;
  virtual std::string LimitTo() const = 0;
  virtual bool LimitsAbsent() const { return false; }
  // Lines of the report computed so far ([NbL]).
  virtual long ListLineCount() const = 0;
  // The layout's list type text ([TypeListe]) and letter, set by the choice dialogs and by
  // [TypeListe=x] met during a run.
  virtual std::string ListTypeText() const = 0;
  virtual void SetListType(char letter) = 0;
  // [ModeListe=x].
  virtual void SetListMode(char letter) = 0;
  // [AvecLignesTexte] / [SansLignesTexte].
  virtual void SetTextLines(bool on) = 0;
  // [MargeLib23=nn] (a negative value gives 20).
  virtual void SetMargeLib23(int margin) = 0;
  // Added to the page number by [Page].
  virtual int PageNumberOffset() const { return 0; }
  // The report page counter: 1 when a list begins, one more for every further page.
  virtual void SetReportPage(long page) {}
  // A file name the owner gives the export of its run (the statutory entries file); "" = the
  // export's usual name.
  virtual std::string ExportFileNameForRun() { return {}; }
  // Put before the extension of the export's usual name, so that each list of a run of several
  // has a file of its own ("" = the usual name).
  virtual std::string ExportNameSuffix() { return {}; }
  // True when the owner writes the file of its run itself, whole, before the rows are shown:
  // the layout's [Export] then makes no file of its own (nothing is offered at the end).
  virtual bool WritesItsOwnExport() const { return false; }
  // The interpreter made the run's export file ([Export]). A run that meets an amount that does not
  // read as a number writes no export: the interpreter decides it, from every amount read through
  // the table layer while its pages are made (data/unread_amounts.h), and names them in its own
  // box. An owner that read its amounts before the run (in PrepareReport), or from their text
  // alone, names those it counted as zero with NoteUnreadAmount from one of its hooks. The printout
  // itself (screen, printer, PDF) says so once, before the page that counted one is shown or
  // printed: the interpreter warns, unless the owner showed its own warning from a hook and said
  // so with NoteUnreadAmountsSaid (an owner asks UnreadAmountsSaid before warning again).
  virtual void ExportBegins() {}
  // The templates' field writes ([%:], [raz:], [champ:], [copie:], while the context allows
  // them): `text` into field `field` of `table`'s current record, written as the owner writes that
  // table itself. False when refused, with the reason in `why` (empty: the table's `result` says
  // it). By default the write is made under the record's lock and committed.
  virtual bool WriteField(Table& table, int field, const std::string& text, std::string& why);
};

// A report owner that holds its state itself.
class SimpleReportOwner : public ReportOwner {
 public:
  ReportFieldTable& ReportFields() override { return fields; }
  std::string& ReportCode() override { return reportCode; }
  std::string& LineTypeText() override { return lineType; }
  std::string LimitFrom() const override { return limitFrom; }
  std::string LimitTo() const override { return limitTo; }
  bool LimitsAbsent() const override { return limitsAbsent; }
  long ListLineCount() const override { return lineCount; }
  std::string ListTypeText() const override { return listType; }
  void SetListType(char letter) override { listType = std::string(1, letter); }
  void SetListMode(char letter) override { listMode = letter; }
  void SetTextLines(bool on) override { textLines = on; }
  void SetMargeLib23(int margin) override { margeLib23 = margin < 0 ? 20 : margin; }
  int PageNumberOffset() const override { return pageNumberOffset; }
  void SetReportPage(long page) override { reportPage = page; }
  std::string ExportFileNameForRun() override { return exportFileName; }

  ReportFieldTable fields;
  std::string reportCode = std::string(18, ' ');
  std::string lineType;
  std::string limitFrom, limitTo;
  bool limitsAbsent = false;
  long lineCount = 0;
  std::string listType;
  char listMode = ' ';
  bool textLines = false;
  int margeLib23 = 20;
  int pageNumberOffset = 0;
  long reportPage = 0;
  std::string exportFileName;
};

}  // namespace reports
