// Copies kept aside while a run changes tables, put back when the run is undone: what the run
// left beside the tables (a killed pack's new files and journal, temporaries) goes before the
// copies go back, and the copies go only once every table put back opens with tags that hold
// its records.
#include <signal.h>

#include "data/aside_copies.h"
#include "data_test_util.h"
#include "platform/dbase/fileio.h"
#include "platform/system/write_fault.h"
#include "support/kill_point.h"
#include "support/other_process.h"

namespace data_test {
namespace {

namespace fs = std::filesystem;

class AsideCopiesTest : public DataTest {
 protected:
  void SetUp() override {
    DataTest::SetUp();
    CreateDossier();
    Table c50;
    ASSERT_TRUE(c50.OpenShared(DossierPath(TableKind::C50)));
    for (int i = 0; i < 12; ++i) Add(c50, {"J" + std::to_string(i % 3), "2601", "AA", std::to_string(100 + i)});
  }
  std::string Base(TableKind kind) const { return TableBaseName(kind, DossierCode); }
  bool Copy(AsideCopies* copies) {
    std::string why;
    return MakeAsideCopies(Dir() + "/", "run-tst/", {Base(TableKind::C50), Base(TableKind::C60)}, copies, &why);
  }
  // Names of the files of the dossier folder (not its sub-folders).
  std::set<std::string> Files() const {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(Dir()))
      if (e.is_regular_file()) names.insert(e.path().filename().string());
    return names;
  }
  // C50's records as "recno:field 4", in physical order, and whether its tags hold them.
  std::vector<std::string> Draft(dbase::DBIResult* check) {
    Table c50;
    EXPECT_TRUE(c50.OpenShared(DossierPath(TableKind::C50), "", true));
    std::vector<std::string> out;
    for (bool more = c50.GoTop(""); more; more = c50.Skip(1))
      out.push_back(std::to_string(c50.recordNumber) + ":" + RTrim(c50.GetField(4)) + (c50.IsDeleted() ? "*" : ""));
    *check = dbase::DbiCheckIndex(c50.Engine().cursor, false);
    c50.CloseTable(true);
    return out;
  }
};

// A run undone after a pack of C50 killed just before the new data file's rename: the put-back
// removes the pack's files (and a temporary) before the copies go back, keeps the dossier's
// other files, and the draft opens as it was, its tags holding its records.
TEST_F(AsideCopiesTest, APutBackRemovesWhatTheRunLeftBeforeTheCopiesGoBack) {
  const std::string c50 = DossierPath(TableKind::C50);
  std::ofstream(Dir() + "/c10tst.ini") << "[Dossier]\n";
  AsideCopies copies;
  ASSERT_TRUE(Copy(&copies));
  dbase::DBIResult check = dbase::DBIERR_NONE;
  const std::vector<std::string> before = Draft(&check);
  const std::set<std::string> files = Files();
  const int status = test_support::RunInChild([&] {
    const test_support::SetUpPermit run("traitement");
    Table t;
    if (!t.OpenExclusive(c50)) return 1;
    for (long r = 1; r <= 6; ++r) {
      t.GoTo(r);
      t.DeleteRecord(nullptr, 0);
    }
    test_support::KillWhen(c50 + ".dbf.pack", c50 + ".mdx.pack");
    t.Pack();
    return 2;
  });
  ASSERT_EQ(status, 128 + SIGKILL);
  ASSERT_TRUE(fs::exists(c50 + ".dbf.pack"));
  std::ofstream(c50 + ".mdx.tmp999-1") << "half";
  std::string why;
  ASSERT_TRUE(PutBackAsideCopies(Dir() + "/", copies, &why)) << why;
  // The journal of an index put back goes with what the run left: it was the replaced index's.
  std::set<std::string> kept = files;
  for (const std::string& journal : {Base(TableKind::C50) + ".mdx.journal", Base(TableKind::C60) + ".mdx.journal"})
    kept.erase(journal);
  EXPECT_EQ(Files(), kept);
  EXPECT_FALSE(fs::exists(Dir() + "/run-tst"));
  EXPECT_EQ(Draft(&check), before);
  EXPECT_EQ(check, dbase::DBIERR_NONE);
}

// The copies go only when every table put back opens and its tags hold its records: a copy
// that does not open keeps them (the put-back fails, naming the copy); an index copied a
// record short is made again from the records, and then they go.
TEST_F(AsideCopiesTest, TheCopiesGoOnlyOnceEveryTablePutBackIsSound) {
  const std::string c50 = DossierPath(TableKind::C50);
  AsideCopies copies;
  ASSERT_TRUE(Copy(&copies));
  const std::string copy = Dir() + "/run-tst/" + Base(TableKind::C50) + ".dbf";
  const std::string saved = Read("run-tst/" + Base(TableKind::C50) + ".dbf");
  fs::resize_file(copy, 20);
  std::string why;
  EXPECT_FALSE(PutBackAsideCopies(Dir() + "/", copies, &why));
  EXPECT_NE(why.find(copy), std::string::npos) << why;
  EXPECT_TRUE(fs::exists(Dir() + "/run-tst"));
  std::ofstream(c50 + ".dbf", std::ios::binary | std::ios::trunc) << saved;
  fs::remove_all(Dir() + "/run-tst");

  // A copy of the data file taken after one more record than its index's copy.
  ASSERT_TRUE(Copy(&copies));
  {
    Table t;
    ASSERT_TRUE(t.OpenShared(c50));
    Add(t, {"J9", "2601", "AA", "999"});
    t.CloseTable(true);
    fs::copy_file(c50 + ".dbf", copy, fs::copy_options::overwrite_existing);
  }
  ASSERT_TRUE(PutBackAsideCopies(Dir() + "/", copies, &why)) << why;
  EXPECT_FALSE(fs::exists(Dir() + "/run-tst"));
  dbase::DBIResult check = dbase::DBIERR_INDEXCORRUPT;
  EXPECT_EQ(Draft(&check).back(), "13:999");
  EXPECT_EQ(check, dbase::DBIERR_NONE);
}

// The folder's files (sub-folders included) with their bytes, by path below the folder.
std::map<std::string, std::string> Tree(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(folder))
    if (e.is_regular_file()) {
      std::ifstream in(e.path(), std::ios::binary);
      files[fs::relative(e.path(), folder).string()] = std::string(std::istreambuf_iterator<char>(in), {});
    }
  return files;
}

