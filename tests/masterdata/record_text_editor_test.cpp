// The record text editor as a user drives it, on a generated dossier: asked for with command
// 20311 and the record's reference in the open-window registry, as the lists and forms ask for
// it; every question and dialog answered through the modal seam.
#include <QApplication>
#include <QDialog>
#include <QTimer>

#include "data/dossier_files.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_create.h"
#include "framework/font_choice.h"
#include "masterdata/masterdata_commands.h"
#include "masterdata/record_text_editor.h"
#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "framework/browse.h"
#include "framework/fmt_saisie.h"
#include "runtime/inifiles.h"
#include "shell/application.h"
#include "shell/graphics.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"
#include "shell/registry.h"
#include "support/dossier_fixture.h"
#include "support/other_process.h"

namespace {

using namespace masterdata;

constexpr unsigned kOpen = 20311;

// The report-definition set the tests use: one report, "DB-1LISTE".
constexpr char kReportSet = 'T';

class RecordTextEditorTest : public test_support::DossierFixture {
 protected:
  void SetUp() override {
    DossierFixture::SetUp();
    InstallMasterDataCommands();
    BrowseSearchText.clear();
    folder_ = MakeDossier("d", "TXT", 40);
  }
  // Opens the dossier (after any fork: the other station must not share its files).
  void OpenDossier() {
    OpenThroughDialog(C10Path(folder_, "TXT"));
    ASSERT_EQ(DossierCode, "TXT") << ShownTexts();
    gui::ModalSeam::Reset();
    beeps = 0;
  }
  void TearDown() override {
    if (TWDonTexte* e = Editor()) {
      e->NoCheckFlag = true;
      e->CloseWindow();
      gui::ProcessPendingMessages();
    }
    if (TableCE0 != nullptr) TableCE0->CloseTable(true);
    SetCommandWork(kOpen, {});
    DossierFixture::TearDown();
  }

  // A code record of the general file with its text, through the program's own table.
  static void AddCode(char kind, const std::string& code, const std::string& memo, bool cancelled = false) {
    Table& t = *TableC10;
    ASSERT_TRUE(t.AppendBlank());
    ASSERT_TRUE(t.PutField(1, std::string(1, kind).c_str()));
    ASSERT_TRUE(t.PutField(2, code.c_str()));
    ASSERT_TRUE(t.PutField(3, ("Code " + code).c_str()));
    ASSERT_TRUE(t.InsertRecord());
    ASSERT_TRUE(t.PutMemoText(7, memo));
    if (cancelled) {
      ASSERT_TRUE(t.DeleteRecord(nullptr, 1));
    }
  }
  // The report set "T" of the program folder, open as the report windows open it, with one
  // report and its template.
  static void AddReport(const std::string& code, const std::string& memo) {
    const std::string path = PathReportDefs(kReportSet);
    ASSERT_EQ(CreateTableOfKind(TableKind::ReportDefs, path, true), 0);
    Table& t = *TableCE0;
    ASSERT_TRUE(t.OpenShared(path, "CE0CODE"));
    ASSERT_TRUE(t.AppendBlank());
    ASSERT_TRUE(t.PutField(1, code.c_str()));
    ASSERT_TRUE(t.PutField(2, "Liste des banques"));
    ASSERT_TRUE(t.InsertRecord());
    ASSERT_TRUE(t.PutMemoText(11, memo));
  }
  // The memo as it is stored, read by a table of its own.
  static std::string StoredMemo(const std::string& path, const char* tag, const std::string& key, int field) {
    Table t;
    std::string text;
    EXPECT_TRUE(t.OpenShared(path, tag));
    EXPECT_TRUE(t.Seek(tag, key.c_str())) << key;
    EXPECT_TRUE(t.GetMemoText(field, text));
    t.CloseTable();
    return text;
  }
  static std::string StoredModel(const std::string& code) {
    return StoredMemo(PathC10(), "C10CODE", "M" + code, 7);
  }

