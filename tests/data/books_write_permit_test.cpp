// The permit to write the books: every write of the lines (C40, C50), the sort file (C60) and the
// running totals (C10 journal-month headers, C20, C30) made while no change of lines or run lives
// is refused by the table layer, naming the file, and nothing is written; the same write under a
// permit goes through; a master-data field is never refused; the test kit's hook stops a test at once.
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "data/account_totals.h"
#include "data/books_write_permit.h"
#include "data/line_change_steps.h"
#include "data/record_fields.h"
#include "data/table_create.h"
#include "data/table_results.h"
#include "runtime/numbers.h"
#include "platform/system/files.h"
#include "data_test_util.h"
#include "support/books_writes.h"

namespace data_test {
namespace {

using test_support::BooksWriteRefusals;
using test_support::SetUpPermit;

class BooksWritePermitTest : public DataTest {
 protected:
  void SetUp() override {
    DataTest::SetUp();
    CreateDossier();
    for (TableKind kind : DossierKinds()) ASSERT_TRUE(GlobalTable(kind)->OpenShared(DossierPath(kind)));
    const SetUpPermit permit("dossier d'essai");
    Add(*TableC10, {"0", "", "Dossier"});
    Add(*TableC10, {"C", "0126ACH", "Achats janvier", Amount(12.5) + Amount(0)});
    Add(*TableC10, {"J", "ACH", "Achats"});
    AddAccount("60100000", 12.5);
    AddAccount("40100000", 0);
    Add(*TableC30, {"SECT1", "Section", "", "", "", "", "", "", "12.50"});
    Add(*TableC40, {"Z", "60100000", "0126", "01", "ACH", "000001"});
    Add(*TableC50, {"Z", "0126", "ACH", "000001", "", "0001"});
    Add(*TableC50, {"Z", "0126", "ACH", "000001", "", "0002"});
    Add(*TableC60, {"Z", "60100000", "0126", "01"});
    ASSERT_TRUE(TableC50->GoTo(2));
    ASSERT_TRUE(TableC50->DeleteRecord(nullptr, 0));
  }

  static std::string Amount(double value) { return FormatNumber(14, 2, false, value); }
  static void AddAccount(const std::string& code, double debit) {
    ASSERT_TRUE(TableC20->AppendBlank());
    ASSERT_TRUE(TableC20->PutField(1, code.c_str()));
    ASSERT_TRUE(TableC20->PutField(2, "Compte"));
    ASSERT_TRUE(TableC20->PutFieldNum(17, debit));
    ASSERT_TRUE(TableC20->InsertRecord());
  }

