// Copies between structures: record copy by prefixed names and table copy by field names.
#include "data/table_copy.h"

#include <cstring>

#include "data/closed_lines.h"
#include "data/entry_lines.h"
#include "data/record_fields.h"
#include "data_test_util.h"
#include "support/refused_read.h"

using namespace data_test;

namespace {

// An old structure and a new one: DREF became DLIB2, EXTRA went away, MISSING is new, the
// amount got wider and the memo stays.
const TableStructure& OldLines() {
  static const TableStructure s{TableKind::Unknown,
                                "O*",
                                {{"DCODE", 'C', 6, 0}, {"DREF", 'C', 10, 0}, {"EXTRA", 'C', 5, 0},
                                 {"DMONTANT", 'N', 10, 2}, {"DTEXTE", 'M', 10, 0}},
                                {}};
  return s;
}
const TableStructure& NewLines() {
  static const TableStructure s{TableKind::Unknown,
                                "N*",
                                {{"DCODE", 'C', 6, 0}, {"DLIB2", 'C', 10, 0}, {"MISSING", 'C', 4, 0},
                                 {"DMONTANT", 'N', 14, 2}, {"DTEXTE", 'M', 10, 0}},
                                {}};
  return s;
}

std::string Big(std::size_t size) {
  std::string s;
  for (std::size_t i = 0; i < size; ++i) s += static_cast<char>(i % 251 + 1);  // byte 26 included
  return s;
}

std::vector<unsigned long>& Steps() {
  static std::vector<unsigned long> steps;
  return steps;
}

// The copies of the conversion and of the runs that copy lines, tested one by one: the fixture
// holds a run's permit.
class TableCopyTest : public DataTest {
 protected:
  test_support::SetUpPermit permit_{"copie de tables"};
  void SetUp() override {
    DataTest::SetUp();
    Steps().clear();
    SetCopyProgressHook([](unsigned long, unsigned long recno) { Steps().push_back(recno); });
  }
  void TearDown() override {
    SetCopyProgressHook(nullptr);
    DataTest::TearDown();
  }
  // Source: three records, the second deleted; a memo of 40,000 bytes on the first.
  void MakeSource() {
    Create(OldLines(), File("old"));
    Table& s = *TableCXX;
    ASSERT_TRUE(s.OpenShared(File("old"), ""));
    Add(s, {"L1", "ref one", "extra", "1234.56"});
    ASSERT_TRUE(s.PutMemoText(5, Big(40000)));
    Add(s, {"L2", "ref two", "", "-1"});
    ASSERT_TRUE(s.DeleteRecord("", 1));
    Add(s, {"L3", "", "", "0.5"});
    ASSERT_TRUE(s.PutMemo(5, "short"));
  }
};

}  // namespace

