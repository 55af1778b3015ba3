#include "data/closed_lines.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "data/entry_lines.h"
#include "data/error_report.h"
#include "data/index_defs.h"
#include "data/record_fields.h"
#include "data/session.h"
#include "data/table.h"
#include "data/unread_amounts.h"
#include "data/table_copy.h"
#include "data/table_internal.h"
#include "data/table_scan.h"
#include "data/table_structures.h"
#include "runtime/numbers.h"
#include "runtime/xbase.h"

namespace {

constexpr int kContextSave = 2010;
// Sort records written with one engine call.
constexpr std::uint32_t kBatch = 8192;

// One sort record per physical line of the table, in physical order, made from the lines' bytes
// as DeriveLigneTri makes it from the current line: `copy` holds its pairs, `blanks` the sort
// fields whose line field has no place in the table.
bool AppendSortRecordsFromBytes(Table& lines, char file, Table& c60, const FieldTextCopy& copy,
                                const std::vector<int>& blanks, long& done, const std::function<void(long)>& step) {
  const std::string source(1, file);
  const std::size_t length = std::min<std::size_t>(c60.Engine().cursorProps.iRecSize, c60.recordBuffer.size());
  std::vector<std::uint8_t> start;
  bool ok = true;
  const bool scanned = ScanRecords(lines, [&](std::uint32_t r, const std::uint8_t* record) {
    if (!ok) return;
    if (!c60.AppendBlank()) {
      ok = false;
      return;
    }
    std::uint8_t* out = c60.recordBuffer.data();
    // As DeriveLigneTri, a field that cannot be written leaves the record as it is. The blank
    // record with its file and the fields the lines lack is the same for every line: made at the
    // first, copied over the blank of the others.
    if (start.empty()) {
      copy.Put(LigneTri::TFIC, source.c_str(), out);
      for (int f : blanks) copy.Put(f, "", out);
      start.assign(out, out + length);
    } else {
      std::memcpy(out, start.data(), length);
    }
    copy.Put(LigneTri::TREC, StrZero(static_cast<long>(r), 0), out);
    copy.Apply(record, out);
    c60.QueueRecord(record[0] == '*');
    if (c60.QueuedCount() == kBatch && !c60.AppendQueued()) ok = false;
    if (step && (++done & 4095) == 0) step(done);
  });
  return scanned && ok && c60.AppendQueued();
}

// One sort record per physical line of the table, in physical order.
bool AppendSortRecords(Table& lines, char file, Table& c60, long& done, const std::function<void(long)>& step) {
  FieldTextCopy copy(lines, c60);
  std::vector<int> blanks;
  for (const auto& [sortField, draftField] : LigneTri::DerivedFields()) {
    const int from = file != LigneTri::kDraft ? LigneEcriture::ClosedFieldOf(draftField) : draftField;
    if (from == 0) blanks.push_back(sortField);
    else copy.Add(from, sortField);
  }
  if (copy.usable()) return AppendSortRecordsFromBytes(lines, file, c60, copy, blanks, done, step);
  const std::uint32_t count = lines.RecCount();
  for (std::uint32_t r = 1; r <= count; ++r) {
    if (!lines.GoToRecord(static_cast<long>(r)).IsFound()) return false;
    // A line whose mark could not be read gets no sort record at all: the rebuild stops.
    const Lookup live = lines.LiveHere();
    if (live.IsRefused()) return false;
    const bool deleted = live.IsNotFound();
    if (!c60.AppendBlank()) return false;
    DeriveLigneTri(lines, file, c60);
    c60.QueueRecord(deleted);
    if (c60.QueuedCount() == kBatch && !c60.AppendQueued()) return false;
    if (step && (++done & 4095) == 0) step(done);
  }
  return c60.AppendQueued();
}

bool IsText(char type) { return type == 'C' || type == 'N'; }

}  // namespace

