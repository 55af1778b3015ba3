// A small subject over a real general file (C10) for the list, edit-form
// and lookup tests (its fixture also holds the lists over memory records):
// the journal codes (kind "J", code of 3 characters) with a
// list window derived from CMDIBrowse and an edit form derived from
// CMDIModif, opened by command 20302 of a small command window that stands
// in for the MDI client of the program.
//
// The form edits the name (field 3) and a counterpart journal (GZONE1
// characters 1-3, looked up with the "?" button 1301); it locks its record
// for form kind 0 while it is open.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "data/index_recovery.h"
#include "data/locks.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_create.h"
#include "framework/browse.h"
#include "framework/edit_form.h"
#include "platform/gui/mdi.h"
#include "platform/gui/messagebox.h"
#include "platform/gui/modal_seam.h"
#include "resources/string_table.h"
#include "runtime/access_rights.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/runtime_hooks.h"
#include "runtime/runtime_init.h"
#include "runtime/session_registry.h"
#include "runtime/xbase.h"
#include "shell/graphics.h"
#include "shell/mdi_client.h"
#include "shell/registry.h"
#include "support/gui_test.h"
#include "support/temp_folder.h"

namespace subject {

constexpr int kListSlot = 359;
constexpr int kListSlotLength = 40;
constexpr int kFormSlot = 400;
constexpr int kFormSlotLength = 30;
constexpr unsigned kSubjectCommand = 20302;
constexpr unsigned kLookupButton = 1301;
constexpr int kCodeWidth = 3;
constexpr int kFormKind = 0;
constexpr const char* kKind = "J";
// The caption of the subject's refusal, by its id in the string table.
constexpr int kCaptionAttention = 52;

// The three-digit journal code of a rank: "001", "002" ...
inline std::string Code(long rank) {
  char code[24];
  std::snprintf(code, sizeof code, "%03ld", rank);
  return code;
}

// Opens the subject's windows: the list, or the form when the list asked
// for one (its slot marked '2' or 'R' with the key in the form's slot).
void RunSubjectCommand(gui::MDIClient* client);

class JournalList : public CMDIBrowse {
 public:
  static BrowseColumnTable Columns() {
    BrowseColumnTable c = MakeColumnTable(3, 1);
    DefineColumn(c, 1, 1, "", 'C', 'G', 0, 0, 1);
    DefineColumn(c, 2, 5, "Code", 'C', 'G', 2, 0, kCodeWidth);
    DefineColumn(c, 3, 30, "Libell\xE9", 'C', 'G', 3, 0, 30);
    return c;
  }

  explicit JournalList(gui::MDIClient* client)
      : CMDIBrowse(client, "Journaux", ColumnsPtr(), kListSlot, kListSlotLength, kFormSlot) {
    keyWidth = kCodeWidth;
    toolbarCommands = {4, 20023, 20047, 20029, 20031};
    t_ = GetTable(0);
    if (t_->OpenShared(PathC10(), "C10CODE")) {
      Store().totalRows = static_cast<long>(CountIndexEntries(*t_, "C10CODE", 1, kKind));
    }
  }

