#include "masterdata/masterdata_commands.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "masterdata/chart_form.h"
#include "masterdata/chart_list.h"
#include "masterdata/code_form.h"
#include "masterdata/code_list.h"
#include "masterdata/core/chart_files.h"
#include "masterdata/core/chart_layouts.h"
#include "masterdata/core/code_kinds.h"
#include "masterdata/record_text_editor.h"
#include "platform/gui/constants.h"
#include "resources/command_ids.h"
#include "runtime/session_registry.h"
#include "runtime/xbase.h"
#include "shell/graphics.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"
#include "shell/placement.h"
#include "shell/registry.h"

using namespace masterdata;

namespace {

// Where a new child goes when the windows are not placed by the "Fenêtres-Maxi" option: the list on the left of
// the client area, its form beside it.
constexpr int kListMinChars = 60;
constexpr int kFrameAllowance = 40;
constexpr int kFormMinWidth = 320;

bool PlacedByOption() { return ProgramOption(3) == 'O'; }

void PlaceList(CMDIBrowse& list) {
  PlaceChildWindow(list, 0, 0);
  if (PlacedByOption() || CommandWindow == nullptr) return;
  const gui::Rect client = CommandWindow->GetClientRect();
  const int wanted = std::max(TotalColumnWidth(list.Columns()), kListMinChars) * CMDIBrowse::CharWidthPixels() +
                     kFrameAllowance;
  const int width = std::min(wanted, std::max(client.w / 2, 200));
  list.MoveWindow(gui::Rect{0, 0, width, std::max(client.h, 200)});
}

void PlaceForm(CodeRecordForm& form, const CodeKind& kind, const KindLayout& layout) {
  PlaceChildWindow(form, 5, 0);
  if (PlacedByOption() || CommandWindow == nullptr) return;
  const gui::Rect client = CommandWindow->GetClientRect();
  const int cw = EntryCharWidth > 0 ? EntryCharWidth : 7;
  const int rh = (EntryRowHeight > 0 ? EntryRowHeight : 16) + 8;
  int width = layout.formWidthChars * cw + kFrameAllowance;
  const int height = (kind.gridRows + 1) * rh + kFrameAllowance;
  // Beside the list, when the list is open.
  int x = 0;
  if (gui::Window* list = gui::Window::FromHandle(SlotHandle(kind.listSlot))) {
    const gui::Rect r = list->GetWindowRect();
    x = r.x + r.w;
  }
  // Narrowed to the room beside the list (its grid scrolls), moved over the list only when too little is left.
  if (x + width > client.w) width = std::max(client.w - x, kFormMinWidth);
  if (x + width > client.w) x = std::max(0, client.w - width);
  form.MoveWindow(gui::Rect{x, 0, width, std::min(height, std::max(client.h, 200))});
}

// The menu command of a code list: the prologue ran (the shell's HandlerPrologue); an open form or list comes
// forward; a list that asked for its form gets it; otherwise the list opens.
void OpenCodeKind(const CodeKind& kind) {
  if (ActivateExistingChild(kind.formSlot) || ActivateExistingChild(kind.listSlot)) return;
  if (CommandWindow == nullptr) return;
  const KindLayout* layout = FindLayout(kind.kind);
  if (layout == nullptr) return;
  if (RegistryChar(kind.listSlot) == '2') {
    CodeRecordForm* form = MakeCodeForm(CommandWindow, kind.kind, RegistryText(kind.formSlot + 11, kind.codeWidth));
    if (form == nullptr) return;
    SetChildIcon(*form, kMasterDataIcon);
    PlaceForm(*form, kind, *layout);
    if (form->Create()) form->Show(gui::SW_SHOWNORMAL);
    else delete form;
    SetRegistryText(kind.listSlot, 1, "1");
    return;
  }
  TWFichiersC10* list = MakeCodeList(CommandWindow, kind.kind);
  if (list == nullptr) return;
  SetChildIcon(*list, kMasterDataIcon);
  PlaceList(*list);
  if (list->Create()) list->Show(gui::SW_SHOWNORMAL);
  else delete list;
}

// The chart of accounts (DonneesPlanComptable) and the analytic sections (DonneesSectionsAnal): an open form or list
// comes forward; a list that asked for its form gets it; otherwise the list opens in the order of its option, where a
// list closed to change its order stood when it hands its place over (ListReopenState).
// Core: FindChartKind, FindChartFile.
void OpenChart(char kind) {
  const CodeKind* k = FindChartKind(kind);
  if (k == nullptr || CommandWindow == nullptr) return;
  if (ActivateExistingChild(k->formSlot) || ActivateExistingChild(k->listSlot)) return;
  if (RegistryChar(k->listSlot) == '2') {
    ChartRecordForm* form = MakeChartForm(CommandWindow, kind, RegistryText(k->formSlot + 11, k->codeWidth));
    if (form == nullptr) return;
    SetChildIcon(*form, kMasterDataIcon);
    PlaceForm(*form, *k, *FindLayout(kind));
    if (form->Create()) form->Show(gui::SW_SHOWNORMAL);
    else delete form;
    SetRegistryText(k->listSlot, 1, "1");
    return;
  }
  const std::string state = ListReopenState;
  ChartList* list = MakeChartList(CommandWindow, kind);
  if (list == nullptr) return;
  SetChildIcon(*list, kMasterDataIcon);
  if (IsBlank(state)) {
    PlaceList(*list);
  } else {
    auto at = [&state](int i) { return std::atoi(state.substr(static_cast<std::size_t>(i) * 5, 5).c_str()); };
    list->MoveWindow(gui::Rect{at(0), at(1), at(2), at(3)});
  }
  if (list->Create()) {
    list->Show(gui::SW_SHOWNORMAL);
  } else {
    ListReopenState.clear();
    delete list;
  }
}

// The code list of a "Données" command.
// Core: FindCodeKindByCommand, CheckNewCode, CreateCodeRecord.
void OpenCodeList(unsigned command) { OpenCodeKind(*FindCodeKindByCommand(command)); }

}  // namespace

void InstallMasterDataCommands() {
  SetCommandWork(command_id::DonneesEtablissements, [] { OpenCodeList(command_id::DonneesEtablissements); });
  SetCommandWork(command_id::DonneesJournaux, [] { OpenCodeList(command_id::DonneesJournaux); });
  SetCommandWork(command_id::DonneesCollectifs, [] { OpenCodeList(command_id::DonneesCollectifs); });
  SetCommandWork(command_id::DonneesBanques, [] { OpenCodeList(command_id::DonneesBanques); });
  SetCommandWork(command_id::DonneesLibelles, [] { OpenCodeList(command_id::DonneesLibelles); });
  SetCommandWork(command_id::DonneesVentilations, [] { OpenCodeList(command_id::DonneesVentilations); });
  SetCommandWork(command_id::DonneesModeles, [] { OpenCodeList(command_id::DonneesModeles); });
  SetCommandWork(command_id::DonneesCodesTva, [] { OpenCodeList(command_id::DonneesCodesTva); });
  SetCommandWork(command_id::DonneesPlanComptable, [] { OpenChart('2'); });
  SetCommandWork(command_id::DonneesSectionsAnal, [] { OpenChart('3'); });
  // The record text editor, asked for by "Texte" of the lists and forms (no menu text).
  SetCommandWork(command_id::DonneesTexte, CmDonneesTexte);
}
