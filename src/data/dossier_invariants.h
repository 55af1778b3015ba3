// The rules every dossier keeps between its lines and what is derived from them, checked by
// reading the files: the validation runs it before it moves lines, and tests run it after each
// change to the entries.
//
// - Sort records: exactly one C60 record per record of C50 ("B") and of C40 ("C"), pointing back
//   by file and record number, with every field it copies from its line (kSortRecordCopies) and
//   its cancel mark.
// - Journal-month headers (C10 kind "C", code month + journal + "B" draft or "C" closed): their
//   franc and euro debit and credit totals equal the sums of the live general lines of that
//   journal-month; a journal-month whose live lines add up to something has its header.
// - Account totals (C20 fields 17-20): the sums of the live general lines of C40 and C50 on the
//   account, an auxiliary account's lines counted again on its collective account (as
//   CollectiveAccountOf decides it for the writers of the totals: a cancelled collective too).
// - Section totals (C30 fields 9-12): the sums of the live analytic lines "W" and "Y".
// - Analytic records: a live one ("V" to "Y") stands under a live general line of its file, the
//   same journal-month, piece and line number, on the account it splits (its BCG).
// Sums are made in whole cents, every amount read as the reports read it (StoredAmountCents): one
// that does not read as a number counts as zero, and its line or record is named.
//
// The same check, read the same way, decides wherever books are taken in (a restore, a
// conversion, the validation): books apart are refused, books whose totals alone are wrong are
// taken with the advice to run the ReConstruction, which makes every total again from the lines.
// The validation reads the whole books once, before it moves lines (CheckKeeping); after it, the
// check reads what the run wrote and takes the lines it left from that first reading (CheckMoved).
#pragma once

#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "data/entry_lines.h"
#include "data/table_structures.h"

class DossierInvariants {
 public:
  // The open dossier's files (DossierFolder, DossierCode).
  DossierInvariants() = default;
  // The files of dossier `code` in `folder` (ending with "/"), which need not be the open one: a
  // restore's copy of the books, checked before it replaces them.
  DossierInvariants(std::string folder, std::string code) : folder_(std::move(folder)), code_(std::move(code)) {}

  // Checks the dossier's files through cursors of its own, opened shared and read-only. True
  // when no rule is broken; the faults are kept.
  bool Check();

  // The check of the books around a validation, which moves every live draft line of some
  // journal-months (month and journal, as the validation names them) to the end of the closed
  // file and writes nothing else of the lines (the draft packed, the sort file made again from
  // the lines, the journal-months' headers moved): CheckKeeping is Check made before the run,
  // keeping what the lines add up to and what those journal-months' lines hold, but that it looks
  // for two live lines of one number only among the lines the run moves (the others stay as they
  // are, and the next whole check names them); CheckMoved,
  // after it, reads what the run wrote (the lines moved, every sort record, every total) and
  // takes the lines it did not move from what CheckKeeping read of them. Anything found there,
  // or not read, or a check before that was not whole, and CheckMoved checks the whole books as
  // Check does: its faults, advice and report are then those of Check.
  bool CheckKeeping(const std::vector<std::string>& journalMonths);
  bool CheckMoved(const DossierInvariants& before);
  // Whether the last check read every line (Check, or CheckMoved that had to), or only those a
  // validation wrote.
  bool ReadWhole() const { return readWhole_; }

  // One French line per broken rule, at most kMaxFaults of them (the count goes on).
  const std::vector<std::string>& Faults() const { return faults_; }
  long FaultCount() const { return faultCount_; }
  // All the faults, one a line, then the lines and records counted as zero for an amount that
  // does not read, named as the reports name them.
  std::string Report() const;
  // Those lines and records.
  const std::vector<UnreadableAmountLine>& Unreadable() const { return unreadable_; }

  // What the faults say of the books. Faults that no state of the books holds make them apart:
  // a line without its sort record or with two, a sort record leading nowhere or not its line's,
  // an analytic record live under a general line cancelled or standing on another account, a
  // record or a file that could not be read; they come from tables of two states, or a copy
  // stopped part-way. The others are totals (a journal-month header, an account, a section) that
  // are not the sums of their lines, or a collective record missing: the books are one state whose
  // totals the ReConstruction makes again.
  bool Apart() const { return apartCount_ > 0; }
  // The faults of either kind, one French line each, at most kMaxFaults of each (the counts go on).
  const std::vector<std::string>& ApartFaults() const { return apartFaults_; }
  long ApartCount() const { return apartCount_; }
  const std::vector<std::string>& TotalsFaults() const { return totalsFaults_; }
  long TotalsCount() const { return faultCount_ - apartCount_; }
  // Each total found wrong, once, however many: 'A' + an account as C20 holds it, 'S' + a section,
  // 'H' + the month and journal of a journal-month (its draft and closed headers alike), 'B' + the
  // letter of a missing collective.
  const std::set<std::string>& WrongTotals() const { return wrongTotals_; }
  // Faults as a message lists them: the first `shown`, one a line and indented, then how many more.
  static std::string Listed(const std::vector<std::string>& faults, long count, std::size_t shown);
  // The advice given where books whose totals are wrong are taken in: which totals, and that a
  // ReConstruction makes them again. "" when every total holds.
  std::string TotalsAdvice() const;

  // What was read, for the caller's summary.
  long draftLines = 0;
  long closedLines = 0;
  long sortRecords = 0;
  long headers = 0;

  static constexpr std::size_t kMaxFaults = 50;

 private:
  // The path (without extension) of the dossier's table of that kind, and the dossier's code.
  std::string Path(TableKind kind) const;
  std::string Code() const;
  // The lines and sort records read block by block; false when a block could not be read.
  bool CheckFromBlocks();
  bool CheckByCursor();
  // A fault that makes the books apart, or a total (`total` as WrongTotals holds it) that is wrong.
  void Fault(const std::string& text);
  void WrongTotal(const std::string& text, const std::string& total);
  void Clear();
  // Check, keeping what CheckKeeping asks for when kept_ is set.
  bool CheckWhole();
  // What CheckKeeping kept of the lines, and the check of the books after the run from it: false
  // when anything is wrong or could not be read.
  struct Kept;
  bool MovedLinesHold(const Kept& before);
  std::shared_ptr<Kept> kept_;
  bool readWhole_ = false;
  std::vector<std::string> faults_, apartFaults_, totalsFaults_;
  std::set<std::string> wrongTotals_;
  long apartCount_ = 0;
  std::vector<UnreadableAmountLine> unreadable_;
  long faultCount_ = 0;
  std::string folder_, code_;  // "": the open dossier
};
