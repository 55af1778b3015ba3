// Code-field lookups of the edit forms: the lookup through the "Aide
// fichier" dialog or through the subject's own list window (dossier
// constant 030 "N"), the first / previous / next / last code steps, and the
// balance display of an account or a section.
#include <algorithm>
#include <cstdio>

#include "controls/medit.h"
#include "data/error_report.h"
#include "data/record_fields.h"
#include "data/session.h"
#include "data/table.h"
#include "framework/edit_form.h"
#include "framework/lookup_registry.h"
#include "framework/lookup_dialog.h"
#include "platform/gui/application.h"
#include "platform/gui/controls.h"
#include "resources/string_table.h"
#include "runtime/code_helpers.h"
#include "runtime/dossier_record.h"
#include "runtime/numbers.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "shell/mdi_client.h"
#include "shell/registry.h"

namespace {
// The texts shown here, by their ids in the string table.
constexpr int kUnknownCode = 38;
constexpr int kZero = 1105;
constexpr int kMinus = 1015;

constexpr int kLookupWayConstant = 30;
constexpr int kHelpCharOption = 4;
constexpr int kAccountOrderOption = 21;
constexpr int kSectionOrderOption = 22;
constexpr int kTextLimitCap = 2000;

// Where the codes of one lookup live.
struct CodeSource {
  Table* table = nullptr;
  const char* tag = "";
  std::string kind;  // C10: the record kind (first part of the key); "" otherwise
  int codeField = 1;
  int nameField = 2;
  int width = 8;
};

CodeSource C10Source(const char* kind, int width) {
  return {TableC10, "C10CODE", std::string(kind != nullptr ? kind : "").substr(0, 1), 2, 3, width};
}
CodeSource C20Source() { return {TableC20, "C20CODE", "", 1, 2, 8}; }
CodeSource C30Source() { return {TableC30, "C30CODE", "", 1, 2, 8}; }

bool Usable(const CodeSource& s) { return s.table != nullptr && s.table->isOpen; }

bool OfKind(const CodeSource& s) {
  return s.kind.empty() || std::string(s.table->GetField(1)).compare(0, s.kind.size(), s.kind) == 0;
}

bool OnRecord(const CodeSource& s) { return !s.table->eof && !s.table->bof && s.table->recordNumber != 0; }

void SetLabel(gui::Static* label, const std::string& text) {
  if (label != nullptr) label->SetText(text);
}

// Seeks the key of a code; found when the record found carries exactly that
// code (of the kind, for C10).
Lookup SeekCode(const CodeSource& s, const std::string& code) {
  const std::string padded = PaddedRight(code, s.width);
  const Lookup hit = s.kind.empty() ? s.table->Find(s.tag, padded.c_str())
                                    : s.table->Find(s.tag, s.kind.c_str(), padded.c_str());
  if (!hit.IsFound()) return hit;
  return hit.And(OnRecord(s) && OfKind(s) &&
                 RTrim(s.table->GetField(s.codeField)) == std::string(RTrim(code.c_str())));
}

// Puts the record the table stands on into the edit and the label; a
// record that is not there, of another kind or cancelled beeps and shows
// "???".
bool TakeRecord(const CodeSource& s, MEdit* edit, gui::Static* label) {
  if (!Usable(s) || !OnRecord(s) || !OfKind(s) || !LiveOrSaid(*s.table).IsFound()) {
    gui::MessageBeep(0);
    SetLabel(label, LoadStr(kUnknownCode));
    return false;
  }
  std::string code = RTrim(s.table->GetField(s.codeField));
  if (static_cast<int>(code.size()) > s.width) code.resize(static_cast<std::size_t>(s.width));
  if (edit != nullptr) {
    // The window layer's limit counts characters (no terminator).
    const int limit = edit->GetTextLimit();
    if (limit > 0 && limit < kTextLimitCap && static_cast<int>(code.size()) > limit)
      code.resize(static_cast<std::size_t>(limit));
    edit->SetValue(code, false);
  }
  SetLabel(label, RTrim(s.table->GetField(s.nameField)));
  return true;
}

std::string EditText(MEdit* edit) { return edit != nullptr ? std::string(RTrim(edit->GetText().c_str())) : std::string(); }

// Seek on the typed text (kind + text for C10); the table stands on the
// first key not below it, or at the end.
void SeekTyped(const CodeSource& s, const std::string& typed) {
  if (typed.empty()) {
    if (s.kind.empty()) s.table->GoTop(s.tag);
    else s.table->Find(s.tag, s.kind.c_str());
    return;
  }
  // Not read, the table stands nowhere and the step shows "???".
  if (s.kind.empty()) s.table->FindNotBelow(s.tag, typed.c_str());
  else s.table->FindNotBelow(s.tag, s.kind.c_str(), typed.c_str());
}

bool StepFirst(const CodeSource& s, MEdit* edit, gui::Static* label) {
  if (!Usable(s)) return TakeRecord(s, edit, label);
  SeekTyped(s, "");
  s.table->SkipActive(false);
  return TakeRecord(s, edit, label);
}

bool StepPrior(const CodeSource& s, MEdit* edit, gui::Static* label) {
  if (!Usable(s)) return TakeRecord(s, edit, label);
  const bool stepping = edit != nullptr && edit->StepFlag;
  SeekTyped(s, EditText(edit));
  Table& t = *s.table;
  if (stepping) {
    // One record back, then back over cancelled records of the kind.
    if (t.eof) t.GoBottom(s.tag);
    else t.Skip(-1);
    while (OnRecord(s) && OfKind(s) && t.LiveHere().IsNotFound()) t.Skip(-1);
  } else {
    t.SkipActive(false);
  }
  if (edit != nullptr) {
    const bool ok = TakeRecord(s, edit, label);
    edit->StepFlag = true;
    return ok;
  }
  return TakeRecord(s, edit, label);
}

bool StepNext(const CodeSource& s, MEdit* edit, gui::Static* label) {
  if (!Usable(s)) return TakeRecord(s, edit, label);
  const bool stepping = edit != nullptr && edit->StepFlag;
  SeekTyped(s, EditText(edit));
  s.table->SkipActive(stepping);
  const bool ok = TakeRecord(s, edit, label);
  if (edit != nullptr) edit->StepFlag = true;
  return ok;
}

bool StepLast(const CodeSource& s, MEdit* edit, gui::Static* label) {
  if (!Usable(s)) return TakeRecord(s, edit, label);
  Table& t = *s.table;
  if (s.kind.empty()) {
    t.GoBottom(s.tag);
    while (OnRecord(s) && t.LiveHere().IsNotFound()) t.Skip(-1);
    return TakeRecord(s, edit, label);
  }
  SeekTyped(s, "");
  std::uint32_t last = 0;
  while (OnRecord(s) && OfKind(s)) {
    if (t.LiveHere().IsFound()) last = t.recordNumber;
    if (!t.Skip(1)) break;
  }
  if (last != 0) t.GoToRecord(static_cast<long>(last));
  else t.eof = 1;
  return TakeRecord(s, edit, label);
}

}  // namespace

