#include "dossier/core/dossier_run_marker.h"

#include <cerrno>
#include <cstdio>
#include <map>
#include <string>

#include "data/dossier_files.h"
#include "data/error_report.h"
#include "platform/system/clock.h"
#include "platform/system/files.h"
#include "resources/string_table.h"
#include "runtime/inifiles.h"
#include "runtime/logfile.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace {

// Keys of the marker file, one "key=value" line each.
constexpr const char* kRunKey = "traitement";
constexpr const char* kTitleKey = "titre";
constexpr const char* kStationKey = "poste";
constexpr const char* kStartKey = "debut";
constexpr const char* kDetailKey = "detail";

// The day and hour a run started, as the marker keeps them (a format for snprintf).
constexpr int kFormatStartedAt = 22181;

// Markers this program holds now, by path: a run inside another leaves the outer one's.
std::map<std::string, int>& Held() {
  static std::map<std::string, int> held;
  return held;
}

struct Redo {
  DossierRunRedo run;
  bool putBack = false;
};

std::map<std::string, Redo>& Redos() {
  static std::map<std::string, Redo> redos;
  return redos;
}

std::map<std::string, DossierRunFinisher>& Finishers() {
  static std::map<std::string, DossierRunFinisher> finishers;
  return finishers;
}

std::map<std::string, DossierRunEnded>& Endings() {
  static std::map<std::string, DossierRunEnded> endings;
  return endings;
}

std::map<std::string, DossierRunWaiting>& Waitings() {
  static std::map<std::string, DossierRunWaiting> waitings;
  return waitings;
}

// One line of the file: no line break inside a value.
std::string Line(const char* key, std::string value) {
  for (char& c : value)
    if (c == '\n' || c == '\r') c = ' ';
  return std::string(key) + "=" + value + "\n";
}

std::string Now() {
  const platform::LocalTime t = platform::GetLocalTime();
  char text[40];
  std::snprintf(text, sizeof text, LoadStr(kFormatStartedAt), t.day, t.month, t.year, t.hour, t.minute);
  return text;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

}  // namespace

std::string DossierRunMarkerPath() {
  const std::string code = Lower(RTrim(DossierCode.c_str()));
  return platform::ResolveName(DossierFolder, "c" + code + ".run");
}

bool DossierRunMarkerExists() { return !DossierFolder.empty() && platform::FileExists(DossierRunMarkerPath()); }

bool ReadDossierRunMarker(DossierRunInfo* info) {
  if (!DossierRunMarkerExists()) return false;
  DossierRunInfo found{"?", "?", "?", "?", ""};
  std::string text;
  platform::ReadWholeFile(DossierRunMarkerPath(), text);
  std::size_t from = 0;
  while (from < text.size()) {
    std::size_t end = text.find('\n', from);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(from, end - from);
    from = end + 1;
    const std::size_t equal = line.find('=');
    if (equal == std::string::npos) continue;
    const std::string key = line.substr(0, equal), value = line.substr(equal + 1);
    if (key == kRunKey) found.run = value;
    else if (key == kTitleKey) found.title = value;
    else if (key == kStationKey) found.station = value;
    else if (key == kStartKey) found.started = value;
    else if (key == kDetailKey) found.detail = value;
  }
  if (info != nullptr) *info = found;
  return true;
}

namespace {

std::string MarkerText(const DossierRunInfo& info) {
  return Line(kRunKey, info.run) + Line(kTitleKey, info.title) + Line(kStationKey, info.station) +
         Line(kStartKey, info.started) + Line(kDetailKey, info.detail);
}

// The marker whose write or removal the system last refused, and the errno it left: its refusal
// says what the disk said (full, an error writing, read-only).
struct Refused {
  std::string path;
  int cause = 0;
};
Refused& LastRefused() {
  static Refused refused;
  return refused;
}

std::string& RedoRefusal() {
  static std::string why;
  return why;
}

std::string& PutBackStopped() {
  static std::string why;
  return why;
}

// The guard last refused because another run's marker stood at its path, and that run.
struct Standing {
  std::string path;
  DossierRunInfo run;
  bool live = false;
};
Standing& StandingRefusal() {
  static Standing standing;
  return standing;
}

// The guard last refused because its run read amounts that do not read, and its refusal.
struct UnreadRead {
  std::string path;
  std::string refusal;
};
UnreadRead& UnreadRefusal() {
  static UnreadRead unread;
  return unread;
}

int& TakeOvers() {
  static int depth = 0;
  return depth;
}

constexpr int kMsgAnotherRunStopped = 31150;  // another run's marker, left by a run stopped half-way
constexpr int kMsgAnotherRunAtWork = 31151;   // another run's marker, locked by its run at work
// The marker that cannot be written at a run's start (the run does not start), or removed at its
// end (the run is undone): its path, then what the full disk says when it is full.
constexpr int kMsgMarkerNotWritten = 19897;
constexpr int kMsgMarkerNotRemoved = 32212;

}  // namespace

