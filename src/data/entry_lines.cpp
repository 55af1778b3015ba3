#include "entry_lines.h"

#include <algorithm>

#include "data/error_report.h"
#include "data/line_change_steps.h"
#include "data/record_fields.h"
#include "data/table.h"
#include "data/table_internal.h"
#include "data/table_results.h"
#include "resources/string_table.h"
#include "runtime/logfile.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace {

using L = LigneEcriture;
using T = LigneTri;

constexpr int kContextSave = 2010;
// The dossier log's line of a line whose sort record was missing (made again): its record number.
constexpr int kLogSortRecordMade = 22043;

// A line whose amount does not read: "C50" or "C40", its record number, its piece and its account.
constexpr int kStrUnreadableLine = 29973;  // "%s enregistrement %s, pièce %s, compte %s"

// A record of another table than the lines whose amount does not read, named by its table.
constexpr int kStrUnreadableHeader = 30300;   // "C10 enregistrement %s, journal %s"
constexpr int kStrUnreadableAccount = 30301;  // "C20 enregistrement %s, compte %s"
constexpr int kStrUnreadableSection = 30302;  // "C30 enregistrement %s, section %s"
constexpr int kStrUnreadableField = 34703;    // "%s enregistrement %s, champ %s": a record of another table

// The lines past the most listed, counted; the message around the list and its caption.
constexpr int kStrMoreLines = 29976;  // "   ... et %s autre(s)\n"
constexpr int kMsgUnreadableAmounts = 32209;
constexpr int kCaptionUnreadableAmounts = 29970;
// The same list where a file that leaves the program (a payment, an export) would carry them: not written.
constexpr int kMsgUnreadableFileNotWritten = 34700;

}  // namespace

int LigneEcriture::ClosedFieldOf(int draftField) {
  switch (draftField) {
    case BCLE: return DCLE;
    case BMOIS: return DMOIS;
    case BJAL: return DJAL;
    case BPIECE: return DPIECE;
    case BNUM: return DNUM;
    case BNUMA: return DNUMA;
    case BJOUR: return DJOUR;
    case BCODE: return DCODE;
    case BCLIB: return DCLIB;
    case BLIB: return DLIB;
    case BLIB2: return DLIB2;
    case BLIB3: return DLIB3;
    case BECHEANCE: return DECHEANCE;
    case BEURO: return DEURO;
    case BSENS: return DSENS;
    case BMONTANTF: return DMONTANTF;
    case BMONTANTE: return DMONTANTE;
    case BLET: return DLET;
    case BLETE: return DLETE;
    case BCG: return DCG;
    case BTVA: return DTVA;
    case BCODE2: return DCODE2;
    default: return 0;  // BREC, BVENT
  }
}

std::string LigneEcriture::Get(Table& lines, bool closed, int draftField) {
  const int field = closed ? ClosedFieldOf(draftField) : draftField;
  if (field == 0) return {};
  return lines.GetField(field);
}

std::string LigneEcriture::Key(Table& c50) {
  std::string key;
  for (int f = BCLE; f <= BNUM; ++f) key += c50.GetField(f);
  return key;
}

std::string LigneEcriture::AnalyticKey(Table& c50) {
  std::string key;
  for (int f : {BMOIS, BJAL, BPIECE, BCODE, BNUM}) key += c50.GetField(f);
  return key;
}

const std::vector<std::pair<int, int>>& LigneTri::DerivedFields() {
  static const std::vector<std::pair<int, int>> fields = [] {
    std::vector<std::pair<int, int>> v;
    for (const SortRecordCopy& c : kSortRecordCopies) v.emplace_back(c.sortField, c.draftField);
    return v;
  }();
  return fields;
}

std::string LigneTri::RecordKey(char file, std::uint32_t recno) {
  return std::string(1, file) + StrZero(static_cast<long>(recno), 0);
}

