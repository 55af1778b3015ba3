// "Accès aux Fichiers": a wrong support password beeps and opens nothing; another station holding the dossier has
// the browser refused with the exclusive-open message; the browser lists C50 in physical order, its record form
// refuses "12,3,4" in a number and a text longer than its field with the record unchanged, writes what fits,
// cancels and reactivates; its reports go through the report hooks with the field writes allowed, and its preview
// writes the fields as its record form writes them, a write refused shown as not carried out and named with why;
// closing gives the dossier back; the balance-sheet models open the same way.
#include "data/dossier_lock.h"
#include "data/table_create.h"
#include "framework/browse_services.h"
#include "runtime/dates.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "settings_fixture.h"
#include "support/gui_test.h"
#include "support/other_process.h"
#include "controls/medit.h"
#include "data/entry_lines.h"
#include "platform/gui/modal_seam.h"
#include "reports/engine/choice_dialogs.h"
#include "reports/engine/core/page_store.h"
#include "reports/engine/report_engine_commands.h"
#include "reports/engine/visu_window.h"
#include "resources/string_table.h"
#include "runtime/access_rights.h"
#include "utilities/raw_browser.h"

namespace settings_test {
namespace {

constexpr int kLabelField = 12;   // BLIB, 25 characters
constexpr int kAmountField = 18;  // BMONTANTF, a number with 2 decimals

// The texts the tests look for, by their ids in the string table.
constexpr int kMsgNotExclusive = 2259;       // the dossier cannot be held alone
constexpr int kListTitleC50 = 1857;          // "Accès au Fichier C50 - Ecritures Brouillard"
constexpr int kFormTitleC50 = 1864;          // the same, "Modification du ...", before the record number
constexpr int kListTitleModelParams = 2051;  // "Accès au fichier Paramètres du Bilan"

bool RightCode(const char*, const char*, std::string& answer) {
  const Ymd today = Today();
  answer = SupportCodeForDate(today.year, today.month, today.day);
  return true;
}
bool WrongCode(const char*, const char*, std::string& answer) {
  answer = "FAUXCODE";
  return true;
}

// The other station: 'o' opens the dossier (its lock table, shared), 'c' closes it.
bool OtherStation(char cmd) {
  static Table* t = nullptr;
  if (t == nullptr) t = new Table();
  if (cmd == 'o') return t->OpenShared(DossierTablePath());
  if (cmd == 'c') return t->CloseTable();
  return false;
}

class RawBrowserTest : public SettingsWindowTest {
 protected:
  void SetUp() override {
    SettingsWindowTest::SetUp();
    SetTextPromptHook(&RightCode);
  }
  static TWUtiBroFichier* Browser() { return WindowAt<TWUtiBroFichier>(kRawListSlot); }
  static TWUtiModFichier* Form() { return WindowAt<TWUtiModFichier>(kRawFormSlot); }
  // Record n of C50 read from the file's bytes by Python: "deleted|label|amount".
  static std::string Record(long n) {
    return test_support::RunPythonScript(
        "import struct, sys\n"
        "f = open('" + std::string(PathC50()) + ".dbf', 'rb').read()\n"
        "hl, rl = struct.unpack('<HH', f[8:12])\n"
        "fields, pos, off = {}, 32, 1\n"
        "while f[pos] != 0x0D:\n"
        "    fields[f[pos:pos + 11].split(b'\\0')[0].decode()] = (off, f[pos + 16])\n"
        "    off += f[pos + 16]\n"
        "    pos += 32\n"
        "rec = f[hl + " + std::to_string(n - 1) + " * rl: hl + " + std::to_string(n) + " * rl]\n"
        "get = lambda name: rec[fields[name][0]: fields[name][0] + fields[name][1]].decode('latin-1').strip()\n"
        "sys.stdout.buffer.write((('1' if rec[0:1] == b'*' else '0') + '|' + get('BLIB') + '|' + get('BMONTANTF')).encode('latin-1'))\n",
        true);
  }
  TWUtiBroFichier* OpenBrowser(unsigned command = 20717) {
    Menu(command);
    TWUtiBroFichier* b = Browser();
    EXPECT_NE(b, nullptr) << test_support::ShownTexts();
    return b;
  }
  // The form of record n, opened from the browser with "Modifier".
  TWUtiModFichier* Edit(TWUtiBroFichier* b, long n) {
    b->ShowRecord(n);
    EXPECT_EQ(b->Store().RecordNumberOf(b->GetSelectedRowIndex() - 1), n);
    Send(b, browse_cmd::Modifier);
    TWUtiModFichier* f = Form();
    EXPECT_NE(f, nullptr) << test_support::ShownTexts();
    return f;
  }
};

TEST_F(RawBrowserTest, AWrongPasswordBeepsAndOpensNothing) {
  SetTextPromptHook(&WrongCode);
  const int before = beeps;
  Menu(20717);
  EXPECT_EQ(Browser(), nullptr);
  EXPECT_GE(beeps, before + 1) << "the refusal's beep";
  EXPECT_EQ(GetDossierState(), ' ');
  EXPECT_TRUE(TableC50 == nullptr || !TableC50->isOpen);
}

TEST_F(RawBrowserTest, AnotherStationHoldingTheDossierHasItRefused) {
  CloseWindows();
  test_support::OtherProcess station(&OtherStation);
  ASSERT_TRUE(station.Do('o'));
  Menu(20717);
  EXPECT_EQ(Browser(), nullptr);
  EXPECT_NE(test_support::ShownTexts().find(RTrim(LoadStr(kMsgNotExclusive))), std::string::npos)
      << test_support::ShownTexts();
  EXPECT_EQ(GetDossierState(), ' ');
  ASSERT_TRUE(station.Do('c'));
  ASSERT_NE(OpenBrowser(), nullptr);
  EXPECT_FALSE(station.Do('o')) << "held by this station while the browser is open";
  CloseWindows();
  EXPECT_EQ(GetDossierState(), '2');
  EXPECT_TRUE(station.Do('o')) << "given back";
}

TEST_F(RawBrowserTest, ValuesThatDoNotFitAreRefusedAndTheRecordIsUnchanged) {
  TWUtiBroFichier* b = OpenBrowser();
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(GetDossierState(), '1');
  EXPECT_EQ(b->GetCaption(), LoadStr(kListTitleC50));
  EXPECT_EQ(b->Store().totalRows, static_cast<long>(TableC50->RecCount()));
  test_support::Screenshot(b->OuterWidget(), "utilities", "raw_browser");
  const std::string before = Record(5);
  TWUtiModFichier* f = Edit(b, 5);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->GetCaption(), std::string(LoadStr(kFormTitleC50)) + "000005");
  test_support::Screenshot(f->OuterWidget(), "utilities", "raw_record_form");
  const std::string label = f->EditOf(kLabelField)->GetValue();
  const std::string amount = f->EditOf(kAmountField)->GetValue();

