#include "processing/core/code_copy.h"

#include <algorithm>
#include <cstdlib>
#include <optional>

#include "data/dossier_files.h"
#include "data/error_report.h"
#include "data/table.h"
#include "data/table_copy.h"
#include "data/table_results.h"
#include "dossier/core/dossier_run_marker.h"
#include "resources/string_table.h"
#include "runtime/logfile.h"
#include "runtime/code_helpers.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace processing {

namespace {

constexpr const char* kC10Tag = "C10CODE";

// The texts of the copy and its log lines, by their ids in the string table.
constexpr int kTitleCopyRun = 23280;      // the run as its marker names it
constexpr int kMsgStopped = 19916;        // the reason, then that the next opening finishes the copy
constexpr int kLogStopped = 23281;        // the reason
constexpr int kLogNoResume = 23282;       // the marker's detail
constexpr int kLogSourceNotOpen = 32612;  // the source table
constexpr int kLogResumed = 23284;        // the codes added, those written again, the source table

bool IsFigure(const CodeCopyKind& k, int field) {
  return std::find(k.figures.begin(), k.figures.end(), field) != k.figures.end();
}

// Writes the source's fields from the kind's first copied field into the target's current
// record (or the record being appended): figures at zero on a new record, untouched on an
// existing one. Text and numbers as text, memos whole.
bool WriteFields(Table& source, Table& target, const CodeCopyKind& k, const FieldMap& map, bool appended) {
  bool ok = true;
  for (int s = k.firstCopied; s <= source.FieldCount(); ++s) {
    const int t = map.TargetOf(s);
    if (t == 0) continue;
    if (IsFigure(k, t)) {
      if (appended && !target.PutFieldNum(t, 0.0)) ok = false;
      continue;
    }
    const char st = source.FieldType(s);
    const char tt = target.FieldType(t);
    if (st == 'M' || tt == 'M') {
      std::string memo;
      if (st == 'M' && tt == 'M' && !(source.GetMemoText(s, memo) && target.PutMemoText(t, memo))) ok = false;
      continue;
    }
    if ((st != 'C' && st != 'N') || (tt != 'C' && tt != 'N')) continue;
    if (!target.PutField(t, source.GetField(s))) ok = false;
  }
  // Figures the source has no field for are zero on a new record all the same.
  if (appended)
    for (int t : k.figures)
      if (t <= target.FieldCount() && target.FieldType(t) == 'N') target.PutFieldNum(t, 0.0);
  return ok;
}

// The receiver's key: the kind and the code (C10), or the code, each as wide as its field.
std::string ReceiverKey(Table& target, const CodeCopyKind& k, const std::string& kind, const std::string& code) {
  if (k.table == '1') return kind.substr(0, 1) + CodeOfWidth(code, target.FieldWidth(2));
  return CodeOfWidth(code, target.FieldWidth(1));
}

// Positions the target on the live record of the key; 'O' when there is one, 'o' when the key
// has cancelled records only, 'E' when it has none.
char FindReceiver(Table& target, const CodeCopyKind& k, const std::string& key) {
  const int length = static_cast<int>(key.size());
  const int f2 = k.keyFields > 1 ? 2 : 0;
  // A look-up that could not read is no missing code: '!', and nothing is added.
  const Lookup first = target.Find(k.tag, key.c_str());
  if (first.IsRefused()) return '!';
  if (first.IsNotFound()) return 'E';
  char found = 'E';
  for (bool more = true; more; more = target.Skip(1)) {
    const KeyMatch m = target.MatchRecordKey(key.c_str(), length, 1, f2);
    if (m.IsLive()) return 'O';
    // A record of the key whose mark is not read may be the live one: nothing is added.
    if (m.IsRefused()) return '!';
    if (!m.IsCancelled()) break;
    found = 'o';
  }
  // Back on a record of the key, so that the caller sees which one; not read, it sees none.
  if (target.Find(k.tag, key.c_str()).IsRefused()) return '!';
  return found;
}

}  // namespace

bool CodeCopyKindOf(const std::string& kind, CodeCopyKind* out) {
  if (kind.empty() || kind[0] == ' ') return false;
  CodeCopyKind k;
  if (kind[0] == '2') {
    k = {'2', "C20CODE", 1, 2, {17, 18, 19, 20, 21, 22, 23, 24, 28, 29}};
  } else if (kind[0] == '3') {
    k = {'3', "C30CODE", 1, 2, {9, 10, 11, 12, 13, 14, 15, 16, 17, 18}};
  } else if (IsC10CodeKind(kind.c_str()) && kind[0] != '0') {
    k = {'1', kC10Tag, 2, 3, {}};
  } else {
    return false;
  }
  *out = k;
  return true;
}

