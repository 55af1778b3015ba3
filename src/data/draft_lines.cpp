#include "data/draft_lines.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <tuple>

#include "data/account_totals.h"
#include "data/closed_lines.h"
#include "data/entry_lines.h"
#include "data/error_report.h"
#include "data/line_change_steps.h"
#include "data/table.h"
#include "data/table_internal.h"
#include "resources/string_table.h"
#include "runtime/numbers.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace {

// The message of a draft file that is full, and the refusal of lines not appended (the reason in it),
// by their ids in the string table.
constexpr int kMsgTooManyLines = 22035;
constexpr int kMsgLinesNotAppended = 36002;

using L = LigneEcriture;
using T = LigneTri;

// The totals a new line moves: its amounts on its sense.
TotalsCents MoveOf(const NewDraftLine& line) {
  return TotalsCents::OnSense(line.sense, ToCents(line.francs), ToCents(line.euros));
}

// A character field of the record being appended, put as the engine puts it (the text up to
// the field's width or its first NUL, blanks after it) without a call per field; a field of
// another type goes through the table.
bool PutText(Table& c50, int field, const char* text) {
  if (c50.appending == 0 || field < 1 || field > c50.FieldCount()) return c50.PutField(field, text);
  const dbase::FLDDesc& d = c50.Engine().nativeFields[static_cast<std::size_t>(field - 1)];
  const std::size_t width = static_cast<std::size_t>(d.iUnits1 > 0 ? d.iUnits1 : 0);
  if (d.iFldType != 'C' || d.iOffset + width > c50.recordBuffer.size()) return c50.PutField(field, text);
  std::uint8_t* raw = c50.recordBuffer.data() + d.iOffset;
  const std::size_t n = strnlen(text, width);
  std::memcpy(raw, text, n);
  std::memset(raw + n, ' ', width - n);
  return true;
}

// The fields of a new line put into the record being appended to C50, its group given.
bool FillLine(Table& c50, const NewDraftLine& line, const std::string& account, long group) {
  const std::string groupText = StrZero(group, 0);
  const char sense[2] = {line.sense == 'D' ? 'D' : 'C', 0};
  const char currency[2] = {line.entryCurrency, 0};
  bool ok = PutText(c50, L::BCLE, "Z") && PutText(c50, L::BMOIS, line.month.c_str()) &&
            PutText(c50, L::BJAL, line.journal.c_str()) && PutText(c50, L::BPIECE, line.piece.c_str()) &&
            PutText(c50, L::BREC, groupText.c_str()) && PutText(c50, L::BNUM, "0001") &&
            PutText(c50, L::BNUMA, "0001") && PutText(c50, L::BJOUR, line.day.c_str()) &&
            PutText(c50, L::BCODE, account.c_str()) && PutText(c50, L::BCLIB, line.labelCode.c_str()) &&
            PutText(c50, L::BLIB, line.label.c_str()) && c50.PutFieldNum(L::BMONTANTE, line.euros) &&
            PutText(c50, L::BSENS, sense) && c50.PutFieldNum(L::BMONTANTF, line.francs) &&
            PutText(c50, L::BEURO, currency);
  if (!line.label2.empty()) ok = PutText(c50, L::BLIB2, line.label2.c_str()) && ok;
  if (!line.label3.empty()) ok = PutText(c50, L::BLIB3, line.label3.c_str()) && ok;
  if (!line.dueDate.empty()) ok = PutText(c50, L::BECHEANCE, line.dueDate.c_str()) && ok;
  if (!line.vatCode.empty()) ok = PutText(c50, L::BTVA, line.vatCode.c_str()) && ok;
  return ok;
}

// `inserted` tells whether the line's record went into C50 (then its record is the current one).
bool AppendLine(Table& c50, Table& c60, const NewDraftLine& line, const std::string& account, bool& inserted) {
  inserted = false;
  if (!c50.AppendBlank()) return false;
  bool ok = FillLine(c50, line, account, static_cast<long>(c50.RecCount()) + 1);
  // The insert ends the append in every case: a half-filled record must not stay pending.
  inserted = c50.InsertRecord();
  // A line whose number could not be read back gets no sort record: it would point nowhere.
  if (!(ok && inserted && c50.recordNumber != 0 && c50.Commit())) return false;
  if (!c60.AppendBlank()) return false;
  ok = DeriveLigneTri(c50, T::kDraft, c60);
  if (!line.pendingMark.empty()) ok = c60.PutField(T::TLETP, line.pendingMark.c_str()) && ok;
  const bool sortInserted = c60.InsertRecord();
  return ok && sortInserted && c60.Commit();
}

}  // namespace

