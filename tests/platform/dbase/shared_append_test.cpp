// Appends of a shared cursor while another process changes the same table between them:
// the next append lands after the other's records and the index still lists every entry,
// with and without a production index (the two ways appends are serialised); and an append
// taken back under its lock while another process appends never cuts the other's record off.
#include <algorithm>
#include <set>

#include "dbase/idapi.h"
#include "dbase/mdx.h"
#include "dbase_test_util.h"
#include "platform/system/write_fault.h"
#include "support/other_process.h"

namespace dbase_test {
namespace {

class SharedAppend : public Engine, public ::testing::WithParamInterface<bool> {
 protected:
  bool indexed() const { return GetParam(); }

  void SetUp() override {
    Engine::SetUp();
    table = dir / "sa.dbf";
    std::vector<FLDCreate> f = {Field("CODE", 'C', 8), Field("NAME", 'C', 12)};
    ASSERT_EQ(DbiCreateTable(db, table.c_str(), 2, f.data(), true), DBIERR_NONE);
    if (!indexed()) return;
    EngineCursor c;
    ASSERT_EQ(Open(table, &c, dbiOPENEXCL), DBIERR_NONE);
    ASSERT_EQ(AddTag(c, "CODE", "CODE"), DBIERR_NONE);
    c.Close();
  }

  DBIResult OpenOurs(EngineCursor* c) { return Open(table, c, dbiOPENSHARED, indexed() ? "CODE" : nullptr); }

  // Physical number of the record the cursor stands on.
  static std::uint32_t Here(hDBICur c) {
    RECProps rp;
    std::vector<std::uint8_t> buf(21);
    if (DbiGetRecord(c, dbiNOLOCK, buf.data(), &rp) != DBIERR_NONE) return 0;
    return rp.iPhyRecNum;
  }

  // Record number found by a seek of the whole code, 0 when it is not there.
  static std::uint32_t Seek(hDBICur c, const char* code) {
    if (DbiSetToKey(c, keySEARCHEQ, true, 0, 0, code) != DBIERR_NONE) return 0;
    RECProps rp;
    std::vector<std::uint8_t> buf(21);
    if (DbiGetNextRecord(c, dbiNOLOCK, buf.data(), &rp) != DBIERR_NONE) return 0;
    return rp.iPhyRecNum;
  }

  // Every record in physical order and, with an index, every entry in key order.
  void ExpectWhole(const std::vector<std::string>& physical) {
    EngineCursor c;
    ASSERT_EQ(Open(table, &c), DBIERR_NONE);
    EXPECT_EQ(Walk(c), physical);
    c.Close();
    if (!indexed()) return;
    std::vector<std::string> sorted = physical;
    std::stable_sort(sorted.begin(), sorted.end(), [](const std::string& a, const std::string& b) {
      return a.substr(a.find(':')) < b.substr(b.find(':'));
    });
    ASSERT_EQ(Open(table, &c, dbiOPENSHARED, "CODE"), DBIERR_NONE);
    EXPECT_EQ(Walk(c), sorted);
    c.Close();
    std::unique_ptr<Mdx> m;
    ASSERT_EQ(Mdx::Open(dir / "sa.mdx", {{"CODE", 'C', 1, 8, 0}, {"NAME", 'C', 9, 12, 0}}, true, false, &m),
              DBIERR_NONE);
    EXPECT_EQ(m->Check("CODE"), DBIERR_NONE);
    std::uint64_t n = 0;
    EXPECT_EQ(m->Count("CODE", &n), DBIERR_NONE);
    EXPECT_EQ(n, physical.size());
  }

