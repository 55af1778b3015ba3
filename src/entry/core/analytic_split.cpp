#include "entry/core/analytic_split.h"
#include "posting/line_save.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "data/account_totals.h"
#include "data/closed_lines.h"
#include "data/entry_lines.h"
#include "data/error_report.h"
#include "data/locks.h"
#include "data/record_fields.h"
#include "data/table.h"
#include "data/table_results.h"
#include "data/unread_amounts.h"
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
KeyMatch MatchSplit(Table& c50, const std::string& key) {
  return c50.MatchRecordKey(key.c_str(), kSplitLinesKeyLength, L::BMOIS, L::BJAL, L::BPIECE, L::BCG, L::BNUM, L::BCLE);
}

// The record of a 30-character C50ANAL key made current: the 26 characters of its kind and its sub-number.
Lookup SeekSplitRecord(Table& c50, const std::string& key30) {
  const std::string key = PadRight(key30, kSplitHeaderKeyLength);
  const Lookup found = c50.FindNotBelow(L::kAnalyticTag, key.c_str());
  if (!found.IsFound()) return found;
  return found.And(MatchSplit(c50, key).HoldsKey() &&
                   std::string(c50.GetField(L::BNUMA)) == key.substr(kSplitLinesKeyLength, 4));
}

// The records of the lines of a 26-character key (cancelled ones too) in key order. Lines not read are
// missed: the callers' change watches its reads and fails on them.
std::vector<std::uint32_t> SplitRecords(Table& c50, const std::string& key26, bool liveOnly) {
  std::vector<std::uint32_t> found;
  for (bool more = c50.FindNotBelow(L::kAnalyticTag, key26.c_str()).FoundOrNone(); more; more = c50.Skip(1)) {
    const KeyMatch m = MatchSplit(c50, key26);
    if (m.IsRefused()) {
      // A line whose mark is not read ends the list short: noted, the caller's change fails on it.
      RefusalWatch::NoteEngineReadRefusal(c50.tablePath, m.result());
      break;
    }
    if (m.IsLive() || (m.IsCancelled() && !liveOnly)) found.push_back(c50.recordNumber);
    else if (!m.IsCancelled()) break;
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
// A split opened, a new analytic line, an axis renumbered and the lines given their line's day and
// label, refused by a write (the file and the error in them).
constexpr int kMsgSplitNotOpened = 36052;
constexpr int kMsgAnalyticLineNotCreated = 36053;
constexpr int kMsgSplitNotRenumbered = 36054;
constexpr int kMsgSplitNotRefreshed = 36055;

// The fields written with the record's cancel mark (live or not) in the same write: no reader, and no
// stop, finds the record with its new fields and its old mark.
bool WriteFieldsAndMark(Table& c50, const std::vector<FieldWrite>& fields, bool live) {
  if (c50.recordBuffer.empty()) return false;
  c50.recordBuffer[0] = live ? ' ' : '*';
  return WriteRecordFields(c50, fields);
}

// The current record holds `fields` (texts as GetField gives them, amounts in cents).
bool HoldsFields(Table& c50, const std::vector<FieldWrite>& fields) {
  for (const FieldWrite& f : fields) {
    if (f.number ? StoredAmountOf(c50, f.field) != ToCents(f.value) : c50.GetField(f.field) != f.text) return false;
  }
  return true;
}

// The fields of the current record as they stand, for those of `fields`: what puts it back.
std::vector<FieldWrite> FieldsNow(Table& c50, const std::vector<FieldWrite>& fields) {
  std::vector<FieldWrite> now;
  for (const FieldWrite& f : fields)
    now.push_back(f.number ? FieldWrite{f.field, "", true, FromCents(StoredAmountOf(c50, f.field))}
                           : FieldWrite{f.field, c50.GetField(f.field)});
  return now;
}

// The fields of an analytic line of the key's axis.
bool FillSplitLine(Table& c50, const SplitKey& key, const NewSplitLine& line) {
  return c50.PutField(L::BMOIS, key.Part(1, 4).c_str()) && c50.PutField(L::BJAL, key.Part(5, 3).c_str()) &&
         c50.PutField(L::BPIECE, key.Part(8, 6).c_str()) && c50.PutField(L::BCG, key.Account().c_str()) &&
         c50.PutField(L::BNUM, key.Part(22, 4).c_str()) &&
         c50.PutField(L::BCLE, std::string(1, key.LineLetter()).c_str()) &&
         c50.PutField(L::BNUMA, line.number.c_str()) && c50.PutField(L::BJOUR, line.day.c_str()) &&
         c50.PutField(L::BCLIB, line.labelCode.c_str()) && c50.PutField(L::BLIB, line.label.c_str()) &&
         c50.PutField(L::BSENS, line.sense == 'D' ? "D" : "C") && c50.PutField(L::BREC, key.Part(31, 6).c_str()) &&
         c50.PutField(L::BCODE, line.section.c_str()) && c50.PutFieldNum(L::BMONTANTF, FromCents(line.francs)) &&
         c50.PutFieldNum(L::BMONTANTE, FromCents(line.euros)) &&
         c50.PutField(L::BEURO, std::string(1, line.entry).c_str());
}

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

long long SplitKey::Francs() const { return taken_ ? francs_ : ToCents(Val(Part(65, 14).c_str())); }
long long SplitKey::Euros() const { return taken_ ? euros_ : ToCents(Val(Part(79, 14).c_str())); }

std::string SplitKey::AmountText(bool euros) const {
  if (!taken_) return AllTrim(Part(euros ? 79 : 65, 14).c_str());
  const long long cents = euros ? euros_ : francs_;
  char text[40];
  std::snprintf(text, sizeof text, "%s%lld.%02lld", cents < 0 ? "-" : "", (cents < 0 ? -cents : cents) / 100,
                (cents < 0 ? -cents : cents) % 100);
  return text;
}

bool SplitKey::AmountsRead() const {
  return Part(65, 14).find('*') == std::string::npos && Part(79, 14).find('*') == std::string::npos;
}

void SplitKey::TakeAmounts(long long francs, long long euros) {
  taken_ = true;
  francs_ = francs;
  euros_ = euros;
}

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

SplitOpening KeepSplitHeader(Table& c50, Table& c60, SplitKey& key, bool* created, std::string* refusal) {
  if (created != nullptr) *created = false;
  // One change: the header made, or put in step with the general line, with its sort record. It
  // watches its reads from the first: a line read short is not taken for a cancelled one.
  LineChangeSteps steps(LineChangeKind::SplitHeaderKept);
  steps.Ends(c50, c60, kMsgSplitNotOpened);
  const std::string header = key.HeaderKey();
  auto fail = [&] {
    steps.Fail(header, refusal);
    c50.SetOrder(L::kAnalyticTag);
    return SplitOpening::Failed;
  };
  // The general line must still stand, live and on the account the split is made for.
  const std::string general = key.GeneralLineKey();
  // A line not read is no line gone: the watch fails the change below.
  const bool live = c50.Find(L::kCodeTag, general.c_str()).FoundOrNone() &&
                    c50.MatchRecordKey(general.c_str(), L::kKeyLength, L::BCLE, L::BMOIS, L::BJAL, L::BPIECE, L::BREC,
                                       L::BNUM).AsLive().FoundOrNone() &&
                    NormalizeAccount(c50.GetField(L::BCODE)) == NormalizeAccount(key.Account());
  if (live && !key.AmountsRead()) {
    // The line as saved holds what the key's 14 characters could not: its amounts, signed by its sense.
    bool francsRead = true, eurosRead = true;
    const long long francs = StoredAmountOf(c50, L::BMONTANTF, &francsRead);
    const long long euros = StoredAmountOf(c50, L::BMONTANTE, &eurosRead);
    if (!francsRead || !eurosRead) {
      c50.SetOrder(L::kAnalyticTag);
      return SplitOpening::AmountUnread;
    }
    const int sign = std::string(c50.GetField(L::BSENS)) == "C" ? -1 : 1;
    key.TakeAmounts(sign * francs, sign * euros);
  }
  c50.SetOrder(L::kAnalyticTag);
  if (!steps.ReadWhole()) return fail();
  if (!live) return SplitOpening::LineGone;

  // The values the header takes from the line.
  const long long f = key.Francs(), e = key.Euros();
  const bool credit = f < 0 || e < 0;
  const std::vector<FieldWrite> values = {{L::BJOUR, key.Day()},
                                          {L::BCLIB, key.LabelCode()},
                                          {L::BLIB, key.Label()},
                                          {L::BSENS, credit ? "C" : "D"},
                                          {L::BMONTANTF, "", true, FromCents(credit ? -f : f)},
                                          {L::BMONTANTE, "", true, FromCents(credit ? -e : e)},
                                          {L::BREC, key.Part(31, 6)}};
  const Lookup headerRecord = SeekSplitRecord(c50, header);
  // A header not read is no header missing: none is made twice.
  if (!steps.ReadWhole() || headerRecord.IsRefused()) return fail();
  if (!headerRecord.IsFound()) {
    if (!posting::DraftHasRoomFor(c50, 1)) return SplitOpening::DraftFull;
    // Appended with its values in one write; appended cut short, the next opening takes it back.
    steps.Note().Appended(key.Part(1, 4), key.Part(5, 3), key.Part(8, 6), 1, c50.RecCount());
    steps.Note().SortRecordsFrom(c60.RecCount());
    auto fill = [&] {
      bool ok = c50.PutField(L::BMOIS, key.Part(1, 4).c_str()) && c50.PutField(L::BJAL, key.Part(5, 3).c_str()) &&
                c50.PutField(L::BPIECE, key.Part(8, 6).c_str()) && c50.PutField(L::BCG, key.Account().c_str()) &&
                c50.PutField(L::BNUM, key.Part(22, 4).c_str()) &&
                c50.PutField(L::BCLE, std::string(1, key.HeaderLetter()).c_str()) && c50.PutField(L::BNUMA, "    ");
      for (const FieldWrite& v : values)
        ok = (v.number ? c50.PutFieldNum(v.field, v.value) : c50.PutField(v.field, v.text.c_str())) && ok;
      return ok;
    };
    if (!steps.Begin() || !AppendDraftRecord(c50, c60, fill, steps) || !steps.Finish()) return fail();
    if (created != nullptr) *created = true;
    return SplitOpening::Opened;
  }
  const std::uint32_t recno = c50.recordNumber;
  const std::string text = c50.RecordToText(L::BNUMA);
  if (!steps.LockLine(c50, recno, text.c_str())) return SplitOpening::LockRefused;
  // Read again under the lock: a header in step, and its sort record, are not written again.
  const Lookup headerLive = c50.LiveHere();
  if (headerLive.IsRefused()) return fail();
  const bool inStep = headerLive.IsFound() && HoldsFields(c50, values) && LigneTri::Find(c60, LigneTri::kDraft, recno) &&
                      c50.GoToRecord(static_cast<long>(recno)).IsFound() && SortRecordInStep(c50, c60);
  if (!steps.ReadWhole()) return fail();
  if (inStep) return steps.Finish() ? SplitOpening::Opened : fail();
  steps.Note().Line(recno);
  steps.Note().SortRecordsFrom(c60.RecCount());
  if (!steps.Begin() || !c50.GoToRecord(static_cast<long>(recno)).IsFound()) return fail();
  // The values and the live mark in one write; the header as it was puts it back.
  const std::vector<FieldWrite> was = FieldsNow(c50, values);
  const Lookup mark = c50.LiveHere();
  const bool cancelled = mark.IsNotFound();
  // A cancel mark that could not be read is not taken for one: the take-back would write it.
  if (mark.IsRefused() || !steps.ReadWhole()) return fail();
  if (!HoldsFields(c50, values) || cancelled) {
    const bool written = WriteFieldsAndMark(c50, values, true);
    steps.Made([&c50, &c60, recno, was, cancelled, text] {
      return c50.GoToRecord(static_cast<long>(recno)).IsFound() && WriteFieldsAndMark(c50, was, !cancelled) &&
             c50.GoToRecord(static_cast<long>(recno)).IsFound() && SortRecordFollows(c50, c60, text.c_str());
    });
    if (!written) return fail();
  }
  if (!c50.GoToRecord(static_cast<long>(recno)).IsFound() || !SortRecordFollows(c50, c60, text.c_str())) return fail();
  c50.GoToRecord(static_cast<long>(recno));
  if (!steps.Finish()) return fail();
  return SplitOpening::Opened;
}

SplitOpening KeepSplitHeader(Table& c50, Table& c60, const SplitKey& key, bool* created, std::string* refusal) {
  SplitKey whole = key;
  return KeepSplitHeader(c50, c60, whole, created, refusal);
}

long RefreshSplitLines(Table& c50, Table& c60, const SplitKey& key, std::string* refusal) {
  const std::string day = key.Day(), labelCode = key.LabelCode(), label = key.Label();
  // One change: the lines that differ from their line written, each with its sort record (which copies
  // the day). It watches its reads from the first.
  LineChangeSteps steps(LineChangeKind::SplitRefreshed);
  steps.Ends(c50, c60, kMsgSplitNotRefreshed);
  const std::vector<std::uint32_t> records = SplitRecords(c50, key.LinesKey(), false);
  const long count = static_cast<long>(records.size());
  auto fail = [&] {
    steps.Fail(key.LinesKey(), refusal);
    c50.SetOrder(L::kAnalyticTag);
    return count;
  };
  // The lines to write: each locked silently (a line another cursor holds is left as it is) and read
  // again under its lock; a line in step whose sort record is not is written too.
  const std::vector<FieldWrite> values = {{L::BJOUR, day}, {L::BCLIB, labelCode}, {L::BLIB, label}};
  struct Stale {
    std::uint32_t recno;
    std::vector<FieldWrite> was;
  };
  std::vector<Stale> stale;
  HeldRecordLocks locks(c50);
  for (const std::uint32_t recno : records) {
    // A line not read stops the walk; the watch fails the change with it.
    if (!c50.GoToRecord(static_cast<long>(recno)).FoundOrNone()) break;
    const bool inStep = HoldsFields(c50, values) && LigneTri::Find(c60, LigneTri::kDraft, recno) &&
                        c50.GoToRecord(static_cast<long>(recno)).IsFound() && SortRecordInStep(c50, c60);
    if (inStep || !locks.Take(recno, static_cast<const char*>(nullptr))) continue;
    stale.push_back({recno, FieldsNow(c50, values)});
  }
  if (!steps.ReadWhole()) return fail();
  if (stale.empty()) {
    c50.SetOrder(L::kAnalyticTag);
    return count;
  }
  // Each field rewritten noted with what it held: the next opening finds them all written, or none.
  for (const Stale& s : stale)
    for (std::size_t i = 0; i < values.size(); ++i)
      if (s.was[i].text != values[i].text) steps.Note().Rewritten(s.recno, values[i].field, s.was[i].text, values[i].text);
  for (const Stale& s : stale) steps.Note().Line(s.recno);
  steps.Note().SortRecordsFrom(c60.RecCount());
  if (!steps.Begin()) return fail();
  for (const Stale& s : stale) {
    const std::uint32_t recno = s.recno;
    if (!c50.GoToRecord(static_cast<long>(recno)).IsFound()) return fail();
    if (!HoldsFields(c50, values)) {
      const bool written = WriteRecordFields(c50, values);
      const std::vector<FieldWrite> was = s.was;
      steps.Made([&c50, &c60, recno, was] {
        return c50.GoToRecord(static_cast<long>(recno)).IsFound() && WriteRecordFields(c50, was) &&
               c50.GoToRecord(static_cast<long>(recno)).IsFound() && SortRecordFollows(c50, c60);
      });
      if (!written) return fail();
    }
    if (!c50.GoToRecord(static_cast<long>(recno)).IsFound() || !SortRecordFollows(c50, c60)) return fail();
  }
  if (!steps.Finish()) return fail();
  c50.SetOrder(L::kAnalyticTag);
  return count;
}

// ---- new lines -----------------------------------------------------------------------------------------------------

bool AppendSplitLine(Table& c50, Table& c60, const SplitKey& key, const NewSplitLine& line, std::string* refusal) {
  if (c50.tag != L::kAnalyticTag) c50.SetOrder(L::kAnalyticTag);
  if (!posting::DraftHasRoomFor(c50, 1)) return false;
  // One change: the line, its sort record and, when it carries amounts, its section's total.
  LineChangeSteps steps(LineChangeKind::AnalyticLineCreated);
  steps.Ends(c50, c60, kMsgAnalyticLineNotCreated, line.entry != 'N' && line.entry != 'n');
  if (line.francs != 0 || line.euros != 0)
    steps.Moves().Section(line.section, TotalsCents::OnSense(line.sense == 'D' ? 'D' : 'C', line.francs, line.euros));
  if (steps.Check(refusal)) return false;
  // Appended cut short, the next opening takes it back.
  steps.Note().Appended(key.Part(1, 4), key.Part(5, 3), key.Part(8, 6), 1, c50.RecCount());
  steps.Note().SortRecordsFrom(c60.RecCount());
  const bool appended = steps.Begin() &&
                        AppendDraftRecord(c50, c60, [&] { return FillSplitLine(c50, key, line); }, steps) &&
                        steps.Moves().Make();
  const std::uint32_t recno = c50.recordNumber;
  if (!appended || !steps.Finish()) {
    steps.Fail(key.LinesKey() + line.number, refusal);
    return false;
  }
  c50.GoToRecord(static_cast<long>(recno));
  return true;
}

DefaultSplitOutcome MakeDefaultSplit(Table& c50, Table& c60, const SplitKey& key, const std::string& text, double rate,
                                     bool euros, DefaultSplitText* parsed, long* made, std::string* refusal) {
  if (made != nullptr) *made = 0;
  const DefaultSplitText split = ParseDefaultSplit(text, key.Axis());
  if (parsed != nullptr) *parsed = split;
  if (split.fault != SplitTextFault::None) return DefaultSplitOutcome::TextFault;
  if (split.parts.empty()) return DefaultSplitOutcome::NoText;
  if (!(rate > 0)) return DefaultSplitOutcome::RateNotPositive;
  // No part is computed from an amount the key could not hold, read as 0.
  if (!key.AmountsWhole()) return DefaultSplitOutcome::AmountUnread;
  // The change watches its reads from the first.
  LineChangeSteps steps(LineChangeKind::DefaultSplit);
  steps.Ends(c50, c60, kMsgDefaultSplitRefused, euros);
  if (!posting::DraftHasRoomFor(c50, static_cast<std::uint32_t>(split.parts.size())))
    return DefaultSplitOutcome::DraftFull;
  const char sense = key.Sense();
  // Every part's section, refused before a line is written when its total cannot hold it.
  std::vector<std::pair<long long, long long>> amounts;
  for (const SplitPart& part : split.parts) {
    amounts.push_back(DefaultSplitAmounts(key.Francs(), part.percent, rate));
    steps.Moves().Section(part.section, TotalsCents::OnSense(sense, amounts.back().first, amounts.back().second));
  }
  if (steps.Check(refusal)) return DefaultSplitOutcome::TotalsTooLarge;
  // The split's lines noted before the first: appended cut short, they are taken back by the next
  // opening.
  steps.Note().Appended(key.Part(1, 4), key.Part(5, 3), key.Part(8, 6), static_cast<long>(split.parts.size()),
                        c50.RecCount());
  // A refusal: the lines appended taken back (cancelled with their sort records), and the sections.
  auto refused = [&] {
    const DefaultSplitOutcome outcome =
        steps.Fail(key.GeneralLineKey(), refusal, DefaultSplitOutcome::Failed, DefaultSplitOutcome::TotalsTooLarge);
    c50.SetOrder(L::kAnalyticTag);
    if (made != nullptr) *made = 0;
    return outcome;
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
    // A line that went in (with or without its sort record) is cancelled if the split is taken back.
    const bool appended = AppendDraftRecord(c50, c60, [&] { return FillSplitLine(c50, key, line); }, steps);
    if (!appended || !steps.Moves().Make(i + 1)) return refused();
    if (made != nullptr) ++*made;
  }
  if (!steps.Finish()) return refused();
  c50.SetOrder(L::kAnalyticTag);
  return DefaultSplitOutcome::Made;
}

// ---- numbers ----------------------------------------------------------------------------------------------------------

long RenumberSplitLines(Table& c50, Table& c60, const SplitKey& key, long n, std::string* refusal) {
  // One change: the numbers and their sort records, all of them or none. It watches its reads from the
  // first: a number read short decides nothing.
  LineChangeSteps steps(LineChangeKind::SplitRenumbered);
  steps.Ends(c50, c60, kMsgSplitNotRenumbered);
  auto fail = [&] {
    steps.Fail(key.LinesKey(), refusal);
    c50.SetOrder(L::kAnalyticTag);
    return kSplitRenumberFailed;
  };
  const std::vector<std::uint32_t> lines = SplitRecords(c50, key.LinesKey(), false);
  if (!steps.ReadWhole()) return fail();
  if (static_cast<long>(lines.size()) > kMostSplitLines) return kSplitRenumberTooLarge;
  // Every line and sort record locked before the first write: a refusal changes nothing.
  HeldRecordLocks lineLocks(c50), sortLocks(c60);
  std::vector<std::string> numbers;
  for (std::uint32_t recno : lines) {
    if (!lineLocks.Take(recno, L::BNUMA)) return steps.ReadWhole() ? kSplitRenumberLocked : fail();
    numbers.push_back(c50.GetField(L::BNUMA));
    if (LigneTri::Find(c60, LigneTri::kDraft, recno) && !sortLocks.Take(c60.recordNumber, LigneTri::TREC))
      return steps.ReadWhole() ? kSplitRenumberLocked : fail();
  }
  if (!steps.ReadWhole()) return fail();
  long before = 0;
  std::vector<std::size_t> renumbered;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const long target = posting::kRenumberStep * static_cast<long>(i + 1);
    if (std::atol(numbers[i].c_str()) < n) before = target;
    if (std::atol(numbers[i].c_str()) != target) renumbered.push_back(i);
  }
  // Each number noted with the one it replaces: the next opening finds them all given, or none.
  for (const std::size_t i : renumbered)
    steps.Note().Rewritten(lines[i], L::BNUMA, numbers[i], Digits4(posting::kRenumberStep * static_cast<long>(i + 1)));
  steps.Note().SortRecordsFrom(c60.RecCount());
  if (!renumbered.empty() && !steps.Begin()) return fail();
  for (const std::size_t i : renumbered) {
    const std::uint32_t recno = lines[i];
    const std::string was = numbers[i];
    if (!c50.GoToRecord(static_cast<long>(recno)).IsFound()) return fail();
    const bool written = WriteRecordFields(c50, {{L::BNUMA, Digits4(posting::kRenumberStep * static_cast<long>(i + 1))}});
    steps.Made([&c50, &c60, recno, was] {
      return c50.GoToRecord(static_cast<long>(recno)).IsFound() && WriteRecordFields(c50, {{L::BNUMA, was}}) &&
             c50.GoToRecord(static_cast<long>(recno)).IsFound() && SortRecordFollows(c50, c60);
    });
    if (!written || !c50.GoToRecord(static_cast<long>(recno)).IsFound() || !SortRecordFollows(c50, c60)) return fail();
  }
  if (!steps.Finish()) return fail();
  c50.SetOrder(L::kAnalyticTag);
  return before;
}

long NextSplitLineNumber(Table& c50, Table& c60, const SplitKey& key, long after, std::string* refusal) {
  // The first step of a new analytic line: it watches its reads from the first, so that a number whose
  // seek the disk refused is never taken for a free one; a renumbering joins it.
  LineChangeSteps steps(LineChangeKind::AnalyticLineCreated);
  steps.Ends(c50, c60, kMsgAnalyticLineNotCreated);
  auto fail = [&] {
    steps.Fail(key.LinesKey(), refusal);
    c50.SetOrder(L::kAnalyticTag);
    return kSplitRenumberFailed;
  };
  const long next = after + 1;
  const std::string wanted = key.LinesKey() + Digits4(next);
  const Lookup taken = next <= kMostNumber ? SeekSplitRecord(c50, wanted) : Lookup::NotFound();
  if (!steps.ReadWhole() || taken.IsRefused()) return fail();
  if (next <= kMostNumber && taken.IsNotFound()) return steps.Finish() ? next : fail();
  const long before = RenumberSplitLines(c50, c60, key, next, refusal);
  if (before == kSplitRenumberFailed) return fail();
  if (before < 0) return before;
  return steps.Finish() ? before + 1 : fail();
}

long CreateSplitLineAfter(Table& c50, Table& c60, const SplitKey& key, long after, NewSplitLine& line,
                          std::string* refusal) {
  if (c50.tag != L::kAnalyticTag) c50.SetOrder(L::kAnalyticTag);
  if (!posting::DraftHasRoomFor(c50, 1)) return kSplitLineNoRoom;
  // One change: the axis renumbered when the number after `after` is taken, then the line with its
  // sort record. The line is noted before the renumbering's first write: the next opening puts the
  // numbers back unless the line stands.
  LineChangeSteps steps(LineChangeKind::AnalyticLineCreated);
  steps.Ends(c50, c60, kMsgAnalyticLineNotCreated, line.entry != 'N' && line.entry != 'n');
  steps.Note().Appended(key.Part(1, 4), key.Part(5, 3), key.Part(8, 6), 1, c50.RecCount());
  auto fail = [&] {
    steps.Fail(key.LinesKey(), refusal);
    c50.SetOrder(L::kAnalyticTag);
    return kSplitRenumberFailed;
  };
  const long number = NextSplitLineNumber(c50, c60, key, after, refusal);
  if (number == kSplitRenumberFailed || !steps.ReadWhole()) return fail();
  if (number < 0) return number;
  line.number = Digits4(number);
  if (!AppendSplitLine(c50, c60, key, line, refusal)) return fail();
  const std::uint32_t recno = c50.recordNumber;
  if (!steps.Finish()) return fail();
  c50.GoToRecord(static_cast<long>(recno));
  return number;
}

// ---- cancel and reactivate --------------------------------------------------------------------------------------------

namespace {

posting::LineChange ChangeSplitLine(Table& c50, Table& c60, std::uint32_t recno, const std::string& recordText,
                                    bool cancel, std::string* refusal, std::string* totalsLeft) {
  if (totalsLeft != nullptr) totalsLeft->clear();
  if (!c50.isOpen) return posting::LineChange::NoLine;
  // The change watches its reads from the first: a cancel mark it could not read decides nothing. A
  // cancel works over its own line's amounts only (it takes them away); a reactivation, which would
  // count them, is refused over them, as over a section's total that does not read.
  LineChangeSteps steps(cancel ? LineChangeKind::AnalyticLineCancelled : LineChangeKind::AnalyticLineReactivated);
  steps.Ends(c50, c60, cancel ? kMsgCancelRefused : kMsgReactivateRefused);
  auto refused = [&] {
    return steps.Fail(c50.GoToRecord(static_cast<long>(recno)).IsFound() ? L::Key(c50) : recordText, refusal,
                      posting::LineChange::Failed, posting::LineChange::TotalsTooLarge);
  };
  // Whether the line is in the state asked for already: AlreadyDone, or a refused read.
  auto inState = [&](posting::LineChange* answer) {
    const Lookup live = c50.LiveHere();
    const bool unread = live.IsRefused() || !steps.ReadWhole();
    const bool already = live.IsNotFound() == cancel;
    if (unread) *answer = refused();
    else if (already) *answer = posting::LineChange::AlreadyDone;
    return already || unread;
  };
  posting::LineChange answer = posting::LineChange::NoLine;
  const Lookup line = c50.GoToRecord(static_cast<long>(recno));
  if (!line.IsFound()) return steps.ReadWhole() && line.IsNotFound() ? answer : refused();
  const char kind = c50.GetField(L::BCLE)[0];
  if (kind != 'W' && kind != 'Y') return answer;
  if (inState(&answer)) return answer;
  if (!steps.LockLine(c50, recno, recordText.c_str())) return posting::LineChange::LockRefused;
  // Read again under the lock.
  if (inState(&answer)) return answer;
  if (cancel) steps.WorksOver(c50, recno);
  // The section's total first checked, then the line with its sort record, then the total.
  const char entry = c50.GetField(L::BEURO)[0];
  steps.Ends(c50, c60, cancel ? kMsgCancelRefused : kMsgReactivateRefused, entry != 'N' && entry != 'n');
  const std::string section = c50.GetField(L::BCODE);
  steps.Moves().Section(section, cancel ? LineMove(c50).Negated() : LineMove(c50));
  if (steps.Check(refusal)) return posting::LineChange::TotalsTooLarge;
  steps.Note().Line(recno);
  steps.Note().SortRecordsFrom(c60.RecCount());
  bool done = steps.Begin();
  if (done) {
    done = MarkDraftLine(c50, c60, recno, cancel, recordText.c_str());
    steps.Made([&c50, &c60, recno, cancel] { return MarkDraftLine(c50, c60, recno, !cancel); });
  }
  if (!done || !steps.Moves().Make() || !steps.Finish()) return refused();
  // Cancelled over an amount that did not read: its section's total still counts it.
  if (totalsLeft != nullptr && steps.WorkedOverOwnLine()) *totalsLeft = posting::OwnSectionAmountText(section, true);
  return posting::LineChange::Done;
}

}  // namespace

posting::LineChange CancelSplitLine(Table& c50, Table& c60, std::uint32_t recno, const std::string& recordText,
                                    std::string* refusal, std::string* totalsLeft) {
  return ChangeSplitLine(c50, c60, recno, recordText, true, refusal, totalsLeft);
}

posting::LineChange ReactivateSplitLine(Table& c50, Table& c60, std::uint32_t recno, const std::string& recordText,
                                        std::string* refusal) {
  return ChangeSplitLine(c50, c60, recno, recordText, false, refusal, nullptr);
}

// ---- remainders -------------------------------------------------------------------------------------------------------

SplitRemainder ComputeSplitRemainder(Table& c50, const std::string& lineKey, const FormAmounts* form) {
  SplitRemainder r;
  // A read refused on the way (a look-up, a step of the walk) leaves the sums short: the caller says it.
  const RefusalWatch reading(RefusalWatch::EngineBoxes::kHeld);
  const std::string key = PadRight(lineKey, kSplitHeaderKeyLength);
  const char headerLetter = key[25] < 'X' ? 'V' : 'X';
  const std::string header = key.substr(0, kSplitGeneralKeyLength) + headerLetter + "    ";
  auto signedCents = [&c50, &r](long long& f, long long& e) {
    const long long sign = c50.GetField(L::BSENS)[0] == 'D' ? 1 : -1;
    bool readable = true;
    f += sign * StoredAmountOf(c50, L::BMONTANTF, &readable);
    e += sign * StoredAmountOf(c50, L::BMONTANTE, &readable);
    if (!readable)
      r.unreadable.push_back(UnreadRecordLine(c50, L::BMONTANTE, c50.recordBuffer.data(), c50.recordNumber));
  };
  // A look-up refused leaves the sums short: said, never a remainder to balance.
  Lookup found = SeekSplitRecord(c50, header);
  if (found.IsFound()) found = c50.LiveHere();
  r.readRefused = found.IsRefused();
  if (found.IsFound()) signedCents(r.generalF, r.generalE);
  const std::string own = key.substr(kSplitLinesKeyLength, 4);
  const std::string lines = key.substr(0, kSplitLinesKeyLength);
  const Lookup first = c50.FindNotBelow(L::kAnalyticTag, lines.c_str());
  r.readRefused = r.readRefused || first.IsRefused();
  for (bool more = first.IsFound(); more; more = c50.Skip(1)) {
    const KeyMatch m = MatchSplit(c50, lines);
    if (m.IsRefused()) {
      r.readRefused = true;
      break;
    }
    if (m.IsCancelled()) continue;
    if (!m.IsLive()) break;
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
  r.readRefused = r.readRefused || reading.ReadRefused();
  return r;
}

Lookup SeekAnalyticRecord(Table& c50, const std::string& key30) { return SeekSplitRecord(c50, key30); }

KeyMatch MatchSplitLines(Table& c50, const std::string& key26) { return MatchSplit(c50, key26); }

// ---- the save -----------------------------------------------------------------------------------------------------------

AnalyticSaveOutcome SaveAnalyticLineRecord(Table& c50, Table& c60, const std::string& lineKey,
                                           const AnalyticLineValues& v, std::string* refusal,
                                           std::string* totalsLeft) {
  if (totalsLeft != nullptr) totalsLeft->clear();
  if (!c50.isOpen) return AnalyticSaveOutcome::NotFound;
  // The change watches its reads from the first: the line found and read again under its lock. It is
  // works over its own line's amounts only (the amounts typed replace them): a section's total that
  // does not read refuses it.
  LineChangeSteps steps(LineChangeKind::AnalyticLineSaved);
  steps.Ends(c50, c60, kMsgAnalyticSaveRefused, v.inEuros);
  std::string text = lineKey;
  auto fail = [&] {
    return steps.Fail(text, refusal, AnalyticSaveOutcome::Failed, AnalyticSaveOutcome::TotalsTooLarge);
  };
  const Lookup found = SeekSplitRecord(c50, lineKey);
  if (!found.IsFound()) return steps.ReadWhole() && found.IsNotFound() ? AnalyticSaveOutcome::NotFound : fail();
  const std::uint32_t recno = c50.recordNumber;
  text = c50.RecordToText(L::BNUMA);
  // The lock first: nothing moves before the line is held.
  if (!steps.LockLine(c50, recno, text.c_str())) return AnalyticSaveOutcome::LockRefused;
  steps.WorksOver(c50, recno);
  // A line whose cancel mark could not be read is not taken for a cancelled one.
  const Lookup mark = c50.LiveHere();
  const bool live = mark.IsFound();
  if (mark.IsRefused() || !steps.ReadWhole()) return fail();
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
  if (steps.Check(refusal)) return AnalyticSaveOutcome::TotalsTooLarge;
  // A line without amount is not kept: cancelled with its sort record (its section has nothing of it).
  // Noted before the first write: the next opening cancels it once it stands written so.
  const bool zero = live && v.francs == 0 && v.euros == 0;
  steps.Note().Line(recno);
  steps.Note().SortRecordsFrom(c60.RecCount());
  if (zero) steps.Note().CancelledOnceWritten(recno, section);
  if (!steps.Begin() || !steps.Moves().Make(oldMoves)) return fail();

  char entry = v.inEuros ? 'O' : 'N';
  if (v.roundingLine) entry = static_cast<char>(entry - 'A' + 'a');
  if (!c50.GoToRecord(static_cast<long>(recno)).IsFound()) return fail();
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
  // The old values put the line back: once written, when a refused write stood all the same, or when the
  // line cannot be read again to tell.
  bool changed = !c50.GoToRecord(static_cast<long>(recno)).IsFound() || written;
  for (std::size_t i = 0; i < fields.size() && !changed; ++i) changed = c50.GetField(fields[i]) != was[i].text;
  changed = changed || StoredAmountOf(c50, L::BMONTANTF) != oldF || StoredAmountOf(c50, L::BMONTANTE) != oldE;
  if (changed)
    steps.Made([&c50, &c60, recno, was, text] {
      return c50.GoToRecord(static_cast<long>(recno)).IsFound() && WriteRecordFields(c50, was) &&
             c50.GoToRecord(static_cast<long>(recno)).IsFound() && SortRecordFollows(c50, c60, text.c_str());
    });
  if (!written || !c50.GoToRecord(static_cast<long>(recno)).IsFound() || !SortRecordFollows(c50, c60, text.c_str()) ||
      !steps.Moves().Make())
    return fail();
  AnalyticSaveOutcome outcome = AnalyticSaveOutcome::Saved;
  if (zero) {
    const bool cancelled = MarkDraftLine(c50, c60, recno, true, text.c_str());
    steps.Made([&c50, &c60, recno] { return MarkDraftLine(c50, c60, recno, false); });
    if (!cancelled) return fail();
    outcome = AnalyticSaveOutcome::ZeroLineCancelled;
  }
  if (!steps.Finish()) return fail();
  if (!v.roundingLine) LastAnalyticEntryInEuros = v.inEuros;
  // Replaced over an amount that did not read: the old section's total still counts it (a cancelled
  // line's amounts are in no total).
  if (totalsLeft != nullptr && live && steps.WorkedOverOwnLine())
    *totalsLeft = posting::OwnSectionAmountText(oldSection, outcome == AnalyticSaveOutcome::ZeroLineCancelled);
  return outcome;
}

bool DropBlankAnalyticLine(Table& c50, Table& c60, const std::string& lineKey, std::string* refusal) {
  if (!c50.isOpen) return false;
  // The line and its sort record go together, or the next opening makes them; a line read short is
  // left as it is, and said so.
  LineChangeSteps steps(LineChangeKind::AnalyticLineCancelled);
  steps.Ends(c50, c60, kMsgCancelRefused);
  const Lookup found = SeekSplitRecord(c50, lineKey);
  const Lookup live = found.IsFound() ? c50.LiveHere() : found;
  const bool blank = live.IsFound() && IsBlank(c50.GetField(L::BCODE));
  if (!steps.ReadWhole() || live.IsRefused()) {
    steps.Fail(lineKey, refusal);
    return false;
  }
  if (!blank) return false;
  const std::uint32_t recno = c50.recordNumber;
  const std::string text = c50.RecordToText(L::BNUMA);
  steps.Note().Cancelled(recno);
  steps.Note().Before(c50, recno);
  steps.Note().SortRecordsFrom(c60.RecCount());
  bool done = steps.Begin();
  if (done) {
    done = MarkDraftLine(c50, c60, recno, true, text.c_str());
    steps.Made([&c50, &c60, recno] { return MarkDraftLine(c50, c60, recno, false); });
  }
  done = done && steps.Finish();
  if (!done) steps.Fail(text, refusal);
  c50.GoToRecord(static_cast<long>(recno));
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
