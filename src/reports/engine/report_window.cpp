#include "reports/engine/report_window.h"

#include "data/dossier_files.h"
#include "platform/gui/application.h"
#include "platform/gui/constants.h"
#include "platform/gui/messagebox.h"
#include "reports/engine/core/report_text.h"
#include "runtime/xbase.h"

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
