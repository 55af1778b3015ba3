#include "dossier/core/dossier_run_marker_copies.h"

#include <utility>
#include <cerrno>
#include <cstdio>

#include "data/dossier_files.h"
#include "data/error_report.h"
#include "platform/system/clock.h"
#include "resources/string_table.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace {

// The texts shown here, by their ids in the string table.
constexpr int kMsgCopiesRefused = 22182;
constexpr int kMsgUnknownCopies = 22183;
constexpr int kNotStarted = 19898;  // "Le traitement n'est pas lancé: rien n'a été modifié."
constexpr int kMsgNotRemoved = 34002;  // the file, what the disk said

}  // namespace

DossierRunCopies::DossierRunCopies(BooksReading&& reading, const std::string& run, const std::string& title,
                                   const std::string& prefix, const std::vector<TableKind>& kinds,
                                   const std::string& partner)
    : folder_(DossierFolder) {
  const std::string code = AllTrim(DossierCode.c_str());
  const platform::LocalTime t = platform::GetLocalTime();
  char stamp[24];
  std::snprintf(stamp, sizeof stamp, "-%04d%02d%02d-%02d%02d%02d/", t.year, t.month, t.day, t.hour, t.minute, t.second);
  std::vector<std::string> bases;
  for (TableKind kind : kinds) bases.push_back(TableBaseName(kind, code));
  if (!MakeAsideCopies(folder_, prefix + std::string(Lower(code.c_str())) + stamp, bases, &copies_, &error_)) {
    if (error_.empty()) error_ = FillPlaceholder(LoadStr(kMsgCopiesRefused), folder_);
    // Said as the marker's refusal says it: the run does not start, nothing was changed.
    error_ += LoadStr(kNotStarted);
    settled_ = true;
    return;
  }
  marker_ = std::make_unique<DossierRunMarker>(std::move(reading), run, title, copies_.Detail() + partner);
  if (!marker_->written()) {
    error_ = DossierRunMarkerRefusal(marker_->path());
    marker_.reset();
    RemoveAsideCopies(folder_, copies_);
    settled_ = true;
  }
}

DossierRunCopies::~DossierRunCopies() {
  if (!settled_) PutBack();
}

bool DossierRunCopies::PutBack() {
  if (settled_) return true;
  settled_ = true;
  std::string why;
  const bool back = PutBackAsideCopies(folder_, copies_, &why);
  // Copies that could not all be put back stay named by the marker for the next opening.
  if (!back) marker_->Keep();
  marker_.reset();
  return back;
}

bool DossierRunCopies::Finish() {
  if (settled_) return true;
  if (!marker_->Remove()) return false;
  settled_ = true;
  marker_.reset();
  RemoveAsideCopies(folder_, copies_);
  return true;
}

void DossierRunCopies::Keep() {
  if (settled_) return;
  settled_ = true;
  marker_->Keep();
  marker_.reset();
}

bool PutBackDossierRunCopies(const DossierRunInfo& run) { return PutBackRunCopies(run.detail); }

bool PutBackRunCopies(const std::string& detail) {
  const std::string part = detail.substr(0, detail.find('\t'));
  AsideCopies copies;
  std::string why = FillPlaceholder(LoadStr(kMsgUnknownCopies), part);
  // Copies missing or not whole: nothing is changed, and the opening says why.
  if (!AsideCopies::FromDetail(part, &copies) || !AsideCopiesComplete(DossierFolder, copies, &why)) {
    NoteDossierRunRedoRefusal(why);
    return false;
  }
  if (PutBackAsideCopies(DossierFolder, copies, &why)) return true;
  NoteDossierRunPutBackStopped(why);
  return false;
}

bool RemovePutBackRunMarker() {
  if (RemoveDossierRunMarker()) return true;
  const int cause = errno;
  const std::string marker = DossierRunMarkerPath();
  NoteDossierRunPutBackStopped(FillPlaceholders(LoadStr(kMsgNotRemoved), {marker, FileRefusalText(marker, cause)}));
  return false;
}

bool DossierRunCopiesPutBack(const DossierRunInfo& run) {
  // The restore keeps what it replaced in its own folder, under another kind of detail.
  const bool fromCopies = run.run == kValidationRun || (DossierRunRedoPutsBack(run.run) && run.run != kRestoreRun);
  AsideCopies copies;
  return fromCopies && AsideCopies::FromDetail(run.detail.substr(0, run.detail.find('\t')), &copies) &&
         AsideCopiesPutBackDone(DossierFolder, copies);
}
