#include "platform/gui/dialog.h"

#include <algorithm>

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>

#include "platform/gui/combobox.h"
#include "platform/gui/custom_control.h"
#include "platform/gui/dc_internal.h"
#include "platform/gui/edit.h"
#include "platform/gui/listbox.h"
#include "platform/gui/modal_seam.h"
#include "platform/gui/text_codec.h"
#include "platform/gui/window_widget.h"

namespace gui {

class DialogWidget : public QDialog {
 public:
  DialogWidget(Dialog* owner, QWidget* parent) : QDialog(parent), owner_(owner) {}

 protected:
  void keyPressEvent(QKeyEvent* e) override {
    switch (e->key()) {
      case Qt::Key_Return:
      case Qt::Key_Enter:
        // Harmless: no default button is pressed.
        e->accept();
        return;
      case Qt::Key_Escape:
        e->accept();
        if (owner_->IsCreated()) SendMessage(owner_->GetHandle(), WM_COMMAND, IDCANCEL, 0);
        return;
      default:
        QDialog::keyPressEvent(e);
    }
  }

 private:
  Dialog* owner_;
};

Dialog::Dialog(Window* parent, const std::string& templateId) : Window(parent), templateId_(templateId) {
  template_ = DialogTemplates::Find(templateId);
  // Made on the stack or held by its maker: never deleted by its parent.
  SetOwnedByParent(false);
}

Dialog::Dialog(Window* parent, int templateId) : Dialog(parent, std::to_string(templateId)) {}

Dialog::~Dialog() = default;

QWidget* Dialog::CreateWidget(QWidget* parent) {
  if (template_ == nullptr) return nullptr;
  auto* w = new DialogWidget(this, parent);
  units_ = DialogUnitsOf(template_->fontFace, template_->fontPoints);
  FontDesc fd;
  fd.face = template_->fontFace;
  fd.height = FontHeightForPoints(template_->fontPoints, ScreenLogPixelsY());
  w->setFont(Font(fd).impl().qfont);
  if (GetCaption().empty()) SetCaption(template_->caption);
  w->setWindowTitle(ToQString(GetCaption()));
  if (!template_->hasCaption) w->setWindowFlags(w->windowFlags() | Qt::FramelessWindowHint);
  const int templateWidth = units_.ToPixelsX(template_->cx);
  // A caption longer than the template is wide: the dialog grows so that the title bar shows the caption whole,
  // its controls kept together in the middle.
  const int width = template_->hasCaption ? std::max(templateWidth, CaptionWidth(w->windowTitle())) : templateWidth;
  controlsShift_ = (width - templateWidth) / 2;
  w->setFixedSize(width, units_.ToPixelsY(template_->cy));
  BuildControls();
  return w;
}

constexpr int kComboFieldHeight = 13;  // dialog units

// True when `text` marks a letter with "&" ("&&" is a plain ampersand).
bool HasMnemonic(const std::string& text) {
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != '&') continue;
    if (text[i + 1] != '&') return true;
    ++i;
  }
  return false;
}

// Every template line gets a control: the one the dialog's class built on
// that id, or a plain control of the line's kind.
void Dialog::BuildControls() {
  for (const ControlTemplate& item : template_->controls) {
    Control* c = GetDlgItem(item.id);
    if (c != nullptr && item.id != 0xFFFF && item.id != -1) {
      c->BindTemplate(item);
    } else {
      switch (item.kind) {
        case ControlKind::Static: c = new Static(this, item); break;
        case ControlKind::Edit: c = new Edit(this, item); break;
        case ControlKind::Button: c = new Button(this, item); break;
        case ControlKind::CheckBox: c = new CheckBox(this, item); break;
        case ControlKind::RadioButton: c = new RadioButton(this, item); break;
        case ControlKind::GroupBox: c = new GroupBox(this, item); break;
        case ControlKind::ComboBox: c = new ComboBox(this, item); break;
        case ControlKind::ListBox: c = new ListBox(this, item); break;
        case ControlKind::Custom: c = new CustomControl(this, item); break;
      }
    }
    // A combo box's template height is that of its dropped list; the box
    // itself is one line, as tall as an edit.
    const int cy = item.kind == ControlKind::ComboBox ? std::min(item.cy, kComboFieldHeight) : item.cy;
    c->MoveWindow(Rect{controlsShift_ + units_.ToPixelsX(item.x), units_.ToPixelsY(item.y), units_.ToPixelsX(item.cx),
                       units_.ToPixelsY(cy)});
  }
}