bool WriteDossierRunMarker(const DossierRunInfo& info) {
  const std::string path = DossierRunMarkerPath();
  // The file is whole once renamed into place; the folder is flushed so that the name stays
  // on disk before the run changes anything.
  return platform::WriteFileAtomic(path, MarkerText(info)) && platform::SyncFolder(FolderOf(path));
}

bool RemoveDossierRunMarker() { return DossierFolder.empty() || platform::RemoveFile(DossierRunMarkerPath()); }

bool DossierRunMarkerLive() { return DossierRunMarkerExists() && platform::FileHeldElsewhere(DossierRunMarkerPath()); }

void NoteDossierRunRedoRefusal(const std::string& why) { RedoRefusal() = why; }

std::string TakeDossierRunRedoRefusal() {
  std::string why;
  why.swap(RedoRefusal());
  return why;
}

void NoteDossierRunPutBackStopped(const std::string& why) { PutBackStopped() = why; }

std::string TakeDossierRunPutBackStopped() {
  std::string why;
  why.swap(PutBackStopped());
  return why;
}

DossierRunMarker::DossierRunMarker(BooksReading&& reading, const std::string& run, const std::string& title,
                                   const std::string& detail, UnreadAmountsMet met)
    : path_(DossierRunMarkerPath()) {
  auto held = Held().find(path_);
  if (held != Held().end()) {
    ++held->second;
    written_ = true;
    permit_ = std::make_unique<BooksWritePermit>(run, BooksScope::OpenDossier());
    // Inside another run the outer one's watch goes on, unless this one works over such amounts.
    if (met == UnreadAmountsMet::kWorkedOver) watch_ = std::make_unique<RunUnreadAmountWatch>(nullptr);
    return;
  }
  // Another run's marker stays as it is: written over, that run would be taken for this one
  // (put back, finished or forgotten with it).
  if (StandingRefusal().path == path_) StandingRefusal() = Standing{};
  if (UnreadRefusal().path == path_) UnreadRefusal() = UnreadRead{};
  if (platform::FileExists(path_)) {
    Standing standing{path_, {}, platform::FileHeldElsewhere(path_)};
    if (standing.live || TakeOvers() == 0) {
      ReadDossierRunMarker(&standing.run);
      StandingRefusal() = standing;
      LastRefused() = Refused{};
      return;
    }
  }
  // What the run read decides here, once, before its first write: an amount that did not read is
  // never counted as zero nor guessed.
  if (const UnreadAmounts& read = reading.Met(); met == UnreadAmountsMet::kRefused && read.Any()) {
    UnreadRefusal() = UnreadRead{path_, UnreadAmountsRefusal(read)};
    LastRefused() = Refused{};
    return;
  }
  // Locked from before its name appears until the run ends: another station opening the
  // dossier meanwhile tells the run at work from one that stopped.
  held_ = std::make_unique<platform::HeldFile>();
  written_ = held_->Write(path_, MarkerText({run, title, AllTrim(WorkstationNumber()), Now(), detail})) &&
             platform::SyncFolder(FolderOf(path_));
  if (!written_) {
    // The cause stays for the caller's message.
    const int cause = errno;
    LastRefused() = Refused{path_, cause};
    held_.reset();
    platform::RemoveFile(path_);
    errno = cause;
    return;
  }
  owner_ = true;
  Held()[path_] = 1;
  permit_ = std::make_unique<BooksWritePermit>(run, BooksScope::OpenDossier());
  // From here on every amount the run reads is watched until its end (Remove decides).
  if (met == UnreadAmountsMet::kRefused) met_ = std::make_unique<UnreadAmounts>();
  watch_ = std::make_unique<RunUnreadAmountWatch>(met_.get());
}

DossierRunMarker::DossierRunMarker(Adopt) : path_(DossierRunMarkerPath()) {
  written_ = true;
  ++Held()[path_];
  DossierRunInfo stopped;
  permit_ = std::make_unique<BooksWritePermit>(ReadDossierRunMarker(&stopped) ? stopped.run : std::string("?"),
                                               BooksScope::OpenDossier());
}

DossierRunMarker::~DossierRunMarker() {
  watch_.reset();
  if (!written_) return;
  auto held = Held().find(path_);
  if (held == Held().end()) return;
  if (--held->second > 0) return;
  Held().erase(held);
  // The run's end judged here too, when it did not settle by Remove nor was refused already: one
  // that met an amount that does not read since its marker was written leaves its marker for the
  // next opening, which puts it back.
  if (owner_ && !undone_ && met_ != nullptr && met_->Any() && UnreadRefusal().path != path_) {
    UnreadRefusal() = UnreadRead{path_, UnreadAmountsRunUndone(*met_)};
    WriteLog(UnreadRefusal().refusal);
    owner_ = false;
  }
  // The marker goes before its lock: no reader finds it unlocked while the run is at work.
  if (owner_) platform::RemoveFile(path_);
  held_.reset();
}

