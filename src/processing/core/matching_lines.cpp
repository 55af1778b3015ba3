#include "processing/core/matching_lines.h"

#include <cstdlib>

#include "data/entry_lines.h"
#include "data/error_report.h"
#include "data/line_change_note.h"
#include "data/record_fields.h"
#include "data/table.h"
#include "runtime/code_helpers.h"
#include "runtime/numbers.h"
#include "runtime/text.h"

namespace processing {

namespace {
using L = LigneEcriture;
using T = LigneTri;
}  // namespace

bool LetterAfter(std::string a, std::string b) {
  a = Trimmed(a);
  b = Trimmed(b);
  if (a.empty()) return false;
  if (b.empty()) return true;
  RightJustifyCode4(a);
  RightJustifyCode4(b);
  return a > b;
}

bool AdvanceLetter(std::string& letter) {
  std::string next = Trimmed(letter);
  if (static_cast<int>(next.size()) > kLetterWidth) return false;
  const std::string before = next;
  NextLetterCode(next);
  next = Trimmed(next);
  if (!before.empty() && !LetterAfter(next, before)) return false;
  letter = next;
  return true;
}

void RaiseToNotedLetters(const std::string& account, int currency, std::string& highest) {
  for (const std::string& letter : LettersNoted(account, currency))
    if (!letter.empty() && LetterAfter(letter, highest)) highest = letter;
}

int SourceLetterField(bool draft, int currency) { return (draft ? int{L::BLET} : int{L::DLET}) + currency; }
int SourceAmountField(bool draft, int currency) { return (draft ? int{L::BMONTANTF} : int{L::DMONTANTF}) + currency; }
int SourceSenseField(bool draft) { return draft ? int{L::BSENS} : int{L::DSENS}; }

SourceLine ReadSource(const MatchTables& t, int currency) {
  SourceLine s;
  s.draft = t.c60.GetField(T::TFIC)[0] == T::kDraft;
  const long recno = std::atol(t.c60.GetField(T::TREC));
  Table& source = s.draft ? t.c50 : t.c40;
  if (recno <= 0 || !source.isOpen || recno > static_cast<long>(source.RecCount())) return s;
  // A line not read is no line unreachable: noted, so that a run's watch of refusals fails the run.
  const Lookup at = source.GoToRecord(recno);
  if (at.IsRefused()) {
    s.refused = true;
    RefusalWatch::NoteEngineReadRefusal(source.tablePath, at.result());
  }
  if (!at.IsFound()) return s;
  s.table = &source;
  const long long cents = StoredAmountOf(source, SourceAmountField(s.draft, currency));
  s.cents = source.GetField(SourceSenseField(s.draft))[0] == 'D' ? cents : -cents;
  s.letter = source.GetField(SourceLetterField(s.draft, currency));
  s.otherLetter = source.GetField(SourceLetterField(s.draft, 1 - currency));
  return s;
}

std::string AccountOf(Table& c60) { return std::string(c60.GetField(T::TCODE)).substr(0, kAccountWidth); }

std::string DateOf(Table& c60) { return std::string(c60.GetField(T::TMOIS)) + c60.GetField(T::TJOUR); }

}  // namespace processing