std::string OpenCodeTablePath(const CodeCopyKind& k) {
  if (k.table == '2') return PathC20();
  if (k.table == '3') return PathC30();
  return PathC10();
}

std::string OtherCodeTablePath(const CodeCopyKind& k, const OtherDossier& other) {
  if (k.table == '2') return OtherPathC20(other);
  if (k.table == '3') return OtherPathC30(other);
  return OtherPathC10(other);
}

std::string CodeOfWidth(const std::string& code, int width) {
  std::string out = code.substr(0, static_cast<std::size_t>(std::max(width, 0)));
  out.resize(static_cast<std::size_t>(std::max(width, 0)), ' ');
  return out;
}

int CompareCodes(const std::string& a, const std::string& b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool CodeExists(Table& table, const CodeCopyKind& k, const std::string& kind, const std::string& code, int width) {
  if (!table.isOpen) return false;
  const std::string key = ReceiverKey(table, k, kind, CodeOfWidth(code, width));
  return FindReceiver(table, k, key) != 'E';
}

CodeCopyCount CopyCodeRange(Table& source, Table& target, const CodeCopyKind& k, const CodeRange& range,
                            const CodeCopyStep& step) {
  CodeCopyCount count;
  if (!source.isOpen || !target.isOpen) return count;
  const FieldMap map(source, target, 1);
  const bool shared = target.shareMode != Table::kExclusive;
  const std::string kind = range.kind.substr(0, 1);
  const int codeField = k.table == '1' ? 2 : 1;
  const std::string first = CodeOfWidth(range.first, range.width);
  const std::string last = CodeOfWidth(range.last, range.width);

  const Lookup found = k.table == '1' ? source.FindNotBelow(k.tag, kind.c_str(), first.c_str())
                                      : source.FindNotBelow(k.tag, first.c_str());
  // The source not read is no empty range: the copy fails in its sentence.
  if (found.IsRefused()) {
    ++count.failed;
    count.refused = RunIncidentText(found.result(), source.tablePath, found.result());
    return count;
  }
  for (bool more = found.IsFound() && !source.eof; more && !source.eof; more = source.Skip(1)) {
    // The walk ends at the first record of another kind or past the last code.
    if (k.table == '1' && std::string(source.GetField(1)).substr(0, 1) != kind) break;
    const std::string stored = RTrim(source.GetField(codeField));
    if (CompareCodes(CodeOfWidth(stored, range.width), last) > 0) break;
    // A code whose mark is not read is not taken for cancelled: the copy stops, naming the file.
    const Lookup live = source.LiveHere();
    if (live.IsRefused()) {
      ++count.failed;
      count.refused = UnreadText(source.tablePath, live.result());
      return count;
    }
    if (live.IsNotFound()) continue;
    if (step) step(stored);

    const std::string key = ReceiverKey(target, k, kind, stored);
    char state = FindReceiver(target, k, key);
    bool appended = false;
    const auto unread = [&] {
      ++count.failed;
      count.refused = RunIncidentText(target.result, target.tablePath, target.result);
    };
    if (state == '!') {
      unread();
      break;
    }
    if (state == 'E') {
      // A missing code: looked for again and appended under the creation lock, so that two
      // stations adding it at once make one record.
      std::optional<CreationLock> creating;
      if (shared) {
        creating.emplace(target);
        if (!creating->held()) {
          ++count.failed;
          continue;
        }
        state = FindReceiver(target, k, key);
        if (state == '!') {
          unread();
          break;
        }
      }
      if (state == 'E') {
        bool ok = target.AppendBlank();
        if (k.table == '1') {
          ok = target.PutField(1, kind.c_str()) && ok;
          ok = target.PutField(2, stored.c_str()) && ok;
        } else {
          ok = target.PutField(1, stored.c_str()) && ok;
        }
        ok = WriteFields(source, target, k, map, true) && ok;
        // A refused insert leaves the cursor on the record it was on, its buffer holding the
        // new code's fields: the walk stops before anything writes through it.
        ok = target.InsertRecord() && ok;
        ok = ok && target.Commit();
        if (!ok) {
          ++count.failed;
          count.refused = RunIncidentText(target.result, target.tablePath, target.result);
          break;
        }
        ++count.added;
        count.lastCode = stored;
        appended = true;
      }
    }
    if (appended) continue;
    if (state == 'o') {
      ++count.cancelledKept;
      continue;
    }
    // An existing receiver, written under its record lock (another station may be on it).
    const std::string text = target.RecordToText(k.keyFields);
    if (!LockRecord(target, text.c_str(), 1)) {
      ++count.failed;
      // A receiver not read under its lock stops the copy, named; one another window holds is passed over.
      if (!LockHeldElsewhere(target)) {
        count.refused = UnreadText(target.tablePath, target.result);
        break;
      }
      continue;
    }

    // Every field into the record's buffer, then one write: a record is never seen or left
    // with some of the source's fields and some of its own.
    target.BeginRewrite();
    bool ok = WriteFields(source, target, k, map, false);
    ok = target.EndRewrite(ok) && ok;
    ok = ok && target.Commit();
    if (shared) UnlockRecord(target);
    if (!ok) {
      ++count.failed;
      count.refused = RunIncidentText(target.result, target.tablePath, target.result);
      break;
    }
    ++count.rewritten;
    count.lastCode = stored;
  }
  return count;
}

namespace {

// The marker's detail: the source's table, the kind, the width and the two codes, tab-separated.
constexpr char kDetailSeparator = '\t';

std::string CopyDetail(const std::string& sourcePath, const CodeRange& range) {
  const std::string tab(1, kDetailSeparator);
  return sourcePath + tab + range.kind + tab + std::to_string(range.width) + tab + range.first + tab + range.last;
}

bool ReadCopyDetail(const std::string& detail, std::string* sourcePath, CodeRange* range) {
  std::vector<std::string> parts;
  for (std::size_t from = 0;;) {
    const std::size_t at = detail.find(kDetailSeparator, from);
    parts.push_back(detail.substr(from, at == std::string::npos ? std::string::npos : at - from));
    if (at == std::string::npos) break;
    from = at + 1;
  }
  if (parts.size() != 5 || parts[0].empty() || parts[1].empty()) return false;
  *sourcePath = parts[0];
  range->kind = parts[1];
  range->width = std::atoi(parts[2].c_str());
  range->first = parts[3];
  range->last = parts[4];
  return range->width > 0;
}

}  // namespace

bool CopyCodeRangeMarked(Table& source, const std::string& sourcePath, Table& target, const OtherDossier& receiver,
                         const CodeCopyKind& k, const CodeRange& range, const CodeCopyStep& step, CodeCopyCount* count,
                         std::string* refusal) {
  // The marker goes into the receiving dossier's folder, under its code.
  const std::string folder = DossierFolder, code = DossierCode;
  SetDossier(receiver.folder, receiver.code);
  DossierRunMarker marker(BooksReading{}, kCodeCopyRun, LoadStr(kTitleCopyRun), CopyDetail(sourcePath, range));
  SetDossier(folder, code);
  if (!marker.written()) {
    if (count != nullptr) *count = CodeCopyCount{};
    if (refusal != nullptr) *refusal = DossierRunMarkerRefusal(marker.path());
    return false;
  }
  CodeCopyCount done;
  {
    // The run says its own failure, in one box: the engine's boxes are held back meanwhile, and
    // the write the system refused first is the one named.
    RefusalWatch refused(RefusalWatch::EngineBoxes::kHeld);
    done = CopyCodeRange(source, target, k, range, step);
    if (!done.refused.empty() && refused.RefusedResult() != 0) {
      done.refused = refused.Reason(refused.RefusedResult(), "", 0);
    } else if (refused.ReadRefused()) {
      // A read refused ended the walk short of the range: the copy did not go to its end.
      ++done.failed;
      done.refused = refused.Reason(refused.RefusedResult(), "", 0);
    }
  }
  if (count != nullptr) *count = done;
  if (!done.refused.empty()) {
    // The codes copied so far stay; the receiving dossier's next opening copies the rest.
    marker.Keep();
    if (refusal != nullptr) *refusal = FillPlaceholder(LoadStr(kMsgStopped), done.refused);
    WriteLog(FillPlaceholder(LoadStr(kLogStopped), done.refused));
    return false;
  }
  return true;
}

bool FinishInterruptedCodeCopy(const std::string& detail) {
  std::string sourcePath;
  CodeRange range;
  CodeCopyKind k;
  if (!ReadCopyDetail(detail, &sourcePath, &range) || !CodeCopyKindOf(range.kind, &k)) {
    WriteLog(FillPlaceholder(LoadStr(kLogNoResume), detail));
    return true;
  }
  // A read refused leaves the copy short of its range: it is not finished, whatever was copied.
  const RefusalWatch refused;
  Table target;
  if (!target.OpenExclusive(OpenCodeTablePath(k), k.tag)) return false;
  Table source;
  if (!source.OpenShared(sourcePath, k.tag, true)) {
    if (refused.ReadRefused()) return false;
    WriteLog(FillPlaceholder(LoadStr(kLogSourceNotOpen), sourcePath));
    return true;
  }
  const CodeCopyCount done = CopyCodeRange(source, target, k, range);
  WriteLog(FillPlaceholders(LoadStr(kLogResumed),
                            {std::to_string(done.added), std::to_string(done.rewritten), sourcePath}));
  return done.failed == 0 && !refused.ReadRefused();
}

}  // namespace processing
