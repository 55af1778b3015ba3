// What the settings write into tables, read back as another program reads them: one constant into its record
// (another station's change kept), the rights into record "0", and user-defined reports made, exported and stored
// from the reference set into the printing sets.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <array>
#include <cctype>
#include <climits>

#include "data/dossier_files.h"
#include "data/locks.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_create.h"
#include "demo/dossier_demo.h"
#include "platform/system/files.h"
#include "runtime/dossier_record.h"
#include "runtime/runtime_hooks.h"
#include "runtime/xbase.h"
#include "support/python.h"
#include "support/refused_read.h"
#include "support/runtime_fixture.h"
#include "utilities/core/dossier_constants.h"
#include "utilities/core/report_store.h"

namespace {

using namespace settings;

class StoreTest : public test_support::RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    SetRuntimeMessageHook([](const char*, const char*, unsigned) { return 1; });
    SetRuntimeBeepHook([](unsigned) {});
    SetLockNoticeHook([](const char*, const char*) {});
    ASSERT_EQ(StartDbSession(), 0);
    DemoOptions options;
    options.folder = Dir() + "/st";
    options.code = "ST";
    options.lines = 30;
    std::string message;
    ASSERT_TRUE(GenerateDemoDossier(options, &message)) << message;
    SetDossier(options.folder + "/", "ST");
    ASSERT_TRUE(c10_.OpenShared(PathC10(), "C10CODE"));
  }
  void TearDown() override {
    c10_.CloseTable();
    for (Table* t : {&set_, &other_}) t->CloseTable();
    CloseAllTables();
    StopDbSession();
    SetDossier("", "");
    SetLockNoticeHook(nullptr);
    RuntimeTest::TearDown();
  }

  // Field `field` of the C10 record kind + code, as python3-dbfread reads it (latin-1 keeps every byte).
  std::string StoredField(const char* kind, const char* code, const char* field) {
    return test_support::RunPythonScript(
        "import sys\nfrom dbfread import DBF\n"
        "for r in DBF('" + std::string(PathC10()) + ".dbf', encoding='latin-1'):\n"
        "    if r['GCLE'] == '" + kind + "' and r['GCODE'].strip() == '" + code + "':\n"
        "        sys.stdout.buffer.write(r['" + field + "'].encode('latin-1'))\n",
        true);
  }
  // A report-definition set in the program folder with reports (code, name, template).
  std::string MakeSet(char letter, const std::vector<std::array<std::string, 3>>& reports) {
    const std::string path = Dir() + "/ce" + static_cast<char>(std::tolower(letter)) + "etats";
    EXPECT_EQ(CreateTableOfKind(TableKind::ReportDefs, path, true), 0);
    Table t;
    EXPECT_TRUE(t.OpenShared(path, kReportTag));
    for (const auto& r : reports) {
      EXPECT_TRUE(t.AppendBlank());
      t.PutField(kReportCodeField, r[0].c_str());
      t.PutField(kReportNameField, r[1].c_str());
      t.PutMemoText(kReportTemplateField, r[2]);
      EXPECT_TRUE(t.InsertRecord());
    }
    t.Commit();
    t.CloseTable();
    return path;
  }
  static std::string TemplateOf(Table& t, const std::string& code) {
    std::string key = code;
    key.resize(kReportCodeWidth, ' ');
    std::string text;
    if (!t.Seek(kReportTag, key.c_str()) || t.eof) return "<absent>";
    t.GetMemoText(kReportTemplateField, text);
    return text;
  }

  Table c10_, set_, other_;
};

