// Commands, enablers, clipboard and context menu of the list windows, and
// the "Aller au code" input.
#include <algorithm>

#include "framework/browse.h"
#include "framework/browse_services.h"
#include "framework/fmt_saisie.h"
#include "platform/gui/application.h"
#include "platform/gui/clipboard.h"
#include "platform/gui/cursor.h"
#include "platform/gui/dialog.h"
#include "platform/gui/menu.h"
#include "resources/command_ids.h"
#include "resources/string_table.h"
#include "runtime/access_rights.h"
#include "runtime/code_helpers.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "shell/handlers.h"

const gui::ResponseTable& CMDIBrowse::Table() {
  using namespace browse_cmd;
  static const gui::ResponseTable table =
      gui::ResponseTable(&gui::MDIChild::Table())
          .Command(Quitter, &CMDIBrowse::CmQuitter)
          .Command(QuitterGrid, &CMDIBrowse::CmQuitterGrid)
          .Command(Entree, &CMDIBrowse::CmEntree)
          .Command(Rafraichir, &CMDIBrowse::CmRafraichir)
          .Command(RafraichirTotal, &CMDIBrowse::CmRafraichirTotal)
          .Command(RenvoyerCode, &CMDIBrowse::CmRenvoyerCode)
          .Command(ReCaler, &CMDIBrowse::CmReCaler)
          .Command(CopierCode, &CMDIBrowse::CmCopierCode)
          .Command(CopierTableau, &CMDIBrowse::CmCopierTableau)
          .Command(FinVisualisation, &CMDIBrowse::CmFinVisualisation)
          .Command(AllerAuCode, &CMDIBrowse::CmAllerAuCode)
          .Command(Visualiser, &CMDIBrowse::CmVisualiser)
          .Command(Imprimer, &CMDIBrowse::CmImprimer)
          .Enable(Visualiser, &CMDIBrowse::CeVisualiser)
          .Enable(Imprimer, &CMDIBrowse::CeImprimer)
          .Enable(Annuler, &CMDIBrowse::CeAnnuler)
          .Enable(Reactiver, &CMDIBrowse::CeReactiver)
          .Enable(Modifier, &CMDIBrowse::CeModifier)
          .Enable(Texte, &CMDIBrowse::CeModifier)
          .Enable(RenvoyerCode, &CMDIBrowse::CeRenvoyer)
          .Enable(CopierCode, &CMDIBrowse::CeCopier)
          .Enable(CopierTableau, &CMDIBrowse::CeCopier)
          .Enable(LigneSuivante, &CMDIBrowse::CeHasRows);
  return table;
}

gui::ResponseTable CMDIBrowse::WithCopiesBetweenDossiers(const gui::ResponseTable* base) {
  using namespace browse_cmd;
  return gui::ResponseTable(base)
      .Command(AjouterDepuis, &CMDIBrowse::CmAjouterDUnAutreDossier)
      .Command(AjouterVers, &CMDIBrowse::CmAjouterVersAutreDossier)
      .Enable(AjouterDepuis, &CMDIBrowse::CeAjouterDepuis)
      .Enable(AjouterVers, &CMDIBrowse::CeAjouterVersAutreDossier);
}

void CMDIBrowse::CmQuitter() { gui::PostMessage(GetHandle(), gui::WM_CLOSE); }

void CMDIBrowse::CmQuitterGrid() {
  keepLayout = false;
  gui::PostMessage(GetHandle(), gui::WM_CLOSE);
}

void CMDIBrowse::CmFinVisualisation() { DefaultAction(); }

void CMDIBrowse::CmEntree() {
  if (Busy() || store_.totalRows <= 0 || GetSelectedRowIndex() == 0) return;
  if (SelectedIsOrdinary() && LookupAskerAlive()) {
    gui::PostCommand(GetHandle(), browse_cmd::RenvoyerCode);
    return;
  }
  if (unsigned second = SecondToolbarCommand()) gui::PostCommand(GetHandle(), second);
}

// ---- enablers ------------------------------------------------------------------

bool CMDIBrowse::HasReport(unsigned command) const {
  // A window that runs the command itself has its report; the base runs the list's layouts, when it has some.
  return !reportPrefix.empty() || Responses().FindHandler(command) != Table().FindHandler(command);
}