  // Every byte of the dossier's tables, to tell that nothing was written.
  std::string Books() const {
    std::string all;
    for (TableKind kind : DossierKinds()) all += Read(TableBaseName(kind, "TST") + ".dbf");
    return all;
  }
};

// One write, as a caller makes it: true when the table layer let it through.
struct BooksCase {
  const char* what;
  TableKind kind;
  std::uint32_t record;    // made current first (0: none)
  const char* field;       // the field the refusal names ("" none)
  bool refused;            // outside a permit
  std::function<bool(Table&)> make;
  bool alone = false;  // made on the table held alone
};

TEST_F(BooksWritePermitTest, WritesOfTheBooksNeedAPermitMasterDataDoNot) {
  const std::vector<BooksCase> writes = {
      {"a draft line's label", TableKind::C50, 1, "BLIB", true, [](Table& t) { return t.PutField(12, "Autre"); }},
      {"a draft line's amount", TableKind::C50, 1, "BMONTANTE", true,
       [](Table& t) { return t.PutFieldNum(19, 3.5); }},
      {"a draft line's amount blanked", TableKind::C50, 1, "BMONTANTE", true,
       [](Table& t) { return BlankNumberField(t, 19); }},
      {"a draft line appended", TableKind::C50, 0, "", true,
       [](Table& t) { return t.AppendBlank() && t.PutField(1, "Z") && t.InsertRecord(); }},
      {"draft lines queued", TableKind::C50, 0, "", true,
       [](Table& t) {
         if (!t.AppendBlank()) return false;
         t.QueueRecord(false);
         return t.AppendQueued();
       }},
      {"a draft line cancelled", TableKind::C50, 1, "", true, [](Table& t) { return t.DeleteRecord(nullptr, 0); }},
      {"a draft line reactivated", TableKind::C50, 2, "", true, [](Table& t) { return t.RecallRecord(nullptr, 0); }},
      {"a draft line rewritten whole", TableKind::C50, 1, "", true,
       [](Table& t) {
         t.BeginRewrite();
         t.PutField(12, "Refaite");
         return t.EndRewrite(true);
       }},
      {"a closed line's account", TableKind::C40, 1, "DCODE", true, [](Table& t) { return t.PutField(2, "60200000"); }},
      {"a sort record's day", TableKind::C60, 1, "TJOUR", true, [](Table& t) { return t.PutField(4, "02"); }},
      {"the sort file emptied", TableKind::C60, 0, "", true, [](Table& t) { return t.Zap(); }, true},
      {"an account's debit", TableKind::C20, 1, "CDEBITF", true, [](Table& t) { return t.PutFieldNum(17, 1); }},
      {"an account's euro credit", TableKind::C20, 1, "CCREDITE", true, [](Table& t) { return t.PutFieldNum(20, 1); }},
      {"a section's debit", TableKind::C30, 1, "ADEBITF", true, [](Table& t) { return t.PutField(9, "1.00"); }},
      {"a journal-month header's totals", TableKind::C10, 2, "GZONE1", true,
       [](Table& t) { return t.PutField(4, (Amount(13) + Amount(0)).c_str()); }},
      {"an account appended with totals", TableKind::C20, 0, "CDEBITF", true,
       [](Table& t) { return t.AppendBlank() && t.PutField(1, "70000000") && t.PutFieldNum(17, 2) && t.InsertRecord(); }},

      // Master data: labels, a new account without totals, the dossier record, a header's label.
      {"an account's label", TableKind::C20, 1, "", false, [](Table& t) { return t.PutField(2, "Achats"); }},
      {"an account's totals written as they stand", TableKind::C20, 1, "", false,
       [](Table& t) { return t.PutFieldNum(17, t.GetFieldNum(17)); }},
      {"an account without totals appended", TableKind::C20, 0, "", false,
       [](Table& t) { return t.AppendBlank() && t.PutField(1, "70100000") && t.InsertRecord(); }},
      {"an account without totals cancelled", TableKind::C20, 2, "", false,
       [](Table& t) { return t.DeleteRecord(nullptr, 0); }},
      // A delete mark changes no total's value: the chart's own (an account cancelled when its balance is nil).
      {"an account with totals cancelled", TableKind::C20, 1, "", false, [](Table& t) { return t.DeleteRecord(nullptr, 0); }},
      {"an account with totals reactivated", TableKind::C20, 1, "", false,
       [](Table& t) { return t.RecallRecord(nullptr, 0); }},
      {"a section's label", TableKind::C30, 1, "", false, [](Table& t) { return t.PutField(2, "Atelier"); }},
      {"a section's memo", TableKind::C30, 1, "", false, [](Table& t) { return t.PutMemo(19, "Note"); }},
      {"the dossier record's zone", TableKind::C10, 1, "", false, [](Table& t) { return t.PutField(4, "O        0"); }},
      {"a journal's zone", TableKind::C10, 3, "", false, [](Table& t) { return t.PutField(4, "512"); }},
      {"a header's label", TableKind::C10, 2, "", false, [](Table& t) { return t.PutField(3, "Achats"); }},
      {"the draft packed", TableKind::C50, 0, "", true, [](Table& t) { return t.Pack(); }, true},
      {"the accounts packed", TableKind::C20, 0, "", false, [](Table& t) { return t.Pack(); }, true},
  };
  for (const BooksCase& w : writes) {
    SCOPED_TRACE(w.what);
    Table& table = *GlobalTable(w.kind);
    const std::string path = table.tablePath;
    const bool exclusive = w.alone;
    if (exclusive) ASSERT_TRUE(table.OpenExclusive(path));
    if (w.record != 0) ASSERT_TRUE(table.GoTo(w.record));
    const std::string before = Books();
    {
      BooksWriteRefusals refusals;
      const bool went = w.make(table);
      if (w.refused) {
        EXPECT_FALSE(went);
        EXPECT_EQ(table.result, kResultBooksWriteRefused);
        EXPECT_TRUE(Books() == before) << "written all the same";
        ASSERT_EQ(refusals.seen().size(), 1u);
        EXPECT_EQ(refusals.seen()[0].file, path);
        EXPECT_EQ(refusals.seen()[0].field, w.field);
        EXPECT_NE(ReadLog().find(BooksWriteRefusalText(refusals.seen()[0])), std::string::npos) << ReadLog();
        EXPECT_NE(BooksWriteRefusalText(refusals.seen()[0]).find(path), std::string::npos);
      } else {
        EXPECT_TRUE(went) << table.result;
        EXPECT_TRUE(refusals.seen().empty()) << refusals.seen()[0].file << " " << refusals.seen()[0].field;
      }
    }
    if (w.refused) {
      // The same write under a run's or a change's permit goes through.
      if (w.record != 0) ASSERT_TRUE(table.GoTo(w.record));
      const BooksWritePermit permit("validation", BooksScope::OpenDossier());
      EXPECT_TRUE(w.make(table)) << table.result;
      EXPECT_TRUE(Books() != before) << "not written under a permit";
    }
    if (exclusive) ASSERT_TRUE(table.OpenShared(path));
  }
}

// A permit opens the books of the dossier it names, no other's: the same write of a line under a
// permit of another folder or another code is refused; the folder may be named any way that reaches it.
TEST_F(BooksWritePermitTest, APermitOpensOnlyTheDossierItNames) {
  const std::string other = Dir() + "/autre/";
  ASSERT_TRUE(platform::MakeDirectories(other));
  const struct {
    const char* what;
    BooksScope scope;
    bool refused;
  } scopes[] = {
      {"another folder, the same code", {other, "TST"}, true},
      {"the same folder, another code", {DossierFolder, "AUT"}, true},
      {"the open dossier", BooksScope::OpenDossier(), false},
      {"its code in lower case", {DossierFolder, "tst"}, false},
      {"every dossier of its folder", {DossierFolder, ""}, false},
      {"its folder named through another", {other + "../", "TST"}, false},
  };
  for (const auto& c : scopes) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(TableC50->GoTo(1));
    const std::string before = Books();
    BooksWriteRefusals refusals;
    const BooksWritePermit permit("validation", c.scope);
    const bool went = TableC50->PutField(12, c.what);
    EXPECT_EQ(went, !c.refused);
    EXPECT_EQ(refusals.seen().size(), c.refused ? 1u : 0u);
    if (c.refused) {
      EXPECT_EQ(Books(), before);
    }
  }
}

// A table's file written over whole (a table copied onto it, one made anew in its place) empties the
// lines it held: refused without a permit covering it, as every other write of the books; a table
// made where none stands is not concerned.
TEST_F(BooksWritePermitTest, ATableOfTheBooksWrittenOverWholeNeedsItsPermit) {
  const std::string copySource = DossierFolder + "c50new";
  ASSERT_EQ(CreateTableOfKind(TableKind::C50, copySource), 0);
  for (TableKind kind : DossierKinds()) GlobalTable(kind)->CloseTable(true);
  const struct {
    const char* what;
    TableKind kind;
    std::function<bool()> make;
  } writes[] = {
      {"the draft made anew", TableKind::C50,
       [] { return CreateTableOfKind(TableKind::C50, DossierPath(TableKind::C50), true) == 0; }},
      {"the closed lines made anew", TableKind::C40,
       [] { return CreateTableOfKind(TableKind::C40, DossierPath(TableKind::C40), true) == 0; }},
      {"a table copied onto the draft", TableKind::C50,
       [&copySource] {
         Table source;
         const std::string draft = DossierPath(TableKind::C50) + ".dbf";
         const bool copied = source.OpenExclusive(copySource, "", true) && source.CopyTable(draft.c_str());
         source.CloseTable(true);
         return copied;
       }},
  };
  for (const auto& w : writes) {
    SCOPED_TRACE(w.what);
    const std::string before = Books();
    {
      BooksWriteRefusals refusals;
      EXPECT_FALSE(w.make());
      ASSERT_EQ(refusals.seen().size(), 1u);
      EXPECT_EQ(refusals.seen()[0].write, BooksWrite::Replace);
      EXPECT_NE(refusals.seen()[0].file.find(TableBaseName(w.kind, "TST")), std::string::npos);
      EXPECT_EQ(Books(), before);
      const BooksWritePermit another("validation", {DossierFolder, "AUT"});
      EXPECT_FALSE(w.make());
      EXPECT_EQ(refusals.seen().size(), 2u);
      EXPECT_EQ(Books(), before);
    }
    const BooksWritePermit permit("reconstruction", BooksScope::OpenDossier());
    EXPECT_TRUE(w.make());
  }
  // Made where none stands: nothing written over.
  EXPECT_EQ(CreateTableOfKind(TableKind::C50, DossierFolder + "c50neuf", true), 0);
}

// A change of lines holds its permit once its note stands: a write before Begin is refused, the same
// write after it goes through.
TEST_F(BooksWritePermitTest, AChangeWritesOnlyOnceItsNoteStands) {
  ASSERT_TRUE(TableC50->GoTo(1));
  const std::string before = Books();
  LineChangeSteps steps(LineChangeKind::LineSaved);
  {
    BooksWriteRefusals refusals;
    EXPECT_FALSE(TableC50->PutField(12, "Avant la note"));
    EXPECT_EQ(refusals.seen().size(), 1u);
    EXPECT_EQ(Books(), before);
  }
  steps.Note().Line(1);
  ASSERT_TRUE(steps.Begin());
  EXPECT_TRUE(TableC50->PutField(12, "Apres la note"));
  EXPECT_TRUE(steps.Done());
}

// A window that read an account before its totals moved, then writes its label from what it read,
// would put the old totals back: refused, since it writes totals.
TEST_F(BooksWritePermitTest, AnAccountWrittenFromAnOldReadingIsRefused) {
  Table form;
  ASSERT_TRUE(form.OpenShared(DossierPath(TableKind::C20), "C20CODE"));
  ASSERT_TRUE(form.Seek("C20CODE", "60100000"));
  {
    const BooksWritePermit permit("enregistrement d'une ligne", BooksScope::OpenDossier());
    TotalsMoves moves;
    moves.Account("60100000", TotalsCents::OnSense('D', 500, 76));
    ASSERT_TRUE(moves.Make());
  }
  BooksWriteRefusals refusals;
  form.BeginRewrite();
  form.PutField(2, "Achats de marchandises");
  EXPECT_FALSE(form.EndRewrite(true));
  ASSERT_EQ(refusals.seen().size(), 1u);
  EXPECT_EQ(refusals.seen()[0].field, "CDEBITF");
  ASSERT_TRUE(TableC20->Seek("C20CODE", "60100000"));
  EXPECT_DOUBLE_EQ(TableC20->GetFieldNum(17), 17.5);
  // Read again, the label goes through.
  ASSERT_TRUE(form.Seek("C20CODE", "60100000"));
  EXPECT_TRUE(form.PutField(2, "Achats de marchandises"));
  EXPECT_EQ(refusals.seen().size(), 1u);
}

TEST_F(BooksWritePermitTest, PermitsNestAndNameWhatLives) {
  ASSERT_TRUE(TableC50->GoTo(1));
  BooksWriteRefusals refusals;
  EXPECT_FALSE(BooksWritePermit::Living());
  {
    const BooksWritePermit run("ajout-dossier", BooksScope::OpenDossier());
    {
      const BooksWritePermit inner("reconstruction", BooksScope::OpenDossier());
      EXPECT_EQ(BooksWritePermit::LivingNames(), (std::vector<std::string>{"ajout-dossier", "reconstruction"}));
      EXPECT_TRUE(TableC50->PutField(12, "Dans les deux"));
    }
    // The inner run ended: the outer one still holds the books.
    EXPECT_TRUE(BooksWritePermit::Living());
    EXPECT_TRUE(TableC50->PutField(12, "Dans l'ajout"));
  }
  EXPECT_TRUE(BooksWritePermit::LivingNames().empty());
  EXPECT_FALSE(TableC50->PutField(12, "Hors de tout"));
  EXPECT_EQ(refusals.seen().size(), 1u);
  ASSERT_TRUE(TableC50->GoTo(1));
  EXPECT_EQ(std::string(RTrim(TableC50->GetField(12))), "Dans l'ajout");
}

// A folder's key is worked out once for the dossier set, not for each permit: a link of its path
// changed since is followed once another dossier is set (SetDossier). A folder that does not exist
// yet is not kept: made a link since, it is followed at once.
TEST_F(BooksWritePermitTest, AFoldersKeyIsKeptForTheDossierAndWorkedOutAgainForTheNext) {
  namespace fs = std::filesystem;
  const std::string a = Dir() + "/a", b = Dir() + "/b", link = Dir() + "/lien", later = Dir() + "/plus-tard";
  fs::create_directories(a);
  fs::create_directories(b);
  fs::create_directory_symlink(a, link);
  const std::string folder = DossierFolder, code = DossierCode;
  SetDossier(link + "/", "TST");
  EXPECT_EQ(BooksFolderKey(link + "/"), fs::canonical(a).generic_string());
  EXPECT_EQ(BooksFolderKey(later), fs::absolute(later).lexically_normal().generic_string());
  fs::remove(link);
  fs::create_directory_symlink(b, link);
  fs::create_directory_symlink(b, later);
  EXPECT_EQ(BooksFolderKey(link + "/"), fs::canonical(a).generic_string());
  EXPECT_EQ(BooksFolderKey(later), fs::canonical(b).generic_string());
  SetDossier(link + "/", "TST");
  EXPECT_EQ(BooksFolderKey(link + "/"), fs::canonical(b).generic_string());
  SetDossier(folder, code);
}

// The kit's hook, installed in every test program, stops a test that writes the books outside a
// change or a run, naming the file, the field and the caller.
TEST_F(BooksWritePermitTest, TheKitStopsATestThatWritesOutside) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  ASSERT_TRUE(TableC50->GoTo(1));
  EXPECT_DEATH(TableC50->PutField(12, "Dehors"), "c50tst\\.dbf, field BLIB, field(.|\n)*Table::PutField");
  ASSERT_TRUE(TableC20->GoTo(1));
  EXPECT_DEATH(TableC20->PutFieldNum(19, 1), "c20tst\\.dbf, field CCREDITF");
}

}  // namespace
}  // namespace data_test
