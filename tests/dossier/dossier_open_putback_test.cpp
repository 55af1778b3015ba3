// What the opening does with a marker whose put-back cannot be trusted, or is done or stopped, and
// with one whose run is still at work: copies missing, cut short or left out of the marker's list
// stop the validation's put-back before it changes anything; a put-back that went to its end
// before its marker's removal is said done; one stopped by a refused rename leaves every table
// whole and is finished by the next opening; pack files that their journal does not recognise
// stay where they are; a run at work on another station is named as such, with nothing offered.
// Each case damages a real dossier folder, then opens it as the user does.
#include <signal.h>

#include "data/aside_copies.h"
#include "dossier/core/dossier_run_marker.h"
#include "dossier/core/validation_putback.h"
#include "dossier_opening_fixture.h"
#include "dossier_test_util.h"
#include "platform/dbase/fileio.h"
#include "platform/system/write_fault.h"
#include "support/books_files.h"
#include "support/books_writes.h"
#include "support/dossier_fixture.h"
#include "support/gui_test.h"
#include "support/other_process.h"

namespace {

class PutBackOpenTest : public DossierOpeningTest {
 protected:
  // The dossier's tables, marker, pack files and copies with their bytes, by path below the
  // folder (the log and the lock table, which any opening writes, left out).
  static std::map<std::string, std::string> Files(const std::string& folder, const std::string& code) {
    std::map<std::string, std::string> files;
    const std::string lower = Lower(code.c_str());
    for (const auto& e : fs::recursive_directory_iterator(folder)) {
      if (!e.is_regular_file() || test_support::IsIndexJournal(e.path().string())) continue;
      const std::string rel = fs::relative(e.path(), folder).string();
      const bool table = rel.size() > 3 + lower.size() && rel[0] == 'c' && rel.compare(3, lower.size(), lower) == 0 &&
                         rel[1] >= '1' && rel[1] <= '7' && rel[2] == '0';
      if (table || rel.find('/') != std::string::npos || rel.find(".run") != std::string::npos)
        files[rel] = ReadAll(e.path().string());
    }
    return files;
  }
  static std::uint32_t Count(const std::string& base) {
    Table t;
    if (!t.OpenShared(base, "", true)) return 0;
    return t.RecCount();
  }

  // The change named `change` ("rename <path>", "unlink <path>") refused once with an I/O error,
  // the first time it is made from now on.
  static void RefuseOnce(const std::string& change) {
    static std::string refused;
    refused = change;
    dbase::BeforeFileChange = [] {
      if (platform::ChangeBeingMade() != refused) return;
      platform::SetWriteFault(platform::WriteFault::kFailOnce, 1);
      dbase::BeforeFileChange = nullptr;
    };
  }
  // What RefuseOnce refused (empty when nothing), the refusal then ended.
  static std::string EndRefusal() {
    dbase::BeforeFileChange = nullptr;
    const std::string refused = platform::RefusedChange();
    platform::SetWriteFault(platform::WriteFault::kNone, 0);
    return refused;
  }

