#include "platform/gui/messagebox.h"

#include <QApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSpacerItem>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

#include "platform/gui/constants.h"
#include "platform/gui/modal_seam.h"
#include "platform/gui/text_codec.h"
#include "platform/gui/window.h"
#include "platform/gui/window_widget.h"

namespace gui {

namespace {

constexpr int kOk[] = {IDOK};
constexpr int kOkCancel[] = {IDOK, IDCANCEL};
constexpr int kAbortRetryIgnore[] = {IDABORT, IDRETRY, IDIGNORE};
constexpr int kYesNoCancel[] = {IDYES, IDNO, IDCANCEL};
constexpr int kYesNo[] = {IDYES, IDNO};
constexpr int kRetryCancel[] = {IDRETRY, IDCANCEL};

const char* ButtonText(int answer) {
  switch (answer) {
    case IDOK: return "OK";
    case IDCANCEL: return "Annuler";
    case IDABORT: return "&Abandonner";
    case IDRETRY: return "&R\xE9" "essayer";
    case IDIGNORE: return "&Ignorer";
    case IDYES: return "&Oui";
    case IDNO: return "&Non";
    default: return "?";
  }
}

// The text as the box shows it: the blank between two digits (an amount grouped by threes,
// "99 999 999 999,99") a blank that does not break, so that a wrapped line never cuts a number.
QString NumbersKeptWhole(QString text) {
  for (qsizetype i = 1; i + 1 < text.size(); ++i)
    if (text[i] == QLatin1Char(' ') && text[i - 1].isDigit() && text[i + 1].isDigit()) text[i] = QChar(0x00A0);
  return text;
}

// Our own box rather than QMessageBox: the texts keep their blank lines and
// layout, and the buttons are exactly the Windows sets.
class BoxDialog : public QDialog {
 public:
  BoxDialog(QWidget* parent, const std::string& text, const std::string& caption, unsigned style)
      : QDialog(parent), dismiss_(MessageBoxDismissAnswer(style)) {
    setWindowTitle(ToQString(caption));
    setModal(true);
    auto* outer = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    QStyle::StandardPixmap pix = QStyle::SP_CustomBase;
    switch (style & MB_ICONMASK) {
      case MB_ICONHAND: pix = QStyle::SP_MessageBoxCritical; break;
      case MB_ICONQUESTION: pix = QStyle::SP_MessageBoxQuestion; break;
      case MB_ICONEXCLAMATION: pix = QStyle::SP_MessageBoxWarning; break;
      case MB_ICONINFORMATION: pix = QStyle::SP_MessageBoxInformation; break;
      default: break;
    }
    if (pix != QStyle::SP_CustomBase) {
      auto* icon = new QLabel(this);
      icon->setPixmap(style_()->standardIcon(pix).pixmap(32, 32));
      icon->setAlignment(Qt::AlignTop);
      row->addWidget(icon);
    }
    auto* label = new QLabel(this);
    label->setTextFormat(Qt::PlainText);
    label->setText(NumbersKeptWhole(ToQString(text)));
    // A line wider than five eighths of the screen is wrapped at that width, as the system's own boxes
    // do: a long sentence (a path, a reason) never takes the box past the screen's edge.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const int widest = screen != nullptr ? screen->availableGeometry().width() * 5 / 8 : 800;
    const QFontMetrics metrics(label->font());
    int longest = 0;
    for (const QString& line : label->text().split(QLatin1Char('\n')))
      longest = std::max(longest, metrics.horizontalAdvance(line));
    if (longest > widest) {
      label->setWordWrap(true);
      label->setFixedWidth(widest);
    }
    row->addWidget(label, 1);
    outer->addLayout(row);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    int count = 0;
    const int* ids = MessageBoxButtons(style, &count);
    int def = MessageBoxDefaultAnswer(style);
    for (int i = 0; i < count; ++i) {
      auto* b = new QPushButton(ToQString(ButtonText(ids[i])), this);
      int answer = ids[i];
      connect(b, &QPushButton::clicked, this, [this, answer] { done(answer); });
      if (answer == def) {
        b->setDefault(true);
        b->setFocus();
      }
      buttons->addWidget(b);
    }
    buttons->addStretch(1);
    outer->addLayout(buttons);
    // A short text makes a narrow box: it is widened so that the title bar shows the caption whole.
    const QMargins m = outer->contentsMargins();
    const int captionRoom = CaptionWidth(windowTitle()) - m.left() - m.right();
    if (captionRoom > 0) outer->addItem(new QSpacerItem(captionRoom, 0, QSizePolicy::Minimum, QSizePolicy::Fixed));
  }

  void reject() override {
    // Escape and the close box only end a box that has a way out.
    if (dismiss_ != 0) done(dismiss_);
  }

 private:
  QStyle* style_() const { return QApplication::style(); }
  int dismiss_;
};

}  // namespace

const int* MessageBoxButtons(unsigned style, int* count) {
  switch (style & MB_TYPEMASK) {
    case MB_OKCANCEL: *count = 2; return kOkCancel;
    case MB_ABORTRETRYIGNORE: *count = 3; return kAbortRetryIgnore;
    case MB_YESNOCANCEL: *count = 3; return kYesNoCancel;
    case MB_YESNO: *count = 2; return kYesNo;
    case MB_RETRYCANCEL: *count = 2; return kRetryCancel;
    default: *count = 1; return kOk;
  }
}

int MessageBoxDefaultAnswer(unsigned style) {
  int count = 0;
  const int* ids = MessageBoxButtons(style, &count);
  int index = static_cast<int>((style & MB_DEFMASK) >> 8);
  return index < count ? ids[index] : ids[0];
}

int MessageBoxDismissAnswer(unsigned style) {
  switch (style & MB_TYPEMASK) {
    case MB_OK: return IDOK;
    case MB_OKCANCEL:
    case MB_YESNOCANCEL:
    case MB_RETRYCANCEL: return IDCANCEL;
    default: return 0;  // Yes/No and Abort/Retry/Ignore need a button
  }
}

QWidget* NewMessageBoxWidget(const std::string& text, const std::string& caption, unsigned style) {
  return new BoxDialog(nullptr, text, caption, style);
}

int MessageBox(Window* owner, const std::string& text, const std::string& caption, unsigned style) {
  ShownModal shown;
  shown.kind = ModalKind::MessageBox;
  shown.caption = caption;
  shown.text = text;
  shown.style = style;
  shown.buttons = style & MB_TYPEMASK;
  shown.icon = style & MB_ICONMASK;
  shown.defaultButton = MessageBoxDefaultAnswer(style);
  int dismiss = MessageBoxDismissAnswer(style);
  int fallback = dismiss != 0 ? dismiss : shown.defaultButton;
  return ModalSeam::Run(shown, fallback, [&](ShownModal& s) {
    QWidget* parent = owner != nullptr ? owner->OuterWidget() : QApplication::activeWindow();
    if (parent != nullptr) parent = parent->window();
    auto* box = new BoxDialog(parent, text, caption, style);
    if (ModalSeam::TestMode()) {
      // Built for a test: shown to it, then ended with the seam's answer.
      QTimer::singleShot(0, box, [box, answer = s.answer] {
        ModalSeam::SeeBuilt(box);
        box->done(answer);
      });
    }
    return ExecModal(box, fallback, [fallback](BoxDialog&, int r) { return r > 0 ? r : fallback; });
  });
}

}  // namespace gui
