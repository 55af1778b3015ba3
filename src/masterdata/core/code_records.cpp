#include "masterdata/core/code_records.h"

#include <utility>
#include <vector>

#include "data/error_report.h"
#include "data/table.h"
#include "data/table_results.h"
#include "masterdata/core/code_kinds.h"
#include "masterdata/core/code_values.h"
#include "masterdata/core/masterdata_strings.h"
#include "resources/string_table.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace masterdata {

namespace {

bool OnRecord(Table& t) { return t.isOpen && !t.bof && !t.eof && t.recordNumber != 0; }

bool OfKind(Table& t, char kind) { return OnRecord(t) && t.GetField(kKindField)[0] == kind; }

std::string CodeOf(Table& t, int width) { return SliceOf(t.GetField(kCodeField), 1, width); }

// One field's value, memo fields whole.
struct FieldCopy {
  int field;
  bool memo;
  std::string text;
};

// Fields 3 onward of the first live record of kind + code: found with them, not found when there is
// none, refused when a read of it was (a cancelled record stepped over, a memo, the look-up itself).
Lookup ReadCopySource(Table& c10, char kind, const std::string& code, int width, std::vector<FieldCopy>& out) {
  const std::string padded = PaddedCode(code, width);
  Lookup at = c10.Find(kC10Tag, std::string(1, kind).c_str(), padded.c_str());
  for (; at.IsFound(); at = c10.Skip(1) ? Lookup::Found() : c10.eof ? Lookup::NotFound() : Lookup::Refused(c10.result)) {
    if (!OfKind(c10, kind) || CodeOf(c10, width) != padded) return Lookup::NotFound();
    const Lookup live = c10.LiveHere();
    if (live.IsRefused()) return live;
    if (live.IsFound()) break;
  }
  if (!at.IsFound()) return at;
  for (int f = kNameField; f <= c10.FieldCount(); ++f) {
    FieldCopy copy{f, c10.FieldType(f) == 'M', {}};
    if (copy.memo) {
      if (!c10.GetMemoText(f, copy.text)) return Lookup::Refused(c10.result != kResultOk ? c10.result : kResultSystemError);
    } else {
      copy.text = c10.GetField(f);
    }
    out.push_back(std::move(copy));
  }
  return Lookup::Found();
}

}  // namespace

Lookup SeekCodeRecord(Table& c10, char kind, const std::string& code, int width) {
  const std::string padded = PaddedCode(code, width);
  if (!c10.isOpen) return Lookup::Refused(kResultNoSuchTable);
  return c10.Find(kC10Tag, std::string(1, kind).c_str(), padded.c_str())
      .And(OfKind(c10, kind) && CodeOf(c10, width) == padded);
}

Lookup SeekLiveCode(Table& c10, char kind, const std::string& code, int width) {
  const Lookup found = SeekCodeRecord(c10, kind, code, width);
  return found.IsFound() ? c10.LiveHere() : found;
}

Lookup SeekLiveAccount(Table& c20, const std::string& account) {
  const std::string key = AccountKey(account);
  if (!c20.isOpen) return Lookup::Refused(kResultNoSuchTable);
  const Lookup found = c20.Find("C20CODE", key.c_str()).And(OnRecord(c20) && SliceOf(c20.GetField(1), 1, 8) == key);
  return found.IsFound() ? c20.LiveHere() : found;
}

long CountCodes(Table& c10, char kind) {
  long n = 0;
  if (!c10.isOpen || !c10.Find(kC10Tag, std::string(1, kind).c_str()).IsFound()) return 0;
  while (OfKind(c10, kind)) {
    ++n;
    if (!c10.Skip(1)) break;
  }
  return n;
}

std::string CodeUnreadText(const std::string& code, const std::string& why) {
  return FillPlaceholders(LoadStr(kMsgCodeUnread), {Trimmed(code), why});
}

std::string CreationRefusal(const std::string& code, const RefusalWatch& watch, const Table& t) {
  const std::string why = watch.Reason(0, t.tablePath, t.result);
  return watch.ReadRefused() ? CodeUnreadText(code, why) : FillPlaceholders(LoadStr(kMsgCodeNotCreated), {Trimmed(code), why});
}

std::string ModelUnreadText(const std::string& code, const std::string& model, const std::string& why) {
  return FillPlaceholders(LoadStr(kMsgModelUnread), {Trimmed(code), Trimmed(model), why});
}