// ---- the lookups --------------------------------------------------------------------

namespace {
enum class LookupKind { C10, C20, C30 };
}

static char RunLookup(CMDIModif& form, LookupKind lk, MEdit* edit, unsigned returnCommand, const char* kind,
                      int width, unsigned listCommand, int listSlot, gui::Static* label, std::string* result) {
  const CodeSource s = lk == LookupKind::C10 ? C10Source(kind, width) : lk == LookupKind::C20 ? C20Source() : C30Source();
  if (result != nullptr) result->clear();

  // Steps common to both ways once a code is known: look it up, show it.
  auto finish = [&](const std::string& code) -> char {
    // A look-up refused shows the code as unknown: a creation it leads to looks the code up again under
    // its creation lock and names the refusal there.
    if (Usable(s) && SeekCode(s, code).FoundOrNone() && LiveOrSaid(*s.table).IsFound()) {
      SetLabel(label, AllTrim(s.table->GetField(s.nameField)));
      if (edit != nullptr) edit->FocusSelect(true);
      if (result != nullptr) *result = code;
      return kLookupFound;
    }
    SetLabel(label, LoadStr(kUnknownCode));
    if (edit != nullptr) edit->FocusSelect(false);
    if (result != nullptr) result->clear();
    return kLookupNone;
  };

  if (TheDossierRecord.Constant(kLookupWayConstant).compare(0, 1, "N") != 0) {
    // The "Aide fichier" dialog.
    std::string t = EditText(edit);
    const char help = ProgramOption(kHelpCharOption);
    if (!t.empty() && help != ' ' && help != 0) {
      const std::size_t at = t.find(help);
      if (at != std::string::npos) t.resize(at);
    }
    std::string chosen = t;
    const std::string dialogKind = lk == LookupKind::C10 ? s.kind : lk == LookupKind::C20 ? "2" : "3";
    TDAideFichier dialog(&form, nullptr, dialogKind, s.width, &chosen);
    if (dialog.Execute(kTaskModal) != gui::IDOK) return finish(std::string());
    if (edit != nullptr) edit->SetValue(chosen, false);
    // The overflow row hands back an empty code: nothing was chosen.
    if (IsBlank(chosen)) return finish(std::string());
    if (lk == LookupKind::C20) StoreSessionCode(PaddedRight(chosen, 8).c_str());
    if (lk == LookupKind::C30) SetRegistryText(kRegistryLastSection, 8, PaddedRight(chosen, 8));
    return finish(chosen);
  }

  // The list window of the subject. Only a code the list returned to this
  // form (written with the answer mark) is an answer.
  const std::string ownHandle = RegistryText(form.OwnSlot + 1, 10);
  std::string answer;
  if (TakeLookupAnswer(listSlot, s.width, ownHandle, answer)) {
    form.ActivateWindowHandle(0);
    std::string code = AllTrim(answer.c_str());
    // A general account answered short is completed with zeros.
    if (lk == LookupKind::C20 && !code.empty() && static_cast<unsigned char>(code[0]) < 'A')
      code = PaddedRight(code, 8, LoadStr(kZero)[0] != 0 ? LoadStr(kZero)[0] : '0');
    if (edit != nullptr) edit->SetValue(code, false);
    return finish(code);
  }
  WriteLookupRequest(listSlot, s.width, edit != nullptr ? edit->GetText() : std::string(), form.OwnSlot + 1, ownHandle,
                     returnCommand);
  // A slot whose window has ended counts as closed: the list is opened again.
  const char flag = RegistryChar(listSlot);
  const gui::Handle list = SlotHandle(listSlot);
  if (flag == ' ' || flag == 0 || !gui::IsWindow(list)) {
    ChildLayoutMode = 8;
    if (lk == LookupKind::C20) SetProgramOption(kAccountOrderOption, 'C');
    if (lk == LookupKind::C30) SetProgramOption(kSectionOrderOption, 'C');
    gui::PostCommand(static_cast<gui::Handle>(SessionInt(1)), listCommand);
    return kLookupListOpened;
  }
  form.ActivateWindowHandle(list);
  gui::PostCommand(list, form_cmd::ListReposition);
  return kLookupListRepositioned;
}

