// The rebuild command 20712 headless: its question answered through the modal
// seam (a stopped run changes nothing), the run and its final message, the log line
// with the count of records removed, the older generation sent to the conversion, and a stopped
// run's marker that keeps it from starting.
#include <fstream>

#include "data/dossier_lock.h"
#include "dossier/rebuild_dossier.h"
#include "dossier_test_util.h"
#include "support/gui_test.h"
#include "support/line_files.h"
#include "runtime/session_registry.h"

namespace maintenance_test {
namespace {

class RebuildCommandTest : public MaintenanceTest {
 protected:
  void SetUp() override {
    MaintenanceTest::SetUp();
    test_support::EnterGuiTestMode(&beeps_);
    reopened_ = 0;
    SetRebuildReopener([this] { ++reopened_; });
    ASSERT_TRUE(ReleaseDossierExclusive());  // the dossier open as a station opens it
    SetDossierState(' ');
  }
  void TearDown() override {
    SetRebuildReopener({});
    test_support::LeaveGuiTestMode();
    MaintenanceTest::TearDown();
  }

  std::string DossierBytes() { return dossier_test::FolderBytes(Folder()); }

  int reopened_ = 0;
  int beeps_ = 0;
};

// The question follows constants 039 and 027 (Annuler only when the rebalancing is asked);
// an answer that stops the run changes nothing and gives the exclusive hold back.
TEST_F(RebuildCommandTest, QuestionFollowsConstantsAndCancelChangesNothing) {
  struct Case {
    const char* c039;
    const char* c027;
    int answer;
    unsigned buttons;
    const char* sentence;
  } cases[] = {
      {"OUI", "NON", gui::IDNO, gui::MB_YESNO, "Voulez-vous confirmer le lancement ?"},
      {"NON", "OUI", gui::IDCANCEL, gui::MB_YESNOCANCEL, "Le bouton 'Annuler' permet d'abandonner"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.c039);
    SetConstant(39, c.c039);
    SetConstant(27, c.c027);
    const std::string before = DossierBytes();
    gui::ModalSeam::Reset();
    gui::ModalSeam::QueueMessageBoxAnswer(c.answer);
    CmReconstructionDossier();
    ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u);
    const gui::ShownModal& q = gui::ModalSeam::Shown()[0];
    EXPECT_EQ(q.buttons, c.buttons);
    EXPECT_NE(q.text.find(c.sentence), std::string::npos);
    EXPECT_NE(q.text.find("DEMO sur " + Folder()), std::string::npos);
    EXPECT_EQ(DossierBytes(), before);
    EXPECT_EQ(reopened_, 0);
    EXPECT_EQ(GetDossierState(), ' ');
    // The exclusive hold was given back: another station opens the dossier, and this one
    // can take the hold again.
    {
      dossier_test::OtherStation station(DossierTablePath());
      EXPECT_TRUE(station.Do('o')) << "the dossier is still held";
    }
    EXPECT_TRUE(OpenDossierExclusive(true));
    EXPECT_TRUE(ReleaseDossierExclusive());
  }
}

TEST_F(RebuildCommandTest, RunEndsWithItsMessageLogLineAndReopening) {
  Append(*TableC20, PathC20(), {{1, "abc"}, {2, "Minuscules"}});
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  CmReconstructionDossier();
  ASSERT_EQ(gui::ModalSeam::Shown().size(), 2u);
  const gui::ShownModal& end = gui::ModalSeam::Shown()[1];
  EXPECT_NE(end.text.find("La Re-Construction du dossier est termin\xE9" "e."), std::string::npos);
  EXPECT_EQ(LastRebuildReport().code, 0);
  EXPECT_EQ(LastRebuildReport().removed, 1);
  const std::string log = LogText();
  EXPECT_NE(log.find("ReConstruction du dossier - Ok - 1 enregistrement(s) supprim\xE9(s)"), std::string::npos)
      << log;
  EXPECT_LT(log.find("Minuscules"), log.find("ReConstruction du dossier - Ok"));
  EXPECT_EQ(GetDossierState(), '2');
  EXPECT_EQ(reopened_, 1);
  ExpectTotalsEqualLines();
}

// A C10 of the oldest generation: the box points to the conversion and no file changes.
TEST_F(RebuildCommandTest, OldGenerationPointsToTheConversion) {
  dossier_test::Poke(std::string(PathC10()) + ".dbf", 32, "CCLE");
  const std::string before = DossierBytes();
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  CmReconstructionDossier();
  const auto& shown = gui::ModalSeam::Shown();
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_NE(shown[1].text.find("CONVERTIR"), std::string::npos);
  EXPECT_NE(shown[2].text.find(" 5001"), std::string::npos);
  EXPECT_EQ(shown[2].text.find("reconstruits"), std::string::npos);
  EXPECT_EQ(DossierBytes(), before);
}

// A run stopped half-way (here an import on a full disk) left its marker: the rebuild does not
// write over it, says which run stands and that the opening settles it, and changes nothing.
TEST_F(RebuildCommandTest, AStoppedRunsMarkerKeepsTheRebuildFromStarting) {
  std::ofstream(Folder() + "/cdemo.run", std::ios::binary)
      << "traitement=importation releve\ntitre=Importation Relev\xE9 de Banque (ofx)\nposte=2\n"
         "debut=03/02/2026 \xE0 09h15\ndetail=\n";
  const std::string before = DossierBytes();
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  CmReconstructionDossier();
  const auto& shown = gui::ModalSeam::Shown();
  ASSERT_GE(shown.size(), 2u);
  EXPECT_NE(shown[1].text.find("Un autre traitement de ce dossier a \xE9t\xE9 interrompu avant sa fin :\n\n   Importation "
                               "Relev\xE9 de Banque (ofx), commenc\xE9 le 03/02/2026 \xE0 09h15 sur le poste 2."),
            std::string::npos)
      << shown[1].text;
  test_support::ScreenshotMessage(shown[1], "dossier", "rebuild-refused-stopped-run");
  EXPECT_EQ(LastRebuildReport().code, kRebuildMarkerFailed);
  EXPECT_EQ(DossierBytes(), before);
}

// Two draft lines of one general account whose francs, each within its field, add up past what
// the account's total holds: the run's end box names the account and says the rebuild changed
// nothing, never a disk; no file changes.
TEST_F(RebuildCommandTest, ATotalPastItsFieldIsNamedInTheEndBox) {
  {
    test_support::RawRecords raw(std::string(PathC50()) + ".dbf");
    std::string account;
    int swollen = 0;
    for (std::uint32_t n = 1; n <= raw.Count() && swollen < 2; ++n) {
      const std::string r = raw.Record(n);
      const std::string code = raw.Field(r, "BCODE");
      if (r[0] == '*' || raw.Field(r, "BCLE") != "Z" || raw.Field(r, "BSENS") != "D" || code[0] != '6' ||
          (!account.empty() && code != account))
        continue;
      raw.Put(n, "BMONTANTF", "60000000000.00");
      account = code;
      ++swollen;
    }
    ASSERT_EQ(swollen, 2);
  }
  const std::string before = DossierBytes();
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  CmReconstructionDossier();
  const auto& shown = gui::ModalSeam::Shown();
  ASSERT_EQ(shown.size(), 2u) << test_support::ShownTexts();
  EXPECT_NE(shown[1].text.find(" 5009"), std::string::npos) << shown[1].text;
  EXPECT_NE(shown[1].text.find("ne peut recevoir, au d\xE9" "bit comme au cr\xE9" "dit, que 99 999 999 999,99 au plus"),
            std::string::npos)
      << shown[1].text;
  EXPECT_NE(shown[1].text.find("La Re-Construction n'a rien modifi\xE9"), std::string::npos) << shown[1].text;
  EXPECT_EQ(shown[1].text.find("disque"), std::string::npos) << shown[1].text;
  EXPECT_EQ(shown[1].text.find("doit \xEAtre relanc\xE9" "e"), std::string::npos) << shown[1].text;
  test_support::ScreenshotMessage(shown[1], "dossier", "rebuild-total-too-large");
  EXPECT_EQ(DossierBytes(), before);
}

// Draft lines whose amount does not read: once the question is answered, a box names each one and
// says what the run leaves as it is, before the run's progress and its end; the end box says the
// run went through.
TEST_F(RebuildCommandTest, UnreadableAmountsAreNamedBeforeTheRunChangesAnything) {
  // Each named by its number once the run's pack has dropped the cancelled lines before it.
  std::vector<std::uint32_t> damaged;
  {
    test_support::RawRecords raw(std::string(PathC50()) + ".dbf");
    std::uint32_t cancelled = 0;
    for (std::uint32_t n = 1; n <= raw.Count() && damaged.size() < 2; ++n) {
      const std::string r = raw.Record(n);
      cancelled += r[0] == '*';
      if (r[0] == '*' || raw.Field(r, "BCLE") != "Z") continue;
      raw.Put(n, "BMONTANTE", damaged.empty() ? "ABC" : "-1e300");
      damaged.push_back(n - cancelled);
    }
  }
  ASSERT_EQ(damaged.size(), 2u);
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  CmReconstructionDossier();
  const auto& shown = gui::ModalSeam::Shown();
  ASSERT_EQ(shown.size(), 3u) << test_support::ShownTexts();
  const std::string& named = shown[1].text;
  EXPECT_NE(named.find("La ReConstruction ne les modifie pas, et laisse tels qu'ils sont les totaux"), std::string::npos)
      << named;
  EXPECT_NE(named.find("n'\xE9" "crit pas de ligne d'\xE9" "quilibrage"), std::string::npos) << named;
  for (const std::uint32_t n : damaged)
    EXPECT_NE(named.find("C50 enregistrement " + std::to_string(n) + ", pi\xE8" "ce "), std::string::npos) << named;
  test_support::ScreenshotMessage(shown[1], "dossier", "rebuild-unreadable-amounts");
  EXPECT_NE(shown[2].text.find("La Re-Construction du dossier est termin\xE9" "e."), std::string::npos) << shown[2].text;
}

}  // namespace
}  // namespace maintenance_test
