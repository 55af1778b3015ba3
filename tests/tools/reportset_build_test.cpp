// The reference set of report definitions "cesetats" made at build time from the layouts of
// src/resources/reports: read back by python3-dbfread and index_dump from the share folder,
// seeded into a new program folder at first start, where the display and printer sets are made
// from it; the build command's refusals; and the check command over the layouts, clean as they
// stand and naming each fault put into a copy.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "data/dossier_files.h"
#include "data/index_recovery.h"
#include "data/session.h"
#include "platform/system/cp1252.h"
#include "platform/system/files.h"
#include "platform/system/process.h"
#include "report_render/report_set.h"
#include "reports/engine/core/template_loader.h"
#include "runtime/inifiles.h"
#include "shell/mdi_client.h"
#include "shell/seeding.h"
#include "shell/startup.h"
#include "support/python.h"
#include "support/runtime_fixture.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

const std::string kShare = MERLON_BINARY_DIR "/share/merlon";
const std::string kLayouts = MERLON_SOURCE_DIR "/src/resources/reports";
const std::string kFamilies = MERLON_SOURCE_DIR "/tools/report_render/families";

platform::LaunchResult Launch(const std::vector<std::string>& argv) {
  platform::LaunchOptions o;
  o.wait = true;
  o.captureOutput = true;
  o.extraEnvironment = {"MERLON_HOME=" + std::string(MERLON_BINARY_DIR) + "/reportset-home"};
  return platform::LaunchProcess(argv, o);
}

std::vector<reports::CatalogEntry> Catalog() {
  std::vector<reports::CatalogEntry> entries;
  std::string error;
  EXPECT_TRUE(reports::ReadCatalog(kLayouts, entries, error)) << error;
  return entries;
}

TEST(ReferenceSet, DbfreadListsEveryLayoutOfTheCatalogWithItsWholeTemplate) {
  const std::string script =
      "import dbfread, sys\n"
      "t = dbfread.DBF('" + kShare + "/cesetats.dbf', encoding='cp1252')\n"
      "cat = [l.split('\\t') for l in open('" + kLayouts + "/catalog.txt', encoding='utf-8').read().splitlines() if l]\n"
      "recs = list(t)\n"
      "print(len(recs), len(cat))\n"
      "for r, (code, name) in zip(recs, cat):\n"
      "    src = open('" + kLayouts + "/C-Etat-' + code + '.txt', encoding='utf-8', newline='').read()\n"
      "    memo = r['ETEXTE']\n"
      "    if r['ECODE'] != code or r['ELIB'] != name or not memo.startswith(src) or len(memo) - len(src) > 8:\n"
      "        print('differs', code, repr(r['ECODE']), repr(r['ELIB']), len(memo), len(src))\n"
      "prefixes = ['EC-','ECA-','EG-','EGA-','EJ-','EJA-','EJR-','EJRA-','ER-','EBS-','EBA-','EBC-','EBB-','EBAS-',\n"
      "            'EE-','EEA-','SS-','EL-','EDD-','EDE-','DB-','DP-']\n"
      "for p in prefixes:\n"
      "    if not any(r['ECODE'].startswith(p) for r in recs): print('no layout for', p)\n";
  int status = -1;
  const std::string out = test_support::RunPythonScript(script, true, &status);
  EXPECT_EQ(status, 0) << out;
  const std::string count = std::to_string(Catalog().size());
  EXPECT_EQ(out, count + " " + count + "\n");
}

// The automatic choice of a layout takes the first of its family in code order: that one prints, it never
// writes an export file.
TEST(ReferenceSet, TheFirstLayoutOfEachFamilyPrints) {
  std::map<std::string, std::string> first;
  for (const reports::CatalogEntry& e : Catalog()) {
    const std::string family = e.code.substr(0, e.code.find('-') + 1);
    if (first.count(family) == 0 || e.code < first[family]) first[family] = e.code;
  }
  ASSERT_FALSE(first.empty());
  for (const auto& [family, code] : first) {
    std::ifstream in(kLayouts + "/C-Etat-" + code + ".txt", std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(text.empty()) << code;
    EXPECT_EQ(text.find("[Export"), std::string::npos) << family << " starts with the export " << code;
  }
}

TEST(ReferenceSet, IndexDumpListsTheCodeTag) {
  const platform::LaunchResult r = Launch({"index_dump", kShare + "/cesetats.mdx"});
  EXPECT_EQ(r.exitStatus, 0) << r.output;
  EXPECT_NE(r.output.find("CE0CODE"), std::string::npos) << r.output;
}

// A new program folder, as the first start makes it.
class FirstStart : public test_support::RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    ASSERT_EQ(StartDbSession(), 0);
  }
  void TearDown() override {
    Services().ensureReportTableCE0 = nullptr;
    Services().ensureReportTableCE1 = nullptr;
    StopDbSession();
    RuntimeTest::TearDown();
  }
};

