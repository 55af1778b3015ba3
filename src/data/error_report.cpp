#include "data/error_report.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <vector>
#include <cstring>
#include <string>

#include "data/table.h"
#include "data/table_internal.h"
#include "data/table_results.h"
#include "platform/dbase/fileio.h"
#include "platform/system/error_text.h"
#include "platform/system/files.h"
#include "resources/command_ids.h"
#include "resources/string_table.h"
#include "runtime/logfile.h"
#include "runtime/runtime_hooks.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

using tablelayer::Int5;
using tablelayer::Str;

namespace {

// The texts shown here, by their ids in the string table.
constexpr int kCaptionEngineError = 2520;
constexpr int kMsgEngineError = 32210;
constexpr int kLineField = 2516;
constexpr int kLineTableFile = 2517;
constexpr int kLineIndexFile = 2518;
constexpr int kLineTag = 2519;
constexpr int kLogEngineError = 22037;
constexpr int kMsgDiskFull = 22038;
// What the system did to a run's file: a write or a read it could not make (an I/O error), a
// change it refused (a disk read-only, a file this station may not change); the file.
constexpr int kMsgWriteError = 34100;
constexpr int kMsgReadError = 34101;
constexpr int kMsgChangeRefused = 34102;
// The same said after a file already named: an I/O error on a change of it.
constexpr int kMsgWriteErrorCause = 34001;
// A failure of which nothing more is known than its code: the code, the file.
constexpr int kMsgIncident = 23300;
// A write of the books the table layer refused outside a change of lines or a run: the file.
constexpr int kMsgBooksWriteRefused = 37709;
// An open refused for too many files open at once: the file.
constexpr int kMsgTooManyFiles = 34105;

DbCommandPoster g_poster = nullptr;
// The watches alive, innermost last.
std::vector<RefusalWatch*>& Watches() {
  static std::vector<RefusalWatch*> watches;
  return watches;
}
}  // namespace

RefusalWatch::RefusalWatch(EngineBoxes boxes) : boxes_(boxes) { Watches().push_back(this); }
RefusalWatch::~RefusalWatch() {
  auto& w = Watches();
  w.erase(std::remove(w.begin(), w.end(), this), w.end());
}
void RefusalWatch::NoteAll(const std::string& file, int result) {
  for (RefusalWatch* watch : Watches()) {
    if (watch->result_ != 0 || result == 0) continue;
    watch->file_ = file;
    watch->result_ = result;
  }
}
void RefusalWatch::NoteFileRefused(const std::string& file) {
  NoteAll(file, errno == 0 ? dbase::DBIERR_OSERROR : dbase::ErrnoToResult(errno, dbase::DBIERR_OSERROR));
}
void RefusalWatch::NoteAll(const Table& table) {
  NoteAll(table.tablePath, table.result != 0 ? table.result : dbase::DBIERR_OSERROR);
}
void RefusalWatch::NoteEngineRefusal(const std::string& file, int result) {
  for (RefusalWatch* watch : Watches()) {
    if (watch->refusedResult_ != 0 || result == 0) continue;
    watch->refusedFile_ = file;
    watch->refusedResult_ = result;
  }
}
void RefusalWatch::NoteEngineReadRefusal(const std::string& file, int result) {
  if (result == 0) return;
  for (RefusalWatch* watch : Watches()) {
    watch->readRefused_ = true;
    if (watch->refusedResult_ != 0) continue;
    watch->refusedFile_ = file;
    watch->refusedResult_ = result;
    watch->refusedReading_ = true;
  }
}
std::string RefusalWatch::Text() const { return RunIncidentText(result_, file_, result_); }
std::string RefusalWatch::Reason(int code, const std::string& file, int result) const {
  if (refusedReading_) return UnreadText(refusedFile_, refusedResult_);
  if (refusedResult_ != 0) return RunIncidentText(code, refusedFile_, refusedResult_);
  if (result_ != 0) return RunIncidentText(code, file_, result_);
  return RunIncidentText(code, file, result);
}
void RefusalWatch::NoteOpenRefused(const Table& table) {
  const int result = table.result != 0 ? table.result : dbase::DBIERR_OSERROR;
  // The engine keeps an open the system refused as a refused change of its file: that refusal was
  // this read, whatever its cause.
  const std::string real = platform::ResolvePath(table.tablePath);
  for (RefusalWatch* watch : Watches())
    if (!watch->refusedReading_ && watch->refusedResult_ == result &&
        (watch->refusedFile_ == table.tablePath || watch->refusedFile_ == real))
      watch->refusedReading_ = true;
  NoteEngineReadRefusal(table.tablePath, result);
}
bool RefusalWatch::EngineBoxesHeld(int result) {
  const bool refusal = result == dbase::DBIERR_DISKFULL || result == dbase::DBIERR_OSERROR ||
                       result == dbase::DBIERR_OSACCESS;
  for (const RefusalWatch* watch : Watches())
    if (watch->boxes_ == EngineBoxes::kHeld || (refusal && watch->boxes_ == EngineBoxes::kRefusalsHeld)) return true;
  return false;
}

