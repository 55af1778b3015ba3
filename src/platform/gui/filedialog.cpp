#include "platform/gui/filedialog.h"

#include <algorithm>
#include <cstdlib>

#include <QApplication>
#include <QFileDialog>
#include <QFont>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFontMetrics>
#include <QHeaderView>
#include <QListView>
#include <QPrintDialog>
#include <QPrinter>
#include <QTreeView>

#include "platform/gui/constants.h"
#include "platform/gui/messagebox.h"
#include "platform/gui/modal_seam.h"
#include "platform/gui/text_codec.h"
#include "platform/gui/window.h"
#include "platform/gui/window_widget.h"

namespace gui {

namespace {

QWidget* ParentOf(Window* owner) {
  QWidget* p = owner != nullptr ? owner->OuterWidget() : QApplication::activeWindow();
  return p != nullptr ? p->window() : nullptr;
}

// Qt's own dialog opens small, its names, sizes and dates cut short: it opens wide enough for a line of
// the detail view, each column but the name as wide as what it shows, the places list as wide as its names.
QFileDialog* NewFileDialog(QWidget* parent, ModalKind kind, const std::string& caption, const std::string& filter,
                           const std::string& start) {
  auto* dlg = new QFileDialog(parent, ToQString(caption), ToQString(start), ToQString(ConvertFileFilter(filter)));
  dlg->setOption(QFileDialog::DontUseNativeDialog, true);
  if (kind == ModalKind::Folder) {
    dlg->setFileMode(QFileDialog::Directory);
    dlg->setOption(QFileDialog::ShowDirsOnly, true);
  } else if (kind == ModalKind::FileSave) {
    dlg->setAcceptMode(QFileDialog::AcceptSave);
  } else {
    dlg->setFileMode(QFileDialog::ExistingFile);
  }
  const QFontMetrics fm(dlg->font());
  const QSize hint = dlg->sizeHint();
  dlg->resize(std::max(hint.width(), 100 * fm.averageCharWidth()), std::max(hint.height(), 26 * fm.height()));
  if (auto* tree = dlg->findChild<QTreeView*>("treeView")) {
    QHeaderView* header = tree->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int i = 1; i < header->count(); ++i) header->setSectionResizeMode(i, QHeaderView::ResizeToContents);
  }
  if (auto* places = dlg->findChild<QListView*>("sidebar"))
    places->setMinimumWidth(places->sizeHintForColumn(0) + 2 * places->frameWidth() + fm.averageCharWidth());
  return dlg;
}

bool RunFile(ModalKind kind, Window* owner, const std::string& caption, const std::string& filter,
             const std::string& start, std::string& path) {
  ShownModal shown;
  shown.kind = kind;
  shown.caption = caption;
  shown.text = start;
  shown.filter = filter;
  std::string chosen;
  QString unusable;  // a name the program cannot hold
  // The choice as the system names it: taken in cp1252 or refused, never
  // with '?' in place of a character.
  auto take = [&](const QString& picked) {
    if (FitsCp1252(picked)) chosen = FromQString(picked);
    else unusable = picked;
  };
  int answer = ModalSeam::Run(shown, IDCANCEL, [&](ShownModal& s) {
    auto* dlg = NewFileDialog(ParentOf(owner), kind, caption, filter, start);
    return ExecModal(dlg, IDCANCEL, [&](QFileDialog& d, int r) {
      if (r != QDialog::Accepted || d.selectedFiles().isEmpty()) return IDCANCEL;
      take(d.selectedFiles().front());
      s.path = chosen;
      return unusable.isEmpty() ? IDOK : IDCANCEL;
    });
  });
  if (ModalSeam::TestMode()) {
    const ShownModal* last = ModalSeam::LastShown();
    if (last != nullptr && !last->diskPath.empty()) take(QString::fromUtf8(last->diskPath));
    else chosen = last != nullptr ? last->path : std::string();
  }
  if (!unusable.isEmpty()) {
    MessageBox(owner,
               "Le nom choisi contient un caract\xE8re que le programme ne peut pas enregistrer (marqu\xE9 \xAB ? \xBB "
               "ci-dessous):\n\n   " + FromQString(unusable) + "\n\nRenommez-le (lettres accentu\xE9" "es fran\xE7" "aises "
               "permises) ou choisissez-en un autre.",
               caption, MB_OK | MB_ICONSTOP);
    return false;
  }
  if (answer != IDOK || chosen.empty()) return false;
  path = chosen;
  return true;
}

// The style of a face nearest a weight and slant (the plainest name among equals: "Bold"
// before "Condensed Bold"); empty when the face has none.
QString StyleOfFace(const QString& family, int weight, bool italic) {
  QString best;
  int bestDistance = 0;
  for (const QString& style : QFontDatabase::styles(family)) {
    const int distance =
        std::abs(QFontDatabase::weight(family, style) - weight) + (QFontDatabase::italic(family, style) != italic ? 1000 : 0);
    if (best.isEmpty() || distance < bestDistance || (distance == bestDistance && style.size() < best.size())) {
      best = style;
      bestDistance = distance;
    }
  }
  return best;
}

}  // namespace

