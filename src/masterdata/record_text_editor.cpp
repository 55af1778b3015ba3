#include "masterdata/record_text_editor.h"

#include <algorithm>
#include <cstdlib>

#include "controls/control_env.h"
#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "framework/browse.h"
#include "framework/dialog_bases.h"
#include "framework/fmt_saisie.h"
#include "framework/font_choice.h"
#include "platform/gui/application.h"
#include "platform/gui/clipboard.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/dialog_template.h"
#include "resources/string_table.h"
#include "runtime/access_rights.h"
#include "runtime/code_helpers.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/session_registry.h"
#include "runtime/xbase.h"
#include "shell/graphics.h"
#include "shell/mdi_client.h"
#include "shell/placement.h"
#include "shell/registry.h"
#include "shell/toolbar.h"

using namespace masterdata;

namespace {

constexpr int kGridColumns = 10;
constexpr int kGridRows = 18;
constexpr int kListId = 1201;
constexpr int kListTitleId = 1202;
constexpr int kTextId = 1203;
constexpr int kIcon = 1004;
constexpr int kPlacement = 5;
constexpr int kFontSpecWidth = 80;
constexpr std::size_t kMostKeywordColumns = 40;
constexpr int kSearchPrompt = 796;
constexpr int kSearchCaption = 22303;
constexpr int kCaretLabel = 22304;
constexpr const char* kTitlePrefix = "Texte - ";
// Program INI keys (string 10 packs them by 13): "PoliceSpecial" and "Fenetre-Texte".
constexpr int kIniKeys = 10;
constexpr int kFontKeySlot = 2;
constexpr int kWindowKeySlot = 9;
constexpr int kPlaceWidth = 6;

std::string IniKey(int slot) { return RTrim(SubStr(LoadStr(kIniKeys), 13 * (slot - 1) + 1, 13)); }

// The place kept in "Fenetre-Texte": X, Y, width and height, six digits each.
bool StoredPlace(gui::Rect& place) {
  const std::string text = IniGetString(IniKey(kWindowKeySlot).c_str(), "");
  if (text.size() < 4 * kPlaceWidth || text.find_first_not_of("0123456789") < 4 * kPlaceWidth) return false;
  int v[4];
  for (int i = 0; i < 4; ++i) v[i] = std::atoi(text.substr(static_cast<std::size_t>(i * kPlaceWidth), kPlaceWidth).c_str());
  if (v[2] < 100 || v[3] < 80) return false;
  place = gui::Rect{v[0], v[1], v[2], v[3]};
  return true;
}

}  // namespace

// The text field: a memo-sized edit whose typing stops at the text's limit (a text longer
// than its limit is shown whole and only shortened), and in which every key types as in any
// editor (a blank at the start or "²" do not clear or reload it, as they do a code field).
class RecordTextEdit : public MEdit {
 public:
  RecordTextEdit(gui::Window* parent, int limit)
      : MEdit(parent, kTextId, limit, 1, MEdit::kText, 0, true), limit_(limit) {
    SetFlags(Flags() | gui::ctl::VScroll);
    SetLineBreak(true);
    SetFullField(false);
  }

  // True when `inserted` characters typed over the selection keep the text within its limit.
  bool Fits(int inserted) const {
    int s = 0, e = 0;
    GetSelection(s, e);
    return InsertionFits(GetTextLength(), e - s, inserted, limit_);
  }

 protected:
  void EvChar(unsigned ch, unsigned repeat, unsigned flags) override {
    if (ch == 1) {  // Ctrl+A
      SetSelection(0, -1);
      return;
    }
    if (ch == 13 || ch == 10) return;  // Enter breaks the line when released
    if ((ch >= 32 && ch != 127) && !Fits(1)) {
      gui::MessageBeep(0);
      return;
    }
    DefaultProcessing();
  }
  void EvKeyDown(int vk, unsigned repeat, unsigned flags) override {
    // A paste goes in only whole.
    const bool paste = (vk == 'V' && CtrlDown()) || (vk == gui::VK_INSERT && ShiftDown());
    if (paste && !Fits(static_cast<int>(PastedLength()))) {
      gui::MessageBeep(0);
      return;
    }
    MEdit::EvKeyDown(vk, repeat, flags);
  }
  void EvKeyUp(int vk, unsigned repeat, unsigned flags) override {
    if (vk == gui::VK_RETURN && !Fits(2)) {
      UpdateCaretInfo();
      gui::MessageBeep(0);
      return;
    }
    MEdit::EvKeyUp(vk, repeat, flags);
  }

