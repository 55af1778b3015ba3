#include "platform/gui/controls.h"

#include <algorithm>

#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include "platform/gui/controls_internal.h"
#include "platform/gui/dc_internal.h"
#include "platform/gui/text_codec.h"

namespace gui {

QString WithoutMnemonic(const QString& text) {
  QString out;
  out.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == '&') {
      if (i + 1 < text.size() && text[i + 1] == '&') {
        out += '&';
        ++i;
      }
      continue;
    }
    out += text[i];
  }
  return out;
}

// ---- Control ---------------------------------------------------------------

Control::Control(Window* parent, int id, const std::string& text, unsigned flags)
    : Window(parent), text_(text), flags_(flags) {
  SetId(id);
}

Control::Control(Window* parent, const ControlTemplate& item)
    : Window(parent), text_(item.text), flags_(item.flags), fromTemplate_(true) {
  SetId(item.id);
}

// A control the dialog's class built, in code or on the template, takes the template line's
// text unless it was given one of its own.
void Control::BindTemplate(const ControlTemplate& item) {
  if (text_.empty()) text_ = item.text;
  flags_ |= item.flags;
  fromTemplate_ = true;
}

std::string Control::GetText() const { return text_; }

void Control::SetText(const std::string& text) {
  text_ = text;
  if (QWidget* w = Widget()) {
    if (auto* b = qobject_cast<QAbstractButton*>(w)) b->setText(ToQString(text));
    else if (auto* g = qobject_cast<QGroupBox*>(w)) g->setTitle(ToQString(text));
  }
}

void Control::SetFont(const Font& font) {
  font_ = font;
  hasFont_ = true;
  if (QWidget* w = Widget()) w->setFont(font.impl().qfont);
}

void Control::SetToolTip(const std::string& text) {
  tip_ = text;
  if (QWidget* w = Widget()) w->setToolTip(ToQString(text));
}
std::string Control::GetToolTip() const { return tip_; }

int Control::TextWidth() const {
  const QWidget* w = Widget();
  const QFontMetrics metrics(w != nullptr ? w->font() : hasFont_ ? font_.impl().qfont : QFont());
  int widest = 0;
  for (const QString& line : ToQString(GetText()).split(QLatin1Char('\n')))
    widest = std::max(widest, metrics.horizontalAdvance(line));
  return widest;
}

void Control::ApplyCommonStyle(QWidget* w) {
  if (hasFont_) w->setFont(font_.impl().qfont);
  if (!tip_.empty()) w->setToolTip(ToQString(tip_));
  if (flags_ & ctl::Disabled) EnableWindow(false);
  if (flags_ & ctl::Hidden) Show(SW_HIDE);
}

void Control::Notify(unsigned code) {
  if (Parent() == nullptr || !IsCreated()) return;
  SendMessage(Parent()->GetHandle(), WM_COMMAND, MakeCommandParam(GetId(), code),
              static_cast<std::intptr_t>(GetHandle()));
}

void Control::EvSetFocus(Handle lost) {
  if (SetFocusCode() != 0xFFFF) Notify(SetFocusCode());
  DefaultProcessing();
}

void Control::EvKillFocus(Handle gained) {
  if (KillFocusCode() != 0xFFFF) Notify(KillFocusCode());
  DefaultProcessing();
}

// ---- Static ----------------------------------------------------------------

QWidget* Static::CreateWidget(QWidget* parent) {
  auto* w = new Hooked<QLabel>(parent);
  w->setTextFormat(Qt::PlainText);
  const QString t = ToQString(text_);
  w->setText((flags_ & ctl::NoPrefix) ? t : WithoutMnemonic(t));
  Qt::Alignment a = Qt::AlignTop;
  a |= (flags_ & ctl::Center) ? Qt::AlignHCenter : (flags_ & ctl::Right) ? Qt::AlignRight : Qt::AlignLeft;
  w->setAlignment(a);
  w->setWordWrap(!(flags_ & ctl::NoWrap) && !(flags_ & ctl::Center) && !(flags_ & ctl::Right));
  if (flags_ & ctl::Sunken) w->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  else if (flags_ & ctl::Border) w->setFrameStyle(QFrame::Box | QFrame::Plain);
  ApplyCommonStyle(w);
  return w;
}

std::string Static::GetText() const { return text_; }

void Static::SetText(const std::string& text) {
  text_ = text;
  if (auto* l = qobject_cast<QLabel*>(Widget())) {
    const QString t = ToQString(text);
    // A label bound to a field keeps its "&": Qt draws it as the mnemonic.
    l->setText((flags_ & ctl::NoPrefix) || l->buddy() != nullptr ? t : WithoutMnemonic(t));
  }
}

