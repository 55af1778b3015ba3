#include "platform/gui/modal_seam.h"

#include <deque>
#include <vector>

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QWidget>

#include "platform/gui/constants.h"
#include "platform/gui/keyboard.h"
#include "platform/gui/window.h"

namespace gui {
namespace {

struct SeamState {
  bool testMode = false;
  std::deque<ModalAnswer> queue;
  std::vector<ShownModal> shown;
  int depth = 0;
  std::function<void(QWidget*)> seeBuiltBox;  // set: message boxes are built in test mode
};

SeamState& S() {
  static SeamState s;
  return s;
}

void Queue(ModalAnswer a) { S().queue.push_back(std::move(a)); }

// Takes the queued answer for `shown` (recording a mismatch when the next
// one is for another kind of modal, which stays queued).
bool Take(ShownModal& shown, ModalAnswer& out) {
  auto& q = S().queue;
  if (q.empty()) return false;
  bool fileKinds = (shown.kind == ModalKind::FileOpen || shown.kind == ModalKind::FileSave) &&
                   (q.front().kind == ModalKind::FileOpen || q.front().kind == ModalKind::FileSave);
  if (q.front().kind != shown.kind && !fileKinds) {
    shown.kindMismatch = true;
    return false;
  }
  out = std::move(q.front());
  q.pop_front();
  return true;
}

ModalAnswer Answer(ModalKind kind, int answer) {
  ModalAnswer a;
  a.kind = kind;
  a.answer = answer;
  return a;
}

struct DepthGuard {
  DepthGuard() { ++S().depth; }
  ~DepthGuard() { --S().depth; }
};

// After a modal closed, the release of a key pressed in it (Enter or Escape that closed a message box) is not
// given to the window behind: the controls act on a key's release, and that key was not meant for them.
class StrayReleases : public QObject {
 public:
  static StrayReleases& Get() {
    static StrayReleases* filter = [] {
      auto* f = new StrayReleases;
      QApplication::instance()->installEventFilter(f);
      return f;
    }();
    return *filter;
  }
  void Arm() {
    armed_ = true;
    pressed_.clear();
  }
  bool eventFilter(QObject*, QEvent* e) override {
    if (!armed_ || (e->type() != QEvent::KeyPress && e->type() != QEvent::KeyRelease)) return false;
    auto* k = static_cast<QKeyEvent*>(e);
    if (k->isAutoRepeat()) return false;
    if (e->type() == QEvent::KeyPress) {
      pressed_.push_back(k->key());
      return false;
    }
    for (std::size_t i = 0; i < pressed_.size(); ++i)
      if (pressed_[i] == k->key()) {
        pressed_.erase(pressed_.begin() + static_cast<std::ptrdiff_t>(i));
        if (pressed_.empty()) armed_ = false;
        return false;
      }
    armed_ = !pressed_.empty();
    NoteKeyRelease(VirtualKeyFromQtKey(k->key(), k->modifiers().testFlag(Qt::KeypadModifier)));
    return true;
  }

 private:
  bool armed_ = false;
  std::vector<int> pressed_;
};

// A modal run gives the keys back to the window that was active before it (else to its owner's window) when it
// ends: with no window manager to do it, the keyboard focus would stay with the closed modal's window.
class KeysBack {
 public:
  explicit KeysBack(QWidget* owner = nullptr)
      : before_(QApplication::activeWindow() != nullptr ? QApplication::activeWindow()
                : owner != nullptr                       ? owner->window()
                                                         : nullptr) {}
  ~KeysBack() {
    StrayReleases::Get().Arm();
    if (before_ != nullptr && before_->isVisible() && QApplication::activeWindow() != before_)
      before_->activateWindow();
  }

