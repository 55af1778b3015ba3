// The export file of a report run: plain text (fixed width), text with a delimiter, CSV or an
// HTML page holding the report as tables, in Windows-1252 as the data are stored.
//
// What goes into it: every printed line of the report is one export line, made of the text
// segments that the interpreter draws on that line (WriteSegment) and ended by EndLine.
//   - plain (no delimiter: the delimiter "NON" or [ExportSansDelimiteur]): the segments as
//     printed, every blank kept, the alignment marks left out;
//   - delimited and CSV: each segment is cut into cells at the template's blanks (the hard
//     blanks "^" of data stay inside a cell); cells are trimmed and joined by the delimiter;
//     a CSV cell is quoted (its quotes doubled) unless it is a plain number ("-1234,50"), so
//     that a spreadsheet keeps codes, pieces and dates as text;
//   - HTML: the same cells as table cells ("<", ">", "&" and "'" escaped), a row per line.
// A line end ends each printed line, never a segment; an empty printed line gives an empty
// export line (outside HTML); a page end only ends a line that is still open.
//
// One export file exists per program (ExportFile()); the interpreter creates it at [Export]
// and the preview or printout that owns the run closes it. Creation and write failures are
// kept with their French message so that the owner shows them once, and the follow-up (open
// or e-mail) is offered only for a file that was written whole (Written()).
//
// The file is written aside (a temporary file in the same folder) and takes its name only when
// it is whole: the export of the same name a previous run left stays until then, and stays
// after a failure. Two cases put nothing in place and offer nothing of the export's own: a run
// whose owner placed its own file under the export's name meanwhile (the credit-transfer
// file: that file is the one offered), and an export into which nothing at all was written (a
// transfer run that wrote no file). A name that stands for anything but a regular file (a
// folder, a pipe, a device) is refused as the file cannot be made.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "platform/system/temp_files.h"

namespace reports {

// Export settings of a run ([Export:ext], [ExportRacine:xx], [Delimiteur=], line ends, HTML).
struct ExportSettings {
  std::string extension = ".txt";  // with its dot, padded to 4 characters as the template wrote it
  std::string root = "XP";         // the two letters after "C" in the default file name
  std::string delimiter;           // 3 characters (dossier constant 018); "NON" none, "TAB" a tab
  char lineEnd = '1';              // "1" CR LF, "2" CR, "3" LF, "4" nothing
  bool noDelimiter = false;        // fixed width: every blank kept
  bool csv = false;
  bool html = false;
  int htmlStyle = 0;               // 0-4 (3 and 4 alternate grey and white rows)
  char htmlFontSize = '0';         // "1"-"9"; "0" none
  char htmlFontAttribute = ' ';    // "i", "b", "u"
  int htmlColumnWidth = 0;         // width of the next cell in percent; 0 none
  char decimalMark = ',';          // of numbers in delimited and CSV exports
};

// The delimiter written between cells: "TAB" a tab, "NON" none, otherwise the 3 characters
// trimmed (";" when they are blank).
std::string DelimiterText(std::string_view delimiter);
// HTML escaping of a cell: "<", ">", "&", "'".
std::string HtmlEscaped(std::string_view text);
// The row opening of an HTML style (3 and 4 alternate: the style is advanced).
std::string HtmlRowOpening(int& style);

class ReportExportFile {
 public:
  enum class State { kNone, kOpen, kCreateFailed, kWriteFailed, kClosed };

  ReportExportFile() = default;
  ~ReportExportFile();
  ReportExportFile(const ReportExportFile&) = delete;
  ReportExportFile& operator=(const ReportExportFile&) = delete;

  // The program's handle convention: 0 no export file, -1 creation failed, above 0 open.
  int Handle() const;
  State GetState() const { return state_; }
  bool IsOpen() const { return state_ == State::kOpen; }
  const std::string& Path() const { return path_; }