void FieldTextCopy::Add(int s, int t) {
  if (t == 0) return;
  if (s < 1 || s > source_.FieldCount() || t < 1 || t > target_.FieldCount()) {
    usable_ = false;
    return;
  }
  const char st = source_.FieldType(s), tt = target_.FieldType(t);
  if (!IsText(st) || !IsText(tt)) {
    usable_ = false;
    return;
  }
  const dbase::FLDDesc& sd = source_.Engine().nativeFields[static_cast<std::size_t>(s - 1)];
  const dbase::FLDDesc& td = target_.Engine().nativeFields[static_cast<std::size_t>(t - 1)];
  steps_.push_back(Step{s, t, sd.iOffset, static_cast<std::uint16_t>(std::max<int>(0, sd.iUnits1)), td.iOffset,
                        static_cast<std::uint16_t>(std::max<int>(0, td.iUnits1)), std::max<int>(0, sd.iUnits2),
                        st == 'C' && tt == 'C',
                        st == 'N' && tt == 'N' && sd.iUnits1 == td.iUnits1 && sd.iUnits2 == td.iUnits2,
                        st == 'N' && tt == 'N' && sd.iUnits2 <= 2});
  // Text fields of the same width, following each other in both records, join the run of the
  // step before them: one check and one copy for them all.
  Step& p = steps_.back();
  if (!p.raw || p.sWidth != p.tWidth) {
    runHead_ = kNoRun;
    return;
  }
  if (runHead_ != kNoRun) {
    Step& head = steps_[runHead_];
    if (runHead_ + head.runSteps + 1 == steps_.size() && head.sOffset + head.runWidth == p.sOffset &&
        head.tOffset + head.runWidth == p.tOffset) {
      ++head.runSteps;
      head.runWidth += p.sWidth;
      return;
    }
  }
  runHead_ = steps_.size() - 1;
  p.runSteps = 1;
  p.runWidth = p.sWidth;
}

bool FieldTextCopy::Put(int t, const char* text, std::uint8_t* target) const {
  dbase::DBIResult rc;
  if (target_.FieldType(t) == 'N') {
    const double value = Val(text);
    rc = dbase::DbiPutField(target_.Engine().cursor, static_cast<std::uint16_t>(t), target, &value);
  } else {
    rc = dbase::DbiPutField(target_.Engine().cursor, static_cast<std::uint16_t>(t), target, text);
  }
  return rc == dbase::DBIERR_NONE;
}

bool FieldTextCopy::Apply(const std::uint8_t* source, std::uint8_t* target) const {
  bool ok = true;
  std::string text;
  for (std::size_t i = 0; i < steps_.size(); ++i) {
    const Step& p = steps_[i];
    if (p.runSteps > 1 && std::memchr(source + p.sOffset, 0, p.runWidth) == nullptr) {
      // No zero byte in the run: each field's bytes go over whole, as below.
      std::memcpy(target + p.tOffset, source + p.sOffset, p.runWidth);
      i += p.runSteps - 1;
      continue;
    }
    if (p.raw) {
      // GetField's text is the field up to its trailing blanks and zero bytes, padded again;
      // PutField takes it up to a first zero byte: the bytes before the first zero byte.
      const std::uint8_t* from = source + p.sOffset;
      const void* zero = std::memchr(from, 0, p.sWidth);
      std::size_t n = zero != nullptr ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - from) : p.sWidth;
      n = std::min<std::size_t>(n, p.tWidth);
      std::memcpy(target + p.tOffset, from, n);
      std::memset(target + p.tOffset + n, ' ', p.tWidth - n);
      continue;
    }
    if (p.sameNumber && CanonicalNumberText(source + p.sOffset, p.sWidth, p.sDecimals)) {
      // A number stored as its own value prints it, into a field of the same shape: the same bytes.
      std::memcpy(target + p.tOffset, source + p.sOffset, p.sWidth);
      continue;
    }
    if (p.amount) {
      // An amount reads as its cents on both sides, whatever its text ("54.125" is 54.13);
      // one that does not read (as a number, or as a line's amount) goes over as it is, to be
      // named where it lands.
      const std::string_view stored(reinterpret_cast<const char*>(source + p.sOffset), p.sWidth);
      const bool readable = StoredAmountReads(source_, p.s, source);
      const long long cents = readable ? StoredAmountCents(stored) : 0;
      if (!readable) NoteUnnamedUnreadAmount();
      if (readable) {
        const double value = FromCents(cents);
        if (dbase::DbiPutField(target_.Engine().cursor, static_cast<std::uint16_t>(p.t), target, &value) !=
            dbase::DBIERR_NONE)
          ok = false;
        continue;
      }
      if (p.sWidth == p.tWidth) {
        std::memcpy(target + p.tOffset, source + p.sOffset, p.sWidth);
        continue;
      }
    }
    FieldTextOf(source_, p.s, source, text);
    if (!Put(p.t, text.c_str(), target)) ok = false;
  }
  return ok;
}

