// The analytic split of a general line, kept in the draft C50 beside the line: per axis a header record ("V"
// first axis, "X" second), a copy of the general line that the split is measured against, and the analytic
// lines ("W", "Y") that carry parts of its amount on sections of C30, each with its sort record in C60 and its
// amounts in its section's totals. These routines keep the header in step with the general line,
// make the default split from the account's text, add, renumber, cancel, reactivate and save the analytic lines
// and measure what remains of the general amount; the analytic lines window and form call them.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "data/entry_lines.h"
#include "data/lookup.h"
#include "posting/line_changes.h"

class Table;

// True when the last analytic line saved (a rounding line excepted) was typed in euros: the analytic lines
// window then shows the euros first and types its new lines in euros. The line form sets it from its own
// "En Euros" box before it asks for a split.
extern bool LastAnalyticEntryInEuros;
// 0 none; 1 a rounding analytic line in francs is wanted, 2 one in euros. Set when a split balances in one
// currency and not in the other; the next new analytic line takes it (its entry letter in lower case) and
// the next analytic line form takes it over and resets it.
extern int PendingRoundingLine;

namespace entry {

inline constexpr int kSplitKeyLength = 92;          // the key the line form hands over
inline constexpr int kSplitHeaderKeyLength = 30;    // C50ANAL of the header (and of one analytic line)
inline constexpr int kSplitLinesKeyLength = 26;     // C50ANAL of the lines of one axis
inline constexpr int kSplitGeneralKeyLength = 25;   // the general line's part of C50ANAL
inline constexpr long kMostSplitLines = 999;        // an axis renumbered 0010, 0020 ... stays within 9990

// The 92 characters with which the line form asks for the split of a line on one axis: 1-4 BMOIS, 5-7 BJAL,
// 8-13 BPIECE, 14-21 the line's account (BCG), 22-25 BNUM, 26 the header letter, 27-30 blanks, 31-36 BREC,
// 37-38 the day, 39 the label code, 40-64 the label, 65-78 and 79-92 the francs and euros, negative for a
// credit line.
class SplitKey {
 public:
  SplitKey() = default;
  explicit SplitKey(std::string text);
  const std::string& Text() const { return text_; }
  std::string Part(int from, int count) const { return text_.substr(static_cast<std::size_t>(from - 1), count); }
  char HeaderLetter() const { return text_[25]; }
  // "W" after "V", "Y" after "X".
  char LineLetter() const { return static_cast<char>(HeaderLetter() + 1); }
  int Axis() const { return HeaderLetter() >= 'X' ? 2 : 1; }
  std::string HeaderKey() const { return Part(1, kSplitHeaderKeyLength); }
  std::string LinesKey() const { return Part(1, kSplitGeneralKeyLength) + LineLetter(); }
  // The general line's C50CODE key: "Z" + BMOIS, BJAL, BPIECE, BREC, BNUM.
  std::string GeneralLineKey() const { return "Z" + Part(1, 13) + Part(31, 6) + Part(22, 4); }
  std::string Account() const { return Part(14, 8); }
  std::string Day() const { return Part(37, 2); }
  std::string LabelCode() const { return Part(39, 1); }
  std::string Label() const { return Part(40, 25); }
  // Signed cents: the key's text, or the amounts taken from the general line (TakeAmounts).
  long long Francs() const;
  long long Euros() const;
  // "C" when either amount is negative.
  char Sense() const { return Francs() < 0 || Euros() < 0 ? 'C' : 'D'; }
  // The amount of a currency as the title shows it: signed, two decimals, no blank.
  std::string AmountText(bool euros) const;
  // Whether the key's text of each amount reads: an amount that 14 characters with two decimals cannot hold
  // (a credit past -9 999 999 999.99) stands there as asterisks.
  bool AmountsRead() const;
  // The general line's amounts (signed cents) taken in place of the key's text.
  void TakeAmounts(long long francs, long long euros);
  // Whether Francs() and Euros() are the line's whole amounts: the key's text reads, or they were taken.
  bool AmountsWhole() const { return taken_ || AmountsRead(); }

