#include "utilities/rights_dialog.h"

#include <algorithm>

#include "controls/mcontrols.h"
#include "data/dossier_files.h"
#include "data/table.h"
#include "platform/gui/application.h"
#include "platform/gui/constants.h"
#include "platform/gui/controls.h"
#include "platform/gui/dialog_template.h"
#include "platform/gui/messagebox.h"
#include "platform/system/cp1252.h"
#include "resources/string_table.h"
#include "runtime/dossier_record.h"
#include "shell/mdi_client.h"

namespace {

constexpr const char* kTemplateId = "UTI_DROITS";
constexpr int kRowsPerColumn = 18;
constexpr int kLabelWidth = 172, kBoxWidth = 12, kRowHeight = 11, kTop = 16, kMargin = 6;
constexpr int kMostRights = 9;
constexpr int kColumnWidth = kLabelWidth + kMostRights * kBoxWidth + 12;

// The texts shown here, by their ids in the string table.
constexpr int kCaptionRights = 22375;
constexpr int kMsgRightsNotSaved = 22376;
constexpr int kCaptionAttention = 52;

std::string Quoted(const std::string& cp1252) {
  std::string text;
  for (char c : cp1252) {
    if (c == '"' || c == '\\') text += '\\';
    text += c;
  }
  return "\"" + platform::Cp1252ToUtf8(text) + "\"";
}

std::string Line(const char* kind, int id, const std::string& text, int x, int y, int cx, int cy, const char* flags) {
  return std::string(kind) + " " + std::to_string(id) + " " + Quoted(text) + " " + std::to_string(x) + " " +
         std::to_string(y) + " " + std::to_string(cx) + " " + std::to_string(cy) + " " + flags + "\n";
}

std::string Legend() {
  std::string text;
  for (int k = 1; k <= kMostRights; ++k) text += (k > 1 ? "   " : "") + std::to_string(k) + " " + settings::RightName(k);
  return text;
}

// The dialog's template, one row per function: two columns of 18 rows under a header of right numbers, the legend
// of the numbers below.
void RegisterTemplate(const std::vector<settings::RightsFunction>& functions) {
  const int columns = static_cast<int>(functions.size()) > kRowsPerColumn ? 2 : 1;
  const int rows = std::min<int>(kRowsPerColumn, static_cast<int>(functions.size()));
  const int width = kMargin * 2 + columns * kColumnWidth;
  const int legendTop = kTop + rows * kRowHeight + 6;
  const int buttonsTop = legendTop + 16;
  std::string t = "DIALOG " + std::string(kTemplateId) + "\nCAPTION " +
                  Quoted(LoadStr(kCaptionRights)) +
                  "\nFONT 8 \"MS Sans Serif\"\nSIZE " + std::to_string(width) + " " + std::to_string(buttonsTop + 22) +
                  "\n";
  for (int c = 0; c < columns; ++c) {
    const int x = kMargin + c * kColumnWidth + kLabelWidth;
    for (int k = 1; k <= kMostRights; ++k)
      t += Line("static", 1300 + 16 * c + k, std::to_string(k), x + (k - 1) * kBoxWidth, kTop - 11, kBoxWidth, 9,
                "center");
  }
  for (std::size_t i = 0; i < functions.size(); ++i) {
    const settings::RightsFunction& f = functions[i];
    const int c = static_cast<int>(i) / kRowsPerColumn, r = static_cast<int>(i) % kRowsPerColumn;
    const int x = kMargin + c * kColumnWidth, y = kTop + r * kRowHeight;
    t += Line("static", TDUtiDroits::kFirstLabel + f.number, f.menu + ": " + f.label, x, y + 1, kLabelWidth - 4, 9,
              "left,noprefix");
    for (int k = 1; k <= f.rights && k <= kMostRights; ++k)
      t += Line("checkbox", TDUtiDroits::BoxId(f.number, k), "", x + kLabelWidth + (k - 1) * kBoxWidth + 1, y,
                kBoxWidth - 1, 10, "autocheck,tabstop");
  }
  t += Line("static", TDUtiDroits::kLegend, Legend(), kMargin, legendTop, width - 2 * kMargin, 10, "left,noprefix");
  t += Line("button", 1, "&Ok", width / 2 - 80, buttonsTop, 64, 16, "default,tabstop");
  t += Line("button", 2, "&Abandon", width / 2 + 16, buttonsTop, 64, 16, "tabstop");
  t += "END\n";
  gui::DialogTemplates::Register(t);
}

}  // namespace

TDUtiDroits::TDUtiDroits(gui::Window* parent)
    : TDNuv(parent, (RegisterTemplate(settings::RightsFunctions()), kTemplateId), false),
      functions_(settings::RightsFunctions()) {
  for (const settings::RightsFunction& f : functions_) {
    new MStatic(kOnTemplate, this, kFirstLabel + f.number);
    for (int k = 1; k <= f.rights && k <= kMostRights; ++k) new MCheckBox(kOnTemplate, this, BoxId(f.number, k));
  }
  new MStatic(kOnTemplate, this, kLegend);
  new MButton(kOnTemplate, this, gui::IDOK);
  new MButton(kOnTemplate, this, gui::IDCANCEL);
}

void TDUtiDroits::SetupWindow() {
  TDNuv::SetupWindow();
  const std::string rights = TheDossierRecord.Rights();
  for (const settings::RightsFunction& f : functions_) {
    for (int k = 1; k <= f.rights && k <= kMostRights; ++k) {
      const int id = BoxId(f.number, k);
      if (auto* box = Item<MCheckBox>(id)) {
        box->SetValue(settings::RightGranted(rights, f, k), true);
        box->SetToolTip(settings::RightName(k) + " - " + f.label);
      }
    }
  }
}

std::string TDUtiDroits::RightsShown() const {
  std::vector<std::vector<bool>> granted(64);
  for (const settings::RightsFunction& f : functions_) {
    auto& g = granted[static_cast<std::size_t>(f.number)];
    for (int k = 1; k <= f.rights && k <= kMostRights; ++k) g.push_back(GetCheck(BoxId(f.number, k)) == gui::BST_CHECKED);
  }
  return settings::BuildRightsString(TheDossierRecord.Rights(), functions_, granted);
}

void TDUtiDroits::CmOk() {
  const std::string rights = RightsShown();
  ::Table c10;
  const bool open = c10.OpenShared(PathC10(), "C10CODE");
  const settings::SaveOutcome outcome = open ? settings::SaveRights(c10, rights) : settings::SaveOutcome::Failed;
  c10.CloseTable();
  if (outcome != settings::SaveOutcome::Saved) {
    // Another station's hold was told by the lock's notice; the dialog stays with the boxes as they are.
    if (outcome != settings::SaveOutcome::LockRefused) {
      gui::MessageBeep(0);
      gui::MessageBox(this, LoadStr(kMsgRightsNotSaved), LoadStr(kCaptionAttention), gui::MB_OK | gui::MB_ICONSTOP);
    }
    return;
  }
  TDNuv::CmOk();
}

// Core: BuildRightsString, SaveRights.
void CmDroitsAcces() {
  TDUtiDroits dialog(gui::Window::FromHandle(MainWindowHandle));
  dialog.Execute(kTaskModal);
}
