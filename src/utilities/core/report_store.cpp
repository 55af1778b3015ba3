#include "utilities/core/report_store.h"

#include "data/error_report.h"
#include "data/table.h"
#include "data/table_results.h"
#include "platform/system/files.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "reports/engine/core/report_texts.h"
#include "resources/string_table.h"

namespace settings {

namespace {

constexpr const char* kReferenceName = "CESETATS";
constexpr int kLastPlainField = 10;
constexpr std::size_t kNameWidth = 50;

// The texts of the report store, by their ids in the string table; each "%s" is filled in order.
constexpr int kMsgFileNotFound = 22393;              // the file
constexpr int kMsgFileUnreadable = 22394;            // the file
constexpr int kMsgReportNotInReference = 22395;      // the report, then the reference set's file
constexpr int kMsgUnknownReport = 22397;             // the report
constexpr int kNameCopyOf = 22398;                   // the report copied, then its name
constexpr int kMsgTemplateUnreadable = 22399;
constexpr int kMsgExportNotWritten = 22400;          // the file
constexpr int kMsgListUnreadable = 22401;            // the list's file
constexpr int kMsgReferenceSetNotOpened = 22402;     // the reference set's file
constexpr int kMsgListedReportsMissing = 22403;      // the missing reports, one a line
constexpr int kMsgSetNotOpenedListKept = 22405;      // the set's file
constexpr int kMsgReportNotWrittenListKept = 33000;  // the report, then the set's file
constexpr int kMsgCodeUnread = 38155;                // the code not created, a read refused: the code, why
constexpr int kMsgListNotRenamed = 22408;            // the list's file

bool IsLive(Table& t) { return t.isOpen && !t.eof && t.recordNumber != 0; }

// The record of a code, exactly.
Lookup SeekReport(Table& t, const std::string& code) {
  const std::string key = PadRight(Trimmed(code), kReportCodeWidth);
  if (!t.isOpen) return Lookup::Refused(kResultNoSuchTable);
  return t.Find(kReportTag, key.c_str()).And(IsLive(t) && std::string(t.GetField(kReportCodeField)) == key);
}

// A look-up of a report the system could not read: the report `code` is not made, and why.
std::string UnreadText(const std::string& code, const RefusalWatch& reading, const Table& t, const Lookup& found) {
  return FillPlaceholders(LoadStr(kMsgCodeUnread), {Trimmed(code), reading.Reason(0, t.tablePath, found.result())});
}

// What a new report is made of.
struct Content {
  std::vector<std::string> fields;  // fields 2-10
  std::string text;                 // the template
};

bool ReadContent(Table& t, Content& c) {
  c.fields.clear();
  for (int f = kReportNameField; f <= kLastPlainField && f <= t.FieldCount(); ++f) c.fields.push_back(t.GetField(f));
  return t.GetMemoText(kReportTemplateField, c.text);
}

ReportMade Missing(const std::string& message) {
  ReportMade m;
  m.outcome = ReportOutcome::SourceMissing;
  m.message = message;
  return m;
}

std::string FileNameOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\:");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Appends a report with `code` and `content` to a table open shared (the caller holds what it must).
bool AppendReport(Table& t, const std::string& code, const Content& c) {
  if (!t.AppendBlank()) return false;
  bool ok = t.PutField(kReportCodeField, PadRight(Trimmed(code), kReportCodeWidth).c_str());
  for (std::size_t i = 0; ok && i < c.fields.size(); ++i)
    ok = t.PutField(kReportNameField + static_cast<int>(i), c.fields[i].c_str());
  if (ok && !c.text.empty()) ok = t.PutMemoText(kReportTemplateField, c.text);
  const bool inserted = t.InsertRecord();
  return ok && inserted && t.Commit();
}

}  // namespace

ReportSource SourceOf(const std::string& from) {
  const std::string t = Trimmed(from);
  if (t.empty()) return ReportSource::None;
  if (t.find_first_of(":\\/") != std::string::npos) return ReportSource::File;
  if (std::string(Upper(t.substr(0, 8).c_str())) == kReferenceName) return ReportSource::Reference;
  return ReportSource::Report;
}

std::string ReferenceSectionCode(const std::string& from, const std::string& code) {
  std::string rest = Trimmed(from).substr(std::string(kReferenceName).size());
  const std::size_t start = rest.find_first_not_of(" ,;");
  rest = start == std::string::npos ? std::string() : rest.substr(start);
  return Trimmed(rest).empty() ? Trimmed(code) : Trimmed(rest);
}

ReportMade CreateReport(Table& set, const std::string& code, const std::string& from, const std::string& programFolder) {
  ReportMade made;
  if (!set.isOpen) return made;
  // A look-up the system could not read is said, never taken for a report missing or free.
  const RefusalWatch reading(RefusalWatch::EngineBoxes::kRefusalsHeld);
  auto unread = [&](const Lookup& found) {
    made.outcome = ReportOutcome::Unreadable;
    made.message = UnreadText(code, reading, set, found);
    return made;
  };
  // The source is read first: nothing is locked while a file is read.
  Content content;
  content.fields.assign(kLastPlainField - kReportNameField + 1, std::string());
  const std::string source = Trimmed(from);
  switch (SourceOf(from)) {
    case ReportSource::None:
      break;
    case ReportSource::File: {
      std::string bytes, error;
      const std::string path = platform::ResolvePath(source);
      if (!platform::FileExists(path)) return Missing(FillPlaceholder(LoadStr(kMsgFileNotFound), source));
      if (!platform::ReadWholeFile(path, bytes)) {
        made.outcome = ReportOutcome::Unreadable;
        made.message = FillPlaceholder(LoadStr(kMsgFileUnreadable), source);
        return made;
      }
      if (!DecodeReportText(bytes, content.text, error)) {
        made.outcome = ReportOutcome::Unreadable;
        made.message = error;
        return made;
      }
      content.fields[0] = FileNameOf(source).substr(0, kNameWidth);
      break;
    }
    case ReportSource::Reference: {
      const std::string path = platform::ResolveName(programFolder, std::string(kReferenceName) + ".txt");
      std::string bytes, text, error;
      if (!platform::FileExists(path) || !platform::ReadWholeFile(path, bytes))
        return Missing(FillPlaceholder(LoadStr(kMsgFileNotFound), programFolder + kReferenceName + ".txt"));
      if (!DecodeReportText(bytes, text, error)) {
        made.outcome = ReportOutcome::Unreadable;
        made.message = error;
        return made;
      }
      const std::string wanted = ReferenceSectionCode(from, code);
      const std::vector<ReportSection> sections = ParseReportSetText(text);
      const ReportSection* s = FindReportSection(sections, wanted);
      if (s == nullptr)
        return Missing(
            FillPlaceholders(LoadStr(kMsgReportNotInReference), {wanted, std::string(kReferenceName) + ".txt"}));
      content.text = s->text;
      content.fields[0] = s->name.substr(0, kNameWidth);
      break;
    }
    case ReportSource::Report: {
      Lookup found = SeekReport(set, source);
      if (found.IsFound()) found = set.LiveHere();
      if (found.IsRefused()) return unread(found);
      if (found.IsNotFound())
        return Missing(FillPlaceholder(LoadStr(kMsgUnknownReport), source));
      if (!ReadContent(set, content)) return reading.ReadRefused() ? unread(Lookup::Refused(set.result)) : made;
      const std::string name = FillPlaceholders(LoadStr(kNameCopyOf), {Trimmed(source), Trimmed(content.fields[0])});
      content.fields[0] = name.substr(0, kNameWidth);
      break;
    }
  }
  CreationLock lock(set);
  if (!lock.held()) {
    made.outcome = ReportOutcome::LockRefused;
    return made;
  }
  // Looked up again under the lock: another station may have created it since the dialog's check.
  const Lookup there = SeekReport(set, code);
  if (there.IsFound()) {
    made.outcome = ReportOutcome::Exists;
    made.existingName = RTrim(set.GetField(kReportNameField));
    return made;
  }
  if (there.IsRefused() || reading.ReadRefused()) return unread(there);
  if (!AppendReport(set, code, content)) return reading.ReadRefused() ? unread(Lookup::Refused(set.result)) : made;
  made.outcome = ReportOutcome::Created;
  made.recno = set.recordNumber;
  return made;
}

bool ReportTemplate(Table& set, std::string& text) {
  text.clear();
  return IsLive(set) && set.GetMemoText(kReportTemplateField, text);
}

bool ExportReport(Table& set, const std::string& path, std::string& message) {
  std::string text;
  if (!ReportTemplate(set, text)) {
    message = LoadStr(kMsgTemplateUnreadable);
    return false;
  }
  if (!platform::WriteFileAtomic(path, text)) {
    message = FillPlaceholder(LoadStr(kMsgExportNotWritten), path);
    return false;
  }
  return true;
}

StoredList StoreListedReports(const std::string& listPath, const std::string& referencePath,
                              const std::vector<std::string>& setPaths, const std::string& oldPath) {
  StoredList r;
  std::string bytes, list, error;
  if (!platform::ReadWholeFile(listPath, bytes) || !DecodeReportText(bytes, list, error)) {
    r.message = FillPlaceholder(LoadStr(kMsgListUnreadable), listPath);
    return r;
  }
  const std::vector<std::string> codes = ParseReportList(list);
  // Every listed report read from the reference set before anything is written.
  std::vector<Content> contents;
  {
    Table reference;
    if (!reference.OpenShared(referencePath, kReportTag, true)) {
      r.message = FillPlaceholder(LoadStr(kMsgReferenceSetNotOpened), referencePath);
      return r;
    }
    std::string missing;
    const RefusalWatch reading(RefusalWatch::EngineBoxes::kRefusalsHeld);
    for (const std::string& code : codes) {
      Content c;
      Lookup found = SeekReport(reference, code);
      if (found.IsFound()) found = reference.LiveHere();
      if (found.IsRefused()) {
        r.message = UnreadText(code, reading, reference, found);
        return r;
      }
      if (found.IsNotFound() || !ReadContent(reference, c)) {
        missing += "   " + code + "\n";
        continue;
      }
      contents.push_back(std::move(c));
    }
    reference.CloseTable();
    if (!missing.empty()) {
      r.message = FillPlaceholder(LoadStr(kMsgListedReportsMissing), missing);
      return r;
    }
  }
  for (const std::string& setPath : setPaths) {
    Table set;
    if (!set.OpenShared(setPath, kReportTag)) {
      r.message = FillPlaceholder(LoadStr(kMsgSetNotOpenedListKept), setPath);
      return r;
    }
    for (std::size_t i = 0; i < codes.size(); ++i) {
      const Content& c = contents[i];
      bool ok;
      // A look-up not read writes nothing: neither over a report it did not see nor a second one.
      const Lookup there = SeekReport(set, codes[i]);
      if (there.IsRefused()) {
        ok = false;
      } else if (there.IsFound()) {
        // Replaced in place, under the record's lock.
        ok = LockRecord(set, nullptr, 0);
        if (ok) {
          for (std::size_t k = 0; ok && k < c.fields.size(); ++k)
            ok = set.PutField(kReportNameField + static_cast<int>(k), c.fields[k].c_str());
          if (ok) ok = set.PutMemoText(kReportTemplateField, c.text);
          // A report whose mark is not read is not taken for cancelled, nor for live: nothing is written.
          const Lookup live = ok ? set.LiveHere() : Lookup::NotFound();
          if (live.IsRefused()) ok = false;
          if (ok && live.IsNotFound()) ok = set.RecallRecord(nullptr, 0);
          UnlockRecord(set);
          ok = set.Commit() && ok;
        }
      } else {
        CreationLock lock(set);
        ok = lock.held() && AppendReport(set, codes[i], c);
      }
      if (!ok) {
        r.message = FillPlaceholders(LoadStr(kMsgReportNotWrittenListKept), {codes[i], setPath});
        return r;
      }
      ++r.stored;
    }
    set.CloseTable();
  }
  if (!platform::AtomicRename(listPath, oldPath)) {
    r.message = FillPlaceholder(LoadStr(kMsgListNotRenamed), listPath);
    return r;
  }
  r.ok = true;
  return r;
}

}  // namespace settings
