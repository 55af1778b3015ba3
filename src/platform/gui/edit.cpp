#include "platform/gui/edit.h"

#include "platform/gui/dialog.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>

#include <algorithm>

#include "platform/gui/controls_internal.h"
#include "platform/gui/text_codec.h"

namespace gui {

namespace {

// Multi-line positions: the program counts CR LF, Qt counts one "\n".
int ToProgramPos(const QString& qt, int pos) {
  int n = pos;
  for (int i = 0; i < pos && i < qt.size(); ++i)
    if (qt[i] == '\n') ++n;
  return n;
}

int ToQtPos(const QString& qt, int pos) {
  int prog = 0;
  for (int i = 0; i < qt.size(); ++i) {
    const int step = qt[i] == '\n' ? 2 : 1;
    if (prog + step > pos) return i;
    prog += step;
  }
  return static_cast<int>(qt.size());
}

QString FromProgramText(const std::string& cp1252) {
  QString s = ToQString(cp1252);
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return s;
}

}  // namespace

Edit::Edit(Window* parent, int id, const std::string& text, int textLimit, bool multiLine)
    : Control(parent, id, text, (multiLine ? ctl::MultiLine : 0u) | ctl::TabStop) {
  limit_ = textLimit;
}

QWidget* Edit::CreateWidget(QWidget* parent) {
  if (IsMultiLine()) {
    auto* w = new Hooked<QPlainTextEdit>(parent);
    w->setTabChangesFocus(true);
    w->setLineWrapMode((flags_ & ctl::HScroll) ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
    w->setVerticalScrollBarPolicy((flags_ & ctl::VScroll) ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    w->setReadOnly(IsReadOnly());
    settingText_ = true;
    w->setPlainText(FromProgramText(text_));
    settingText_ = false;
    QObject::connect(w, &QPlainTextEdit::textChanged, w, [this] { Changed(); });
    ApplyCommonStyle(w);
    return w;
  }
  auto* w = new Hooked<QLineEdit>(parent);
  w->setFrame(true);
  w->setReadOnly(IsReadOnly());
  if (flags_ & ctl::Password) w->setEchoMode(QLineEdit::Password);
  if (limit_ > 0) w->setMaxLength(limit_);
  w->setAlignment((flags_ & ctl::Right) ? Qt::AlignRight : (flags_ & ctl::Center) ? Qt::AlignHCenter : Qt::AlignLeft);
  settingText_ = true;
  w->setText(ToQString(text_));
  settingText_ = false;
  QObject::connect(w, &QLineEdit::textChanged, w, [this] { Changed(); });
  ApplyCommonStyle(w);
  return w;
}

void Edit::Changed() {
  if (auto* pe = qobject_cast<QPlainTextEdit*>(Widget())) {
    // Qt has no limit for multi-line text: cut what passes it.
    if (limit_ > 0) {
      const QString t = pe->toPlainText();
      if (ToProgramPos(t, static_cast<int>(t.size())) > limit_) {
        const QSignalBlocker block(pe);
        QTextCursor c = pe->textCursor();
        const int at = c.position();
        pe->setPlainText(t.left(ToQtPos(t, limit_)));
        c = pe->textCursor();
        c.setPosition(std::min(at, static_cast<int>(pe->toPlainText().size())));
        pe->setTextCursor(c);
      }
    }
  }
  if (!settingText_) modified_ = true;
  Notify(EN_CHANGE);
}

std::string Edit::GetText() const {
  if (auto* le = qobject_cast<QLineEdit*>(Widget())) return FromQString(le->text());
  if (auto* pe = qobject_cast<QPlainTextEdit*>(Widget())) {
    QString t = pe->toPlainText();
    t.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return FromQString(t);
  }
  return text_;
}

bool Edit::HoldsOnlyCp1252() const {
  if (auto* le = qobject_cast<QLineEdit*>(Widget())) return FitsCp1252(le->text());
  if (auto* pe = qobject_cast<QPlainTextEdit*>(Widget())) return FitsCp1252(pe->toPlainText());
  return true;
}

void Edit::SetText(const std::string& text) {
  text_ = limit_ > 0 && !IsMultiLine() && static_cast<int>(text.size()) > limit_ ? text.substr(0, limit_) : text;
  settingText_ = true;
  if (auto* le = qobject_cast<QLineEdit*>(Widget())) le->setText(ToQString(text_));
  else if (auto* pe = qobject_cast<QPlainTextEdit*>(Widget())) pe->setPlainText(FromProgramText(text_));
  settingText_ = false;
  modified_ = false;
}

void Edit::SetTextLimit(int limit) {
  limit_ = std::max(0, limit);
  if (auto* le = qobject_cast<QLineEdit*>(Widget())) le->setMaxLength(limit_ > 0 ? limit_ : 32767);
  else if (IsMultiLine()) Changed();
}

void Edit::SetReadOnly(bool readOnly) {
  flags_ = readOnly ? (flags_ | ctl::ReadOnly) : (flags_ & ~ctl::ReadOnly);
  if (auto* le = qobject_cast<QLineEdit*>(Widget())) le->setReadOnly(readOnly);
  else if (auto* pe = qobject_cast<QPlainTextEdit*>(Widget())) pe->setReadOnly(readOnly);
}

void Edit::SetPassword(bool password) {
  flags_ = password ? (flags_ | ctl::Password) : (flags_ & ~ctl::Password);
  if (auto* le = qobject_cast<QLineEdit*>(Widget())) le->setEchoMode(password ? QLineEdit::Password : QLineEdit::Normal);
}

void Edit::GetSelection(int& start, int& end) const {
  start = end = 0;
  if (auto* le = qobject_cast<QLineEdit*>(Widget())) {
    if (le->hasSelectedText()) {
      start = le->selectionStart();
      end = le->selectionEnd();
    } else {
      start = end = le->cursorPosition();
    }
  } else if (auto* pe = qobject_cast<QPlainTextEdit*>(Widget())) {
    const QTextCursor c = pe->textCursor();
    const QString t = pe->toPlainText();
    start = ToProgramPos(t, c.selectionStart());
    end = ToProgramPos(t, c.selectionEnd());
  }
}

void Edit::SetSelection(int start, int end) {
  if (auto* le = qobject_cast<QLineEdit*>(Widget())) {
    const int len = static_cast<int>(le->text().size());
    if (start < 0) {
      le->deselect();
      return;
    }
    if (end < 0 || end > len) end = len;
    start = std::min(start, len);
    if (start == end) {
      le->deselect();
      le->setCursorPosition(end);
    } else {
      le->setSelection(start, end - start);  // caret ends at `end`
    }
  } else if (auto* pe = qobject_cast<QPlainTextEdit*>(Widget())) {
    const QString t = pe->toPlainText();
    QTextCursor c = pe->textCursor();
    if (start < 0) {
      c.clearSelection();
    } else {
      const int qs = ToQtPos(t, start);
      const int qe = end < 0 ? static_cast<int>(t.size()) : ToQtPos(t, end);
      c.setPosition(qs);
      c.setPosition(qe, QTextCursor::KeepAnchor);
    }
    pe->setTextCursor(c);
  }
}

int Edit::GetCaretPos() const {
  if (auto* le = qobject_cast<QLineEdit*>(Widget())) return le->cursorPosition();
  if (auto* pe = qobject_cast<QPlainTextEdit*>(Widget()))
    return ToProgramPos(pe->toPlainText(), pe->textCursor().position());
  return 0;
}

void Edit::ReplaceSelection(const std::string& text) {
  if (auto* le = qobject_cast<QLineEdit*>(Widget())) le->insert(ToQString(text));
  else if (auto* pe = qobject_cast<QPlainTextEdit*>(Widget())) pe->insertPlainText(FromProgramText(text));
}

int Edit::GetLineFromPos(int pos) const {
  auto* pe = qobject_cast<QPlainTextEdit*>(Widget());
  if (pe == nullptr) return 0;
  const QString t = pe->toPlainText();
  const int q = ToQtPos(t, pos);
  return static_cast<int>(t.left(q).count('\n'));
}

bool Edit::IsModified() const { return modified_; }
void Edit::ClearModify() { modified_ = false; }

const ResponseTable& Edit::Table() {
  static const ResponseTable table =
      ResponseTable(&Control::Table())
          .CommandRange(CM_EDITUNDO, CM_EDITDELETE, &Edit::RunEdit)
          .AddEnabler(CM_EDITUNDO, CM_EDITDELETE, [](Window& w, CommandEnabler& ce) {
            ce.Enable(static_cast<Edit&>(w).CanEdit(ce.Id()));
          });
  return table;
}

bool Edit::CanEdit(unsigned command) const {
  QWidget* w = Widget();
  if (w == nullptr || !w->isEnabled()) return false;
  const bool writable = !IsReadOnly();
  bool selection = false, undo = false;
  if (auto* le = qobject_cast<QLineEdit*>(w)) {
    selection = le->hasSelectedText();
    undo = le->isUndoAvailable();
  } else if (auto* pe = qobject_cast<QPlainTextEdit*>(w)) {
    selection = pe->textCursor().hasSelection();
    undo = pe->document()->isUndoAvailable();
  }
  switch (command) {
    case CM_EDITUNDO: return writable && undo;
    case CM_EDITCUT: return writable && selection && !IsPassword();
    case CM_EDITCOPY: return selection && !IsPassword();
    case CM_EDITPASTE: {
      const QClipboard* clipboard = QGuiApplication::clipboard();
      return writable && clipboard != nullptr && !clipboard->text().isEmpty();
    }
    case CM_EDITDELETE: return writable && selection;
    default: return false;
  }
}

void Edit::RunEdit(unsigned command) {
  // The key of a greyed command reaches no handler either: nothing happens.
  if (!CanEdit(command)) return;
  if (auto* le = qobject_cast<QLineEdit*>(Widget())) {
    switch (command) {
      case CM_EDITUNDO: le->undo(); break;
      case CM_EDITCUT: le->cut(); break;
      case CM_EDITCOPY: le->copy(); break;
      case CM_EDITPASTE: le->paste(); break;
      case CM_EDITDELETE: le->del(); break;
      default: break;
    }
  } else if (auto* pe = qobject_cast<QPlainTextEdit*>(Widget())) {
    switch (command) {
      case CM_EDITUNDO: pe->undo(); break;
      case CM_EDITCUT: pe->cut(); break;
      case CM_EDITCOPY: pe->copy(); break;
      case CM_EDITPASTE: pe->paste(); break;
      case CM_EDITDELETE: pe->textCursor().removeSelectedText(); break;
      default: break;
    }
  }
}

void Edit::EvChar(unsigned ch, unsigned repeat, unsigned flags) {
  if (FilterChar(ch)) DefaultProcessing();
}

void Edit::EvKeyUp(int vk, unsigned repeat, unsigned flags) {
  // The line edit keeps the release it sees: the dialog is asked here, not through the release going on.
  if (vk == VK_RETURN)
    if (auto* dialog = dynamic_cast<Dialog*>(Parent()); dialog != nullptr && dialog->PressDefaultOnEnter()) return;
  DefaultProcessing();
}

}  // namespace gui