// ---- Buttons ---------------------------------------------------------------

namespace {

// Enter never presses a button: the program's own controls act on Enter
// when it is released. Space presses it, as usual.
template <class Base>
class NoEnter : public Hooked<Base> {
 public:
  using Hooked<Base>::Hooked;

 protected:
  void keyPressEvent(QKeyEvent* e) override {
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
      e->ignore();
      return;
    }
    Base::keyPressEvent(e);
  }
};

}  // namespace

QWidget* Button::CreateWidget(QWidget* parent) {
  auto* w = new NoEnter<QPushButton>(ToQString(text_), parent);
  w->setAutoDefault(false);
  w->setDefault(IsDefault());
  w->setFocusPolicy(Qt::StrongFocus);
  QObject::connect(w, &QPushButton::clicked, w, [this] { Notify(BN_CLICKED); });
  ApplyCommonStyle(w);
  return w;
}

void Button::Click() {
  if (IsCreated() && IsWindowEnabled()) Notify(BN_CLICKED);
}

QWidget* CheckBox::CreateWidget(QWidget* parent) {
  auto* w = new NoEnter<QCheckBox>(ToQString(text_), parent);
  w->setTristate((flags_ & ctl::ThreeState) != 0);
  w->setCheckState(check_ == BST_CHECKED ? Qt::Checked : check_ == BST_INDETERMINATE ? Qt::PartiallyChecked : Qt::Unchecked);
  QObject::connect(w, &QCheckBox::clicked, w, [this, w] {
    if (!(flags_ & ctl::AutoCheck)) {
      // A plain check box leaves its state to its owner.
      w->blockSignals(true);
      SetCheck(check_);
      w->blockSignals(false);
    } else {
      check_ = w->checkState() == Qt::Checked ? BST_CHECKED
               : w->checkState() == Qt::PartiallyChecked ? BST_INDETERMINATE : BST_UNCHECKED;
    }
    Notify(BN_CLICKED);
  });
  ApplyCommonStyle(w);
  return w;
}

int CheckBox::GetCheck() const { return check_; }

void CheckBox::SetCheck(int state) {
  check_ = state == BST_CHECKED ? BST_CHECKED : state == BST_INDETERMINATE ? BST_INDETERMINATE : BST_UNCHECKED;
  if (auto* b = qobject_cast<QAbstractButton*>(Widget())) {
    b->blockSignals(true);
    if (auto* c = qobject_cast<QCheckBox*>(b))
      c->setCheckState(check_ == BST_CHECKED ? Qt::Checked : check_ == BST_INDETERMINATE ? Qt::PartiallyChecked : Qt::Unchecked);
    else
      b->setChecked(check_ == BST_CHECKED);
    b->blockSignals(false);
  }
}

void CheckBox::Toggle() { SetCheck(check_ == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED); }

QWidget* RadioButton::CreateWidget(QWidget* parent) {
  auto* w = new NoEnter<QRadioButton>(ToQString(text_), parent);
  // Groups are the runs of radio buttons that start at a "group" control,
  // not every radio of the parent.
  w->setAutoExclusive(false);
  w->setChecked(check_ == BST_CHECKED);
  QObject::connect(w, &QRadioButton::clicked, w, [this] {
    if (flags_ & ctl::AutoCheck) {
      // Uncheck the others of the group, check this one.
      const auto& kids = Parent()->Children();
      std::size_t me = 0;
      while (me < kids.size() && kids[me] != this) ++me;
      std::size_t first = me;
      while (first > 0) {
        auto* c = dynamic_cast<Control*>(kids[first]);
        if (c != nullptr && (c->Flags() & ctl::Group)) break;
        --first;
      }
      for (std::size_t i = first; i < kids.size(); ++i) {
        if (i > me) {
          auto* c = dynamic_cast<Control*>(kids[i]);
          if (c != nullptr && (c->Flags() & ctl::Group)) break;
        }
        if (auto* r = dynamic_cast<RadioButton*>(kids[i])) r->SetCheck(r == this ? BST_CHECKED : BST_UNCHECKED);
      }
    } else {
      SetCheck(check_);
    }
    Notify(BN_CLICKED);
  });
  ApplyCommonStyle(w);
  return w;
}

QWidget* GroupBox::CreateWidget(QWidget* parent) {
  auto* w = new Hooked<QGroupBox>(ToQString(text_), parent);
  w->setFocusPolicy(Qt::NoFocus);
  ApplyCommonStyle(w);
  return w;
}

}  // namespace gui