  // Asks for the text as a list or form does: the reference, the flag "2", command 20311.
  TWDonTexte* Open(char designation, char kind, const std::string& code) {
    SetRegistryText(kRecordTextSlot, 1, "2");
    SetRegistryText(kRecordReferencePos, kRecordReferenceLength, MakeRecordReference(designation, kind, code));
    gui::SendCommand(MainWindowHandle, kOpen);
    gui::ProcessPendingMessages();
    return Editor();
  }
  static TWDonTexte* Editor() {
    return dynamic_cast<TWDonTexte*>(gui::Window::FromHandle(SlotHandle(kRecordTextSlot)));
  }
  static void Command(TWDonTexte* e, unsigned id) {
    gui::SendCommand(e->GetHandle(), id);
    gui::ProcessPendingMessages();
  }
  // Selects the first list line that begins with `text` and inserts it.
  static void InsertLine(TWDonTexte* e, const std::string& text) {
    ASSERT_NE(e->Keywords(), nullptr);
    const int line = e->Keywords()->FindString(text, -1);
    ASSERT_GE(line, 0) << text;
    e->Keywords()->SetSelIndex(line);
    Command(e, text_cmd::Insert);
  }
  // Types characters into the text as the keyboard does.
  static void Type(TWDonTexte* e, const std::string& cp1252) {
    for (unsigned char c : cp1252) {
      const std::string text = test_support::Latin1Text(c);
      test_support::SendKey(e->Text()->Widget(), test_support::kKeyPress, 0, test_support::kNoModifier, text);
      test_support::SendKey(e->Text()->Widget(), test_support::kKeyRelease, 0, test_support::kNoModifier, text);
    }
    gui::ProcessPendingMessages();
  }
  static std::string Shown(TWDonTexte* e) { return e->Text()->GetText(); }
  static void CaretAt(TWDonTexte* e, int at) { e->Text()->SetSelection(at, at); }

  std::string folder_;
};

// Insertion and typing stop at the limit: 4,000 characters for a code's text, 32,768 for a
// report's template; the limit itself is reached.
TEST_F(RecordTextEditorTest, InsertionStopsAtTheLimit) {
  OpenDossier();
  struct Case {
    char designation;
    const char* code;
    int limit;
    const char* keyword;  // a list line that no longer fits
  } cases[] = {
      {'1', "PLEIN", kRecordTextLimit, "CC="},
      {'Y', "DB-1LISTE", kReportTextLimit, "[Dossier]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    const std::string memo(static_cast<std::size_t>(c.limit - 2), 'x');
    if (c.designation == '1') AddCode('M', c.code, memo);
    else AddReport(c.code, memo);
    TWDonTexte* e = Open(c.designation, c.designation == '1' ? 'M' : 'Y', c.code);
    ASSERT_NE(e, nullptr);
    ASSERT_EQ(Shown(e).size(), memo.size());
    CaretAt(e, 0);
    beeps = 0;
    InsertLine(e, c.keyword);
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(Shown(e), memo);
    Type(e, "ab");
    EXPECT_EQ(Shown(e), "ab" + memo);
    Type(e, "c");
    EXPECT_EQ(beeps, 2);
    EXPECT_EQ(static_cast<int>(Shown(e).size()), c.limit);
    Command(e, form_cmd::Enregistrer);
    EXPECT_EQ(Editor(), nullptr);
    const std::string stored = c.designation == '1'
                                   ? StoredModel(c.code)
                                   : StoredMemo(PathReportDefs(kReportSet), "CE0CODE", c.code, 11);
    EXPECT_EQ(stored, "ab" + memo);
  }
}

// The keyword list of an entry model: a keyword goes in at the caret, a remark only beeps.
TEST_F(RecordTextEditorTest, KeywordsGoInAtTheCaret) {
  OpenDossier();
  AddCode('M', "ACHAT", "LI=Achat\r\n");
  TWDonTexte* e = Open('1', 'M', "ACHAT");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->GetCaption(), "Texte - Code Mod\xE8le: ACHAT");
  ASSERT_NE(e->Keywords(), nullptr);
  EXPECT_EQ(e->Keywords()->GetCount(), 7);
  CaretAt(e, 0);
  InsertLine(e, "CC=");
  EXPECT_EQ(Shown(e), "CC=LI=Achat\r\n");
  EXPECT_EQ(beeps, 0);
  InsertLine(e, "// Pour");
  EXPECT_EQ(beeps, 1);
  EXPECT_EQ(Shown(e), "CC=LI=Achat\r\n");
  test_support::Screenshot(MainFrame->OuterWidget(), "masterdata", "record_text_editor_model");
  // Typed as in any editor: a blank at the start and "\xB2" go in (a code field would be
  // cleared or given its loaded value back).
  CaretAt(e, 0);
  Type(e, " \xB2");
  EXPECT_EQ(Shown(e), " \xB2" "CC=LI=Achat\r\n");
  // A bank's text has no list; a window place refused with "N" is left alone.
  IniSetString("Fenetre-Texte", "NON");
  Command(e, form_cmd::Quitter);
  EXPECT_EQ(StoredModel("ACHAT"), "LI=Achat\r\n");
  EXPECT_EQ(IniGetString("Fenetre-Texte"), "NON");
  e = Open('1', 'Q', "BNP");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->Keywords(), nullptr);
}