  // The key of a general line (its C50CODE key and what the form holds) for one header letter.
  static SplitKey Of(const std::string& lineKey, const std::string& account, char headerLetter, const std::string& day,
                     const std::string& labelCode, const std::string& label, long long francs, long long euros);

 private:
  std::string text_ = std::string(kSplitKeyLength, ' ');
  bool taken_ = false;
  long long francs_ = 0, euros_ = 0;
};

// ---- the default split of an account's text
// One part of a default split: the section (at most 8 characters, upper case) and its percentage.
struct SplitPart {
  std::string section;
  double percent = 100;
};
enum class SplitTextFault {
  None,
  NoSection,      // a tag with nothing after it on its line
  LongSection,    // a section longer than 8 characters
  BadPercent,     // "%=" followed by no number from 0 to 100
};
struct DefaultSplitText {
  std::vector<SplitPart> parts;
  SplitTextFault fault = SplitTextFault::None;
  int faultLine = 0;           // 1-based line of the text where the fault stands
  std::string faultText;       // what stood there
};
// The parts the tag of an axis ("CA1=" or "CA2=", in capitals) names in an account's text. Each tag is read
// alone: its section runs to the end of its line or to "%=", blanks around it removed; its percentage is the
// number after the first "%=" that follows it before the next tag of either axis (on its line or a following
// one), 100 without one. The first faulty tag stops the reading: then no part counts.
DefaultSplitText ParseDefaultSplit(const std::string& text, int axis);
// The amounts of a part of a general amount (cents, its absolute value taken): the francs at the percentage,
// the euros converted from them at the rate (francs per euro, positive).
std::pair<long long, long long> DefaultSplitAmounts(long long generalFrancs, double percent, double rate);

// ---- the window's work
enum class SplitOpening {
  Opened,            // the header kept in step (created when `created`)
  LineGone,          // the general line is cancelled or gone: nothing written
  AmountUnread,      // the key's amounts do not read and neither do the general line's: nothing written
  LockRefused,       // another station holds the header: nothing written
  DraftFull,         // the header is missing and the draft has no room for it (DraftHasRoomFor): nothing written
  Failed,            // a write or a read refused: what was written taken back (*refusal says why)
};
// The header of the key's axis made live and in step with the general line (day, label code, label, sense,
// amounts, group), created when missing (its values in the one write of its append), with its sort record;
// one in step already is not written. One change of lines (LineChangeSteps): the header whole, its values
// and its live mark in one write, and its sort record, or nothing. `c50` on C50ANAL, `c60` any order. Key
// amounts that do not read (a credit too wide for the key's 14 characters) are taken from the general line
// as it stands stored, into the key, so that the header, the default split and the balance of the split all
// work from the whole amount, never from a 0.
SplitOpening KeepSplitHeader(Table& c50, Table& c60, SplitKey& key, bool* created, std::string* refusal = nullptr);
// The same on a copy of the key: the header gets the whole amounts; the key given keeps its text.
SplitOpening KeepSplitHeader(Table& c50, Table& c60, const SplitKey& key, bool* created,
                             std::string* refusal = nullptr);
// The analytic lines of the axis (cancelled ones too) given the general line's day, label code and label,
// each with its sort record (which copies the day): one change of lines, every line written or none (a
// refusal: *refusal says why). The number of lines; a line another cursor holds is left as it is.
long RefreshSplitLines(Table& c50, Table& c60, const SplitKey& key, std::string* refusal = nullptr);

// An analytic line appended after the others with its sort record: number `number` (4 digits), the section
// and amounts given (a new line has none; amounts go onto the section's total), the sense of the general line
// unless given, the entry letter "O" or "N" (lower case for a rounding line). One change of lines: a refused
// write or read takes it back (*refusal says why). C50 is left on the new record. False, with nothing
// written, when the draft has no room for one more record (DraftHasRoomFor) or the change was refused.
struct NewSplitLine {
  std::string number;       // 4 digits
  std::string section;
  std::string day, labelCode, label;
  char sense = 'D';
  long long francs = 0, euros = 0;
  char entry = 'O';
};
bool AppendSplitLine(Table& c50, Table& c60, const SplitKey& key, const NewSplitLine& line,
                     std::string* refusal = nullptr);

enum class DefaultSplitOutcome { Made, NoText, RateNotPositive, TextFault, AmountUnread, DraftFull, TotalsTooLarge, Failed };
// The default split of the account's text made on the key's axis: one line per part, numbered from 0001, the
// amounts added to the sections' totals. Nothing is written for a fault of the text, a rate that is not
// positive, a key whose amounts are not whole (AmountsWhole: KeepSplitHeader takes them from the general line),
// a draft without room for every line of the split (DraftFull) or a section whose total cannot
// hold its part (TotalsTooLarge); a write refused on the way takes the split back (Failed). *refusal gets
// what these last two tell the user.
DefaultSplitOutcome MakeDefaultSplit(Table& c50, Table& c60, const SplitKey& key, const std::string& text, double rate,
                                     bool euros, DefaultSplitText* parsed = nullptr, long* made = nullptr,
                                     std::string* refusal = nullptr);

// Renumbering an axis before a line is inserted: the lines (cancelled ones too) become 0010, 0020 ... in key
// order with their sort records, as one change of lines; the number of the last line below `n` comes back (0
// none). -1 when the axis has more lines than four digits hold that way, -2 when another station holds one of
// them, -3 when a write or a read was refused (*refusal says why): nothing changed.
inline constexpr long kSplitRenumberTooLarge = -1;
inline constexpr long kSplitRenumberLocked = -2;
inline constexpr long kSplitRenumberFailed = -3;
long RenumberSplitLines(Table& c50, Table& c60, const SplitKey& key, long n, std::string* refusal = nullptr);

// The number a new line after `after` takes ("0000" with none): one above, the axis renumbered when that one
// is taken or would pass 9999. The number, or kSplitRenumberTooLarge / kSplitRenumberLocked /
// kSplitRenumberFailed: a renumbering refused, or the seek that tells whether the number is taken
// refused by the disk (never taken for a free number), *refusal saying so; nothing changed.
long NextSplitLineNumber(Table& c50, Table& c60, const SplitKey& key, long after, std::string* refusal = nullptr);

// "Créer Ligne" of the analytic lines window: the line after `after` given the number NextSplitLineNumber
// finds (the axis renumbered when it must be) and appended as AppendSplitLine appends it, as one change of
// lines: the numbers and the line with its sort record, all of it or none. The line's number (also put
// into line.number), or kSplitRenumberTooLarge / kSplitRenumberLocked / kSplitLineNoRoom (the draft has
// no room for one more record) with nothing written, or kSplitRenumberFailed: a write or a read refused,
// all taken back, *refusal saying so.
inline constexpr long kSplitLineNoRoom = -4;
long CreateSplitLineAfter(Table& c50, Table& c60, const SplitKey& key, long after, NewSplitLine& line,
                          std::string* refusal = nullptr);

// An analytic line cancelled or reactivated on the cursor `c50` with its sort record, its amounts taken off or
// put back on its section. The line's lock is taken without waiting and given back once the line is written
// (one the cursor held before stays), so that the line's form can lock it at once afterwards. Made whole or
// not at all, as a general line's (posting/line_changes.h): *refusal gets what a change that did not go
// through tells the user. A line cancelled over its own amount that did not read is cancelled all the
// same; *totalsLeft (when given) then names its section's total, which still counts it, and advises the
// ReConstruction (posting::OwnSectionAmountText), "" otherwise.
posting::LineChange CancelSplitLine(Table& c50, Table& c60, std::uint32_t recno, const std::string& recordText,
                                    std::string* refusal = nullptr, std::string* totalsLeft = nullptr);
posting::LineChange ReactivateSplitLine(Table& c50, Table& c60, std::uint32_t recno, const std::string& recordText,
                                        std::string* refusal = nullptr);

// ---- the form's work
// The amounts the form holds for its own line.
struct FormAmounts {
  char sense = 'D';
  long long francs = 0, euros = 0;
};
// The general amount G (the header's, signed), the split's total A (its live lines, signed) and the
// remainders A - G per currency, in cents. With `form` the line of `lineKey` counts with those amounts,
// without it the line is left out.
struct SplitRemainder {
  long long generalF = 0, generalE = 0, splitF = 0, splitE = 0;
  // The records summed whose amount does not read (counted as zero): no balance is made from them.
  std::vector<UnreadableAmountLine> unreadable;
  // A look-up of the split the system refused: the sums are short, no balance is made from them.
  bool readRefused = false;
  long long RemainderFrancs() const { return splitF - generalF; }
  long long RemainderEuros() const { return splitE - generalE; }
};
SplitRemainder ComputeSplitRemainder(Table& c50, const std::string& lineKey, const FormAmounts* form);

// The record of a 30-character C50ANAL key (a header or one analytic line, live or cancelled) made current on
// `c50`, whose order becomes C50ANAL. Not found when there is none, refused when it could not be read.
Lookup SeekAnalyticRecord(Table& c50, const std::string& key30);
// Whether the current record belongs to the analytic lines of a 26-character key, and then whether it is
// live, cancelled, or its mark unread (KeyMatch).
KeyMatch MatchSplitLines(Table& c50, const std::string& key26);

// An analytic line as its form holds it.
struct AnalyticLineValues {
  std::string day, section, labelCode, label;
  bool inEuros = true;        // typed in euros ("En Euros" checked)
  bool roundingLine = false;
  char sense = 'D';
  long long francs = 0, euros = 0;
};
enum class AnalyticSaveOutcome { Saved, ZeroLineCancelled, NotFound, LockRefused, TotalsTooLarge, Failed };
// The line of `lineKey` (30 characters on C50ANAL) written under its lock: the lock taken first (the form's own
// is granted at once and kept), then the old amounts taken off the old section, the fields and the sort record
// written, the new amounts added to the new section, a line left without amount cancelled with its sort
// record. A refused lock changes nothing; a section whose total cannot hold the amounts refuses the save
// before anything is written (TotalsTooLarge); a write refused on the way takes back what the save wrote
// (Failed). *refusal gets what these last two tell the user. Sets LastAnalyticEntryInEuros for a saved line
// that is no rounding line. A live line saved over its own amount that did not read is saved all the same:
// *totalsLeft (when given) then names its old section's total, which still counts the old amount, and
// advises the ReConstruction (posting::OwnSectionAmountText), "" otherwise.
AnalyticSaveOutcome SaveAnalyticLineRecord(Table& c50, Table& c60, const std::string& lineKey,
                                           const AnalyticLineValues& v, std::string* refusal = nullptr,
                                           std::string* totalsLeft = nullptr);
// "Quitter": a live line whose section is still blank was never filled: cancelled with its sort record,
// both or neither (a write or a read refused: *refusal then says why). True when it was cancelled.
bool DropBlankAnalyticLine(Table& c50, Table& c60, const std::string& lineKey, std::string* refusal = nullptr);

// ---- balancing decisions
// Where the balancing amount goes: the sense and both amounts (positive cents) of the entry currency's
// amount, the other currency converted at the rate when `convert`, else 0.
struct BalancingAmount {
  char sense = 'D';
  long long francs = 0, euros = 0;
};
BalancingAmount BalancingAmountOf(bool entryEuros, bool convert, long long francs, long long euros, double rate);
// After "Solder la PiÃ¨ce" saved the line: the rounding line to ask for (0 none, 1 francs, 2 euros).
int RoundingAfterBalancing(bool entryEuros, bool euroOnly, long long remainderF, long long remainderE);
// After Enter in an amount saved the line: the analytic lines window is closed (the split balances) or asked
// for a new line, with the rounding line to ask for.
struct AfterAmount {
  bool closeList = false;
  int pending = 0;
};
AfterAmount AfterAmountEntered(bool entryEuros, bool euroOnly, long long remainderF, long long remainderE);
// "Solder le Compte": the signed amounts that bring the section to zero. The line's loaded amounts stand in
// the totals of the section it was loaded with only: they are taken out of the balance when `sameSection`.
std::pair<long long, long long> SectionBalancingAmounts(long long debitF, long long debitE, long long creditF,
                                                        long long creditE, bool sameSection, long long loadedF,
                                                        long long loadedE);

}  // namespace entry