TEST_F(StoreTest, AConstantIsWrittenAloneAtItsPlace) {
  // Another station changed 053 after this one read the constants: it stays.
  ASSERT_TRUE(c10_.Seek("C10CODE", "P", "0"));
  ASSERT_TRUE(c10_.PutFieldPart(4, 3 * 53 - 2, 3, "VE "));
  c10_.Commit();
  TheDossierRecord.SetConstant(53, "OD ");
  const struct {
    int n;
    std::string value;
    const char* field;
    const char* kind;
    const char* code;
    int position;
  } cases[] = {{52, "5\x80", "GZONE1", "P", "0", 154}, {1, "ABC", "GZONE1", "P", "0", 1},
               {74, "XYZ", "GZONE1", "P", "0", 220}, {0, "K9 ", "GZONE2", "0", "", 252}};
  for (const auto& c : cases) {
    ASSERT_EQ(SaveDossierConstant(c10_, c.n, c.value), SaveOutcome::Saved) << c.n;
    std::string value = c.value;
    value.resize(3, ' ');
    EXPECT_EQ(TheDossierRecord.Constant(c.n), value) << c.n;
    // python3-dbfread drops the blanks at a field's end: they are put back.
    const std::string stored = StoredField(c.kind, c.code, c.field);
    std::string got = stored.size() >= static_cast<std::size_t>(c.position) ? stored.substr(static_cast<std::size_t>(c.position - 1), 3) : "";
    got.resize(3, ' ');
    EXPECT_EQ(got, value) << c.n << ": " << stored;
  }
  EXPECT_EQ(StoredField("P", "0", "GZONE1").substr(3 * 53 - 3, 3), "VE ");
  EXPECT_EQ(SaveDossierConstant(c10_, 75, "X"), SaveOutcome::Failed);
}

TEST_F(StoreTest, AConstantHeldByAnotherCursorIsNotWritten) {
  ASSERT_TRUE(other_.OpenShared(PathC10(), "C10CODE"));
  ASSERT_TRUE(other_.Seek("C10CODE", "P", "0"));
  ASSERT_TRUE(LockRecord(other_, nullptr, 0));
  const std::string before = StoredField("P", "0", "GZONE1");
  EXPECT_EQ(SaveDossierConstant(c10_, 52, "NON"), SaveOutcome::LockRefused);
  EXPECT_EQ(StoredField("P", "0", "GZONE1"), before);
  UnlockRecord(other_);
  EXPECT_EQ(SaveDossierConstant(c10_, 52, "NON"), SaveOutcome::Saved);
}

TEST_F(StoreTest, RightsGoIntoTheFirstFiftyCharactersOfRecordZero) {
  ASSERT_TRUE(c10_.Seek("C10CODE", "0"));
  ASSERT_TRUE(c10_.PutFieldPart(6, 51, 4, "kept"));
  c10_.Commit();
  const std::string rights = std::string(21, '?') + "0" + std::string(28, '?');
  ASSERT_EQ(SaveRights(c10_, rights), SaveOutcome::Saved);
  EXPECT_EQ(TheDossierRecord.Rights(), rights);
  const std::string stored = StoredField("0", "", "GZONE3");
  EXPECT_EQ(stored.substr(0, 54), rights + "kept");
}

TEST_F(StoreTest, ReportsAreMadeFromNothingAReportAFileOrTheReferenceText) {
  const std::string path = MakeSet('T', {{"DB-1LISTE", "Liste des banques", "[RS]\r\n[@CODE] \xE9t\xE9\r\n"}});
  ASSERT_TRUE(set_.OpenShared(path, kReportTag));
  Write("C-Etat-EC-1STD.txt", "\xEF\xBB\xBF[Col:5]\xC3\xA9t\xC3\xA9\n");
  Write("CESETATS.txt", "#ETAT=EG-X\tGrand livre\n[EG]\n#ETAT=EJ-X\n[EJ]\n");
  // A source that is missing is said in one sentence naming it.
  const struct {
    const char* code;
    std::string from;
    ReportOutcome outcome;
    const char* text;
    const char* name;
    std::string message;
  } cases[] = {
      {"DB-COPIE", "DB-1LISTE", ReportOutcome::Created, "[RS]\r\n[@CODE] \xE9t\xE9\r\n",
       "Copie de DB-1LISTE Liste des banques", ""},
      {"EC-1STD", Dir() + "/C-Etat-EC-1STD.txt", ReportOutcome::Created, "[Col:5]\xE9t\xE9\n", "C-Etat-EC-1STD.txt",
       ""},
      {"EG-X", "CESETATS", ReportOutcome::Created, "[EG]\n", "Grand livre", ""},
      {"EJ-Y", "cesetats EJ-X", ReportOutcome::Created, "[EJ]\n", "", ""},
      {"EJ-Z", "CESETATS", ReportOutcome::SourceMissing, "<absent>", "",
       "\n\n\nL'\xE9tat EJ-Z n'est pas dans CESETATS.txt\n\n\n"},
      {"DB-VIDE", "", ReportOutcome::Created, "", "", ""},
      {"DB-1LISTE", "", ReportOutcome::Exists, "[RS]\r\n[@CODE] \xE9t\xE9\r\n", "Liste des banques", ""},
      {"DB-X", "DB-ABSENT", ReportOutcome::SourceMissing, "<absent>", "", "\n\n\nEtat inconnu: DB-ABSENT\n\n\n"},
      {"DB-Y", Dir() + "/absent.txt", ReportOutcome::SourceMissing, "<absent>", "",
       "\n\n\nFichier introuvable:\n\n" + Dir() + "/absent.txt\n\n\n"},
  };
  for (const auto& c : cases) {
    const ReportMade made = CreateReport(set_, c.code, c.from, Dir() + "/");
    EXPECT_EQ(made.outcome, c.outcome) << c.code;
    EXPECT_EQ(TemplateOf(set_, c.code), c.text) << c.code;
    if (made.outcome == ReportOutcome::Created || made.outcome == ReportOutcome::Exists) {
      EXPECT_EQ(RTrim(set_.GetField(kReportNameField)), std::string(c.name)) << c.code;
    }
    EXPECT_EQ(made.message, c.message) << c.code;
  }
}