 private:
  // The clipboard's text as the edit counts it (line ends as CR LF).
  static std::size_t PastedLength() {
    const std::string text = gui::GetClipboardText();
    std::size_t n = text.size();
    for (std::size_t i = 0; i < text.size(); ++i)
      if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) ++n;
    return n;
  }

  int limit_;
};

// ---- construction ----------------------------------------------------------------------------

TWDonTexte::TWDonTexte(gui::MDIClient* client, const std::string& title)
    : CMDIModif(client, title, kGridColumns, kGridRows, kRecordTextSlot, kRecordTextSlotLength) {
  reference_ = RegistryText(kRecordReferencePos, kRecordReferenceLength);
  const bool known = RecordTextTypeOf(reference_, type_);
  if (known) keywords_ = KeywordListFor(type_, ReferenceCode(reference_), TheDossierRecord.AnalyticMode());
  ContextCommands = {4, form_cmd::Quitter, form_cmd::Enregistrer, text_cmd::Search, text_cmd::SearchAgain};
  if (type_.IsReport()) ContextCommands.push_back(text_cmd::Police);
  if (!keywords_.Empty()) ContextCommands.push_back(text_cmd::Insert);
  ContextCommands[0] = static_cast<std::uint32_t>(ContextCommands.size() - 1);

  if (!keywords_.Empty()) {
    list_ = new MListBox(this, kListId);
    list_->SetNotify(this, text_cmd::Insert, 0, 0);
    listTitle_ = new MRStatic(this, keywords_.title, kListTitleId);
    listTitle_->SetFlags(listTitle_->Flags() | gui::ctl::Center);
  }
  edit_ = new RecordTextEdit(this, known ? type_.maxLength : kRecordTextLimit);
  positionStatic_ = new MRStatic(this, "", 0);
  positionStatic_->SetFlags(positionStatic_->Flags() | gui::ctl::Center);
  caretLabel_ = new MStatic(this, LoadStr(kCaretLabel), 0);
  caretLabel_->SetFlags(caretLabel_->Flags() | gui::ctl::Right);
  lineStatic_ = new MRStatic(this, "", 0);
  lineStatic_->SetFlags(lineStatic_->Flags() | gui::ctl::Center);
  columnStatic_ = new MRStatic(this, "", 0);
  columnStatic_->SetFlags(columnStatic_->Flags() | gui::ctl::Center);
  edit_->LinkCaretStatics(lineStatic_, columnStatic_, positionStatic_);
  if (list_ != nullptr) edit_->LinkList(list_, false);

  fontSpec_ = IniGetString(IniKey(kFontKeySlot).c_str(), kDefaultFontSpec);
  if (IsBlank(fontSpec_)) fontSpec_ = kDefaultFontSpec;
  fontSpec_ = fontSpec_.substr(0, kFontSpecWidth);
}

TWDonTexte::~TWDonTexte() { hold_.Release(); }

MEdit* TWDonTexte::Text() const { return edit_; }

const gui::ResponseTable& TWDonTexte::Table() {
  static const gui::ResponseTable table = gui::ResponseTable(&CMDIModif::Table())
                                              .Command(text_cmd::SelectAll, &TWDonTexte::CmToutSelectionner)
                                              .Command(text_cmd::Search, &TWDonTexte::CmChercher)
                                              .Command(text_cmd::SearchAgain, &TWDonTexte::CmChercherEncore)
                                              .Enable(text_cmd::SearchAgain, &TWDonTexte::CeChercherEncore)
                                              .Command(text_cmd::Insert, &TWDonTexte::CmInserer)
                                              .Enable(text_cmd::Insert, &TWDonTexte::CeInserer)
                                              .Command(text_cmd::Police, &TWDonTexte::CmPolice)
                                              .Enable(form_cmd::Enregistrer, &TWDonTexte::CeEnregistrer);
  return table;
}