void CMDIBrowse::CeVisualiser(gui::CommandEnabler& ce) {
  ce.Enable(!Busy() && HasReport(ce.Id()) && HasAccessRight(rightsFunction, 5) && !PartnerOpen() && store_.totalRows > 0);
}
void CMDIBrowse::CeImprimer(gui::CommandEnabler& ce) {
  ce.Enable(!Busy() && HasReport(ce.Id()) && HasAccessRight(rightsFunction, 6) && !PartnerOpen() && store_.totalRows > 0);
}
void CMDIBrowse::CeAnnuler(gui::CommandEnabler& ce) {
  ce.Enable(!Busy() && HasAccessRight(rightsFunction, 4) && SelectedIsOrdinary() && !PartnerOpen());
}
void CMDIBrowse::CeReactiver(gui::CommandEnabler& ce) {
  const int i = GetSelectedRowIndex();
  ce.Enable(!Busy() && HasAccessRight(rightsFunction, 4) && i != 0 && store_.MarkerOf(i - 1) == kMarkerCancelled &&
            !PartnerOpen());
}
void CMDIBrowse::CeModifier(gui::CommandEnabler& ce) {
  ce.Enable(!Busy() && HasAccessRight(rightsFunction, 3) && SelectedIsOrdinary());
}
void CMDIBrowse::CeRenvoyer(gui::CommandEnabler& ce) { ce.Enable(!Busy() && SelectedIsOrdinary() && LookupAskerAlive()); }
void CMDIBrowse::CeCopier(gui::CommandEnabler& ce) { ce.Enable(!Busy() && GetSelectedRowIndex() != 0); }
void CMDIBrowse::CeNever(gui::CommandEnabler& ce) { ce.Enable(false); }
// Adding codes from another dossier creates them: the create right of the list's function.
void CMDIBrowse::CeAjouterDepuis(gui::CommandEnabler& ce) { ce.Enable(!Busy() && HasAccessRight(rightsFunction, 2)); }
void CMDIBrowse::CeAjouterVersAutreDossier(gui::CommandEnabler& ce) {
  ce.Enable(!Busy() && HasAccessRight(rightsFunction, 7) && GetSelectedRowIndex() != 0);
}
void CMDIBrowse::CeHasRows(gui::CommandEnabler& ce) { ce.Enable(!Busy() && store_.totalRows > 0); }

// ---- report and copies between dossiers ---------------------------------------------------------------

namespace {

// The texts shown here, by their ids in the string table.
constexpr int kCursorBusy = 514;
constexpr int kLineEnd = 54;
constexpr int kColumnNumber = 2681;
constexpr int kCancelledMark = 37;
constexpr int kPromptCode = 2500;
constexpr int kCaptionGoToCode = 2501;
constexpr int kCaptionUnknownCode = 22291;

// The text of a command in the context menu: the string of the command's id plus this.
constexpr int kMenuTextOffset = 1000;

// Preview and printout share one pattern: the right, the choice dialog (which may switch to the other one),
// the list's PrepareReport, then the report engine.
void RunReport(CMDIBrowse& list, bool print) {
  const unsigned id = print ? browse_cmd::Imprimer : browse_cmd::Visualiser;
  if (list.Busy() || !HasAccessRight(list.rightsFunction, print ? 6 : 5)) return;
  if (list.reportPrefix.empty()) {
    gui::MessageBeep(0);
    return;
  }
  BrowseServices& hooks = BrowseHooks();
  if (!hooks.chooseLayout) {
    NotAvailableYet(id);
    return;
  }
  const int answer = hooks.chooseLayout(list, list.reportPrefix, print);
  if (answer == (print ? kSwitchToPreview : kSwitchToPrint)) {
    gui::PostCommand(list.GetHandle(), print ? browse_cmd::Visualiser : browse_cmd::Imprimer);
    return;
  }
  if (answer != gui::IDOK || !list.PrepareReport()) return;
  const auto& run = print ? hooks.print : hooks.preview;
  if (!run) {
    NotAvailableYet(id);
    return;
  }
  const std::string& title = print ? list.printTitle : list.previewTitle;
  run(list, title.empty() ? list.GetCaption() : title);
}

}  // namespace

void CMDIBrowse::CmVisualiser() { RunReport(*this, false); }
void CMDIBrowse::CmImprimer() { RunReport(*this, true); }

bool CMDIBrowse::Offered(unsigned command) {
  const gui::ResponseTable::Enabler* enabler = Responses().FindEnabler(command);
  if (enabler == nullptr) return true;
  gui::CommandEnabler ce(command);
  (*enabler)(*this, ce);
  return ce.Enabled();
}

