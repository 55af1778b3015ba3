#include "entry/core/analytic_split.h"
#include "posting/line_save.h"

#include <algorithm>
#include <cstdlib>

#include "data/account_totals.h"
#include "data/closed_lines.h"
#include "data/entry_lines.h"
#include "data/error_report.h"
#include "data/record_fields.h"
#include "data/table.h"
#include "data/table_results.h"
#include "posting/line_changes.h"
#include "posting/new_lines.h"
#include "runtime/numbers.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

bool LastAnalyticEntryInEuros = false;
int PendingRoundingLine = 0;

namespace entry {

namespace {

using L = LigneEcriture;

constexpr int kContextSave = 2010;
constexpr std::size_t kSectionWidth = 8, kLabelWidth = 25;
constexpr long kMostNumber = 9999;

std::string Digits4(long n) { return StrZero(n, 4); }

// The current record belongs to the lines (or the header) named by the first 26 characters of `key`.
char MatchSplit(Table& c50, const std::string& key) {
  return c50.MatchKey(key.c_str(), kSplitLinesKeyLength, L::BMOIS, L::BJAL, L::BPIECE, L::BCG, L::BNUM, L::BCLE);
}

// The record of a 30-character C50ANAL key made current: the 26 characters of its kind and its sub-number.
bool SeekSplitRecord(Table& c50, const std::string& key30) {
  const std::string key = PadRight(key30, kSplitHeaderKeyLength);
  if (!c50.SeekNotBelow(L::kAnalyticTag, key.c_str())) return false;
  const char m = MatchSplit(c50, key);
  return (m == 'O' || m == 'o') && std::string(c50.GetField(L::BNUMA)) == key.substr(kSplitLinesKeyLength, 4);
}

// The records of the lines of a 26-character key (cancelled ones too) in key order.
std::vector<std::uint32_t> SplitRecords(Table& c50, const std::string& key26, bool liveOnly) {
  std::vector<std::uint32_t> found;
  for (bool more = c50.SeekNotBelow(L::kAnalyticTag, key26.c_str()); more; more = c50.Skip(1)) {
    const char m = MatchSplit(c50, key26);
    if (m == 'O' || (m == 'o' && !liveOnly)) found.push_back(c50.recordNumber);
    else if (m != 'o') break;
  }
  return found;
}

// The texts of a change of analytic lines refused by a write (the file and the error in them): a save, a
// default split.
constexpr int kMsgAnalyticSaveRefused = 34309;
constexpr int kMsgDefaultSplitRefused = 34310;
// A cancel and a reactivation refused by a write, as for a general line.
constexpr int kMsgCancelRefused = 34305;
constexpr int kMsgReactivateRefused = 34306;

bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20; }

// The 1-based line of a position in a text (CR LF, LF or CR ends a line).
int LineOf(const std::string& text, std::size_t at) {
  int line = 1;
  for (std::size_t i = 0; i < at && i < text.size(); ++i)
    if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))) ++line;
  return line;
}

// The text of the line a position stands on.
std::string LineText(const std::string& text, std::size_t at) {
  std::size_t from = at;
  while (from > 0 && text[from - 1] != '\n' && text[from - 1] != '\r') --from;
  std::size_t to = at;
  while (to < text.size() && text[to] != '\n' && text[to] != '\r') ++to;
  return text.substr(from, to - from);
}

// A percentage at `at`: blanks, then digits with an optional decimal point or comma. False for anything else
// or a value above 100.
bool ReadPercent(const std::string& text, std::size_t at, double& percent) {
  while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
  std::string number;
  bool point = false;
  for (; at < text.size(); ++at) {
    const char c = text[at];
    if (c >= '0' && c <= '9') {
      number += c;
    } else if ((c == '.' || c == ',') && !point) {
      point = true;
      number += '.';
    } else {
      break;
    }
  }
  if (number.find_first_of("0123456789") == std::string::npos) return false;
  percent = std::atof(number.c_str());
  return percent >= 0 && percent <= 100;
}

}  // namespace

// ---- the key ------------------------------------------------------------------------------------------------

SplitKey::SplitKey(std::string text) : text_(PadRight(std::move(text), kSplitKeyLength)) {}

long long SplitKey::Francs() const { return ToCents(Val(Part(65, 14).c_str())); }
long long SplitKey::Euros() const { return ToCents(Val(Part(79, 14).c_str())); }

