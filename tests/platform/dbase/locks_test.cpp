// Record locks, exclusive opens and appends between cursors and between processes.
#include <fcntl.h>
#include <signal.h>

#include <algorithm>
#include <set>

#include "dbase/file_layout.h"
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
    EngineCursor cur;
    ASSERT_EQ(Create(table, {Field("CODE", 'C', 8), Field("NAME", 'C', 12)}, &cur), DBIERR_NONE);
    ASSERT_EQ(AddTag(cur, "CODE", "CODE"), DBIERR_NONE);
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
  EXPECT_EQ(LockAt(b, 1), DBIERR_LOCKED);
  EXPECT_EQ(Rename(b, 1, "by b"), DBIERR_LOCKED);  // a write takes the lock too
  EXPECT_EQ(Rename(a, 1, "by a"), DBIERR_NONE);     // the holder writes and keeps its lock
  // Opening and closing a third cursor on the same file keeps a's lock (an OFD lock).
  ASSERT_EQ(Open(table, &c), DBIERR_NONE);
  c.Close();
  EXPECT_EQ(LockAt(b, 1), DBIERR_LOCKED);
  // Closing the cursor releases its locks.
  a.Close();
  EXPECT_EQ(LockAt(b, 1), DBIERR_NONE);
  // Exclusive and shared opens refuse each other.
  EXPECT_EQ(Open(table, &a, dbiOPENEXCL), DBIERR_TABLEINUSE);
  b.Close();
  ASSERT_EQ(Open(table, &a, dbiOPENEXCL), DBIERR_NONE);
  EXPECT_EQ(Open(table, &b), DBIERR_TABLEINUSE);
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
    kids.push_back(Spawn([&] {
      EngineCursor c;
      if (Open(table, &c) != DBIERR_NONE) return 2;
      for (int i = 0; i < kEach; ++i) {
        std::string code = (k == 0 ? "A" : "B") + std::to_string(1000 + i);
        if (Append(c, {code.c_str()}) != DBIERR_NONE) return 3;
      }
      return 0;
    }));
  }
  for (pid_t pid : kids) EXPECT_EQ(ExitCode(pid), 0);
  EngineCursor cur;
  ASSERT_EQ(Open(table, &cur, dbiOPENSHARED, "CODE"), DBIERR_NONE);
  std::uint32_t n = 0;
  DbiGetRecordCount(cur, &n);
  EXPECT_EQ(n, 3u + 2 * kEach);
  std::vector<std::string> codes;
  for (const std::string& s : Walk(cur)) codes.push_back(s.substr(s.find(':') + 1));
  EXPECT_TRUE(std::is_sorted(codes.begin(), codes.end()));
  EXPECT_EQ(std::set<std::string>(codes.begin(), codes.end()).size(), n);
}

test_support::Signal* stoppedInAppend = nullptr;

