// Dialogs from templates: parsing, dialog units, modal runs through the
// seam, and the keys a dialog reacts to.
#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

#include <filesystem>
#include <fstream>

#include "gui_test_support.h"
#include "platform/gui/combobox.h"
#include "platform/gui/dialog.h"
#include "platform/gui/edit.h"
#include "platform/gui/listbox.h"
#include "support/temp_folder.h"

namespace {

using namespace gui;
namespace fs = std::filesystem;

const std::string kEntryRaw = R"(# entry dialog of the tests
DIALOG 9100
CAPTION "Saisie d'\u00e9criture"
FONT 8 "MS Sans Serif"
SIZE 200 120
edit 101 "" 10 10 80 12 tabstop
edit 102 "" 10 26 80 12 password
edit 103 "ligne 1\nligne 2" 10 42 80 30 multiline,readonly
check 104 "&Lettr\u00e9" 100 10 60 10 tabstop
combo 105 "" 100 26 60 60 dropdownlist,tabstop
list 106 "" 100 42 60 40 tabstop
radio 107 "Un" 10 80 40 10 group
radio 108 "Deux" 50 80 40 10
button 1 "&Ok" 40 100 50 14 default,tabstop
button 2 "&Abandon" 110 100 50 14 tabstop
END
)";

// The resource files are UTF-8: the test writes its accented letters so.
std::string Utf8(std::string s) {
  for (std::size_t at; (at = s.find("\\u00e9")) != std::string::npos;) s.replace(at, 6, "\xC3\xA9");
  return s;
}
const std::string kEntry = Utf8(kEntryRaw);

TEST(DialogTemplateParse, ReadsEveryPartOfATemplate) {
  std::vector<DialogTemplate> out;
  std::string err;
  ASSERT_TRUE(ParseDialogTemplates(kEntry, out, &err)) << err;
  ASSERT_EQ(out.size(), 1u);
  const DialogTemplate& d = out[0];
  EXPECT_EQ(d.caption, "Saisie d'\xE9" "criture");  // UTF-8 in the file, cp1252 here
  ASSERT_EQ(d.controls.size(), 10u);
  const ControlTemplate* c = d.FindControl(103);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->text, "ligne 1\nligne 2");
  EXPECT_EQ(c->flags & (ctl::MultiLine | ctl::ReadOnly), ctl::MultiLine | ctl::ReadOnly);
  EXPECT_EQ(d.FindControl(999), nullptr);
}

TEST(DialogTemplateParse, RejectsMalformedTextNamingTheLine) {
  struct Case { const char* text; const char* says; } cases[] = {
      {"DIALOG 1\nedit 5 \"x\" 1 2 3\nEND\n", "line 2"},
      {"DIALOG 1\nslider 5 \"x\" 1 2 3 4\nEND\n", "unknown control kind"},
      {"DIALOG 1\nedit 5 \"unterminated 1 2 3 4\nEND\n", "unterminated"},
      {"edit 5 \"x\" 1 2 3 4\n", "outside a dialog"},
      {"DIALOG 1\nCAPTION \"a\"\n", "has no END"},
      {"DIALOG 1\nedit 99999999999 \"x\" 1 2 3 4\nEND\n", "id"},
  };
  for (const auto& c : cases) {
    std::vector<DialogTemplate> out;
    std::string err;
    EXPECT_FALSE(ParseDialogTemplates(c.text, out, &err)) << c.text;
    EXPECT_NE(err.find(c.says), std::string::npos) << err;
    EXPECT_TRUE(out.empty());
  }
}