SplitKey SplitKey::Of(const std::string& lineKey, const std::string& account, char headerLetter,
                      const std::string& day, const std::string& labelCode, const std::string& label,
                      long long francs, long long euros) {
  const std::string k = PadRight(lineKey, L::kKeyLength);
  std::string text = k.substr(1, 13) + PadRight(NormalizeAccount(account), 8) + k.substr(20, 4) + headerLetter +
                     std::string(4, ' ') + k.substr(14, 6) + PadRight(day, 2) + PadRight(labelCode, 1) +
                     PadRight(label, kLabelWidth) + AmountText14(FromCents(francs)) + AmountText14(FromCents(euros));
  return SplitKey(std::move(text));
}

// ---- the default split ----------------------------------------------------------------------------------------

DefaultSplitText ParseDefaultSplit(const std::string& text, int axis) {
  DefaultSplitText out;
  const std::string tag = axis == 2 ? "CA2=" : "CA1=";
  auto nextTag = [&text](std::size_t from) {
    return std::min(text.find("CA1=", from), text.find("CA2=", from));
  };
  auto fail = [&](SplitTextFault fault, std::size_t at) {
    out.parts.clear();
    out.fault = fault;
    out.faultLine = LineOf(text, at);
    out.faultText = LineText(text, at);
    return out;
  };
  for (std::size_t p = text.find(tag); p != std::string::npos; p = text.find(tag, p + tag.size())) {
    const std::size_t start = p + tag.size();
    const std::size_t next = nextTag(start);
    // The section: to the end of its line, "%=" or the next tag.
    std::size_t end = start;
    while (end < text.size() && end != next && !IsControl(text[end]) && text.compare(end, 2, "%=") != 0) ++end;
    const std::string section = AllTrim(text.substr(start, end - start).c_str());
    if (section.empty()) return fail(SplitTextFault::NoSection, p);
    if (section.size() > kSectionWidth) return fail(SplitTextFault::LongSection, p);
    SplitPart part{Upper(section.c_str()), 100};
    const std::size_t q = text.find("%=", start);
    if (q != std::string::npos && q < next && !ReadPercent(text, q + 2, part.percent))
      return fail(SplitTextFault::BadPercent, q);
    out.parts.push_back(std::move(part));
  }
  return out;
}

std::pair<long long, long long> DefaultSplitAmounts(long long generalFrancs, double percent, double rate) {
  const double francs = Round(2, FromCents(generalFrancs < 0 ? -generalFrancs : generalFrancs) * percent / 100.0);
  const double euros = rate > 0 ? Round(2, francs / rate) : 0;
  return {ToCents(francs), ToCents(euros)};
}

// ---- the header --------------------------------------------------------------------------------------------------

SplitOpening KeepSplitHeader(Table& c50, Table& c60, const SplitKey& key, bool* created) {
  if (created != nullptr) *created = false;
  // The general line must still stand, live and on the account the split is made for.
  const std::string general = key.GeneralLineKey();
  const bool live = c50.Seek(L::kCodeTag, general.c_str()) &&
                    c50.MatchKey(general.c_str(), L::kKeyLength, L::BCLE, L::BMOIS, L::BJAL, L::BPIECE, L::BREC,
                                 L::BNUM) == 'O' &&
                    NormalizeAccount(c50.GetField(L::BCODE)) == NormalizeAccount(key.Account());
  c50.SetOrder(L::kAnalyticTag);
  if (!live) return SplitOpening::LineGone;

  const std::string header = key.HeaderKey();
  bool made = false;
  if (!SeekSplitRecord(c50, header)) {
    if (!posting::DraftHasRoomFor(c50, 1)) return SplitOpening::DraftFull;
    if (!c50.AppendBlank()) return SplitOpening::Failed;
    c50.PutField(L::BMOIS, key.Part(1, 4).c_str());
    c50.PutField(L::BJAL, key.Part(5, 3).c_str());
    c50.PutField(L::BPIECE, key.Part(8, 6).c_str());
    c50.PutField(L::BCG, key.Account().c_str());
    c50.PutField(L::BNUM, key.Part(22, 4).c_str());
    c50.PutField(L::BCLE, std::string(1, key.HeaderLetter()).c_str());
    c50.PutField(L::BNUMA, "    ");
    if (!c50.InsertRecord() || !c50.Commit()) return SplitOpening::Failed;
    made = true;
  }
  const std::uint32_t recno = c50.recordNumber;
  const std::string text = c50.RecordToText(L::BNUMA);
  if (!LockRecord(c50, text.c_str(), 0)) return SplitOpening::LockRefused;
  const bool held = c50.result == kResultAlreadyLocked;
  const long long f = key.Francs(), e = key.Euros();
  const bool credit = f < 0 || e < 0;
  const bool written = WriteRecordFields(c50, {{L::BJOUR, key.Day()},
                                         {L::BCLIB, key.LabelCode()},
                                         {L::BLIB, key.Label()},
                                         {L::BSENS, credit ? "C" : "D"},
                                         {L::BMONTANTF, "", true, FromCents(credit ? -f : f)},
                                         {L::BMONTANTE, "", true, FromCents(credit ? -e : e)},
                                         {L::BREC, key.Part(31, 6)}});
  c50.GoTo(static_cast<long>(recno));
  if (written && c50.IsDeleted()) c50.RecallRecord(text.c_str(), 0);
  if (!held) UnlockRecord(c50);
  c50.GoTo(static_cast<long>(recno));
  const bool sorted = written && SortRecordFollows(c50, c60, text.c_str());
  c50.GoTo(static_cast<long>(recno));
  if (!c50.Commit() || !c60.Commit() || !sorted) return SplitOpening::Failed;
  if (created != nullptr) *created = made;
  return SplitOpening::Opened;
}