  bool HasCurrentRecord(::Table* t) override { return CMDIBrowse::HasCurrentRecord(t) && t->GetField(1)[0] == 'J'; }
  void FillRowsForward(BrowseRows& rows, int first, int count, long recno) override {
    if (recno != 0) {
      t_->GoTo(recno);
      t_->Skip(1);
    }
    for (int i = first; i < first + count; ++i) {
      Row(rows, i);
      if (HasCurrentRecord(t_)) t_->Skip(1);
    }
  }
  void FillRowsFromFirst(BrowseRows& rows, int first, int count) override {
    t_->Seek("C10CODE", kKind);
    FillRowsForward(rows, first, count, 0);
  }
  // From the last journal back: the first record of the next kind, one step up.
  void FillRowsFromLast(BrowseRows& rows, int last, int count) override {
    if (Store().totalRows < count) return FillRowsFromFirst(rows, last - count + 1, count);
    if (t_->Seek("C10CODE", "K")) {
      t_->Skip(-1);
    } else {
      t_->GoBottom();
    }
    for (int i = last; i > last - count; --i) {
      Row(rows, i);
      if (HasCurrentRecord(t_)) t_->Skip(-1);
    }
  }
  void ReloadRow(BrowseRows& rows, int i, long recno) override {
    t_->GoTo(recno);
    Row(rows, i);
  }
  std::string GetCellText(int field, std::uint32_t, std::uint32_t v2, int) override {
    std::string text = t_->GetField(field);
    text.resize(v2, ' ');
    return text;
  }
  void PositionOnRecord(long recno, int) override { t_->GoTo(recno); }
  void SkipRecords(long n) override { t_->Skip(n); }
  bool SeekTypedKey(char c) override { return LocateRowByKey(t_, TypeAheadChar(c), 1, 1, 2); }
  // The form of the selected record.
  void CmModifier() {
    if (PositionOnSelectedRow(0) == 0) return;
    OpenPartnerForm(GetSelectedRowText(), kFormSlot, kSubjectCommand);
  }
  // Cancel and reactivate under a record lock.
  void CmAnnuler() {
    // Ask once (a waiting lock would loop on a test's notice), then let go.
    if (PositionOnSelectedRow(0) != 0 && t_->DeleteRecord(t_->RecordToText(3), 0)) UnlockRecord(*t_);
    CmRafraichir();
  }
  void CmReactiver() {
    if (PositionOnSelectedRow(0) != 0 && t_->RecallRecord(t_->RecordToText(3), 0)) UnlockRecord(*t_);
    CmRafraichir();
  }
  // The whole visible row of a code ("" when not shown), and its selection.
  std::string RowOf(const std::string& code) const {
    const int i = RowIndexOf(code);
    return i < 0 ? std::string() : Store().rows[static_cast<std::size_t>(i)];
  }
  void SelectCode(const std::string& code) {
    if (const int i = RowIndexOf(code); i >= 0) Store().selected = Store().top + i + 1;
  }
  int RowIndexOf(const std::string& code) const {
    for (std::size_t i = 0; i < Store().rows.size(); ++i)
      if (Store().rows[i].size() >= 7 + code.size() && Store().rows[i].compare(7, code.size(), code) == 0)
        return static_cast<int>(i);
    return -1;
  }

  static const gui::ResponseTable& Table() {
    static const gui::ResponseTable table = gui::ResponseTable(&CMDIBrowse::Table())
                                                .Command(browse_cmd::Modifier, &JournalList::CmModifier)
                                                .Command(browse_cmd::Annuler, &JournalList::CmAnnuler)
                                                .Command(browse_cmd::Reactiver, &JournalList::CmReactiver);
    return table;
  }
  const gui::ResponseTable& Responses() const override { return Table(); }

 private:
  static const BrowseColumnTable* ColumnsPtr() {
    static const BrowseColumnTable columns = Columns();
    return &columns;
  }
  void Row(BrowseRows& rows, int i) {
    if (HasCurrentRecord(t_)) {
      BuildRowText(rows, i, static_cast<long>(t_->recordNumber), t_->IsDeleted());
    } else if (i >= 0 && static_cast<std::size_t>(i) < rows.size()) {
      rows[static_cast<std::size_t>(i)].clear();
    }
  }
  ::Table* t_ = nullptr;
};

class JournalForm : public CMDIModif {
 public:
  JournalForm(gui::MDIClient* client, const std::string& code)
      : CMDIModif(client, "Journal", 4, 6, kFormSlot, kFormSlotLength, kListSlot), code_(code) {
    KeyWidth = kCodeWidth;
    codeEdit = new MEdit(this, 101, kCodeWidth, 1, MEdit::kText, 0, false);
    nameEdit = new MEdit(this, 102, 30, 1, MEdit::kText, 0, false);
    refEdit = new MEdit(this, 103, kCodeWidth, 1, MEdit::kText, 0, false);
    refName = new MStatic(this, "", 104);
    lookup = new MButton(this, kLookupButton, "?");
  }
  ~JournalForm() override {
    if (FormRecordLocks[kFormKind] != 0 && TableC10 != nullptr) UnlockFormRecord(*TableC10, kFormKind);
  }

  // Loads the record of `code`; locks it. False when it is not there.
  bool Load(const std::string& code) {
    code_ = code;
    std::string key = code;
    key.resize(kCodeWidth, ' ');
    if (!TableC10->Seek("C10CODE", kKind, key.c_str()) || TableC10->GetField(1)[0] != 'J') return false;
    recno_ = TableC10->recordNumber;
    codeEdit->SetValue(RTrim(TableC10->GetField(2)), true);
    nameEdit->SetValue(RTrim(TableC10->GetField(3)), true);
    refEdit->SetValue(RTrim(std::string(TableC10->GetField(4)).substr(0, kCodeWidth).c_str()), true);
    locked = LockFormRecord(*TableC10, kFormKind, 3);
    nameEdit->EnableWindow(locked);
    refEdit->EnableWindow(locked);
    return true;
  }

