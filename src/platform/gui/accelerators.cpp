#include "platform/gui/accelerators.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QKeySequence>
#include <QWidget>
#include <algorithm>
#include <utility>

#include "platform/gui/command.h"
#include "platform/gui/window.h"
#include "platform/gui/window_widget.h"

namespace gui {
namespace {

struct Installed {
  AcceleratorTable* table;
  Handle window;
};

std::vector<Installed>& InstalledTables() {
  static std::vector<Installed> list;
  return list;
}

// Looks at every key press of the program before its target does. The
// tables of the windows that hold the target are tried from the innermost
// out (an MDI child's own table before the frame's); the first that knows
// the key sends its command along the chain from the focused window out to
// the table's window. A command that no window answers lets the key go on
// to its target; one that is greyed is not sent.
class AcceleratorFilter : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (e->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
    auto* target = static_cast<QWidget*>(watched);
    auto* k = static_cast<QKeyEvent*>(e);
    int combined = k->keyCombination().toCombined() & ~static_cast<int>(Qt::KeypadModifier);
    std::vector<std::pair<Window*, AcceleratorTable*>> holders;
    for (const Installed& inst : InstalledTables()) {
      Window* w = handles::Find(inst.window);
      QWidget* ow = w != nullptr ? w->OuterWidget() : nullptr;
      if (ow != nullptr && (ow == target || ow->isAncestorOf(target))) holders.emplace_back(w, inst.table);
    }
    std::stable_sort(holders.begin(), holders.end(), [](const auto& a, const auto& b) {
      return b.first->OuterWidget()->isAncestorOf(a.first->OuterWidget());
    });
    for (const auto& [owner, table] : holders) {
      const unsigned id = table->Translate(combined);
      if (id == 0) continue;
      Window* handler = nullptr;
      CommandEnabler ce(id);
      for (Window* w = WindowOfWidget(target); w != nullptr && w != owner; w = w->Parent())
        if (w->IsCreated() && w->EvCommandEnable(ce)) {
          handler = w;
          break;
        }
      if (handler == nullptr) {
        owner->RouteCommandEnable(ce);
        if (!ce.Handled()) return false;
        if (ce.Enabled()) owner->RouteCommand(id);
        return true;
      }
      if (ce.Enabled()) handler->EvCommand(id);
      return true;
    }
    return false;
  }
};

void EnsureFilter() {
  static AcceleratorFilter* filter = nullptr;
  if (filter == nullptr && QCoreApplication::instance() != nullptr) {
    filter = new AcceleratorFilter;
    qApp->installEventFilter(filter);
  }
}

}  // namespace

std::unique_ptr<AcceleratorTable> AcceleratorTable::FromText(const std::string& utf8, std::string* error) {
  auto table = std::make_unique<AcceleratorTable>();
  size_t start = 0;
  int lineNo = 0;
  while (start < utf8.size()) {
    size_t end = utf8.find('\n', start);
    std::string line = utf8.substr(start, end == std::string::npos ? std::string::npos : end - start);
    start = end == std::string::npos ? utf8.size() : end + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    size_t tab = line.find('\t');
    unsigned long id = 0;
    if (tab != std::string::npos && tab + 1 < line.size() &&
        line.find_first_not_of("0123456789", tab + 1) == std::string::npos)
      id = std::stoul(line.substr(tab + 1));
    QKeySequence seq = QKeySequence::fromString(QString::fromUtf8(line.substr(0, tab)), QKeySequence::PortableText);
    if (id == 0 || id > 0xFFFF || seq.count() != 1) {
      if (error != nullptr) *error = "line " + std::to_string(lineNo) + ": expected keys, tab, command id";
      return nullptr;
    }
    table->entries_.push_back({seq[0].toCombined(), static_cast<unsigned>(id)});
  }
  return table;
}

std::unique_ptr<AcceleratorTable> AcceleratorTable::Load(int resourceId) {
  QFile f(QStringLiteral(":/accelerators/%1.acc").arg(resourceId));
  if (!f.open(QIODevice::ReadOnly)) return nullptr;
  QByteArray bytes = f.readAll();
  return FromText(std::string(bytes.constData(), static_cast<size_t>(bytes.size())));
}

unsigned AcceleratorTable::Translate(int combinedKey) const {
  for (const Entry& e : entries_)
    if (e.key == combinedKey) return e.id;
  return 0;
}

unsigned AcceleratorTable::TranslateText(const std::string& keys) const {
  QKeySequence seq = QKeySequence::fromString(QString::fromUtf8(keys), QKeySequence::PortableText);
  return seq.count() == 1 ? Translate(seq[0].toCombined()) : 0;
}

void AcceleratorTable::Install(Window& window) {
  Uninstall();
  EnsureFilter();
  installedOn_ = window.GetHandle();
  InstalledTables().push_back({this, installedOn_});
}

void AcceleratorTable::Uninstall() {
  auto& list = InstalledTables();
  list.erase(std::remove_if(list.begin(), list.end(), [this](const Installed& i) { return i.table == this; }),
             list.end());
  installedOn_ = 0;
}

AcceleratorTable::~AcceleratorTable() { Uninstall(); }

}  // namespace gui