// The copies ask the list's own enabler, whoever posts or sends them: a list that greys them copies nothing.
void CMDIBrowse::CmAjouterDUnAutreDossier() {
  if (!Offered(browse_cmd::AjouterDepuis)) {
    gui::MessageBeep(0);
    return;
  }
  const auto& copyIn = BrowseHooks().copyIn;
  if (!copyIn) {
    NotAvailableYet(browse_cmd::AjouterDepuis);
    return;
  }
  const BrowseCopyResult added = copyIn(*this);
  if (added.added > 0) {
    store_.totalRows += added.added;
    if (store_.totalRows > store_.rowsPerPage) ShowRowCount();
    CmRafraichirTotal();
  }
  if (!IsBlank(added.code)) LocateCode(added.code);
}

void CMDIBrowse::CmAjouterVersAutreDossier() {
  if (!Offered(browse_cmd::AjouterVers)) {
    gui::MessageBeep(0);
    return;
  }
  const auto& copyOut = BrowseHooks().copyOut;
  if (!copyOut) {
    NotAvailableYet(browse_cmd::AjouterVers);
    return;
  }
  copyOut(*this, GetSelectedRowIndex());
}

// ---- record text -------------------------------------------------------------------------------------------

namespace {
constexpr int kRecordTextState = 3819;
constexpr int kRecordTextKey = 3830;
constexpr int kRecordTextKeyLength = 92;
}  // namespace

void RequestRecordText(const std::string& reference, int keyLength, gui::Handle asker, unsigned repost) {
  const int answer = SwitchRegisteredWindow(reference.c_str(), keyLength);
  if (answer == 0) return;
  if (answer == 1) {
    // The other record's window is closing: ask again once it is gone.
    gui::PostCommand(asker, repost);
    return;
  }
  std::string key = reference.substr(0, kRecordTextKeyLength);
  key.resize(kRecordTextKeyLength, ' ');
  SetRegistryText(kRecordTextKey, kRecordTextKeyLength, key);
  SetRegistryText(kRecordTextState, 1, "2");
  gui::SendCommand(static_cast<gui::Handle>(SessionInt(1)), command_id::DonneesTexte);
  if (RegistryChar(kRecordTextState) == '2') SetRegistryText(kRecordTextState, 1, " ");
}

bool CMDIBrowse::OpenRecordTextFromList(const std::string& designation, int row) {
  if (row < 1 || row > store_.rowsPerPage || Busy() || !RowHasText(row) || keyWidth <= 0) {
    gui::MessageBeep(0);
    return false;
  }
  const std::string& text = store_.rows[static_cast<std::size_t>(row - 1)];
  std::string code = text.size() > 7 ? text.substr(7, static_cast<std::size_t>(keyWidth)) : std::string();
  code.resize(static_cast<std::size_t>(keyWidth), ' ');
  const std::string reference = designation.substr(0, 1) + (kindLetter.empty() ? std::string(" ") : kindLetter.substr(0, 1)) + code;
  RequestRecordText(reference, static_cast<int>(reference.size()), GetHandle(), browse_cmd::Texte);
  return true;
}

// ---- clipboard -------------------------------------------------------------------

bool CMDIBrowse::PutTextOnClipboard(const std::string& text) {
  gui::SetNamedCursor(LoadStr(kCursorBusy));
  const bool ok = gui::SetClipboardText(text);
  gui::SetArrowCursor();
  return ok;
}

void CMDIBrowse::CopySelectedCode() { CopySelectedCodeFrom(0, 0); }

void CMDIBrowse::CopySelectedCodeFrom(int position, int length) {
  if (position <= 0) position = 8;
  if (length <= 0) length = keyWidth;
  const int i = GetSelectedRowIndex();
  if (Busy() || i == 0 || !SelectedIsOrdinary() || length <= 0) {
    gui::MessageBeep(0);
    return;
  }
  const std::string& row = store_.rows[static_cast<std::size_t>(i - 1)];
  const std::string part = static_cast<std::size_t>(position - 1) < row.size()
                               ? row.substr(static_cast<std::size_t>(position - 1), static_cast<std::size_t>(length))
                               : std::string();
  PutTextOnClipboard(AllTrim(part.c_str()));
}