bool LigneTri::Find(Table& c60, char file, std::uint32_t recno) {
  if (!c60.isOpen || recno == 0) return false;
  const std::string key = RecordKey(file, recno);
  // A look-up refused answers false too: Missing() tells it from a record not there.
  return c60.Find(kRecordTag, key.c_str()).IsFound() && c60.MatchRecordKey(key.c_str(), kRecordKeyLength, TFIC, TREC).HoldsKey();
}

bool LigneTri::Missing(const Table& c60) { return SoughtAndMissing(c60.result); }

std::string NormalizeAccount(const std::string& typed) {
  constexpr std::size_t kWidth = 8;
  std::string account = AllTrim(typed.c_str());
  if (account.size() > kWidth) account.resize(kWidth);
  if (account.empty() || IsBlank(account)) return {};
  const char fill = static_cast<unsigned char>(account[0]) >= 'A' ? ' ' : '0';
  account.resize(kWidth, fill);
  return account;
}

bool IsAuxiliaryAccount(const std::string& account) { return !account.empty() && account[0] >= 'A' && account[0] <= 'Z'; }

void ReadStoredFields(Table& table, const std::vector<int>& fields, std::vector<std::string>& out) {
  out.resize(fields.size());
  if (!table.isOpen) {
    for (std::string& o : out) o.clear();
    return;
  }
  char text[256 + 1];
  // The fields as stored: the cursor reads them untranslated for the time of the call.
  dbase::DbiSetProp(table.Engine().cursor, dbase::curXLTMODE, dbase::xltNONE);
  const int count = table.FieldCount();
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const int f = fields[i];
    const bool known = f >= 1 && f <= count && table.Engine().nativeFields[static_cast<std::size_t>(f - 1)].iUnits1 <= 256;
    if (!known || dbase::DbiGetField(table.Engine().cursor, static_cast<std::uint16_t>(f), table.recordBuffer.data(), text,
                                     nullptr) != dbase::DBIERR_NONE)
      text[0] = 0;
    out[i].assign(text);
  }
  dbase::DbiSetProp(table.Engine().cursor, dbase::curXLTMODE, dbase::xltFIELD);
}

bool DeriveLigneTri(Table& lines, char file, Table& c60) {
  if (!lines.isOpen || !c60.isOpen || lines.recordNumber == 0) return false;
  const bool closed = file != LigneTri::kDraft;
  const std::string recno = StrZero(static_cast<long>(lines.recordNumber), 0);
  const std::string source(1, file);
  if (c60.appending) {
    // The record being appended: its buffer takes the fields, the insert writes them.
    bool ok = c60.PutField(T::TFIC, source.c_str()) && c60.PutField(T::TREC, recno.c_str());
    for (const SortRecordCopy& c : kSortRecordCopies) ok = c60.PutField(c.sortField, L::Get(lines, closed, c.draftField).c_str()) && ok;
    return ok;
  }
  // An existing record is written once, so that nobody reads it half derived.
  auto put = [&c60](int field, const std::string& text) {
    c60.result = dbase::DbiPutField(c60.Engine().cursor, static_cast<std::uint16_t>(field), c60.recordBuffer.data(), text.c_str());
    return c60.result == dbase::DBIERR_NONE;
  };
  bool ok = put(T::TFIC, source) && put(T::TREC, recno);
  for (const SortRecordCopy& c : kSortRecordCopies) ok = ok && put(c.sortField, L::Get(lines, closed, c.draftField));
  if (!ok) return false;
  if (tablelayer::ModifyCurrentRecord(c60) != dbase::DBIERR_NONE) {
    ReportDbError(c60, kContextSave, "");
    return false;
  }
  return true;
}

bool AppendLigneTri(Table& lines, char file, Table& c60) {
  // No line current (a read of it refused): no record, rather than a blank one pointing nowhere.
  if (!c60.isOpen || lines.recordNumber == 0 || !c60.AppendBlank()) return false;
  const bool derived = DeriveLigneTri(lines, file, c60);
  // The insert ends the append in every case: a half-filled record must not stay pending.
  const bool inserted = c60.InsertRecord();
  return derived && inserted && c60.Commit();
}

