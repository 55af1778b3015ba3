// The table object: opening, walking in natural and tag order, seeking, fields, appends,
// soft deletion and the programming-error boxes.
#include <climits>
#include <fstream>
#include <functional>
#include <type_traits>

#include "data/error_report.h"
#include "data_test_util.h"
#include "data/lookup.h"
#include "support/refused_read.h"
#include "support/refused_write.h"

using namespace data_test;

namespace {

// CODE C6, NAME C12, KIND C1, AMOUNT N5.2, NOTE M, with three tags.
const TableStructure& Small() {
  static const TableStructure s{TableKind::Unknown,
                                "T*",
                                {{"CODE", 'C', 6, 0}, {"NAME", 'C', 12, 0}, {"KIND", 'C', 1, 0},
                                 {"AMOUNT", 'N', 5, 2}, {"NOTE", 'M', 10, 0}},
                                {{"TCODE", "CODE", "", {1}, 0},
                                 {"TNAME", "UPPER(NAME)", "", {2}, 0},
                                 {"TLIVE", "KIND+CODE", "KIND#'X'", {3, 1}, 0}}};
  return s;
}

class TableOps : public DataTest {
 protected:
  void SetUp() override {
    DataTest::SetUp();
    Create(Small(), File("SMALL"));
    t = TableCXX;
    ASSERT_TRUE(t->OpenShared(File("small"), ""));
    // Natural order 1..4.
    Add(*t, {"C3", "delta", "W"});
    Add(*t, {"A1", "alpha", "X"});
    Add(*t, {"B2", "Charlie", "Y"});
    Add(*t, {"D4", "bravo", "Y"});
    Boxes().clear();
    Beeps() = 0;
  }
  Table* t = nullptr;
};

}  // namespace

// ---------------------------------------------------------------- opening

TEST_F(DataTest, OpenKeepsFolderCaseAndLowersTheFileName) {
  std::filesystem::create_directories(File("Dossiers/Demo"));
  Create(Small(), File("Dossiers/Demo/C20DEMO"));  // upper-case file, as copied from elsewhere
  struct Case { std::string given; std::string tag; };
  const Case cases[] = {{"Dossiers/Demo/C20DEMO", ""}, {"Dossiers/Demo/c20demo.dbf", "TNAME"}};
  for (const Case& c : cases) {
    Table& t = *TableC20;
    ASSERT_TRUE(t.OpenShared(File(c.given), c.tag)) << c.given << " " << t.result;
    EXPECT_EQ(t.tablePath, File("Dossiers/Demo/c20demo.dbf"));
    EXPECT_EQ(t.indexPath, c.tag.empty() ? "" : File("Dossiers/Demo/c20demo.mdx"));
    EXPECT_EQ(t.tag, std::string(Upper(c.tag.c_str())));
    t.CloseTable(true);
  }
  // Another folder case is another folder.
  EXPECT_FALSE(TableC20->OpenShared(File("dossiers/demo/c20demo"), ""));
  EXPECT_TRUE(Boxes().empty()) << "a failed opening shows nothing";
}

// UseShared on a table another window holds open keeps its cursor and its record lock,
// switching only the order; on another file it opens afresh.
TEST_F(TableOps, UseSharedKeepsAnOpenCursorAndItsLock) {
  ASSERT_TRUE(t->GoTo(3));
  ASSERT_TRUE(LockRecord(*t, nullptr, 0));
  const dbase::hDBICur cursor = t->Engine().cursor;
  struct Case {
    const char* tag;
    const char* tagAfter;
  } cases[] = {{"", ""}, {"TNAME", "TNAME"}, {"tcode", "TCODE"}};
  for (const Case& c : cases) {
    ASSERT_TRUE(t->UseShared(File("SMALL.dbf"), c.tag)) << c.tag;
    EXPECT_EQ(t->Engine().cursor, cursor) << c.tag;
    EXPECT_EQ(t->tag, c.tagAfter);
  }
  // Record 3 is still locked by this cursor: its lock can be let go.
  ASSERT_TRUE(t->GoTo(3));
  EXPECT_EQ(dbase::DbiRelRecordLock(t->Engine().cursor, false), dbase::DBIERR_NONE) << "the lock was lost";
  Create(Small(), File("other"));
  ASSERT_TRUE(t->UseShared(File("other"), "TCODE"));
  EXPECT_EQ(t->tablePath, File("other.dbf"));
  EXPECT_EQ(t->RecCount(), 0u);
  EXPECT_TRUE(Boxes().empty());
}