long RefreshSplitLines(Table& c50, const SplitKey& key) {
  const std::string day = key.Day(), labelCode = key.LabelCode(), label = key.Label();
  long count = 0;
  const std::string lines = key.LinesKey();
  for (std::uint32_t recno : SplitRecords(c50, lines, false)) {
    ++count;
    if (!c50.GoTo(static_cast<long>(recno))) continue;
    if (c50.GetField(L::BJOUR) == day && c50.GetField(L::BCLIB) == labelCode && c50.GetField(L::BLIB) == label) continue;
    if (!LockRecord(c50, nullptr, 0)) continue;
    const bool held = c50.result == kResultAlreadyLocked;
    WriteRecordFields(c50, {{L::BJOUR, day}, {L::BCLIB, labelCode}, {L::BLIB, label}});
    if (!held) UnlockRecord(c50);
  }
  c50.Commit();
  return count;
}

// ---- new lines -----------------------------------------------------------------------------------------------------

bool AppendSplitLine(Table& c50, Table& c60, const SplitKey& key, const NewSplitLine& line) {
  if (c50.tag != L::kAnalyticTag) c50.SetOrder(L::kAnalyticTag);
  if (!posting::DraftHasRoomFor(c50, 1) || !c50.AppendBlank()) return false;
  c50.PutField(L::BMOIS, key.Part(1, 4).c_str());
  c50.PutField(L::BJAL, key.Part(5, 3).c_str());
  c50.PutField(L::BPIECE, key.Part(8, 6).c_str());
  c50.PutField(L::BCG, key.Account().c_str());
  c50.PutField(L::BNUM, key.Part(22, 4).c_str());
  c50.PutField(L::BCLE, std::string(1, key.LineLetter()).c_str());
  c50.PutField(L::BNUMA, line.number.c_str());
  c50.PutField(L::BJOUR, line.day.c_str());
  c50.PutField(L::BCLIB, line.labelCode.c_str());
  c50.PutField(L::BLIB, line.label.c_str());
  c50.PutField(L::BSENS, line.sense == 'D' ? "D" : "C");
  c50.PutField(L::BREC, key.Part(31, 6).c_str());
  c50.PutField(L::BCODE, line.section.c_str());
  c50.PutFieldNum(L::BMONTANTF, FromCents(line.francs));
  c50.PutFieldNum(L::BMONTANTE, FromCents(line.euros));
  c50.PutField(L::BEURO, std::string(1, line.entry).c_str());
  if (!c50.InsertRecord() || !c50.Commit()) return false;
  const std::uint32_t recno = c50.recordNumber;
  const bool sorted = AppendLigneTri(c50, LigneTri::kDraft, c60);
  c50.GoTo(static_cast<long>(recno));
  return sorted;
}

