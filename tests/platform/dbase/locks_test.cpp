// Record locks, exclusive opens and appends between cursors and between processes.
#include <algorithm>
#include <set>

#include "dbase/mdx.h"
#include "dbase_test_util.h"
#include "support/other_process.h"

namespace dbase_test {
namespace {

class LockTest : public Engine {
 protected:
  void SetUp() override {
    Engine::SetUp();
    table = dir / "lk.dbf";
    std::vector<FLDCreate> f = {Field("CODE", 'C', 8), Field("NAME", 'C', 12)};
    ASSERT_EQ(DbiCreateTable(db, table.c_str(), 2, f.data(), true), DBIERR_NONE);
    EngineCursor cur;
    ASSERT_EQ(Open(table, &cur, dbiOPENEXCL), DBIERR_NONE);
    IDXDesc idx;
    std::snprintf(idx.szTagName, sizeof idx.szTagName, "CODE");
    std::snprintf(idx.szKeyExp, sizeof idx.szKeyExp, "CODE");
    ASSERT_EQ(DbiAddIndex(db, cur, nullptr, nullptr, &idx, nullptr), DBIERR_NONE);
    for (const char* c : {"R1", "R2", "R3"}) ASSERT_EQ(Append(cur, {c}), DBIERR_NONE);
    cur.Close();
  }
  DBIResult LockAt(hDBICur cur, std::uint32_t recno) {
    DBIResult rc = DbiSetToRecordNo(cur, recno);
    if (rc != DBIERR_NONE) return rc;
    std::vector<std::uint8_t> buf(21);
    return DbiGetRecord(cur, dbiWRITELOCK, buf.data(), nullptr);
  }
  DBIResult Rename(hDBICur cur, std::uint32_t recno, const char* name) {
    std::vector<std::uint8_t> buf(21);
    DbiSetToRecordNo(cur, recno);
    DbiGetRecord(cur, dbiNOLOCK, buf.data(), nullptr);
    DbiPutField(cur, 2, buf.data(), name);
    return DbiModifyRecord(cur, buf.data(), false);
  }
  TempDir dir;
  std::string table;
};

TEST_F(LockTest, CursorsOfOneProcessExcludeEachOther) {
  EngineCursor a, b, c;
  ASSERT_EQ(Open(table, &a), DBIERR_NONE);
  ASSERT_EQ(Open(table, &b), DBIERR_NONE);
  EXPECT_EQ(LockAt(a, 1), DBIERR_NONE);
  EXPECT_EQ(LockAt(a, 1), DBIERR_ALREADYLOCKED);
  EXPECT_EQ(LockAt(b, 1), DBIERR_LOCKED);
  EXPECT_EQ(Rename(b, 1, "by b"), DBIERR_LOCKED);  // a write takes the lock too
  EXPECT_EQ(Rename(a, 1, "by a"), DBIERR_NONE);     // the holder writes and keeps its lock
  EXPECT_EQ(LockAt(b, 1), DBIERR_LOCKED);
  // Opening and closing a third cursor on the same file keeps a's lock (an OFD lock).
  ASSERT_EQ(Open(table, &c), DBIERR_NONE);
  c.Close();
  EXPECT_EQ(LockAt(b, 1), DBIERR_LOCKED);
  DbiSetToRecordNo(a, 1);
  EXPECT_EQ(DbiRelRecordLock(a, false), DBIERR_NONE);
  EXPECT_EQ(DbiRelRecordLock(a, false), DBIERR_NOTLOCKED);
  EXPECT_EQ(LockAt(b, 1), DBIERR_NONE);
  EXPECT_EQ(Rename(b, 1, "by b"), DBIERR_NONE);
  // b's change is seen by a's next read at once.
  std::vector<std::uint8_t> buf(21);
  DbiSetToRecordNo(a, 1);
  DbiGetRecord(a, dbiNOLOCK, buf.data(), nullptr);
  EXPECT_EQ(Text(a, buf, 2), "by b");
  // Closing the cursor releases its locks.
  b.Close();
  EXPECT_EQ(LockAt(a, 1), DBIERR_NONE);
}

TEST_F(LockTest, ExclusiveAndSharedOpensRefuseEachOther) {
  EngineCursor shared, excl, other;
  ASSERT_EQ(Open(table, &shared), DBIERR_NONE);
  EXPECT_EQ(Open(table, &excl, dbiOPENEXCL), DBIERR_TABLEINUSE);
  EXPECT_EQ(static_cast<hDBICur>(excl), nullptr);
  shared.Close();
  ASSERT_EQ(Open(table, &excl, dbiOPENEXCL), DBIERR_NONE);
  EXPECT_EQ(Open(table, &other), DBIERR_TABLEINUSE);
  EXPECT_EQ(Open(table, &other, dbiOPENEXCL), DBIERR_TABLEINUSE);
  // An exclusive cursor takes no record locks: locking always succeeds.
  EXPECT_EQ(LockAt(excl, 2), DBIERR_NONE);
  EXPECT_EQ(LockAt(excl, 2), DBIERR_NONE);
  excl.Close();
  ASSERT_EQ(Open(table, &other, dbiOPENEXCL, nullptr, dbiREADONLY), DBIERR_NONE);
}

TEST_F(LockTest, AnotherProcessHoldsAndGivesBackARecord) {
  EngineCursor theirs;
  test_support::OtherProcess other([&](char cmd) {
    switch (cmd) {
      case 'l': return Open(table, &theirs) == DBIERR_NONE && LockAt(theirs, 2) == DBIERR_NONE;
      case 'r': return DbiRelRecordLock(theirs, false) == DBIERR_NONE;
      default: return theirs.Close() == DBIERR_NONE;
    }
  });
  ASSERT_TRUE(other.Do('l'));
  EngineCursor cur;
  ASSERT_EQ(Open(table, &cur), DBIERR_NONE);
  EXPECT_EQ(LockAt(cur, 2), DBIERR_LOCKED);
  EXPECT_EQ(LockAt(cur, 3), DBIERR_NONE);
  ASSERT_TRUE(other.Do('r'));
  EXPECT_EQ(LockAt(cur, 2), DBIERR_NONE);
  cur.Close();
  // The other process still has the table open: no exclusive open.
  EXPECT_EQ(Open(table, &cur, dbiOPENEXCL), DBIERR_TABLEINUSE);
  ASSERT_TRUE(other.Do('c'));
  ASSERT_EQ(Open(table, &cur, dbiOPENEXCL), DBIERR_NONE);
}

TEST_F(LockTest, AppendsOfTwoProcessesKeepEveryRecordAndTheIndex) {
  constexpr int kEach = 150;
  std::vector<pid_t> kids;
  for (int k = 0; k < 2; ++k) {
    pid_t pid = ::fork();
    if (pid == 0) {
      EngineCursor c;
      if (Open(table, &c) != DBIERR_NONE) ::_exit(2);
      for (int i = 0; i < kEach; ++i) {
        std::string code = (k == 0 ? "A" : "B") + std::to_string(1000 + i);
        if (Append(c, {code.c_str()}) != DBIERR_NONE) ::_exit(3);
      }
      c.Close();
      ::_exit(0);
    }
    kids.push_back(pid);
  }
  for (pid_t pid : kids) {
    int st = 0;
    ::waitpid(pid, &st, 0);
    EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0);
  }
  EngineCursor cur;
  ASSERT_EQ(Open(table, &cur, dbiOPENSHARED, "CODE"), DBIERR_NONE);
  std::uint32_t n = 0;
  DbiGetRecordCount(cur, &n);
  EXPECT_EQ(n, 3u + 2 * kEach);
  std::vector<std::string> byTag = Walk(cur);
  ASSERT_EQ(byTag.size(), n);
  std::vector<std::string> codes;
  for (const std::string& s : byTag) codes.push_back(s.substr(s.find(':') + 1));
  EXPECT_TRUE(std::is_sorted(codes.begin(), codes.end()));
  EXPECT_EQ(std::set<std::string>(codes.begin(), codes.end()).size(), n);
  DbiSwitchToIndex(cur.Handle(), nullptr, nullptr, 0, false);
  std::set<std::uint32_t> recnos;
  for (const std::string& s : Walk(cur)) recnos.insert(static_cast<std::uint32_t>(std::stoul(s)));
  EXPECT_EQ(recnos.size(), n);
}

}  // namespace
}  // namespace dbase_test