// Waits (within the engine's bound) until no other process holds this record's lock: the event of a
// killed station's files being let go. The kernel lets them go when the last hold on them ends, which may
// come a little after the station's end is reported (a reader of /proc holding its memory, and with it its
// mapped files, for that time).
bool WaitForRecordLock(const std::string& table, std::uint32_t recno) {
  const int fd = ::open(table.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return false;
  const bool got = dbase::OfdLock(fd, dbase::RecordLockByte(recno), 1, F_WRLCK, true) == dbase::LockOutcome::kGranted;
  ::close(fd);
  return got;
}

// A station suspended half-way through an append holds the index lock: the other station's
// writes and key-order reads give up after the bound with a message naming the index file,
// and write nothing; once the suspended station is gone, they go through again.
TEST_F(LockTest, StationSuspendedInsideAnAppendMakesTheOthersGiveUp) {
  test_support::Signal start, stopped;
  stoppedInAppend = &stopped;
  const pid_t pid = Spawn([&] {
    // A group of its own: signals meant for the runner's group (a stopped member of a group left
    // orphaned gets SIGHUP and SIGCONT) do not reach the suspended station.
    ::setpgid(0, 0);
    hDBICur c = nullptr;
    // Record 3 locked as well, through the same open file as its open lock: both go at once.
    if (Open(table, &c) != DBIERR_NONE || !start.Wait() || LockAt(c, 3) != DBIERR_NONE) {
      stoppedInAppend->Post();  // the test sees it exit at once rather than wait for ever
      return 2;
    }
    DbiAppendHook = [] {
      stoppedInAppend->Post();
      ::raise(SIGSTOP);
    };
    Append(c, {"HALF"});
    return 0;
  });
  struct Reaper {
    pid_t pid;
    ~Reaper() {
      // Only a child not reaped yet: a reaped one's number may already be another process's.
      if (pid > 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
      }
      DbiSetLockWait(30000);
    }
  } reaper{pid};
  hDBICur cur = nullptr;
  ASSERT_EQ(Open(table, &cur, dbiOPENSHARED, "CODE"), DBIERR_NONE);
  start.Post();
  ASSERT_TRUE(stopped.Wait());
  int st = 0;
  ASSERT_EQ(::waitpid(pid, &st, WUNTRACED), pid);
  ASSERT_TRUE(WIFSTOPPED(st)) << "the station did not reach its append";
  DbiSetLockWait(300);

  EXPECT_EQ(Append(cur, {"R4"}), DBIERR_LOCKTIMEOUT);
  std::vector<std::uint8_t> buf(21);
  DbiSetToBegin(cur);
  EXPECT_EQ(DbiGetNextRecord(cur, dbiNOLOCK, buf.data(), nullptr), DBIERR_LOCKTIMEOUT);
  char text[kDbiMaxMsgLen + 1];
  DbiGetErrorString(DBIERR_LOCKTIMEOUT, text);
  EXPECT_NE(std::string(text).find("lk.mdx"), std::string::npos) << text;
  // A change and a delete give up too, and nothing of them reaches the file: the index
  // is taken before the record is written.
  EXPECT_EQ(Rename(cur, 1, "changed"), DBIERR_LOCKTIMEOUT);
  ASSERT_EQ(DbiSetToRecordNo(cur, 2), DBIERR_NONE);
  EXPECT_EQ(DbiDeleteRecord(cur, nullptr), DBIERR_LOCKTIMEOUT);
  ASSERT_EQ(DbiSetToRecordNo(cur, 1), DBIERR_NONE);
  ASSERT_EQ(DbiGetRecord(cur, dbiNOLOCK, buf.data(), nullptr), DBIERR_NONE);
  EXPECT_EQ(Text(cur, buf, 2), "");
  RECProps props;
  ASSERT_EQ(DbiSetToRecordNo(cur, 2), DBIERR_NONE);
  ASSERT_EQ(DbiGetRecord(cur, dbiNOLOCK, buf.data(), &props), DBIERR_NONE);
  EXPECT_FALSE(props.bDeleteFlag);

  // The station dies. Its locks go when the kernel lets its files go: waited for (the index lock by the
  // append itself, within the usual bound; its open lock, which the repair of the index it left marked
  // needs and does not wait for, through its record lock), never guessed with a sleep.
  ::kill(pid, SIGKILL);
  ASSERT_EQ(::waitpid(pid, &st, 0), pid);
  reaper.pid = -1;
  DbiSetLockWait(30000);
  ASSERT_TRUE(WaitForRecordLock(table, 3));
  EXPECT_EQ(Append(cur, {"R4"}), DBIERR_NONE);
  DbiCloseCursor(&cur);
  ASSERT_EQ(Open(table, &cur, dbiOPENSHARED, "CODE"), DBIERR_NONE);
  std::vector<std::string> codes;
  for (const std::string& s : Walk(cur)) codes.push_back(s.substr(s.find(':') + 1));
  EXPECT_EQ(codes, (std::vector<std::string>{"R1", "R2", "R3", "R4"}));
  DbiCloseCursor(&cur);
}

// Two processes race for the table a hundred times: the first turns its shared cursor
// exclusive; the second, in turn, keeps the table open (both are refused) or tries a fresh
// exclusive open. Each ends with the lock it asked for or its shared lock back, never
// without one, and only a holder of the exclusive lock writes.
TEST_F(LockTest, RaceForTheExclusiveModeNeverLeavesACursorWithoutItsLock) {
  constexpr int kRounds = 100;
  test_support::Signal prep[2], ready[2], go[2], done[2];
  std::vector<pid_t> kids;
  for (int k = 0; k < 2; ++k) {
    kids.push_back(Spawn([&] {
      hDBICur c = nullptr;
      for (int round = 0; round < kRounds; ++round) {
        const bool fresh = k == 1 && round % 2 == 1;
        if (!prep[k].Wait()) return 2;
        if (fresh && c != nullptr) DbiCloseCursor(&c);
        if (!fresh && c == nullptr && Open(table, &c) != DBIERR_NONE) return 3;
        ready[k].Post();
        if (!go[k].Wait()) return 2;
        const DBIResult rc = fresh ? Open(table, &c, dbiOPENEXCL) : DbiSetShareMode(c, dbiOPENEXCL);
        hDBICur probe = nullptr;
        if (rc == DBIERR_NONE) {
          if (Open(table, &probe) != DBIERR_TABLEINUSE) return 4;
          if (Append(c, {"X"}) != DBIERR_NONE) return 5;
          if (fresh) DbiCloseCursor(&c);
          else if (DbiSetShareMode(c, dbiOPENSHARED) != DBIERR_NONE) return 6;
        } else if (rc != DBIERR_TABLEINUSE) {
          return 7;
        }
        // Still open shared: nobody else opens the table exclusively.
        if (c != nullptr && Open(table, &probe, dbiOPENEXCL) != DBIERR_TABLEINUSE) return 8;
        done[k].Post();
      }
      if (c != nullptr) DbiCloseCursor(&c);
      return 0;
    }));
  }
  for (int round = 0; round < kRounds; ++round) {
    for (int k = 0; k < 2; ++k) prep[k].Post();
    for (int k = 0; k < 2; ++k) ASSERT_TRUE(ready[k].Wait());
    for (int k = 0; k < 2; ++k) go[k].Post();
    for (int k = 0; k < 2; ++k) ASSERT_TRUE(done[k].Wait());
  }
  for (pid_t pid : kids) EXPECT_EQ(ExitCode(pid), 0);
}

// A shared cursor that finds an index update cut short rebuilds the index only while it has the
// table alone, taken as a change to exclusive mode takes it, keeps its place, and gives the
// table back shared.
TEST_F(LockTest, RepairOfAnInterruptedIndexHoldsTheTableAloneOnlyForItsTime) {
  const std::string mdx = dir / "lk.mdx";
  auto mark = [&] {
    std::ifstream f(mdx, std::ios::binary);
    f.seekg(dbase::mdx_header::kUpdateMark);
    return f.get();
  };
  {
    std::fstream f(mdx, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(dbase::mdx_header::kUpdateMark);
    f.put(1);
  }
  EngineCursor other, ours, third;
  ASSERT_EQ(Open(table, &other, dbiOPENSHARED, nullptr, dbiREADONLY), DBIERR_NONE);  // no repair
  ASSERT_EQ(Open(table, &ours, dbiOPENSHARED, "CODE"), DBIERR_NONE);
  EXPECT_EQ(Rename(ours, 2, "refused"), DBIERR_INDEXOUTOFDATE);
  EXPECT_EQ(mark(), 1);
  other.Close();
  EXPECT_EQ(Rename(ours, 2, "repaired"), DBIERR_NONE);
  EXPECT_EQ(mark(), 0);
  std::vector<std::uint8_t> buf(21);
  ASSERT_EQ(DbiGetRecord(ours, dbiNOLOCK, buf.data(), nullptr), DBIERR_NONE);
  EXPECT_EQ(Text(ours, buf, 2), "repaired");
  EXPECT_EQ(Open(table, &third, dbiOPENEXCL), DBIERR_TABLEINUSE);
  ASSERT_EQ(Open(table, &third), DBIERR_NONE);
  third.Close();
  EXPECT_EQ(DbiSetShareMode(ours, dbiOPENEXCL), DBIERR_NONE);
  EXPECT_EQ(Walk(ours), (std::vector<std::string>{"1:R1", "2:R2", "3:R3"}));
}

}  // namespace
}  // namespace dbase_test