std::string ConvertFileFilter(const std::string& f) {
  std::string out;
  size_t pos = 0;
  while (pos < f.size()) {
    size_t bar = f.find('|', pos);
    std::string label = f.substr(pos, bar == std::string::npos ? std::string::npos : bar - pos);
    if (bar == std::string::npos) {
      if (!label.empty()) out += (out.empty() ? "" : ";;") + label;
      break;
    }
    size_t bar2 = f.find('|', bar + 1);
    std::string pattern = f.substr(bar + 1, bar2 == std::string::npos ? std::string::npos : bar2 - bar - 1);
    for (char& c : pattern)
      if (c == ';') c = ' ';
    if (!out.empty()) out += ";;";
    out += label + " (" + pattern + ")";
    if (bar2 == std::string::npos) break;
    pos = bar2 + 1;
  }
  return out;
}

bool GetOpenFileName(Window* owner, const std::string& caption, const std::string& filter,
                     const std::string& start, std::string& path) {
  return RunFile(ModalKind::FileOpen, owner, caption, filter, start, path);
}

namespace {
std::function<std::string(const std::string&)>& WriteTargetCheck() {
  static std::function<std::string(const std::string&)> check;
  return check;
}
}  // namespace

void SetWriteTargetCheck(std::function<std::string(const std::string& path)> check) {
  WriteTargetCheck() = std::move(check);
}

std::string CheckWriteTarget(const std::string& path) {
  return WriteTargetCheck() ? WriteTargetCheck()(path) : std::string();
}

bool GetSaveFileName(Window* owner, const std::string& caption, const std::string& filter,
                     const std::string& start, std::string& path) {
  std::string from = start;
  for (;;) {
    std::string chosen;
    if (!RunFile(ModalKind::FileSave, owner, caption, filter, from, chosen)) return false;
    const std::string refusal = CheckWriteTarget(chosen);
    if (refusal.empty()) {
      path = chosen;
      return true;
    }
    MessageBox(owner, refusal, caption, MB_OK | MB_ICONSTOP);
    // A test that queued no other choice must not hang.
    if (ModalSeam::TestMode() && ModalSeam::PendingAnswers() == 0) return false;
    from = chosen;
  }
}

bool BrowseForFolder(Window* owner, const std::string& caption, const std::string& start,
                     std::string& folder) {
  return RunFile(ModalKind::Folder, owner, caption, std::string(), start, folder);
}