void TWDonTexte::SetupWindow() {
  CMDIModif::SetupWindow();
  BuildToolbar(ContextCommands, true);
  if (list_ != nullptr) {
    list_->SetFont(TableFont);
    listTitle_->SetFont(TableFont);
    // The descriptions line up after the longest keyword.
    std::size_t widest = 8;
    for (const std::string& line : keywords_.lines)
      if (const std::size_t tab = line.find('\t'); tab != std::string::npos) widest = std::max(widest, tab);
    list_->SetTabStop(static_cast<int>(std::min<std::size_t>(widest + 2, kMostKeywordColumns)) *
                      std::max(TableCharWidth, 1));
    for (const std::string& line : keywords_.lines) list_->AddString(line);
    listTitle_->DrawFrame();
  }
  edit_->SetFont(EntryFontFixed);
  SetControlsOwner(edit_, list_);
  // The record, locked for the editor; missing, cancelled or held elsewhere: the window goes.
  if (!hold_.Open(reference_)) {
    gui::PostCommand(GetHandle(), form_cmd::Quitter);
    return;
  }
  edit_->SetValue(hold_.Text(), true);
  loadedText_ = edit_->GetText();
  edit_->UpdateCaretInfo();
}

void TWDonTexte::CleanupWindow() {
  hold_.Release();
  IniSetString(IniKey(kFontKeySlot).c_str(), fontSpec_.c_str());
  KeepWindowPlace();
  CMDIModif::CleanupWindow();
}

void TWDonTexte::KeepWindowPlace() {
  const std::string key = IniKey(kWindowKeySlot);
  const std::string kept = IniGetString(key.c_str(), "");
  if (!kept.empty() && kept[0] == 'N') return;
  const gui::Rect r = GetWindowRect();
  std::string place;
  for (int v : {r.x, r.y, r.w, r.h}) place += StrZero(std::max(0, v), kPlaceWidth);
  IniSetString(key.c_str(), place.c_str());
}

void TWDonTexte::EvSetFocus(gui::Handle lost) {
  CMDIModif::EvSetFocus(lost);
  if (IsIconic()) return;
  FocusTextAtEnd();
}

void TWDonTexte::FocusTextAtEnd() {
  if (edit_ == nullptr || !edit_->IsCreated()) return;
  edit_->SetFocus();
  const int end = edit_->GetTextLength();
  edit_->SetSelection(end, end);
  edit_->UpdateCaretInfo();
}

void TWDonTexte::ArrangeControls() {
  int textTop = 1;
  if (list_ != nullptr) {
    MoveFormControls(list_, 1, 1, kGridColumns, 4, grid::Fill, 0, 0);
    MoveFormControls(listTitle_, 1, 5, kGridColumns, 1, grid::Label, 0, 0);
    textTop = 6;
  }
  MoveFormControls(edit_, 1, textTop, kGridColumns, kGridRows - textTop, grid::Fill, 0, 0);
  MoveFormControls(positionStatic_, 1, kGridRows, 2, 1, grid::Label, 0, 0);
  MoveFormControls(caretLabel_, 3, kGridRows, 6, 1, grid::Label, 0, 0);
  MoveFormControls(lineStatic_, 9, kGridRows, 1, 1, grid::Label, 0, 0);
  MoveFormControls(columnStatic_, 10, kGridRows, 1, 1, grid::Label, 0, 0);
  // The text takes the room a taller window leaves below the grid; the caret's line stays at the
  // bottom.
  const int room = RoomBelowGrid();
  gui::Rect r = edit_->GetWindowRect();
  r.h += room;
  edit_->MoveWindow(r);
  for (gui::Window* w : std::initializer_list<gui::Window*>{positionStatic_, caretLabel_, lineStatic_, columnStatic_}) {
    r = w->GetWindowRect();
    r.y += room;
    w->MoveWindow(r);
  }
}

// ---- the edit-form protocol ------------------------------------------------------------------

bool TWDonTexte::IsModified() {
  return hold_.Held() && edit_ != nullptr && edit_->IsCreated() && edit_->GetText() != loadedText_;
}

int TWDonTexte::Check() {
  if (NoCheckFlag) return kCheckClose;
  return IsModified() ? kCheckSave : kCheckClose;
}

