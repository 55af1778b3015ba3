#include "processing/code_copy_dialogs.h"

#include <memory>

#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "data/dossier_files.h"
#include "data/dossier_lock.h"
#include "data/session.h"
#include "data/table.h"
#include "dossier/core/dossier_run_marker.h"
#include "dossier/dossier_password.h"
#include "framework/browse.h"
#include "framework/browse_services.h"
#include "framework/lookup_dialog.h"
#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/filedialog.h"
#include "platform/gui/messagebox.h"
#include "processing/core/code_copy.h"
#include "processing/core/transfer_tables.h"
#include "resources/string_table.h"
#include "runtime/code_helpers.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "shell/cursors.h"
#include "shell/graphics.h"

using processing::CodeCopyKind;
using processing::OtherDossier;

namespace {

constexpr int kFilter = 1189;
constexpr int kDossierCodeWidth = 5;
constexpr int kAccessRight = 1, kAddToOtherRight = 7;

// Texts of the dialogs (processing.txt): kReceiverNotExclusive names the file, kCopying the code.
enum : int {
  kEnterFirst = 29400, kEnterLast = 29401, kFirstUnknown = 29402, kLastUnknown = 29403, kBadLast = 29404,
  kEnterDossier = 29405, kOpenDossier = 29406, kNoDossier = 29407, kReceiverNotExclusive = 29408,
  kCopying = 29409, kChooseTo = 29410, kChooseFrom = 29411, kBusyCaption = 2271,
};

// The general file of the dossier opens for reading.
bool GeneralFileOpens(const OtherDossier& d) {
  ::Table t;
  return t.OpenShared(processing::OtherPathC10(d), "", true);
}

// The global table object of the kind (the lookup list reads it).
::Table*& GlobalTableOf(const CodeCopyKind& k) {
  if (k.table == '2') return TableC20;
  if (k.table == '3') return TableC30;
  return TableC10;
}

// The arrow again after the busy cursor of a copy.
void RestoreCursor() {
  SetAppCursor(0, false);
  ResetCursorState();
}

}  // namespace

// ---- shared part ---------------------------------------------------------------------------------

CodeCopyDialog::CodeCopyDialog(gui::Window* parent, int resourceId, const std::string& kind, int codeWidth,
                               int rightsFunction, int chooserTitle)
    : TDNuv(parent, resourceId, false),
      kind_(kind.substr(0, 1)),
      width_(codeWidth),
      rightsFunction_(rightsFunction),
      chooserTitle_(chooserTitle) {
  other_.folder = DossierFolder;
  title_ = new MRStatic(kOnTemplate, this, kTitle);
  for (int id : {kFirstLabel, kLastLabel, kDossierLabel, kOnLabel}) new MStatic(kOnTemplate, this, id);
  dossier_ = new MEdit(kOnTemplate, this, kDossier, kDossierCodeWidth, 1, true, MEdit::kText, 0);
  first_ = new MEdit(kOnTemplate, this, kFirst, width_, 1, true, MEdit::kText, 0);
  last_ = new MEdit(kOnTemplate, this, kLast, width_, 1, true, MEdit::kText, 0);
  message_ = new MStatic(kOnTemplate, this, kMessage);
  folder_ = new MStatic(kOnTemplate, this, kFolder);
  chooser_ = new MButton(kOnTemplate, this, kChooser);
  new MButton(kOnTemplate, this, kFirstHelp);
  new MButton(kOnTemplate, this, kLastHelp);
  new MButton(kOnTemplate, this, gui::IDOK);
  new MButton(kOnTemplate, this, gui::IDCANCEL);
  dossier_->SetF8Command(kChooser);
  first_->SetF8Command(kFirstHelp);
  last_->SetF8Command(kLastHelp);
}

const gui::ResponseTable& CodeCopyDialog::Table() {
  static const gui::ResponseTable table = gui::ResponseTable(&gui::Dialog::Table())
                                              .Command(kChooser, &CodeCopyDialog::CmChooser)
                                              .Command(kFirstHelp, &CodeCopyDialog::CmFirstHelp)
                                              .Command(kLastHelp, &CodeCopyDialog::CmLastHelp);
  return table;
}