// A put-back first checks its copies: one missing, a data file cut short, or a copy its list
// leaves out (the list would take that table's files for files the run made) refuse it before
// anything is removed or renamed, naming the copy. A put-back stopped half-way (a copy it could
// not rename, or its sub-folder removed already) goes on when run again, the copies it put in
// place known by their identity; and the files of those tables that had no copy, made by the
// run, go.
TEST_F(AsideCopiesTest, APutBackChecksEveryCopyBeforeItChangesAnything) {
  const std::string c50 = Base(TableKind::C50), c60 = Base(TableKind::C60);
  struct Case {
    const char* what;
    std::function<void(AsideCopies*)> damage;
    std::string named;  // in the refusal; empty: the put-back goes through
  } cases[] = {
      {"copy missing", [&](AsideCopies*) { fs::remove(Dir() + "/run-tst/" + c50 + ".dbf"); }, c50 + ".dbf"},
      {"data copy cut short",
       [&](AsideCopies*) { fs::resize_file(Dir() + "/run-tst/" + c60 + ".dbf", fs::file_size(Dir() + "/run-tst/" + c60 + ".dbf") - 200); },
       c60 + ".dbf"},
      {"list missing a copy",
       [&](AsideCopies* c) {
         c->files.erase(std::remove(c->files.begin(), c->files.end(), c50 + ".dbf"), c->files.end());
       },
       c50 + ".dbf"},
      {"nothing damaged", [](AsideCopies*) {}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // Thirty records copied, thirty more written by the run.
    std::uint32_t copied = 0;
    AsideCopies copies;
    {
      Table t;
      ASSERT_TRUE(t.OpenShared(DossierPath(TableKind::C60)));
      for (int i = 0; i < 30; ++i) Add(t, {"J1", "2601", "X" + std::to_string(i)});
      copied = t.RecCount();
    }
    ASSERT_TRUE(Copy(&copies));
    {
      Table t;
      ASSERT_TRUE(t.OpenShared(DossierPath(TableKind::C60)));
      for (int i = 0; i < 30; ++i) Add(t, {"J1", "2601", "Y" + std::to_string(i)});
    }
    std::ofstream(Dir() + "/" + c50 + ".dbt.tmp1-1") << "a temporary the run left";
    c.damage(&copies);
    const auto before = Tree(Dir());
    std::string why;
    if (!c.named.empty()) {
      EXPECT_FALSE(PutBackAsideCopies(Dir() + "/", copies, &why));
      EXPECT_NE(why.find("run-tst/" + c.named), std::string::npos) << why;
      EXPECT_TRUE(Tree(Dir()) == before) << "a file changed";
      fs::remove_all(Dir() + "/run-tst");
      fs::remove(Dir() + "/" + c50 + ".dbt.tmp1-1");
      continue;
    }
    // A rename refused (a folder in the last copy's place), after the tables before it went through.
    const std::string last = Dir() + "/" + copies.files.back();
    fs::remove(last);
    fs::create_directories(last + "/x");
    // A file of those tables that had no copy: the run made it.
    std::ofstream(Dir() + "/" + c60 + ".dbt") << "made by the run";
    EXPECT_FALSE(PutBackAsideCopies(Dir() + "/", copies, &why));
    EXPECT_NE(why.find(copies.files.back()), std::string::npos) << why;
    fs::remove_all(last);
    // Stopped again once every copy was in place and the sub-folder gone, before its note went
    // (the copies of the table refused taken back into the sub-folder, put in place by hand).
    for (const auto& e : fs::directory_iterator(Dir() + "/run-tst"))
      fs::rename(e.path(), Dir() + "/" + e.path().filename().string());
    fs::remove_all(Dir() + "/run-tst");
    ASSERT_TRUE(fs::exists(Dir() + "/run-tst.remise"));
    ASSERT_TRUE(PutBackAsideCopies(Dir() + "/", copies, &why)) << why;
    EXPECT_FALSE(fs::exists(Dir() + "/run-tst"));
    EXPECT_FALSE(fs::exists(Dir() + "/run-tst.remise"));
    EXPECT_FALSE(fs::exists(Dir() + "/" + c60 + ".dbt"));
    EXPECT_FALSE(fs::exists(Dir() + "/" + c50 + ".dbt.tmp1-1"));
    Table t;
    ASSERT_TRUE(t.OpenShared(DossierPath(TableKind::C60)));
    EXPECT_EQ(t.RecCount(), copied);
    EXPECT_EQ(dbase::DbiCheckIndex(t.Engine().cursor, false), dbase::DBIERR_NONE);
  }
}

// Each refusal is one whole sentence with the folder or the copy it names in its place: a
// sub-folder name that is no plain name, a sub-folder gone over a table not whole, a copy the list
// leaves out, a copy missing or cut short, and a copy that cannot take its file's place (and why).
TEST_F(AsideCopiesTest, EachRefusalNamesItsFolderOrCopyInItsPlace) {
  const std::string folder = Dir() + "/";
  const std::string aside = folder + "run-tst/";
  const std::string c50 = Base(TableKind::C50) + ".dbf", c60 = Base(TableKind::C60) + ".dbf";
  const struct Case {
    const char* what;
    std::function<bool(AsideCopies&, std::string*)> run;
    std::string said;
  } cases[] = {
      {"sub-folder name refused",
       [&](AsideCopies& c, std::string* why) {
         return MakeAsideCopies(folder, "../x/", {Base(TableKind::C50)}, &c, why);
       },
       "dossier des copies impossible: " + folder + "../x/"},
      {"sub-folder gone, a table cut short",
       [&](AsideCopies& c, std::string* why) {
         fs::remove_all(aside);
         const std::string table = folder + c60, saved = table + ".saved";
         fs::copy_file(table, saved);
         fs::resize_file(table, fs::file_size(table) - 20);
         const bool complete = AsideCopiesComplete(folder, c, why);
         fs::rename(saved, table);
         return complete;
       },
       "dossier des copies absent: " + aside},
      {"copy the list leaves out",
       [&](AsideCopies& c, std::string* why) {
         c.files.erase(std::remove(c.files.begin(), c.files.end(), c50), c.files.end());
         return AsideCopiesComplete(folder, c, why);
       },
       "copie que le suivi du traitement ne nomme pas: " + aside + c50},
      {"copy missing",
       [&](AsideCopies& c, std::string* why) {
         fs::remove(aside + c50);
         return AsideCopiesComplete(folder, c, why);
       },
       "copie manquante: " + aside + c50},
      {"copy cut short",
       [&](AsideCopies& c, std::string* why) {
         fs::resize_file(aside + c60, 20);
         return AsideCopiesComplete(folder, c, why);
       },
       "copie incompl\xE8te ou endommag\xE9" "e: " + aside + c60},
      {"copy that cannot take its place",
       [&](AsideCopies& c, std::string* why) {
         const std::string last = folder + c.files.back();
         fs::remove(last);
         fs::create_directories(last + "/x");
         const bool back = PutBackAsideCopies(folder, c, why);
         fs::remove_all(last);
         fs::rename(aside + c.files.back(), last);
         return back;
       },
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    AsideCopies copies;
    ASSERT_TRUE(Copy(&copies));
    std::string why;
    EXPECT_FALSE(c.run(copies, &why));
    EXPECT_EQ(why, c.said.empty() ? "remise en place impossible de " + folder + copies.files.back() + ": c'est un dossier"
                                   : c.said);
    fs::remove_all(aside);
    fs::remove(folder + "run-tst.remise");
  }
}

// A put-back whose rename of one copy is refused (EIO, once) stops there: the table whose copy it
// was moving is left whole, the run's (the copies of it already renamed taken back into the
// sub-folder), and every table after it as it was; run again, it goes through. Once every copy is
// in place and the sub-folder and the note are gone, a put-back finds it done and changes
// nothing, over whole tables only.
TEST_F(AsideCopiesTest, ARefusedRenameLeavesEachTableWholeAndADonePutBackIsKnown) {
  const std::string folder = Dir() + "/";
  AsideCopies copies;
  ASSERT_TRUE(Copy(&copies));
  {
    // The run's changes, in both tables.
    Table c50, c60;
    ASSERT_TRUE(c50.OpenShared(DossierPath(TableKind::C50)));
    Add(c50, {"J9", "2601", "AA", "999"});
    ASSERT_TRUE(c60.OpenShared(DossierPath(TableKind::C60)));
    Add(c60, {"J1", "2601", "Z"});
  }
  dbase::DBIResult check = dbase::DBIERR_NONE;
  const std::vector<std::string> run = Draft(&check);
  const auto changed = Tree(Dir());
  ASSERT_GE(copies.files.size(), 3u);
  for (std::size_t refused = 0; refused < copies.files.size(); ++refused) {
    SCOPED_TRACE("rename of " + copies.files[refused] + " refused");
    static std::string change;
    change = "rename " + folder + copies.folder + copies.files[refused];
    dbase::BeforeFileChange = [] {
      if (platform::ChangeBeingMade() != change) return;
      platform::SetWriteFault(platform::WriteFault::kFailOnce, 1);
      dbase::BeforeFileChange = nullptr;
    };
    std::string why;
    EXPECT_FALSE(PutBackAsideCopies(folder, copies, &why));
    dbase::BeforeFileChange = nullptr;
    platform::SetWriteFault(platform::WriteFault::kNone, 0);
    EXPECT_EQ(why, "remise en place impossible de " + folder + copies.files[refused] +
                       ": erreur d'\xE9" "criture sur le disque");
    // Each table the run's or the copy's: the tables before the refused one put back, the others not.
    const auto now = Tree(Dir());
    const std::string table = copies.files[refused].substr(0, copies.files[refused].rfind('.'));
    for (const std::string& f : copies.files) {
      const bool before = f < table;
      EXPECT_EQ(now.count(f) != 0 && now.at(f) == changed.at("run-tst/" + f), before) << f;
      EXPECT_EQ(now.count("run-tst/" + f) != 0, !before) << f;
      EXPECT_EQ(now.count(f + ".avant"), 0u) << f;
    }
  }
  std::string why;
  ASSERT_TRUE(PutBackAsideCopies(folder, copies, &why)) << why;
  EXPECT_NE(Draft(&check), run);
  EXPECT_EQ(check, dbase::DBIERR_NONE);
  const auto back = Tree(Dir());

  // Done: the copies and the note gone over whole tables.
  EXPECT_TRUE(AsideCopiesPutBackDone(folder, copies));
  EXPECT_TRUE(AsideCopiesComplete(folder, copies, &why)) << why;
  EXPECT_TRUE(PutBackAsideCopies(folder, copies, &why)) << why;
  EXPECT_TRUE(Tree(Dir()) == back) << "a file changed";
  const std::string c50 = DossierPath(TableKind::C50) + ".dbf";
  fs::resize_file(c50, fs::file_size(c50) - 20);
  EXPECT_FALSE(AsideCopiesPutBackDone(folder, copies));
  EXPECT_FALSE(PutBackAsideCopies(folder, copies, &why));
  EXPECT_EQ(why, "dossier des copies absent: " + folder + copies.folder);
}

}  // namespace
}  // namespace data_test