DefaultSplitOutcome MakeDefaultSplit(Table& c50, Table& c60, const SplitKey& key, const std::string& text, double rate,
                                     bool euros, DefaultSplitText* parsed, long* made, std::string* refusal) {
  if (made != nullptr) *made = 0;
  const DefaultSplitText split = ParseDefaultSplit(text, key.Axis());
  if (parsed != nullptr) *parsed = split;
  if (split.fault != SplitTextFault::None) return DefaultSplitOutcome::TextFault;
  if (split.parts.empty()) return DefaultSplitOutcome::NoText;
  if (!(rate > 0)) return DefaultSplitOutcome::RateNotPositive;
  // The change watches its reads from the first.
  LineChangeSteps steps(LineChangeKind::DefaultSplit);
  if (!posting::DraftHasRoomFor(c50, static_cast<std::uint32_t>(split.parts.size())))
    return DefaultSplitOutcome::DraftFull;
  const char sense = key.Sense();
  // Every part's section, refused before a line is written when its total cannot hold it.
  std::vector<std::pair<long long, long long>> amounts;
  for (const SplitPart& part : split.parts) {
    amounts.push_back(DefaultSplitAmounts(key.Francs(), part.percent, rate));
    steps.Moves().Section(part.section, TotalsCents::OnSense(sense, amounts.back().first, amounts.back().second));
  }
  if (const TotalsOverflow overflow = steps.Moves().Check()) {
    if (refusal != nullptr) *refusal = posting::TotalsTooLargeText(overflow, euros);
    return DefaultSplitOutcome::TotalsTooLarge;
  }
  // The split's lines noted before the first: appended cut short, they are taken back by the next
  // opening.
  steps.Note().Appended(key.Part(1, 4), key.Part(5, 3), key.Part(8, 6), static_cast<long>(split.parts.size()),
                        c50.RecCount());
  // A refusal: the lines appended taken back (cancelled with their sort records), and the sections.
  auto refused = [&] {
    steps.TakeBack(key.GeneralLineKey());
    c50.Commit();
    c60.Commit();
    c50.SetOrder(L::kAnalyticTag);
    if (refusal != nullptr) *refusal = posting::ChangeRefusalText(steps, kMsgDefaultSplitRefused, c50.tablePath, euros);
    if (made != nullptr) *made = 0;
    return steps.TooLarge() ? DefaultSplitOutcome::TotalsTooLarge : DefaultSplitOutcome::Failed;
  };
  if (!steps.Begin()) return refused();
  long n = 0;
  for (std::size_t i = 0; i < split.parts.size(); ++i) {
    const SplitPart& part = split.parts[i];
    NewSplitLine line;
    line.number = Digits4(++n);
    line.section = part.section;
    line.day = key.Day();
    line.labelCode = key.LabelCode();
    line.label = key.Label();
    line.sense = sense;
    line.francs = amounts[i].first;
    line.euros = amounts[i].second;
    line.entry = euros ? 'O' : 'N';
    const std::uint32_t before = c50.RecCount();
    const bool appended = AppendSplitLine(c50, c60, key, line);
    // A line that went in (with or without its sort record) is cancelled if the split is taken back.
    if (c50.RecCount() > before) {
      const std::uint32_t recno = c50.RecCount();
      steps.Made([&c50, &c60, recno] { return CancelDraftLine(c50, c60, recno); });
    }
    if (!appended || !steps.Moves().Make(i + 1)) return refused();
    if (made != nullptr) ++*made;
  }
  if (!steps.Done()) return refused();
  c50.SetOrder(L::kAnalyticTag);
  return DefaultSplitOutcome::Made;
}

// ---- numbers ----------------------------------------------------------------------------------------------------------

