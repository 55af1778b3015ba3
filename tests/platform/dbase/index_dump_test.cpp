// Our index files as another dBASE reader sees them: index_dump (libdbd-xbase-perl) lists the
// tags and walks a character tag in the order our collation gives.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "dbase_test_util.h"
#include "mdx.h"

namespace dbase {
namespace {

using dbase_test::MakeRecord;
using dbase_test::MemoryTable;
using dbase_test::TempDir;
using dbase_test::TestLayout;

constexpr const char* kIndexDump = "/usr/bin/index_dump";

std::vector<std::string> RunIndexDump(const std::string& args) {
  std::vector<std::string> lines;
  FILE* f = ::popen((std::string("/usr/bin/perl ") + kIndexDump + " " + args + " 2>&1").c_str(), "r");
  char line[512];
  while (f != nullptr && std::fgets(line, sizeof line, f) != nullptr) lines.emplace_back(line, std::strcspn(line, "\n"));
  if (f != nullptr) ::pclose(f);
  return lines;
}

TEST(IndexDump, ListsOurTagsAndWalksACharacterTagInOurOrder) {
  if (!std::ifstream(kIndexDump).good()) GTEST_SKIP() << "libdbd-xbase-perl is not installed";
  TempDir dir;
  const std::string path = (dir / "c20demo.mdx");
  std::unique_ptr<Mdx> m;
  ASSERT_EQ(Mdx::Create(path, "c20demo", true, TestLayout(), false, &m), DBIERR_NONE);
  MemoryTable table;
  const char* names[] = {"\xC9MILE", "EMILE", "ZOE", "\xC7" "A", "CA", "DA", "\xC0" "B", "AB"};
  for (int i = 0; i < 600; ++i) table.records.push_back(MakeRecord(std::to_string(i % 37), names[i % 8]));
  ASSERT_EQ(m->AddTag("C20CODE", "CODE", "", &table.Rewind()), DBIERR_NONE);
  ASSERT_EQ(m->AddTag("C20NOM", "UPPER(NAME)", "", &table.Rewind()), DBIERR_NONE);
  ASSERT_EQ(m->AddTag("C20RIB", "NAME+CODE", "LEN(TRIM(CODE))>0", &table.Rewind()), DBIERR_NONE);
  // Some maintenance after the build, so the pages are not only those the build wrote.
  for (int i = 600; i < 900; ++i) {
    table.records.push_back(MakeRecord(std::to_string(i % 41), names[(i * 7) % 8]));
    ASSERT_EQ(m->RecordChanged(static_cast<std::uint32_t>(i + 1), nullptr, table.records.back().data()), DBIERR_NONE);
  }
  ASSERT_EQ(m->Close(), DBIERR_NONE);

  EXPECT_EQ(RunIndexDump(path), (std::vector<std::string>{"C20CODE", "C20NOM", "C20RIB"}));

  ASSERT_EQ(Mdx::Open(path, TestLayout(), true, false, &m), DBIERR_NONE);
  for (const char* tag : {"C20NOM", "C20RIB"}) {
    SCOPED_TRACE(tag);
    std::vector<std::string> want;
    for (const MdxEntry& e : dbase_test::WalkTag(*m, tag)) want.push_back(e.key + " " + std::to_string(e.recno));
    ASSERT_EQ(want.size(), 900u);
    const std::vector<std::string> got = RunIndexDump(path + " " + tag);
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) ASSERT_EQ(got[i], want[i]) << "line " << i;
  }
  // Accented names sit with their base letter: A, \xC0, C, \xC7, D, E, \xC9, Z.
  std::vector<std::string> firstLetters;
  for (const std::string& line : RunIndexDump(path + " C20NOM")) {
    if (firstLetters.empty() || firstLetters.back() != line.substr(0, 1)) firstLetters.push_back(line.substr(0, 1));
  }
  EXPECT_EQ(firstLetters, (std::vector<std::string>{"A", "\xC0", "C", "\xC7", "D", "E", "\xC9", "Z"}));
}

}  // namespace
}  // namespace dbase