  // A validation of dossier `code` in `d` stopped half-way: its copies of C10, C40, C50 and C60
  // made (`damage` then done to them) and named by its marker, then a line added to the closed
  // file and one taken from the draft.
  static void StopValidation(const std::string& d, const std::string& code, AsideCopies* copies,
                             const std::function<void(const std::string& aside, AsideCopies*)>& damage = {}) {
    const std::string lower = Lower(code.c_str());
    SetDossier(d, code);
    std::string why;
    ASSERT_TRUE(MakeAsideCopies(d, "validation-" + lower + "-20260305-090700/",
                                {"c10" + lower, "c40" + lower, "c50" + lower, "c60" + lower}, copies, &why))
        << why;
    if (damage) damage(d + copies->folder, copies);
    ASSERT_TRUE(WriteDossierRunMarker({kValidationRun, "Validation des Journaux", "2", "05/03/2026 \xE0 09h07",
                                       copies->Detail()}));
    SetDossier("", "");
    // The validation's writes up to where it stopped.
    const test_support::SetUpPermit permit("validation arretee");
    Table c40, c50;
    ASSERT_TRUE(c40.OpenShared(d + "c40" + lower));
    ASSERT_TRUE(c40.AppendBlank());
    ASSERT_TRUE(c40.PutField(1, "ZZ"));
    ASSERT_TRUE(c40.InsertRecord());
    ASSERT_TRUE(c50.OpenShared(d + "c50" + lower));
    c50.GoTo(1);
    ASSERT_TRUE(c50.DeleteRecord(nullptr, 0));
  }
};

// A validation stopped half-way: its copies of C10, C40, C50 and C60 made and named by its
// marker, then lines moved into C40 and out of C50. One copy gone, one cut short, or the list
// of the marker short of a copy: the opening changes nothing, keeps the marker and says which
// copy; with the copies whole, the dossier is put back and opens.
TEST_F(PutBackOpenTest, AValidationIsPutBackOnlyFromCopiesThatAreAllThereAndWhole) {
  const std::string code = "VPB";
  struct Case {
    const char* what;
    std::function<void(const std::string& aside, AsideCopies*)> damage;
    std::string named;  // the copy the refusal names; empty: put back
  } cases[] = {
      {"closed lines' copy gone", [](const std::string& a, AsideCopies*) { fs::remove(a + "c40vpb.dbf"); }, "c40vpb.dbf"},
      {"closed lines' copy cut short",
       [](const std::string& a, AsideCopies*) { fs::resize_file(a + "c40vpb.dbf", fs::file_size(a + "c40vpb.dbf") - 300); },
       "c40vpb.dbf"},
      {"marker's list short of the draft",
       [](const std::string&, AsideCopies* c) {
         c->files.erase(std::remove(c->files.begin(), c->files.end(), "c50vpb.dbf"), c->files.end());
       },
       "c50vpb.dbf"},
      {"copies whole", [](const std::string&, AsideCopies*) {}, ""},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string d = MakeDossier("v" + std::to_string(++n), code);
    const std::uint32_t closed = Count(d + "c40vpb"), draft = Count(d + "c50vpb");
    ASSERT_GT(draft, 0u);
    AsideCopies copies;
    StopValidation(d, code, &copies, c.damage);
    ASSERT_FALSE(HasFatalFailure());
    const auto before = Files(d, code);

    Open(d, code);
    if (!c.named.empty()) {
      EXPECT_FALSE(IsOpen(d));
      const std::string said = Pictured("incompl\xE8tes: rien n'a \xE9t\xE9 modifi\xE9", "put_back_copies_incomplete");
      EXPECT_NE(said.find(d + copies.folder + c.named), std::string::npos) << said;
      EXPECT_NE(said.find("restaurez la derni\xE8re sauvegarde du dossier"), std::string::npos) << said;
      EXPECT_FALSE(ShownContains("remis tel qu'il \xE9tait avant elle"));
      EXPECT_TRUE(Files(d, code) == before) << "a file changed";
      Close();
      continue;
    }
    ASSERT_TRUE(IsOpen(d)) << ShownTexts();
    EXPECT_TRUE(ShownContains("remis tel qu'il \xE9tait avant elle")) << ShownTexts();
    Close();
    EXPECT_EQ(Count(d + "c40vpb"), closed);
    EXPECT_EQ(Count(d + "c50vpb"), draft);
    EXPECT_FALSE(fs::exists(d + copies.folder));
    EXPECT_FALSE(fs::exists(d + "cvpb.run"));
  }
}

// A marker left over tables that no copies are kept for any more. A validation's put-back killed
// after it removed its copies and its note, before its marker: the tables are whole, as before
// the validation; the opening says the put-back was done, removes the marker and opens. When the
// marker's removal is refused (EIO), the dossier stays closed naming the marker and the disk's
// error, and opens at the next opening. The same copies removed by hand while a table is cut
// short: nothing can put the dossier back, which stays closed, the marker kept, and the restore
// of a backup advised.
TEST_F(PutBackOpenTest, AMarkerWhoseCopiesWereAllPutBackIsTakenAsDone) {
  const std::string code = "VPK";
  enum class Left { kDone, kDoneMarkerRefused, kTableCut };
  for (const Left left : {Left::kDone, Left::kDoneMarkerRefused, Left::kTableCut}) {
    const bool done = left != Left::kTableCut;
    SCOPED_TRACE(left == Left::kDone               ? "put-back killed before its marker went"
                 : left == Left::kDoneMarkerRefused ? "the same, the marker's removal refused once"
                                                    : "copies removed, a table cut short");
    const std::string d = MakeDossier("k" + std::to_string(static_cast<int>(left)), code);
    const std::uint32_t closed = Count(d + "c40vpk"), draft = Count(d + "c50vpk");
    AsideCopies copies;
    StopValidation(d, code, &copies);
    ASSERT_FALSE(HasFatalFailure());
    const std::string aside = d + copies.folder, note = d + "validation-vpk-20260305-090700.remise";
    if (done) {
      const int status = test_support::RunInChild([&] {
        static std::string a, n;
        a = aside;
        n = note;
        SetDossier(d, code);
        SetLogDossier(d, code);
        DossierRunInfo run;
        if (!ReadDossierRunMarker(&run)) return 1;
        dbase::BeforeFileChange = [] {
          if (!fs::exists(a) && !fs::exists(n)) ::raise(SIGKILL);
        };
        PutBackInterruptedValidation(run);
        return 2;
      });
      ASSERT_EQ(status, 128 + SIGKILL);
    } else {
      fs::remove_all(aside);
      fs::resize_file(d + "c40vpk.dbf", fs::file_size(d + "c40vpk.dbf") - 300);
    }
    ASSERT_TRUE(fs::exists(d + "cvpk.run"));
    ASSERT_FALSE(fs::exists(aside));
    ASSERT_FALSE(fs::exists(note));

    if (left == Left::kDoneMarkerRefused) {
      RefuseOnce("unlink " + d + "cvpk.run");
      Open(d, code);
      ASSERT_EQ(EndRefusal(), "unlink " + d + "cvpk.run");
      EXPECT_FALSE(IsOpen(d));
      const std::string said = Pictured("Le fichier de suivi du traitement ne peut pas \xEAtre supprim\xE9",
                                        "put_back_done_marker_stays");
      EXPECT_NE(said.find(d + "cvpk.run\n\n   erreur d'\xE9" "criture sur le disque"), std::string::npos) << said;
      EXPECT_FALSE(ShownContains("sauvegarde")) << ShownTexts();
      EXPECT_TRUE(fs::exists(d + "cvpk.run"));
      Close();
    }
    Open(d, code);
    if (!done) {
      EXPECT_FALSE(IsOpen(d));
      const std::string said = Pictured("dossier des copies absent: " + aside, "put_back_copies_gone");
      EXPECT_NE(said.find("restaurez la derni\xE8re sauvegarde du dossier"), std::string::npos) << said;
      EXPECT_TRUE(fs::exists(d + "cvpk.run"));
      continue;
    }
    ASSERT_TRUE(IsOpen(d)) << ShownTexts();
    const std::string said = Pictured("avait d\xE9j\xE0 \xE9t\xE9 d\xE9" "fait", "put_back_found_done");
    EXPECT_NE(said.find("Validation des Journaux"), std::string::npos) << said;
    EXPECT_FALSE(ShownContains("sauvegarde")) << ShownTexts();
    EXPECT_FALSE(ShownContains("Voulez-vous")) << ShownTexts();
    Close();
    EXPECT_FALSE(fs::exists(d + "cvpk.run"));
    EXPECT_EQ(Count(d + "c40vpk"), closed);
    EXPECT_EQ(Count(d + "c50vpk"), draft);
    EXPECT_NE(ReadAll(d + "clgvpk.txt").find("d\xE9j\xE0 remis en place"), std::string::npos);
  }
}

// One rename of a validation's put-back refused as by a disk that lost a write (EIO), on the
// general file's data file, then on its index after its data file went back: the general file is
// left the run's, whole, and every table after it as it was; the dossier stays closed, naming the
// file and the disk's error, without advice to restore a backup; the next opening finishes the
// put-back, every table as before the validation.
TEST_F(PutBackOpenTest, ARenameRefusedStopsThePutBackWholeAndTheNextOpeningFinishesIt) {
  const std::string code = "VRF";
  for (const std::string refused : {"c10vrf.dbf", "c10vrf.mdx"}) {
    SCOPED_TRACE("rename of " + refused + " refused");
    const std::string d = MakeDossier("r" + refused.substr(7), code);
    const std::uint32_t closed = Count(d + "c40vrf"), draft = Count(d + "c50vrf");
    AsideCopies copies;
    StopValidation(d, code, &copies);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_NE(std::find(copies.files.begin(), copies.files.end(), refused), copies.files.end());
    const auto before = Files(d, code);

    const std::string change = "rename " + d + copies.folder + refused;
    RefuseOnce(change);
    Open(d, code);
    ASSERT_EQ(EndRefusal(), change);
    EXPECT_FALSE(IsOpen(d));
    const std::string said = Pictured("n'a pas pu \xEAtre remis", "put_back_rename_refused");
    EXPECT_NE(said.find("remise en place impossible de " + d + refused + ": erreur d'\xE9" "criture sur le disque"),
              std::string::npos)
        << said;
    EXPECT_NE(said.find("reprendra"), std::string::npos) << said;
    EXPECT_FALSE(ShownContains("sauvegarde")) << ShownTexts();
    const auto after = Files(d, code);
    for (const auto& [file, bytes] : before)
      EXPECT_TRUE(after.count(file) != 0 && after.at(file) == bytes) << file << " changed";
    EXPECT_EQ(after.size(), before.size());
    EXPECT_TRUE(fs::exists(d + "cvrf.run"));
    Close();

    Open(d, code);
    ASSERT_TRUE(IsOpen(d)) << ShownTexts();
    EXPECT_TRUE(ShownContains("remis tel qu'il \xE9tait avant elle")) << ShownTexts();
    Close();
    EXPECT_EQ(Count(d + "c40vrf"), closed);
    EXPECT_EQ(Count(d + "c50vrf"), draft);
    EXPECT_FALSE(fs::exists(d + copies.folder));
    for (const auto& e : fs::directory_iterator(d))
      for (const char* left : {".avant", ".remise", ".run"}) EXPECT_NE(e.path().extension(), left) << e.path();
  }
}

// A pack of the draft cut short, whose journal matches none of the files (its new data file
// stale, the index it says it renamed not of its size): with the reindex's marker left or
// without, the opening renames nothing, keeps the marker and names the file, and the pack's
// files to set aside, rather than a backup to restore over the work since; once they are set
// aside the dossier opens, its tables as they were.
TEST_F(PutBackOpenTest, PackFilesThatTheirJournalDoesNotRecogniseStayWhereTheyAre) {
  for (const bool marked : {true, false}) {
    SCOPED_TRACE(marked ? "reindex marker left" : "no marker");
    const std::string folder = marked ? "pm" : "pn", code = "PKU";
    const std::string d = MakeDossier(folder, code);
    const std::string c50 = d + "c50pku";
    const std::uint32_t draft = Count(c50);
    fs::copy_file(c50 + ".dbf", c50 + ".dbf.pack");
    std::ofstream(c50 + ".dbf.pack", std::ios::binary | std::ios::app) << "stale";
    std::ofstream(c50 + ".dbf.pack.journal")
        << "c50pku.mdx\t1:2:3:4\t1:2:5:4\n"
        << "c50pku.dbf\t1:6:7:4\t1:8:9:4\n";
    if (marked) {
      SetDossier(d, code);
      ASSERT_TRUE(WriteDossierRunMarker({kReindexRun, "Compactage et ReIndex du dossier", "2", "05/03/2026 \xE0 09h07",
                                         "compactage=O"}));
      SetDossier("", "");
    }
    const auto before = Files(d, code);
    Open(d, code, {gui::IDYES});
    EXPECT_FALSE(IsOpen(d));
    const std::string said = Pictured("Un compactage du fichier\n\n   " + c50 + ".dbf\n\na \xE9t\xE9 interrompu",
                                      "unknown_pack_files");
    EXPECT_NE(said.find("Rien n'a \xE9t\xE9 modifi\xE9"), std::string::npos) << said;
    for (const char* left : {".dbf.pack.journal", ".dbf.pack"})
      EXPECT_NE(said.find("   " + c50 + left + "\n"), std::string::npos) << left << said;
    EXPECT_EQ(said.find("sauvegarde"), std::string::npos) << said;
    EXPECT_FALSE(ShownContains("Voulez-vous relancer ce traitement")) << ShownTexts();
    EXPECT_TRUE(Files(d, code) == before) << "a file changed";
    Close();

    // The files named set aside: the dossier opens, its draft whole (a reindex left marked runs
    // again first, its pack dropping the cancelled lines).
    fs::create_directories(root_ + "/aside-" + folder);
    for (const char* left : {".dbf.pack.journal", ".dbf.pack"})
      fs::rename(c50 + left, root_ + "/aside-" + folder + "/c50pku" + left);
    Open(d, code, {gui::IDYES, gui::IDOK});
    EXPECT_TRUE(IsOpen(d)) << ShownTexts();
    Close();
    if (!marked) {
      EXPECT_EQ(Count(c50), draft);
    }
  }
}

// A run at work in dossier B from another process (a code copy into B): an opening of B meanwhile
// names it as at work on another station and offers nothing; once it ends, B opens. A run
// killed half-way, its marker left unlocked, is offered as stopped.
TEST_F(PutBackOpenTest, ARunAtWorkOnAnotherStationIsNotTakenForAStoppedOne) {
  const std::string d = MakeDossier("lv", "LIV");
  const std::string title = "Ajout de codes d'un autre dossier";
  test_support::OtherProcess station([d, title](char cmd) {
    static DossierRunMarker* marker = nullptr;
    SetDossier(d, "LIV");
    if (cmd == 'm') marker = new DossierRunMarker(BooksReading{}, "ajout-codes", title, "c20src.dbf");
    if (cmd == 'e') delete marker;
    SetDossier("", "");
    return cmd != 'm' || marker->written();
  });

  ASSERT_TRUE(station.Do('m'));
  Open(d, "LIV", {gui::IDYES});
  EXPECT_FALSE(IsOpen(d));
  const std::string said = Pictured("en cours sur un autre poste", "run_at_work_elsewhere");
  EXPECT_NE(said.find(title), std::string::npos) << said;
  EXPECT_FALSE(ShownContains("interrompu")) << ShownTexts();
  EXPECT_EQ(std::count_if(gui::ModalSeam::Shown().begin(), gui::ModalSeam::Shown().end(),
                          [](const gui::ShownModal& s) { return s.kind == gui::ModalKind::MessageBox; }),
            1)
      << ShownTexts();
  EXPECT_TRUE(fs::exists(d + "cliv.run"));
  Close();

  ASSERT_TRUE(station.Do('e'));
  Open(d, "LIV");
  EXPECT_TRUE(IsOpen(d)) << ShownTexts();
  Close();
  test_support::ClearDossierState();  // no dossier to go back to when the next opening stops

  // Killed while it holds the marker: the lock goes with the process, the run is stopped.
  ASSERT_EQ(test_support::RunInChild([d, title] {
              SetDossier(d, "LIV");
              DossierRunMarker marker(BooksReading{}, "ajout-codes", title, "c20src.dbf");
              if (marker.written()) ::raise(SIGKILL);
              return 1;
            }),
            128 + SIGKILL);
  ASSERT_TRUE(fs::exists(d + "cliv.run"));
  Open(d, "LIV", {gui::IDNO});
  EXPECT_FALSE(IsOpen(d));
  EXPECT_TRUE(ShownContains("Un traitement de ce dossier a \xE9t\xE9 interrompu")) << ShownTexts();
  EXPECT_FALSE(ShownContains("en cours sur un autre poste"));
  EXPECT_TRUE(fs::exists(d + "cliv.run"));
}

}  // namespace