long RenumberSplitLines(Table& c50, Table& c60, const SplitKey& key, long n) {
  const std::vector<std::uint32_t> lines = SplitRecords(c50, key.LinesKey(), false);
  if (static_cast<long>(lines.size()) > kMostSplitLines) return kSplitRenumberTooLarge;
  // Every line and sort record locked before the first write: a refusal changes nothing.
  std::vector<std::pair<Table*, std::uint32_t>> taken;
  auto release = [&taken]() {
    for (auto& [t, recno] : taken)
      if (t->GoTo(static_cast<long>(recno))) UnlockRecord(*t);
  };
  std::vector<long> numbers;
  for (std::uint32_t recno : lines) {
    if (!c50.GoTo(static_cast<long>(recno))) continue;
    numbers.push_back(std::atol(c50.GetField(L::BNUMA)));
    if (!LockRecord(c50, c50.RecordToText(L::BNUMA), 0)) {
      release();
      return kSplitRenumberLocked;
    }
    if (c50.result != kResultAlreadyLocked) taken.emplace_back(&c50, recno);
    if (LigneTri::Find(c60, LigneTri::kDraft, recno)) {
      if (!LockRecord(c60, c60.RecordToText(LigneTri::TREC), 0)) {
        release();
        return kSplitRenumberLocked;
      }
      if (c60.result != kResultAlreadyLocked) taken.emplace_back(&c60, c60.recordNumber);
    }
  }
  long before = 0;
  for (std::size_t i = 0; i < lines.size() && i < numbers.size(); ++i) {
    const long target = posting::kRenumberStep * static_cast<long>(i + 1);
    if (numbers[i] < n) before = target;
    if (!c50.GoTo(static_cast<long>(lines[i]))) continue;
    if (numbers[i] != target) {
      c50.PutField(L::BNUMA, Digits4(target).c_str());
      SortRecordFollows(c50, c60);
    }
  }
  release();
  c50.Commit();
  c60.Commit();
  c50.SetOrder(L::kAnalyticTag);
  return before;
}

long NextSplitLineNumber(Table& c50, Table& c60, const SplitKey& key, long after) {
  long next = after + 1;
  const std::string wanted = key.LinesKey() + Digits4(next);
  const bool taken = next <= kMostNumber && SeekSplitRecord(c50, wanted);
  if (next <= kMostNumber && !taken) return next;
  const long before = RenumberSplitLines(c50, c60, key, next);
  if (before < 0) return before;
  return before + 1;
}

// ---- cancel and reactivate --------------------------------------------------------------------------------------------

namespace {

posting::LineChange ChangeSplitLine(Table& c50, Table& c60, std::uint32_t recno, const std::string& recordText,
                                    bool cancel, std::string* refusal) {
  if (!c50.isOpen) return posting::LineChange::NoLine;
  // The change watches its reads from the first: a cancel mark it could not read decides nothing.
  LineChangeSteps steps(cancel ? LineChangeKind::AnalyticLineCancelled : LineChangeKind::AnalyticLineReactivated);
  const int refusedText = cancel ? kMsgCancelRefused : kMsgReactivateRefused;
  auto readRefused = [&] {
    if (refusal != nullptr) *refusal = steps.RefusalText(refusedText, c50.tablePath);
    return posting::LineChange::Failed;
  };
  // Whether the line is in the state asked for already: AlreadyDone, or a refused read.
  auto inState = [&](posting::LineChange* answer) {
    const bool already = c50.IsDeleted() == cancel;
    if (!steps.ReadWhole()) *answer = readRefused();
    else if (already) *answer = posting::LineChange::AlreadyDone;
    return already || !steps.ReadWhole();
  };
  posting::LineChange answer = posting::LineChange::NoLine;
  if (!c50.GoTo(static_cast<long>(recno))) return steps.ReadWhole() ? answer : readRefused();
  const char kind = c50.GetField(L::BCLE)[0];
  if (kind != 'W' && kind != 'Y') return answer;
  if (inState(&answer)) return answer;
  if (!LockRecord(c50, recordText.c_str(), 0)) return posting::LineChange::LockRefused;
  const bool held = c50.result == kResultAlreadyLocked;
  // The line's lock given back, the line made current first unless it is (a done change reads
  // nothing more).
  auto release = [&] {
    if (c50.recordNumber != recno) c50.GoTo(static_cast<long>(recno));
    if (!held) UnlockRecord(c50);
  };
  // Read again under the lock.
  if (inState(&answer)) {
    release();
    return answer;
  }
  // The section's total first checked, then the line with its sort record, then the total.
  const char entry = c50.GetField(L::BEURO)[0];
  const bool euros = entry != 'N' && entry != 'n';
  steps.Moves().Section(c50.GetField(L::BCODE), cancel ? LineMove(c50).Negated() : LineMove(c50));
  if (const TotalsOverflow overflow = steps.Moves().Check()) {
    release();
    if (refusal != nullptr) *refusal = posting::TotalsTooLargeText(overflow, euros);
    return posting::LineChange::TotalsTooLarge;
  }
  steps.Note().Line(recno);
  steps.Note().SortRecordsFrom(c60.RecCount());
  bool done = steps.Begin();
  if (done) {
    done = MarkDraftLine(c50, c60, recno, cancel, recordText.c_str());
    steps.Made([&c50, &c60, recno, cancel] { return MarkDraftLine(c50, c60, recno, !cancel); });
  }
  done = done && steps.Moves().Make() && steps.Done();
  if (!done) steps.TakeBack(c50.GoTo(static_cast<long>(recno)) ? L::Key(c50) : recordText);
  release();
  c50.Commit();
  c60.Commit();
  if (done) return posting::LineChange::Done;
  if (refusal != nullptr)
    *refusal = posting::ChangeRefusalText(steps, refusedText, c50.tablePath, euros);
  return steps.TooLarge() ? posting::LineChange::TotalsTooLarge : posting::LineChange::Failed;
}

}  // namespace