TEST(DialogTemplateParse, FoldersAndNamesAreFoundWithoutCase) {
  Application::EnsureQt();
  test_support::TempFolder folder("merlon-dlg");
  const fs::path dir = folder.path();
  std::ofstream(dir / "saisie.dlg") << "DIALOG SAISIE_VARIABLES\nSIZE 302 247\nlist 1201 \"\" 1 1 100 100\nEND\n"
                                    << "DIALOG 9200\nSIZE 10 10\nEND\n";
  std::ofstream(dir / "broken.dlg") << "DIALOG 9300\n";
  std::string err;
  EXPECT_FALSE(DialogTemplates::AddFolder(dir.string(), &err));  // the broken file is named
  EXPECT_NE(err.find("broken.dlg"), std::string::npos);
  EXPECT_NE(DialogTemplates::Find("saisie_variables"), nullptr);
  EXPECT_NE(DialogTemplates::Find(9200), nullptr);
  EXPECT_EQ(DialogTemplates::Find(9300), nullptr);
  DialogTemplates::ResetAdded();
  EXPECT_EQ(DialogTemplates::Find(9200), nullptr);
}

class DialogTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    std::string err;
    ASSERT_TRUE(DialogTemplates::Register(kEntry, &err)) << err;
  }
  void TearDown() override {
    DialogTemplates::ResetAdded();
    GuiTest::TearDown();
  }
};

TEST_F(DialogTest, DialogUnitsFollowTheDialogFont) {
  EXPECT_GT(DialogUnitsOf("MS Sans Serif", 14).baseY, DialogUnitsOf("MS Sans Serif", 8).baseY);

  Dialog dlg(nullptr, 9100);
  dlg.Show(SW_HIDE);
  ASSERT_TRUE(dlg.Create());
  const Rect r = dlg.GetDlgItem(101)->GetWindowRect();
  const DialogUnits& u = dlg.Units();
  EXPECT_EQ(std::vector<int>({r.x, r.y, r.w, r.h}),
            std::vector<int>({u.ToPixelsX(10), u.ToPixelsY(10), u.ToPixelsX(80), u.ToPixelsY(12)}));
  EXPECT_EQ(dlg.GetClientRect().w, dlg.Units().ToPixelsX(200));
}

// A dialog whose class binds some controls itself and checks its values.
class EntryDialog : public Dialog {
 public:
  explicit EntryDialog(Window* parent) : Dialog(parent, 9100) {
    account = new Edit(this, 101, "", 8, false);
    kind = new ComboBox(this, 105, 10, true);
  }
  Edit* account;
  ComboBox* kind;
  std::string saved;
  bool refuse = false;
  std::vector<std::pair<int, unsigned>> notes;

 protected:
  void SetupWindow() override {
    kind->AddString("Achats");
    kind->AddString("Ventes");
    Item<ListBox>(106)->AddString("401000");
    Item<ListBox>(106)->AddString("411000");
  }
  bool CanClose() override {
    if (refuse) return false;
    saved = account->GetText() + "|" + GetItemText(102) + "|" + std::to_string(GetCheck(104)) + "|" +
            kind->GetText() + "|" + std::to_string(GetItemSel(106)) + "|" + std::to_string(GetCheck(108));
    return true;
  }
  void EvChildNotify(int id, unsigned code, Handle h) override {
    notes.emplace_back(id, code);
    Dialog::EvChildNotify(id, code, h);
  }
};

TEST_F(DialogTest, ModalRunTypesIntoControlsPressesOkAndReadsBack) {
  EntryDialog dlg(nullptr);
  ModalSeam::QueueDialogAnswer(IDCANCEL, [](Window& w) {
    auto& d = static_cast<Dialog&>(w);
    d.SetItemText(101, "4110000099");  // cut to its limit of 8
    d.SetItemText(102, "secret");
    d.SetCheck(104, BST_CHECKED);
    d.SetItemSel(105, 1);
    d.SetItemSel(106, 0);
    d.Item<RadioButton>(108)->SetCheck(BST_CHECKED);
    EXPECT_EQ(d.GetItemText(103), "ligne 1\r\nligne 2");  // CR LF line ends
    EXPECT_TRUE(d.PressButton(1));  // the user's OK wins over the queued answer
  });
  EXPECT_EQ(dlg.Execute(), IDOK);
  EXPECT_EQ(dlg.saved, "41100000|secret|1|Ventes|0|1");
  EXPECT_FALSE(dlg.IsCreated());
  EXPECT_EQ(dlg.account->GetText(), "41100000");  // kept after the dialog closed
  ASSERT_NE(ModalSeam::LastShown(), nullptr);
  EXPECT_EQ(ModalSeam::LastShown()->resourceId, 9100);
}

