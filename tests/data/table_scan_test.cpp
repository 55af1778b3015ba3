// Whole-table reading in physical order (ScanRecords): every record as stored, across blocks,
// the deleted ones with their mark, the cursor left where it stood, tables read side by side on
// threads, and a table cut short under an open cursor refused.
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "data/stored_fields.h"
#include "data/table_scan.h"
#include "data_test_util.h"

using namespace data_test;

namespace {

// CODE C6, NAME C40: 47-byte records, so that 20,000 of them fill several blocks.
const TableStructure& Wide() {
  static const TableStructure s{TableKind::Unknown, "W*", {{"CODE", 'C', 6, 0}, {"NAME", 'C', 40, 0}}, {}};
  return s;
}

std::string Code(std::uint32_t n) {
  std::string c = std::to_string(n);
  return std::string(6 - c.size(), '0') + c;
}

class TableScan : public DataTest {
 protected:
  // A table of `count` records "000001".."count", the multiples of 7 deleted.
  void Fill(const std::string& name, std::uint32_t count) {
    Create(Wide(), File(name));
    Table t;
    ASSERT_TRUE(t.OpenExclusive(File(name)));
    for (std::uint32_t n = 1; n <= count; ++n) {
      ASSERT_TRUE(t.AppendBlank());
      ASSERT_TRUE(t.PutField(1, Code(n).c_str()));
      ASSERT_TRUE(t.PutField(2, ("name " + std::to_string(n * 3)).c_str()));
      t.QueueRecord(n % 7 == 0);
    }
    ASSERT_TRUE(t.AppendQueued());
  }

  // "recno:code:name*" per record (the star for a deleted one), read by ScanRecords.
  static std::vector<std::string> Scanned(Table& t, bool* ok) {
    std::vector<std::string> seen;
    const StoredFields v(t, {1, 2});
    *ok = ScanRecords(t, [&](std::uint32_t recno, const std::uint8_t* record) {
      std::string name(v.In(record, 1));
      name.erase(name.find_last_not_of(' ') + 1);
      seen.push_back(std::to_string(recno) + ":" + std::string(v.In(record, 0)) + ":" + name +
                     (record[0] == '*' ? "*" : ""));
    });
    return seen;
  }

  static std::string Expected(std::uint32_t n) {
    return std::to_string(n) + ":" + Code(n) + ":name " + std::to_string(n * 3) + (n % 7 == 0 ? "*" : "");
  }
};

}  // namespace

TEST_F(TableScan, EveryRecordInPhysicalOrderAcrossBlocksAndTheCursorStays) {
  struct Case {
    std::uint32_t count;
  } cases[] = {{0}, {1}, {5577}, {5578}, {20000}};  // 5577 records of 47 bytes fill one block
  for (const Case& c : cases) {
    const std::string name = "w" + std::to_string(c.count);
    Fill(name, c.count);
    Table t;
    ASSERT_TRUE(t.OpenShared(File(name), "", true));
    if (c.count > 3) {
      ASSERT_TRUE(t.GoTo(3));
    }
    const std::uint32_t before = t.recordNumber;
    bool ok = false;
    const std::vector<std::string> seen = Scanned(t, &ok);
    EXPECT_TRUE(ok) << c.count;
    ASSERT_EQ(seen.size(), c.count);
    for (std::uint32_t n = 1; n <= c.count; ++n) ASSERT_EQ(seen[n - 1], Expected(n)) << c.count;
    EXPECT_EQ(t.recordNumber, before);
    if (c.count > 3) {
      EXPECT_EQ(std::string(t.GetField(1)), Code(3)) << "the cursor's record is kept";
    }
  }
}

TEST_F(TableScan, TwoTablesReadSideBySideOnThreads) {
  Fill("left", 12000);
  Fill("right", 9000);
  Table left, right;
  ASSERT_TRUE(left.OpenShared(File("left"), "", true));
  ASSERT_TRUE(right.OpenShared(File("right"), "", true));
  bool leftOk = false, rightOk = false;
  std::vector<std::string> leftSeen, rightSeen;
  std::thread reader([&] { leftSeen = Scanned(left, &leftOk); });
  rightSeen = Scanned(right, &rightOk);
  reader.join();
  ASSERT_TRUE(leftOk && rightOk);
  ASSERT_EQ(leftSeen.size(), 12000u);
  ASSERT_EQ(rightSeen.size(), 9000u);
  EXPECT_EQ(leftSeen[11999], Expected(12000));
  EXPECT_EQ(rightSeen[8999], Expected(9000));
}

TEST_F(TableScan, ATableCutShortUnderItsCursorIsRefused) {
  Fill("cut", 1000);
  Table t;
  ASSERT_TRUE(t.OpenShared(File("cut"), "", true));
  std::filesystem::resize_file(File("cut.dbf"), std::filesystem::file_size(File("cut.dbf")) - 47 * 10);
  bool ok = true;
  Scanned(t, &ok);
  EXPECT_FALSE(ok);
  EXPECT_NE(t.result, 0);
  EXPECT_TRUE(Boxes().empty()) << "the caller says it";
}

// A walk longer than the part of the table it holds gives back the pages it has read: the table
// read again, a record changed meanwhile through another cursor, the records reached by a go-to,
// all are those of the file.
TEST_F(TableScan, ThePagesGivenBackAreReadAgainFromTheFile) {
  Fill("long", 100000);  // 4.7 MB: more than the walk holds at once
  Table t, writer;
  ASSERT_TRUE(t.OpenShared(File("long"), "", true));
  bool ok = false;
  std::vector<std::string> first = Scanned(t, &ok);
  ASSERT_TRUE(ok);
  ASSERT_TRUE(writer.OpenShared(File("long")));
  ASSERT_TRUE(writer.GoTo(50003));
  ASSERT_TRUE(writer.PutField(2, "changed"));
  writer.CloseTable();
  first[50002] = "50003:" + Code(50003) + ":changed";
  const std::vector<std::string> again = Scanned(t, &ok);
  ASSERT_TRUE(ok);
  EXPECT_TRUE(again == first) << "the second walk reads what the file holds";
  for (std::uint32_t n : {1u, 33333u, 99999u, 100000u}) {
    ASSERT_TRUE(t.GoTo(n));
    EXPECT_EQ(std::string(t.GetField(1)), Code(n));
  }
  t.CloseTable();
  Table fresh;
  ASSERT_TRUE(fresh.OpenShared(File("long"), "", true));
  EXPECT_TRUE(Scanned(fresh, &ok) == first) << "the file itself is untouched";
}