// A word found once: selected, then a beep, then selected again from the top.
TEST_F(RecordTextEditorTest, SearchingTwiceForAWordFoundOnceSelectsItThenBeeps) {
  OpenDossier();
  AddCode('J', "ACH", "Premi\xE8re ligne\r\nLe mot CLEF est ici.\r\nFin");
  TWDonTexte* e = Open('1', 'J', "ACH");
  ASSERT_NE(e, nullptr);
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [](gui::Window& d) {
    static_cast<TDFmtSaisie&>(d).Input()->SetText("  clef ");
  });
  Command(e, text_cmd::Search);
  ASSERT_NE(gui::ModalSeam::LastShown(), nullptr);
  EXPECT_EQ(gui::ModalSeam::LastShown()->caption, "Recherche dans Texte");
  EXPECT_EQ(BrowseSearchText, "clef");
  int s = 0, end = 0;
  e->Text()->GetSelection(s, end);
  EXPECT_EQ(s, 23);
  EXPECT_EQ(end, 27);
  EXPECT_EQ(beeps, 0);
  Command(e, text_cmd::SearchAgain);
  EXPECT_EQ(beeps, 1);
  Command(e, text_cmd::SearchAgain);
  e->Text()->GetSelection(s, end);
  EXPECT_EQ(s, 23);
  EXPECT_EQ(beeps, 1);
  // Abandoned: nothing changes.
  gui::ModalSeam::QueueDialogAnswer(gui::IDCANCEL);
  Command(e, text_cmd::Search);
  EXPECT_EQ(BrowseSearchText, "clef");
}