// A report made as a copy of another, or one there already, while the disk refuses one read of the set (each
// read in turn, EIO once): made as the copy, found there, or refused with one sentence naming the file; never a
// report made blank for a source not read, nor a second record of a report there.
TEST_F(StoreTest, AReportWhoseLookUpTheDiskRefusesIsNeverMadeBlankNorTwice) {
  const std::string path = MakeSet('T', {{"DB-1LISTE", "Liste des banques", "[RS]\r\n"}});
  const std::string file = "/" + std::filesystem::path(platform::ResolvePath(path + ".dbf")).filename().string();
  auto records = [&](const std::string& code) {
    Table t;
    EXPECT_TRUE(t.OpenShared(path, kReportTag, true));
    int n = 0;
    for (bool more = t.GoTop(""); more; more = t.Skip(1)) n += RTrim(t.GetField(kReportCodeField)) == code;
    return n;
  };
  long refused = 0, made = 0;
  for (int nth = 1; nth <= 30; ++nth) {
    const std::string code = "DB-C" + std::to_string(nth);
    SCOPED_TRACE("read " + std::to_string(nth) + " of " + file + " refused");
    // Opened while reads are counted, so that the engine reads the file rather than maps it.
    test_support::RefusedRead::Arm(file, INT_MAX);
    Table set;
    ASSERT_TRUE(set.OpenShared(path, kReportTag));
    test_support::RefusedRead::Arm(file, nth);
    const ReportMade copy = CreateReport(set, code, "DB-1LISTE", Dir() + "/");
    const ReportMade again = CreateReport(set, "DB-1LISTE", "", Dir() + "/");
    const int seen = test_support::RefusedRead::Seen();
    test_support::RefusedRead::Disarm();
    set.CloseTable();
    EXPECT_EQ(records("DB-1LISTE"), 1);
    for (const ReportMade* m : {&copy, &again}) {
      if (m->outcome == ReportOutcome::Unreadable) {
        ++refused;
        EXPECT_NE(m->message.find("n'a pas \xE9t\xE9 cr\xE9\xE9, une lecture"), std::string::npos) << m->message;
        EXPECT_NE(m->message.find(file.substr(1)), std::string::npos) << m->message;
      }
    }
    if (copy.outcome == ReportOutcome::Created) {
      ++made;
      Table t;
      ASSERT_TRUE(t.OpenShared(path, kReportTag, true));
      EXPECT_EQ(TemplateOf(t, code), "[RS]\r\n") << "made without its source";
      EXPECT_EQ(std::string(RTrim(t.GetField(kReportNameField))), "Copie de DB-1LISTE Liste des banques");
    }
    EXPECT_TRUE(copy.outcome == ReportOutcome::Created || copy.outcome == ReportOutcome::Unreadable)
        << static_cast<int>(copy.outcome);
    EXPECT_TRUE(again.outcome == ReportOutcome::Exists || again.outcome == ReportOutcome::Unreadable)
        << static_cast<int>(again.outcome);
    EXPECT_EQ(records(code), copy.outcome == ReportOutcome::Created ? 1 : 0);
    ASSERT_FALSE(HasFailure());
    if (seen < nth) break;
  }
  EXPECT_GE(refused, 1);
  EXPECT_GE(made, 1);
}

