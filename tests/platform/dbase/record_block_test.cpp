// Blocks of records read in physical order, through each of their ways: inside the file's
// mapping, by reads into the caller's scratch buffer where nothing is mapped (a network file
// system) or where the mapping is refused (no address space left), and for a file shorter than
// its count. Which way ran is seen from where the records are; every way gives the records as
// stored, sees records appended since by another cursor, and reports a file cut short.
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "dbase/record_block.h"
#include "dbase_test_util.h"
#include "support/other_process.h"

namespace dbase_test {
namespace {

class RecordBlockTest : public Engine {
 protected:
  void TearDown() override {
    SetForceNetworkFs(false);
    Engine::TearDown();
  }

  // A table of `count` records, every seventh deleted: its path.
  std::string MakeLines(std::uint32_t count) {
    const std::string path = dir / "lines.dbf";
    EngineCursor cur;
    EXPECT_EQ(Create(path, {Field("CODE", 'C', 6), Field("LIB", 'C', 57)}, &cur), DBIERR_NONE);
    std::vector<std::uint8_t> all, buf = Buffer(cur);
    for (std::uint32_t n = 1; n <= count; ++n) {
      DbiInitRecord(cur, buf.data());
      char code[8], lib[64];
      std::snprintf(code, sizeof code, "%06u", n * 37 % 100000);
      std::snprintf(lib, sizeof lib, "ligne %u", n);
      DbiPutField(cur, 1, buf.data(), code);
      DbiPutField(cur, 2, buf.data(), lib);
      buf[0] = n % 7 == 0 ? '*' : ' ';
      all.insert(all.end(), buf.begin(), buf.end());
    }
    EXPECT_EQ(DbiAppendRecords(cur, count, all.data()), DBIERR_NONE);
    return path;
  }

  // Records first .. first + count - 1 as the file holds them.
  static std::string Stored(const std::string& path, std::uint32_t first, std::uint32_t count) {
    return Stored(ReadAll(path), first, count);
  }
  static std::string Stored(const std::vector<char>& file, std::uint32_t first, std::uint32_t count) {
    const std::size_t header = static_cast<unsigned char>(file[8]) | static_cast<unsigned char>(file[9]) << 8;
    const std::size_t length = static_cast<unsigned char>(file[10]) | static_cast<unsigned char>(file[11]) << 8;
    const std::size_t at = header + (first - 1) * length;
    return at + count * length <= file.size() ? std::string(file.data() + at, count * length) : "";
  }

