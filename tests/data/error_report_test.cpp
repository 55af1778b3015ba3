// The engine-error report: caption, text and log line of a forced failure.
#include "data/error_report.h"

#include "data_test_util.h"
#include "runtime/session_registry.h"

using namespace data_test;

namespace {

const TableStructure& Plain() {
  static const TableStructure s{TableKind::Unknown,
                                "E*",
                                {{"CODE", 'C', 4, 0}, {"LABEL", 'C', 10, 0}},
                                {{"ECODE", "CODE", "", {1}, 0}}};
  return s;
}

std::vector<std::pair<int, int>>& Posted() {
  static std::vector<std::pair<int, int>> posted;
  return posted;
}

class ErrorReportTest : public DataTest {
 protected:
  void SetUp() override {
    DataTest::SetUp();
    Create(Plain(), File("errs"));
    Posted().clear();
    SetDbCommandPoster([](int window, int command) { Posted().push_back({window, command}); });
  }
  void TearDown() override {
    SetDbCommandPoster(nullptr);
    DataTest::TearDown();
  }
  // The last log line without its stamp and workstation ("DD/MM/YY-HHhMMmSS> 0 - ").
  std::string LastLogLine() {
    std::string log = ReadLog();
    if (log.size() < 2) return "";
    std::size_t start = log.rfind("\r\n", log.size() - 3);
    std::string line = log.substr(start == std::string::npos ? 0 : start + 2);
    std::size_t dash = line.find(" - ");
    return dash == std::string::npos ? line : line.substr(dash + 3);
  }
};

}  // namespace

TEST_F(ErrorReportTest, RefusedInsertShowsCaptionTextAndLogLine) {
  Table& t = *TableC20;
  ASSERT_TRUE(t.OpenShared(File("errs"), "ECODE"));
  ASSERT_TRUE(t.AppendBlank());
  t.recordBuffer[0] = 'X';  // not a delete mark: the engine refuses the record
  EXPECT_FALSE(t.InsertRecord());
  EXPECT_FALSE(AppendInProgress);
  EXPECT_EQ(t.result, dbase::DBIERR_FIELDVALERR);

  const std::string text = "\n\n 9475: Enregistrement invalide\n\nErreur:  2201/\n\nDBF: " + File("errs.dbf") +
                           "\nMDX: " + File("errs.mdx") + "\nTAG: ECODE\n\n";
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].caption, "Erreur BDE n: 9475");
  EXPECT_EQ(Boxes()[0].text, text);
  EXPECT_EQ(Boxes()[0].style, kMbOk | kMbIconStop);
  EXPECT_EQ(Beeps(), 1);
  std::string flat = text;
  for (char& c : flat)
    if (c == '\n') c = ' ';
  EXPECT_EQ(LastLogLine(), "BDE ERREUR - Erreur BDE n: 9475 - " + flat + "\r\n");
  EXPECT_TRUE(Posted().empty());
}

TEST_F(ErrorReportTest, TooManyOpenFilesSendsTheUserToTheSettings) {
  SetRegistryText(1, 10, "     40213");
  Table& t = *TableC20;
  ASSERT_TRUE(t.OpenShared(File("errs"), ""));
  t.result = dbase::DBIERR_TOOMANYFILES;
  ReportDbError(t, 3201, "x");
  EXPECT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Posted(), (std::vector<std::pair<int, int>>{{40213, 20703}}));
}

// A run stopped by a refused write names the file; when the disk is full, the folder to free room in.
TEST_F(ErrorReportTest, RunIncidentNamesTheFileAndTheFolderOfAFullDisk) {
  const std::string advice = ". Lib\xE9rez de la place sur ce disque, puis relancez le traitement.";
  const struct {
    const char* file;
    int result;
    std::string said;
  } cases[] = {
      {"/d/je/c50je.dbf", dbase::DBIERR_DISKFULL,
       "disque plein: plus de place dans le dossier /d/je/ pour \xE9" "crire c50je.dbf" + advice},
      {"c50je.dbf", dbase::DBIERR_DISKFULL,
       "disque plein: plus de place dans le dossier ./ pour \xE9" "crire c50je.dbf" + advice},
      {"/d/%s/c50je.dbf", dbase::DBIERR_DISKFULL,
       "disque plein: plus de place dans le dossier /d/%s/ pour \xE9" "crire c50je.dbf" + advice},
      // An I/O error and a change the system refused said in words, with the file; any other
      // failure by its number.
      {"/d/je/c50je.dbf", dbase::DBIERR_OSERROR,
       "erreur d'\xE9" "criture sur le disque: le fichier /d/je/c50je.dbf n'a pas pu \xEAtre \xE9" "crit. V\xE9"
       "rifiez le disque qui le porte (ou la liaison avec le serveur), puis relancez le traitement."},
      {"/d/je/c50je.dbf", dbase::DBIERR_OSACCESS,
       "modification refus\xE9" "e par le syst\xE8me: le fichier /d/je/c50je.dbf ne peut pas \xEAtre modifi\xE9, car "
       "son disque est en lecture seule ou ce poste n'a pas le droit d'y \xE9" "crire."},
      {"/d/je/c50je.dbf", dbase::DBIERR_KEYVIOL, "incident 2010 sur /d/je/c50je.dbf"},
  };
  for (const auto& c : cases) EXPECT_EQ(RunIncidentText(2010, c.file, c.result), c.said) << c.file;
}