std::string TooManyLinesMessage(const std::string& file) { return FillPlaceholder(LoadStr(kMsgTooManyLines), file); }

DraftWrite WriteDraftLines(Table& c50, Table& c60, const std::vector<NewDraftLine>& lines,
                           std::vector<std::uint32_t>* recnos, TotalsOverflow* overflow, std::string* refusal) {
  if (static_cast<long>(c50.RecCount()) + static_cast<long>(lines.size()) > kMaxLineRecords)
    return DraftWrite::TooManyLines;
  // The totals of every line, refused before anything is written when one cannot hold them.
  LineChangeSteps steps(LineChangeKind::LinesAppended);
  steps.Ends(c50, c60, kMsgLinesNotAppended);
  std::vector<std::size_t> movesOf;
  std::vector<std::string> accounts;
  for (const NewDraftLine& line : lines) {
    accounts.push_back(NormalizeAccount(line.account));
    steps.Moves().Account(accounts.back(), MoveOf(line));
    steps.Moves().Header(DraftHeaderCode(line.month, line.journal), MoveOf(line));
    movesOf.push_back(steps.Moves().Count());
  }
  if (const TotalsOverflow found = steps.Moves().Check()) {
    if (overflow != nullptr) *overflow = found;
    return DraftWrite::TotalsTooLarge;
  }
  // The pieces noted before the first line: appended cut short, a piece is taken back by the next
  // opening.
  std::map<std::tuple<std::string, std::string, std::string>, long> pieces;
  for (const NewDraftLine& line : lines) ++pieces[{line.month, line.journal, PadRight(line.piece, 6)}];
  for (const auto& [piece, count] : pieces)
    steps.Note().Appended(std::get<0>(piece), std::get<1>(piece), std::get<2>(piece), count, c50.RecCount());
  steps.Note().SortRecordsFrom(c60.RecCount());
  // A refusal takes back every line written, with its sort record, and the totals moved.
  auto fail = [&] {
    std::string said;
    const bool tooLarge = steps.Fail(
        lines.empty() ? std::string() : lines.front().month + lines.front().journal + lines.front().piece, &said);
    if (overflow != nullptr) *overflow = steps.Moves().Overflow();
    // A total too large is told by the overflow, in the caller's currency.
    if (tooLarge) return DraftWrite::TotalsTooLarge;
    if (refusal != nullptr) *refusal = said;
    return DraftWrite::Failed;
  };
  if (!steps.Begin()) return fail();
  std::vector<std::uint32_t> written;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const NewDraftLine& line = lines[i];
    const std::string& account = accounts[i];
    bool inserted = false;
    const bool ok = AppendLine(c50, c60, line, account, inserted);
    const std::uint32_t recno = c50.recordNumber;
    // A line that went in is taken back with the others (with its sort record, made if it lacks
    // one); when no record went in, the current record is another line, left alone. One that went
    // in but cannot be told (read again, refused) is left to the next opening, which takes the piece back.
    if (inserted) {
      const bool ours = recno != 0 && c50.GoToRecord(static_cast<long>(recno)).IsFound() && c50.LiveHere().IsFound() &&
                        std::string(c50.GetField(L::BCODE)).compare(0, account.size(), account) == 0 &&
                        (written.empty() || recno != written.back());
      if (ours) steps.Made([&c50, &c60, recno] { return CancelDraftLine(c50, c60, recno); });
      else steps.Made([] { return false; });
    }
    if (!ok) return fail();
    written.push_back(recno);
    if (!steps.Moves().Make(movesOf[i])) return fail();
  }
  if (!steps.Finish()) return fail();
  if (recnos != nullptr) *recnos = written;
  return DraftWrite::Written;
}

std::string DraftHeaderCode(const std::string& month, const std::string& journal) {
  return month + (journal + "   ").substr(0, 3) + "B";
}