  const struct {
    int field;
    std::string typed;
  } refused[] = {{kAmountField, "12,3,4"}, {kAmountField, "1,234"}, {kLabelField, std::string(26, 'X')}};
  for (const auto& c : refused) {
    gui::ModalSeam::Reset();
    f->EditOf(c.field)->SetValue(c.typed, false);
    Send(f, form_cmd::Enregistrer);
    ASSERT_EQ(Form(), f) << c.typed << ": the form stays";
    EXPECT_EQ(gui::ModalSeam::Shown().size(), 1u) << c.typed;
    EXPECT_EQ(Record(5), before) << c.typed;
    f->EditOf(c.field)->SetValue(c.field == kLabelField ? label : amount, false);
  }
  f->EditOf(kLabelField)->SetValue("Libell\xE9 chang\xE9", false);
  f->EditOf(kAmountField)->SetValue("123,45", false);
  Send(f, form_cmd::Enregistrer);
  EXPECT_EQ(Form(), nullptr);
  EXPECT_EQ(Record(5), before.substr(0, 2) + "Libell\xE9 chang\xE9|123.45");
  // The row shows the record as written.
  const std::string& row = b->Store().rows[static_cast<std::size_t>(b->GetSelectedRowIndex() - 1)];
  EXPECT_NE(row.find("Libell\xE9 chang\xE9"), std::string::npos);
}

TEST_F(RawBrowserTest, CancelAndReactivateMarkTheRecord) {
  TWUtiBroFichier* b = OpenBrowser();
  ASSERT_NE(b, nullptr);
  b->ShowRecord(3);
  Send(b, browse_cmd::Annuler);
  EXPECT_EQ(b->Store().MarkerOf(b->GetSelectedRowIndex() - 1), kMarkerCancelled);
  EXPECT_EQ(Record(3).substr(0, 1), "1");
  Send(b, browse_cmd::Reactiver);
  EXPECT_EQ(b->Store().MarkerOf(b->GetSelectedRowIndex() - 1), kMarkerOrdinary);
  EXPECT_EQ(Record(3).substr(0, 1), "0");
}

TEST_F(RawBrowserTest, AFarRecordIsBroughtOnThePageInPhysicalOrder) {
  TWUtiBroFichier* b = OpenBrowser();
  ASSERT_NE(b, nullptr);
  const long total = b->Store().totalRows;
  ASSERT_GT(total, b->Store().rowsPerPage);
  for (long n : {total, 1L, total / 2, 2L, total - 1}) {
    b->ShowRecord(n);
    const int i = b->GetSelectedRowIndex();
    ASSERT_NE(i, 0) << n;
    EXPECT_EQ(b->Store().RecordNumberOf(i - 1), n);
    // Rows follow each other by record number.
    for (int k = 1; k < b->Store().rowsPerPage && b->Store().RecordNumberOf(k) != 0; ++k)
      EXPECT_EQ(b->Store().RecordNumberOf(k), b->Store().RecordNumberOf(k - 1) + 1) << n;
  }
}

TEST_F(RawBrowserTest, ItsReportsGoThroughTheReportHooksWithFieldWritesAllowed) {
  const BrowseServices saved = BrowseHooks();
  std::string prefix;
  bool allowed = false, previewed = false;
  BrowseHooks().chooseLayout = [&prefix](CMDIBrowse&, const std::string& p, bool) {
    prefix = p;
    return static_cast<int>(gui::IDOK);
  };
  BrowseHooks().preview = [&allowed, &previewed](CMDIBrowse& list, const std::string&) {
    previewed = true;
    allowed = list.AllowFieldUpdates;
  };
  TWUtiBroFichier* b = OpenBrowser();
  ASSERT_NE(b, nullptr);
  Send(b, browse_cmd::Visualiser);
  BrowseHooks() = saved;
  EXPECT_EQ(prefix, "F50-");
  EXPECT_TRUE(previewed);
  EXPECT_TRUE(allowed);
  EXPECT_EQ(TableC50->recordNumber, 1u) << "the report starts at the first record";
}

TEST_F(RawBrowserTest, TheBalanceSheetModelsOpenFromTheProgramFolder) {
  TheDossierRecord.SetConstant(4, "R");
  const std::string path = ProgramFolder + "cpbilanr";
  ASSERT_EQ(CreateTableOfKind(TableKind::ModelParams, path, true), 0);
  {
    Table t;
    ASSERT_TRUE(t.OpenShared(path));
    for (const char* code : {"001", "002"}) {
      ASSERT_TRUE(t.AppendBlank());
      t.PutField(1, code);
      t.PutField(2, "Poste");
      ASSERT_TRUE(t.InsertRecord());
    }
    t.Commit();
  }
  TWUtiBroFichier* b = OpenBrowser(20720);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->GetCaption(), LoadStr(kListTitleModelParams));
  EXPECT_EQ(b->Store().totalRows, 2);
  EXPECT_EQ(b->reportPrefix, "FPB-");
  EXPECT_EQ(b->Cursor(), TableCXX);
}