posting::LineChange CancelSplitLine(Table& c50, Table& c60, std::uint32_t recno, const std::string& recordText,
                                    std::string* refusal) {
  return ChangeSplitLine(c50, c60, recno, recordText, true, refusal);
}

posting::LineChange ReactivateSplitLine(Table& c50, Table& c60, std::uint32_t recno, const std::string& recordText,
                                        std::string* refusal) {
  return ChangeSplitLine(c50, c60, recno, recordText, false, refusal);
}

// ---- remainders -------------------------------------------------------------------------------------------------------

SplitRemainder ComputeSplitRemainder(Table& c50, const std::string& lineKey, const FormAmounts* form) {
  SplitRemainder r;
  const std::string key = PadRight(lineKey, kSplitHeaderKeyLength);
  const char headerLetter = key[25] < 'X' ? 'V' : 'X';
  const std::string header = key.substr(0, kSplitGeneralKeyLength) + headerLetter + "    ";
  auto signedCents = [&c50](long long& f, long long& e) {
    const long long sign = c50.GetField(L::BSENS)[0] == 'D' ? 1 : -1;
    f += sign * StoredAmountOf(c50, L::BMONTANTF);
    e += sign * StoredAmountOf(c50, L::BMONTANTE);
  };
  if (SeekSplitRecord(c50, header) && !c50.IsDeleted()) signedCents(r.generalF, r.generalE);
  const std::string own = key.substr(kSplitLinesKeyLength, 4);
  const std::string lines = key.substr(0, kSplitLinesKeyLength);
  for (bool more = c50.SeekNotBelow(L::kAnalyticTag, lines.c_str()); more; more = c50.Skip(1)) {
    const char m = MatchSplit(c50, lines);
    if (m == 'o') continue;
    if (m != 'O') break;
    if (c50.GetField(L::BNUMA) == own) {
      if (form != nullptr) {
        const long long sign = form->sense == 'D' ? 1 : -1;
        r.splitF += sign * form->francs;
        r.splitE += sign * form->euros;
      }
      continue;
    }
    signedCents(r.splitF, r.splitE);
  }
  return r;
}

bool SeekAnalyticRecord(Table& c50, const std::string& key30) { return SeekSplitRecord(c50, key30); }

char MatchSplitLines(Table& c50, const std::string& key26) { return MatchSplit(c50, key26); }

// ---- the save -----------------------------------------------------------------------------------------------------------

