#include "platform/gui/combobox.h"

#include <QComboBox>
#include <QLineEdit>

#include <algorithm>

#include "platform/gui/controls_internal.h"
#include "platform/gui/text_codec.h"

namespace gui {

ComboBox::ComboBox(Window* parent, int id, int textLimit, bool dropDownList)
    : Control(parent, id, {}, (dropDownList ? ctl::DropDownList : 0u) | ctl::TabStop) {
  limit_ = textLimit;
}

QWidget* ComboBox::CreateWidget(QWidget* parent) {
  auto* w = new Hooked<QComboBox>(parent);
  w->setEditable(!IsDropDownList());
  w->setInsertPolicy(QComboBox::NoInsert);
  w->setMaxVisibleItems(12);
  quiet_ = true;
  for (const Line& l : lines_) w->addItem(ToQString(l.text));
  w->setCurrentIndex(sel_);
  if (!IsDropDownList()) {
    if (limit_ > 0) w->lineEdit()->setMaxLength(limit_);
    w->lineEdit()->setText(ToQString(text_));
    QObject::connect(w->lineEdit(), &QLineEdit::textEdited, w, [this] { Notify(CBN_EDITCHANGE); });
  } else if (sel_ < 0 && !text_.empty()) {
    w->setPlaceholderText(ToQString(text_));
  }
  quiet_ = false;
  QObject::connect(w, &QComboBox::currentIndexChanged, w, [this](int index) {
    if (quiet_) return;  // changes made by code keep their own selection
    sel_ = index;
    if (index >= 0) text_ = lines_[static_cast<std::size_t>(index)].text;
    Notify(CBN_SELCHANGE);
  });
  ApplyCommonStyle(w);
  return w;
}

void ComboBox::Refill() {
  auto* w = qobject_cast<QComboBox*>(Widget());
  if (w == nullptr) return;
  quiet_ = true;
  const QString edit = w->isEditable() ? w->lineEdit()->text() : QString();
  w->clear();
  for (const Line& l : lines_) w->addItem(ToQString(l.text));
  w->setCurrentIndex(sel_);
  if (w->isEditable()) w->lineEdit()->setText(edit);
  quiet_ = false;
}

int ComboBox::AddString(const std::string& text) {
  int at = static_cast<int>(lines_.size());
  if (flags_ & ctl::Sort) {
    at = static_cast<int>(std::upper_bound(lines_.begin(), lines_.end(), text,
                                           [](const std::string& t, const Line& l) { return t < l.text; }) -
                          lines_.begin());
  }
  return InsertString(text, at);
}

int ComboBox::InsertString(const std::string& text, int index) {
  if (index < 0 || index > static_cast<int>(lines_.size())) index = static_cast<int>(lines_.size());
  lines_.insert(lines_.begin() + index, Line{text, 0});
  if (sel_ >= index) ++sel_;
  if (auto* w = qobject_cast<QComboBox*>(Widget())) {
    quiet_ = true;
    w->insertItem(index, ToQString(text));
    w->setCurrentIndex(sel_);  // a new line is never selected by itself
    quiet_ = false;
  }
  return index;
}

int ComboBox::DeleteString(int index) {
  if (index < 0 || index >= static_cast<int>(lines_.size())) return CB_ERR;
  lines_.erase(lines_.begin() + index);
  if (sel_ == index) sel_ = -1;
  else if (sel_ > index) --sel_;
  if (auto* w = qobject_cast<QComboBox*>(Widget())) {
    quiet_ = true;
    w->removeItem(index);
    w->setCurrentIndex(sel_);
    quiet_ = false;
  }
  return static_cast<int>(lines_.size());
}

void ComboBox::ClearList() {
  lines_.clear();
  sel_ = -1;
  Refill();
}

int ComboBox::GetCount() const { return static_cast<int>(lines_.size()); }

std::string ComboBox::GetString(int index) const {
  if (index < 0 || index >= GetCount()) return {};
  return lines_[static_cast<std::size_t>(index)].text;
}

void ComboBox::SetItemData(int index, std::uintptr_t data) {
  if (index >= 0 && index < GetCount()) lines_[static_cast<std::size_t>(index)].data = data;
}

std::uintptr_t ComboBox::GetItemData(int index) const {
  return index >= 0 && index < GetCount() ? lines_[static_cast<std::size_t>(index)].data : 0;
}

int ComboBox::FindString(const std::string& prefix, int start) const {
  const int i = FindLine(lines_, prefix, start, false);
  return i < 0 ? CB_ERR : i;
}

int ComboBox::FindStringExact(const std::string& text, int start) const {
  const int i = FindLine(lines_, text, start, true);
  return i < 0 ? CB_ERR : i;
}

int ComboBox::GetSelIndex() const { return sel_; }

int ComboBox::SetSelIndex(int index) {
  if (index >= GetCount()) return CB_ERR;
  sel_ = index < 0 ? -1 : index;
  if (sel_ >= 0) text_ = lines_[static_cast<std::size_t>(sel_)].text;
  if (auto* w = qobject_cast<QComboBox*>(Widget())) {
    quiet_ = true;
    w->setCurrentIndex(sel_);
    quiet_ = false;
  }
  return sel_ < 0 ? CB_ERR : sel_;
}

std::string ComboBox::GetText() const {
  if (auto* w = qobject_cast<QComboBox*>(Widget())) {
    if (w->isEditable()) return FromQString(w->lineEdit()->text());
  }
  return sel_ >= 0 ? lines_[static_cast<std::size_t>(sel_)].text : text_;
}

void ComboBox::SetText(const std::string& text) {
  text_ = limit_ > 0 && static_cast<int>(text.size()) > limit_ ? text.substr(0, limit_) : text;
  auto* w = qobject_cast<QComboBox*>(Widget());
  if (!IsDropDownList()) {
    if (w != nullptr) w->lineEdit()->setText(ToQString(text_));
    return;
  }
  // A list shows the line of that text, or the text alone with no line chosen.
  const int i = FindStringExact(text_);
  SetSelIndex(i);
  if (i < 0 && w != nullptr) w->setPlaceholderText(ToQString(text_));
}

void ComboBox::SetTextLimit(int limit) {
  limit_ = std::max(0, limit);
  if (auto* w = qobject_cast<QComboBox*>(Widget()))
    if (w->isEditable()) w->lineEdit()->setMaxLength(limit_ > 0 ? limit_ : 32767);
}

}  // namespace gui