bool DossierRunMarker::Remove() {
  if (!written_ || !owner_) return true;
  auto held = Held().find(path_);
  if (held == Held().end() || held->second > 1) return true;
  // The run's end decided here, once: one that met an amount that does not read since its marker
  // was written wrote nothing that stands; the marker stays until the run is put back.
  if (met_ != nullptr && met_->Any()) {
    UnreadRefusal() = UnreadRead{path_, UnreadAmountsRunUndone(*met_)};
    LastRefused() = Refused{};
    return false;
  }
  if (!platform::RemoveFile(path_)) {
    LastRefused() = Refused{path_, errno};
    return false;
  }
  Held().erase(held);
  owner_ = false;
  written_ = false;
  permit_.reset();
  return true;
}

DossierRunMarkerTakeOver::DossierRunMarkerTakeOver() { ++TakeOvers(); }
DossierRunMarkerTakeOver::~DossierRunMarkerTakeOver() { --TakeOvers(); }

bool DossierRunMarkerRefusedForRoom(const std::string& path) {
  return !path.empty() && path == LastRefused().path && (LastRefused().cause == ENOSPC || LastRefused().cause == EDQUOT);
}

namespace {

// What the disk said when the marker at `path` was last refused, on a line of its own ("" when
// it was not refused by the system).
std::string RefusalCause(const std::string& path) {
  const Refused& refused = LastRefused();
  if (path.empty() || path != refused.path || refused.cause == 0) return "";
  return "\n\n   " + FileRefusalText(path, refused.cause);
}

}  // namespace

bool DossierRunMarkerRefusedForAnotherRun(const std::string& path) {
  return !path.empty() && path == StandingRefusal().path;
}

bool DossierRunMarkerRefusedForUnreadAmounts(const std::string& path) {
  return !path.empty() && path == UnreadRefusal().path;
}

std::string DossierRunReadRefusal() {
  const UnreadAmounts* met = RunWatchedUnreadAmounts();
  if (met == nullptr || !met->Any()) return "";
  UnreadRefusal() = UnreadRead{DossierRunMarkerPath(), UnreadAmountsRefusal(*met)};
  return UnreadRefusal().refusal;
}

std::string DossierRunMarkerRefusal(const std::string& path) {
  if (DossierRunMarkerRefusedForUnreadAmounts(path)) return UnreadRefusal().refusal;
  if (DossierRunMarkerRefusedForAnotherRun(path)) {
    const Standing& other = StandingRefusal();
    const std::string text = LoadStr(other.live ? kMsgAnotherRunAtWork : kMsgAnotherRunStopped);
    return FillPlaceholders(text, {other.run.title, other.run.started, other.run.station});
  }
  return FillPlaceholders(LoadStr(kMsgMarkerNotWritten), {path, RefusalCause(path)});
}

std::string DossierRunMarkerRemovalRefusal(const std::string& path) {
  if (DossierRunMarkerRefusedForUnreadAmounts(path)) return UnreadRefusal().refusal;
  return FillPlaceholders(LoadStr(kMsgMarkerNotRemoved), {path, RefusalCause(path)});
}

void SetDossierRunRedo(const std::string& run, DossierRunRedo redo, bool putBack) {
  if (redo) Redos()[run] = Redo{std::move(redo), putBack};
  else Redos().erase(run);
}

const DossierRunRedo* FindDossierRunRedo(const std::string& run) {
  auto it = Redos().find(run);
  return it == Redos().end() ? nullptr : &it->second.run;
}

bool DossierRunRedoPutsBack(const std::string& run) {
  auto it = Redos().find(run);
  return it != Redos().end() && it->second.putBack;
}

void SetDossierRunFinisher(const std::string& run, DossierRunFinisher finish) {
  if (finish) Finishers()[run] = std::move(finish);
  else Finishers().erase(run);
}

const DossierRunFinisher* FindDossierRunFinisher(const std::string& run) {
  auto it = Finishers().find(run);
  return it == Finishers().end() ? nullptr : &it->second;
}

void SetDossierRunEnded(const std::string& run, DossierRunEnded ended) {
  if (ended) Endings()[run] = std::move(ended);
  else Endings().erase(run);
}

bool DossierRunEndedElsewhere(const DossierRunInfo& run) {
  auto it = Endings().find(run.run);
  return it != Endings().end() && it->second(run);
}

void SetDossierRunWaiting(const std::string& run, DossierRunWaiting waiting) {
  if (waiting) Waitings()[run] = std::move(waiting);
  else Waitings().erase(run);
}

std::string DossierRunWaitingText(const DossierRunInfo& run) {
  auto it = Waitings().find(run.run);
  return it == Waitings().end() ? std::string() : it->second(run);
}