// Each way of closing a changed text, with the question answered through the seam.
TEST_F(RecordTextEditorTest, EachWayOfClosingAChangedText) {
  OpenDossier();
  const std::string memo = "LI=Loyer\r\n";
  struct Case {
    const char* how;
    unsigned command;  // 0: the window's close box
    int answer;        // to the question, 0 when none is asked
    bool saved;
    bool stays;
  } cases[] = {
      {"Quitter [F9]", form_cmd::Quitter, 0, false, false},
      {"close, No", 0, gui::IDNO, false, false},
      {"close, Cancel", 0, gui::IDCANCEL, false, true},
      {"close, Yes", 0, gui::IDYES, true, false},
      {"Enregistrer [F12]", form_cmd::Enregistrer, 0, true, false},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    const std::string code = "LOYER" + std::to_string(++n);
    AddCode('M', code, memo);
    TWDonTexte* e = Open('1', 'M', code);
    ASSERT_NE(e, nullptr);
    CaretAt(e, 0);
    Type(e, "CC=61320000 ");
    gui::ModalSeam::Reset();
    if (c.answer != 0) gui::ModalSeam::QueueMessageBoxAnswer(c.answer);
    if (c.command != 0) {
      Command(e, c.command);
    } else {
      gui::PostMessage(e->GetHandle(), gui::WM_CLOSE);
      gui::ProcessPendingMessages();
    }
    const bool asked = !gui::ModalSeam::Shown().empty();
    EXPECT_EQ(asked, c.answer != 0) << ShownTexts();
    if (asked) {
      EXPECT_NE(gui::ModalSeam::Shown()[0].text.find("Des \xE9l\xE9ments de cette fiche"), std::string::npos);
    }
    EXPECT_EQ(gui::ModalSeam::PendingAnswers(), 0u);
    EXPECT_EQ(Editor() != nullptr, c.stays);
    EXPECT_EQ(StoredModel(code), c.saved ? "CC=61320000 " + memo : memo);
    if (c.stays) {
      Command(e, form_cmd::Quitter);
      EXPECT_EQ(StoredModel(code), memo);
    }
    EXPECT_EQ(EditorLock.table, nullptr);
    EXPECT_EQ(RegistryChar(kRecordTextSlot), ' ');
  }
}

// A memo holding a byte 26, or longer than the limit, opens whole and keeps every byte it was
// not changed in after a save; a longer one takes no insertion.
TEST_F(RecordTextEditorTest, AMemoKeepsEveryByteThroughASave) {
  OpenDossier();
  std::string longMemo;
  for (int i = 0; i < 420; ++i) longMemo += "Ligne " + std::to_string(1000 + i) + "\r\n";  // 4,620
  longMemo += "FIN";
  struct Case {
    const char* code;
    std::string memo;
    const char* typed;  // at the start ("" : the first character deleted)
    std::string saved;
  } cases[] = {
      {"MARQUE", std::string("avant\x1A") + "apr\xE8s la marque\r\n", "X", std::string("Xavant\x1A") + "apr\xE8s la marque\r\n"},
      {"LONG", longMemo, "X", longMemo},  // refused: the text is over its limit
      {"LONG2", longMemo, "", longMemo.substr(1)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    AddCode('M', c.code, c.memo);
    TWDonTexte* e = Open('1', 'M', c.code);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(Shown(e), c.memo);
    if (*c.typed != '\0') {
      CaretAt(e, 0);
      Type(e, c.typed);
    } else {
      e->Text()->SetSelection(0, 1);
      e->Text()->ReplaceSelection("");
    }
    Command(e, form_cmd::Enregistrer);
    EXPECT_EQ(Editor(), nullptr);
    EXPECT_EQ(StoredModel(c.code), c.saved);
  }
}

// "Police" on a report's template: the font chosen through the seam goes in as a statement;
// the font offered is the one of "PoliceSpecial", which keeps the last choice.
TEST_F(RecordTextEditorTest, PoliceInsertsTheChosenFont) {
  OpenDossier();
  AddReport("DB-1LISTE", "[F1]Banques\r\n");
  IniSetString("PoliceSpecial", "Arial,009/7E2");
  TWDonTexte* e = Open('Y', 'Y', "DB-1LISTE");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->GetCaption(), "Texte - Code Etat pour Visu: DB-1LISTE");
  CaretAt(e, 0);
  gui::ModalSeam::QueueFontAnswer("DejaVu Sans", 10, 400);
  Command(e, text_cmd::Police);
  const gui::ShownModal* shown = gui::ModalSeam::LastShown();
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(shown->kind, gui::ModalKind::Font);
  EXPECT_EQ(shown->caption, "Choix des Polices");
  EXPECT_EQ(shown->font.face, "Arial");
  EXPECT_EQ(shown->font.points, 9);
  EXPECT_EQ(shown->font.weight, 700);
  // The colour letter and the underline of the font offered stay.
  EXPECT_EQ(Shown(e), "[P:DejaVu Sans,010/4E2][F1]Banques\r\n");
  EXPECT_EQ(beeps, 0);
  test_support::Screenshot(MainFrame->OuterWidget(), "masterdata", "record_text_editor_report");
  // Cancelled: a beep, nothing inserted.
  gui::ModalSeam::QueueFontAnswer("", 0, 0);
  Command(e, text_cmd::Police);
  EXPECT_EQ(beeps, 1);
  EXPECT_EQ(Shown(e), "[P:DejaVu Sans,010/4E2][F1]Banques\r\n");
  Command(e, form_cmd::Enregistrer);
  EXPECT_EQ(StoredMemo(PathReportDefs(kReportSet), "CE0CODE", "DB-1LISTE", 11), "[P:DejaVu Sans,010/4E2][F1]Banques\r\n");
  EXPECT_EQ(IniGetString("PoliceSpecial"), "DejaVu Sans,010/4E2");
  EXPECT_EQ(IniGetString("Fenetre-Texte").size(), 24u);

  // A code's text has no "Police": nothing is asked.
  AddCode('Q', "BQ99", "note");
  e = Open('1', 'Q', "BQ99");
  ASSERT_NE(e, nullptr);
  gui::ModalSeam::Reset();
  Command(e, text_cmd::Police);
  EXPECT_TRUE(gui::ModalSeam::Shown().empty());
  EXPECT_EQ(Shown(e), "note");
}