void SetDbCommandPoster(DbCommandPoster poster) { g_poster = poster; }

std::string DbErrorCaption(int code) { return Str(kCaptionEngineError) + Int5(code); }

std::string DbErrorMessage(Table& table, int context, const char* text, int field) {
  char engineText[4001] = {};
  dbase::DbiGetErrorString(table.result, engineText);
  const std::string said = table.result == kResultBooksWriteRefused
                               ? FillPlaceholder(LoadStr(kMsgBooksWriteRefused), table.tablePath)
                               : std::string(engineText);
  std::string m = FillPlaceholders(Str(kMsgEngineError),
                                   {Int5(table.result), said, Int5(context), text != nullptr ? text : ""});
  if (field != 0) {
    // The name straight from the descriptors: a bad number must not open a second box here.
    const char* name = field > 0 && field <= table.FieldCount()
                           ? table.Engine().logicalFields[static_cast<std::size_t>(field - 1)].szName
                           : "";
    m += FillPlaceholder(LoadStr(kLineField), name);
  }
  if (!IsBlank(table.tablePath)) m += FillPlaceholder(LoadStr(kLineTableFile), table.tablePath);
  if (!IsBlank(table.indexPath)) m += FillPlaceholder(LoadStr(kLineIndexFile), table.indexPath);
  if (!IsBlank(table.tag)) m += FillPlaceholder(LoadStr(kLineTag), table.tag);
  m += "\n";
  return m;
}

void ReportDbError(Table& table, int context, const char* text, int field) {
  const int code = table.result;
  RefusalWatch::NoteAll(table.tablePath, code);
  const std::string message = DbErrorMessage(table, context, text, field);
  const std::string caption = DbErrorCaption(code);
  // A run that says its failure in its own box: the engine's is left out, its line logged.
  if (!RefusalWatch::EngineBoxesHeld(code)) {
    RuntimeBeep();
    RuntimeMessage(caption.c_str(), message.c_str(), kMbOk | kMbIconStop);
  }
  std::string line = message;
  for (char& c : line)
    if (c == '\n') c = ' ';
  WriteLog(FillPlaceholders(LoadStr(kLogEngineError), {caption, line}));
  // Too many open files: the user is sent to the engine's settings.
  // Too many open files: the main window is asked to open the engine's settings.
  if (code == dbase::DBIERR_TOOMANYFILES && g_poster != nullptr) g_poster(SessionInt(1), command_id::ConfigurerBde);
  table.result = static_cast<std::uint16_t>(code);
}

