// A run to an export file that meets an amount whose stored text does not read as a number writes
// no file and names the record, whoever read the amount: an owner reading the field raw (the
// number, or its text then read by Val), an owner reading the record's bytes, the template's own
// field statements, an amount of another table, an owner naming what it read before the run. The
// owners here know nothing of unread amounts: the interpreter decides. The same runs to the screen
// keep their pages and warn once, naming the record, before the page is shown; over the sound table
// they write their file. A line amount that no entry makes (below zero, past what a line takes)
// reads as one that does not read.
#include "core_support.h"
#include "data/entry_lines.h"
#include "data/record_fields.h"
#include "data/stored_fields.h"
#include "data/unread_amounts.h"
#include "data_test_util.h"
#include "runtime/numbers.h"
#include "runtime/xbase.h"
#include "support/books_writes.h"
#include "support/line_files.h"

using namespace test_support;

namespace {

using L = LigneEcriture;

// An owner stepping the lines of TableC50 in their order, each giving MONTANT the text `read` makes
// of the current line (nothing at all when `read` is empty: the template reads the line itself).
class LinesOwner : public reports::SimpleReportOwner {
 public:
  explicit LinesOwner(std::function<std::string(Table&)> read) : read_(std::move(read)) {
    fields.SetFieldCount(1);
    fields.InitFieldTable();
    fields.DeclareField(0, "MONTANT   C200");
  }
  bool PrepareReport() override { return TableC50->GoTop(); }
  void ComputeLine() override {
    if (read_) fields.SetFieldText(0, read_(*TableC50).c_str());
  }
  bool NextRecord() override { return TableC50->Skip(1) && !TableC50->eof; }
  std::function<void()> onInit;
  void InitReport() override {
    if (onInit) onInit();
  }

 private:
  std::function<std::string(Table&)> read_;
};

class UnreadAmountsExportTest : public data_test::DataTest {
 protected:
  void SetUp() override {
    DataTest::SetUp();
    TheDossierRecord.SetConstant(18, ";  ");
    // A line's euros take at most what their francs' field holds at the parity: 15 244 901 723,74.
    TheDossierRecord.SetParity(6.55957);
  }
  void TearDown() override {
    TableC50->CloseTable();
    DataTest::TearDown();
  }

  // Three lines in C50, made anew: 10.00, 20.00 and 30.00 euros, the second on 60100000.
  void MakeLines() {
    const test_support::SetUpPermit permit("lignes mises en place");
    TableC50->CloseTable();
    ASSERT_EQ(CreateTableOfKind(TableKind::C50, DossierPath(TableKind::C50), true), 0);
    ASSERT_TRUE(TableC50->OpenShared(DossierPath(TableKind::C50)));
    for (int i = 1; i <= 3; ++i) {
      ASSERT_TRUE(TableC50->AppendBlank());
      TableC50->PutField(L::BCLE, "Z");
      TableC50->PutField(L::BPIECE, StrZero(i, 6));
      TableC50->PutField(L::BCODE, i == 2 ? "60100000" : "41100000");
      TableC50->PutFieldNum(L::BMONTANTF, 65.6 * i);
      TableC50->PutFieldNum(L::BMONTANTE, 10.0 * i);
      ASSERT_TRUE(TableC50->InsertRecord());
    }
    ASSERT_TRUE(TableC50->Commit());
    TableC50->CloseTable();
  }

  // A table that is not a dossier's, `name` in the test's folder, open on its one record, whose
  // amount XMONT holds `bytes`.
  void OtherTable(const std::string& name, const std::string& bytes) {
    TableStructure s;
    s.fields = {FieldDef{"XCODE", 'C', 10, 0}, FieldDef{"XMONT", 'N', 14, 2}};
    const std::string path = Dir() + "/" + name;
    Create(s, path);
    ASSERT_TRUE(TableCXX->OpenShared(path));
    ASSERT_TRUE(TableCXX->AppendBlank());
    ASSERT_TRUE(TableCXX->PutField(1, "X1"));
    ASSERT_TRUE(TableCXX->InsertRecord());
    TableCXX->CloseTable();
    RawRecords(path + ".dbf").Put(1, "XMONT", bytes);
    ASSERT_TRUE(TableCXX->OpenShared(path));
    ASSERT_TRUE(TableCXX->GoTop());
  }

