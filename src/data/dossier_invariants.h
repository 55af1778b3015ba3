// The rules every dossier keeps between its lines and what is derived from them, checked by
// reading the files: the validation runs it before it moves lines, and tests run it after each
// change to the entries.
//
// - Sort records: exactly one C60 record per record of C50 ("B") and of C40 ("C"), pointing back
//   by file and record number, with the key fields of its line and its cancel mark.
// - Journal-month headers (C10 kind "C", code month + journal + "B" draft or "C" closed): their
//   franc and euro debit and credit totals equal the sums of the live general lines of that
//   journal-month; a journal-month whose live lines add up to something has its header.
// - Account totals (C20 fields 17-20): the sums of the live general lines of C40 and C50 on the
//   account, an auxiliary account's lines counted again on its collective account (C10 "B" +
//   the account's first letter, field 4).
// - Section totals (C30 fields 9-12): the sums of the live analytic lines "W" and "Y".
// Sums are made in whole cents, every amount read as the reports read it (StoredAmountCents): one
// that does not read as a number counts as zero, and its line or record is named.
#pragma once

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

  // One French line per broken rule, at most kMaxFaults of them (the count goes on).
  const std::vector<std::string>& Faults() const { return faults_; }
  long FaultCount() const { return faultCount_; }
  // All the faults, one a line, then the lines and records counted as zero for an amount that
  // does not read, named as the reports name them.
  std::string Report() const;
  // Those lines and records.
  const std::vector<UnreadableAmountLine>& Unreadable() const { return unreadable_; }

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
  void Fault(const std::string& text);
  void Clear();
  std::vector<std::string> faults_;
  std::vector<UnreadableAmountLine> unreadable_;
  long faultCount_ = 0;
  std::string folder_, code_;  // "": the open dossier
};