namespace {

bool SortFieldsDiffer(Table& c50, Table& c60) {
  for (const SortRecordCopy& c : kSortRecordCopies)
    if (std::string(c60.GetField(c.sortField)) != L::Get(c50, false, c.draftField)) return true;
  return false;
}

}  // namespace

bool SortRecordInStep(Table& c50, Table& c60) {
  if (c50.recordNumber == 0 || c60.recordNumber == 0 || SortFieldsDiffer(c50, c60)) return false;
  // Marks not read are not in step: nothing is known of them.
  const Lookup sortLive = c60.LiveHere(), lineLive = c50.LiveHere();
  return !sortLive.IsRefused() && !lineLive.IsRefused() && sortLive == lineLive;
}

bool CurrentSortRecordFollows(Table& c50, Table& c60, const char* recordText) {
  const std::uint32_t recno = c50.recordNumber;
  if (recno == 0 || c60.recordNumber == 0) return false;
  // A mark not read decides nothing: no write, and the line does not follow (the refusal said).
  const Lookup lineLive = LiveOrSaid(c50);
  if (lineLive.IsRefused()) return false;
  const bool cancelled = lineLive.IsNotFound();
  const bool differs = SortFieldsDiffer(c50, c60);
  const Lookup sortLive = LiveOrSaid(c60);
  if (sortLive.IsRefused()) return false;
  if (!differs && sortLive.IsNotFound() == cancelled) return true;
  const std::uint32_t sort = c60.recordNumber;
  if (!LockRecord(c60, recordText, recordText != nullptr ? 1 : 0)) return false;
  // A lock this cursor held already stays held.
  const bool held = c60.result == dbase::DBIERR_ALREADYLOCKED;
  bool kept = !differs || DeriveLigneTri(c50, T::kDraft, c60);
  // The sort record read again for its mark: one not read is not marked, and the line does not follow.
  kept = kept && c60.GoToRecord(static_cast<long>(sort)).IsFound();
  const Lookup sortAgain = kept ? LiveOrSaid(c60) : Lookup::NotFound();
  if (sortAgain.IsRefused()) kept = false;
  if (kept && sortAgain.IsNotFound() != cancelled)
    kept = cancelled ? c60.DeleteRecord(nullptr, 0) : c60.RecallRecord(nullptr, 0);
  // Its lock is let go on the record itself: one not read again keeps it until the table closes.
  if (!held && c60.GoToRecord(static_cast<long>(sort)).IsFound()) UnlockRecord(c60);
  return kept && c60.recordNumber == sort;
}

bool SortRecordFollows(Table& c50, Table& c60, const char* recordText) {
  const std::uint32_t recno = c50.recordNumber;
  if (recno == 0) return false;
  if (T::Find(c60, T::kDraft, recno)) return CurrentSortRecordFollows(c50, c60, recordText);
  // One that could not be read is not made again: the line would have two.
  if (!T::Missing(c60)) return false;
  WriteLog(FillPlaceholder(LoadStr(kLogSortRecordMade), std::to_string(recno)));
  if (!AppendLigneTri(c50, T::kDraft, c60)) return false;
  // The new record takes the line's cancel mark.
  return c50.GoToRecord(static_cast<long>(recno)).IsFound() && T::Find(c60, T::kDraft, recno) &&
         CurrentSortRecordFollows(c50, c60, recordText);
}

bool MarkDraftLine(Table& c50, Table& c60, std::uint32_t recno, bool cancel, const char* recordText) {
  if (!c50.GoToRecord(static_cast<long>(recno)).IsFound()) return false;
  const Lookup live = LiveOrSaid(c50);
  if (live.IsRefused()) return false;
  if (live.IsNotFound() != cancel) {
    if (!LockRecord(c50, recordText, 0)) return false;
    // A lock this cursor held already (the line's form, the change's) stays held.
    const bool held = c50.result == dbase::DBIERR_ALREADYLOCKED;
    const bool marked = cancel ? c50.DeleteRecord(nullptr, 0) : c50.RecallRecord(nullptr, 0);
    if (!c50.GoToRecord(static_cast<long>(recno)).IsFound()) return false;
    if (!held) UnlockRecord(c50);
    if (!marked) return false;
  }
  const bool sorted = SortRecordFollows(c50, c60, recordText);
  // The line made current again; one not read leaves the caller on no line: the mark is not taken
  // for made.
  const bool back = c50.GoToRecord(static_cast<long>(recno)).IsFound();
  return sorted && back;
}