// The font text of the statement [P:] read and written.
TEST(FontSpecText, ReadAndWritten) {
  struct Case {
    const char* text;
    bool named;
    const char* face;
    int points, weight;
    char colour;
    bool italic, underline;
    const char* written;
  } cases[] = {
      {"Verdana,012/400", true, "Verdana", 12, 400, '0', false, false, "Verdana,012/400"},
      {"Verdana,010/4E3", true, "Verdana", 10, 400, 'E', true, true, "Verdana,010/4E3"},
      {"Verdana,010/700", true, "Verdana", 10, 700, '0', false, false, "Verdana,010/700"},
      {"Verdana,010", true, "Verdana", 10, 100, '0', false, false, "Verdana,010/100"},
      {"Courier New,008/0B1", true, "Courier New", 8, 100, 'B', true, false, "Courier New,008/1B1"},
      {"Verdana", false, "", 0, 0, '0', false, false, ""},
      {" ,012/400", false, "", 0, 0, '0', false, false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    FontSpec spec;
    ASSERT_EQ(ParseFontSpec(c.text, spec), c.named);
    if (!c.named) continue;
    EXPECT_EQ(spec.face, c.face);
    EXPECT_EQ(spec.points, c.points);
    EXPECT_EQ(spec.weight, c.weight);
    EXPECT_EQ(spec.colour, c.colour);
    EXPECT_EQ(spec.italic, c.italic);
    EXPECT_EQ(spec.underline, c.underline);
    EXPECT_EQ(FormatFontSpec(spec), c.written);
  }
  // Sizes and weights out of range are written within it.
  EXPECT_EQ(FormatFontSpec(FontSpec{"A", 0, 0, '0', false, false}), "A,001/100");
  EXPECT_EQ(FormatFontSpec(FontSpec{"A", 1200, 950, 'R', false, true}), "A,999/9R2");
}

// The chooser itself, as a user sees it: it opens on the font offered and gives back the one
// accepted, the colour letter kept.
using FontChooserTest = test_support::GuiTest;
TEST_F(FontChooserTest, OpensOnTheFontOfferedAndGivesTheOneAccepted) {
  gui::ModalSeam::SetTestMode(false);
  QString caption;
  QTimer::singleShot(0, [&caption] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    caption = dialog->windowTitle();
    test_support::Screenshot(dialog, "masterdata", "font_chooser");
    dialog->accept();
  });
  std::string spec = "DejaVu Sans,014/7A0";
  const bool chosen = ChooseFonts(nullptr, spec);
  gui::ModalSeam::SetTestMode(true);
  EXPECT_TRUE(chosen);
  EXPECT_EQ(caption.toStdString(), "Choix des Polices");
  EXPECT_EQ(spec, "DejaVu Sans,014/7A0");
}