  // The lines' euro amount of record 2 made `bytes`, as a foreign program or a damaged disk leaves it.
  void Damage(const std::string& bytes) {
    TableC50->CloseTable();
    RawRecords(DossierPath(TableKind::C50) + ".dbf").Put(2, "BMONTANTE", bytes);
  }

  struct Outcome {
    bool written = false;
    std::string file;
    std::vector<std::string> warnings;
    int pages = 0;
  };
  // The template run to its end, its export (when it makes one) under `name` in the dossier folder.
  Outcome Run(LinesOwner& owner, const std::string& tmpl, const std::string& name = "export.csv") {
    EXPECT_TRUE(TableC50->OpenShared(DossierPath(TableKind::C50)));
    Outcome out;
    const std::string path = DossierFolder + name;
    std::filesystem::remove(path);
    owner.exportFileName = path;
    if (!owner.PrepareReport()) {
      TableC50->CloseTable();
      return out;
    }
    OwnerRun run(owner);
    if (!run.interpreter.BeginListWithTemplate(reports::ListSetup{}, tmpl)) return out;
    run.interpreter.RenderToEnd();
    run.file.Close(run.context.exportSettings);
    out.pages = run.context.store.PageCount();
    out.warnings = run.env.warnings;
    out.written = std::filesystem::exists(path);
    if (out.written) out.file = ReadFileBytes(path);
    TableC50->CloseTable();
    return out;
  }
};

const char* const kExported = "[Export:csv][Export][ITD][TT-Avant][@MONTANT][TT-Suivant]\r\n[ITF][Fin]";
const char* const kShown = "[ITD][TT-Avant][@MONTANT][TT-Suivant]\r\n[ITF][Fin]";

// How the runs name the second line, and an amount read without its record.
const char* const kLine2 = "C50 enregistrement 2, pi\xE8" "ce 000002, compte 60100000\n";
const char* const kUnnamed = "1 montant(s) dont l'enregistrement n'a pas \xE9t\xE9 nomm\xE9";

// A way of reading the line's amount: by the owner (`read`), or by the template itself (`read`
// empty, `tmpl` reading it), and how the run names what it could not read.
struct Reader {
  const char* what;
  std::function<std::string(Table&)> read;
  const char* tmpl;
  std::string named;
};

}  // namespace

TEST_F(UnreadAmountsExportTest, NoExportIsWrittenOverAnAmountThatDoesNotReadWhoeverReadsIt) {
  const std::string line2 = kLine2, unnamed = kUnnamed;
  const Reader cases[] = {
      {"the number read raw", [](Table& t) { return std::string(FormatNumber(14, 2, false, t.GetFieldNum(L::BMONTANTE))); },
       kExported, line2},
      {"its text read by Val", [](Table& t) { return std::string(FormatNumber(14, 2, false, Val(t.GetField(L::BMONTANTE)))); },
       kExported, line2},
      {"the francs read, the euros never", [](Table& t) { return std::string(t.GetField(L::BMONTANTF)); }, kExported,
       ""},
      {"the record's bytes read", [](Table& t) {
         const std::string_view stored = StoredFields(t, {L::BMONTANTE})[0];
         return std::to_string(StoredAmountCents(stored));
       },
       kExported, unnamed},
      {"the template's field statement", {},
       "[Export:csv][Export][ITD][TT-Avant][C50->BMONTANTE][TT-Suivant]\r\n[ITF][Fin]", line2},
  };
  for (const std::string& garbage : {std::string("abc"), std::string(14, '\0'), std::string("-1e300"),
                                     std::string("nan"), std::string("12.3.4")}) {
    SCOPED_TRACE(std::string("\"") + garbage.c_str() + "\"");
    for (const Reader& c : cases) {
      SCOPED_TRACE(c.what);
      MakeLines();
      LinesOwner sound(c.read);
      const Outcome before = Run(sound, c.tmpl);
      EXPECT_TRUE(before.written);
      EXPECT_EQ(before.warnings, std::vector<std::string>{});
      Damage(garbage);
      LinesOwner owner(c.read);
      const Outcome after = Run(owner, c.tmpl);
      if (c.named.empty()) {
        // The damaged field was never read: the file is written.
        EXPECT_TRUE(after.written);
        EXPECT_EQ(after.warnings, std::vector<std::string>{});
      } else {
        EXPECT_FALSE(after.written) << after.file;
        ASSERT_EQ(after.warnings.size(), 1u);
        EXPECT_EQ(after.warnings[0].rfind("ATTENTION - Montants illisibles|", 0), 0u) << after.warnings[0];
        EXPECT_NE(after.warnings[0].find(c.named), std::string::npos) << after.warnings[0];
        EXPECT_NE(after.warnings[0].find("Le fichier n'a pas \xE9t\xE9 \xE9" "crit"), std::string::npos);
      }
      // On the screen the run goes on, its pages made; nothing is said of a file, but the amount
      // counted as zero is named once.
      LinesOwner shown(c.read);
      const Outcome screen =
          Run(shown, c.read ? kShown : "[ITD][TT-Avant][C50->BMONTANTE][TT-Suivant]\r\n[ITF][Fin]");
      EXPECT_EQ(screen.pages, 1);
      if (c.named.empty()) {
        EXPECT_EQ(screen.warnings, std::vector<std::string>{});
      } else {
        ASSERT_EQ(screen.warnings.size(), 1u);
        EXPECT_NE(screen.warnings[0].find(c.named), std::string::npos) << screen.warnings[0];
        EXPECT_NE(screen.warnings[0].find("compt\xE9" "e pour z\xE9ro"), std::string::npos) << screen.warnings[0];
        EXPECT_EQ(screen.warnings[0].find("Le fichier n'a pas"), std::string::npos) << screen.warnings[0];
      }
    }
  }
}