void CodeCopyDialog::SetupWindow() {
  TDNuv::SetupWindow();
  for (MEdit* e : {dossier_, first_, last_}) e->SetFont(EntryFont);
  message_->SetFont(EntryFont);
  title_->SetText(FileTitleForType(kind_.c_str()));
  title_->DrawFrame();
  folder_->SetText(other_.folder);
}

std::string CodeCopyDialog::Message() const { return message_->GetText(); }

void CodeCopyDialog::SetMessage(const std::string& text) { message_->SetText(text); }

bool CodeCopyDialog::Refuse(int textId, MEdit* focus) {
  gui::MessageBeep(0);
  SetMessage(LoadStr(textId));
  if (focus != nullptr) {
    focus->FocusSelect(true);
    focus->SetSelection(0, -1);
  } else {
    chooser_->SetFocus();
  }
  return false;
}

std::string CodeCopyDialog::CodeOf(MEdit* edit) const {
  return processing::CodeOfWidth(Upper(RTrim(edit->GetText().c_str())), width_);
}

OtherDossier CodeCopyDialog::OtherOfEdit() const {
  OtherDossier d = other_;
  d.code = Upper(AllTrim(dossier_->GetText().c_str()));
  return d;
}

void CodeCopyDialog::ShowBusy() {
  gui::MessageBeep(0);
  gui::MessageBox(this, processing::OtherDossierBusyText(), processing::OtherDossierBusyCaption(),
                  gui::MB_OK | gui::MB_ICONHAND);
}

CodeCopyDialog::Access CodeCopyDialog::AskPassword(const OtherDossier& other, bool writes) {
  if (!granted_.code.empty() && granted_.code == other.code && granted_.folder == other.folder) return Access::Given;
  DossierRecord record;
  if (!processing::LoadDossierRecordOf(other, &record)) return Access::Unreadable;
  // Read with the secondary password: the list's codes seen and added to another dossier.
  const std::vector<ReadRight> reads = {{rightsFunction_, kAccessRight}, {rightsFunction_, kAddToOtherRight}};
  if (!CheckOtherDossierPassword(this, other.folder, other.code, record, writes, reads)) {
    EndDialog(gui::IDCANCEL);
    return Access::Ended;
  }
  granted_ = other;
  return Access::Given;
}

void CodeCopyDialog::CmChooser() {
  std::string path;
  OtherDossier chosen;
  if (!gui::GetOpenFileName(this, LoadStr(chooserTitle_), LoadStr(kFilter), other_.folder, path) ||
      !processing::OtherDossierOfFile(path, &chosen) || processing::IsOpenDossier(chosen)) {
    gui::MessageBeep(0);
    chooser_->SetFocus();
    return;
  }
  other_.folder = chosen.folder;
  folder_->SetText(chosen.folder);
  dossier_->SetText(chosen.code);
}

void CodeCopyDialog::RunLookup(MEdit* field, bool first) {
  std::string result = CodeOf(field);
  TDAideFichier dialog(this, nullptr, kind_, width_, &result);
  if (dialog.Execute(kTaskModal) == gui::IDOK) {
    field->SetText(RTrim(result.c_str()));
    // A last code below the new first one is cleared.
    if (first && !IsBlank(last_->GetText()) && processing::CompareCodes(CodeOf(last_), CodeOf(first_)) < 0)
      last_->SetText("");
  }
  field->FocusSelect(true);
}

// ---- into another dossier ------------------------------------------------------------------------

TDAjouterVersAutreDossier::TDAjouterVersAutreDossier(gui::Window* parent, const std::string& kind, int codeWidth,
                                                     int rightsFunction, const std::string& selectedCode)
    : CodeCopyDialog(parent, 1315, kind, codeWidth, rightsFunction, kChooseTo), selected_(selectedCode) {}

void TDAjouterVersAutreDossier::SetupWindow() {
  CodeCopyDialog::SetupWindow();
  const std::string code = RTrim(selected_.substr(0, static_cast<std::size_t>(width_)).c_str());
  first_->SetText(code);
  last_->SetText(code);
  first_->FocusSelect(true);
}

