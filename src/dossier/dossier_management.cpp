#include "dossier/dossier_management.h"

#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

#include "controls/control_env.h"
#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "data/dossier_files.h"
#include "data/dossier_lock.h"
#include "data/session.h"
#include "dossier/backup.h"
#include "platform/gui/application.h"
#include "platform/gui/constants.h"
#include "platform/gui/filedialog.h"
#include "platform/gui/messagebox.h"
#include "platform/system/error_text.h"
#include "platform/system/files.h"
#include "resources/string_table.h"
#include "runtime/inifiles.h"
#include "runtime/logfile.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "shell/cursors.h"
#include "shell/mdi_client.h"
#include "shell/utility_commands.h"

namespace {

constexpr int kSourceCode = 1208, kSourceButton = 1209, kSourceWord = 1210, kSourceFolder = 1211;
constexpr int kActionName = 1207, kDestLabel = 1212, kDestButton = 1213, kDestCode = 1214;
constexpr int kDestWord = 1215, kDestFolder = 1216, kWarning = 1217;

// The texts of the dossier management, by their ids in the string table.
constexpr int kFilterDossiers = 1189;
constexpr int kMsgNotExclusive = 2259;
constexpr int kMsgSourceMissing = 3481;
constexpr int kMsgDestinationExists = 3482;
constexpr int kMsgDossierOpen = 3483;
constexpr int kMsgBadDestinationCode = 3484;
constexpr int kMsgDestinationFolderEmpty = 3485;
constexpr int kMsgBatchMissing = 3486;        // the batch file
constexpr int kMsgBatchNotStarted = 3487;     // the batch file, the reason
constexpr int kTitleChooseSearchFolder = 3489;
constexpr int kTitleChooseSource = 3490;
constexpr int kTitleChooseCopyFolder = 3492;
constexpr int kTitleChooseDestination = 3493;
constexpr int kBatchNames = 3494;             // each action's two batch files, packed by 10
constexpr int kLabelActionFirst = 3495;       // the actions' names, in ActionIndex order
constexpr int kLabelOn = 3500;
constexpr int kLabelFrom = 3501;
constexpr int kLabelTo = 3502;
constexpr int kLabelToDossier = 3503;
constexpr int kLabelNewCode = 3504;
constexpr int kLabelRunningBatch = 22048;     // the action, the batch file
constexpr int kMsgLastMessages = 22050;       // the batch file's last lines
constexpr int kMsgCheckDossierFiles = 22069;
constexpr int kMsgSearchDone = 22075;         // the folder, what was found
constexpr int kMsgNoDossierFound = 22076;
constexpr int kMsgDossiersFound = 22077;      // the batch file's last lines
constexpr int kAskDeleteDossier = 22078;      // the code, the folder
constexpr int kMsgActionFailed = 22501;       // the action, the batch file, the exit status
constexpr int kMsgDossierCopied = 32003;      // the code, the folder, the new code, the new folder
constexpr int kMsgDossierMoved = 32004;       // the code, the folder, the new folder
constexpr int kMsgDossierRenamed = 32005;     // the code, the folder, the new code
constexpr int kMsgDossierDeleted = 32006;     // the code, the folder

// String ids of the action names and the batch-name pairs (packed by 10).
int ActionIndex(DossierAction a) {
  switch (a) {
    case DossierAction::Rechercher: return 0;
    case DossierAction::Copier: return 1;
    case DossierAction::Deplacer: return 2;
    case DossierAction::Annuler: return 3;
    case DossierAction::Renommer: return 4;
    default: return -1;
  }
}

std::string WithSlash(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

// The open dossier as slot 1 holds it: code padded to 5, then the folder.
bool IsOpenDossier(const std::string& code, const std::string& folder) {
  const std::string open = DossierSlots[0];
  if (IsBlank(open)) return false;
  std::string padded = Trimmed(code);
  padded.resize(5, ' ');
  const std::string openCode = open.substr(0, 5);
  const std::string openFolder = WithSlash(open.size() > 5 ? open.substr(5) : "");
  return UpperAscii(padded + WithSlash(folder)) == UpperAscii(openCode + openFolder);
}

bool ValidNewCode(const std::string& code) {
  const std::string t = Trimmed(code);
  if (t.empty()) return false;
  for (char c : t)
    if (!((c >= '0' && c <= '9') || c == '-' || (c >= 'A' && c <= 'Z'))) return false;
  return true;
}

// The refusal of text `textId`, the values in its places.
DossierCheck Refused(int textId, int focus, std::initializer_list<std::string_view> values = {}) {
  DossierCheck check;
  check.ok = false;
  check.message = WarningText(FillPlaceholders(LoadStr(textId), values));
  check.focus = focus;
  return check;
}

std::string ActionName(DossierAction a) { return LoadStr(kLabelActionFirst + ActionIndex(a)); }

std::string BatchName(DossierAction a) { return DossierBatchName(a, ProgramVersionCode()); }


}  // namespace

int ProgramVersionCode() {
  return 100 * static_cast<unsigned char>(ProgramOption(1)) + static_cast<unsigned char>(ProgramOption(2)) - 101;
}

std::string DossierBatchName(DossierAction action, int versionCode) {
  const int i = ActionIndex(action);
  if (i < 0) return "";
  const std::string packed = LoadStr(kBatchNames);
  const std::size_t at = static_cast<std::size_t>(i * 20 + (versionCode < 501 ? 0 : 10));
  if (packed.size() < at + 10) return "";
  return Trimmed(packed.substr(at, 10));
}

bool ParseChosenDossierFile(const std::string& path, std::string* folder, std::string* code, bool refuseUnderscore) {
  const std::size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string newCode;
  if (name.size() >= 3 && UpperAscii(name.substr(0, 3)) == "C10") {
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot >= 3) name.resize(dot);
    newCode = UpperAscii(name.substr(3, 5));
    if (refuseUnderscore && newCode.find('_') != std::string::npos) return false;
  }
  *folder = dir;
  *code = newCode;
  return true;
}