  TempDir dir;
};

// One table read in blocks mapped, then read as on a network share: the same records, from the
// mapping in one case and from the scratch buffer in the other; a record appended by another
// cursor since the first block is seen both ways, a block past the count is refused both ways,
// and a block given back reads again the same.
TEST_F(RecordBlockTest, MappedAndReadBlocksHoldTheSameRecords) {
  const std::uint32_t n = 3000;
  const std::string path = MakeLines(n);
  std::uint32_t count = n;
  for (const bool network : {false, true}) {
    SCOPED_TRACE(network ? "read as on a network share" : "mapped");
    SetForceNetworkFs(network);
    EngineCursor cur, other;
    ASSERT_EQ(Open(path, &cur), DBIERR_NONE);
    ASSERT_EQ(Open(path, &other), DBIERR_NONE);
    std::vector<std::uint8_t> scratch;
    const std::uint8_t* records = nullptr;
    const std::pair<std::uint32_t, std::uint32_t> blocks[] = {{1, 1}, {1, count}, {17, 100}, {count, 1}};
    for (const auto& [first, size] : blocks) {
      SCOPED_TRACE(std::to_string(first) + "+" + std::to_string(size));
      ASSERT_EQ(DbiReadRecordBlock(cur, first, size, scratch, &records), DBIERR_NONE);
      EXPECT_EQ(records == scratch.data(), network) << "the records were not read the way expected";
      const std::string want = Stored(path, first, size);
      ASSERT_FALSE(want.empty());
      EXPECT_TRUE(std::string(reinterpret_cast<const char*>(records), want.size()) == want);
      ASSERT_EQ(DbiReleaseRecordBlock(cur, first, size), DBIERR_NONE);
      ASSERT_EQ(DbiReadRecordBlock(cur, first, size, scratch, &records), DBIERR_NONE);
      EXPECT_TRUE(std::string(reinterpret_cast<const char*>(records), want.size()) == want) << "read again";
    }
    EXPECT_EQ(DbiReadRecordBlock(cur, count, 2, scratch, &records), DBIERR_EOF);
    // Another cursor appends a record: the first one reads it, as stored.
    ASSERT_EQ(Append(other, {"APPEND", network ? "par lecture" : "par la projection"}), DBIERR_NONE);
    ++count;
    ASSERT_EQ(DbiReadRecordBlock(cur, count - 1, 2, scratch, &records), DBIERR_NONE);
    EXPECT_EQ(records == scratch.data(), network);
    EXPECT_TRUE(std::string(reinterpret_cast<const char*>(records), Stored(path, count - 1, 2).size()) ==
                Stored(path, count - 1, 2));
  }
}

// The mapping refused (the address space the process may take is spent): the blocks are read
// into the scratch buffer, the same records as the mapping gives.
TEST_F(RecordBlockTest, ARefusedMappingReadsTheSameRecords) {
  const std::uint32_t n = 2000;
  const std::string path = MakeLines(n);
  const std::string want = Stored(path, 1, n);
  const int code = test_support::RunInChild([&] {
    EngineCursor cur;
    if (Open(path, &cur) != DBIERR_NONE) return 10;
    // The address space taken now and 16 MB more: the table's mapping asks for 64 MB past its end.
    long pages = 0;
    std::ifstream statm("/proc/self/statm");
    if (!(statm >> pages)) return 11;
    const rlim_t room = static_cast<rlim_t>(pages) * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE)) + (16 << 20);
    rlimit limit{room, room};
    if (::setrlimit(RLIMIT_AS, &limit) != 0) return 12;
    std::vector<std::uint8_t> scratch;
    const std::uint8_t* records = nullptr;
    if (DbiReadRecordBlock(cur, 1, n, scratch, &records) != DBIERR_NONE) return 13;
    if (records != scratch.data()) return 14;  // mapped after all
    return std::memcmp(records, want.data(), want.size()) == 0 ? 0 : 15;
  });
  EXPECT_EQ(code, 0);
}

// A file cut short behind the engine's back, its count left as it was: the block that runs past
// its end is refused as damaged, mapped or read, and nothing is read from beyond the file.
TEST_F(RecordBlockTest, ABlockPastTheEndOfACutFileIsRefusedEitherWay) {
  const std::uint32_t n = 500;
  const std::string path = MakeLines(n);
  const std::vector<char> whole = ReadAll(path);
  const std::size_t cut = whole.size() - 3 * 64;
  for (const bool network : {false, true}) {
    SCOPED_TRACE(network ? "read as on a network share" : "mapped");
    SetForceNetworkFs(network);
    std::ofstream(path, std::ios::binary).write(whole.data(), static_cast<std::streamsize>(whole.size()));
    EngineCursor cur;
    ASSERT_EQ(Open(path, &cur), DBIERR_NONE);
    ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(cut)), 0);
    std::vector<std::uint8_t> scratch;
    const std::uint8_t* records = nullptr;
    EXPECT_EQ(DbiReadRecordBlock(cur, n - 1, 2, scratch, &records), DBIERR_FILECORRUPT);
    ASSERT_EQ(DbiReadRecordBlock(cur, 1, 10, scratch, &records), DBIERR_NONE);
    EXPECT_EQ(records == scratch.data(), network);
    EXPECT_TRUE(std::string(reinterpret_cast<const char*>(records), 10 * 64) == Stored(path, 1, 10));
  }
}

