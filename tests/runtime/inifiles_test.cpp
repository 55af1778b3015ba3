#include <filesystem>
#include <functional>

#include "runtime/inifiles.h"
#include "runtime/logfile.h"
#include "support/runtime_fixture.h"

namespace {

// Names of program files in the string table: "merlon.ini" and a package ("C_REF_.EXE"); an id
// the table does not hold.
constexpr int kIniFileName = 36;
constexpr int kReferenceProgram = 8900;
constexpr int kNoSuchText = 987654;

class ProgramFolderTest : public test_support::RuntimeTest {
 protected:
  void TearDown() override {
    SetDossierIniPath("");
    SetLogDossier("", "");
    SetDocumentOpener(nullptr);
    test_support::RuntimeTest::TearDown();
  }
};
}  // namespace

TEST_F(ProgramFolderTest, ProgramIniBlankRuleAndCase) {
  EXPECT_EQ(std::string(IniPath()), File("merlon.ini"));
  ASSERT_TRUE(IniSetString("NumeroPoste", "12"));
  ASSERT_TRUE(IniSetString("Fen\xEAtres-Maxi", "O"));
  EXPECT_EQ(Read("merlon.ini"), "[Nuv-Merlon ZEL]\nNumeroPoste=12\nFen\xEAtres-Maxi=O\n");

  EXPECT_EQ(IniGetString("FEN\xCATRES-MAXI", "def"), "O");

  // Three blanks delete the key; a blank key deletes the program's section.
  ASSERT_TRUE(IniSetString("NumeroPoste", "   "));
  EXPECT_EQ(IniGetString("NumeroPoste", "gone"), "gone");
  ASSERT_TRUE(IniSetSectionString("Autre", "K", "v"));
  ASSERT_TRUE(IniSetString("  ", "x"));
  EXPECT_EQ(Read("merlon.ini"), "[Autre]\nK=v\n");
  EXPECT_EQ(IniGetSectionString("AUTRE", "k"), "v");
}

TEST_F(ProgramFolderTest, IniWithoutFinalLineEndAndOtherCase) {
  // A file copied from another system: other case, CR LF, no final line end.
  Write("MERLON.INI", "[nuv-merlon zel]\r\nNumeroPoste=123456789012345");
  EXPECT_EQ(std::string(IniPath()), File("MERLON.INI"));
  EXPECT_STREQ(WorkstationNumber(), "1234567890");
  ASSERT_TRUE(IniSetString("Autre", "1"));
  EXPECT_EQ(Read("MERLON.INI"), "[nuv-merlon zel]\r\nNumeroPoste=123456789012345\r\nAutre=1\r\n");
  ASSERT_TRUE(IniSetString("NumeroPoste", ""));
  EXPECT_STREQ(WorkstationNumber(), "0");
}

TEST_F(ProgramFolderTest, TheStationNumberFollowsTheIniWhateverChangesIt) {
  // Kept between reads, the number is read again whenever the INI is another file or another name.
  const std::string other = Dir() + "/autre/";
  std::filesystem::create_directories(other);
  const struct Step {
    const char* what;
    std::function<void()> change;
    const char* want;
  } steps[] = {
      {"no INI", [] {}, "0"},
      {"written by the program", [] { IniSetString("NumeroPoste", "7"); }, "7"},
      {"read again unchanged", [] {}, "7"},
      {"edited in place", [this] { Write("merlon.ini", "[Nuv-Merlon ZEL]\nNumeroPoste=12\n"); }, "12"},
      {"removed", [this] { std::filesystem::remove(File("merlon.ini")); }, "0"},
      {"put back under another case", [this] { Write("MERLON.INI", "[nuv-merlon zel]\r\nNumeroPoste=3\r\n"); }, "3"},
      {"another program folder", [other] { SetProgramFolder(other); }, "0"},
      {"its INI written", [] { IniSetString("NumeroPoste", "45"); }, "45"},
  };
  for (const Step& s : steps) {
    s.change();
    EXPECT_STREQ(WorkstationNumber(), s.want) << s.what;
  }
}

TEST_F(ProgramFolderTest, DossierIni) {
  EXPECT_EQ(DossierIniGet("DateTravail", "Jour", "x"), "x");
  EXPECT_FALSE(DossierIniSet("DateTravail", "Jour", "1"));  // no dossier open
  SetDossierIniPath(File("c10demo.ini"));
  ASSERT_TRUE(DossierIniSet("DateTravail", "Jour", "15"));
  EXPECT_EQ(DossierIniGet("datetravail", "JOUR", "x"), "15");
}

TEST_F(ProgramFolderTest, ProgramDocumentsAndFolder) {
  static std::string opened;
  SetDocumentOpener([](const std::string& path) {
    opened = path;
    return 0;
  });
  // "merlon.ini": missing at first, then present.
  EXPECT_FALSE(OpenProgramDocument(kIniFileName));
  EXPECT_TRUE(opened.empty());
  Write("Merlon.INI", "");
  EXPECT_TRUE(OpenProgramDocument(kIniFileName));
  EXPECT_EQ(opened, File("Merlon.INI"));
  // A package of the folder exists but is never started.
  opened.clear();
  Write("c_ref_.exe", "MZ");
  EXPECT_TRUE(OpenProgramDocument(kReferenceProgram));
  EXPECT_TRUE(opened.empty());
  EXPECT_TRUE(CanReadFile(File("c_ref_.exe").c_str()));
  EXPECT_TRUE(DeleteProgramFile(kIniFileName));
  EXPECT_FALSE(CanReadFile(File("Merlon.INI").c_str()));
  EXPECT_FALSE(DeleteProgramFile(kNoSuchText));  // a blank name never names the folder
}

TEST_F(ProgramFolderTest, LogLinesAndShortReads) {
  WriteLog("nothing: no dossier");  // no folder: lost, no crash
  SetLogDossier(Dir() + "/", "DEMO");
  EXPECT_EQ(LogPath(".txt"), File("clgdemo.txt"));
  IniSetString("NumeroPoste", "7");
  WriteLog("SAUVEGARDE - Ok - un");
  WriteLog("SAUVEGARDE - Erreur: deux");
  const std::string log = Read("clgdemo.txt");  // each line: date-time "> " station " - " text
  EXPECT_EQ(log.substr(17, 28), "> 7 - SAUVEGARDE - Ok - un\r\n");
  EXPECT_EQ(log.substr(62), "> 7 - SAUVEGARDE - Erreur: deux\r\n");

  // A read past the end of the file fails and leaves the offset (the e-mail test reads whole chunks).
  Write("big.bin", std::string(20000, 'x'));
  int h = OpenFileRead(File("big.bin").c_str());
  ASSERT_GE(h, 0);
  char chunk[kChunkSize];
  long long offset = 19000;
  EXPECT_FALSE(ReadFileChunk(chunk, h, 30000, offset));
  EXPECT_EQ(offset, 19000);
  EXPECT_TRUE(CloseFile(h));
}