  TempDir dir;
  std::string table;
};

TEST_P(SharedAppend, NextAppendAndSeeksSeeTheOtherProcessesChanges) {
  EngineCursor ours;
  ASSERT_EQ(OpenOurs(&ours), DBIERR_NONE);
  for (const char* c : {"M1", "M3", "M5"}) ASSERT_EQ(Append(ours, {c}), DBIERR_NONE);
  if (indexed()) {
    ASSERT_EQ(Seek(ours, "M3"), 2u);  // our cache now holds the tag's pages
  }
  const pid_t pid = Spawn([&] {
    EngineCursor c;
    if (Open(table, &c) != DBIERR_NONE) return 2;
    for (const char* code : {"M2", "M4"})
      if (Append(c, {code}) != DBIERR_NONE) return 3;
    // One of our records changes its key: its entry moves.
    std::vector<std::uint8_t> buf(21);
    if (DbiSetToRecordNo(c, 3) != DBIERR_NONE || DbiGetRecord(c, dbiNOLOCK, buf.data(), nullptr) != DBIERR_NONE)
      return 4;
    DbiPutField(c, 1, buf.data(), "M0");
    return DbiModifyRecord(c, buf.data(), false) == DBIERR_NONE ? 0 : 5;
  });
  ASSERT_EQ(ExitCode(pid), 0);

  ASSERT_EQ(Append(ours, {"M6"}), DBIERR_NONE);
  EXPECT_EQ(Here(ours), 6u);
  std::uint32_t n = 0;
  ASSERT_EQ(DbiGetRecordCount(ours, &n), DBIERR_NONE);
  EXPECT_EQ(n, 6u);
  if (indexed()) {
    EXPECT_EQ(Seek(ours, "M2"), 4u);
    EXPECT_EQ(Seek(ours, "M4"), 5u);
    EXPECT_EQ(Seek(ours, "M0"), 3u);
    EXPECT_EQ(Seek(ours, "M5"), 0u);  // its old key is gone
    EXPECT_EQ(Seek(ours, "M6"), 6u);
  }
  ours.Close();
  ExpectWhole({"1:M1", "2:M3", "3:M0", "4:M2", "5:M4", "6:M6"});
}

TEST_P(SharedAppend, RecordAppendedByAToolWithoutOurLocksIsNeverOverwritten) {
  EngineCursor ours;
  ASSERT_EQ(OpenOurs(&ours), DBIERR_NONE);
  for (const char* c : {"T1", "T2"}) ASSERT_EQ(Append(ours, {c}), DBIERR_NONE);
  {
    // Another tool appends the way dBASE does: record, end mark, header count; no lock, and
    // it knows nothing of our index's change counter.
    std::FILE* f = std::fopen(table.c_str(), "r+b");
    ASSERT_NE(f, nullptr);
    unsigned char h[12];
    ASSERT_EQ(std::fread(h, 1, 12, f), 12u);
    std::uint32_t count = h[4] | h[5] << 8 | h[6] << 16 | std::uint32_t(h[7]) << 24;
    unsigned headerLen = h[8] | h[9] << 8, recLen = h[10] | h[11] << 8;
    std::string rec(recLen, ' ');
    rec.replace(1, 2, "XT");
    rec += '\x1A';
    std::fseek(f, long(headerLen + count * recLen), SEEK_SET);
    ASSERT_EQ(std::fwrite(rec.data(), 1, rec.size(), f), rec.size());
    ++count;
    unsigned char c4[4] = {(unsigned char)count, (unsigned char)(count >> 8), (unsigned char)(count >> 16),
                           (unsigned char)(count >> 24)};
    std::fseek(f, 4, SEEK_SET);
    ASSERT_EQ(std::fwrite(c4, 1, 4, f), 4u);
    std::fclose(f);
  }
  ASSERT_EQ(Append(ours, {"T3"}), DBIERR_NONE);
  EXPECT_EQ(Here(ours), 4u);
  ours.Close();
  EngineCursor c;
  ASSERT_EQ(Open(table, &c), DBIERR_NONE);
  EXPECT_EQ(Walk(c), (std::vector<std::string>{"1:T1", "2:T2", "3:XT", "4:T3"}));
}

// A batch of a shared cursor (DbiAppendRecords) after another process appended: its records are
// numbered after the other's, and each entry goes after every entry of its key, over many leaves
// of one key (the records of a bank account), as the tag built afresh has them.
TEST_P(SharedAppend, ABatchLandsAfterTheOtherProcessesRecordsInKeyOrder) {
  EngineCursor ours;
  ASSERT_EQ(OpenOurs(&ours), DBIERR_NONE);
  std::vector<std::string> physical;
  for (int i = 0; i < 300; ++i) {
    const std::string code = i % 3 == 0 ? "B" + std::to_string(i) : "BANK";
    ASSERT_EQ(Append(ours, {code.c_str()}), DBIERR_NONE);
    physical.push_back(std::to_string(i + 1) + ":" + code);
  }
  const pid_t pid = Spawn([&] {
    EngineCursor c;
    if (Open(table, &c) != DBIERR_NONE) return 2;
    return Append(c, {"BANK"}) == DBIERR_NONE ? 0 : 3;
  });
  ASSERT_EQ(ExitCode(pid), 0);
  physical.push_back("301:BANK");
  constexpr std::uint32_t kBatch = 400;
  std::vector<std::uint8_t> all(21 * kBatch);
  for (std::uint32_t i = 0; i < kBatch; ++i) {
    std::uint8_t* buf = all.data() + 21 * i;
    DbiInitRecord(ours, buf);
    const std::string code = i % 5 == 0 ? "A" + std::to_string(i) : "BANK";
    DbiPutField(ours, 1, buf, code.c_str());
    physical.push_back(std::to_string(302 + i) + ":" + code);
  }
  std::uint32_t first = 0;
  ASSERT_EQ(DbiAppendRecords(ours, kBatch, all.data(), &first), DBIERR_NONE);
  EXPECT_EQ(first, 302u);
  if (indexed()) {
    EXPECT_EQ(Seek(ours, "A395"), 302u + 395u);
  }
  ours.Close();
  ExpectWhole(physical);
}

// Our append refused once its record is written (its count's write), while another station appends
// meanwhile: our record and count go back under the appends' lock, so the other station either waits for
// it and gives up (its bound made short here) or comes after it; an append that said it succeeded is never
// cut off by our taking back. One record, then a batch.
test_support::OtherProcess* appendingStation = nullptr;
bool stationAppended = false;

TEST_P(SharedAppend, AnAppendTakenBackNeverCutsOffAnotherStationsRecord) {
  const std::string path = table;
  const bool withIndex = indexed();
  test_support::OtherProcess station([this, path, withIndex](char) {
    static hDBICur c = nullptr;
    if (c == nullptr) {
      DbiSetLockWait(300);
      if (Open(path, &c, dbiOPENSHARED, withIndex ? "CODE" : nullptr) != DBIERR_NONE) return false;
    }
    return Append(c, {"OTHER"}) == DBIERR_NONE;
  });
  appendingStation = &station;
  struct Unhook {
    ~Unhook() {
      DbiAppendHook = nullptr;
      appendingStation = nullptr;
      platform::SetWriteFault(platform::WriteFault::kNone, 0);
    }
  } unhook;
  EngineCursor ours;
  ASSERT_EQ(OpenOurs(&ours), DBIERR_NONE);
  ASSERT_EQ(Append(ours, {"FIRST"}), DBIERR_NONE);
  // Between our record and our count: the other station appends, then our count's write is refused.
  DbiAppendHook = [] {
    stationAppended = appendingStation->Do('a');
    platform::SetWriteFault(platform::WriteFault::kFailOnce, 1);
  };
  std::vector<std::string> expected = {"1:FIRST"};
  for (const bool batch : {false, true}) {
    SCOPED_TRACE(batch ? "a batch" : "one record");
    stationAppended = false;
    DBIResult rc = DBIERR_NONE;
    if (batch) {
      std::vector<std::uint8_t> records(21 * 2);
      for (int i = 0; i < 2; ++i) {
        DbiInitRecord(ours, records.data() + 21 * i);
        DbiPutField(ours, 1, records.data() + 21 * i, "OURS");
      }
      rc = DbiAppendRecords(ours, 2, records.data(), nullptr);
    } else {
      rc = Append(ours, {"OURS"});
    }
    platform::SetWriteFault(platform::WriteFault::kNone, 0);
    EXPECT_NE(rc, DBIERR_NONE) << "our count's write was refused";
    if (stationAppended) expected.push_back(std::to_string(expected.size() + 1) + ":OTHER");
    EngineCursor c;
    ASSERT_EQ(Open(table, &c), DBIERR_NONE);
    EXPECT_EQ(Walk(c), expected) << (stationAppended ? "the other station's record was cut off" : "");
  }
  DbiAppendHook = nullptr;
  // Afterwards both go on appending where the table ends.
  ASSERT_TRUE(station.Do('a'));
  expected.push_back(std::to_string(expected.size() + 1) + ":OTHER");
  ASSERT_EQ(Append(ours, {"LAST"}), DBIERR_NONE);
  expected.push_back(std::to_string(expected.size() + 1) + ":LAST");
  ours.Close();
  ExpectWhole(expected);
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutIndex, SharedAppend, ::testing::Values(true, false));

}  // namespace
}  // namespace dbase_test