AnalyticSaveOutcome SaveAnalyticLineRecord(Table& c50, Table& c60, const std::string& lineKey,
                                           const AnalyticLineValues& v, std::string* refusal) {
  if (!c50.isOpen) return AnalyticSaveOutcome::NotFound;
  // The change watches its reads from the first: the line found and read again under its lock.
  LineChangeSteps steps(LineChangeKind::AnalyticLineSaved);
  auto readRefused = [&] {
    if (refusal != nullptr) *refusal = steps.RefusalText(kMsgAnalyticSaveRefused, c50.tablePath);
    return AnalyticSaveOutcome::Failed;
  };
  if (!SeekSplitRecord(c50, lineKey)) return steps.ReadWhole() ? AnalyticSaveOutcome::NotFound : readRefused();
  const std::uint32_t recno = c50.recordNumber;
  const std::string text = c50.RecordToText(L::BNUMA);
  // The lock first: nothing moves before the line is held.
  if (!LockRecord(c50, text.c_str(), 0)) return AnalyticSaveOutcome::LockRefused;
  const bool held = c50.result == kResultAlreadyLocked;
  // The line's lock given back, the line made current first unless it is (a done change reads
  // nothing more).
  auto release = [&]() {
    if (c50.recordNumber != recno) c50.GoTo(static_cast<long>(recno));
    if (!held) UnlockRecord(c50);
  };
  // A line whose cancel mark could not be read is not taken for a cancelled one.
  const bool live = !c50.IsDeleted();
  if (!steps.ReadWhole()) {
    release();
    return readRefused();
  }
  const std::string oldSection = c50.GetField(L::BCODE);
  const char oldSense = c50.GetField(L::BSENS)[0];
  const long long oldF = StoredAmountOf(c50, L::BMONTANTF), oldE = StoredAmountOf(c50, L::BMONTANTE);
  const char sense = v.sense == 'D' ? 'D' : 'C';
  const std::string section = PadRight(v.section, kSectionWidth);

  // The old amounts off the old section, the new ones onto the new: refused before anything is
  // written when a total cannot hold them.
  if (live) steps.Moves().Section(oldSection, TotalsCents::OnSense(oldSense, oldF, oldE).Negated());
  const std::size_t oldMoves = steps.Moves().Count();
  if (live) steps.Moves().Section(section, TotalsCents::OnSense(sense, v.francs, v.euros));
  if (const TotalsOverflow overflow = steps.Moves().Check()) {
    release();
    if (refusal != nullptr) *refusal = posting::TotalsTooLargeText(overflow, v.inEuros);
    return AnalyticSaveOutcome::TotalsTooLarge;
  }
  auto fail = [&] {
    steps.TakeBack(text);
    release();
    c50.Commit();
    c60.Commit();
    if (refusal != nullptr)
      *refusal = posting::ChangeRefusalText(steps, kMsgAnalyticSaveRefused, c50.tablePath, v.inEuros);
    return steps.TooLarge() ? AnalyticSaveOutcome::TotalsTooLarge : AnalyticSaveOutcome::Failed;
  };
  // A line without amount is not kept: cancelled with its sort record (its section has nothing of it).
  // Noted before the first write: the next opening cancels it once it stands written so.
  const bool zero = live && v.francs == 0 && v.euros == 0;
  steps.Note().Line(recno);
  steps.Note().SortRecordsFrom(c60.RecCount());
  if (zero) steps.Note().CancelledOnceWritten(recno, section);
  if (!steps.Begin() || !steps.Moves().Make(oldMoves)) return fail();

  char entry = v.inEuros ? 'O' : 'N';
  if (v.roundingLine) entry = static_cast<char>(entry - 'A' + 'a');
  c50.GoTo(static_cast<long>(recno));
  const std::vector<int> fields = {L::BJOUR, L::BCODE, L::BCLIB, L::BLIB, L::BEURO, L::BSENS};
  std::vector<FieldWrite> was;
  for (int f : fields) was.push_back({f, c50.GetField(f)});
  for (int f : {L::BMONTANTF, L::BMONTANTE}) was.push_back({f, "", true, FromCents(StoredAmountOf(c50, f))});
  const bool written = WriteRecordFields(c50, {{L::BJOUR, PadRight(v.day, 2)},
                                               {L::BCODE, section},
                                               {L::BCLIB, PadRight(v.labelCode, 1)},
                                               {L::BLIB, PadRight(v.label, kLabelWidth)},
                                               {L::BEURO, std::string(1, entry)},
                                               {L::BMONTANTF, "", true, FromCents(v.francs)},
                                               {L::BMONTANTE, "", true, FromCents(v.euros)},
                                               {L::BSENS, std::string(1, sense)}});
  c50.GoTo(static_cast<long>(recno));
  // The old values put the line back: once written, or when a refused write stood all the same.
  bool changed = written;
  for (std::size_t i = 0; i < fields.size() && !changed; ++i) changed = c50.GetField(fields[i]) != was[i].text;
  changed = changed || StoredAmountOf(c50, L::BMONTANTF) != oldF || StoredAmountOf(c50, L::BMONTANTE) != oldE;
  if (changed)
    steps.Made([&c50, &c60, recno, was, text] {
      return c50.GoTo(static_cast<long>(recno)) && WriteRecordFields(c50, was) &&
             c50.GoTo(static_cast<long>(recno)) && SortRecordFollows(c50, c60, text.c_str());
    });
  if (!written || !c50.GoTo(static_cast<long>(recno)) || !SortRecordFollows(c50, c60, text.c_str()) ||
      !steps.Moves().Make())
    return fail();
  AnalyticSaveOutcome outcome = AnalyticSaveOutcome::Saved;
  if (zero) {
    const bool cancelled = MarkDraftLine(c50, c60, recno, true, text.c_str());
    steps.Made([&c50, &c60, recno] { return MarkDraftLine(c50, c60, recno, false); });
    if (!cancelled) return fail();
    outcome = AnalyticSaveOutcome::ZeroLineCancelled;
  }
  if (!steps.Done()) return fail();
  if (!v.roundingLine) LastAnalyticEntryInEuros = v.inEuros;
  release();
  c50.Commit();
  c60.Commit();
  return outcome;
}

