#include "dossier/backup_settings.h"

#include "controls/control_env.h"
#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "data/dossier_files.h"
#include "platform/gui/application.h"
#include "platform/gui/constants.h"
#include "platform/gui/controls.h"
#include "resources/string_table.h"
#include "runtime/inifiles.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "shell/cursors.h"
#include "shell/mdi_client.h"

namespace {

constexpr int kText = TDConfSauvegarde::kText, kUnit2Label = 1205, kUnit2 = TDConfSauvegarde::kUnit2;
constexpr int kCommentLabel = 1202, kComment = TDConfSauvegarde::kComment;
constexpr int kModify = TDConfSauvegarde::kModifyUnit2, kChoose = TDConfSauvegarde::kChooseUnit2;
constexpr int kUnit2Width = 100, kCommentWidth = 30;

// The texts of the dialog, by their ids in the string table.
constexpr int kBackupPlaceholders = 2575;  // the placeholders and weekdays of a backup folder, packed
constexpr int kUnit2Chars = 3064;          // the characters a unit 2 folder may hold, "/" aside
constexpr int kCommentChars = 3065;
constexpr int kUnit2IniKey = 3505;
constexpr int kAskBackup = 3506;           // the dossier's code, its folder, unit 1
constexpr int kAskBackupUnit2 = 3509;      // unit 2
constexpr int kAskBackupEnd = 3510;
constexpr int kTitleChooseUnit2 = 3511;

// "-" and the comment put before the last character (the final "/").
void AddComment(std::string& target, const std::string& comment) {
  if (comment.empty() || target.empty()) return;
  target.insert(target.size() - 1, "-" + comment);
}

}  // namespace

std::string InitialUnit2() {
  std::string value = IniGetString(LoadStr(kUnit2IniKey), "");
  if (value.size() > kBackupTargetRoom) value.resize(kBackupTargetRoom);
  const std::string placeholder = SubStr(LoadStr(kBackupPlaceholders), 35, 8);  // "%defaut%"
  if (!placeholder.empty()) {
    const std::size_t at = LowerAscii(value).find(LowerAscii(placeholder));
    if (at != std::string::npos) value.erase(at, placeholder.size());
  }
  if (value.size() > static_cast<std::size_t>(kUnit2Width)) value.resize(kUnit2Width);
  return value;
}

BackupTargets BuildBackupTargets(const std::string& relative, const std::string& unit2Edit,
                                 const std::string& commentEdit) {
  BackupTargets t;
  t.relative = relative;
  t.comment = Trimmed(commentEdit);
  t.unit1 = DossierFolder + relative;
  AddComment(t.unit1, t.comment);
  const std::string unit2 = Trimmed(unit2Edit);
  if (!unit2.empty()) {
    t.unit2Folder = unit2;
    t.unit2 = unit2;
    if (t.unit2.back() != '/') t.unit2 += '/';
    t.unit2 += relative;
    AddComment(t.unit2, t.comment);
  }
  t.fits = t.unit1.size() <= kBackupTargetRoom && t.unit2.size() <= kBackupTargetRoom;
  t.confirmation = FillPlaceholders(LoadStr(kAskBackup), {RTrim(DossierCode.c_str()), DossierFolder, t.unit1});
  if (!IsBlank(t.unit2)) t.confirmation += FillPlaceholder(LoadStr(kAskBackupUnit2), t.unit2);
  t.confirmation += LoadStr(kAskBackupEnd);
  return t;
}

std::string Unit2AllowedChars() { return LoadStr(kUnit2Chars) + std::string("/"); }
std::string CommentAllowedChars() { return LoadStr(kCommentChars); }

// ---- the dialog --------------------------------------------------------------

TDConfSauvegarde::TDConfSauvegarde(gui::Window* parent, int resourceId, const std::string& relativeFolder)
    : TDNuv(parent, resourceId, true), relative_(relativeFolder) {
  for (int id : {kText, kUnit2Label, kCommentLabel}) new MStatic(kOnTemplate, this, id);
  auto* unit2 = new MEdit(kOnTemplate, this, kUnit2, kUnit2Width, 1, true, MEdit::kText, 0);
  unit2->SetAllowedChars(Unit2AllowedChars());
  auto* comment = new MEdit(kOnTemplate, this, kComment, kCommentWidth, 1, true, MEdit::kText, 0);
  comment->SetAllowedChars(CommentAllowedChars());
  new MCheckBox(kOnTemplate, this, kModify);
  for (int id : {1, 2, kChoose}) new MButton(kOnTemplate, this, id);
}

const gui::ResponseTable& TDConfSauvegarde::Table() {
  static const gui::ResponseTable table = gui::ResponseTable(&gui::Dialog::Table())
                                              .Command(kModify, &TDConfSauvegarde::CmModifierUnite2)
                                              .Command(kChoose, &TDConfSauvegarde::CmChoisirUnite2);
  return table;
}

void TDConfSauvegarde::SetupWindow() {
  TDNuv::SetupWindow();
  if (auto* e = Item<MEdit>(kUnit2)) e->SetValue(InitialUnit2(), true);
  BuildTexts();
  SetCheck(kModify, gui::BST_UNCHECKED);
  EnableItem(kUnit2, false);
  EnableItem(kChoose, false);
  if (auto* e = Item<MEdit>(kComment)) e->FocusSelect(true);
}

void TDConfSauvegarde::BuildTexts() {
  targets_ = BuildBackupTargets(relative_, GetItemText(kUnit2), GetItemText(kComment));
  SetItemText(kText, targets_.confirmation);
}

void TDConfSauvegarde::EvChildNotify(int id, unsigned code, gui::Handle control) {
  if (code == gui::EN_CHANGE && (id == kUnit2 || id == kComment)) {
    BuildTexts();
    return;
  }
  TDNuv::EvChildNotify(id, code, control);
}

void TDConfSauvegarde::CmModifierUnite2() {
  const bool on = GetCheck(kModify) == gui::BST_CHECKED;
  EnableItem(kUnit2, on);
  EnableItem(kChoose, on);
  if (on) {
    if (auto* e = Item<MEdit>(kUnit2)) e->FocusSelect(true);
  } else {
    FocusItem(kComment);
  }
}

void TDConfSauvegarde::CmChoisirUnite2() {
  if (BrowseForFolder(this, LoadStr(kTitleChooseUnit2), GetItemText(kUnit2))) {
    std::string folder = ScratchText;
    if (folder.size() > static_cast<std::size_t>(kUnit2Width)) folder.resize(kUnit2Width);
    SetItemText(kUnit2, folder);
    BuildTexts();
  }
  if (auto* e = Item<MEdit>(kUnit2)) e->FocusSelect(true);
}

// "&Oui": the texts as shown; a destination too long for the backup's
// command is refused rather than cut.
void TDConfSauvegarde::CmOk() {
  BuildTexts();
  if (!targets_.fits) {
    gui::MessageBeep(0);
    FocusItem(kComment);
    return;
  }
  TDNuv::CmOk();
}