void Dialog::ArrangeTabOrder() {
  if (template_ == nullptr) return;
  QWidget* prev = nullptr;
  Control* first = nullptr;
  Control* label = nullptr;  // a label with a mnemonic, waiting for its field
  for (const ControlTemplate& item : template_->controls) {
    Control* c = GetDlgItem(item.id);
    if (c == nullptr || c->Widget() == nullptr) continue;
    QWidget* w = c->Widget();
    if (item.kind == ControlKind::Static) {
      if (qobject_cast<QLabel*>(w) != nullptr && !(c->Flags() & ctl::NoPrefix) && HasMnemonic(c->GetText()))
        label = c;
      continue;
    }
    if (w->focusPolicy() == Qt::NoFocus) continue;
    if (label != nullptr) {
      // Its mnemonic now moves the focus to the field that follows it.
      auto* l = static_cast<QLabel*>(label->Widget());
      l->setText(ToQString(label->GetText()));
      l->setBuddy(w);
      label = nullptr;
    }
    if (prev != nullptr) QWidget::setTabOrder(prev, w);
    prev = w;
    if (first == nullptr && c->IsWindowEnabled() && !(c->Flags() & ctl::Hidden) &&
        item.kind != ControlKind::Static && item.kind != ControlKind::GroupBox)
      first = c;
  }
  if (first != nullptr && QApplication::focusWidget() == nullptr) first->SetFocus();
}

int Dialog::Execute() {
  if (template_ == nullptr) return -1;
  ended_ = false;
  result_ = IDCANCEL;
  if (!IsCreated()) {
    Show(SW_HIDE);  // shown by the modal run, not by Create
    if (!Create()) return -1;
  }
  ArrangeTabOrder();
  ShownModal shown;
  shown.caption = GetCaption();
  shown.resourceId = std::atoi(templateId_.c_str());
  shown.text = templateId_;
  running_ = true;
  const int answer = ModalSeam::RunDialog(*this, shown, [this]() -> int {
    auto* d = static_cast<QDialog*>(Widget());
    if (d == nullptr || ended_) return result_;
    d->exec();
    return result_;
  });
  running_ = false;
  if (ModalSeam::TestMode() && !ended_) {
    // The queued answer acts as the button of that id would; a dialog that
    // refuses to end so (CanClose false) ends cancelled, since a test never
    // waits.
    const ShownModal* last = nullptr;
    for (const ShownModal& s : ModalSeam::Shown())
      if (s.kind == ModalKind::Dialog && s.resourceId == shown.resourceId) last = &s;
    if (last != nullptr && last->queued && IsCreated()) EvCommand(static_cast<unsigned>(answer));
    if (!ended_) {
      ended_ = true;
      result_ = IDCANCEL;
    }
  }
  const int result = result_;
  if (IsCreated()) Destroy();
  return result;
}

void Dialog::EndDialog(int result) {
  result_ = result;
  ended_ = true;
  auto* d = static_cast<QDialog*>(Widget());
  if (running_) {
    if (d != nullptr && d->isVisible()) d->done(result);
    return;
  }
  if (IsCreated()) Destroy();
}

void Dialog::ProcessEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents, 50); }

Control* Dialog::GetDlgItem(int id) const {
  for (Window* w : Children())
    if (w->GetId() == id)
      if (auto* c = dynamic_cast<Control*>(w)) return c;
  return nullptr;
}

std::string Dialog::GetItemText(int id) const {
  const Control* c = GetDlgItem(id);
  return c != nullptr ? c->GetText() : std::string();
}

bool Dialog::SetItemText(int id, const std::string& text) {
  Control* c = GetDlgItem(id);
  if (c == nullptr) return false;
  c->SetText(text);
  return true;
}

