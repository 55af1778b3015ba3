// The one writer of new general lines in the draft: each line appended to C50, its sort record
// derived into C60, its account normalised, then the account's and the journal-month's totals
// posted. The balancing piece of the manual matching and the bank imports write through it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "data/account_totals.h"

class Table;

// Sort records point at their line through six digits (TREC, BREC): a line table of more
// physical records cannot be pointed into, and the runs that write pointers refuse it.
inline constexpr long kMaxLineRecords = 999999;
// The refusal naming the line table's data file.
std::string TooManyLinesMessage(const std::string& file);

// One new general line of the draft. The month is the stored YYMM, the day two digits.
struct NewDraftLine {
  std::string month, journal, piece, day;
  std::string account;     // as typed: normalised by the writer
  std::string labelCode, label;
  std::string label2, label3;  // further labels ("" none)
  std::string dueDate;         // stored YYMMDD ("" none)
  std::string vatCode;         // "" none; copied to the sort record
  char sense = 'D';        // "D" or "C"
  double francs = 0.0, euros = 0.0;
  char entryCurrency = 'O';
  std::string pendingMark;  // C60 TLETP of its sort record ("" none)
};

enum class DraftWrite {
  Written,
  TooManyLines,  // the draft would pass kMaxLineRecords records: nothing written
  Failed,        // a write or a read refused: nothing left written (or left for the next opening)
  TotalsTooLarge,  // a total cannot hold the lines: nothing left written (the overflow names it)
};

// Writes the lines in order, each in a group of its own (its BREC is the draft's record count
// at its append, six digits) numbered "0001". Either every line is written with its sort record
// and totals, or none: a total that cannot hold the lines refuses them before anything is
// written (*overflow names it), and a line or a total that fails takes back the lines written
// before it (cancelled, with their sort records) and the totals moved. The totals go through the
// program's TableC20 and TableC10. `recnos` receives the lines' physical record numbers. The lines
// are one change of lines (LineChangeSteps): the engine's boxes held back, a read refused on the way
// failing them; *refusal receives the one sentence of a refused write or read (Failed), naming the
// file and the cause, and saying whether all could be taken back.
DraftWrite WriteDraftLines(Table& c50, Table& c60, const std::vector<NewDraftLine>& lines,
                           std::vector<std::uint32_t>* recnos = nullptr, TotalsOverflow* overflow = nullptr,
                           std::string* refusal = nullptr);

// The totals lines move, summed: per account (normalised, as the line posts it) and per
// journal-month header (the 8-character code MajCentC10 takes).
struct DraftTotals {
  std::map<std::string, TotalsCents> accounts, headers;
  void Add(const NewDraftLine& line, const std::string& account);
  DraftTotals& operator+=(const DraftTotals& o);
  bool Empty() const { return accounts.empty() && headers.empty(); }
};

// The header code of a line's journal-month.
std::string DraftHeaderCode(const std::string& month, const std::string& journal);

// Lines per engine call of AppendDraftLines: the other stations' appends wait for one batch at
// most (a few tens of milliseconds), and each batch writes its index pages once.
inline constexpr std::size_t kDraftBatchLines = 5000;

// Writes the lines as WriteDraftLines does, in batches (the lines of a batch appended with one
// engine call, then their sort records with another), but posts no totals: they are added to
// `totals` for the caller to post once. A failure (`totals` then unchanged) leaves what was
// written as it is, some lines perhaps without their sort records: the caller records its run
// before, so that its next run puts the pieces cut short in order.
DraftWrite AppendDraftLines(Table& c50, Table& c60, const std::vector<NewDraftLine>& lines, DraftTotals* totals,
                            std::vector<std::uint32_t>* recnos = nullptr);
