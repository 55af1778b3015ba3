// A journal-month: its key CleJournalMois (BMOIS + BJAL, 7 characters), its header record in
// the general file (kind "C", code key + "B" for the draft or "C" once closed, with the totals
// of its lines in fields 4 and 5), and its journal's record (kind "J").
//
// Every "find this record" here seeks the whole key, blank-padded to the code field, with its
// source letter: a draft header sought without its letter would land on the closed one.
#pragma once

#include <string>
#include <vector>

#include "data/lookup.h"

class Table;

namespace posting {

constexpr char kDraftSource = 'B';
constexpr char kClosedSource = 'C';
constexpr int kJournalCodeWidth = 3;
constexpr int kHeaderCodeWidth = 8;

// BMOIS + BJAL, the journal blank-padded or cut to 3.
std::string CleJournalMois(const std::string& month, const std::string& journal);
// "Z" + CleJournalMois: the key prefix of the journal-month's general lines.
std::string LinePrefix(const std::string& journalMonth);
// The month of a key shown as MM/YY, the stored year decoded ("D003" gives "03/30").
std::string MonthDisplay(const std::string& journalMonth);
// The journal code of a key without trailing blanks.
std::string JournalOf(const std::string& journalMonth);

// The program's general file open (it is opened by the windows that need it), in code order when
// it had to be opened here.
bool EnsureGeneralFile();

// The whole C10CODE key of a record: kind letter + code blank-padded to the code field.
std::string C10Key(Table& c10, char kind, const std::string& code);
// Makes the record current when the whole key is there (cancelled or not): found, not found, or refused
// when the look-up could not read.
Lookup FindC10(Table& c10, char kind, const std::string& code);
// The same for a live record: not found also when it is cancelled, refused also when its cancel mark
// could not be read again.
Lookup FindLiveC10(Table& c10, char kind, const std::string& code);
// The journal-month's header, draft or closed, found, not found or refused.
Lookup FindHeader(Table& c10, const std::string& journalMonth, char source);
// The journal's record, found, not found or refused.
Lookup FindJournal(Table& c10, const std::string& journal);

// The four totals of the current header, in cents: field 4 francs, field 5 euros, debit at
// 1-14 and credit at 15-28.
struct HeaderTotals {
  long long debitF = 0, creditF = 0, debitE = 0, creditE = 0;
};
HeaderTotals ReadHeaderTotals(Table& c10);
// Zero totals laid out as the totals update writes them: two numbers of width 14.
std::string ZeroTotalsText();

// What the draft header's creation found.
enum class HeaderCreation { Created, Existed, NoJournal, Failed };
// The draft header of a journal-month, created when missing (under the creation lock, looked
// for again under it): field 3 the journal's name, zero totals. One found deleted (the
// rebuild's, before a pack) is brought back with zero totals (Created). NoJournal when the
// journal is missing or cancelled: nothing is created then.
HeaderCreation EnsureDraftHeader(Table& c10, const std::string& journalMonth);

// The journal's data as the lines window keeps it.
struct JournalRecord {
  bool found = false;
  bool cancelled = false;
  // The journal's record or its model's could not be read: found false (or the model's text empty) says
  // nothing of the journal then.
  bool refused = false;
  std::string name;       // field 3, right-trimmed
  std::string settings;   // field 4, characters 1-24: type, counterpart, label, model, counter
  std::string modelText;  // the memo of its entry model, tidied (at most 4,000 characters)
  char type() const { return settings.empty() ? ' ' : settings[0]; }
  char defaultLabel() const { return settings.size() > 9 ? settings[9] : ' '; }
  std::string modelCode() const;
  // The journal's own next piece number, 0 when the dossier's counter applies.
  long nextPiece() const;
};
JournalRecord ReadJournal(Table& c10, const std::string& journal);
// The model text tidied as the line form wants it: tabs as 8 blanks, blank lines dropped,
// no line break at either end, one line break after the last line.
std::string TidyModelText(const std::string& memo);

// The months of the dossier's financial year: stored YYMM and shown MM/YY.
struct YearMonth {
  std::string stored;
  std::string shown;
};
std::vector<YearMonth> FinancialYearMonths();

}  // namespace posting