  bool IsModified() override {
    return codeEdit->IsModified() || nameEdit->IsModified() || refEdit->IsModified() || forceModified;
  }
  int Check() override {
    if (!locked) return kCheckClose;
    if (IsBlank(nameEdit->GetText())) {
      gui::MessageBox(this, "Le libell\xE9 est obligatoire", LoadStr(kCaptionAttention), gui::MB_OK | gui::MB_ICONSTOP);
      return kCheckInvalid;
    }
    return IsModified() ? kCheckSave : kCheckClose;
  }
  bool Save() override {
    if (!locked || TableC10->GoTo(static_cast<long>(recno_)) == false) return false;
    // Written only under the form's own lock.
    if (FormRecordLocks[kFormKind] != recno_) return false;
    if (!TableC10->PutField(3, nameEdit->GetText().c_str())) return false;
    if (!TableC10->PutFieldPart(4, 1, kCodeWidth, refEdit->GetValueFormatted(false).c_str())) return false;
    UnlockFormRecord(*TableC10, kFormKind);
    RefreshPartnerList(code_);
    return true;
  }

  void CmLookup() { lastLookup = LookupC10Code(refEdit, kLookupButton, kKind, kCodeWidth, kSubjectCommand, kListSlot, refName); }
  static const gui::ResponseTable& Table() {
    static const gui::ResponseTable table = gui::ResponseTable(&CMDIModif::Table())
                                                .Command(kLookupButton, &JournalForm::CmLookup)
                                                .Enable(form_cmd::Enregistrer, &JournalForm::CeEnregistrer);
    return table;
  }
  const gui::ResponseTable& Responses() const override { return Table(); }

  MEdit* codeEdit;
  MEdit* nameEdit;
  MEdit* refEdit;
  MStatic* refName;
  MButton* lookup;
  bool locked = false;
  bool forceModified = false;
  char lastLookup = 0;

 protected:
  void SetupWindow() override {
    CMDIModif::SetupWindow();
    Load(code_);
    SetControlsOwner(codeEdit, nameEdit, refEdit);
  }
  void ArrangeControls() override {
    MoveFormControls(codeEdit, 2, 1, 1, 1, grid::Text, kCodeWidth + 2, 0);
    MoveFormControls(nameEdit, 2, 2, 3, 1, grid::Text, 30, 0);
    MoveFormControls(refEdit, 2, 3, 1, 1, grid::Text, kCodeWidth + 2, 0);
    MoveFormControls(lookup, 3, 3, 1, 1, grid::Box, 0, 0);
    MoveFormControls(refName, 3, 3, 2, 1, grid::Label, 0, 0);
  }

