#include "reports/engine/report_window.h"

#include "data/dossier_files.h"
#include "framework/edit_form.h"
#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/messagebox.h"
#include "reports/engine/core/report_text.h"
#include "runtime/access_rights.h"
#include "runtime/session_registry.h"
#include "runtime/xbase.h"
#include "shell/registry.h"

namespace {
constexpr std::size_t kWorkTextWidth = 200;
constexpr int kNothingInReport = 59;  // "\n\n\nIl n'y a rien dans cet Etat\n\n\n"
constexpr int kTwoLineBreaks = 55;
}  // namespace

TWEtats::TWEtats(gui::MDIClient* parent, const std::string& title, int ownSlot, int slotLength, int partnerSlot)
    : CMDIBrowse(parent, title, nullptr, ownSlot, slotLength, partnerSlot),
      WorkText(kWorkTextWidth, ' '),
      title_(title) {}

TWEtats::~TWEtats() = default;

bool ShowEmptyEtat(gui::Window* window, const std::string& text) {
  gui::MessageBeep(0);
  const std::string caption = window != nullptr ? window->GetCaption() : std::string();
  gui::MessageBox(window, std::string(LoadStr(kNothingInReport)) + text + LoadStr(kTwoLineBreaks), caption,
                  gui::MB_OK | gui::MB_ICONINFORMATION);
  return false;
}

std::string MakeDocumentTitle(const std::string& name) { return reports::MakeDocumentTitle(DossierCode, name); }

int ShowMessageBoxEx(gui::Window* owner, const std::string& text, const std::string& caption, unsigned flags) {
  return gui::MessageBox(owner, text, caption, flags);
}

void RaisePartnerForm(CMDIBrowse& window) {
  if (window.partnerSlot <= 0) return;
  gui::Window* form = gui::Window::FromHandle(SlotHandle(window.partnerSlot));
  // An MDI child comes to the top as the active child.
  if (auto* child = dynamic_cast<gui::MDIChild*>(form)) child->Activate();
  else if (form != nullptr) form->BringToTop();
}

void CmCloseIfIdle(CMDIModif& form) {
  if (PrintRunFlag || form.IsIconic()) return;
  form.NoCheckFlag = true;
  gui::PostMessage(form.GetHandle(), gui::WM_CLOSE);
}

void CeEnableIfIdle(CMDIModif& form, gui::CommandEnabler& ce) { ce.Enable(!PrintRunFlag && !form.IsIconic()); }