// The raw browser's preview, as the report engine runs it, over layouts of the report set "0" of our own.
class RawBrowserPreviewTest : public RawBrowserTest {
 protected:
  void SetUp() override {
    RawBrowserTest::SetUp();
    InstallReportEngineCommands();
    for (int option : {5, 6, 7}) SetProgramOption(option, '0');
    SetProgramOption(12, 'O');  // the choice dialog asked, not the first layout taken
    const std::string path = PathReportDefs('0');
    ASSERT_EQ(CreateTableOfKind(TableKind::ReportDefs, path, true), 0);
    ::Table t;
    ASSERT_TRUE(t.OpenShared(path, "CE0CODE"));
    const std::pair<const char*, std::string> layouts[] = {
        {"F20-1TEL", "[ITD][TT-Avant][C20][champ:ctel<0102030405] [$CCTEL] [$CCCODE][TT-Suivant]\r\n[ITF]\r\n"},
        {"F20-2LONG", "[ITD][TT-Avant][C20][champ:ctel<" + std::string(21, '9') + "] [$CCTEL][TT-Suivant]\r\n[ITF]\r\n"},
        {"F50-1LIB", "[ITD][TT-Avant][C50][champ:blib3<!essai] [$CBLIB3][TT-Suivant]\r\n[ITF]\r\n"}};
    for (const auto& [code, text] : layouts) {
      ASSERT_TRUE(t.AppendBlank());
      ASSERT_TRUE(t.PutField(1, code));
      ASSERT_TRUE(t.PutField(2, code));
      ASSERT_TRUE(t.InsertRecord());
      ASSERT_TRUE(t.PutMemoText(11, text));
      ASSERT_TRUE(t.Commit());
    }
  }
  void TearDown() override {
    if (CurrentPreviewWindow != nullptr) CurrentPreviewWindow->Destroy();
    SetCommandWork(command_id::Visu, {});
    SetCommandWork(command_id::VisuMode1, {});
    BrowseHooks() = BrowseServices{};
    PrintRunFlag = false;
    RawBrowserTest::TearDown();
  }
  // "Visualiser" with the layout of row `row` of the browser's prefix chosen, every page made.
  TWVisuWindow* Preview(TWUtiBroFichier* b, int row) {
    gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [row](gui::Window& w) {
      static_cast<gui::Dialog&>(w).SetItemSel(choice_ids::kLayouts, row);
    });
    Send(b, browse_cmd::Visualiser);
    TWVisuWindow* w = CurrentPreviewWindow;
    EXPECT_NE(w, nullptr) << test_support::ShownTexts();
    if (w != nullptr) Send(w, visu_cmd::ToutesLesPages);
    return w;
  }
  static std::string PageText(const TWVisuWindow* w, int page) {
    std::string text;
    if (const reports::PreviewPage* p = w->Context().store.Page(page))
      for (const reports::PageRecord& r : *p)
        if (r.kind >= 'X') text += (text.empty() ? "" : " ") + std::string(r.text);
    return text;
  }
  // Field `name` of every record of the table at `path`, read once the browser gave the dossier back: "#" before
  // a cancelled record's value.
  static std::vector<std::string> Values(const std::string& path, const std::string& name) {
    std::vector<std::string> values;
    ::Table t;
    EXPECT_TRUE(t.OpenShared(path));
    int field = 0;
    for (int f = 1; f <= t.FieldCount(); ++f)
      if (RTrim(t.FieldName(f)) == name) field = f;
    EXPECT_NE(field, 0) << name;
    for (long n = 1; field != 0 && n <= static_cast<long>(t.RecCount()) && t.GoTo(n); ++n)
      values.push_back(std::string(t.IsDeleted() ? "#" : "") + RTrim(t.GetField(field)));
    t.CloseTable();
    return values;
  }
};