int PrintSetupDialog(Window* owner, QPrinter& printer, const std::string& caption, bool* fileFixed) {
  if (fileFixed != nullptr) *fileFixed = false;
  ShownModal shown;
  shown.kind = ModalKind::PrintSetup;
  shown.caption = caption;
  const int answer = ModalSeam::Run(shown, IDCANCEL, [&](ShownModal&) {
    auto* dlg = new QPrintDialog(&printer, ParentOf(owner));
    if (!caption.empty()) dlg->setWindowTitle(ToQString(caption));
    dlg->setOption(QAbstractPrintDialog::PrintSelection, false);
    dlg->setOption(QAbstractPrintDialog::PrintPageRange, false);
    // The PDF-file printer is one of the printers offered (the only one where none is installed).
    dlg->setOption(QAbstractPrintDialog::PrintToFile, true);
    return ExecModal(dlg, IDCANCEL, [](QPrintDialog&, int r) { return r == QDialog::Accepted ? IDOK : IDCANCEL; });
  });
  // A test's accepted set-up may name a PDF file: the printer prints there.
  const ShownModal* last = ModalSeam::LastShown();
  if (ModalSeam::TestMode() && answer == IDOK && last != nullptr && last->kind == ModalKind::PrintSetup &&
      !last->path.empty()) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(ToQString(last->path));
    if (fileFixed != nullptr) *fileFixed = true;
  }
  // A PDF file named in the set-up is checked as a save dialog's choice.
  if (answer == IDOK && printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty()) {
    const std::string refusal = CheckWriteTarget(FromQString(printer.outputFileName()));
    if (!refusal.empty()) {
      MessageBox(owner, refusal, caption, MB_OK | MB_ICONSTOP);
      printer.setOutputFileName(QString());
      if (fileFixed != nullptr) *fileFixed = false;
      return IDCANCEL;
    }
  }
  return answer;
}

int ChooseFontDialog(Window* owner, const std::string& caption, FontChoice& font) {
  ShownModal shown;
  shown.kind = ModalKind::Font;
  shown.caption = caption;
  shown.text = font.face;
  shown.font = ModalFont{font.face, font.points, font.weight};
  FontChoice picked = font;
  int answer = ModalSeam::Run(shown, IDCANCEL, [&](ShownModal& s) {
    const QString family = font.face.empty() ? QFont().family() : ToQString(font.face);
    const int weight = std::clamp(font.weight > 0 ? font.weight : 400, 100, 900);
    QFont initial(family, font.points > 0 ? font.points : 12, weight, font.italic);
    // The dialog selects its style by name: the face's own name of that weight and slant.
    const QString style = StyleOfFace(family, weight, font.italic);
    if (!style.isEmpty()) initial.setStyleName(style);
    initial.setUnderline(font.underline);
    QFontDialog dlg(initial, ParentOf(owner));
    dlg.setOption(QFontDialog::DontUseNativeDialog, true);
    if (!caption.empty()) dlg.setWindowTitle(ToQString(caption));
    if (dlg.exec() != QDialog::Accepted) return IDCANCEL;
    const QFont chosen = dlg.selectedFont();
    if (!FitsCp1252(chosen.family())) return IDCANCEL;
    picked.face = FromQString(chosen.family());
    picked.points = chosen.pointSizeF() > 0 ? qRound(chosen.pointSizeF()) : font.points;
    picked.weight = chosen.weight();
    picked.italic = chosen.italic();
    picked.underline = chosen.underline();
    s.chosenFont = ModalFont{picked.face, picked.points, picked.weight};
    return IDOK;
  });
  if (ModalSeam::TestMode()) {
    // The queued font; its style stays the one offered.
    const ShownModal* last = ModalSeam::LastShown();
    if (last == nullptr || last->chosenFont.face.empty()) return IDCANCEL;
    picked.face = last->chosenFont.face;
    picked.points = last->chosenFont.points;
    picked.weight = last->chosenFont.weight;
  }
  if (answer != IDOK || picked.face.empty()) return IDCANCEL;
  font = picked;
  return IDOK;
}

QWidget* NewFileDialogWidget(const std::string& caption, const std::string& filter, const std::string& startFolder) {
  return NewFileDialog(nullptr, ModalKind::FileOpen, caption, filter, startFolder);
}

}  // namespace gui
