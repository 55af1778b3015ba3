#include "data/line_change_steps.h"

#include "data/table_results.h"
#include "resources/string_table.h"
#include "runtime/logfile.h"
#include "runtime/text.h"

namespace {

// A change that could not take back all it wrote, and its log line (what it changed in it); a change
// that met a read the system refused (the change as the user knows it, and the reason).
constexpr int kMsgChangeNotPutBack = 34307;
constexpr int kLogChangeNotPutBack = 34308;
constexpr int kMsgChangeReadRefused = 36001;
// A change taken back whose note stays for the next opening (the change as the user knows it, and the
// reason).
constexpr int kMsgChangeNoteStays = 36004;

// The change of lines living in this process, outermost first: a change begun meanwhile joins it.
LineChangeSteps*& Living() {
  static LineChangeSteps* living = nullptr;
  return living;
}

}  // namespace

LineChangeSteps::LineChangeSteps(LineChangeKind kind)
    : kind_(kind), watch_(RefusalWatch::EngineBoxes::kHeld), note_(kind), outer_(Living()) {
  if (outer_ == nullptr) Living() = this;
}

LineChangeSteps::~LineChangeSteps() {
  if (outer_ != nullptr) return;
  if (!done_ && !takenBack_) TakeBack(LineChangeKindText(kind_));
  Living() = nullptr;
}

TotalsMoves& LineChangeSteps::Moves() { return Root().moves_; }
const TotalsMoves& LineChangeSteps::Moves() const { return Root().moves_; }
LineChangeNote& LineChangeSteps::Note() { return Root().note_; }

bool LineChangeSteps::Begin() {
  LineChangeSteps& root = Root();
  root.note_.Totals(root.moves_);
  return ReadWhole() && root.note_.Write();
}

bool LineChangeSteps::ReadWhole() const { return !Root().watch_.ReadRefused(); }

void LineChangeSteps::Made(std::function<bool()> back) { Root().back_.push_back(std::move(back)); }

bool LineChangeSteps::Done() {
  if (!ReadWhole()) return false;
  if (outer_ != nullptr) return true;
  note_.Done();
  done_ = true;
  return true;
}

bool LineChangeSteps::TakeBack(const std::string& what) {
  if (outer_ != nullptr) return true;
  bool all = true;
  for (auto it = back_.rbegin(); it != back_.rend(); ++it) all = (*it)() && all;
  back_.clear();
  all = moves_.TakeBack() && all;
  takenBack_ = true;
  putBack_ = all;
  if (!all) WriteLog(FillPlaceholder(LoadStr(kLogChangeNotPutBack), what));
  // What could not be taken back, or was moved after a refused read (a total from a short read),
  // the next opening makes whole from the lines; the rest stands as before the change.
  if (all && ReadWhole()) {
    noteStays_ = !note_.Done();
  } else {
    noteStays_ = all && note_.written();
    note_.Leave();
  }
  return all;
}

std::string LineChangeSteps::Reason(const std::string& file) const {
  return Root().watch_.Reason(kResultSystemError, file, kResultSystemError);
}

std::string LineChangeSteps::RefusalText(int refusedText, const std::string& file) const {
  const LineChangeSteps& root = Root();
  if (!root.putBack_) return FillPlaceholder(LoadStr(kMsgChangeNotPutBack), Reason(file));
  if (root.noteStays_)
    return FillPlaceholders(LoadStr(kMsgChangeNoteStays), {LineChangeKindText(root.kind_), Reason(file)});
  if (root.watch_.RefusedReading())
    return FillPlaceholders(LoadStr(kMsgChangeReadRefused), {LineChangeKindText(root.kind_), Reason(file)});
  return FillPlaceholder(LoadStr(refusedText), Reason(file));
}
