#include "platform/gui/listbox.h"

#include <QApplication>
#include <QListWidget>
#include <QPainter>
#include <QStyledItemDelegate>

#include <algorithm>

#include "platform/gui/controls_internal.h"
#include "platform/gui/text_codec.h"

namespace gui {

namespace {
// Tab stops: lines with tabs show their columns aligned.
QString Shown(const std::string& text, bool tabs) {
  QString s = ToQString(text);
  if (!tabs) s.replace('\t', ' ');
  return s;
}
}  // namespace

class ListBoxDelegate : public QStyledItemDelegate {
 public:
  ListBoxDelegate(ListBox* owner, QObject* parent) : QStyledItemDelegate(parent), owner_(owner) {}
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    PainterDC dc(painter);
    const QRect r = option.rect;
    owner_->DrawItem(dc, index.row(), Box{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()},
                     (option.state & QStyle::State_Selected) != 0, (option.state & QStyle::State_HasFocus) != 0);
  }
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize s = QStyledItemDelegate::sizeHint(option, index);
    if (owner_->itemHeight_ > 0) s.setHeight(owner_->itemHeight_);
    return s;
  }

 private:
  ListBox* owner_;
};

// Lines drawn in two columns: the text after the first tab at the list's
// tab stop, so that names line up behind codes of different lengths.
class TabStopDelegate : public QStyledItemDelegate {
 public:
  TabStopDelegate(ListBox* owner, QObject* parent) : QStyledItemDelegate(parent), owner_(owner) {}
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    const QString text = opt.text;
    opt.text.clear();
    const QWidget* w = opt.widget;
    QStyle* style = w != nullptr ? w->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, w);
    const QRect r = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, w);
    painter->save();
    painter->setPen(opt.palette.color((opt.state & QStyle::State_Selected) ? QPalette::HighlightedText : QPalette::Text));
    const qsizetype tab = text.indexOf('\t');
    const int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;
    painter->drawText(r, flags, tab < 0 ? text : text.left(tab));
    if (tab >= 0) {
      QString rest = text.mid(tab + 1);
      rest.replace('\t', ' ');
      painter->drawText(r.adjusted(owner_->tabStop_, 0, 0, 0), flags, rest);
    }
    painter->restore();
  }
  // As wide as the line is drawn, so that a list with a horizontal scroll bar reaches the end of its second column.
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize s = QStyledItemDelegate::sizeHint(option, index);
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    const qsizetype tab = opt.text.indexOf('\t');
    if (tab < 0) return s;
    QString rest = opt.text.mid(tab + 1);
    rest.replace('\t', ' ');
    const QFontMetrics metrics(opt.font);
    const int margins = 2 * (QApplication::style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
    const int drawn = std::max(metrics.horizontalAdvance(opt.text.left(tab)), owner_->tabStop_) +
                      metrics.horizontalAdvance(rest) + margins;
    s.setWidth(std::max(s.width(), drawn));
    return s;
  }

 private:
  ListBox* owner_;
};

ListBox::ListBox(Window* parent, int id, unsigned flags) : Control(parent, id, {}, flags) {}

void ListBox::SetTabStop(int pixels) {
  tabStop_ = std::max(0, pixels);
  auto* w = qobject_cast<QListWidget*>(Widget());
  if (w != nullptr && !IsOwnerDrawn() && tabStop_ > 0) w->setItemDelegate(new TabStopDelegate(this, w));
  if (w != nullptr) w->viewport()->update();
}