// "[C20][champ:ctel<0102030405]" writes every account's telephone, each row showing it; "[C50][champ:blib3<!essai]"
// writes every draft line's third label in capitals, as the record form shows it then; a value too long for its
// field is refused as the form refuses it: the statement shows "?...?", the field keeps its value, and the box at
// the page's end names the record, the field and why.
TEST_F(RawBrowserPreviewTest, ItsPreviewWritesTheFieldsAsItsRecordFormDoes) {
  TWUtiBroFichier* b = OpenBrowser(command_id::AccesFichierC20);
  ASSERT_NE(b, nullptr);
  const long accounts = b->Store().totalRows;
  ASSERT_GT(accounts, 1);
  TWVisuWindow* w = Preview(b, 0);
  ASSERT_NE(w, nullptr);
  const std::string page = PageText(w, 1);
  EXPECT_EQ(page.find("?champ"), std::string::npos) << page;
  EXPECT_NE(page.find("0102030405"), std::string::npos) << page;
  test_support::Screenshot(w->OuterWidget(), "utilities", "raw_preview_field_writes");
  Send(w, visu_cmd::Quitter);

  gui::ModalSeam::Reset();
  w = Preview(b, 1);
  ASSERT_NE(w, nullptr);
  const std::string refused = PageText(w, 1);
  EXPECT_NE(refused.find("?champ:ctel<" + std::string(21, '9') + "? 0102030405"), std::string::npos) << refused;
  EXPECT_NE(test_support::ShownTexts().find("enregistrement 1, champ CTEL : Le texte ne tient pas dans ce champ de 20 "
                                            "caract\xE8res."),
            std::string::npos)
      << test_support::ShownTexts();
  Send(w, visu_cmd::Quitter);
  CloseWindows();
  for (const std::string& v : Values(PathC20(), "CTEL")) EXPECT_TRUE(v == "0102030405" || v.rfind('#', 0) == 0) << v;
  EXPECT_EQ(Values(PathC20(), "CTEL").size(), static_cast<std::size_t>(accounts));

  // A table of lines, which only a permit to write the books lets be written; a cancelled line is not written, as
  // its form does not open.
  const std::vector<std::string> before = Values(PathC50(), "BLIB3");
  b = OpenBrowser(command_id::AccesFichierC50);
  ASSERT_NE(b, nullptr);
  gui::ModalSeam::Reset();
  w = Preview(b, 0);
  ASSERT_NE(w, nullptr);
  EXPECT_NE(PageText(w, 1).find("ESSAI"), std::string::npos) << PageText(w, 1);
  for (std::size_t i = 0; i < before.size(); ++i) {
    const std::string named = "enregistrement " + std::to_string(i + 1) + ", champ BLIB3 : l'enregistrement est annul\xE9";
    EXPECT_EQ(test_support::ShownTexts().find(named) != std::string::npos, before[i].rfind('#', 0) == 0) << named;
  }
  Send(w, visu_cmd::Quitter);
  TWUtiModFichier* f = Edit(b, 1);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->EditOf(LigneEcriture::BLIB3)->GetValue(), "ESSAI");
  Send(f, form_cmd::Quitter);
  CloseWindows();
  const std::vector<std::string> after = Values(PathC50(), "BLIB3");
  ASSERT_EQ(after.size(), before.size());
  for (std::size_t i = 0; i < after.size(); ++i)
    EXPECT_EQ(after[i], before[i].rfind('#', 0) == 0 ? before[i] : "ESSAI") << "record " << i + 1;
}

}  // namespace
}  // namespace settings_test