bool TDAjouterVersAutreDossier::CanClose() {
  SetMessage("");
  if (IsBlank(first_->GetText())) return Refuse(kEnterFirst, first_);
  if (IsBlank(last_->GetText())) return Refuse(kEnterLast, last_);
  const std::string first = CodeOf(first_), last = CodeOf(last_);
  CodeCopyKind k;
  const bool copied = processing::CodeCopyKindOf(kind_, &k);
  if (copied) {
    ::Table own;
    own.OpenShared(processing::OpenCodeTablePath(k), k.tag, true);
    if (!processing::CodeExists(own, k, kind_, first, width_)) return Refuse(kFirstUnknown, first_);
    if (!processing::CodeExists(own, k, kind_, last, width_)) return Refuse(kLastUnknown, last_);
  }
  if (processing::CompareCodes(first, last) > 0) return Refuse(kBadLast, last_);
  if (IsBlank(dossier_->GetText())) return Refuse(kEnterDossier, nullptr);
  const OtherDossier other = OtherOfEdit();
  if (processing::IsOpenDossier(other)) return Refuse(kOpenDossier, nullptr);
  if (!GeneralFileOpens(other)) return Refuse(kNoDossier, nullptr);
  const Access access = AskPassword(other, true);
  if (access == Access::Unreadable) return Refuse(kNoDossier, nullptr);
  if (access == Access::Ended) return false;
  // The other dossier stays held for the whole copy: no station opens it meanwhile.
  DossierHold hold(other.folder, other.code);
  if (!hold.held()) {
    ShowBusy();
    return false;
  }
  if (!copied) return true;
  const std::string path = processing::OtherCodeTablePath(k, other);
  ::Table receiver;
  if (!receiver.OpenExclusive(path, k.tag)) {
    gui::MessageBox(this, FillPlaceholder(LoadStr(kReceiverNotExclusive), path), LoadStr(kBusyCaption),
                    gui::MB_OK | gui::MB_ICONHAND);
    return true;
  }
  ::Table source;
  source.OpenShared(processing::OpenCodeTablePath(k), k.tag, true);
  const char* const copying = LoadStr(kCopying);
  std::string refusal;
  const bool ran = processing::CopyCodeRangeMarked(
      source, processing::OpenCodeTablePath(k), receiver, other, k, {kind_, width_, first, last},
      [&](const std::string& code) {
        ToggleBusyCursor();
        SetMessage(FillPlaceholder(copying, code));
      },
      nullptr, &refusal);
  RestoreCursor();
  if (!ran) gui::MessageBox(this, refusal, LoadStr(kBusyCaption), gui::MB_OK | gui::MB_ICONHAND);
  return true;
}

// ---- from another dossier ------------------------------------------------------------------------

TDAjouterDUnAutreDossier::TDAjouterDUnAutreDossier(gui::Window* parent, const std::string& kind, int codeWidth,
                                                   int rightsFunction)
    : CodeCopyDialog(parent, 1316, kind, codeWidth, rightsFunction, kChooseFrom) {}

void TDAjouterDUnAutreDossier::SetupWindow() {
  CodeCopyDialog::SetupWindow();
  // The dossier is chosen first.
  gui::PostCommand(GetHandle(), kChooser);
}

void TDAjouterDUnAutreDossier::Lookup(MEdit* field, bool first) {
  CodeCopyKind k;
  const OtherDossier other = OtherOfEdit();
  if (!processing::CodeCopyKindOf(kind_, &k) || IsBlank(other.code) || !GeneralFileOpens(other)) {
    gui::MessageBeep(0);
    return;
  }
  const Access access = AskPassword(other, false);
  if (access == Access::Unreadable) Refuse(kNoDossier, nullptr);
  if (access != Access::Given) return;
  DossierHold hold(other.folder, other.code);
  if (!hold.held()) {
    ShowBusy();
    return;
  }
  // The lookup list reads the kind's table object: it is opened on the other dossier's file for
  // the lookup, then on the open dossier's again.
  ::Table*& global = GlobalTableOf(k);
  std::unique_ptr<::Table> own;
  if (global == nullptr) {
    own = std::make_unique<::Table>();
    global = own.get();
  }
  const bool wasOpen = global->isOpen;
  const std::string tag = global->tag;
  if (global->OpenShared(processing::OtherCodeTablePath(k, other), k.tag, true)) RunLookup(field, first);
  global->CloseTable(true);
  if (wasOpen) global->OpenShared(processing::OpenCodeTablePath(k), tag.empty() ? std::string(k.tag) : tag);
  if (own) global = nullptr;
}

