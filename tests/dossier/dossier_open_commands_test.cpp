// Opening, changing and closing generated dossiers through the commands, the
// repairs made on opening, and a dossier held by another process.

#include "dossier/dossier_commands.h"
#include "dossier/dossier_open.h"
#include "dossier/dossier_slots.h"
#include "dossier/rebuild_indexes.h"
#include "data/index_recovery.h"
#include "platform/system/cp1252.h"
#include "dossier_test_util.h"
#include "shell/application.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"
#include "support/dossier_fixture.h"
#include "shell/startup.h"

TEST_F(DossierOpenTest, OpenChangeAndCloseTwoDossiers) {
  // Folders with capitals: the chosen path keeps its case.
  const std::string a = MakeDossier("Compta/Societe-A", "AAA");
  const std::string b = MakeDossier("Compta/Societe-B", "BBB");

  OpenThroughDialog(C10Path(a, "AAA"));
  EXPECT_EQ(DossierFolder, a);
  EXPECT_EQ(MainFrame->GetCaption(), "Nuv-Merlon ZEL+ - AAA sur " + a);
  EXPECT_TRUE(fs::exists(a + "c10aaa.ZEL"));

  OpenThroughDialog(C10Path(b, "BBB"));
  EXPECT_EQ(DossierSlots[0], DossierEntry("BBB", b));
  EXPECT_EQ(DossierSlots[1], DossierEntry("AAA", a));

  // Changer to line 2 (the change window's test checks it), then Fermer: the earlier dossier
  // comes back and the first two recent entries change places.
  ChangeToSlot(2);
  gui::ProcessPendingMessages();
  ASSERT_EQ(DossierCode, "AAA");
  RunSubjectCommand(20203);
  EXPECT_EQ(DossierCode, "BBB");
  EXPECT_EQ(DossierSlots[0], DossierEntry("BBB", b));
  EXPECT_TRUE(DossierSlots[1].empty());
  EXPECT_EQ(RecentDossiers[0], DossierEntry("AAA", a));
  EXPECT_EQ(RecentDossiers[1], DossierEntry("BBB", b));
  RunSubjectCommand(20203);
  EXPECT_TRUE(IsBlank(DossierCode));

  const std::string logA = ReadAll(a + "clgaaa.txt");
  EXPECT_NE(logA.find("OUVERTURE DOSSIER - Ok - AAA sur " + a), std::string::npos) << logA;
  EXPECT_NE(logA.find("FERMETURE DOSSIER - Ok - AAA"), std::string::npos) << logA;
}

TEST_F(DossierOpenTest, DamagedDossierOpensRepaired) {
  const std::string d = MakeDossier("abim\xE9", "ABI");
  const std::string disk = platform::DiskPath(d);
  const std::string other = MakeDossier("autre", "AUT", 10);
  // No draft file, no lock table, the C10 index file of another dossier, two constants
  // outside their lists.
  fs::remove(disk + "c50abi.dbf");
  fs::remove(disk + "c50abi.mdx");
  fs::remove(disk + "cabi____.dbf");
  fs::copy_file(other + "c10aut.mdx", disk + "c10abi.mdx", fs::copy_options::overwrite_existing);
  WriteConstant(d, "ABI", 4, "XYZ");
  WriteConstant(d, "ABI", 56, "?");

  OpenThroughDialog(C10Path(d, "ABI"));
  ASSERT_EQ(DossierCode, "ABI") << ShownTexts();
  const std::string shown = ShownTexts();
  EXPECT_NE(shown.find("Cr\xE9" "ation fichier Brouillard du dossier ABI"), std::string::npos) << shown;
  EXPECT_NE(shown.find("004:  'XYZ'  ->  'NON'"), std::string::npos) << shown;
  EXPECT_NE(shown.find("056:  '?  '  ->  'NON'"), std::string::npos) << shown;
  EXPECT_TRUE(MdxHeaderMatchesName((d + "c10abi.mdx").c_str()));
  EXPECT_TRUE(fs::exists(disk + "cabi____.dbf"));
  EXPECT_EQ(TheDossierRecord.Constant(4), "NON");
}

// Nothing named opens as nothing; a code set aside by a restore ("_" first) is refused with
// its message; a folder that is gone fails and leaves the state as it was.
TEST_F(DossierOpenTest, BlankAndUnderscoreCodesAndUnreachableFolders) {
  DossierCode = "   ";
  SetDossierState('2');
  EXPECT_TRUE(EnsureDossierOpen());
  EXPECT_EQ(GetDossierState(), ' ');

  const std::string d = MakeDossier("kept", "KEP", 10);
  DossierFolder = d;
  DossierCode = "_KEP";
  SetDossierState('2');
  EXPECT_FALSE(EnsureDossierOpen());
  EXPECT_EQ(GetDossierState(), ' ');
  ASSERT_NE(gui::ModalSeam::LastShown(), nullptr);
  EXPECT_NE(gui::ModalSeam::LastShown()->text.find("commen\xE7" "ant par '_'"), std::string::npos);

  DossierFolder = root_ + "/nowhere/";
  DossierCode = "KEP";
  SetDossierState('2');
  EXPECT_FALSE(EnsureDossierOpen());
  EXPECT_EQ(GetDossierState(), '2') << "a failure leaves the state as it was";
  EXPECT_NE(gui::ModalSeam::LastShown()->text.find("IMPOSSIBLE d'ouvrir le dossier:\n\n   - KEP"), std::string::npos);
  EXPECT_NE(gui::ModalSeam::LastShown()->text.find("invalide (pas d'accent dans les noms d'emplacement):\n\n   - " +
                                                    DossierFolder),
            std::string::npos)
      << gui::ModalSeam::LastShown()->text;
}