char CMDIModif::LookupC10Code(MEdit* edit, unsigned returnCommand, const char* kind, int width,
                              unsigned listCommand, int listSlot, gui::Static* nameLabel, std::string* result) {
  return RunLookup(*this, LookupKind::C10, edit, returnCommand, kind, width, listCommand, listSlot, nameLabel,
                   result);
}

char CMDIModif::LookupC20Code(MEdit* edit, unsigned returnCommand, gui::Static* nameLabel) {
  return RunLookup(*this, LookupKind::C20, edit, returnCommand, "2", 8, command_id::DonneesPlanComptable,
                   kAccountListSlot, nameLabel, nullptr);
}

char CMDIModif::LookupC30Code(MEdit* edit, unsigned returnCommand, gui::Static* nameLabel) {
  return RunLookup(*this, LookupKind::C30, edit, returnCommand, "3", 8, command_id::DonneesSectionsAnal,
                   kSectionListSlot, nameLabel, nullptr);
}

// ---- stepping -------------------------------------------------------------------------

bool CMDIModif::FirstC10Code(MEdit* e, const char* kind, int width, gui::Static* l) { return StepFirst(C10Source(kind, width), e, l); }
bool CMDIModif::PriorC10Code(MEdit* e, const char* kind, int width, gui::Static* l) { return StepPrior(C10Source(kind, width), e, l); }
bool CMDIModif::NextC10Code(MEdit* e, const char* kind, int width, gui::Static* l) { return StepNext(C10Source(kind, width), e, l); }
bool CMDIModif::LastC10Code(MEdit* e, const char* kind, int width, gui::Static* l) { return StepLast(C10Source(kind, width), e, l); }
bool CMDIModif::FirstC20Code(MEdit* e, gui::Static* l) { return StepFirst(C20Source(), e, l); }
bool CMDIModif::PriorC20Code(MEdit* e, gui::Static* l) { return StepPrior(C20Source(), e, l); }
bool CMDIModif::NextC20Code(MEdit* e, gui::Static* l) { return StepNext(C20Source(), e, l); }
bool CMDIModif::LastC20Code(MEdit* e, gui::Static* l) { return StepLast(C20Source(), e, l); }
bool CMDIModif::FirstC30Code(MEdit* e, gui::Static* l) { return StepFirst(C30Source(), e, l); }
bool CMDIModif::PriorC30Code(MEdit* e, gui::Static* l) { return StepPrior(C30Source(), e, l); }
bool CMDIModif::NextC30Code(MEdit* e, gui::Static* l) { return StepNext(C30Source(), e, l); }
bool CMDIModif::LastC30Code(MEdit* e, gui::Static* l) { return StepLast(C30Source(), e, l); }

// ---- balances ---------------------------------------------------------------------------

namespace {
// The name, then the balance grouped whole ("99 999 999 999.99 Db") and the currency's name: on the
// same line, or on a line of their own (`amountBelow`) for a label two lines high, which never breaks
// the amount between its groups.
void ShowBalance(Table* table, int debitField, int creditField, gui::Static* label, bool euro, bool amountBelow) {
  if (label == nullptr || table == nullptr || !table->isOpen || table->recordNumber == 0) return;
  const int e = euro ? 1 : 0;
  const long long balance = StoredAmountOf(*table, debitField + e) - StoredAmountOf(*table, creditField + e);
  std::string text = RTrim(table->GetField(2));
  text += " ";
  text += LoadStr(kMinus);
  text += amountBelow ? "\n" : " ";
  text += Trimmed(BalanceAmount(balance));
  text += " ";
  text += LoadStr(euro ? 2277 : 2278);
  label->SetText(text);
}
}  // namespace

void CMDIModif::ShowAccountBalanceC20(gui::Static* label, bool euro, bool amountBelow) {
  ShowBalance(TableC20, 17, 19, label, euro, amountBelow);
}
void CMDIModif::ShowAccountBalanceC30(gui::Static* label, bool euro) { ShowBalance(TableC30, 9, 11, label, euro, false); }