bool TDAjouterDUnAutreDossier::CanClose() {
  SetMessage("");
  if (IsBlank(dossier_->GetText())) return Refuse(kEnterDossier, nullptr);
  const OtherDossier other = OtherOfEdit();
  if (processing::IsOpenDossier(other)) return Refuse(kOpenDossier, nullptr);
  if (!GeneralFileOpens(other)) return Refuse(kNoDossier, nullptr);
  if (IsBlank(first_->GetText())) return Refuse(kEnterFirst, first_);
  if (IsBlank(last_->GetText())) return Refuse(kEnterLast, last_);
  const Access access = AskPassword(other, false);
  if (access == Access::Unreadable) return Refuse(kNoDossier, nullptr);
  if (access == Access::Ended) return false;
  DossierHold hold(other.folder, other.code);
  if (!hold.held()) {
    ShowBusy();
    return false;
  }
  const std::string first = CodeOf(first_), last = CodeOf(last_);
  if (processing::CompareCodes(first, last) > 0) return Refuse(kBadLast, last_);
  CodeCopyKind k;
  if (!processing::CodeCopyKindOf(kind_, &k)) return true;
  ::Table source;
  source.OpenShared(processing::OtherCodeTablePath(k, other), k.tag, true);
  if (!processing::CodeExists(source, k, kind_, first, width_)) return Refuse(kFirstUnknown, first_);
  if (!processing::CodeExists(source, k, kind_, last, width_)) return Refuse(kLastUnknown, last_);
  // The open dossier's table, shared with the other stations.
  ::Table receiver;
  if (!receiver.OpenShared(processing::OpenCodeTablePath(k), k.tag)) return Refuse(kNoDossier, nullptr);
  const char* const copying = LoadStr(kCopying);
  processing::CodeCopyCount count;
  std::string refusal;
  const bool ran = processing::CopyCodeRangeMarked(
      source, processing::OtherCodeTablePath(k, other), receiver, OtherDossier{DossierFolder, AllTrim(DossierCode.c_str())}, k,
      {kind_, width_, first, last},
      [&](const std::string& code) {
        ToggleBusyCursor();
        SetMessage(FillPlaceholder(copying, code));
      },
      &count, &refusal);
  RestoreCursor();
  if (!ran) gui::MessageBox(this, refusal, LoadStr(kBusyCaption), gui::MB_OK | gui::MB_ICONHAND);
  added_ = count.added;
  lastCode_ = IsBlank(count.lastCode) ? std::string() : processing::CodeOfWidth(count.lastCode, width_);
  return true;
}

// ---- the lists' hooks ----------------------------------------------------------------------------

void InstallCodeCopyHooks() {
  // A copy stopped half-way is finished at the next opening of the dossier it wrote into.
  SetDossierRunRedo(processing::kCodeCopyRun,
                    [](const DossierRunInfo& run) { return processing::FinishInterruptedCodeCopy(run.detail); });
  BrowseServices& hooks = BrowseHooks();
  hooks.copyIn = [](CMDIBrowse& list) {
    TDAjouterDUnAutreDossier dialog(&list, list.kindLetter, list.keyWidth, list.rightsFunction);
    dialog.Execute();
    return BrowseCopyResult{dialog.Added(), dialog.LastCode()};
  };
  hooks.copyOut = [](CMDIBrowse& list, int) {
    TDAjouterVersAutreDossier dialog(&list, list.kindLetter, list.keyWidth, list.rightsFunction,
                                     list.GetSelectedRowText());
    dialog.Execute();
  };
}