void ReportRefusedLookup(Table& table, const Lookup& found, const char* tag, const char* text) {
  // The order stands on `tag` when the look-up itself refused: otherwise setting it did, and said so.
  if (!found.IsRefused() || !table.isOpen || table.tag != TrimmedRight(tag)) return;
  // Kept by a run's watch as any refusal; said in the user's words, never in the engine's box.
  constexpr int kCaptionAttention = 52;
  const int code = table.result != 0 ? table.result : found.result();
  RefusalWatch::NoteAll(table.tablePath, code);
  const std::string message = UnreadText(table.tablePath, code);
  if (!RefusalWatch::EngineBoxesHeld(code)) {
    RuntimeBeep();
    RuntimeMessage(LoadStr(kCaptionAttention), message.c_str(), kMbOk | kMbIconStop);
  }
  WriteLog(FillPlaceholders(LoadStr(kLogEngineError), {DbErrorCaption(code), message + " (" + (text != nullptr ? text : "") + ")"}));
}

Lookup LiveOrSaid(Table& table) {
  const Lookup live = table.LiveHere();
  // The log names the record whose mark was not read by its number.
  if (live.IsRefused())
    ReportRefusedLookup(table, live, table.tag.c_str(), std::to_string(table.recordNumber).c_str());
  return live;
}

Lookup LiveOrNoted(Table& table) {
  const Lookup live = table.LiveHere();
  if (live.IsRefused()) RefusalWatch::NoteEngineReadRefusal(table.tablePath, live.result());
  return live;
}

void ShowLayerError(int number, const char* text, bool padded) {
  const std::string caption = padded ? Int5(number) : std::to_string(number);
  RuntimeBeep();
  RuntimeMessage(caption.c_str(), text != nullptr ? text : "", kMbOk);
}

std::string RunIncidentText(int code, const std::string& file, int result) {
  switch (result) {
    case dbase::DBIERR_DISKFULL:
      return DiskFullText(file);
    case dbase::DBIERR_OSERROR:
      return FillPlaceholder(LoadStr(kMsgWriteError), file);
    case dbase::DBIERR_OSACCESS:
      return FillPlaceholder(LoadStr(kMsgChangeRefused), file);
    case kResultBooksWriteRefused:
      return FillPlaceholder(LoadStr(kMsgBooksWriteRefused), file);
    case dbase::DBIERR_TOOMANYFILES:  // a file a write needs (an index's journal) could not be opened
      return FillPlaceholder(LoadStr(kMsgTooManyFiles), file);
    default:
      return FillPlaceholders(LoadStr(kMsgIncident), {std::to_string(code), file});
  }
}

std::string ReadErrorText(const std::string& file) { return FillPlaceholder(LoadStr(kMsgReadError), file); }

std::string UnreadText(const std::string& file, int result) {
  if (result == dbase::DBIERR_TOOMANYFILES) return FillPlaceholder(LoadStr(kMsgTooManyFiles), file);
  return ReadErrorText(file);
}

std::string SystemUnreadText(const std::string& file, int err) {
  return UnreadText(file, err == EMFILE || err == ENFILE ? dbase::DBIERR_TOOMANYFILES : dbase::DBIERR_OSERROR);
}

std::string SystemRefusalText(const std::string& file, int err) {
  int result = dbase::ErrnoToResult(err, dbase::DBIERR_OSERROR);
  if (result != dbase::DBIERR_DISKFULL && result != dbase::DBIERR_OSACCESS) result = dbase::DBIERR_OSERROR;
  return RunIncidentText(result, file, result);
}

std::string DiskFullText(const std::string& file) {
  const std::size_t slash = file.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string("./") : file.substr(0, slash + 1);
  return FillPlaceholders(LoadStr(kMsgDiskFull), {folder, file.substr(slash == std::string::npos ? 0 : slash + 1)});
}

std::string FileRefusalText(const std::string& file, int err) {
  if (err == ENOSPC || err == EDQUOT) return DiskFullText(file);
  return err == EIO ? std::string(LoadStr(kMsgWriteErrorCause)) : platform::ErrorText(err);
}