bool DropBlankAnalyticLine(Table& c50, Table& c60, const std::string& lineKey, std::string* refusal) {
  if (!c50.isOpen) return false;
  // The line and its sort record go together, or the next opening makes them; a line read short is
  // left as it is, and said so.
  LineChangeSteps steps(LineChangeKind::AnalyticLineCancelled);
  const bool blank = SeekSplitRecord(c50, lineKey) && !c50.IsDeleted() && IsBlank(c50.GetField(L::BCODE));
  if (!steps.ReadWhole() && refusal != nullptr) *refusal = steps.RefusalText(kMsgCancelRefused, c50.tablePath);
  if (!blank || !steps.ReadWhole()) return false;
  const std::uint32_t recno = c50.recordNumber;
  const std::string text = c50.RecordToText(L::BNUMA);
  steps.Note().Cancelled(recno);
  steps.Note().SortRecordsFrom(c60.RecCount());
  bool done = steps.Begin();
  if (done) {
    done = MarkDraftLine(c50, c60, recno, true, text.c_str());
    steps.Made([&c50, &c60, recno] { return MarkDraftLine(c50, c60, recno, false); });
  }
  done = done && steps.Done();
  if (!done) steps.TakeBack(text);
  c50.GoTo(static_cast<long>(recno));
  c50.Commit();
  c60.Commit();
  if (!done && refusal != nullptr) *refusal = steps.RefusalText(kMsgCancelRefused, c50.tablePath);
  return done;
}

// ---- balancing ------------------------------------------------------------------------------------------------------------

BalancingAmount BalancingAmountOf(bool entryEuros, bool convert, long long francs, long long euros, double rate) {
  BalancingAmount b;
  const long long amount = entryEuros ? euros : francs;
  if (amount == 0) {
    b.sense = ' ';
    return b;
  }
  b.sense = amount < 0 ? 'C' : 'D';
  const long long a = amount < 0 ? -amount : amount;
  long long other = 0;
  if (convert && rate > 0) other = ToCents(Round(2, entryEuros ? FromCents(a) * rate : FromCents(a) / rate));
  b.francs = entryEuros ? other : a;
  b.euros = entryEuros ? a : other;
  return b;
}

int RoundingAfterBalancing(bool entryEuros, bool euroOnly, long long remainderF, long long remainderE) {
  if (euroOnly) return 0;
  if (entryEuros && remainderF != 0) return 1;
  if (!entryEuros && remainderE != 0) return 2;
  return 0;
}

AfterAmount AfterAmountEntered(bool entryEuros, bool euroOnly, long long remainderF, long long remainderE) {
  AfterAmount a;
  if (remainderE == 0 && (remainderF == 0 || euroOnly)) {
    a.closeList = true;
    return a;
  }
  if (!entryEuros && remainderF == 0 && remainderE != 0) a.pending = 2;
  if (entryEuros && remainderE == 0 && remainderF != 0) a.pending = 1;
  return a;
}

std::pair<long long, long long> SectionBalancingAmounts(long long debitF, long long debitE, long long creditF,
                                                        long long creditE, bool sameSection, long long loadedF,
                                                        long long loadedE) {
  const long long balanceF = debitF - creditF - (sameSection ? loadedF : 0);
  const long long balanceE = debitE - creditE - (sameSection ? loadedE : 0);
  return {-balanceF, -balanceE};
}

}  // namespace entry