  // Creates the file (nothing when the handle is not 0). In HTML mode the head of the page is
  // written with the title; false (state kCreateFailed, message kept) when it cannot be made.
  // `columnsPerLine` goes into the page's comment on real widths.
  bool Create(const std::string& path, ExportSettings& settings, const std::string& htmlTitle,
              int columnsPerLine);
  // One text segment of the current printed line, in the work text's escaped form.
  void WriteSegment(std::string_view segment, ExportSettings& settings);
  // A caller that cuts a segment into its cells itself (the interpreter does for the page) gives
  // them one by one instead, when the export cuts segments into cells (open, and delimited, CSV
  // or HTML): BeginCells for a segment that is not empty, then WriteCellText for each of its
  // cells in order, trimmed of its hard blanks and made plain, empty ones included.
  bool TakesCells(const ExportSettings& settings) const {
    return state_ == State::kOpen && (settings.html || !settings.noDelimiter);
  }
  void BeginCells() { lineOpen_ = true; }
  void WriteCellText(std::string_view text, ExportSettings& settings);
  // Ends the current printed line (a line that printed nothing is an empty line outside HTML,
  // nothing in HTML).
  void EndLine(ExportSettings& settings);
  // Ends the line only when a segment was written since the last line end (a page end).
  void EndOpenLine(ExportSettings& settings);
  bool LineOpen() const { return lineOpen_; }
  // [TABLE0] / [TABLE1] (the sixth character of the statement): closes the HTML table and
  // opens another one.
  void NewHtmlTable(char variant, ExportSettings& settings);
  // A whole line of text as the owner window writes it (its report hooks), then a line end.
  void WriteLine(std::string_view text, const ExportSettings& settings);
  // Writes what is pending, closes the HTML page and the file; false on a write error.
  bool Close(const ExportSettings& settings);
  // Gives up an open file whose owner found it would be wrong (a payment file with an amount that
  // cannot stand in it) and said why: nothing more is written, nothing is put in place, nothing is
  // offered, and no other file is made in this run.
  void Abandon();

  // The file was created and everything written so far reached it.
  bool Written() const { return (state_ == State::kOpen || state_ == State::kClosed) && !writeFailed_; }
  // Closed with nothing written into it: no file was put in place, nothing is to be offered.
  bool ClosedEmpty() const { return closedEmpty_; }
  // French message of a creation or write failure ("" when none), and whether the owner
  // already showed it.
  const std::string& FailureMessage() const { return failure_; }
  bool FailureShown() const { return failureShown_; }
  void MarkFailureShown() { failureShown_ = true; }
  // Back to "no export file" after the owner closed it and handled the follow-up.
  void Reset();
  // The path of a partial file that Reset left behind after a write failure, for its owner to
  // remove: always "" since the file is written aside (its temporary file is removed).
  std::string TakeIncompletePath() { return std::exchange(incompletePath_, std::string()); }

  std::size_t BytesWritten() const { return written_; }

 private:
  void Put(std::string_view bytes);
  void PutLineEnd(const ExportSettings& settings);
  void Flush();
  void WriteCell(std::string_view cell, ExportSettings& settings);
  void Fail(bool creation);

  State state_ = State::kNone;
  platform::TemporaryFile aside_;  // the file, written aside
  std::string stamp_;            // what stood under the name when the export began
  bool closedEmpty_ = false;
  std::string path_;
  std::string buffer_;
  std::size_t written_ = 0;
  bool lineOpen_ = false;
  int cellsInLine_ = 0;
  bool writeFailed_ = false;
  std::string failure_;
  bool failureShown_ = false;
  std::string incompletePath_;
  // The delimiter text of the settings' delimiter, made again when that changes.
  std::string delimiterOf_ = "\x01";
  std::string delimiter_;
  std::string cell_;
};

// The program's export file (one per program, as ExportFileHandle).
ReportExportFile& ExportFile();

}  // namespace reports