bool DossierFilesExist(const std::string& folder, const std::string& code) {
  const std::string c = Trimmed(code);
  std::string name = "c10" + c + ".dbf";
  for (char& ch : name)
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  return platform::FileExists(platform::ResolvePath(WithSlash(folder) + name));
}

DossierCheck CheckDossierChoice(DossierChoice& c) {
  const std::string batch = DossierBatchName(c.action, ProgramVersionCode());
  auto batchPresent = [&]() -> DossierCheck {
    if (!CanReadFile((ProgramFolder + batch).c_str())) return Refused(kMsgBatchMissing, 0, {batch});
    return {};
  };
  auto sourceExists = [&]() -> DossierCheck {
    if (!DossierFilesExist(c.sourceFolder, c.sourceCode)) return Refused(kMsgSourceMissing, kSourceCode);
    return {};
  };
  auto copyChecks = [&]() -> DossierCheck {
    if (DossierCheck k = sourceExists(); !k.ok) return k;
    if (IsOpenDossier(c.destCode, c.destFolder)) return Refused(kMsgDossierOpen, kDestCode);
    if (!ValidNewCode(c.destCode)) return Refused(kMsgBadDestinationCode, kDestCode);
    if (IsBlank(c.destFolder)) return Refused(kMsgDestinationFolderEmpty, kDestButton);
    if (DossierFilesExist(c.destFolder, c.destCode)) return Refused(kMsgDestinationExists, kDestCode);
    return batchPresent();
  };
  switch (c.action) {
    case DossierAction::Copier:
      return copyChecks();
    case DossierAction::Deplacer:
      c.destCode = c.sourceCode;  // a move keeps the code
      return copyChecks();
    case DossierAction::Annuler:
      if (IsOpenDossier(c.sourceCode, c.sourceFolder)) return Refused(kMsgDossierOpen, kSourceCode);
      if (DossierCheck k = sourceExists(); !k.ok) return k;
      return batchPresent();
    case DossierAction::Renommer:
      if (IsOpenDossier(c.sourceCode, c.sourceFolder)) return Refused(kMsgDossierOpen, kSourceCode);
      if (DossierCheck k = sourceExists(); !k.ok) return k;
      if (IsOpenDossier(c.destCode, c.sourceFolder)) return Refused(kMsgDossierOpen, kDestCode);
      if (!ValidNewCode(c.destCode)) return Refused(kMsgBadDestinationCode, kDestCode);
      // The new name is made in the source folder, whatever 1216 says.
      if (DossierFilesExist(c.sourceFolder, c.destCode)) return Refused(kMsgDestinationExists, kDestCode);
      return batchPresent();
    case DossierAction::Rechercher:
      return batchPresent();
    default:
      return DossierCheck{.ok = false, .message = "", .focus = 0, .exitStatus = -1, .output = ""};
  }
}