bool TWDonTexte::Save() {
  if (!IsModified()) return true;
  const std::string text = edit_->GetText();
  if (!hold_.Save(text)) return false;
  loadedText_ = text;
  return true;
}

// ---- commands --------------------------------------------------------------------------------

void TWDonTexte::CmToutSelectionner() {
  if (edit_ == nullptr) return;
  edit_->SetFocus();
  edit_->SetSelection(0, -1);
}

void TWDonTexte::CmChercher() {
  std::string word = BrowseSearchText;
  TDFmtSaisie dialog(this, TDFmtSaisie::kOkCancel, kSearchPrompt, &word, true);
  dialog.SetCaption(LoadStr(kSearchCaption));
  if (dialog.Execute(kTaskModal) != gui::IDOK) return;
  word = AllTrim(word.c_str());
  if (word.empty()) return;
  BrowseSearchText = word;
  SearchWord();
}

void TWDonTexte::CmChercherEncore() {
  if (IsBlank(BrowseSearchText)) {
    gui::MessageBeep(0);
    return;
  }
  SearchWord();
}

void TWDonTexte::CeChercherEncore(gui::CommandEnabler& ce) {
  ce.Enable(!PrintRunFlag && !IsIconic() && !IsBlank(BrowseSearchText));
}

void TWDonTexte::SearchWord() {
  int s = 0, e = 0;
  edit_->GetSelection(s, e);
  const int from = searchFromTop_ ? 0 : e;
  searchFromTop_ = false;
  const std::string word = AllTrim(BrowseSearchText.c_str());
  const int at = FindWordInText(edit_->GetText(), word, from);
  if (at < 0) {
    gui::MessageBeep(0);
    searchFromTop_ = true;
    return;
  }
  edit_->SetFocus();
  edit_->SetSelection(at, at + static_cast<int>(word.size()));
  edit_->UpdateCaretInfo();
}

void TWDonTexte::CmInserer() {
  if (list_ == nullptr) return;
  const int line = list_->GetSelIndex();
  if (line < 0) return;
  const std::string text = InsertableText(list_->GetString(line));
  if (text.empty()) {
    gui::MessageBeep(0);
    edit_->SetFocus();
    return;
  }
  InsertText(text);
}

void TWDonTexte::CeInserer(gui::CommandEnabler& ce) { ce.Enable(list_ != nullptr && list_->GetSelIndex() >= 0); }

void TWDonTexte::CmPolice() {
  if (!type_.IsReport() || !hold_.Held()) return;
  std::string spec = fontSpec_;
  if (ChooseFonts(this, spec) && !IsBlank(spec)) {
    fontSpec_ = spec.substr(0, kFontSpecWidth);
    InsertText("[P:" + fontSpec_ + "]");
  } else {
    gui::MessageBeep(0);
  }
  FocusTextAtEnd();
}

bool TWDonTexte::InsertText(const std::string& text) {
  if (!hold_.Held()) return false;
  if (!edit_->Fits(static_cast<int>(text.size()))) {
    gui::MessageBeep(0);
    return false;
  }
  edit_->ReplaceSelection(text);
  edit_->SetFocus();
  edit_->UpdateCaretInfo();
  return true;
}

// ---- DonneesTexte ---------------------------------------------------------------------------

// Core: RecordTextTypeOf, FindWordInText, KeywordListFor.
void CmDonneesTexte() {
  if (ActivateExistingChild(kRecordTextSlot)) return;
  if (RegistryChar(kRecordTextSlot) != '2' || CommandWindow == nullptr) return;
  const std::string reference = RegistryText(kRecordReferencePos, kRecordReferenceLength);
  const std::string title = kTitlePrefix + std::string(CodeLabelForType(reference.substr(1, 1).c_str())) +
                            ReferenceCode(reference);
  auto* window = new TWDonTexte(CommandWindow, title);
  gui::Rect place;
  window->MoveWindow(StoredPlace(place) ? place : gui::Rect{30, 20, 680, 460});
  SetChildIcon(*window, kIcon);
  PlaceChildWindow(*window, kPlacement, 0);
  if (!window->Create()) {
    // A window that got as far as its widget is deleted by the layer.
    if (window->IsCreated()) window->Destroy();
    else delete window;
    return;
  }
  window->Show(gui::SW_SHOWNORMAL);
}