// ---------------------------------------------------------------- walking and seeking

TEST_F(TableOps, WalksInNaturalAndTagOrder) {
  struct Case { const char* tag; std::vector<std::string> expected; };
  const Case cases[] = {
      {"", {"1:C3", "2:A1", "3:B2", "4:D4"}},
      {"tname", {"2:A1", "4:D4", "3:B2", "1:C3"}},  // UPPER(NAME): alpha, bravo, Charlie, delta
      {"TLIVE", {"1:C3", "3:B2", "4:D4"}},          // KIND+CODE for KIND # "X"
  };
  for (const Case& c : cases) EXPECT_EQ(Walk(*t, c.tag), c.expected) << c.tag;
}

TEST_F(TableOps, SeeksTheFirstRecordOfAKeyPrefix) {
  struct Case { const char* tag; const char* k1; const char* k2; bool found; std::uint32_t recno; };
  const Case cases[] = {
      {"TCODE", "B", "", true, 3}, {"TCODE", "Z", "", false, 0}, {"TNAME", "CH", "", true, 3},
      {"TLIVE", "Y", "D", true, 4},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(t->Seek(c.tag, c.k1, c.k2), c.found) << c.tag << " " << c.k1 << c.k2;
    EXPECT_EQ(t->recordNumber, c.recno) << c.tag << " " << c.k1 << c.k2;
    EXPECT_EQ(t->bof + t->eof, c.found ? 0 : 2);
  }
  EXPECT_TRUE(Boxes().empty());
}

// A look-up answers found, not found or refused, and the answer is no bool: a refusal cannot be read as
// "not found" without saying so.
static_assert(!std::is_convertible_v<Lookup, bool> && !std::is_constructible_v<bool, Lookup>,
              "a look-up's answer converts to no bool");

TEST_F(TableOps, LookUpsAnswerFoundNotFoundOrRefused) {
  using A = Lookup::Answer;
  struct Case {
    const char* what;
    const char* refusedFile;  // the file whose reads are refused from the look-up's first on, "" for none
    std::function<Lookup()> look;
    A answer;
    std::uint32_t recno;
  };
  const Case cases[] = {
      {"find B2", "", [&] { return t->Find("TCODE", "B2"); }, A::kFound, 3},
      {"find Z", "", [&] { return t->Find("TCODE", "Z"); }, A::kNotFound, 0},
      {"find not below B", "", [&] { return t->FindNotBelow("TCODE", "B"); }, A::kFound, 3},
      {"find not below Z", "", [&] { return t->FindNotBelow("TCODE", "Z"); }, A::kNotFound, 0},
      {"go to 2", "", [&] { return t->GoToRecord(2); }, A::kFound, 2},
      {"go to 9", "", [&] { return t->GoToRecord(9); }, A::kNotFound, 0},
      {"find not below B, its record unread", "/SMALL.dbf", [&] { return t->FindNotBelow("TCODE", "B"); }, A::kRefused, 0},
      {"find B2, its record unread", "/SMALL.dbf", [&] { return t->Find("TCODE", "B2"); }, A::kRefused, 0},
      {"go to 2, its record unread", "/SMALL.dbf", [&] { return t->GoToRecord(2); }, A::kRefused, 0},
  };
  for (const Case& c : cases) {
    // Opened while reads are counted, so that the engine reads the file (rather than maps it) for the look-up.
    if (*c.refusedFile != '\0') test_support::RefusedRead::Arm(c.refusedFile, INT_MAX);
    ASSERT_TRUE(t->OpenShared(File("small"), "TCODE"));
    if (*c.refusedFile != '\0') test_support::RefusedRead::Arm(c.refusedFile, 1, true);
    const Lookup found = c.look();
    test_support::RefusedRead::Disarm();
    EXPECT_EQ(static_cast<int>(found.answer()), static_cast<int>(c.answer)) << c.what;
    EXPECT_EQ(t->recordNumber, c.recno) << c.what;
    EXPECT_EQ(found.FoundOrNone(), c.answer == A::kFound) << c.what;
    EXPECT_EQ(found.IsRefused(), found.result() != 0 && !found.IsNotFound() && !found.IsFound()) << c.what;
  }
  // The record found, read again for its mark: live, cancelled, or not read.
  ASSERT_TRUE(t->OpenShared(File("small"), "TCODE"));
  ASSERT_TRUE(t->GoToRecord(2).IsFound());
  EXPECT_TRUE(t->LiveHere().IsFound());
  ASSERT_TRUE(t->DeleteRecord(nullptr, 1));
  EXPECT_TRUE(t->LiveHere().IsNotFound());
  test_support::RefusedRead::Arm("/SMALL.dbf", INT_MAX);
  ASSERT_TRUE(t->OpenShared(File("small"), "TCODE"));
  ASSERT_TRUE(t->GoToRecord(2).IsFound());
  test_support::RefusedRead::Arm("/SMALL.dbf", 1, true);
  EXPECT_TRUE(t->LiveHere().IsRefused());
  test_support::RefusedRead::Disarm();
  EXPECT_TRUE(Boxes().empty());
}

