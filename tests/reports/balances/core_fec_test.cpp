// The statutory entries file: the file of a small dossier read back by a validator written
// apart from the writer, its rows against the closed lines read by python3-dbfread, the rules
// of each zone, and the check made before writing.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>

#include "balance_fixture.h"
#include "platform/system/files.h"
#include "reports/balances/core/fec_export.h"
#include "support/books_writes.h"
#include "support/other_process.h"
#include "support/python.h"

using namespace balances;

namespace {

constexpr const char* kSiren = "732829320";

class FecTest : public test_support::BalanceDossierTest {
 protected:
  void SetUp() override {
    BalanceDossierTest::SetUp();
    FillStandardDossier();
  }

  // Reads the dossier and builds the file's rows.
  bool Build(FecExport& fec, const std::string& siren = kSiren, std::string* message = nullptr) {
    std::string m;
    EXPECT_TRUE(chart_.LoadAccounts(Path("c20"), &m)) << m;
    EXPECT_TRUE(codes_.Load(Path("c10"), &m)) << m;
    FecContext context;
    context.siren = siren;
    context.yearEnd = "C61231";
    return fec.Build({Path("c60"), Path("c50"), Path("c40")}, codes_, chart_, context, message);
  }

  std::optional<FecRow> RowOf(const FecExport& fec, const std::string& piece, const std::string& account) {
    for (const FecRow r : fec.Rows())
      if (r[8] == piece && (r[6] == account || (r[6].empty() && r[4] == account))) return r;
    return std::nullopt;
  }

