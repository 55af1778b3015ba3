#include "dossier/dossier_password.h"

#include <map>

#include "data/dossier_files.h"
#include "dossier/dossier_open.h"
#include "dossier/dossier_slots.h"
#include "framework/fmt_saisie.h"
#include "platform/gui/application.h"
#include "platform/gui/constants.h"
#include "platform/gui/messagebox.h"
#include "runtime/dossier_record.h"
#include "runtime/logfile.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace {

constexpr int kTries = 3;

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

// The password asked until it is right, three times at most; 0 when refused or abandoned.
char AskLevel(const std::string& code, const std::string& privileged, const std::string& secondary) {
  const std::string caption = "Ouverture du dossier " + code;
  for (int attempt = 1; attempt <= kTries; ++attempt) {
    std::string typed;
    TDFmtSaisie dialog(DossierMessageOwner(), TDFmtSaisie::kOkCancel, std::string("09,Mot de passe du dossier"),
                       &typed, true);
    dialog.SetCaption(caption);
    dialog.MaskInput();
    if (dialog.Execute(kTaskModal) != gui::IDOK) return 0;
    const char level = LevelOf(TrimmedRight(typed), privileged, secondary);
    if (level != 0) return level;
    gui::MessageBeep(0);
    const int left = kTries - attempt;
    const std::string text =
        left > 0 ? "\n\n\nMot de passe incorrect.\n\n" + std::string(left == 1 ? "Dernier essai" : "Encore 2 essais") +
                       ".\n\n\n"
                 : "\n\n\nMot de passe incorrect.\n\nLe dossier " + code + " n'est pas ouvert.\n\n\n";
    gui::MessageBox(DossierMessageOwner(), text, caption, gui::MB_OK | gui::MB_ICONSTOP);
  }
  WriteLog("OUVERTURE DOSSIER - Erreur - " + code + " - mot de passe refus\xE9");
  return 0;
}

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
      level = AskLevel(code, privileged, secondary);
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