void DraftTotals::Add(const NewDraftLine& line, const std::string& account) {
  const bool debit = line.sense == 'D';
  const long long francs = ToCents(line.francs), euros = ToCents(line.euros);
  accounts[account].Add(debit, francs, euros);
  headers[DraftHeaderCode(line.month, line.journal)].Add(debit, francs, euros);
}

DraftTotals& DraftTotals::operator+=(const DraftTotals& o) {
  for (const auto& [code, t] : o.accounts) accounts[code] += t;
  for (const auto& [code, t] : o.headers) headers[code] += t;
  return *this;
}


DraftWrite AppendDraftLines(Table& c50, Table& c60, const std::vector<NewDraftLine>& lines, DraftTotals* totals,
                            std::vector<std::uint32_t>* recnos) {
  if (static_cast<long>(c50.RecCount()) + static_cast<long>(lines.size()) > kMaxLineRecords)
    return DraftWrite::TooManyLines;
  std::vector<std::uint32_t> written;
  written.reserve(lines.size());
  std::vector<std::string> accounts;
  accounts.reserve(lines.size());
  // A refused write leaves the lines as they are, as a stop of the program would: on a full disk
  // a cancelled line could not get the sort record it lacks. The caller's record of its run
  // finds them (the next run cancels a piece cut short, its sort records derived first).
  auto fail = [&] { return DraftWrite::Failed; };
  // The records of the batch as queued, their sort records made from these bytes rather than
  // from the lines read again (the copy writes what DeriveLigneTri writes).
  const std::size_t size = c50.Engine().cursorProps.iRecBufSize;
  std::vector<std::uint8_t> batch;
  batch.reserve(std::min(lines.size(), kDraftBatchLines) * size);
  FieldTextCopy sortCopy(c50, c60);
  for (const auto& [sortField, draftField] : T::DerivedFields()) sortCopy.Add(draftField, sortField);
  const char source[2] = {T::kDraft, 0};
  for (std::size_t from = 0; from < lines.size(); from += kDraftBatchLines) {
    const std::size_t to = std::min(lines.size(), from + kDraftBatchLines);
    // Each line its own group: the draft's record count at its append.
    const long base = static_cast<long>(c50.RecCount());
    batch.clear();
    for (std::size_t i = from; i < to; ++i) {
      accounts.push_back(NormalizeAccount(lines[i].account));
      if (!c50.AppendBlank()) return fail();
      const bool ok = FillLine(c50, lines[i], accounts.back(), base + static_cast<long>(i - from) + 1);
      c50.QueueRecord(false);
      if (!ok) {
        c50.DropQueued();
        return fail();
      }
      batch.insert(batch.end(), c50.recordBuffer.data(), c50.recordBuffer.data() + size);
    }
    std::uint32_t first = 0;
    if (!c50.AppendQueued(&first) || first == 0) return fail();
    const std::size_t batchStart = written.size();
    for (std::size_t i = from; i < to; ++i) written.push_back(first + static_cast<std::uint32_t>(i - from));
    // The sort records of the batch, derived from the lines as written.
    for (std::size_t i = from; i < to; ++i) {
      const std::uint32_t recno = written[batchStart + i - from];
      bool ok = c60.AppendBlank();
      if (ok && sortCopy.usable()) {
        std::uint8_t* out = c60.recordBuffer.data();
        ok = sortCopy.Put(T::TFIC, source, out) && sortCopy.Put(T::TREC, StrZero(static_cast<long>(recno), 0), out) &&
             sortCopy.Apply(batch.data() + (i - from) * size, out);
      } else if (ok) {
        ok = c50.GoToRecord(static_cast<long>(recno)).IsFound() && DeriveLigneTri(c50, T::kDraft, c60);
      }
      if (ok && !lines[i].pendingMark.empty()) ok = c60.PutField(T::TLETP, lines[i].pendingMark.c_str());
      c60.QueueRecord(false);
      if (!ok) {
        c60.DropQueued();
        return fail();
      }
    }
    if (!c60.AppendQueued()) return fail();
    // The line table stands on the batch's last line, as read from the file.
    if (!c50.GoToRecord(static_cast<long>(written.back())).IsFound()) return fail();
  }
  if (totals != nullptr)
    for (std::size_t i = 0; i < lines.size(); ++i) totals->Add(lines[i], accounts[i]);
  if (recnos != nullptr) *recnos = written;
  return DraftWrite::Written;
}