std::string CMDIBrowse::PageAsText() const {
  const std::string eol = LoadStr(kLineEnd);
  const int n = ColumnCount(columns_);
  std::string out = std::string(LoadStr(kColumnNumber)) + "\t" + LoadStr(kCancelledMark);
  for (int k = 2; k <= n; ++k) out += "\t" + std::string(AllTrim(columns_[static_cast<std::size_t>(k)].title.c_str()));
  out += eol;
  for (const std::string& row : store_.rows) {
    if (row.empty()) break;
    out += row.substr(0, 6);
    out += '\t';
    if (row.size() > 6 && row[6] == kMarkerCancelled) out += LoadStr(kCancelledMark);
    std::size_t pos = 6;
    for (int k = 1; k <= n; ++k) {
      const BrowseColumn& c = columns_[static_cast<std::size_t>(k)];
      const std::size_t len = c.field == 0 ? 1 : c.value2;
      if (k >= 2) {
        const std::string cell = pos < row.size() ? row.substr(pos, len) : std::string();
        out += '\t';
        out += AllTrim(cell.c_str());
      }
      pos += len;
    }
    out += eol;
  }
  return out;
}

void CMDIBrowse::CopyTableToClipboard() {
  gui::SetNamedCursor(LoadStr(kCursorBusy));
  const std::string text = PageAsText();
  // Only the header: nothing worth copying.
  bool any = !store_.rows.empty() && !store_.rows[0].empty();
  if (any && !IsBlank(text)) gui::SetClipboardText(text);
  else gui::MessageBeep(0);
  gui::SetArrowCursor();
}

// ---- context menu ----------------------------------------------------------------

std::vector<unsigned> CMDIBrowse::ContextMenuIds() const {
  std::vector<unsigned> ids;
  auto separator = [&ids] {
    if (!ids.empty() && ids.back() != 0) ids.push_back(0);
  };
  const std::size_t n = toolbarCommands.empty() ? 0 : std::min<std::size_t>(toolbarCommands[0], toolbarCommands.size() - 1);
  for (std::size_t i = 1; i <= n; ++i) {
    const unsigned id = toolbarCommands[i];
    if (i == 2) separator();
    if (id < child_command::FirstToolbarButton) separator();
    else if (id % 2 == 1) ids.push_back(id);
  }
  // The fixed groups, without a command the list's own bar already put in the menu.
  auto group = [&ids, &separator](std::initializer_list<unsigned> fixed) {
    std::vector<unsigned> missing;
    for (unsigned id : fixed)
      if (std::find(ids.begin(), ids.end(), id) == ids.end()) missing.push_back(id);
    if (missing.empty()) return;
    separator();
    ids.insert(ids.end(), missing.begin(), missing.end());
  };
  group({browse_cmd::AllerAuCode, browse_cmd::CopierCode, browse_cmd::CopierTableau});
  group({browse_cmd::Visualiser, browse_cmd::Imprimer});
  return ids;
}

void CMDIBrowse::EvRButtonDown(unsigned modKeys, gui::Point p) {
  if (Busy() || store_.totalRows <= 0) return;
  const int r = p.y / std::max(1, RowHeightPixels());
  if (r == 0 || r > store_.rowsPerPage || !RowHasText(r)) return;
  EvLButtonDown(modKeys & ~gui::MK_RBUTTON, p);
  gui::Menu menu;
  for (unsigned id : ContextMenuIds()) {
    if (id == 0) menu.InsertSeparator(-1);
    else menu.InsertItem(-1, id, LoadStr(static_cast<int>(id) + kMenuTextOffset));
  }
  menu.TrackPopupMenu(*this, p);
}

// ---- "Aller au code" ---------------------------------------------------------------

bool CMDIBrowse::AskCode(const std::string& caption, std::string& code) {
  // The one-value input with its Cancel button; the prompt gives the field's width and label.
  // Cancel leaves `typed` empty.
  std::string typed;
  TDFmtSaisie dialog(this, TDFmtSaisie::kOkCancel, kPromptCode, &typed, true);
  dialog.SetCaption(caption);
  if (dialog.Execute(kTaskModal) != gui::IDOK) return false;
  code = keyWidth > 0 ? typed.substr(0, static_cast<std::size_t>(keyWidth)) : typed;
  return true;
}

void CMDIBrowse::GoToCodeDialog(const std::function<bool(const std::string& code)>& find) {
  if (PartnerOpen() || Busy()) return;
  std::string caption = LoadStr(kCaptionGoToCode);
  for (;;) {
    std::string code;
    if (!AskCode(caption, code) || IsBlank(code)) return;
    code = AllTrim(Upper(code.c_str()));
    if (find(code)) return;
    gui::MessageBeep(0);
    caption = FillPlaceholder(LoadStr(kCaptionUnknownCode), code);
  }
}

void CMDIBrowse::CmAllerAuCode() {
  if (codeIndex.table == nullptr) {
    gui::MessageBeep(0);
    return;
  }
  GoToCodeDialog([this](const std::string& code) { return ShowCode(code); });
}
