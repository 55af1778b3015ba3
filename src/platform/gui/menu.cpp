#include "platform/gui/menu.h"

#include <QAction>
#include <QCursor>
#include <QFile>
#include <QMenu>
#include <cstdio>
#include <map>

#include "platform/gui/modal_seam.h"
#include "platform/gui/text_codec.h"
#include "platform/system/cp1252.h"

namespace gui {

struct Menu::Impl {
  std::unique_ptr<QMenu> menu = std::make_unique<QMenu>();
  std::map<QAction*, std::unique_ptr<Menu>> subs;
  Handle target = 0;
  std::function<void()> beforeShow;

  QAction* At(int pos) const {
    const auto actions = menu->actions();
    return pos >= 0 && pos < actions.size() ? actions.at(pos) : nullptr;
  }
  QAction* Before(int pos) const { return At(pos); }  // nullptr appends
  QAction* FindAction(unsigned id) const {
    for (QAction* a : menu->actions()) {
      if (a->isSeparator()) continue;
      auto it = subs.find(a);
      if (it != subs.end()) {
        if (QAction* inner = it->second->d_->FindAction(id)) return inner;
      } else if (a->data().toUInt() == id) {
        return a;
      }
    }
    return nullptr;
  }
};

Menu::Menu() : d_(std::make_unique<Impl>()) {
  QObject::connect(d_->menu.get(), &QMenu::aboutToShow, [this] {
    if (d_->beforeShow) d_->beforeShow();
    RunEnablers();
  });
  // The highlighted item's hint; a pop-up's title and separators carry no command.
  QObject::connect(d_->menu.get(), &QMenu::hovered, [](QAction* a) {
    NoteCommandHover(a != nullptr && !a->isSeparator() && a->menu() == nullptr ? a->data().toUInt() : 0u);
  });
  QObject::connect(d_->menu.get(), &QMenu::aboutToHide, [] { NoteCommandHover(0); });
}

Menu::~Menu() {
  // Pop-up QMenus are deleted by their wrappers, not by the parent QMenu.
  d_->subs.clear();
}

QMenu* Menu::GetQMenu() const { return d_->menu.get(); }

int Menu::GetItemCount() const { return static_cast<int>(d_->menu->actions().size()); }

unsigned Menu::GetItemId(int pos) const {
  QAction* a = d_->At(pos);
  if (a == nullptr || a->isSeparator() || d_->subs.count(a) > 0) return 0;
  return a->data().toUInt();
}

bool Menu::IsSeparator(int pos) const {
  QAction* a = d_->At(pos);
  return a != nullptr && a->isSeparator();
}

Menu* Menu::GetSubMenu(int pos) const {
  auto it = d_->subs.find(d_->At(pos));
  return it == d_->subs.end() ? nullptr : it->second.get();
}

std::string Menu::GetItemText(int pos) const {
  QAction* a = d_->At(pos);
  return a == nullptr ? std::string() : FromQString(a->text());
}

int Menu::FindPosition(unsigned id) const {
  for (int i = 0; i < GetItemCount(); ++i)
    if (GetItemId(i) == id && id != 0) return i;
  return -1;
}

bool Menu::InsertItem(int pos, unsigned id, const std::string& text) {
  if (id == 0) return false;
  auto* a = new QAction(ToQString(text), d_->menu.get());
  a->setData(id);
  Impl* impl = d_.get();
  QObject::connect(a, &QAction::triggered, [impl, id] {
    if (Window* w = handles::Find(impl->target)) w->RouteCommand(id);
  });
  d_->menu->insertAction(d_->Before(pos), a);
  return true;
}

bool Menu::InsertSeparator(int pos) {
  auto* a = new QAction(d_->menu.get());
  a->setSeparator(true);
  d_->menu->insertAction(d_->Before(pos), a);
  return true;
}

bool Menu::InsertPopup(int pos, const std::string& text, std::unique_ptr<Menu> sub) {
  if (!sub) return false;
  QMenu* qm = sub->GetQMenu();
  qm->setTitle(ToQString(text));
  QAction* a = qm->menuAction();
  d_->menu->insertAction(d_->Before(pos), a);
  sub->d_->target = d_->target;
  d_->subs.emplace(a, std::move(sub));
  return true;
}

bool Menu::DeleteItem(int pos) {
  QAction* a = d_->At(pos);
  if (a == nullptr) return false;
  d_->menu->removeAction(a);
  auto it = d_->subs.find(a);
  if (it != d_->subs.end()) d_->subs.erase(it);  // deletes its QMenu and action
  else delete a;
  return true;
}

bool Menu::CheckItem(unsigned id, bool checked) {
  QAction* a = d_->FindAction(id);
  if (a == nullptr) return false;
  a->setCheckable(true);
  a->setChecked(checked);
  return true;
}

bool Menu::IsItemChecked(unsigned id) const {
  QAction* a = d_->FindAction(id);
  return a != nullptr && a->isChecked();
}

bool Menu::EnableItem(unsigned id, bool enabled) {
  QAction* a = d_->FindAction(id);
  if (a == nullptr) return false;
  a->setEnabled(enabled);
  return true;
}

bool Menu::IsItemEnabled(unsigned id) const {
  QAction* a = d_->FindAction(id);
  return a != nullptr && a->isEnabled();
}

bool Menu::SetItemText(unsigned id, const std::string& text) {
  QAction* a = d_->FindAction(id);
  if (a == nullptr) return false;
  a->setText(ToQString(text));
  return true;
}

std::vector<unsigned> Menu::CommandIds() const {
  std::vector<unsigned> ids;
  for (int i = 0; i < GetItemCount(); ++i) {
    if (Menu* sub = GetSubMenu(i)) {
      auto inner = sub->CommandIds();
      ids.insert(ids.end(), inner.begin(), inner.end());
    } else if (unsigned id = GetItemId(i)) {
      ids.push_back(id);
    }
  }
  return ids;
}

void Menu::SetCommandTarget(Window* target) {
  d_->target = target != nullptr ? target->GetHandle() : 0;
  for (auto& [action, sub] : d_->subs) sub->SetCommandTarget(target);
}

void Menu::RunEnablers() {
  Window* target = handles::Find(d_->target);
  for (int i = 0; i < GetItemCount(); ++i) {
    unsigned id = GetItemId(i);
    if (id == 0) continue;
    QAction* a = d_->At(i);
    CommandEnabler ce(id);
    if (target != nullptr) target->RouteCommandEnable(ce);
    // A command nobody handles is greyed.
    a->setEnabled(ce.Handled() && ce.Enabled());
    if (ce.CheckSet()) {
      a->setCheckable(true);
      a->setChecked(ce.Check() == CHECK_CHECKED);
    }
    if (ce.TextSet()) a->setText(ToQString(ce.Text()));
  }
}

void Menu::SetBeforeShow(std::function<void()> work) { d_->beforeShow = std::move(work); }

bool Menu::Choose(unsigned id) {
  QAction* a = d_->FindAction(id);
  if (a == nullptr) return false;
  // Enablers of the menu holding the item run first, as when it opens; its items may be made again then.
  for (QObject* w : a->associatedObjects())
    if (auto* qm = qobject_cast<QMenu*>(w)) emit qm->aboutToShow();
  a = d_->FindAction(id);
  if (a == nullptr || !a->isEnabled()) return false;
  a->trigger();
  return true;
}

unsigned Menu::TrackPopupMenu(Window& owner, Point client) {
  QWidget* surface = owner.Widget();
  const QPoint screen = surface != nullptr ? surface->mapToGlobal(QPoint(client.x, client.y)) : QPoint(client.x, client.y);
  Handle previous = d_->target;
  SetCommandTarget(&owner);
  RunEnablers();
  ShownModal shown;
  shown.kind = ModalKind::PopupMenu;
  shown.screenX = screen.x();
  shown.screenY = screen.y();
  QMenu* qm = d_->menu.get();
  int answer = ModalSeam::Run(shown, 0, [qm, screen](ShownModal&) {
    QAction* chosen = qm->exec(screen);
    return chosen == nullptr ? 0 : static_cast<int>(chosen->data().toUInt());
  });
  unsigned id = static_cast<unsigned>(answer);
  Handle h = owner.GetHandle();
  d_->target = previous;
  // In a normal run the action's own trigger already sent it when the
  // target was the owner; the seam's answer in test mode is sent here.
  if (id != 0 && ModalSeam::TestMode()) {
    QAction* a = d_->FindAction(id);
    if (a == nullptr || !a->isEnabled()) return 0;
    if (Window* w = handles::Find(h)) w->RouteCommand(id);
  }
  return id;
}

namespace {

// A menu text (UTF-8) as the program holds it; false for a character outside
// cp1252, which would otherwise show as "?".
bool ProgramText(const std::string& utf8, std::string& out) {
  return platform::Utf8ToCp1252(utf8, out, platform::Unassigned::kRefuse);
}

std::string Unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      char n = s[++i];
      out += n == 't' ? '\t' : n == 'n' ? '\n' : n;
    } else {
      out += s[i];
    }
  }
  return out;
}

}  // namespace