TEST_F(StoreTest, AnExportIsTheTemplateByteForByteAndImportsBackTheSame) {
  const std::string text = "[RS] \x80 \xE9t\xE9\r\n[Si:@A='\xAB',x,y]\n\x1A tail";
  const std::string path = MakeSet('T', {{"DB-1LISTE", "Liste", text}});
  ASSERT_TRUE(set_.OpenShared(path, kReportTag));
  ASSERT_TRUE(set_.Seek(kReportTag, "DB-1LISTE"));
  std::string message;
  ASSERT_TRUE(ExportReport(set_, File("C-Etat-DB-1LISTE.txt"), message)) << message;
  EXPECT_EQ(Read("C-Etat-DB-1LISTE.txt"), text);
  ASSERT_EQ(CreateReport(set_, "DB-RETOUR", File("C-Etat-DB-1LISTE.txt"), Dir() + "/").outcome, ReportOutcome::Created);
  EXPECT_EQ(TemplateOf(set_, "DB-RETOUR"), text);
  ASSERT_TRUE(set_.Seek(kReportTag, "DB-RETOUR"));
  EXPECT_FALSE(ExportReport(set_, Dir() + "/nulle-part/x.txt", message));
  EXPECT_FALSE(message.empty());
}

TEST_F(StoreTest, ListedReportsReplaceTheirCodesInEveryPrintingSetThenTheListIsRenamed) {
  const std::string reference = MakeSet('S', {{"DB-1LISTE", "Nouvelle liste", "[nouveau]"}, {"EC-1STD", "Relev\xE9", "[releve]"}});
  const std::string a = MakeSet('1', {{"DB-1LISTE", "Ancienne liste", "[ancien]"}, {"ZZ-GARDE", "Garde", "[garde]"}});
  const std::string b = MakeSet('2', {});
  const std::string list = File("CESETATS.LST"), old = File("cesetats.old");

  // A code the reference set lacks: nothing is written and the list stays for the next start.
  Write("CESETATS.LST", "db-1liste\r\nXX-ABSENT\r\n");
  StoredList r = StoreListedReports(list, reference, {a, b}, old);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.message, "\n\n\nCes \xE9tats de la liste ne sont pas dans le jeu de r\xE9" "f\xE9rence:\n\n   XX-ABSENT\n"
                       "\nLa liste est gard\xE9" "e.\n\n\n");
  EXPECT_TRUE(platform::FileExists(list));
  ASSERT_TRUE(set_.OpenShared(a, kReportTag));
  EXPECT_EQ(TemplateOf(set_, "DB-1LISTE"), "[ancien]");
  set_.CloseTable();

  Write("CESETATS.LST", "db-1liste\r\n\r\nEC-1STD\r\n");
  r = StoreListedReports(list, reference, {a, b}, old);
  ASSERT_TRUE(r.ok) << r.message;
  EXPECT_EQ(r.stored, 4);
  EXPECT_FALSE(platform::FileExists(list));
  EXPECT_TRUE(platform::FileExists(old));
  for (const std::string& path : {a, b}) {
    ASSERT_TRUE(set_.OpenShared(path, kReportTag));
    EXPECT_EQ(TemplateOf(set_, "DB-1LISTE"), "[nouveau]") << path;
    EXPECT_EQ(RTrim(set_.GetField(kReportNameField)), std::string("Nouvelle liste"));
    EXPECT_EQ(TemplateOf(set_, "EC-1STD"), "[releve]") << path;
    set_.CloseTable();
  }
  ASSERT_TRUE(set_.OpenShared(a, kReportTag));
  EXPECT_EQ(TemplateOf(set_, "ZZ-GARDE"), "[garde]");
  EXPECT_EQ(set_.RecCount(), 3u) << "replaced in place, not added";
}

}  // namespace
