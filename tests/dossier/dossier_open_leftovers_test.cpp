// What stopped or finished runs leave for the opening: a run put back from its copies is asked
// about as a put-back (not as a run done again); copies that no run needs any more are named
// and removed only on the user's word; an index that a killed append left marked, with a
// record in none of its tags, is made again before anything reads it, or the opening stops
// naming the table and why: another station holds it, its disk has no room for the index, or the
// disk refused a write of it.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>

#include "data/table_internal.h"
#include "dossier/core/dossier_run_marker.h"
#include "dossier_opening_fixture.h"
#include "dossier_test_util.h"
#include "platform/dbase/fileio.h"
#include "platform/dbase/file_layout.h"
#include "support/books_writes.h"
#include "support/dossier_fixture.h"
#include "support/gui_test.h"
#include "support/other_process.h"

namespace {

class LeftoversTest : public DossierOpeningTest {
 protected:
  void TearDown() override {
    SetDossierRunRedo("ajout", {});
    DossierOpeningTest::TearDown();
  }
};

TEST_F(LeftoversTest, ARunPutBackFromItsCopiesIsAskedAboutAsAPutBack) {
  const std::string d = MakeDossier("pb", "PBK");
  bool goes = false;
  int calls = 0;
  SetDossierRunRedo("ajout", [&](const DossierRunInfo&) { return ++calls, goes; }, true);
  SetDossier(d, "PBK");
  ASSERT_TRUE(WriteDossierRunMarker({"ajout", "Ajout d'un autre dossier", "2", "05/03/2026 \xE0 09h07", ""}));
  SetDossier("", "");

  // Yes, and the put-back fails: the dossier stays closed, and the marker for the next opening.
  Open(d, "PBK", {gui::IDYES});
  EXPECT_FALSE(IsOpen(d));
  const std::string asked = Pictured("remettre maintenant le dossier tel qu'il \xE9tait avant ce traitement",
                                     "interrupted_put_back_question");
  EXPECT_EQ(asked.find("relancer ce traitement"), std::string::npos) << asked;
  Pictured("n'a pas pu \xEAtre remis tel qu'il \xE9tait avant ce traitement", "interrupted_put_back_failed");
  SetDossier(d, "PBK");
  EXPECT_TRUE(DossierRunMarkerExists());
  EXPECT_EQ(calls, 1);
  SetDossier("", "");

  goes = true;
  Open(d, "PBK", {gui::IDYES});
  EXPECT_TRUE(IsOpen(d)) << ShownTexts();
  EXPECT_EQ(calls, 2) << ShownTexts();
  EXPECT_FALSE(DossierRunMarkerExists());
}

// A stopped run done again (or put back) at the opening that meets a write the disk refuses
// (EIO): the dossier stays closed as the stopped run left it, its marker kept, and the box says
// the file and the disk's error, with no advice to restore a backup; the next opening does it
// again.
TEST_F(LeftoversTest, ARunDoneAgainThatMeetsARefusedWriteSaysItAndIsDoneAgainLater) {
  for (const bool putBack : {false, true}) {
    SCOPED_TRACE(putBack ? "put back" : "done again");
    const std::string d = MakeDossier(putBack ? "rp" : "rr", "RFW");
    int calls = 0;
    SetDossierRunRedo(
        "ajout",
        [&](const DossierRunInfo&) {
          Table c20;
          if (!c20.OpenShared(d + "c20rfw")) return false;
          // The first time, the append's first write is refused.
          if (++calls == 1) dbase::SetWriteFault(dbase::WriteFault::kFailOnce, 1);
          const bool added = c20.AppendBlank() && c20.PutField(1, "zz") && c20.InsertRecord();
          dbase::SetWriteFault(dbase::WriteFault::kNone, 0);
          return added;
        },
        putBack);
    SetDossier(d, "RFW");
    ASSERT_TRUE(WriteDossierRunMarker({"ajout", "Ajout d'un autre dossier", "2", "05/03/2026 \xE0 09h07", ""}));
    SetDossier("", "");

    Open(d, "RFW", {gui::IDYES});
    EXPECT_FALSE(IsOpen(d));
    EXPECT_EQ(calls, 1);
    const std::string said = Pictured(putBack ? "n'a pas pu \xEAtre remis" : "Le traitement relanc\xE9 n'a pas pu",
                                      putBack ? "put_back_write_refused" : "redo_write_refused");
    EXPECT_NE(said.find("erreur d'\xE9" "criture sur le disque en \xE9" "crivant " + d + "c20rfw"), std::string::npos)
        << said;
    EXPECT_FALSE(ShownContains("sauvegarde")) << ShownTexts();
    EXPECT_FALSE(ShownContains("Erreur BDE")) << ShownTexts();
    SetDossier(d, "RFW");
    EXPECT_TRUE(DossierRunMarkerExists());
    SetDossier("", "");
    Close();

    Open(d, "RFW", {gui::IDYES});
    EXPECT_TRUE(IsOpen(d)) << ShownTexts();
    EXPECT_EQ(calls, 2);
    Close();
  }
}

TEST_F(LeftoversTest, CopiesThatNoRunNeedsAreNamedAndRemovedOnTheUsersWord) {
  const std::string d = MakeDossier("cp", "CPY");
  const std::string left = "ajout-cpy-20260305-090700", before = "validation-cpy-20260306-101112";
  for (const std::string& f : {left, before}) {
    fs::create_directories(d + f);
    std::ofstream(d + f + "/c50cpy.dbf") << "copy";
  }
  // Another dossier's copies, and the originals a conversion keeps, are not this question's.
  for (const char* other : {"ajout-cpz-20260305-090700", "conversion-cpy-20260305-090700"}) fs::create_directories(d + other);

  Open(d, "CPY", {gui::IDNO});
  ASSERT_TRUE(IsOpen(d)) << ShownTexts();
  const std::string asked = Pictured("Voulez-vous supprimer ces copies maintenant", "left_copies_question");
  EXPECT_NE(asked.find(d + left), std::string::npos) << asked;
  EXPECT_NE(asked.find(d + before), std::string::npos) << asked;
  EXPECT_EQ(asked.find("cpz"), std::string::npos) << asked;
  EXPECT_EQ(asked.find("conversion-"), std::string::npos) << asked;
  EXPECT_TRUE(fs::exists(d + left));
  Close();

  Open(d, "CPY", {gui::IDYES});
  ASSERT_TRUE(IsOpen(d)) << ShownTexts();
  EXPECT_FALSE(fs::exists(d + left));
  EXPECT_FALSE(fs::exists(d + before));
  EXPECT_TRUE(fs::exists(d + "ajout-cpz-20260305-090700"));
  EXPECT_TRUE(fs::exists(d + "conversion-cpy-20260305-090700"));
  Close();

  Open(d, "CPY");
  ASSERT_TRUE(IsOpen(d)) << ShownTexts();
  EXPECT_FALSE(ShownContains("Copies de fichiers"));
  EXPECT_NE(ReadAll(d + "clgcpy.txt").find("copies d'un traitement termin\xE9 supprim\xE9" "es: " + d + left),
            std::string::npos);
}

using dossier_test::IndexCheck;
using dossier_test::UpdateMark;

TEST_F(LeftoversTest, AnIndexLeftMarkedByAKilledAppendIsMadeAgainOrTheOpeningStops) {
  const std::string d = MakeDossier("ix", "IDX");
  const std::string c60 = d + "c60idx";
  // Another station reading C60, held back until asked.
  test_support::OtherProcess station([c60](char cmd) {
    static Table* t = new Table();
    if (cmd == 'o') return t->OpenShared(c60, "", true);
    if (cmd == 'c') return t->CloseTable(true);
    return false;
  });
  // A real append into C60, killed at its k-th write: the first k that leaves the new record
  // counted and in none of the tags.
  const std::string data = dossier_test::ReadFile(c60 + ".dbf"), index = dossier_test::ReadFile(c60 + ".mdx");
  long k = 1;
  for (;; ++k) {
    ASSERT_LT(k, 60) << "no write point left the index marked";
    std::ofstream(c60 + ".dbf", std::ios::binary | std::ios::trunc) << data;
    std::ofstream(c60 + ".mdx", std::ios::binary | std::ios::trunc) << index;
    const int status = test_support::RunInChild([c60, k] {
      const test_support::SetUpPermit permit("ajout tue");
      Table t;
      if (!t.OpenShared(c60, "C60CODE")) return 1;
      dbase::SetWriteFault(dbase::WriteFault::kKill, k);
      t.AppendBlank();
      t.PutField(1, "ZZZZZZZZ");
      t.InsertRecord();
      return 0;
    });
    ASSERT_EQ(status, 128 + SIGKILL) << k;
    if (UpdateMark(c60 + ".mdx") != 0 && IndexCheck(c60) == dbase::DBIERR_INDEXCORRUPT) break;
  }
  SCOPED_TRACE("append killed before write " + std::to_string(k));

  ASSERT_TRUE(station.Do('o'));
  Open(d, "IDX");
  EXPECT_FALSE(IsOpen(d));
  Pictured("Un ajout au fichier\n\n   " + c60 + ".dbf\n\na \xE9t\xE9 interrompu", "marked_index_refusal");
  EXPECT_NE(UpdateMark(c60 + ".mdx"), 0u) << "the index stays as it was while the other station reads it";
  Close();

  ASSERT_TRUE(station.Do('c'));
  // Alone, on a disk with no room for the index: said so, with the folder to free room in.
  dbase::SetWriteFault(dbase::WriteFault::kFull, 1);
  Open(d, "IDX");
  dbase::SetWriteFault(dbase::WriteFault::kNone, 0);
  EXPECT_FALSE(IsOpen(d));
  const std::string full = Pictured("disque plein, plus de place dans le dossier " + d, "marked_index_disk_full");
  EXPECT_NE(full.find(c60 + ".dbf"), std::string::npos) << full;
  EXPECT_EQ(full.find("autre poste"), std::string::npos) << full;
  EXPECT_NE(UpdateMark(c60 + ".mdx"), 0u);
  Close();

  // Alone, a write of the index refused by the disk (EIO): said so, with the file.
  dbase::SetWriteFault(dbase::WriteFault::kFailOnce, 1);
  Open(d, "IDX");
  dbase::SetWriteFault(dbase::WriteFault::kNone, 0);
  EXPECT_FALSE(IsOpen(d));
  const std::string failed = Pictured("et il n'a pas pu \xEAtre refait", "marked_index_write_error");
  EXPECT_NE(failed.find(c60 + ".dbf"), std::string::npos) << failed;
  EXPECT_NE(failed.find("erreur d'\xE9" "criture sur le disque en \xE9" "crivant " + c60), std::string::npos) << failed;
  EXPECT_EQ(failed.find("autre poste"), std::string::npos) << failed;
  Close();

  Open(d, "IDX");
  ASSERT_TRUE(IsOpen(d)) << ShownTexts();
  EXPECT_EQ(UpdateMark(c60 + ".mdx"), 0u);
  Close();
  EXPECT_EQ(IndexCheck(c60), dbase::DBIERR_NONE);
  EXPECT_NE(ReadAll(d + "clgidx.txt").find("index d'un ajout interrompu refait: " + c60 + ".dbf"), std::string::npos);
}

// The temporary file of a marker, pieces record, renumbering plan, import's totals journal or
// identities, or put-back's note whose writer was killed before its rename is removed at the
// opening; one whose process still runs here, one written moments ago (perhaps by another
// station), and every other name (another dossier's) stay.
TEST_F(LeftoversTest, TemporaryFilesOfAStoppedMarkerOrPiecesWriteAreRemoved) {
  const std::string d = MakeDossier("tmp", "TMP");
  // A process number that runs no more: a child's, once it has ended.
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ASSERT_GT(child, 0);
  ASSERT_EQ(::waitpid(child, nullptr, 0), child);
  const std::string dead = std::to_string(child), alive = std::to_string(::getpid());
  struct Left {
    std::string name;
    bool old;      // last written long ago
    bool removed;  // what the opening does with it
  };
  const Left files[] = {
      {"ctmp.run.tmp" + dead + "-1", true, true},
      {"castmp.pcs.tmp" + dead + "-12", true, true},
      {"c60tmp.ren.tmp" + dead + "-7", true, true},
      {"c60tmp.ren.tmp" + alive + "-8", true, false},
      {"ctmp.run.tmp" + alive + "-2", true, false},
      {"castmp.pcs.tmp" + dead + "-3", false, false},
      {"ctmp.run.tmp" + dead, true, false},
      {"ctmp.run.tmp" + dead + "-x", true, false},
      {"cother.run.tmp" + dead + "-1", true, false},
      {"ctmp.run.old" + dead + "-1", true, false},
      // The imports' totals journals and identities, a put-back's note.
      {"coftmp.tot.tmp" + dead + "-4", true, true},
      {"castmp.tot.tmp" + dead + "-5", true, true},
      {"cofTMP.txt.tmp" + dead + "-6", true, true},
      {"validation-tmp-20260305-090700.remise.tmp" + dead + "-9", true, true},
      {"let-tmp-20260305-090700.remise.tmp" + dead + "-10", true, true},
      {"castmp.tot.tmp" + alive + "-11", true, false},
      {"validation-tmp-20260305-090700.remise.tmp" + dead + "-13", false, false},
      {"validation-tmp-2026.remise.tmp" + dead + "-14", true, false},
      {"validation-oth-20260305-090700.remise.tmp" + dead + "-15", true, false},
      {"cofoth.tot.tmp" + dead + "-16", true, false},
  };
  const auto longAgo = fs::file_time_type::clock::now() - std::chrono::hours(1);
  for (const Left& f : files) {
    std::ofstream(d + f.name) << "traitement=reconstruction\n";
    if (f.old) fs::last_write_time(d + f.name, longAgo);
  }
  Open(d, "TMP");
  EXPECT_TRUE(IsOpen(d)) << ShownTexts();
  // Nothing was said: a leftover of a write that never took its place is no stopped run.
  EXPECT_EQ(ShownTexts().find("nterromp"), std::string::npos) << ShownTexts();
  for (const Left& f : files) EXPECT_EQ(!fs::exists(d + f.name), f.removed) << f.name;
  EXPECT_NE(ReadAll(d + "clgtmp.txt").find("ctmp.run.tmp" + dead + "-1"), std::string::npos);
  // Its log line is in cp1252, as the rest of the log.
  EXPECT_NE(ReadAll(d + "clgtmp.txt").find("d'un traitement arr\xEAt\xE9 supprim\xE9: "), std::string::npos);
}

}  // namespace