// An owner that read its amounts before the run (as the balances read every line when the list is
// prepared) names those that did not read from a hook; the amount of a table that is not a
// dossier's is named by its file and field; an export that the run makes after meeting one is given
// up as it is made, and an export of the next run, over sound amounts, is written.
TEST_F(UnreadAmountsExportTest, AnAmountNamedByTheOwnerOrOfAnotherTableRefusesTheFileToo) {
  MakeLines();
  LinesOwner owner([](Table& t) { return std::string(t.GetField(L::BPIECE)); });
  owner.onInit = [] {
    NoteUnreadAmount(UnreadableAmountLine{LigneTri::kClosed, 17, "000123", "40100000"});
  };
  Outcome out = Run(owner, "[TT-Init][Export:csv][Export][ITD][TT-Avant][@MONTANT][TT-Suivant]\r\n[ITF][Fin]");
  EXPECT_FALSE(out.written);
  ASSERT_EQ(out.warnings.size(), 1u);
  EXPECT_NE(out.warnings[0].find("C40 enregistrement 17, pi\xE8" "ce 000123, compte 40100000"), std::string::npos)
      << out.warnings[0];

  OtherTable("cxxmont", "1e300");
  LinesOwner other([](Table&) { return std::string(FormatNumber(14, 2, false, TableCXX->GetFieldNum(2))); });
  out = Run(other, kExported);
  TableCXX->CloseTable();
  EXPECT_FALSE(out.written);
  ASSERT_EQ(out.warnings.size(), 1u);
  EXPECT_NE(out.warnings[0].find("CXXMONT.DBF enregistrement 1, champ XMONT"), std::string::npos) << out.warnings[0];

  LinesOwner sound([](Table& t) { return std::string(t.GetField(L::BMONTANTE)); });
  out = Run(sound, kExported);
  EXPECT_TRUE(out.written);
  EXPECT_NE(out.file.find("\"20.00\""), std::string::npos) << out.file;
}