void AddClosedLinePairs(FieldTextCopy& copy, const FieldMap& map, int sourceFields) {
  for (int s = 1; s <= sourceFields; ++s) {
    const int t = map.TargetOf(s);
    if (t == 0) continue;
    copy.Add(s, t);
  }
}

bool QueueClosedLine(const FieldTextCopy& copy, const std::uint8_t* record, Table& c40,
                     const std::string& validationDate) {
  if (!c40.isOpen || !c40.AppendBlank()) return false;
  std::uint8_t* out = c40.recordBuffer.data();
  const bool copied = copy.Apply(record, out) && copy.Put(LigneEcriture::DVALID, validationDate.c_str(), out);
  c40.QueueRecord(false);
  return copied;
}

bool AppendClosedLine(Table& c50, Table& c40, const std::string& validationDate, bool queued) {
  if (!c50.isOpen || !c40.isOpen) return false;
  return AppendClosedLine(FieldMap(c50, c40, 1, FieldMap::Numbers::AsText), c50, c40, validationDate, queued);
}

bool AppendClosedLine(const FieldMap& map, Table& c50, Table& c40, const std::string& validationDate, bool queued) {
  if (!c50.isOpen || !c40.isOpen || c50.recordNumber == 0 || !c40.AppendBlank()) return false;
  // The names map the draft's fields onto the closed line's; the insert ends the append in
  // every case, so that no half-filled record stays pending.
  const bool copied = CopyRecord(map, c50, c40) && c40.PutField(LigneEcriture::DVALID, validationDate.c_str());
  if (queued) {
    c40.QueueRecord(false);
    return copied;
  }
  const bool inserted = c40.InsertRecord();
  return copied && inserted;
}

bool RefillSortRecords(Table& c40, Table& c50, Table& c60, const std::function<void(long)>& step) {
  if (!c40.isOpen || !c50.isOpen || !c60.isOpen) return false;
  const std::string path = c60.tablePath.substr(0, c60.tablePath.size() - 4);
  // The records go in without an index to keep (emptied first, the table has no tag to empty);
  // the tags are built once at the end.
  c60.CloseTable(true);
  if (dbase::DbiDropProductionIndex(path.c_str()) != dbase::DBIERR_NONE || !c60.OpenExclusive(path) || !c60.Zap()) {
    c60.CloseTable(true);
    return false;
  }
  long done = 0;
  const bool appended = AppendSortRecords(c40, LigneTri::kClosed, c60, done, step) &&
                        AppendSortRecords(c50, LigneTri::kDraft, c60, done, step);
  c60.CloseTable(true);
  if (!appended) return false;
  const bool tagged = c60.OpenExclusive(path) && BuildIndexesOf(c60, TableKind::C60);
  c60.CloseTable(true);
  return tagged;
}

bool WriteRecordFields(Table& table, const std::vector<FieldWrite>& fields) {
  if (!table.isOpen || table.recordNumber == 0) return false;
  for (const FieldWrite& f : fields) {
    const void* value = f.number ? static_cast<const void*>(&f.value) : static_cast<const void*>(f.text.c_str());
    table.result = dbase::DbiPutField(table.Engine().cursor, static_cast<std::uint16_t>(f.field), table.recordBuffer.data(), value);
    if (table.result != dbase::DBIERR_NONE) {
      ReportDbError(table, kContextSave, "", f.field);
      return false;
    }
  }
  if (tablelayer::ModifyCurrentRecord(table) != dbase::DBIERR_NONE) {
    ReportDbError(table, kContextSave, "");
    return false;
  }
  return true;
}
