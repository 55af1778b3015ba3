// "Accès aux Fichiers": a wrong support password beeps and opens nothing; another station holding the dossier has
// the browser refused with the exclusive-open message; the browser lists C50 in physical order, its record form
// refuses "12,3,4" in a number and a text longer than its field with the record unchanged, writes what fits,
// cancels and reactivates; its reports go through the report hooks with the field writes allowed; closing gives the
// dossier back; the balance-sheet models open the same way.
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
#include "resources/string_table.h"
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

}  // namespace
}  // namespace settings_test