TEST_F(TableCopyTest, FieldsMatchByNameOrFormerName) {
  MakeSource();
  Create(NewLines(), File("new"));
  Table& d = *TableC70;
  ASSERT_TRUE(d.OpenShared(File("new"), ""));
  EXPECT_TRUE(CopyTableByFieldNames(d, *TableCXX, 0.0));
  EXPECT_EQ(Steps(), (std::vector<unsigned long>{0, 1, 2, 3}));

  // Every record in its place, the cancelled one cancelled: record numbers are kept.
  struct Row { const char* code; const char* lib2; double amount; std::string memo; bool deleted; };
  const Row rows[] = {{"L1    ", "ref one   ", 1234.56, Big(40000), false},
                      {"L2    ", "ref two   ", -1, "", true},
                      {"L3    ", "          ", 0.5, "short", false}};
  ASSERT_EQ(d.RecCount(), 3u);
  for (std::uint32_t r = 1; r <= 3; ++r) {
    const Row& row = rows[r - 1];
    ASSERT_TRUE(d.GoTo(r));
    EXPECT_EQ(d.IsDeleted(), row.deleted);
    EXPECT_STREQ(d.GetField(1), row.code);
    EXPECT_STREQ(d.GetField(2), row.lib2) << "DLIB2 takes the old DREF";
    EXPECT_STREQ(d.GetField(3), "    ") << "absent from the source";
    EXPECT_DOUBLE_EQ(d.GetFieldNum(4), row.amount);
    std::string memo;
    ASSERT_TRUE(d.GetMemoText(5, memo));
    EXPECT_EQ(memo.size(), row.memo.size());
    EXPECT_TRUE(memo == row.memo) << "memos are copied whole";
  }
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(TableCopyTest, FailedInsertionsAreReportedInTheResult) {
  MakeSource();
  Create(NewLines(), File("new"));
  Table& d = *TableC70;
  ASSERT_TRUE(d.OpenShared(File("new"), "", true));  // read-only: every insertion fails
  EXPECT_FALSE(CopyTableByFieldNames(d, *TableCXX, 0.0));
  EXPECT_EQ(Steps(), (std::vector<unsigned long>{0, 1, 2, 3})) << "the copy goes on to the end";
  EXPECT_FALSE(AppendInProgress);
  EXPECT_EQ(d.RecCount(), 0u);
}

// A source record the disk refuses to read keeps its place as a cancelled record, and the copy is
// not taken for whole: a balance sheet made from a model would lack a line and say it done.
TEST_F(TableCopyTest, ASourceRecordNotReadMakesTheCopyFail) {
  MakeSource();
  Create(NewLines(), File("new"));
  Table& d = *TableC70;
  ASSERT_TRUE(d.OpenShared(File("new"), ""));
  Table& s = *TableCXX;
  // Opened while reads are counted, so that the engine reads the file rather than maps it; the
  // copy's second read of it is its first record's (the first reads the count).
  test_support::RefusedRead::Arm("/old.dbf", INT_MAX);
  ASSERT_TRUE(s.OpenShared(File("old"), ""));
  test_support::RefusedRead::Arm("/old.dbf", 2);
  const bool whole = CopyTableByFieldNames(d, s, 0.0);
  test_support::RefusedRead::Disarm();
  EXPECT_FALSE(whole);
  ASSERT_EQ(d.RecCount(), 3u) << "every record keeps its number";
  ASSERT_TRUE(d.GoToRecord(1).IsFound());
  EXPECT_TRUE(d.LiveHere().IsNotFound()) << "the record not read stays cancelled";
  EXPECT_STREQ(d.GetField(1), "      ");
  ASSERT_TRUE(d.GoToRecord(3).IsFound());
  EXPECT_TRUE(d.LiveHere().IsFound()) << "the copy goes on";
  EXPECT_STREQ(d.GetField(1), "L3    ");
}

TEST_F(TableCopyTest, LineSequenceOfTheDraftLines) {
  // C50 to C50: a blank line sequence (field 7) becomes "0001", a given one stays.
  ASSERT_EQ(CreateTableOfKind(TableKind::C50, File("c50old")), 0);
  ASSERT_EQ(CreateTableOfKind(TableKind::C50, File("c50new")), 0);
  Table& s = *TableCXX;
  ASSERT_TRUE(s.OpenShared(File("c50old"), ""));
  Add(s, {"Z", "0125", "VT", "000001", "", "0001", ""});
  Add(s, {"Z", "0125", "VT", "000001", "", "0002", "0007"});
  Table& d = *TableC50;
  ASSERT_TRUE(d.OpenShared(File("c50new"), ""));
  ASSERT_TRUE(CopyTableByFieldNames(d, s, 0.0));
  ASSERT_TRUE(d.GoTo(1));
  EXPECT_STREQ(d.GetField(7), "0001");
  ASSERT_TRUE(d.GoTo(2));
  EXPECT_STREQ(d.GetField(7), "0007");
}

TEST_F(TableCopyTest, ParityOfTheDossierTable) {
  // C10 to C10: the parity goes into record "0" only, right-aligned in 10 characters.
  ASSERT_EQ(CreateTableOfKind(TableKind::C10, File("c10old")), 0);
  ASSERT_EQ(CreateTableOfKind(TableKind::C10, File("c10new")), 0);
  Table& s = *TableCXX;
  ASSERT_TRUE(s.OpenShared(File("c10old"), ""));
  const std::string zone2(254, '.');
  Add(s, {"1", "A", "journal", "", zone2});
  Add(s, {"0", "", "dossier", "", zone2});
  Table& c10 = *TableC10;
  ASSERT_TRUE(c10.OpenShared(File("c10new"), ""));
  ASSERT_TRUE(CopyTableByFieldNames(c10, s, 6.55957));
  ASSERT_TRUE(c10.GoTo(1));
  EXPECT_EQ(std::string(c10.GetField(5)), zone2);
  ASSERT_TRUE(c10.GoTo(2));
  std::string expected = zone2;
  expected.replace(238, 10, "   6.55957");
  EXPECT_EQ(std::string(c10.GetField(5)), expected);
}

TEST_F(TableCopyTest, CopyRecordRenamesByTheTargetPrefix) {
  ASSERT_EQ(CreateTableOfKind(TableKind::C50, File("c50tst")), 0);
  ASSERT_EQ(CreateTableOfKind(TableKind::C40, File("c40tst")), 0);
  Table& draft = *TableC50;
  ASSERT_TRUE(draft.OpenShared(File("c50tst"), ""));
  Add(draft, {"Z", "0125", "VT", "000042", "", "0003", "", "15", "  ", "411000", " ", "Facture 42", "ref"});
  ASSERT_TRUE(draft.PutFieldNum(draft.FieldPos("BMONTANTE"), 120.5));
  Table& closed = *TableC40;
  ASSERT_TRUE(closed.OpenShared(File("c40tst"), ""));
  ASSERT_TRUE(closed.AppendBlank());
  ASSERT_TRUE(CopyRecord(draft, closed, 2));
  ASSERT_TRUE(closed.InsertRecord());
  ASSERT_TRUE(closed.GoTo(1));

  struct Case { const char* draftName; const char* closedName; };
  const Case cases[] = {{"BMOIS", "DMOIS"}, {"BLIB2", "DLIB2"}, {"BMONTANTE", "DMONTANTE"}};
  for (const Case& c : cases) {
    const int from = draft.FieldPos(c.draftName);
    const int to = closed.FieldPos(c.closedName);
    ASSERT_NE(from, 0) << c.draftName;
    ASSERT_NE(to, 0) << c.closedName;
    EXPECT_EQ(std::string(closed.GetField(to)), std::string(draft.GetField(from))) << c.closedName;
  }
  EXPECT_STREQ(closed.GetField(closed.FieldPos("DCLE")), " ") << "fields before the first are not copied";
  EXPECT_TRUE(Boxes().empty());
}

// The map of a pair made once serves every record: the fields of the same name after the first
// letter, a number written as its text or as its value, the memo whole; a source field without
// a match has no target and its neighbours are still copied.
TEST_F(TableCopyTest, OneFieldMapCopiesEveryRecordOfThePair) {
  MakeSource();
  Create(NewLines(), File("new"));
  Table& s = *TableCXX;
  Table& d = *TableC70;
  ASSERT_TRUE(d.OpenShared(File("new"), ""));
  const FieldMap asText(s, d, 1, FieldMap::Numbers::AsText), asValues(s, d, 1);
  const int targets[] = {0, 1, 0, 0, 4, 5};  // DREF and EXTRA have no field of their name
  for (int f = 1; f <= 5; ++f) EXPECT_EQ(asText.TargetOf(f), targets[f]) << f;
  EXPECT_EQ(asText.TargetOf(6), 0);

  struct Row { std::uint32_t source; const FieldMap* map; const char* amount; std::string memo; };
  const Row rows[] = {{1, &asValues, "       1234.56", Big(40000)},
                      {3, &asValues, "          0.50", "short"},
                      {3, &asText, "          0.50", "short"}};  // the text of the narrower field, aligned
  for (const Row& row : rows) {
    ASSERT_TRUE(s.GoTo(row.source));
    ASSERT_TRUE(d.AppendBlank());
    ASSERT_TRUE(CopyRecord(*row.map, s, d));
    ASSERT_TRUE(d.InsertRecord());
    ASSERT_TRUE(d.GoTo(static_cast<long>(d.RecCount())));
    EXPECT_STREQ(d.GetField(1), s.GetField(1));
    EXPECT_STREQ(d.GetField(2), "          ") << "DLIB2 has no source of its name";
    EXPECT_EQ(std::string(d.GetField(4)), row.amount);
    std::string memo;
    ASSERT_TRUE(d.GetMemoText(5, memo));
    EXPECT_TRUE(memo == row.memo) << "memos are copied whole";
  }
  EXPECT_TRUE(Boxes().empty());
}

// The copy from a record's bytes takes the text fields of one width that follow each other in
// both records with one check and one copy: the bytes are those of the field-by-field copy, a
// zero byte anywhere in such a stretch cutting its own field only (the rest of it blanks), a
// wider target, a number or a gap in the target ending the stretch.
TEST_F(TableCopyTest, TextFieldsFollowingEachOtherAreCopiedAsTheFieldByFieldCopyDoes) {
  const TableStructure from{TableKind::Unknown,
                            "S*",
                            {{"A", 'C', 4, 0}, {"B", 'C', 6, 0}, {"C", 'C', 6, 0}, {"D", 'C', 3, 0},
                             {"E", 'N', 8, 2}, {"F", 'C', 5, 0}, {"G", 'C', 5, 0}},
                            {}};
  const TableStructure to{TableKind::Unknown,
                          "T*",
                          {{"A", 'C', 4, 0}, {"B", 'C', 6, 0}, {"C", 'C', 6, 0}, {"D", 'C', 5, 0},
                           {"E", 'N', 8, 2}, {"F", 'C', 5, 0}, {"X", 'C', 2, 0}, {"G", 'C', 5, 0}},
                          {}};
  Create(from, File("runsrc"));
  Create(to, File("rundst"));
  Table& s = *TableCXX;
  Table& d = *TableC70;
  ASSERT_TRUE(s.OpenShared(File("runsrc"), ""));
  ASSERT_TRUE(d.OpenShared(File("rundst"), ""));
  FieldTextCopy copy(s, d);
  const int targets[] = {1, 2, 3, 4, 5, 6, 8};
  for (int f = 1; f <= 7; ++f) copy.Add(f, targets[f - 1]);
  ASSERT_TRUE(copy.usable());

  // A source record of the field texts given (a zero byte written as '~'), and the target field
  // texts the copy gives, X left as it was.
  auto run = [&](const std::vector<std::string>& texts) {
    std::vector<std::uint8_t> record(s.recordBuffer.size(), ' ');
    for (int f = 1; f <= 7; ++f) {
      std::string text = texts[static_cast<std::size_t>(f - 1)];
      for (char& c : text)
        if (c == '~') c = '\0';
      std::memcpy(record.data() + s.Layout(f).offset, text.data(), text.size());
    }
    std::vector<std::uint8_t> out(d.recordBuffer.size(), '#');
    EXPECT_TRUE(copy.Apply(record.data(), out.data()));
    std::vector<std::string> got;
    for (const FieldLayout& f : d.Layouts())
      got.emplace_back(reinterpret_cast<const char*>(out.data()) + f.offset, static_cast<std::size_t>(f.width));
    return got;
  };
  struct Case {
    const char* what;
    std::vector<std::string> texts;
    std::vector<std::string> fields;
  };
  const Case cases[] = {
      {"plain texts",
       {"ABCD", "bbbbbb", "cc cc ", "ddd", "   12.50", "fffff", "ggggg"},
       {"ABCD", "bbbbbb", "cc cc ", "ddd  ", "   12.50", "fffff", "##", "ggggg"}},
      {"a zero byte in the middle field of the first stretch",
       {"ABCD", "bb~bbb", "cccccc", "ddd", "    1.00", "fffff", "ggggg"},
       {"ABCD", "bb    ", "cccccc", "ddd  ", "    1.00", "fffff", "##", "ggggg"}},
      {"a zero byte at the start of the first field",
       {"~BCD", "bbbbbb", "cccccc", "d~d", "    1.00", "f~fff", "~gggg"},
       {"    ", "bbbbbb", "cccccc", "d    ", "    1.00", "f    ", "##", "     "}},
      {"a zero byte in the last byte of the stretch",
       {"ABCD", "bbbbbb", "ccccc~", "ddd", "    1.00", "fffff", "gggg~"},
       {"ABCD", "bbbbbb", "ccccc ", "ddd  ", "    1.00", "fffff", "##", "gggg "}},
  };
  for (const Case& c : cases) EXPECT_EQ(run(c.texts), c.fields) << c.what;
}

// An amount copied between tables reads as it read before, however it was stored: a third
// decimal rounds half up ("54.125" is 54.13 on both sides, not the engine's 54.12), leading zeros
// go, and a text that does not read as a number (or a line's amount below zero) goes over as it
// is, to be named where it lands rather than read as 12.00. Each of the copies gives the same:
// from the record's bytes (the validation), by a field map as text and as values (merge,
// separation, opening balances), and a whole table by field names (conversion).
TEST_F(TableCopyTest, AnAmountIsCopiedAsItReads) {
  ASSERT_EQ(CreateTableOfKind(TableKind::C50, File("c50tst")), 0);
  ASSERT_EQ(CreateTableOfKind(TableKind::C40, File("c40tst")), 0);
  ASSERT_EQ(CreateTableOfKind(TableKind::C50, File("c50cpy")), 0);
  Table& draft = *TableC50;
  Table& closed = *TableC40;
  Table& copy = *TableCXX;
  ASSERT_TRUE(draft.OpenShared(File("c50tst"), ""));
  ASSERT_TRUE(closed.OpenShared(File("c40tst"), ""));
  ASSERT_TRUE(copy.OpenShared(File("c50cpy"), ""));
  struct Case {
    std::string stored;  // the draft's euro amount as its bytes hold it
    std::string copied;  // the copy's, 14 wide
  };
  const Case cases[] = {
      {"        54.125", "         54.13"}, {"      12.3449 ", "         12.34"},
      // A line's amount below zero, which no entry makes, does not read: it goes over as it is.
      {"        -0.005", "        -0.005"},
      {"      00012.00", "         12.00"}, {"         12,34", "         12,34"}, {"        -1e300", "        -1e300"},
      {std::string("    12\0\0.50  ", 14), std::string("    12\0\0.50  ", 14)},
  };
  const int euros = draft.FieldPos("BMONTANTE");
  for (const Case& c : cases) {
    ASSERT_TRUE(draft.AppendBlank());
    ASSERT_TRUE(draft.PutField(LigneEcriture::BCLE, "Z"));
    std::memcpy(draft.recordBuffer.data() + draft.Layout(euros).offset, c.stored.data(), 14);
    ASSERT_TRUE(draft.InsertRecord());
  }
  const FieldMap asText(draft, closed, 1, FieldMap::Numbers::AsText), asValues(draft, closed, 1);
  FieldTextCopy bytes(draft, closed);
  AddClosedLinePairs(bytes, asText, draft.FieldCount());
  ASSERT_TRUE(bytes.usable());
  ASSERT_TRUE(CopyTableByFieldNames(copy, draft, 0.0));
  const int closedEuros = closed.FieldPos("DMONTANTE");
  auto field = [](const Table& t, const std::uint8_t* record, int f) {
    return std::string(reinterpret_cast<const char*>(record) + t.Layout(f).offset, static_cast<std::size_t>(t.Layout(f).width));
  };
  for (std::uint32_t n = 1; n <= std::size(cases); ++n) {
    const Case& c = cases[n - 1];
    ASSERT_TRUE(draft.GoTo(n));
    std::vector<std::uint8_t> out(closed.recordBuffer.size(), ' ');
    bytes.Apply(draft.recordBuffer.data(), out.data());
    EXPECT_EQ(field(closed, out.data(), closedEuros), c.copied) << "from the bytes: '" << c.stored << "'";
    for (const FieldMap* map : {&asText, &asValues}) {
      ASSERT_TRUE(draft.GoTo(n));
      ASSERT_TRUE(closed.AppendBlank());
      CopyRecord(*map, draft, closed);
      ASSERT_TRUE(closed.InsertRecord());
      ASSERT_TRUE(closed.GoTo(static_cast<long>(closed.RecCount())));
      EXPECT_EQ(field(closed, closed.recordBuffer.data(), closedEuros), c.copied)
          << (map == &asText ? "as text: '" : "as values: '") << c.stored << "'";
    }
    ASSERT_TRUE(copy.GoTo(n));
    EXPECT_EQ(field(copy, copy.recordBuffer.data(), euros), c.copied) << "the table copy: '" << c.stored << "'";
    bool readable = true;
    ASSERT_TRUE(draft.GoTo(n));
    EXPECT_EQ(LineAmountCents(c.copied, "", true, &readable), StoredAmountOf(draft, euros)) << c.stored;
  }
}