// Two stations: a record held by one station's editor is refused to the other's editor and
// form, and free again once that editor closes; a record the other station holds closes this
// editor at once, without a message.
bool OtherStation(const std::string& folder, char cmd) {
  static RecordTextHold* hold = nullptr;
  static Table* form = nullptr;
  if (hold == nullptr) {
    hold = new RecordTextHold();
    form = new Table();
    SetDossier(folder, "TXT");
  }
  const std::string reference = MakeRecordReference('1', 'M', "PARTAGE");
  switch (cmd) {
    case 'e': return hold->Open(reference);
    case 'r': hold->Release(); return true;
    case 'l': return form->OpenShared(PathC10(), "C10CODE") && form->Seek("C10CODE", "MPARTAGE ") && LockRecord(*form, nullptr, 0);
    case 'u': return UnlockRecord(*form);
    default: return false;
  }
}

TEST_F(RecordTextEditorTest, ARecordHeldByOneStationIsRefusedToTheOther) {
  {
    Table t;
    ASSERT_TRUE(t.OpenShared(C10Path(folder_, "TXT"), "C10CODE"));
    ASSERT_TRUE(t.AppendBlank());
    ASSERT_TRUE(t.PutField(1, "M"));
    ASSERT_TRUE(t.PutField(2, "PARTAGE"));
    ASSERT_TRUE(t.InsertRecord());
    ASSERT_TRUE(t.PutMemoText(7, "CC=51200000\r\n"));
    t.CloseTable();
  }
  const std::string folder = folder_;
  test_support::OtherProcess other([folder](char cmd) { return OtherStation(folder, cmd); });
  OpenDossier();

  // This station's editor holds it.
  TWDonTexte* e = Open('1', 'M', "PARTAGE");
  ASSERT_NE(e, nullptr);
  EXPECT_TRUE(e->Hold().Held());
  EXPECT_FALSE(other.Do('e')) << "the other station's editor";
  EXPECT_FALSE(other.Do('l')) << "the other station's form";
  Command(e, form_cmd::Quitter);
  EXPECT_EQ(Editor(), nullptr);
  EXPECT_TRUE(other.Do('e'));

  // The other station's editor, then its form, hold it: this editor closes at once, silently.
  struct Case {
    char hold, release;
  } cases[] = {{0, 'r'}, {'l', 'u'}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.release);
    if (c.hold != 0) {
      ASSERT_TRUE(other.Do(c.hold));
    }
    gui::ModalSeam::Reset();
    EXPECT_EQ(Open('1', 'M', "PARTAGE"), nullptr);
    EXPECT_TRUE(gui::ModalSeam::Shown().empty()) << ShownTexts();
    EXPECT_EQ(RegistryChar(kRecordTextSlot), ' ');
    EXPECT_EQ(EditorLock.table, nullptr);
    ASSERT_TRUE(other.Do(c.release));
  }
  e = Open('1', 'M', "PARTAGE");
  ASSERT_NE(e, nullptr);
  EXPECT_TRUE(e->Hold().Held());
  // A cancelled code is not opened.
  AddCode('M', "ANNULE", "texte", true);
  Command(e, form_cmd::Quitter);
  EXPECT_EQ(Open('1', 'M', "ANNULE"), nullptr);
}

}  // namespace
