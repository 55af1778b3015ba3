#include "dossier/conf_sauvegarde.h"

#include "data/dossier_files.h"
#include "platform/gui/application.h"
#include "platform/gui/constants.h"
#include "platform/gui/edit.h"
#include "platform/gui/messagebox.h"
#include "runtime/inifiles.h"
#include "runtime/xbase.h"

namespace {

std::string Trimmed(const std::string& text) {
  std::size_t b = text.find_first_not_of(' ');
  if (b == std::string::npos) return "";
  return text.substr(b, text.find_last_not_of(' ') - b + 1);
}

bool OnlyChars(const std::string& text, const std::string& allowed) {
  for (char c : text) {
    if (c != ' ' && allowed.find(c) == std::string::npos) return false;
  }
  return true;
}

}  // namespace

TDConfSauvegarde::TDConfSauvegarde(gui::Window* owner, const std::string& defaultTarget, int resourceId)
    : TDNuv(owner, resourceId, false) {
  unit1_ = (DossierFolder + defaultTarget).substr(0, 200);
}

int TDConfSauvegarde::Execute() { return TDNuv::Execute(gui::MB_TASKMODAL) == gui::IDOK ? 1 : 0; }

bool TDConfSauvegarde::Unit2Allowed(const std::string& text) {
  std::string allowed = LoadStr(3064);
  allowed += "/.";
  return OnlyChars(text, allowed);
}

bool TDConfSauvegarde::CommentAllowed(const std::string& text) { return OnlyChars(text, LoadStr(3065)); }

std::string TDConfSauvegarde::Explanation() const {
  return LoadStr(2980) + Trimmed(DossierCode) + LoadStr(2981) + DossierFolder + LoadStr(2982) + unit1_ +
         LoadStr(2983) + (unit2_.empty() ? LoadStr(2984) : unit2_);
}

void TDConfSauvegarde::SetupWindow() {
  TDNuv::SetupWindow();
  unit2_ = Trimmed(IniGetString("Un2Sauvegarde", "")).substr(0, 100);
  if (auto* e = Item<gui::Edit>(kUnit2)) e->SetTextLimit(100);
  if (auto* e = Item<gui::Edit>(kComment)) e->SetTextLimit(30);
  SetItemText(kUnit2, unit2_);
  SetItemText(kExplanation, Explanation());
}

bool TDConfSauvegarde::EvCommand(unsigned id) {
  if (id == kModifyUnit2) {
    EnableItem(kUnit2, true);
    FocusItem(kUnit2);
    return true;
  }
  if (id == kHelp) {
    gui::MessageBox(this, Explanation(), GetCaption(), gui::MB_OK | gui::MB_ICONINFORMATION);
    return true;
  }
  return TDNuv::EvCommand(id);
}

bool TDConfSauvegarde::CanClose() {
  const std::string unit2 = Trimmed(GetItemText(kUnit2));
  const std::string comment = Trimmed(GetItemText(kComment));
  if (!Unit2Allowed(unit2)) {
    gui::MessageBeep(0);
    EnableItem(kUnit2, true);
    FocusItem(kUnit2);
    return false;
  }
  if (!CommentAllowed(comment)) {
    gui::MessageBeep(0);
    FocusItem(kComment);
    return false;
  }
  unit2_ = unit2.substr(0, 200);
  comment_ = comment.substr(0, 200);
  return true;
}