 private:
  QPointer<QWidget> before_;
};

}  // namespace

void ModalSeam::SetTestMode(bool on) { S().testMode = on; }
bool ModalSeam::TestMode() { return S().testMode; }

void ModalSeam::QueueMessageBoxAnswer(int answer) { Queue(Answer(ModalKind::MessageBox, answer)); }
void ModalSeam::QueueDialogAnswer(int answer, std::function<void(Window&)> fill) {
  ModalAnswer a = Answer(ModalKind::Dialog, answer);
  a.fill = std::move(fill);
  Queue(std::move(a));
}
void ModalSeam::QueueFileAnswer(const std::string& path) {
  ModalAnswer a = Answer(ModalKind::FileOpen, path.empty() ? IDCANCEL : IDOK);
  a.path = path;
  Queue(std::move(a));
}
void ModalSeam::QueueFolderAnswer(const std::string& path) {
  ModalAnswer a = Answer(ModalKind::Folder, path.empty() ? IDCANCEL : IDOK);
  a.path = path;
  Queue(std::move(a));
}
void ModalSeam::QueueDiskFileAnswer(const std::string& utf8) {
  ModalAnswer a = Answer(ModalKind::FileOpen, IDOK);
  a.diskPath = utf8;
  Queue(std::move(a));
}
void ModalSeam::QueueDiskFolderAnswer(const std::string& utf8) {
  ModalAnswer a = Answer(ModalKind::Folder, IDOK);
  a.diskPath = utf8;
  Queue(std::move(a));
}
void ModalSeam::QueuePrintSetupAnswer(int answer, const std::string& pdfPath) {
  ModalAnswer a = Answer(ModalKind::PrintSetup, answer);
  a.path = pdfPath;
  Queue(std::move(a));
}
void ModalSeam::QueueFontAnswer(const std::string& face, int points, int weight) {
  ModalAnswer a = Answer(ModalKind::Font, face.empty() ? IDCANCEL : IDOK);
  a.font = ModalFont{face, points, weight};
  Queue(std::move(a));
}

void ModalSeam::QueuePopupMenuAnswer(unsigned id) {
  Queue(Answer(ModalKind::PopupMenu, static_cast<int>(id)));
}

std::size_t ModalSeam::PendingAnswers() { return S().queue.size(); }
const std::vector<ShownModal>& ModalSeam::Shown() { return S().shown; }
const ShownModal* ModalSeam::LastShown() { return S().shown.empty() ? nullptr : &S().shown.back(); }

void ModalSeam::BuildMessageBoxes(std::function<void(QWidget*)> seen) { S().seeBuiltBox = std::move(seen); }

void ModalSeam::SeeBuilt(QWidget* box) {
  if (S().seeBuiltBox) S().seeBuiltBox(box);
}

void ModalSeam::Reset() {
  S().queue.clear();
  S().shown.clear();
  S().seeBuiltBox = nullptr;
}

bool ModalSeam::InModal() { return S().depth > 0; }

int ModalSeam::Run(ShownModal shown, int fallback, const std::function<int(ShownModal&)>& run) {
  DepthGuard guard;
  if (S().testMode) {
    ModalAnswer a;
    if (Take(shown, a)) {
      shown.queued = true;
      shown.answer = a.answer;
      shown.path = a.path;
      shown.diskPath = a.diskPath;
      shown.chosenFont = a.font;
    } else {
      shown.answer = fallback;
    }
    // A built box gets the answer (in shown.answer) from its own loop, or
    // ends otherwise (its owner went away).
    if (shown.kind == ModalKind::MessageBox && S().seeBuiltBox) shown.answer = run(shown);
    S().shown.push_back(shown);
    return shown.answer;
  }
  {
    KeysBack keys;
    shown.answer = run(shown);
  }
  shown.queued = false;
  S().shown.push_back(shown);
  // A normal run keeps only the last few records.
  if (S().shown.size() > 64) S().shown.erase(S().shown.begin());
  return shown.answer;
}

int ModalSeam::RunDialog(Window& dialog, ShownModal shown, const std::function<int()>& exec) {
  DepthGuard guard;
  shown.kind = ModalKind::Dialog;
  if (S().testMode) {
    ModalAnswer a;
    bool have = Take(shown, a);
    shown.queued = have;
    shown.answer = have ? a.answer : IDCANCEL;
    // Recorded before the fill, so modals the fill opens come after it.
    S().shown.push_back(shown);
    if (have && a.fill) a.fill(dialog);
    return have ? a.answer : IDCANCEL;
  }
  {
    QWidget* w = dialog.OuterWidget();
    KeysBack keys(w != nullptr ? w->parentWidget() : nullptr);
    shown.answer = exec();
  }
  S().shown.push_back(shown);
  if (S().shown.size() > 64) S().shown.erase(S().shown.begin());
  return shown.answer;
}

}  // namespace gui