// The key and the delete mark of the current record: a mark the disk refuses to read is neither live nor
// cancelled, whether asked with the key (MatchRecordKey: the mark is read only for a record of the key) or
// alone, said once naming the file (LiveOrSaid) or only kept by the watch of a run that says it (LiveOrNoted).
TEST_F(TableOps, AMarkNotReadIsNeitherLiveNorCancelled) {
  using A = KeyMatch::Answer;
  ASSERT_TRUE(t->GoToRecord(2).IsFound());  // A1
  ASSERT_TRUE(t->DeleteRecord(nullptr, 1));
  const struct Case {
    const char* what;
    long recno;
    const char* key;
    bool refused;
    A answer;
  } cases[] = {
      {"live, its key", 3, "B2", false, A::kLive},
      {"cancelled, its key", 2, "A1", false, A::kCancelled},
      {"another key", 3, "A1", false, A::kDiffers},
      {"live, its mark not read", 3, "B2", true, A::kRefused},
      {"cancelled, its mark not read", 2, "A1", true, A::kRefused},
      {"another key, its mark not needed", 3, "A1", true, A::kDiffers},
  };
  for (const Case& c : cases) {
    test_support::RefusedRead::Arm("/SMALL.dbf", INT_MAX);
    ASSERT_TRUE(t->OpenShared(File("small"), "TCODE")) << c.what;
    ASSERT_TRUE(t->GoToRecord(c.recno).IsFound()) << c.what;
    if (c.refused) test_support::RefusedRead::Arm("/SMALL.dbf", 1, true);
    const KeyMatch m = t->MatchRecordKey(c.key, 2, 1);
    test_support::RefusedRead::Disarm();
    EXPECT_EQ(static_cast<int>(m.answer()), static_cast<int>(c.answer)) << c.what;
    EXPECT_EQ(m.HoldsKey(), c.answer != A::kDiffers) << c.what;
    EXPECT_EQ(m.AsLive().IsRefused(), c.answer == A::kRefused) << c.what;
    EXPECT_EQ(m.AsLive().IsFound(), c.answer == A::kLive) << c.what;
    if (c.answer == A::kRefused) EXPECT_NE(m.result(), 0) << c.what;
  }
  ASSERT_TRUE(t->GoBottom(""));
  EXPECT_FALSE(t->Skip(1));
  EXPECT_EQ(static_cast<int>(t->MatchRecordKey("D4", 2, 1).answer()), static_cast<int>(A::kNoRecord));
  EXPECT_TRUE(t->LiveHere().IsNotFound()) << "past the last record: no live record";

  for (bool said : {true, false}) {
    SCOPED_TRACE(said ? "said" : "noted");
    test_support::RefusedRead::Arm("/SMALL.dbf", INT_MAX);
    ASSERT_TRUE(t->OpenShared(File("small"), "TCODE"));
    ASSERT_TRUE(t->GoToRecord(3).IsFound());
    Boxes().clear();
    const RefusalWatch watch;
    test_support::RefusedRead::Arm("/SMALL.dbf", 1, true);
    const Lookup live = said ? LiveOrSaid(*t) : LiveOrNoted(*t);
    test_support::RefusedRead::Disarm();
    EXPECT_TRUE(live.IsRefused());
    EXPECT_TRUE(watch.HasReason());
    EXPECT_TRUE(watch.ReadRefused());
    EXPECT_EQ(std::string(Upper(watch.RefusedFile().c_str())), std::string(Upper(t->tablePath.c_str())));
    ASSERT_EQ(Boxes().size(), said ? 1u : 0u);
    if (said) EXPECT_EQ(Boxes()[0].text, UnreadText(t->tablePath, live.result()));
  }
}