// A line amount that no entry makes, as a restored backup installs it: below zero (its francs too),
// or past the largest a line takes (14 digits without their point; euros whose francs their field
// cannot hold at the parity, past 15 244 901 723,74).
// Whichever reader reads it (the number raw, the amount as every report reads it, the template's
// own field, the line's bytes as the walks read them), it is read as an amount that does not read:
// no export, one warning on the screen naming the line. Zero, the largest amounts a line takes and
// the opening balance the program writes in credit with both amounts negated (the euros below zero,
// the francs above) read.
TEST_F(UnreadAmountsExportTest, ALineAmountNoEntryMakesReadsAsOneThatDoesNotRead) {
  const std::string line2 = kLine2, unnamed = kUnnamed;
  const Reader readers[] = {
      {"the number read raw", [](Table& t) { return std::string(FormatNumber(14, 2, false, t.GetFieldNum(L::BMONTANTE))); },
       nullptr, line2},
      {"the amount as the reports read it", [](Table& t) { return std::to_string(StoredAmountOf(t, L::BMONTANTE)); },
       nullptr, line2},
      {"the template's field statement", {}, "[ITD][TT-Avant][C50->BMONTANTE][TT-Suivant]\r\n[ITF][Fin]", line2},
      {"the line's bytes read", [](Table& t) {
         const StoredFields stored(t, {L::BMONTANTE, L::BMONTANTF});
         return std::to_string(LineAmountCents(stored[0], stored[1], true));
       },
       nullptr, unnamed},
  };
  const struct Stored {
    const char* bytes;
    const char* francs;  // nullptr: as made (131.20 francs)
    bool reads;
  } amounts[] = {{"      -1757.17", "     -11526.24", false}, {"         -0.01", "          0.00", false},
                 {"99999999999999", nullptr, false},           {"999999999999.9", nullptr, false},
                 {"99999999999.99", nullptr, false},           {"15244901723.75", "99999999999.99", false},
                 {"15244901723.74", "99999999999.99", true},   {"          0.00", nullptr, true},
                 {"        -10.00", nullptr, true}};
  for (const Stored& a : amounts)
    for (const Reader& r : readers) {
      SCOPED_TRACE(std::string(a.bytes) + " " + (a.francs != nullptr ? a.francs : "") + ", " + r.what);
      MakeLines();
      Damage(a.bytes);
      if (a.francs != nullptr) RawRecords(DossierPath(TableKind::C50) + ".dbf").Put(2, "BMONTANTF", a.francs);
      const std::string shown = r.tmpl != nullptr ? r.tmpl : kShown;
      const std::string exported = "[Export:csv][Export]" + shown;
      LinesOwner toFile(r.read), toScreen(r.read);
      const Outcome file = Run(toFile, exported);
      const Outcome screen = Run(toScreen, shown);
      EXPECT_EQ(file.written, a.reads) << file.file;
      if (a.reads) {
        EXPECT_EQ(file.warnings, std::vector<std::string>{});
        EXPECT_EQ(screen.warnings, std::vector<std::string>{});
        continue;
      }
      ASSERT_EQ(file.warnings.size(), 1u);
      EXPECT_NE(file.warnings[0].find(r.named), std::string::npos) << file.warnings[0];
      EXPECT_NE(file.warnings[0].find("15 244 901 723,74 \x80 (99 999 999 999,99 F), le plus grand"), std::string::npos)
          << file.warnings[0];
      ASSERT_EQ(screen.warnings.size(), 1u);
      EXPECT_NE(screen.warnings[0].find(r.named), std::string::npos) << screen.warnings[0];
    }
  // The francs of a line: past 99 999 999 999,99 they do not read, that much reads.
  const std::pair<const char*, bool> francsCases[] = {{"99999999999999", false}, {"99999999999.99", true}};
  for (const auto& [bytes, reads] : francsCases) {
    SCOPED_TRACE(bytes);
    MakeLines();
    TableC50->CloseTable();
    RawRecords(DossierPath(TableKind::C50) + ".dbf").Put(2, "BMONTANTF", bytes);
    LinesOwner francs([](Table& t) { return std::to_string(StoredAmountOf(t, L::BMONTANTF)); });
    EXPECT_EQ(Run(francs, kExported).written, reads);
  }
  // Without a parity (a dossier in francs alone) the euros take what their field holds.
  TheDossierRecord.SetParity(0);
  MakeLines();
  Damage("99999999999.99");
  LinesOwner noParity([](Table& t) { return std::to_string(StoredAmountOf(t, L::BMONTANTE)); });
  EXPECT_TRUE(Run(noParity, kExported).written);
  TheDossierRecord.SetParity(6.55957);
  // A figure of another table below zero reads: only a line's amount is held to what an entry makes.
  MakeLines();
  OtherTable("cxxneg", "      -1757.17");
  LinesOwner other([](Table&) { return std::to_string(StoredAmountOf(*TableCXX, 2)); });
  const Outcome out = Run(other, kExported);
  TableCXX->CloseTable();
  EXPECT_TRUE(out.written);
  EXPECT_NE(out.file.find("-175717"), std::string::npos) << out.file;
}
