#include "platform/gui/application.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QTimer>
#include <QWidget>
#include <algorithm>

#include "platform/gui/command.h"
#include "platform/gui/text_codec.h"
#include "platform/gui/window.h"

namespace gui {

namespace {

Application* current = nullptr;
bool activity = true;
int beepCount = 0;
std::vector<std::pair<unsigned, std::function<void()>>> windowIdle;
std::function<void(unsigned)> beepHook;

// Input and window events make the idle work due again.
class ActivityFilter : public QObject {
 public:
  bool eventFilter(QObject*, QEvent* e) override {
    switch (e->type()) {
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::FocusIn:
      case QEvent::WindowActivate:
      case QEvent::WindowStateChange:
        activity = true;
        break;
      default:
        break;
    }
    return false;
  }
};

// Qt's own texts (file, folder and print dialogs, standard buttons) in
// French, from Debian's Qt translations; once per process. Without them the
// dialogs stay in English.
void LoadFrenchQtTexts() {
  static bool done = false;
  if (done || QCoreApplication::instance() == nullptr) return;
  done = true;
  QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  for (const char* name : {"qtbase_fr", "qt_fr"}) {
    auto* t = new QTranslator(qApp);
    if (t->load(QString::fromLatin1(name), folder)) QCoreApplication::installTranslator(t);
    else delete t;
  }
}

}  // namespace

struct Application::Impl {
  QApplication* app = nullptr;
  ActivityFilter filter;
  QTimer idleTimer;
  QMetaObject::Connection blockConnection;
};

void Application::EnsureQt() {
  if (QCoreApplication::instance() != nullptr) return;
  static int argc = 1;
  static char name[] = "merlon";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);  // kept for the whole process
}

Application::Application(int& argc, char** argv, const std::string& name) : name_(name) {
  d_ = new Impl;
  if (QCoreApplication::instance() == nullptr) {
    d_->app = new QApplication(argc, argv);
    ownsQt_ = true;
  }
  Init();
}

Application::Application(const std::string& name) : name_(name) {
  d_ = new Impl;
  EnsureQt();
  Init();
}

void Application::Init() {
  current = this;
  QCoreApplication::setApplicationName(ToQString(name_));
  LoadFrenchQtTexts();
  qApp->installEventFilter(&d_->filter);
  d_->idleTimer.setSingleShot(true);
  d_->idleTimer.setInterval(0);
  QObject::connect(&d_->idleTimer, &QTimer::timeout, [this] { RunIdle(); });
  // After each batch of events, just before the loop would wait: arm a zero
  // timer for the idle work when something happened since the last run.
  if (QAbstractEventDispatcher* disp = QAbstractEventDispatcher::instance()) {
    d_->blockConnection = QObject::connect(disp, &QAbstractEventDispatcher::aboutToBlock, [this] {
      if (activity && !d_->idleTimer.isActive()) d_->idleTimer.start();
    });
  }
}

Application::~Application() {
  QObject::disconnect(d_->blockConnection);
  if (QCoreApplication::instance() != nullptr) qApp->removeEventFilter(&d_->filter);
  if (current == this) current = nullptr;
  bool owns = ownsQt_;
  QApplication* app = d_->app;
  delete d_;
  if (owns) delete app;
}

Application* Application::Current() { return current; }

std::string ToolkitVersionText() { return std::string("Qt ") + qVersion(); }

void Application::NoteActivity() { activity = true; }

void Application::AddIdleTask(std::function<void()> task) { idleTasks_.push_back(std::move(task)); }

void Application::AddWindowIdleHandler(unsigned handle, std::function<void()> handler) {
  windowIdle.emplace_back(handle, std::move(handler));
}

void Application::RunIdle() {
  RunWindowIdleHandlers();
  for (auto& task : idleTasks_) task();
  IdleAction();
}

void Application::RunWindowIdleHandlers() {
  activity = false;
  windowIdle.erase(std::remove_if(windowIdle.begin(), windowIdle.end(),
                                  [](const auto& e) { return !IsWindow(e.first); }),
                   windowIdle.end());
  auto handlers = windowIdle;  // a handler may add others
  for (auto& [handle, fn] : handlers)
    if (IsWindow(handle)) fn();
}

int Application::Run() {
  InitMainWindow();
  if (mainWindow_ == nullptr) return -1;
  if (!mainWindow_->IsCreated() && !mainWindow_->Create()) return -1;
  QWidget* top = mainWindow_->OuterWidget();
  if (top == nullptr) return -1;
  // The run ends when the main window goes away.
  QObject::connect(top, &QObject::destroyed, qApp, [] { QCoreApplication::exit(0); });
  if (!top->isVisible()) mainWindow_->Show(5);
  return QApplication::exec();
}

void Application::Quit(int code) { QCoreApplication::exit(code); }

void MessageBeep(unsigned type) {
  ++beepCount;
  if (beepHook) {
    beepHook(type);
    return;
  }
  if (QCoreApplication::instance() != nullptr) QApplication::beep();
}

void SetBeepHook(std::function<void(unsigned)> hook) { beepHook = std::move(hook); }
int BeepCount() { return beepCount; }
void ResetBeepCount() { beepCount = 0; }

}  // namespace gui