QWidget* ListBox::CreateWidget(QWidget* parent) {
  auto* w = new Hooked<QListWidget>(parent);
  w->setSelectionMode((flags_ & ctl::MultiSelect) ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
  // Lines of one size, unless the list scrolls sideways: its width is then that of its widest line.
  w->setUniformItemSizes(!(flags_ & ctl::HScroll));
  w->setHorizontalScrollBarPolicy((flags_ & ctl::HScroll) ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
  if (IsOwnerDrawn()) w->setItemDelegate(new ListBoxDelegate(this, w));
  else if (tabStop_ > 0) w->setItemDelegate(new TabStopDelegate(this, w));
  if (!(flags_ & ctl::Border) && IsOwnerDrawn()) w->setFrameShape(QFrame::NoFrame);
  QObject::connect(w, &QListWidget::itemSelectionChanged, w, [this] {
    if (!quiet_) Notify(LBN_SELCHANGE);
  });
  QObject::connect(w, &QListWidget::itemClicked, w, [this, w](QListWidgetItem* item) { EvItemClick(w->row(item)); });
  QObject::connect(w, &QListWidget::itemDoubleClicked, w,
                   [this, w](QListWidgetItem* item) { EvItemDoubleClick(w->row(item)); });
  ApplyCommonStyle(w);
  quiet_ = true;
  for (const Line& l : lines_) w->addItem(Shown(l.text, flags_ & ctl::UseTabStops));
  quiet_ = false;
  return w;
}

void ListBox::Refill() {
  auto* w = qobject_cast<QListWidget*>(Widget());
  if (w == nullptr) return;
  quiet_ = true;
  w->clear();
  for (const Line& l : lines_) w->addItem(Shown(l.text, flags_ & ctl::UseTabStops));
  quiet_ = false;
}

int ListBox::AddString(const std::string& text) {
  int at = GetCount();
  if (flags_ & ctl::Sort)
    at = static_cast<int>(std::upper_bound(lines_.begin(), lines_.end(), text,
                                           [](const std::string& t, const Line& l) { return t < l.text; }) -
                          lines_.begin());
  return InsertString(text, at);
}

int ListBox::InsertString(const std::string& text, int index) {
  if (index < 0 || index > GetCount()) index = GetCount();
  lines_.insert(lines_.begin() + index, Line{text, 0});
  if (auto* w = qobject_cast<QListWidget*>(Widget())) {
    quiet_ = true;
    w->insertItem(index, Shown(text, flags_ & ctl::UseTabStops));
    quiet_ = false;
  }
  return index;
}

int ListBox::DeleteString(int index) {
  if (index < 0 || index >= GetCount()) return LB_ERR;
  lines_.erase(lines_.begin() + index);
  if (auto* w = qobject_cast<QListWidget*>(Widget())) {
    quiet_ = true;
    delete w->takeItem(index);
    quiet_ = false;
  }
  return GetCount();
}

void ListBox::ClearList() {
  lines_.clear();
  Refill();
}

int ListBox::GetCount() const { return static_cast<int>(lines_.size()); }

std::string ListBox::GetString(int index) const {
  return index >= 0 && index < GetCount() ? lines_[static_cast<std::size_t>(index)].text : std::string();
}

int ListBox::GetStringLen(int index) const {
  return index >= 0 && index < GetCount() ? static_cast<int>(lines_[static_cast<std::size_t>(index)].text.size()) : LB_ERR;
}

void ListBox::SetItemData(int index, std::uintptr_t data) {
  if (index >= 0 && index < GetCount()) lines_[static_cast<std::size_t>(index)].data = data;
}

std::uintptr_t ListBox::GetItemData(int index) const {
  return index >= 0 && index < GetCount() ? lines_[static_cast<std::size_t>(index)].data : 0;
}

int ListBox::FindString(const std::string& prefix, int start) const {
  const int i = FindLine(lines_, prefix, start, false);
  return i < 0 ? LB_ERR : i;
}

int ListBox::FindStringExact(const std::string& text, int start) const {
  const int i = FindLine(lines_, text, start, true);
  return i < 0 ? LB_ERR : i;
}

int ListBox::GetSelIndex() const {
  auto* w = qobject_cast<QListWidget*>(Widget());
  if (w == nullptr) return LB_ERR;
  const auto sel = w->selectedItems();
  if (sel.isEmpty()) return LB_ERR;
  return (flags_ & ctl::MultiSelect) ? w->currentRow() : w->row(sel.front());
}

int ListBox::SetSelIndex(int index) {
  auto* w = qobject_cast<QListWidget*>(Widget());
  if (w == nullptr || index >= GetCount()) return LB_ERR;
  quiet_ = true;
  if (index < 0) {
    w->clearSelection();
  } else {
    w->setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
    w->scrollToItem(w->item(index));
  }
  quiet_ = false;
  return index < 0 ? LB_ERR : index;
}

int ListBox::GetSelCount() const {
  auto* w = qobject_cast<QListWidget*>(Widget());
  return w == nullptr ? 0 : static_cast<int>(w->selectedItems().size());
}

std::vector<int> ListBox::GetSelIndexes() const {
  std::vector<int> out;
  if (auto* w = qobject_cast<QListWidget*>(Widget())) {
    for (QListWidgetItem* it : w->selectedItems()) out.push_back(w->row(it));
    std::sort(out.begin(), out.end());
  }
  return out;
}

void ListBox::SetSel(int index, bool select) {
  auto* w = qobject_cast<QListWidget*>(Widget());
  if (w == nullptr || index < 0 || index >= GetCount()) return;
  quiet_ = true;
  w->item(index)->setSelected(select);
  quiet_ = false;
}

int ListBox::GetTopIndex() const {
  auto* w = qobject_cast<QListWidget*>(Widget());
  if (w == nullptr) return 0;
  QListWidgetItem* it = w->itemAt(2, 2);
  return it != nullptr ? w->row(it) : 0;
}

void ListBox::SetTopIndex(int index) {
  auto* w = qobject_cast<QListWidget*>(Widget());
  if (w != nullptr && index >= 0 && index < GetCount())
    w->scrollToItem(w->item(index), QAbstractItemView::PositionAtTop);
}

void ListBox::SetItemHeight(int pixels) {
  itemHeight_ = std::max(0, pixels);
  if (auto* w = qobject_cast<QListWidget*>(Widget())) w->doItemsLayout();
}

void ListBox::DrawItem(DC& dc, int index, const Box& rect, bool selected, bool focused) {
  dc.FillSolidRect(rect, GetSysColor(selected ? SysColor::Highlight : SysColor::Window));
  dc.SetBkMode(TRANSPARENT);
  dc.SetTextColor(GetSysColor(selected ? SysColor::HighlightText : SysColor::WindowText));
  Box r{rect.left + 2, rect.top, rect.right, rect.bottom};
  dc.DrawText(GetString(index), r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_EXPANDTABS);
  if (focused) dc.DrawFocusRect(rect);
}

}  // namespace gui