CreateResult CreateCodeRecord(Table& c10, char kind, const std::string& code, int width, const std::string& copyFrom) {
  CreateResult r;
  if (!c10.isOpen) return r;
  CreationLock lock(c10);
  if (!lock.held()) {
    r.outcome = CreateOutcome::LockRefused;
    return r;
  }
  // Looked up again under the lock: another station may have created it since the dialog's check. A
  // look-up the disk could not read is no code free: nothing is written.
  const RefusalWatch reading(RefusalWatch::EngineBoxes::kRefusalsHeld);
  const Lookup there = SeekCodeRecord(c10, kind, code, width);
  if (there.IsFound()) {
    r.outcome = CreateOutcome::Exists;
    r.existingName = RTrim(c10.GetField(kNameField));
    return r;
  }
  if (there.IsRefused() || reading.ReadRefused()) {
    r.refusal = CodeUnreadText(code, reading.Reason(0, c10.tablePath, there.result()));
    return r;
  }
  // A write or a read refused from here on is named in the refusal, never a bare failure.
  auto failed = [&] {
    r.refusal = CreationRefusal(code, reading, c10);
    return r;
  };
  // The copy-from code read before anything is written: one it could not read is no code to copy, and the
  // code is not made blank in its place.
  std::vector<FieldCopy> copy;
  if (!IsBlank(copyFrom)) {
    const Lookup source = ReadCopySource(c10, kind, copyFrom, width, copy);
    if (source.IsRefused() || reading.ReadRefused()) {
      r.refusal = ModelUnreadText(code, copyFrom, reading.Reason(0, c10.tablePath, source.result()));
      return r;
    }
    r.copied = source.IsFound();
  }
  if (!c10.AppendBlank()) return failed();
  bool ok = c10.PutField(kKindField, std::string(1, kind).c_str()) &&
            c10.PutField(kCodeField, PaddedCode(code, width).c_str());
  for (const FieldCopy& f : copy) {
    if (!ok) break;
    if (f.memo) {
      if (!f.text.empty()) ok = c10.PutMemoText(f.field, f.text);
    } else if (f.field == kNameField) {
      const std::string name =
          FillPlaceholders(LoadStr(kTextCopyOfWith), {RTrim(copyFrom.c_str()), RTrim(f.text.c_str())});
      ok = c10.PutField(f.field, name.c_str());
    } else {
      ok = c10.PutField(f.field, f.text.c_str());
    }
  }
  // A field that could not be filled leaves no record half made.
  if (!ok) {
    c10.DropAppend();
    return failed();
  }
  if (!c10.InsertRecord() || !c10.Commit()) return failed();
  r.outcome = CreateOutcome::Created;
  r.recno = c10.recordNumber;
  return r;
}

bool StepCode(const CodeSource& s, CodeStep step, const std::string& current, std::string& code, std::string& name) {
  if (s.table == nullptr || !s.table->isOpen) return false;
  Table& t = *s.table;
  const bool kinds = !s.kind.empty();
  const char kind = kinds ? s.kind[0] : '\0';
  auto ofKind = [&] { return OnRecord(t) && (!kinds || t.GetField(1)[0] == kind); };
  auto codeHere = [&] {
    std::string c = RTrim(t.GetField(s.codeField));
    if (static_cast<int>(c.size()) > s.width) c.resize(static_cast<std::size_t>(s.width));
    return std::string(RTrim(c.c_str()));
  };
  auto seekFirst = [&] { return kinds ? t.Find(s.tag, s.kind.substr(0, 1).c_str()).IsFound() : t.GoTop(s.tag); };
  auto backOverCancelled = [&] {
    while (ofKind() && t.LiveHere().IsNotFound()) t.Skip(-1);
  };
  const std::string typed = RTrim(current.c_str());
  switch (step) {
    case CodeStep::First:
      if (seekFirst()) t.SkipActive(false);
      break;
    case CodeStep::Last: {
      if (kinds) {
        std::uint32_t last = 0;
        if (seekFirst()) {
          for (t.SkipActive(false); ofKind(); t.SkipActive(true)) last = t.recordNumber;
        }
        if (last == 0) return false;
        if (!t.GoToRecord(static_cast<long>(last)).IsFound()) return false;
      } else {
        if (!t.GoBottom(s.tag)) return false;
        backOverCancelled();
      }
      break;
    }
    case CodeStep::Previous:
    case CodeStep::Next: {
      const std::string key = (kinds ? s.kind.substr(0, 1) : std::string()) + typed;
      if (key.empty()) t.GoTop(s.tag);
      else if (t.FindNotBelow(s.tag, key.c_str()).IsRefused()) return false;
      if (step == CodeStep::Next) {
        t.SkipActive(false);
        if (ofKind() && codeHere() == typed) t.SkipActive(true);
      } else {
        if (t.eof) t.GoBottom(s.tag);
        backOverCancelled();
        if (ofKind() && codeHere() == typed) {
          t.Skip(-1);
          backOverCancelled();
        }
      }
      break;
    }
  }
  if (!ofKind() || !LiveOrSaid(t).IsFound()) return false;
  code = codeHere();
  name = RTrim(t.GetField(s.nameField));
  return true;
}

}  // namespace masterdata
