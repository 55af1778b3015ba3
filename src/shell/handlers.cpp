#include "shell/handlers.h"

#include <map>
#include <string_view>
#include <utility>

#include "platform/gui/application.h"
#include "platform/gui/constants.h"
#include "platform/gui/messagebox.h"
#include "resources/string_table.h"
#include "runtime/access_rights.h"
#include "runtime/xbase.h"
#include "shell/command_table.h"
#include "shell/mdi_client.h"

namespace {

// The texts shown here, by their ids in the string table.
constexpr int kMsgNotAvailableYet = 19990;
constexpr int kProgramTitle = 127;

struct Work {
  std::function<void()> fn;
  bool ownPrologue = false;
};

std::map<unsigned, Work>& WorkTable() {
  static std::map<unsigned, Work> table;
  return table;
}

const Work* FindWork(unsigned id) {
  auto& table = WorkTable();
  auto it = table.find(id);
  if (it != table.end()) return &it->second;
  // Ids of one handler (a range, or EtaBilanEdition with the balance-sheet buttons
  // EtaBilanReelNormal to EtaBilanAutre) share the work given for the first of them.
  const CommandEntry* entry = FindCommand(id);
  if (entry == nullptr) return nullptr;
  for (const CommandEntry& e : CommandTable()) {
    if (std::string_view(e.handler) != entry->handler) continue;
    it = table.find(e.first);
    if (it != table.end()) return &it->second;
  }
  return nullptr;
}

gui::Window* MessageOwner() { return gui::Window::FromHandle(MainWindowHandle); }

}  // namespace

bool HandlerPrologue() {
  CurrentHelpContext = 85;
  if (PrintRunFlag) {
    gui::MessageBeep(0);
    return false;
  }
  if (GetDossierState() == '2' && !IsBlank(DossierCode)) {
    const auto& check = Services().ensureDossierOpen;
    if (!check || !check()) return false;
  }
  return GetDossierState() == ' ';
}

void NotAvailableYet(unsigned id) {
  gui::MessageBeep(0);
  std::string text = LoadStr(kMsgNotAvailableYet);
  std::string title = LoadStr(static_cast<int>(id) + kMenuTextOffset);
  // The menu text without its mnemonic and accelerator, as the caption.
  std::string caption;
  for (char c : title) {
    if (c == '\t') break;
    if (c != '&') caption += c;
  }
  gui::MessageBox(MessageOwner(), text, caption.empty() ? std::string(LoadStr(kProgramTitle)) : caption,
                  gui::MB_OK | gui::MB_ICONINFORMATION);
}

void SetCommandWork(unsigned id, std::function<void()> work, bool ownPrologue) {
  if (!work) {
    WorkTable().erase(id);
    return;
  }
  WorkTable()[id] = Work{std::move(work), ownPrologue};
}

bool HasCommandWork(unsigned id) { return FindWork(id) != nullptr; }

void RunSubjectCommand(unsigned id) {
  const Work* work = FindWork(id);
  if (work != nullptr && work->ownPrologue) {
    // Copied: the work may replace itself.
    auto fn = work->fn;
    fn();
    return;
  }
  if (!HandlerPrologue()) return;
  work = FindWork(id);
  if (work == nullptr) {
    NotAvailableYet(id);
    return;
  }
  auto fn = work->fn;
  fn();
}