// An exclusive cursor's read-ahead window: walks forwards and backwards read each record as
// stored. Which way a read took shows on records changed on disk behind the cursor's back once a
// window holds them: a step to the next record comes from the window, a jump out of it from the
// disk. In a file cut short, the records still there are read alone when the window past them
// cannot be read, and the first one missing is refused.
TEST_F(RecordBlockTest, TheReadAheadWindowGivesTheRecordsAsStored) {
  const std::uint32_t n = 3000;
  const std::string path = MakeLines(n);
  EngineCursor cur;
  ASSERT_EQ(Open(path, &cur, dbiOPENEXCL), DBIERR_NONE);
  std::vector<std::uint8_t> buf = Buffer(cur);
  RECProps rp;
  auto read = [&] { return std::string(buf.begin(), buf.end()); };
  std::vector<std::uint32_t> forward, backward;
  const std::vector<char> stored = ReadAll(path);
  DbiSetToBegin(cur);
  while (DbiGetNextRecord(cur, dbiNOLOCK, buf.data(), &rp) == DBIERR_NONE) {
    EXPECT_TRUE(read() == Stored(stored, rp.iPhyRecNum, 1)) << "forwards " << rp.iPhyRecNum;
    forward.push_back(rp.iPhyRecNum);
  }
  DbiSetToEnd(cur);
  while (DbiGetPriorRecord(cur, dbiNOLOCK, buf.data(), &rp) == DBIERR_NONE) {
    EXPECT_TRUE(read() == Stored(stored, rp.iPhyRecNum, 1)) << "backwards " << rp.iPhyRecNum;
    backward.insert(backward.begin(), rp.iPhyRecNum);
  }
  ASSERT_GT(forward.size(), 2000u);
  EXPECT_EQ(forward, backward);

  const int fd = ::open(path.c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  const std::size_t header = static_cast<unsigned char>(stored[8]) | static_cast<unsigned char>(stored[9]) << 8;
  auto poke = [&](std::uint32_t recno) {
    ASSERT_EQ(::pwrite(fd, "CHANGE", 6, static_cast<off_t>(header + (recno - 1) * 64 + 1)), 6);
  };
  ASSERT_EQ(DbiSetToRecordNo(cur, 1010), DBIERR_NONE);
  ASSERT_EQ(DbiGetRecord(cur, dbiNOLOCK, buf.data(), &rp), DBIERR_NONE);
  const std::string before1012 = Stored(path, 1012, 1);
  ASSERT_EQ(DbiGetNextRecord(cur, dbiNOLOCK, buf.data(), &rp), DBIERR_NONE);  // 1011 fills the window
  ASSERT_EQ(rp.iPhyRecNum, 1011u);
  poke(1012);
  poke(2501);
  ASSERT_EQ(DbiGetNextRecord(cur, dbiNOLOCK, buf.data(), &rp), DBIERR_NONE);
  ASSERT_EQ(rp.iPhyRecNum, 1012u);
  EXPECT_TRUE(read() == before1012) << "the step to the next record was not served by the window";
  ASSERT_EQ(DbiSetToRecordNo(cur, 2501), DBIERR_NONE);
  ASSERT_EQ(DbiGetRecord(cur, dbiNOLOCK, buf.data(), &rp), DBIERR_NONE);
  EXPECT_TRUE(read() == Stored(path, 2501, 1)) << "the jump was served by the window";
  EXPECT_EQ(read().substr(1, 6), "CHANGE");

  // Cut after record 2990 once the cursor is open, before it read anything (a mapping made
  // before the cut would still show the pages cut off): 2985 to 2990 are still read, each alone;
  // 2991 is refused.
  ASSERT_EQ(Open(path, &cur, dbiOPENEXCL), DBIERR_NONE);
  ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(header + 2990 * 64)), 0);
  ::close(fd);
  ASSERT_EQ(DbiSetToRecordNo(cur, 2985), DBIERR_NONE);
  ASSERT_EQ(DbiGetRecord(cur, dbiNOLOCK, buf.data(), &rp), DBIERR_NONE);
  std::vector<std::uint32_t> near, want;
  DBIResult rc = DBIERR_NONE;
  while ((rc = DbiGetNextRecord(cur, dbiNOLOCK, buf.data(), &rp)) == DBIERR_NONE) {
    EXPECT_TRUE(read() == Stored(path, rp.iPhyRecNum, 1)) << rp.iPhyRecNum;
    near.push_back(rp.iPhyRecNum);
  }
  for (const std::uint32_t r : forward)
    if (r > 2985 && r <= 2990) want.push_back(r);
  EXPECT_EQ(near, want);
  EXPECT_EQ(rc, DBIERR_FILECORRUPT);
}

}  // namespace
}  // namespace dbase_test
