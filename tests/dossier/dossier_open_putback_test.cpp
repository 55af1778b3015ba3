// What the opening does with a marker whose put-back cannot be trusted, and with one whose run
// is still at work: copies missing, cut short or left out of the marker's list stop the
// validation's put-back before it changes anything; pack files that their journal does not
// recognise stay where they are; a run at work on another station is named as such, with
// nothing offered. Each case damages a real dossier folder, then opens it as the user does.
#include <signal.h>

#include "data/aside_copies.h"
#include "dossier/core/dossier_run_marker.h"
#include "dossier_opening_fixture.h"
#include "dossier_test_util.h"
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
      if (!e.is_regular_file()) continue;
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
    SetDossier(d, code);
    AsideCopies copies;
    std::string why;
    ASSERT_TRUE(MakeAsideCopies(d, "validation-vpb-20260305-090700/", {"c10vpb", "c40vpb", "c50vpb", "c60vpb"}, &copies,
                                &why))
        << why;
    c.damage(d + copies.folder, &copies);
    ASSERT_TRUE(WriteDossierRunMarker({kValidationRun, "Validation des Journaux", "2", "05/03/2026 \xE0 09h07",
                                       copies.Detail()}));
    SetDossier("", "");
    {
      // The run's changes: a line added to the closed file, one taken from the draft.
      Table c40, c50;
      ASSERT_TRUE(c40.OpenShared(d + "c40vpb"));
      ASSERT_TRUE(c40.AppendBlank());
      ASSERT_TRUE(c40.PutField(1, "ZZ"));
      ASSERT_TRUE(c40.InsertRecord());
      ASSERT_TRUE(c50.OpenShared(d + "c50vpb"));
      c50.GoTo(1);
      ASSERT_TRUE(c50.DeleteRecord(nullptr, 0));
    }
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
    if (cmd == 'm') marker = new DossierRunMarker("ajout-codes", title, "c20src.dbf");
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
              DossierRunMarker marker("ajout-codes", title, "c20src.dbf");
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
