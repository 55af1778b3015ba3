#include "dossier/dossier_password.h"

#include <map>

#include "data/dossier_files.h"
#include "dossier/dossier_open.h"
#include "dossier/dossier_slots.h"
#include "framework/fmt_saisie.h"
#include "platform/gui/application.h"
#include "platform/gui/constants.h"
#include "platform/gui/messagebox.h"
#include "resources/string_table.h"
#include "runtime/access_rights.h"
#include "runtime/dossier_record.h"
#include "runtime/logfile.h"
#include "runtime/text.h"

namespace {

constexpr int kTries = 3;
// "The rights of dossier %s do not give its secondary password the right %s of %s".
constexpr int kSecondaryLacksRight = 30400;
// A password refused, and the tries left.
constexpr int kMsgWrongPassword = 22114;
constexpr int kMsgLastTry = 22115;
constexpr int kMsgTwoTriesLeft = 22116;
// The question for the password of the dossier opened: its title, label, refusal and log line.
constexpr int kTitleDossierOpening = 22117;    // the code
constexpr int kLabelDossierPassword = 22118;
constexpr int kMsgDossierNotOpened = 22119;    // the code
constexpr int kLogPasswordRefused = 22121;     // the code
// The question for another dossier's password: its title, label, refusal and log line.
constexpr int kTitleOtherDossierAccess = 22123;   // the code
constexpr int kLabelPrivilegedPassword = 22124;
constexpr int kMsgOtherDossierUntouched = 32016;  // the code
constexpr int kLogOtherDossierRefused = 22126;    // the code, the folder

struct Levels {
  std::map<std::string, char> byEntry;  // the level of each dossier opened in this run
  std::string current;                  // the entry whose level position 194 holds
};

Levels& Session() {
  static Levels levels;
  return levels;
}

// The level a typed password gives; 0 when it is none of the dossier's. Without a privileged
// password the privileged access is not guarded: an empty answer gives it.
char LevelOf(const std::string& typed, const std::string& privileged, const std::string& secondary) {
  if (privileged.empty() ? typed.empty() : typed == privileged) return '1';
  if (!secondary.empty() && typed == secondary) return '2';
  return 0;
}

// What the password prompt says: its owner, caption and label, the last refusal's text and
// the log line of a refusal.
struct Prompt {
  gui::Window* owner;
  std::string caption;
  std::string label;  // width, comma, label (the input dialog's prompt)
  std::string refused;  // what the last refusal says after why
  std::string logLine;
  std::string secondaryRefused;  // why the secondary password typed is refused ("": an incorrect password)
};

// The password asked until it gives a level that `accepted` takes, three times at most; 0 when
// refused or abandoned.
char AskLevel(const Prompt& prompt, const std::string& privileged, const std::string& secondary,
              bool (*accepted)(char)) {
  for (int attempt = 1; attempt <= kTries; ++attempt) {
    std::string typed;
    TDFmtSaisie dialog(prompt.owner, TDFmtSaisie::kOkCancel, prompt.label, &typed, true);
    dialog.SetCaption(prompt.caption);
    dialog.MaskInput();
    if (dialog.Execute(kTaskModal) != gui::IDOK) return 0;
    const char level = LevelOf(TrimmedRight(typed), privileged, secondary);
    if (level != 0 && accepted(level)) return level;
    gui::MessageBeep(0);
    const int left = kTries - attempt;
    const std::string why = level == '2' && !prompt.secondaryRefused.empty() ? prompt.secondaryRefused
                                                                              : std::string(LoadStr(kMsgWrongPassword));
    const std::string text = why + (left > 0 ? LoadStr(left == 1 ? kMsgLastTry : kMsgTwoTriesLeft) : prompt.refused);
    gui::MessageBox(prompt.owner, text, prompt.caption, gui::MB_OK | gui::MB_ICONSTOP);
  }
  WriteLog(prompt.logLine);
  return 0;
}

bool AnyLevel(char) { return true; }
bool Privileged(char level) { return level == '1'; }

}  // namespace

bool CheckDossierPassword() {
  const std::string code = TrimmedRight(DossierCode);
  const std::string entry = DossierEntry(code, DossierFolder);
  Levels& session = Session();
  DossierRecord& record = TheDossierRecord;
  const auto known = session.byEntry.find(entry);
  // The same dossier tested again: the level kept through the reload stands.
  if (known != session.byEntry.end() && session.current == entry) {
    known->second = record.UserLevel();
    return true;
  }
  char level = '0';
  if (known != session.byEntry.end()) {
    level = known->second;
  } else {
    const std::string privileged =
        TrimmedRight(record.Get(DossierRecord::kPrivilegedPasswordPos, DossierRecord::kPasswordWidth));
    const std::string secondary = TrimmedRight(record.SecondaryPassword());
    if (!privileged.empty() || !secondary.empty()) {
      const Prompt prompt{DossierMessageOwner(), FillPlaceholder(LoadStr(kTitleDossierOpening), code),
                          LoadStr(kLabelDossierPassword), FillPlaceholder(LoadStr(kMsgDossierNotOpened), code),
                          FillPlaceholder(LoadStr(kLogPasswordRefused), code)};
      level = AskLevel(prompt, privileged, secondary, AnyLevel);
      if (level == 0) return false;
    }
  }
  session.byEntry[entry] = level;
  session.current = entry;
  record.SetUserLevel(level);
  return true;
}

void ForgetDossierLevel(const std::string& entry) {
  Levels& session = Session();
  session.byEntry.erase(entry);
  if (session.current == entry) session.current.clear();
}

bool CheckOtherDossierPassword(gui::Window* owner, const std::string& folder, const std::string& code,
                               const DossierRecord& record, bool writes, const std::vector<ReadRight>& reads) {
  const std::string name = TrimmedRight(code);
  const std::string privileged =
      TrimmedRight(record.Get(DossierRecord::kPrivilegedPasswordPos, DossierRecord::kPasswordWidth));
  const std::string secondary = TrimmedRight(record.SecondaryPassword());
  if (privileged.empty() && secondary.empty()) return true;
  // The first right the run needs that the other dossier refuses to its secondary user.
  const ReadRight* lacking = nullptr;
  for (const ReadRight& r : reads) {
    if (writes || SecondaryUserHasRight(record, r.function, r.right)) continue;
    lacking = &r;
    break;
  }
  const bool privilegedOnly = writes || lacking != nullptr;
  // A run that reads takes the level this run opened the dossier at with one of its passwords, where that level
  // suffices. A level opened without a password proves nothing now that it has one, and a run that writes asks
  // the privileged password every time, whatever level the dossier was opened at earlier.
  const auto known = Session().byEntry.find(DossierEntry(name, folder));
  if (!writes && known != Session().byEntry.end() &&
      (known->second == '1' || (known->second == '2' && !privilegedOnly)))
    return true;
  Prompt prompt{owner, FillPlaceholder(LoadStr(kTitleOtherDossierAccess), name),
                privilegedOnly ? LoadStr(kLabelPrivilegedPassword) : LoadStr(kLabelDossierPassword),
                FillPlaceholder(LoadStr(kMsgOtherDossierUntouched), name),
                FillPlaceholders(LoadStr(kLogOtherDossierRefused), {name, folder}), ""};
  if (lacking != nullptr) {
    prompt.secondaryRefused =
        FillPlaceholders(LoadStr(kSecondaryLacksRight),
                         {name, AccessRightName(lacking->right), AccessFunctionName(lacking->function)});
  }
  return AskLevel(prompt, privileged, secondary, privilegedOnly ? Privileged : AnyLevel) != 0;
}