bool CancelDraftLine(Table& c50, Table& c60, std::uint32_t recno) {
  const bool cancelled = MarkDraftLine(c50, c60, recno, true);
  c50.Commit();
  c60.Commit();
  return cancelled;
}

bool AppendDraftRecord(Table& c50, Table& c60, const std::function<bool()>& fill, LineChangeSteps& steps) {
  const std::uint32_t count = c50.RecCount();
  if (!c50.AppendBlank()) return false;
  const bool filled = fill();
  // The insert ends the append in every case: a half-filled record must not stay pending.
  const bool inserted = c50.InsertRecord();
  const std::uint32_t recno = c50.recordNumber;
  if (inserted && recno > count) steps.Made([&c50, &c60, recno] { return CancelDraftLine(c50, c60, recno); });
  if (!filled || !inserted || recno <= count || !c50.Commit()) return false;
  const bool sorted = AppendLigneTri(c50, LigneTri::kDraft, c60);
  // The new line made current again; one not read leaves the caller on no line: it is not taken
  // for written.
  const bool back = c50.GoToRecord(static_cast<long>(recno)).IsFound();
  return sorted && back;
}

std::string UnreadableAmountLinesText(std::vector<UnreadableAmountLine> lines, std::size_t most) {
  std::sort(lines.begin(), lines.end());
  lines.erase(std::unique(lines.begin(), lines.end(),
                          [](const UnreadableAmountLine& a, const UnreadableAmountLine& b) {
                            return a.file == b.file && a.recno == b.recno &&
                                   (a.file != UnreadableAmountLine::kOtherRecord || a.piece == b.piece);
                          }),
              lines.end());
  std::string out;
  for (std::size_t i = 0; i < lines.size() && i < most; ++i) {
    const UnreadableAmountLine& l = lines[i];
    const std::string recno = std::to_string(l.recno), code = Trimmed(l.account.c_str());
    if (l.file == LigneTri::kDraft || l.file == LigneTri::kClosed) {
      out += "   " +
             FillPlaceholders(LoadStr(kStrUnreadableLine),
                              {l.file == LigneTri::kDraft ? "C50" : "C40", recno, Trimmed(l.piece.c_str()), code}) +
             "\n";
      continue;
    }
    if (l.file == UnreadableAmountLine::kOtherRecord) {
      out += "   " + FillPlaceholders(LoadStr(kStrUnreadableField), {l.piece, recno, code}) + "\n";
      continue;
    }
    const int text = l.file == UnreadableAmountLine::kJournalMonthRecord ? kStrUnreadableHeader
                     : l.file == UnreadableAmountLine::kSectionRecord   ? kStrUnreadableSection
                                                  : kStrUnreadableAccount;
    out += "   " + FillPlaceholders(LoadStr(text), {recno, code}) + "\n";
  }
  if (lines.size() > most) out += FillPlaceholder(LoadStr(kStrMoreLines), std::to_string(lines.size() - most));
  return out;
}

std::string UnreadableAmountsMessage(const std::vector<UnreadableAmountLine>& lines) {
  if (lines.empty()) return "";
  return FillPlaceholders(LoadStr(kMsgUnreadableAmounts), {LargestLineText(), UnreadableAmountLinesText(lines)});
}

std::string UnreadableAmountsFileMessage(const std::vector<UnreadableAmountLine>& lines) {
  if (lines.empty()) return "";
  return FillPlaceholders(LoadStr(kMsgUnreadableFileNotWritten), {LargestLineText(), UnreadableAmountLinesText(lines)});
}

std::string UnreadableAmountsCaption() { return LoadStr(kCaptionUnreadableAmounts); }