  ChartList chart_;
  CodeLists codes_;
};

TEST_F(FecTest, TheFileOfTheDossierPassesTheValidator) {
  FecExport fec;
  ASSERT_TRUE(Build(fec));
  ASSERT_FALSE(fec.Check().Blocking()) << fec.Check().Text();
  const std::string folder = std::string(MERLON_BINARY_DIR) + "/test-artefacts/fec";
  ASSERT_TRUE(platform::MakeDirectories(folder));
  const std::string name = FecExport::FileName(kSiren, "C61231");
  EXPECT_EQ(name, "732829320FEC20261231.txt");
  const std::string path = folder + "/" + name;
  std::string message;
  ASSERT_TRUE(fec.Write(path, &message)) << message;
  // Written a few rows at a time, the file is the same.
  std::string whole, inPieces;
  ASSERT_TRUE(platform::ReadWholeFile(path, whole));
  EXPECT_EQ(whole, fec.Content());
  ASSERT_TRUE(fec.Write(path + ".pieces", &message, 300)) << message;
  ASSERT_TRUE(platform::ReadWholeFile(path + ".pieces", inPieces));
  EXPECT_EQ(inPieces, whole);
  const std::string verdict = test_support::RunPythonScript(
      "import sys\nsys.argv = ['x', '" + path + "', 'AN']\n"
      "exec(open('" MERLON_SOURCE_DIR "/tests/reports/balances/fec_validator.py').read())\n", true);
  // The closed general lines with an amount in euros, and their debit side (a negative amount
  // goes to the other side).
  const std::string lines = test_support::RunPythonScript(
      "from dbfread import DBF\n"
      "rows = debit = credit = 0\n"
      "for r in DBF('" + Path("c40") + "', encoding='cp1252'):\n"
      "    a = int(round(float(r['DMONTANTE'] or 0) * 100))\n"
      "    if r['DCLE'] != 'Z' or a == 0: continue\n"
      "    rows += 1\n"
      "    d = a if r['DSENS'] == 'D' else -a\n"
      "    debit += max(d, 0); credit += max(-d, 0)\n"
      "print('OK', rows, debit, credit)\n", true);
  EXPECT_EQ(verdict, lines);
  EXPECT_EQ(verdict, "OK 19 5574550 5574550\n");
}

TEST_F(FecTest, ZonesOfTheRows) {
  FecExport fec;
  ASSERT_TRUE(Build(fec));
  struct Case { const char* piece; const char* account; int zone; const char* expected; };
  const Case cases[] = {
      {"AN000001", "51200000", 0, "AN"},
      {"AN000001", "51200000", 1, "A nouveaux"},
      {"AN000001", "51200000", 2, "1"},
      {"AN000001", "51200000", 15, "20260101"},
      // An auxiliary line: its collective, then the auxiliary account and its name.
      {"VE000002", "CDUPONT", 4, "41100000"},
      {"VE000002", "CDUPONT", 5, "Clients"},
      {"VE000002", "CDUPONT", 7, "Dupont et fils"},
      {"VE000002", "CDUPONT", 3, "20260214"},
      {"VE000002", "CDUPONT", 9, "20260214"},
      {"VE000002", "CDUPONT", 10, "Facture-Caf\xE9 \xA4 \xBDuf"},
      {"VE000002", "CDUPONT", 11, "1200,00"},
      {"VE000002", "CDUPONT", 12, "0,00"},
      {"VE000002", "CDUPONT", 13, "AB"},
      {"VE000002", "CDUPONT", 14, "20260410"},
      {"VE000002", "70100000", 10, "Facture-Caf\xE9 cr\xE8me"},
      // No line label: the standard label alone; no label at all: the account's name.
      {"VE000002", "44571000", 10, "Facture"},
      {"BQ000004", "51200000", 10, "R\xE8gl."},
      {"BQ000004", "51200000", 5, "Banque \xA4 \xBDuvre"},
      // A tab and a "|" in a name become blanks, the blanks around are removed.
      {"VE000003", "CMARTIN", 7, "Martin SA"},
      {"VE000003", "CMARTIN", 14, "20260705"},
      // A negative credit goes to the debit side.
      {"AC000006", "60100000", 11, "800,00"},
      {"AC000006", "FACME", 12, "900,00"},
      {"AC000006", "FACME", 15, "20261231"},
      {"OD000007", "62600000", 16, ""},
      {"OD000007", "62600000", 17, ""},
  };
  for (const Case& c : cases) {
    const std::optional<FecRow> r = RowOf(fec, c.piece, c.account);
    ASSERT_TRUE(r) << c.piece << " " << c.account;
    EXPECT_EQ((*r)[static_cast<std::size_t>(c.zone)], c.expected) << c.piece << " " << c.account << " zone " << c.zone;
  }
  // The negative line itself.
  int negatives = 0;
  for (const FecRow& r : fec.Rows())
    if (r[8] == "AC000006" && r[4] == "60100000" && r[11] == "100,00") ++negatives;
  EXPECT_EQ(negatives, 1);
  // Entries in order: the opening entry, then by validation date.
  std::string order;
  for (const FecRow& r : fec.Rows())
    if (order.size() < 8 || order.substr(order.size() - 9, 8) != r[8]) order += std::string(r[8]) + "/";
  EXPECT_EQ(order, "AN000001/VE000002/VE000003/BQ000004/OD000007/BQ000005/AC000006/");
}

TEST_F(FecTest, TheCheckBeforeWriting) {
  FecExport fec;
  ASSERT_TRUE(Build(fec));
  const FecCheck& check = fec.Check();
  EXPECT_FALSE(check.Blocking());
  EXPECT_EQ(check.draftMonths, (std::set<std::string>{"AC  11/2026"}));
  EXPECT_EQ(check.zeroLines, 2);
  EXPECT_TRUE(check.unbalancedPieces.empty());
  EXPECT_TRUE(check.missingAccounts.empty());
  EXPECT_NE(check.Text().find("brouillard"), std::string::npos);
  EXPECT_NE(check.Text().find("AC  11/2026"), std::string::npos);
  EXPECT_NE(check.Text().find("laiss\xE9" "es de c\xF4t\xE9: 2"), std::string::npos);
}

// An opening entry validated late in the year still comes first.
TEST_F(FecTest, OpeningEntriesComeFirst) {
  AddLines({test_support::L('C', "60100000", "C60101", "AN", "000070", 'D', 7.00, "", "", "", "", "", "C61115"),
            test_support::L('C', "51200000", "C60101", "AN", "000070", 'C', 7.00, "", "", "", "", "", "C61115", 'Z', "",
                            2)});
  FecExport fec;
  ASSERT_TRUE(Build(fec));
  ASSERT_GE(fec.Rows().size(), 8u);
  EXPECT_EQ(fec.Rows()[5][8], "AN000070");
  EXPECT_EQ(fec.Rows()[5][2], "2");
  EXPECT_EQ(fec.Rows()[7][8], "VE000002");
  EXPECT_EQ(fec.Rows()[7][2], "3");
}

TEST_F(FecTest, UnbalancedPiecesAndSeveralDatesAndMissingCodesAreReported) {
  AddLines({test_support::L('C', "60100000", "C60910", "XX", "000020", 'D', 10.00, "", "Q", "", "", "", "C61001"),
            test_support::L('C', "99999999", "C60911", "XX", "000020", 'C', 9.00, "", "", "", "", "", "C61002")});
  FecExport fec;
  ASSERT_TRUE(Build(fec));
  const FecCheck& c = fec.Check();
  EXPECT_FALSE(c.Blocking());
  EXPECT_EQ(c.unbalancedPieces.size(), 1u);
  EXPECT_EQ(c.severalDates.size(), 1u);
  EXPECT_EQ(c.severalValidations.size(), 1u);
  EXPECT_EQ(c.missingJournals, (std::set<std::string>{"XX"}));
  EXPECT_EQ(c.missingLabels, (std::set<std::string>{"Q"}));
  EXPECT_EQ(c.missingAccounts, (std::set<std::string>{"99999999"}));
  const std::optional<FecRow> r = RowOf(fec, "XX000020", "99999999");
  ASSERT_TRUE(r);
  EXPECT_EQ((*r)[5], "99999999");  // the code serves as its name
}

// What would make a wrong file stops the run, with its advice.
TEST_F(FecTest, ABrokenSortRecordStopsTheRun) {
  const test_support::SetUpPermit permit("enregistrement de tri abime");
  {
    Table c60;
    ASSERT_TRUE(c60.OpenShared(Path("c60")));
    ASSERT_TRUE(c60.GoTo(2));
    ASSERT_TRUE(c60.PutField(10, "000999"));
  }
  FecExport fec;
  ASSERT_TRUE(Build(fec));
  EXPECT_TRUE(fec.Check().Blocking());
  EXPECT_EQ(fec.Check().brokenRecords.size(), 1u);
  EXPECT_NE(fec.Check().Text().find("Reconstruisez le dossier"), std::string::npos) << fec.Check().Text();
}

// A closed line whose amount in euros does not read would stand in the file with a guessed
// amount: the run stops, the line named (not counted among the lines without an amount). A draft
// line, which the file does not carry, stops nothing.
TEST_F(FecTest, AnAmountThatDoesNotReadStopsTheRunAndIsNamed) {
  const std::uint32_t draft = DamageLine('B', "60100000", "000009", "ABC");
  ASSERT_NE(draft, 0u);
  FecExport fec;
  ASSERT_TRUE(Build(fec));
  EXPECT_FALSE(fec.Check().Blocking()) << fec.Check().Text();
  const long zeroLines = fec.Check().zeroLines;

  const std::uint32_t sale = DamageLine('C', "70100000", "000002", "-1e300");
  ASSERT_NE(sale, 0u);
  ASSERT_TRUE(Build(fec));
  const FecCheck& check = fec.Check();
  EXPECT_TRUE(check.Blocking());
  EXPECT_EQ(check.zeroLines, zeroLines);
  const std::string text = check.Text();
  EXPECT_NE(text.find("ne peut pas \xEAtre \xE9tabli"), std::string::npos) << text;
  EXPECT_NE(text.find("C40 enregistrement " + std::to_string(sale) + ", pi\xE8" "ce 000002, compte 70100000"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.find("Lignes sans montant"), std::string::npos) << text;
}

// A closed line's euros below zero beside francs above it (as the opening balances write some) read:
// the file is made, the line not named among amounts that do not read.
TEST_F(FecTest, EurosBelowZeroBesideFrancsAboveThemRead) {
  const std::uint32_t sale = DamageLine('C', "70100000", "000002", "-15.24");
  ASSERT_NE(sale, 0u);
  test_support::RawRecords(Path("c40")).Put(sale, "DMONTANTF", "100.00");
  FecExport fec;
  ASSERT_TRUE(Build(fec));
  const std::string text = fec.Check().Text();
  EXPECT_EQ(text.find("C40 enregistrement " + std::to_string(sale)), std::string::npos) << text;
  EXPECT_EQ(text.find("ne peut pas \xEAtre \xE9tabli"), std::string::npos) << text;
}

// The lines are read as the live sort records give them: two records leading to one closed line
// (a damaged sort file) write it twice, as each record did; a cancelled record writes nothing;
// a table that does not open stops the run with its name.
TEST_F(FecTest, LinesAsTheSortRecordsGiveThem) {
  const test_support::SetUpPermit permit("enregistrements de tri mis en place");
  FecExport before;
  ASSERT_TRUE(Build(before));
  // Three live general records of closed lines with an amount.
  std::uint32_t records[3] = {};
  std::size_t found = 0;
  {
    Table c60, c40;
    ASSERT_TRUE(c60.OpenShared(Path("c60")));
    ASSERT_TRUE(c40.OpenShared(Path("c40")));
    for (bool more = c60.GoTop(); more && !c60.eof && found < 3; more = c60.Skip(1)) {
      if (std::string(c60.GetField(LigneTri::TCLE)) != "Z" || std::string(c60.GetField(LigneTri::TFIC)) == "B" ||
          !c40.GoTo(std::atol(c60.GetField(LigneTri::TREC))) ||
          std::atof(c40.GetField(LigneEcriture::DMONTANTE)) == 0)
        continue;
      records[found++] = c60.RecNo();
    }
    ASSERT_EQ(found, 3u);
    // The second made to lead to the first's line, the third cancelled.
    ASSERT_TRUE(c60.GoTo(records[0]));
    const std::string line = c60.GetField(LigneTri::TREC);
    ASSERT_TRUE(c60.GoTo(records[1]));
    ASSERT_TRUE(c60.PutField(LigneTri::TREC, line.c_str()));
    ASSERT_TRUE(c60.GoTo(records[2]));
    ASSERT_TRUE(c60.DeleteRecord(nullptr, 0));
  }
  FecExport after;
  ASSERT_TRUE(Build(after));
  EXPECT_FALSE(after.Check().Blocking());
  // The rows by their zones but the entry's number and the letter's date (which follow from the
  // others): the first record's row twice, the second's and the third's no longer.
  auto count = [](const FecExport& fec) {
    std::map<std::string, int> rows;
    for (const FecRow& r : fec.Rows()) {
      std::string key;
      for (std::size_t z = 0; z < kFecZones; ++z)
        if (z != 2 && z != 14) key += std::string(r[z]) + "\t";
      ++rows[key];
    }
    return rows;
  };
  std::map<std::string, int> now = count(after);
  int twice = 0, gone = 0;
  for (const auto& [row, was] : count(before)) {
    if (now[row] == was + 1) ++twice;
    if (now[row] == was - 1) ++gone;
  }
  EXPECT_EQ(twice, 1);
  EXPECT_EQ(gone, 2);
  EXPECT_EQ(after.Rows().size(), before.Rows().size() - 1);

  std::filesystem::rename(Path("c40"), Path("c40") + ".aside");
  FecExport none;
  std::string message;
  EXPECT_FALSE(Build(none, kSiren, &message));
  EXPECT_NE(message.find("C40 \"Ecritures Cl\xF4" "tur\xE9" "es\" ne s'ouvre pas"), std::string::npos) << message;
  EXPECT_TRUE(none.Rows().empty());
  std::filesystem::rename(Path("c40") + ".aside", Path("c40"));
}

TEST_F(FecTest, ALetterWithoutCollectiveStopsTheRun) {
  AddLines({test_support::L('C', "XSOC    ", "C60910", "OD", "000030", 'D', 5.00),
            test_support::L('C', "51200000", "C60910", "OD", "000030", 'C', 5.00, "", "", "", "", "", "", 'Z', "", 2)});
  FecExport fec;
  ASSERT_TRUE(Build(fec));
  EXPECT_TRUE(fec.Check().Blocking());
  EXPECT_NE(fec.Check().Text().find("lettre X"), std::string::npos) << fec.Check().Text();
}

TEST_F(FecTest, TheSirenNamesTheFile) {
  struct Case { const char* siren; bool accepted; const char* text; };
  const Case cases[] = {
      {"732829320", true, ""},
      {"         ", false, "n'est pas renseign\xE9"},
      {"732829321", false, "n'est pas valide"},
      {"12345", false, "Propri\xE9t\xE9s du dossier"},
  };
  for (const Case& c : cases) {
    FecExport fec;
    std::string message;
    EXPECT_EQ(Build(fec, c.siren, &message), c.accepted) << c.siren;
    EXPECT_NE(message.find(c.text), std::string::npos) << c.siren << ": " << message;
    if (!c.accepted) {
      EXPECT_TRUE(fec.Rows().empty());
    }
  }
}

// The file is read with the tables shared and no tag is made: another station appends an entry
// line and its sort record while the file is being made, and the sort file keeps its tags.
TEST_F(FecTest, AnotherStationAppendsLinesMeanwhile) {
  const std::string c50 = Path("c50"), c60 = Path("c60");
  test_support::OtherProcess other([c50, c60](char) {
    const test_support::SetUpPermit permit("ligne d'un autre poste");
    Table lines, sort;
    if (!lines.OpenShared(c50, LigneEcriture::kCodeTag) || !sort.OpenShared(c60, "C60CODE")) return false;
    if (!lines.AppendBlank()) return false;
    lines.PutField(LigneEcriture::BCLE, "Z");
    lines.PutField(LigneEcriture::BMOIS, "C612");
    lines.PutField(LigneEcriture::BJAL, "OD");
    lines.PutField(LigneEcriture::BCODE, "51200000");
    lines.PutField(LigneEcriture::BSENS, "D");
    lines.PutFieldNum(LigneEcriture::BMONTANTE, 1.0);
    return lines.InsertRecord() && AppendLigneTri(lines, LigneTri::kDraft, sort);
  });
  FecExport fec;
  ASSERT_TRUE(Build(fec));
  ASSERT_TRUE(other.Do('a'));
  EXPECT_FALSE(fec.Content().empty());
  Table sort;
  ASSERT_TRUE(sort.OpenShared(c60, "C60CODE"));
  EXPECT_TRUE(sort.Seek("C60CODE", "51200000", "C612"));
  EXPECT_TRUE(sort.SetOrder("C60JX"));
  EXPECT_FALSE(sort.SetOrder("TAG_TMP"));
  FecExport again;
  ASSERT_TRUE(Build(again));
  EXPECT_EQ(again.Check().draftMonths.count("OD  12/2026"), 1u);
}

TEST(FecZones, FormsOfTheZones) {
  struct Case { const char* in; const char* out; };
  const Case zones[] = {
      {"  a\tb|c\r\nd  ", "a b c  d"}, {"\x80 \x8C", "\xA4 \xBC"}, {"\x93" "x\x94\x85", "\"x\"..."}, {"", ""},
  };
  for (const Case& c : zones) EXPECT_EQ(FecZone(c.in), c.out) << c.in;
  struct Amount { long long cents; const char* out; };
  const Amount amounts[] = {{0, "0,00"}, {5, "0,05"}, {123450, "1234,50"}, {98765432100101LL, "987654321001,01"}};
  for (const Amount& a : amounts) EXPECT_EQ(FecAmount(a.cents), a.out);
  EXPECT_EQ(FecDate("991231"), "19991231");
  EXPECT_EQ(FecDate("C60307"), "20260307");
  EXPECT_EQ(FecDate("A40307"), "20040307");
  EXPECT_EQ(FecDate("      "), "");
}

// The texts shown, whole and to the byte: the SIREN refused, the check that stops the run, the
// check the user may accept with every list, the file not written.
TEST(FecTexts, AreTheirOwnBytes) {
  const std::string props = "s du dossier (Fichier > A Propos du dossier ouvert).";
  EXPECT_EQ(FecExport::CheckSirenForFec(""),
            "Le fichier des \xE9" "critures comptables porte le SIREN du dossier,\nqui n'est pas renseign\xE9" ".\n\n"
            "Saisissez-le dans les Propri\xE9" "t\xE9" + props);
  EXPECT_EQ(FecExport::CheckSirenForFec(" 123 "),
            "Le SIREN du dossier (123) n'est pas valide:\nil faut 9 chiffres dont le dernier est la cl\xE9" " des 8 premiers.\n\n"
            "Corrigez-le dans les Propri\xE9" "t\xE9" + props);
  FecCheck stop;
  stop.brokenRecords = {4, 9};
  stop.lettersWithoutCollective = {'C', 'F'};
  EXPECT_EQ(stop.Text(),
            "Le fichier des \xE9" "critures comptables ne peut pas \xEA" "tre \xE9" "tabli:\n"
            "\n2 enregistrement(s) du fichier de tri ne m\xE8" "nent \xE0" " aucune \xE9" "criture cl\xF4" "tur\xE9" "e.\n"
            "Reconstruisez le dossier (Utilitaires > ReConstruction du dossier)."
            "\nDes comptes auxiliaires n'ont pas de compte collectif (lettre C, F):\nleur compte g\xE9" "n\xE9"
            "ral ne peut \xEA" "tre nomm\xE9" ". Cr\xE9" "ez le collectif de chaque lettre.");
  FecCheck remarks;
  remarks.draftMonths = {"AC  11/2026"};
  remarks.unbalancedPieces = {"VE 1 (03/2026)"};
  remarks.severalDates = {"VE 2 (03/2026)"};
  remarks.severalValidations = {"VE 3 (03/2026)"};
  remarks.missingJournals = {"XX"};
  remarks.missingLabels = {"Q"};
  remarks.missingAccounts = {"99999999"};
  remarks.zeroLines = 2;
  EXPECT_EQ(remarks.Text(),
            "V\xE9" "rification de l'exercice avant le fichier des \xE9" "critures comptables:\n"
            "\nJournaux en brouillard, laiss\xE9" "s de c\xF4" "t\xE9" " (le fichier ne porte que les \xE9" "critures valid\xE9" "es) (1): AC  11/2026"
            "\nPi\xE8" "ces non \xE9" "quilibr\xE9" "es (1): VE 1 (03/2026)"
            "\nPi\xE8" "ces portant plusieurs dates (1): VE 2 (03/2026)"
            "\nPi\xE8" "ces portant plusieurs dates de validation (1): VE 3 (03/2026)"
            "\nJournaux absents ou sans nom (le code sert de libell\xE9" ") (1): XX"
            "\nLibell\xE9" "s standard absents (le code sert de libell\xE9" ") (1): Q"
            "\nComptes absents ou sans nom (le code sert de libell\xE9" ") (1): 99999999"
            "\nLignes sans montant en euros, laiss\xE9" "es de c\xF4" "t\xE9" ": 2");
  FecExport empty;
  std::string message;
  EXPECT_FALSE(empty.Write("/nonexistent-folder/x.txt", &message));
  EXPECT_EQ(message, "Le fichier des \xE9" "critures comptables n'a pas pu \xEA" "tre \xE9" "crit:\n\n/nonexistent-folder/x.txt");
}

}  // namespace