TEST_F(FirstStart, DisplayAndPrinterSetsComeFromTheReferenceSet) {
  const SeedResult seeded = SeedProgramFolder(kShare, ProgramFolder);
  EXPECT_TRUE(seeded.failed.empty());
  for (const char* name : {"cesetats.dbf", "cesetats.dbt", "cesetats.mdx"})
    EXPECT_TRUE(platform::FileExists(ProgramFolder + name)) << name;

  // The sets of the program options, as the start-up asks for them.
  ShellServices& s = Services();
  s.ensureReportTableCE0 = [] { return EnsureReportTableCE0(ProgramOption(5), false); };
  s.ensureReportTableCE1 = [] {
    return EnsureReportTableCE1(ProgramOption(8) == 'O' ? ProgramOption(7) : ProgramOption(6), false);
  };
  SetProgramOption(5, '0');
  SetProgramOption(6, '1');
  SetProgramOption(7, '2');
  ASSERT_TRUE(EnsureReportSets());

  const std::vector<reports::CatalogEntry> catalog = Catalog();
  for (const auto& [table, letter] : {std::pair{TableCE0, '0'}, std::pair{TableCE1, '1'}, std::pair{TableCE1, '2'}}) {
    SCOPED_TRACE(letter);
    EXPECT_TRUE(platform::FileExists(std::string(PathReportDefs(letter)) + ".dbf"));
    // Each family's choice list: the codes that begin with its prefix, in code order.
    ASSERT_TRUE(table->OpenShared(PathReportDefs(letter), "CE0CODE"));
    for (const std::string prefix : {"EC-", "EG-", "EBS-", "EEA-", "EL-", "DP-"}) {
      std::set<std::string> listed, wanted;
      for (bool ok = table->Seek("CE0CODE", prefix.c_str()); ok && !table->eof; ok = table->Skip(1)) {
        const std::string code = reports::ReportCodeKey(table->GetField(1));
        if (code.rfind(prefix, 0) != 0) break;
        listed.insert(code);
      }
      for (const reports::CatalogEntry& e : catalog)
        if (e.code.rfind(prefix, 0) == 0) wanted.insert(e.code);
      EXPECT_EQ(listed, wanted) << prefix;
    }
    table->CloseTable();
    // A layout read by the engine as it stands in its file.
    reports::ReportDefinitionTemplates templates(*table, letter, true);
    std::string text, source, error;
    ASSERT_TRUE(templates.FindTemplate("EBS-FEC", text));
    ASSERT_TRUE(reports::ReadLayout(kLayouts, "EBS-FEC", source, error)) << error;
    EXPECT_EQ(text, source);
  }
}

