// Reads of a shared index through each of their ways: answered without the lock from the pages
// held while the file's change counter (read through its mapping) says nothing changed, taken
// again under the lock when such a read meets a page not held, and always under the lock where
// nothing is mapped (a network file system) or after another object changed the file. Which way
// ran is counted; every way walks and seeks the same entries.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "dbase_test_util.h"
#include "mdx.h"

namespace dbase {
namespace {

using dbase_test::Lines;
using dbase_test::MakeRecord;
using dbase_test::MemoryTable;
using dbase_test::TempDir;
using dbase_test::TestLayout;
using dbase_test::WalkTag;

class IndexReadsTest : public ::testing::Test {
 protected:
  void TearDown() override {
    mdxReadWays = nullptr;
    SetForceNetworkFs(false);
  }
  TempDir dir;
};

TEST_F(IndexReadsTest, ReadsWithoutTheLockFindWhatLockedReadsFind) {
  // A tag of many leaves over 3000 records.
  const std::string path = dir / "reads.mdx";
  MemoryTable table;
  std::mt19937 rng(11);
  for (int i = 0; i < 3000; ++i) {
    table.records.push_back(MakeRecord(std::to_string(rng() % 900), "n" + std::to_string(i)));
    table.removed.push_back(false);
  }
  {
    std::unique_ptr<Mdx> m;
    ASSERT_EQ(Mdx::Create(path, "reads", true, TestLayout(), true, &m), DBIERR_NONE);
    ASSERT_EQ(m->AddTag("LONG", "NAME+NAME+CODE", "", &table.Rewind()), DBIERR_NONE);
    ASSERT_EQ(m->Close(), DBIERR_NONE);
  }
  std::vector<std::string> want;
  for (const bool network : {false, true}) {
    SCOPED_TRACE(network ? "as on a network share" : "mapped");
    SetForceNetworkFs(network);
    std::unique_ptr<Mdx> m, other;
    ASSERT_EQ(Mdx::Open(path, TestLayout(), false, false, &m), DBIERR_NONE);
    ASSERT_EQ(Mdx::Open(path, TestLayout(), false, false, &other), DBIERR_NONE);
    MdxReadWays ways;
    mdxReadWays = &ways;
    // A walk: the first read of each leaf does not find it held and takes the lock after all;
    // the next ones on that leaf are answered without it. Nothing so where nothing is mapped.
    const std::vector<std::string> walked = Lines(WalkTag(*m, "LONG"));
    if (want.empty()) want = walked;
    EXPECT_EQ(walked, want);
    ASSERT_EQ(walked.size(), 3000u);
    if (network) {
      EXPECT_EQ(ways.withoutLock, 0);
      EXPECT_EQ(ways.lockedAfterAll, 0);
    } else {
      EXPECT_GT(ways.withoutLock, 2500);
      EXPECT_GT(ways.lockedAfterAll, 50);
    }
    // Walked again: every page is held, nothing is read under the lock.
    ways = {};
    EXPECT_EQ(Lines(WalkTag(*m, "LONG")), want);
    EXPECT_EQ(ways.withoutLock, network ? 0 : 3001);
    EXPECT_EQ(ways.lockedAfterAll, 0);
    // Another object adds an entry: the next read goes under the lock and finds it.
    const std::vector<std::uint8_t> added = MakeRecord("999", "zz");
    ASSERT_EQ(other->BeginUpdate(), DBIERR_NONE);
    ASSERT_EQ(other->RecordChanged(3001, nullptr, added.data()), DBIERR_NONE);
    ASSERT_EQ(other->EndUpdate(true), DBIERR_NONE);
    ways = {};
    MdxEntry e;
    bool found = false;
    ASSERT_EQ(m->Seek("LONG", "zz", &e, &found), DBIERR_NONE);
    EXPECT_TRUE(found);
    EXPECT_EQ(e.recno, 3001u);
    EXPECT_EQ(ways.withoutLock, 0);
    EXPECT_EQ(ways.lockedAfterAll, 0);
    // Then without it again, from the pages that read brought.
    ASSERT_EQ(m->Seek("LONG", "zz", &e, &found), DBIERR_NONE);
    EXPECT_EQ(e.recno, 3001u);
    EXPECT_EQ(ways.withoutLock, network ? 0 : 1);
    mdxReadWays = nullptr;
    // Taken out again for the next way.
    ASSERT_EQ(other->BeginUpdate(), DBIERR_NONE);
    ASSERT_EQ(other->RecordChanged(3001, added.data(), nullptr), DBIERR_NONE);
    ASSERT_EQ(other->EndUpdate(true), DBIERR_NONE);
  }
}

}  // namespace
}  // namespace dbase