std::vector<std::string> DossierBatchCommand(const DossierChoice& c, int versionCode) {
  std::vector<std::string> argv = BatchFileCommand(ProgramFolder + DossierBatchName(c.action, versionCode));
  const std::string srcCode = Trimmed(c.sourceCode), dstCode = Trimmed(c.destCode);
  switch (c.action) {
    case DossierAction::Rechercher:
      argv.push_back(c.sourceFolder);
      break;
    case DossierAction::Copier:
    case DossierAction::Deplacer:
      argv.insert(argv.end(), {WithSlash(c.sourceFolder), srcCode, WithSlash(c.destFolder), dstCode});
      break;
    case DossierAction::Annuler:
      argv.insert(argv.end(), {WithSlash(c.sourceFolder), srcCode});
      break;
    case DossierAction::Renommer:
      argv.insert(argv.end(), {WithSlash(c.sourceFolder), srcCode, dstCode});
      break;
    default:
      break;
  }
  return argv;
}

std::string WarningText(const std::string& message) {
  std::string out;
  for (char c : message) {
    if (c == '\r') continue;
    if (c == '\n' && (out.empty() || out.back() == '\n')) continue;
    out += c;
  }
  while (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

std::string DossierActionDoneText(const DossierChoice& c, const DossierCheck& ran) {
  const std::string code = Trimmed(c.sourceCode), folder = WithSlash(c.sourceFolder);
  const std::string newCode = Trimmed(c.destCode), newFolder = WithSlash(c.destFolder);
  const std::string lines = platform::LastOutputLines(ran.output, c.action == DossierAction::Rechercher ? 15 : 6);
  if (ran.exitStatus != 0) {
    std::string text = FillPlaceholders(LoadStr(kMsgActionFailed),
                                        {ActionName(c.action), BatchName(c.action), std::to_string(ran.exitStatus)});
    if (!lines.empty()) text += FillPlaceholder(LoadStr(kMsgLastMessages), lines);
    return text + LoadStr(kMsgCheckDossierFiles);
  }
  switch (c.action) {
    case DossierAction::Copier:
      return FillPlaceholders(LoadStr(kMsgDossierCopied), {code, folder, newCode, newFolder});
    case DossierAction::Deplacer:
      return FillPlaceholders(LoadStr(kMsgDossierMoved), {code, folder, newFolder});
    case DossierAction::Renommer:
      return FillPlaceholders(LoadStr(kMsgDossierRenamed), {code, folder, newCode});
    case DossierAction::Annuler:
      return FillPlaceholders(LoadStr(kMsgDossierDeleted), {code, folder});
    case DossierAction::Rechercher:
      return FillPlaceholders(LoadStr(kMsgSearchDone),
                              {c.sourceFolder, lines.empty() ? std::string(LoadStr(kMsgNoDossierFound))
                                                             : FillPlaceholder(LoadStr(kMsgDossiersFound), lines)});
    default:
      return "";
  }
}

std::string DossierDeleteQuestion(const DossierChoice& c) {
  return FillPlaceholders(LoadStr(kAskDeleteDossier), {Trimmed(c.sourceCode), WithSlash(c.sourceFolder)});
}

DossierCheck RunDossierChoice(DossierChoice& choice, gui::Window* owner) {
  DossierCheck check = CheckDossierChoice(choice);
  if (!check.ok) return check;
  // A dossier whose files the batch removes or replaces is taken exclusively until the
  // batch ends: on Linux a file another station has open can still be deleted or moved.
  std::unique_ptr<DossierHold> hold;
  if (choice.action == DossierAction::Deplacer || choice.action == DossierAction::Annuler ||
      choice.action == DossierAction::Renommer) {
    hold = std::make_unique<DossierHold>(WithSlash(choice.sourceFolder), Trimmed(choice.sourceCode));
    if (!hold->held()) return Refused(kMsgNotExclusive, kSourceCode);
  }
  const std::vector<std::string> argv = DossierBatchCommand(choice, ProgramVersionCode());
  const std::string what =
      FillPlaceholders(LoadStr(kLabelRunningBatch), {ActionName(choice.action), BatchName(choice.action)});
  const platform::LaunchResult r = RunBatchWithProgress(owner, argv, {}, what);
  if (!r.launched) {
    const std::string reason = platform::ErrorText(r.error != 0 ? r.error : ENOENT);
    return Refused(kMsgBatchNotStarted, 0, {BatchName(choice.action), reason});
  }
  check.exitStatus = r.exitStatus;
  check.output = r.output;
  return check;
}

// ---- the dialog --------------------------------------------------------------

TDUtiGestionDossiers::TDUtiGestionDossiers(gui::Window* parent) : TDNuv(parent, 1331, false) {
  for (int id : {1202, 1203, 1204, 1205, 1206}) new MRadioButton(kOnTemplate, this, id);
  new MEdit(kOnTemplate, this, kSourceCode, 5, 1, true, MEdit::kText, 0);
  new MEdit(kOnTemplate, this, kDestCode, 5, 1, true, MEdit::kText, 0);
  for (int id : {1201, kActionName, kSourceWord, kSourceFolder, kDestLabel, kDestWord, kDestFolder})
    new MStatic(kOnTemplate, this, id);
  new MRStatic(kOnTemplate, this, kWarning);
  for (int id : {kSourceButton, kDestButton, 1, 2}) new MButton(kOnTemplate, this, id);
}

const gui::ResponseTable& TDUtiGestionDossiers::Table() {
  static const gui::ResponseTable table = gui::ResponseTable(&gui::Dialog::Table())
                                              .Command(1202, &TDUtiGestionDossiers::CmRechercher)
                                              .Command(1204, &TDUtiGestionDossiers::CmCopier)
                                              .Command(1203, &TDUtiGestionDossiers::CmDeplacer)
                                              .Command(1206, &TDUtiGestionDossiers::CmAnnuler)
                                              .Command(1205, &TDUtiGestionDossiers::CmRenommer)
                                              .Command(kSourceButton, &TDUtiGestionDossiers::CmChoisirSource)
                                              .Command(kDestButton, &TDUtiGestionDossiers::CmChoisirDestination)
                                              .Command(gui::IDOK, &TDUtiGestionDossiers::RunDossierAction);
  return table;
}

void TDUtiGestionDossiers::SetupWindow() {
  TDNuv::SetupWindow();
  SetCheck(1204, gui::BST_CHECKED);
  busy_ = false;
  SetAction(DossierAction::Copier);
}

void TDUtiGestionDossiers::CmRechercher() { SetAction(DossierAction::Rechercher); }
void TDUtiGestionDossiers::CmCopier() { SetAction(DossierAction::Copier); }
void TDUtiGestionDossiers::CmDeplacer() { SetAction(DossierAction::Deplacer); }
void TDUtiGestionDossiers::CmAnnuler() { SetAction(DossierAction::Annuler); }
void TDUtiGestionDossiers::CmRenommer() { SetAction(DossierAction::Renommer); }

// Layout of the two rows for an action.
void TDUtiGestionDossiers::SetAction(DossierAction action) {
  if (busy_) return;
  action_ = action;
  SetItemText(kActionName, LoadStr(kLabelActionFirst + ActionIndex(action)));
  SetItemText(kSourceCode, "");
  SetItemText(kSourceFolder, "");
  const bool twoRows = action == DossierAction::Copier || action == DossierAction::Renommer;
  const bool destButton = action == DossierAction::Copier || action == DossierAction::Deplacer;
  ShowItem(kSourceCode, action != DossierAction::Rechercher);
  EnableItem(kSourceCode, false);
  SetItemText(kSourceWord, LoadStr(action == DossierAction::Deplacer ? kLabelFrom : kLabelOn));
  ShowItem(kDestLabel, twoRows);
  if (twoRows) SetItemText(kDestLabel, LoadStr(action == DossierAction::Copier ? kLabelToDossier : kLabelNewCode));
  ShowItem(kDestButton, destButton);
  ShowItem(kDestCode, twoRows);
  if (twoRows) SetItemText(kDestCode, "");
  ShowItem(kDestWord, destButton);
  if (destButton) SetItemText(kDestWord, LoadStr(action == DossierAction::Copier ? kLabelOn : kLabelTo));
  ShowItem(kDestFolder, destButton);
  if (destButton) SetItemText(kDestFolder, "");
  if (gui::Control* b = GetDlgItem(kSourceButton); b != nullptr && b->IsWindowEnabled()) FocusItem(kSourceButton);
}

// A dossier file chosen in the file-open dialog: its folder, with its case,
// and its code.
void TDUtiGestionDossiers::ChooseDossierFile(bool asSource) {
  std::string start = ProgramFolder;
  if (!asSource && !IsBlank(GetItemText(kSourceFolder))) start = GetItemText(kSourceFolder);
  std::string path;
  const int title = asSource ? kTitleChooseSource : kTitleChooseDestination;
  if (!gui::GetOpenFileName(this, LoadStr(title), LoadStr(kFilterDossiers), start, path)) return;
  std::string folder, code;
  const int codeId = asSource ? kSourceCode : kDestCode;
  if (!ParseChosenDossierFile(path, &folder, &code, asSource)) {
    // A code with "_" (a dossier set aside by a restore) is refused as source.
    gui::MessageBeep(0);
    return;
  }
  SetItemText(codeId, code);
  if (asSource) SetItemText(kSourceFolder, folder);
  SetItemText(kDestFolder, folder);
  if (!asSource) {
    FocusItem(kDestCode);
    return;
  }
  if ((action_ == DossierAction::Copier || action_ == DossierAction::Renommer) && !IsBlank(GetItemText(kSourceCode))) {
    if (auto* e = Item<MEdit>(kDestCode)) e->FocusSelect(ProgramOption(14) == 'O');
  } else if (action_ == DossierAction::Annuler) {
    FocusItem(kSourceButton);
  }
}

void TDUtiGestionDossiers::CmChoisirSource() {
  SetItemText(kWarning, "");
  busy_ = true;
  if (action_ == DossierAction::Rechercher) {
    if (BrowseForFolder(this, LoadStr(kTitleChooseSearchFolder), "")) SetItemText(kSourceFolder, ScratchText);
    FocusItem(kSourceButton);
  } else {
    ChooseDossierFile(true);
  }
  busy_ = false;
}

void TDUtiGestionDossiers::CmChoisirDestination() {
  SetItemText(kWarning, "");
  busy_ = true;
  if (action_ == DossierAction::Copier || action_ == DossierAction::Deplacer) {
    if (BrowseForFolder(this, LoadStr(kTitleChooseCopyFolder), "")) SetItemText(kDestFolder, ScratchText);
    FocusItem(kDestButton);
  } else {
    ChooseDossierFile(false);
  }
  busy_ = false;
}

DossierChoice TDUtiGestionDossiers::Choice() const {
  DossierChoice c;
  c.action = action_;
  c.sourceCode = GetItemText(kSourceCode);
  c.sourceFolder = GetItemText(kSourceFolder);
  c.destCode = GetItemText(kDestCode);
  c.destFolder = GetItemText(kDestFolder);
  return c;
}

void TDUtiGestionDossiers::Refuse(const DossierCheck& check) {
  gui::MessageBeep(0);
  SetItemText(kWarning, WarningText(check.message));
  if (auto* w = Item<MRStatic>(kWarning)) w->DrawFrame();
  if (check.focus != 0) FocusItem(check.focus);
}

bool TDUtiGestionDossiers::CanClose() { return !running_ && TDNuv::CanClose(); }

void TDUtiGestionDossiers::CmCancel() {
  if (!running_) TDNuv::CmCancel();
}

void TDUtiGestionDossiers::RunDossierAction() {
  if (running_) return;
  if (gui::Control* b = GetDlgItem(2); b != nullptr && b->IsWindowEnabled()) FocusItem(2);
  if (action_ == DossierAction::None) {
    EndDialog(gui::IDCANCEL);
    return;
  }
  SetItemText(kWarning, "");
  DossierChoice choice = Choice();
  if (action_ == DossierAction::Annuler) {
    // Every file of the dossier goes: the user says so first, knowing which.
    DossierChoice checked = choice;
    if (const DossierCheck check = CheckDossierChoice(checked); !check.ok) {
      Refuse(check);
      return;
    }
    // A dossier another station uses is refused before the question.
    if (!DossierHold(WithSlash(choice.sourceFolder), Trimmed(choice.sourceCode)).held()) {
      Refuse(Refused(kMsgNotExclusive, kSourceCode));
      return;
    }
    gui::MessageBeep(0);
    if (gui::MessageBox(this, DossierDeleteQuestion(choice), ActionName(action_),
                        gui::MB_YESNO | gui::MB_ICONQUESTION | gui::MB_DEFBUTTON2) != gui::IDYES)
      return;
  }
  running_ = true;
  const DossierCheck check = RunDossierChoice(choice, this);
  running_ = false;
  if (action_ == DossierAction::Deplacer) SetItemText(kDestCode, choice.destCode);
  if (!check.ok) {
    Refuse(check);
    return;
  }
  const bool failed = check.exitStatus != 0;
  if (failed) gui::MessageBeep(0);
  gui::MessageBox(this, DossierActionDoneText(choice, check), ActionName(action_),
                  gui::MB_OK | (failed ? gui::MB_ICONSTOP : gui::MB_ICONINFORMATION));
}

// ---- the command -------------------------------------------------------------

// Core: none, the dialog runs the dossier-management batch files of the program folder.
void CmGestionDossiers() {
  if (CommandWindow != nullptr && !CommandWindow->CloseChildren()) return;
  CloseAllTables();
  const bool heldDossier = !IsBlank(DossierSlots[0]);
  if (heldDossier) {
    if (!OpenDossierExclusive(true)) return;
    SetDossierState('1');
  }
  gui::Window* owner = gui::Window::FromHandle(MainWindowHandle);
  {
    TDUtiGestionDossiers dialog(owner != nullptr ? owner : CommandWindow);
    dialog.Execute(kTaskModal);
  }
  if (heldDossier) {
    ReleaseDossierExclusive();
    SetDossierState('2');
  }
}