int Dialog::GetCheck(int id) const {
  const auto* c = Item<CheckBox>(id);
  return c != nullptr ? c->GetCheck() : BST_UNCHECKED;
}

bool Dialog::SetCheck(int id, int state) {
  auto* c = Item<CheckBox>(id);
  if (c == nullptr) return false;
  c->SetCheck(state);
  return true;
}

bool Dialog::EnableItem(int id, bool enable) {
  Control* c = GetDlgItem(id);
  if (c == nullptr) return false;
  c->EnableWindow(enable);
  return true;
}

bool Dialog::ShowItem(int id, bool show) {
  Control* c = GetDlgItem(id);
  if (c == nullptr) return false;
  c->Show(show ? SW_SHOW : SW_HIDE);
  return true;
}

bool Dialog::FocusItem(int id) {
  Control* c = GetDlgItem(id);
  if (c == nullptr) return false;
  c->SetFocus();
  return true;
}

int Dialog::GetItemSel(int id) const {
  if (const auto* cb = Item<ComboBox>(id)) return cb->GetSelIndex();
  if (const auto* lb = Item<ListBox>(id)) return lb->GetSelIndex();
  return CB_ERR;
}

bool Dialog::SetItemSel(int id, int index) {
  if (auto* cb = Item<ComboBox>(id)) return cb->SetSelIndex(index) == index;
  if (auto* lb = Item<ListBox>(id)) return lb->SetSelIndex(index) == index;
  return false;
}

bool Dialog::PressButton(int id) {
  auto* b = Item<Button>(id);
  if (b == nullptr || !b->IsWindowEnabled()) return false;
  b->Click();
  return true;
}

std::intptr_t Dialog::WindowProc(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
  if (msg == WM_COMMAND && lParam != 0) {
    EvChildNotify(static_cast<int>(wParam & 0xFFFF), static_cast<unsigned>((wParam >> 16) & 0xFFFF),
                  static_cast<Handle>(lParam));
    return 0;
  }
  return Window::WindowProc(msg, wParam, lParam);
}

void Dialog::EvChildNotify(int id, unsigned code, Handle) {
  if (code == BN_CLICKED) EvCommand(static_cast<unsigned>(id));
}

bool Dialog::EvCommand(unsigned id) {
  if (Window::EvCommand(id)) return true;
  if (id == static_cast<unsigned>(IDOK)) {
    CmOk();
    return true;
  }
  if (id == static_cast<unsigned>(IDCANCEL)) {
    CmCancel();
    return true;
  }
  return false;
}

void Dialog::CmOk() {
  if (CanClose()) EndDialog(IDOK);
}

void Dialog::CmCancel() { EndDialog(IDCANCEL); }

void Dialog::EvKeyUp(int vk, unsigned repeat, unsigned flags) {
  if (vk == VK_F9) PostMessage(GetHandle(), WM_COMMAND, IDCANCEL, 0);
  else if (vk == VK_F12) PostMessage(GetHandle(), WM_COMMAND, IDOK, 0);
  else if (vk == VK_RETURN && PressDefaultOnEnter()) return;
  else DefaultProcessing();
}

bool Dialog::PressDefaultOnEnter() {
  // A list box does nothing with Enter: released in it, Enter presses the dialog's default button, as the
  // user who chose a line expects; so does a plain edit of a dialog that asks it (a form of a few fields
  // filled in one go). The other controls act on Enter themselves.
  if (template_ == nullptr) return false;
  bool passes = false;
  for (const ControlTemplate& c : template_->controls) {
    if (c.kind != ControlKind::ListBox && !(c.kind == ControlKind::Edit && enterInEditsPressesDefault_)) continue;
    const Control* control = GetDlgItem(c.id);
    if (control != nullptr && control->HasFocus()) passes = true;
  }
  if (!passes) return false;
  for (const ControlTemplate& c : template_->controls)
    if (c.kind == ControlKind::Button && (c.flags & ctl::Default) != 0) return PressButton(c.id);
  return false;
}

}  // namespace gui