TEST_F(TableOps, SkipActiveAndLocatePassDeletedRecords) {
  ASSERT_TRUE(t->GoTo(2));
  ASSERT_TRUE(t->DeleteRecord("", 1));
  ASSERT_TRUE(t->GoTop(""));
  EXPECT_TRUE(t->SkipActive(true));
  EXPECT_EQ(t->recordNumber, 3u) << "record 2 is deleted";
  ASSERT_TRUE(t->GoTop(""));
  EXPECT_TRUE(t->LocateKeyPrefix("D4    bra"));
  EXPECT_EQ(t->recordNumber, 4u);
  ASSERT_TRUE(t->GoTop(""));
  EXPECT_FALSE(t->LocateKeyPrefix("A1")) << "record 2 is deleted";
  EXPECT_EQ(t->eof, 1);
}

// ---------------------------------------------------------------- fields and records

TEST_F(TableOps, FieldsReadPaddedAndNumbersFormatted) {
  ASSERT_TRUE(t->GoTo(3));
  EXPECT_STREQ(t->GetField(1), "B2    ");
  EXPECT_TRUE(t->PutField(4, "3.456"));
  EXPECT_STREQ(t->GetField(4), " 3.46");
  EXPECT_FALSE(t->PutFieldNum(4, 1234.5)) << "does not fit N5.2";
  EXPECT_EQ(t->result, dbase::DBIERR_MINVALERR);
  EXPECT_TRUE(t->PutFieldPart(2, 3, 2, "XY"));
  EXPECT_STREQ(t->GetField(2), "ChXYlie     ");
  EXPECT_STREQ(t->RecordToText(2), "ChXYlie     B2    ");
  EXPECT_EQ(t->FieldPos("AMOUNT    x"), 4) << "the first 10 characters";
  EXPECT_TRUE(Boxes().empty());
}