 private:
  std::string code_;
  std::uint32_t recno_ = 0;
};

// The window that receives the commands posted to the main window.
class CommandClient : public gui::MDIClient {
 public:
  void CmSubject() { RunSubjectCommand(this); }
  static const gui::ResponseTable& Table() {
    static const gui::ResponseTable table =
        gui::ResponseTable(&gui::MDIClient::Table()).Command(kSubjectCommand, &CommandClient::CmSubject);
    return table;
  }
  const gui::ResponseTable& Responses() const override { return Table(); }
};

// A child window that records the commands it receives.
class CommandRecorder : public gui::MDIChild {
 public:
  explicit CommandRecorder(gui::MDIClient* client) : gui::MDIChild(client, "Fen\xEAtre") {}
  std::vector<unsigned> got;
  bool EvCommand(unsigned id) override {
    got.push_back(id);
    return true;
  }
};

inline JournalList* OpenList() { return dynamic_cast<JournalList*>(gui::Window::FromHandle(SlotHandle(kListSlot))); }
inline JournalForm* OpenForm() { return dynamic_cast<JournalForm*>(gui::Window::FromHandle(SlotHandle(kFormSlot))); }

inline void RunSubjectCommand(gui::MDIClient* client) {
  const char flag = RegistryChar(kListSlot);
  if ((flag == '2' || flag == 'R') && OpenList() != nullptr) {
    SetRegistryText(kListSlot, 1, "1");
    const std::string key = RegistryText(kFormSlot + 11, kCodeWidth);
    if (JournalForm* form = OpenForm()) {
      form->ActivateWindowHandle(0);
      return;
    }
    auto* form = new JournalForm(client, key);
    form->MoveWindow(gui::Rect{520, 0, 440, 260});
    if (form->Create()) form->Show(gui::SW_SHOWNORMAL);
    return;
  }
  if (ActivateExistingChild(kListSlot)) return;
  auto* list = new JournalList(client);
  list->MoveWindow(gui::Rect{0, 0, 500, 360});
  if (list->Create()) list->Show(gui::SW_SHOWNORMAL);
}

// A dossier "TST" with its general file, the main window and the registry.
class SubjectTest : public test_support::GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    SetProgramFolder(dir_ + "/");
    ASSERT_TRUE(InitRuntime());
    ASSERT_TRUE(MakeSharedGraphics(96));
    SetRuntimeBeepHook([](unsigned type) { gui::MessageBeep(type); });
    OpenWindowRegistry.assign(kOpenWindowRegistryLength, ' ');
    TheDossierRecord.Clear();
    PrintRunFlag = false;
    PendingRowCount = 0;
    BrowseTickSource = [this] { return now_; };
    FormRecordLocks.fill(0);
    SetLockNoticeHook([](const char*, const char*) {});
    SetProgramOption(4, '*');
    SetDossier(dir_ + "/", "TST");
    ASSERT_EQ(StartDbSession(), 0);
    ASSERT_EQ(CreateTableOfKind(TableKind::C10, PathC10()), 0);
    ASSERT_EQ(CreateTableOfKind(TableKind::C20, PathC20()), 0);
    ASSERT_TRUE(TableC10->OpenShared(PathC10(), "C10CODE"));
    ASSERT_TRUE(TableC20->OpenShared(PathC20(), "C20CODE"));
    client_ = new CommandClient();
    frame_ = std::make_unique<gui::MDIFrame>("Merlon", client_);
    frame_->MoveWindow(gui::Rect{0, 0, 1000, 640});
    ASSERT_TRUE(frame_->Create());
    frame_->Show(gui::SW_SHOW);
    SetRegistryText(1, 10, StrNum10(client_->GetHandle()));
  }
  void TearDown() override {
    gui::ProcessPendingMessages();
    frame_.reset();
    GuiTest::TearDown();
    BrowseTickSource = nullptr;
    SetLockNoticeHook(nullptr);
    SetRuntimeBeepHook(nullptr);
    StopDbSession();
    FreeSharedGraphics();
    FreeRuntime();
  }

  // A C10 record of a kind, and a record of another table whose first fields take the texts.
  static void AddC10(const char* kind, const std::string& code, const std::string& name, bool cancelled = false) {
    AddRecord(*TableC10, {kind, code, name}, cancelled);
  }
  static void AddRecord(Table& t, const std::vector<std::string>& fields, bool cancelled = false) {
    ASSERT_TRUE(t.AppendBlank());
    for (std::size_t f = 0; f < fields.size(); ++f) t.PutField(static_cast<int>(f) + 1, fields[f].c_str());
    ASSERT_TRUE(t.InsertRecord());
    if (cancelled) {
      ASSERT_TRUE(t.DeleteRecord(nullptr, 0));
    }
  }
  // Name of a C10 record read back from the file by a fresh table object.
  static std::string StoredName(const char* kind, const std::string& code) {
    Table t;
    if (!t.OpenShared(PathC10(), "C10CODE")) return "<closed>";
    std::string key = code;
    key.resize(kCodeWidth, ' ');
    if (!t.Seek("C10CODE", kind, key.c_str())) return "<none>";
    return RTrim(t.GetField(3));
  }
  // The subject's list, opened from the menu.
  JournalList* List() {
    gui::SendCommand(client_->GetHandle(), kSubjectCommand);
    gui::ProcessPendingMessages();
    JournalList* list = OpenList();
    EXPECT_NE(list, nullptr);
    return list;
  }
  // Opens the form of a journal from the list, as a double click does.
  JournalForm* Edit(JournalList* list, const std::string& code) {
    if (list == nullptr) return nullptr;
    list->SelectCode(code);
    gui::PostCommand(list->GetHandle(), browse_cmd::Entree);
    gui::ProcessPendingMessages();
    JournalForm* form = OpenForm();
    EXPECT_NE(form, nullptr);
    return form;
  }
  // Creates and shows a list at a fixed size; the first EvSize fills it.
  template <class T>
  T* Show(T* list, int width = 640, int height = 420) {
    list->MoveWindow(gui::Rect{0, 0, width, height});
    EXPECT_TRUE(list->Create());
    list->Show(gui::SW_SHOWNORMAL);
    gui::ProcessPendingMessages();
    return list;
  }
  static void Key(CMDIBrowse* list, int vk) {
    list->EvKeyDown(vk, 1, 0);
    gui::ProcessPendingMessages();
  }
  static gui::Point RowPoint(int row) {
    return gui::Point{40, row * CMDIBrowse::RowHeightPixels() + CMDIBrowse::RowHeightPixels() / 2};
  }
  test_support::TempFolder temp_{"merlon-form"};
  const std::string dir_ = temp_.path();
  std::uint32_t now_ = 100000;  // the type-ahead clock, in ms
  CommandClient* client_ = nullptr;
  std::unique_ptr<gui::MDIFrame> frame_;
};

}  // namespace subject