// The build command over a folder of sources that the set cannot hold: it says why and makes
// no table.
TEST(ReferenceSetBuild, RefusesWhatTheSetCannotHold) {
  struct Case {
    const char* what;
    std::string catalog;
    std::vector<std::pair<std::string, std::string>> files;  // name, bytes
    const char* message;
  };
  const std::string ok = "[FinPage]\r\n";
  const std::vector<Case> cases{
      {"code of 11", "EBS-BALANCE\tBalance\n", {{"C-Etat-EBS-BALANCE.txt", ok}}, "code de plus de 10"},
      {"name of 31", "EBS-1STD\tBalance g\xC3\xA9n\xC3\xA9rale des comptes du dos\n", {{"C-Etat-EBS-1STD.txt", ok}},
       "nom de plus de 30"},
      {"code twice", "EBS-1STD\tBalance\nebs-1std\tAutre\n", {{"C-Etat-EBS-1STD.txt", ok}, {"C-Etat-ebs-1std.txt", ok}},
       "code en double"},
      {"missing file", "EBS-1STD\tBalance\n", {}, "Fichier illisible"},
      {"not UTF-8", "EBS-1STD\tBalance\n", {{"C-Etat-EBS-1STD.txt", "Relev\xE9\r\n"}}, "UTF-8"},
      {"no tab", "EBS-1STD Balance\n", {{"C-Etat-EBS-1STD.txt", ok}}, "ni code, tabulation et nom"},
      {"too long", "EBS-1STD\tBalance\n", {{"C-Etat-EBS-1STD.txt", std::string(32769, 'x')}}, "32 768"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test_support::TempFolder folder("merlon-reportset");
    const std::string sources = folder.path() + "/sources", out = folder.path() + "/out";
    fs::create_directories(sources);
    std::ofstream(sources + "/catalog.txt", std::ios::binary) << c.catalog;
    for (const auto& [name, bytes] : c.files) std::ofstream(sources + "/" + name, std::ios::binary) << bytes;
    const platform::LaunchResult r = Launch({MERLON_REPORTSET, "--sources", sources, "--folder", out});
    EXPECT_EQ(r.exitStatus, 1) << r.output;
    EXPECT_NE(r.output.find(c.message), std::string::npos) << r.output;
    EXPECT_FALSE(fs::exists(out + "/cesetats.dbf"));
  }
}

TEST(ReferenceSetCheck, TheLayoutsAsTheyStandHaveNoProblem) {
  const platform::LaunchResult r = Launch({MERLON_REPORT_RENDER, "--check", kLayouts, "--families", kFamilies});
  EXPECT_EQ(r.exitStatus, 0) << r.output;
  EXPECT_EQ(r.output, "");
}

// Each fault put into a copy of a few layouts is named, with its file and line.
TEST(ReferenceSetCheck, EachFaultOfACopyIsNamed) {
  struct Case {
    const char* code;
    std::string from, to;  // the template's text replaced (cp1252)
    const char* expected;  // cp1252
  };
  const std::vector<Case> cases{
      {"EC-1STD", "[@LETTRE]", "[@LETTRES]", "variable inconnue de la famille Relev\xE9 de compte: LETTRES"},
      {"EC-1STD", "[Rupt-kl]", "[Rupt-klq]", "lettre de rupture que la famille ne donne pas: Q dans [rupt-klq]"},
      {"EC-1STD", "[TT-Suivant]", "[TT-Suivre]", "instruction inconnue: [tt-suivre]"},
      {"EC-1STD", "[Orientation=Paysage]", "[Orientation=Paysage][TypeListe=A]",
       "[TypeListe=A]: la famille Relev\xE9 de compte ne lit pas ce type de liste"},
      {"EC-1STD", "[SansMtsNuls]", "[SansMtsNuls][ModeListe=2]", "ne lit pas [ModeListe=]"},
      {"EC-1STD", "[Rupt-z]{", "[Rupt-z]", "bloc absent ou non ferm\xE9 apr\xE8s [rupt-z]"},
      {"EC-1STD", "\r\n[Col:", "\n[Col:", "fin de ligne sans CR"},
      {"EC-1STD", "[ITD]", "[ITD][Orientation=Portrait]", "directive d'en-t\xEAte apr\xE8s le d\xE9" "but de l'\xE9tat"},
      {"EBA-FEC", "[IE:EBS-FEC]", "[IE:EBS-FECX]", "[IE:EBS-FECX] importe un mod\xE8le absent du jeu"},
      {"EL-1VIRT", "[z08*^fin^*=", "[z09*^fin^*=", "instruction inconnue: [z08*^fin^*]"},
      {"EE-2033", "[BLV:010]", "[BLV:010][champ:x<1]", "instruction de la seule consultation des fichiers: [champ:x<1]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    test_support::TempFolder folder("merlon-reportcheck");
    for (const std::string& file : platform::ListFiles(kLayouts, "*.txt"))
      fs::copy_file(kLayouts + "/" + file, folder.path() + "/" + file);
    std::string text, error;
    ASSERT_TRUE(reports::ReadLayout(folder.path(), c.code, text, error)) << error;
    const std::size_t at = text.find(c.from);
    ASSERT_NE(at, std::string::npos) << c.from;
    text.replace(at, c.from.size(), c.to);
    std::string utf8;
    ASSERT_TRUE(platform::Cp1252ToUtf8(text, utf8, platform::Unassigned::kRefuse));
    std::ofstream(folder.path() + "/" + reports::LayoutFileName(c.code), std::ios::binary) << utf8;
    const platform::LaunchResult r = Launch({MERLON_REPORT_RENDER, "--check", folder.path(), "--families", kFamilies});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(r.output.find(c.expected), std::string::npos) << r.output;
    EXPECT_EQ(r.output.rfind(reports::LayoutFileName(c.code) + ":", 0), 0u) << r.output;
  }
  // The catalog's own faults.
  struct CatalogCase {
    std::string line;
    const char* expected;
  };
  for (const CatalogCase& c : std::vector<CatalogCase>{
           {"XX-STD\tSans famille\n", "code d'aucune famille: XX-STD"},
           {"EC-1STD\tRelev\xC3\xA9 de compte en double\n", "code en double: EC-1STD"},
           {"EC-AUTRE\tUn nom bien trop long pour la liste\n", "nom de plus de 30 caract\xE8res"}}) {
    SCOPED_TRACE(c.expected);
    test_support::TempFolder folder("merlon-reportcheck");
    for (const std::string& file : platform::ListFiles(kLayouts, "*.txt"))
      fs::copy_file(kLayouts + "/" + file, folder.path() + "/" + file);
    std::ofstream(folder.path() + "/catalog.txt", std::ios::binary | std::ios::app) << c.line;
    const platform::LaunchResult r = Launch({MERLON_REPORT_RENDER, "--check", folder.path(), "--families", kFamilies});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(r.output.find(c.expected), std::string::npos) << r.output;
  }
  test_support::TempFolder folder("merlon-reportcheck");
  for (const std::string& file : platform::ListFiles(kLayouts, "*.txt"))
    fs::copy_file(kLayouts + "/" + file, folder.path() + "/" + file);
  fs::copy_file(folder.path() + "/C-Etat-EC-1STD.txt", folder.path() + "/C-Etat-EC-SEUL.txt");
  const platform::LaunchResult r = Launch({MERLON_REPORT_RENDER, "--check", folder.path(), "--families", kFamilies});
  EXPECT_EQ(r.exitStatus, 1);
  EXPECT_NE(r.output.find("C-Etat-EC-SEUL.txt: mod\xE8le absent du catalogue"), std::string::npos) << r.output;
}

}  // namespace