TEST_F(DossierOpenTest, DossierHeldByAnotherProcessRefusesTheRebuild) {
  const std::string d = MakeDossier("partage", "PAR", 10);
  const std::string other = MakeDossier("autre", "AUT", 10);
  fs::copy_file(other + "c10aut.mdx", d + "c10par.mdx", fs::copy_options::overwrite_existing);
  const std::string before = ReadAll(d + "c10par.mdx");

  auto station = std::make_unique<dossier_test::OtherStation>(d + "cpar____");
  ASSERT_TRUE(station->Do('o'));

  OpenThroughDialog(C10Path(d, "PAR"));
  const std::string shown = ShownTexts();
  EXPECT_NE(shown.find("IMPOSSIBLE d'ouvrir le dossier en cours de mani\xE8re EXCLUSIVE"), std::string::npos)
      << shown;
  EXPECT_TRUE(IsBlank(DossierCode));
  EXPECT_TRUE(DossierSlots[0].empty());
  EXPECT_TRUE(RecentDossiers[0].empty());
  EXPECT_EQ(ReadAll(d + "c10par.mdx"), before) << "nothing changed";

  station.reset();
  // Once alone, the same opening repairs the index file.
  gui::ModalSeam::Reset();
  OpenThroughDialog(C10Path(d, "PAR"));
  EXPECT_EQ(DossierCode, "PAR") << ShownTexts();
  EXPECT_TRUE(MdxHeaderMatchesName((d + "c10par.mdx").c_str()));
}

// A folder made by a file manager is named in UTF-8: a dossier put there opens through the
// file dialog (whose answer is the program's cp1252 text) and its files stay in that folder.
TEST_F(DossierOpenTest, DossierInAnAccentedFolderOpens) {
  const std::string onDisk = root_ + "/Comptabilit\xC3\xA9";
  fs::create_directories(onDisk);
  const std::string d = MakeDossier("Comptabilit\xE9", "CPT", 10);
  EXPECT_TRUE(fs::exists(onDisk + "/c10cpt.dbf"));
  EXPECT_FALSE(fs::exists(root_ + "/Comptabilit\xE9")) << "no second folder in single-byte text";

  OpenThroughDialog(C10Path(d, "CPT"));
  ASSERT_EQ(DossierCode, "CPT") << ShownTexts();
  EXPECT_EQ(DossierFolder, d);
  EXPECT_TRUE(fs::exists(onDisk + "/c10cpt.ZEL"));
  EXPECT_NE(ReadAll(onDisk + "/clgcpt.txt").find("OUVERTURE DOSSIER - Ok"), std::string::npos);
}

// A draft file that can be neither copied nor made (its name taken by a
// folder) stops the opening with a message, and the log says "Erreur".
TEST_F(DossierOpenTest, DraftFileThatCannotBeMadeStopsTheOpening) {
  const std::string d = MakeDossier("brouillard", "BRO", 10);
  fs::remove(d + "c50bro.dbf");
  fs::remove(d + "c50bro.mdx");
  fs::create_directory(d + "c50bro.dbf");
  OpenThroughDialog(C10Path(d, "BRO"));
  EXPECT_TRUE(IsBlank(DossierCode)) << ShownTexts();
  EXPECT_NE(ShownTexts().find("n'a pu \xEAtre ni copi\xE9 ni cr\xE9\xE9"), std::string::npos) << ShownTexts();
  const std::string log = ReadAll(d + "clgbro.txt");
  EXPECT_NE(log.find("OUVERTURE - Erreur - fichier brouillard"), std::string::npos) << log;
  EXPECT_EQ(log.find("OUVERTURE - Ok - fichier brouillard"), std::string::npos) << log;
}

// A C10 index that opens but lacks the code order (another table's tags
// under C10's name) is never taken for an older format: no conversion is
// offered on a guess.
TEST_F(DossierOpenTest, C10IndexWithoutTheCodeOrderOffersNoConversion) {
  const std::string d = MakeDossier("sanscode", "SCO", 10);
  fs::copy_file(d + "c20sco.mdx", d + "c10sco.mdx", fs::copy_options::overwrite_existing);
  dossier_test::Poke(d + "c10sco.mdx", 4, "c10sco");
  OpenThroughDialog(C10Path(d, "SCO"));
  EXPECT_EQ(ShownTexts().find("onversion"), std::string::npos) << ShownTexts();
}

// Started on a dossier's C10 table (the run script, a shortcut), the first "Ouvrir dossier"
// opens it without the file dialog; the next one asks, so that another dossier can be chosen.
class StartedOnADossier : public DossierOpenTest {
 protected:
  const char* StartArgument() const override { return "Compta/Start/c10sta.dbf"; }
};

TEST_F(StartedOnADossier, FirstOpeningTakesTheArgument) {
  const std::string folder = MakeDossier("Compta/Start", "STA", 10);
  RunSubjectCommand(20202);
  gui::ProcessPendingMessages();
  EXPECT_EQ(DossierCode, "STA");
  EXPECT_EQ(DossierFolder, folder);
  for (const auto& shown : gui::ModalSeam::Shown()) EXPECT_NE(shown.kind, gui::ModalKind::FileOpen);

  gui::ModalSeam::QueueFileAnswer("");
  RunSubjectCommand(20202);
  gui::ProcessPendingMessages();
  bool asked = false;
  for (const auto& shown : gui::ModalSeam::Shown()) asked = asked || shown.kind == gui::ModalKind::FileOpen;
  EXPECT_TRUE(asked);
  EXPECT_EQ(DossierCode, "STA");
}