// Bytes another program left in a text field: a NUL ends the text (blanks past it, as the engine
// gives it), a field of NULs and blanks reads blank; the next field is not touched.
TEST_F(TableOps, ATextFieldEndsAtItsFirstNulAndReadsBlankWhenNothingElse) {
  // Written over the file as a stray program would: the header gives where records begin.
  const auto put = [this](long recno, const std::string& bytes) {
    std::fstream f(File("SMALL.dbf"), std::ios::in | std::ios::out | std::ios::binary);
    unsigned char h[12] = {};
    f.read(reinterpret_cast<char*>(h), sizeof h);
    const long header = h[8] | h[9] << 8, length = h[10] | h[11] << 8;
    f.seekp(header + (recno - 1) * length + t->Layout(2).offset);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(f.good());
  };
  put(1, std::string("de\0lta\0\0\0\0\0\0", 12));
  put(2, std::string("\0\0  \0 \0\0\0\0\0\0", 12));
  put(3, std::string("Charlie\0\0\0\0\0", 12));
  put(4, std::string(11, ' ') + "x");
  const struct Case {
    long recno;
    const char* name;
    bool blank;
    const char* code;
  } cases[] = {{1, "de          ", false, "C3    "}, {2, "            ", true, "A1    "}, {3, "Charlie     ", false, "B2    "},
                     {4, "           x", false, "D4    "}};
  for (const Case& c : cases) {
    ASSERT_TRUE(t->GoTo(c.recno)) << c.recno;
    EXPECT_STREQ(t->GetField(2), c.name) << c.recno;
    EXPECT_EQ(t->blank, c.blank) << c.recno;
    EXPECT_STREQ(t->GetField(1), c.code) << c.recno;
    EXPECT_FALSE(t->blank) << c.recno;
  }
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(TableOps, AppendModifyDeleteRecall) {
  ASSERT_TRUE(t->GoTo(1));
  ASSERT_TRUE(t->AppendBlank());
  EXPECT_TRUE(AppendInProgress);
  ASSERT_TRUE(t->PutField(1, "E5"));
  // While appending nothing is written to the current record.
  ASSERT_TRUE(TableC10->OpenShared(File("small"), ""));
  EXPECT_EQ(TableC10->RecCount(), 4u);
  ASSERT_TRUE(t->InsertRecord());
  EXPECT_FALSE(AppendInProgress);
  EXPECT_EQ(t->recordNumber, 5u);
  EXPECT_EQ(TableC10->RecCount(), 5u);

  ASSERT_TRUE(t->GoTo(5));
  EXPECT_FALSE(t->RecallRecord("", 1)) << "a live record";
  ASSERT_TRUE(t->DeleteRecord("", 1));
  EXPECT_TRUE(t->IsDeleted());
  EXPECT_FALSE(t->DeleteRecord("", 1)) << "already deleted";
  ASSERT_TRUE(TableC10->GoTo(5));
  EXPECT_TRUE(TableC10->IsDeleted()) << "soft-deleted records stay visible";
  ASSERT_TRUE(t->GoTo(5));
  ASSERT_TRUE(t->RecallRecord("", 1));
  EXPECT_FALSE(t->IsDeleted());
  EXPECT_TRUE(Boxes().empty());
}

// A field whose write the system refuses (the record's, or its index's) is dropped from the record
// as the table object holds it: the record reads as the disk holds it, and the next field written,
// the disk back, writes nothing of the refused one.
TEST_F(TableOps, AFieldWriteRefusedLeavesTheRecordAsTheDiskHoldsIt) {
  ASSERT_TRUE(TableC10->OpenShared(File("small"), ""));
  for (const char* file : {".dbf", ".mdx"}) {
    SCOPED_TRACE(file);
    ASSERT_TRUE(t->GoTo(2));
    test_support::RefusedWrite::Arm(file, 1, platform::WriteFault::kFailOnce);
    EXPECT_FALSE(t->PutField(2, "zulu"));
    test_support::RefusedWrite::Disarm();
    EXPECT_STREQ(t->GetField(2), "alpha       ");
    ASSERT_TRUE(t->PutField(3, "Z"));
    ASSERT_TRUE(TableC10->GoTo(2));
    EXPECT_STREQ(TableC10->GetField(2), "alpha       ");
    EXPECT_STREQ(TableC10->GetField(3), "Z");
    ASSERT_TRUE(t->PutField(3, "X"));
  }
  // The same for a record appended: the table stays on the record it was on, as stored.
  for (const char* file : {".dbf", ".mdx"}) {
    SCOPED_TRACE(file);
    ASSERT_TRUE(t->GoTo(2));
    ASSERT_TRUE(t->AppendBlank());
    ASSERT_TRUE(t->PutField(1, "E5"));
    test_support::RefusedWrite::Arm(file, 1, platform::WriteFault::kFailOnce);
    EXPECT_FALSE(t->InsertRecord());
    test_support::RefusedWrite::Disarm();
    EXPECT_EQ(t->recordNumber, 2u);
    EXPECT_STREQ(t->GetField(1), "A1    ");
    ASSERT_TRUE(t->PutField(3, "Z"));
    ASSERT_TRUE(TableC10->GoTo(2));
    EXPECT_STREQ(TableC10->GetField(1), "A1    ");
    EXPECT_STREQ(TableC10->GetField(3), "Z");
    EXPECT_EQ(TableC10->RecCount(), 4u);
    ASSERT_TRUE(t->PutField(3, "X"));
  }
}

TEST_F(TableOps, ProgrammingErrorsShowTheirNumberAndChangeNothing) {
  ASSERT_TRUE(t->GoTo(3));
  const std::vector<std::uint8_t> before = t->recordBuffer;
  struct Case { const char* what; std::function<void()> call; const char* caption; const char* text; };
  const Case cases[] = {
      {"GoTo 0", [&] { EXPECT_FALSE(t->GoTo(0)); }, "10500", "000000"},
      {"PutField memo", [&] { EXPECT_FALSE(t->PutField(5, "x")); }, "11600", "NOTE"},
      {"Seek closed", [&] { EXPECT_FALSE(TableC70->Seek("C70CODE", "x")); }, "12400", "C70CODE"},
  };
  for (const Case& c : cases) {
    Boxes().clear();
    Beeps() = 0;
    c.call();
    ASSERT_EQ(Boxes().size(), 1u) << c.what;
    EXPECT_EQ(Boxes()[0].caption, c.caption) << c.what;
    EXPECT_EQ(Boxes()[0].text, c.text) << c.what;
    EXPECT_EQ(Boxes()[0].style, kMbOk) << c.what;
    EXPECT_EQ(Beeps(), 1) << c.what;
    EXPECT_EQ(t->recordNumber, 3u) << c.what;
    EXPECT_EQ(t->recordBuffer, before) << c.what;
  }
}