std::unique_ptr<Menu> Menu::FromText(const std::string& utf8, std::string* error) {
  auto root = std::make_unique<Menu>();
  std::vector<Menu*> stack{root.get()};
  // The pop-up opened by the previous line, entered when the next line is
  // indented one level more.
  Menu* lastPopup = nullptr;
  size_t start = 0;
  int lineNo = 0;
  auto fail = [&](const std::string& why) {
    if (error != nullptr) *error = "line " + std::to_string(lineNo) + ": " + why;
    return nullptr;
  };
  while (start <= utf8.size()) {
    size_t end = utf8.find('\n', start);
    std::string line = utf8.substr(start, end == std::string::npos ? std::string::npos : end - start);
    start = end == std::string::npos ? utf8.size() + 1 : end + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t indent = line.find_first_not_of(' ');
    if (indent == std::string::npos || line[indent] == '#') continue;
    if (indent % 2 != 0) return fail("indentation must be a multiple of two spaces");
    size_t level = indent / 2;
    std::string body = line.substr(indent);
    if (level == stack.size() && lastPopup != nullptr) stack.push_back(lastPopup);
    if (level >= stack.size()) return fail("indented without a pop-up above");
    stack.resize(level + 1);
    Menu* menu = stack.back();
    lastPopup = nullptr;
    if (body == "-") {
      menu->InsertSeparator(-1);
      continue;
    }
    // A command is its id, alone (the owner gives the text) or followed by
    // a tab and its text.
    size_t tab = body.find('\t');
    const size_t digits = body.find_first_not_of("0123456789");
    bool numbered = digits != 0 && (digits == std::string::npos || (tab != std::string::npos && digits == tab));
    if (numbered) {
      const std::string number = body.substr(0, digits);
      if (number.size() > 5) return fail("command id out of range");
      unsigned long id = std::stoul(number);
      if (id == 0 || id > 0xFFFF) return fail("command id out of range");
      const std::string text = tab == std::string::npos ? std::string() : body.substr(tab + 1);
      std::string held;
      if (!ProgramText(Unescape(text), held))
        return fail("text of command " + number + " holds a character outside cp1252");
      menu->InsertItem(-1, static_cast<unsigned>(id), held);
    } else {
      std::string held;
      if (!ProgramText(Unescape(body), held)) return fail("pop-up text holds a character outside cp1252");
      auto sub = std::make_unique<Menu>();
      lastPopup = sub.get();
      menu->InsertPopup(-1, held, std::move(sub));
    }
  }
  return root;
}

std::unique_ptr<Menu> Menu::Load(int resourceId) {
  QFile f(QStringLiteral(":/menus/%1.menu").arg(resourceId));
  if (!f.open(QIODevice::ReadOnly)) return nullptr;
  QByteArray bytes = f.readAll();
  // A refused menu is a fault of the build: the frame then has no menu bar.
  std::string error;
  auto menu = FromText(std::string(bytes.constData(), static_cast<size_t>(bytes.size())), &error);
  if (menu == nullptr) std::fprintf(stderr, "menu %d: %s\n", resourceId, error.c_str());
  return menu;
}

}  // namespace gui
