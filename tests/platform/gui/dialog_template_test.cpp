// Dialogs from templates: malformed templates, modal runs through the
// seam, and the keys a dialog reacts to.
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QWidget>

#include <filesystem>
#include <fstream>

#include "gui_test_support.h"
#include "platform/gui/combobox.h"
#include "platform/gui/dialog.h"
#include "platform/gui/edit.h"
#include "platform/gui/listbox.h"
#include "platform/gui/menu.h"
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

TEST(DialogTemplateParse, RejectsMalformedTextNamingTheLine) {
  struct Case { const char* text; const char* says; } cases[] = {
      {"DIALOG 1\nedit 5 \"x\" 1 2 3\nEND\n", "line 2"},
      {"DIALOG 1\nCAPTION \"a\"\n", "has no END"},
      {"DIALOG 1\nedit 99999999999 \"x\" 1 2 3 4\nEND\n", "id"},
      // A text that cp1252 cannot hold would show as "?": refused, not replaced.
      {"DIALOG 1\nCAPTION \"\xC5\x81\xC3\xB3" "d\xC5\xBA\"\nEND\n", "line 2: CAPTION holds a character outside"},
      {"DIALOG 1\n\nstatic 5 \"\xC2\x81\" 1 2 3 4\nEND\n", "line 3: text of control 5 holds a character"},
      {"DIALOG 1\nbutton 1 \"caf\xC3\" 1 2 3 4\nEND\n", "line 2: text of control 1 holds"},  // truncated UTF-8
  };
  for (const auto& c : cases) {
    std::vector<DialogTemplate> out;
    std::string err;
    EXPECT_FALSE(ParseDialogTemplates(c.text, out, &err)) << c.text;
    EXPECT_NE(err.find(c.says), std::string::npos) << err;
    EXPECT_TRUE(out.empty());
  }
}

// The loader refuses such a template, from a text or from a folder, and
// keeps nothing of it.
TEST(DialogTemplateParse, LoaderRefusesATemplateWithACharacterOutsideCp1252) {
  const std::string polish =
      "DIALOG 9190\nCAPTION \"Soci\xC3\xA9t\xC3\xA9\"\nstatic 5 \"\xC5\x81\xC3\xB3" "d\xC5\xBA\" 1 2 3 4\nEND\n";
  std::string err;
  EXPECT_FALSE(DialogTemplates::Register(polish, &err));
  EXPECT_NE(err.find("outside cp1252"), std::string::npos) << err;
  test_support::TempFolder folder("merlon-dialogs");
  std::ofstream(fs::path(folder.path()) / "polish.dlg", std::ios::binary) << polish;
  err.clear();
  EXPECT_FALSE(DialogTemplates::AddFolder(folder.path(), &err));
  EXPECT_NE(err.find("polish.dlg: line 3"), std::string::npos) << err;
  EXPECT_EQ(DialogTemplates::Find(9190), nullptr);
  DialogTemplates::ResetAdded();
}

// Every template and menu the program ships loads with the refusing policy.
using ShippedResources = GuiTest;
TEST_F(ShippedResources, EveryTemplateAndMenuHoldsOnlyCp1252) {
  struct Kind { const char* folder; const char* pattern; int atLeast; } kinds[] = {
      {":/dialogs", "*.dlg", 11}, {":/menus", "*.menu", 1}};
  for (const Kind& k : kinds) {
    const QDir dir(k.folder);
    const QStringList files = dir.entryList({k.pattern}, QDir::Files);
    EXPECT_GE(files.size(), k.atLeast) << k.folder;
    for (const QString& name : files) {
      QFile file(dir.filePath(name));
      ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
      const QByteArray bytes = file.readAll();
      const std::string text(bytes.constData(), static_cast<std::size_t>(bytes.size()));
      std::string err;
      if (name.endsWith(".dlg")) {
        std::vector<DialogTemplate> parsed;
        EXPECT_TRUE(ParseDialogTemplates(text, parsed, &err)) << name.toStdString() << ": " << err;
        for (const DialogTemplate& d : parsed) EXPECT_NE(DialogTemplates::Find(d.id), nullptr) << d.id;
      } else {
        EXPECT_NE(Menu::FromText(text, &err), nullptr) << name.toStdString() << ": " << err;
      }
    }
  }
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
  EXPECT_EQ(dlg.account->GetText(), "41100000");  // kept after the dialog closed
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

  Key(edit, QEvent::KeyPress, Qt::Key_F12);
  Key(edit, QEvent::KeyRelease, Qt::Key_F12);  // passed on by a plain edit
  ProcessPendingMessages();
  EXPECT_TRUE(dlg.IsEnded());
  EXPECT_EQ(dlg.Result(), IDOK);
}

TEST_F(DialogTest, EnterReleasedInAListPressesTheDefaultButton) {
  EntryDialog dlg(nullptr);
  ASSERT_TRUE(dlg.Create());
  dlg.Show(SW_SHOWNORMAL);
  QWidget* list = dlg.GetDlgItem(106)->Widget();
  dlg.SetItemSel(106, 1);
  dlg.GetDlgItem(106)->SetFocus();
  ProcessPendingMessages();
  ASSERT_TRUE(dlg.GetDlgItem(106)->HasFocus());
  Key(list, QEvent::KeyPress, Qt::Key_Return);
  Key(list, QEvent::KeyRelease, Qt::Key_Return);
  ProcessPendingMessages();
  EXPECT_TRUE(dlg.IsEnded()) << "Enter in the list did nothing";
  EXPECT_EQ(dlg.Result(), IDOK);
  EXPECT_EQ(dlg.saved, "||0||1|0") << "the line chosen is the one confirmed";
}

}  // namespace