TEST_F(DialogTest, QueuedAnswerActsAsItsButtonAndCanCloseIsAsked) {
  EntryDialog dlg(nullptr);
  ModalSeam::QueueDialogAnswer(IDOK);
  EXPECT_EQ(dlg.Execute(), IDOK);
  EXPECT_EQ(dlg.saved, "||0||-1|0");

  EntryDialog refusing(nullptr);
  refusing.refuse = true;
  ModalSeam::QueueDialogAnswer(IDOK);
  EXPECT_EQ(refusing.Execute(), IDCANCEL);  // refused OK: never reported as confirmed


  Dialog missing(nullptr, 424242);
  EXPECT_EQ(missing.Execute(), -1);
}

void Key(QWidget* w, QEvent::Type type, int key) {
  QKeyEvent e(type, key, Qt::NoModifier, key == Qt::Key_Return ? QStringLiteral("\r") : QString());
  QApplication::sendEvent(w, &e);
}

TEST_F(DialogTest, EnterNeverPressesTheDefaultButtonEscapeAndFunctionKeysDo) {
  EntryDialog dlg(nullptr);
  dlg.Show(SW_HIDE);
  ASSERT_TRUE(dlg.Create());
  QWidget* edit = dlg.GetDlgItem(101)->Widget();
  QWidget* okButton = dlg.GetDlgItem(1)->Widget();
  for (QWidget* target : {edit, okButton, dlg.Widget()}) {
    Key(target, QEvent::KeyPress, Qt::Key_Return);
    Key(target, QEvent::KeyRelease, Qt::Key_Return);
    ProcessPendingMessages();
  }
  EXPECT_FALSE(dlg.IsEnded());
  for (const auto& n : dlg.notes) EXPECT_NE(n.first, 1) << "OK pressed by Enter";

  Key(edit, QEvent::KeyRelease, Qt::Key_F12);  // passed on by a plain edit
  ProcessPendingMessages();
  EXPECT_TRUE(dlg.IsEnded());
  EXPECT_EQ(dlg.Result(), IDOK);

  EntryDialog second(nullptr);
  second.Show(SW_HIDE);
  ASSERT_TRUE(second.Create());
  Key(second.GetDlgItem(101)->Widget(), QEvent::KeyPress, Qt::Key_Escape);
  ProcessPendingMessages();
  EXPECT_TRUE(second.IsEnded());
  EXPECT_EQ(second.Result(), IDCANCEL);
}

TEST_F(DialogTest, ModelessDialogLetsEventsThroughAndEndsByItsButtons) {
  EntryDialog dlg(nullptr);
  ASSERT_TRUE(dlg.Create());
  dlg.Show(SW_SHOW);
  Dialog::ProcessEvents();
  EXPECT_FALSE(dlg.IsEnded());
  // A radio click unchecks the rest of its group.
  dlg.Item<RadioButton>(107)->SetCheck(BST_CHECKED);
  static_cast<QAbstractButton*>(dlg.GetDlgItem(108)->Widget())->click();
  EXPECT_EQ(dlg.GetCheck(107), BST_UNCHECKED);
  EXPECT_EQ(dlg.GetCheck(108), BST_CHECKED);
  EXPECT_TRUE(dlg.PressButton(2));
  EXPECT_TRUE(dlg.IsEnded());
  EXPECT_EQ(dlg.Result(), IDCANCEL);
  EXPECT_FALSE(dlg.IsCreated());
}

}  // namespace
