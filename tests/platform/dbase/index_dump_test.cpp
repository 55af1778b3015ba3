// Our index files as another dBASE reader sees them: index_dump (libdbd-xbase-perl) lists the
// tags and walks a character tag in the order our collation gives, and its library seeks every
// key once the last entries of pages have changed.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "dbase_test_util.h"
#include "file_layout.h"
#include "mdx.h"

namespace dbase {
namespace {

using dbase_test::Le32;
using dbase_test::Lines;
using dbase_test::MakeRecord;
using dbase_test::Output;
using dbase_test::ReadAll;
using dbase_test::MemoryTable;
using dbase_test::TempDir;
using dbase_test::TestLayout;
using dbase_test::WalkTag;

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

// The leaves of tag n in key order, each as the record numbers of its entries, read from the
// file's bytes as another reader would.
std::vector<std::vector<std::uint32_t>> Leaves(const std::string& path, int n) {
  const std::vector<char> b = ReadAll(path);
  const std::size_t header =
      Le32(b, mdx_header::kTagTable + mdx_tag_entry::kSize * n + mdx_tag_entry::kHeaderBlock) * 512u;
  const std::uint32_t item = static_cast<std::uint8_t>(b[header + mdx_tag_header::kItemLength]);
  std::vector<std::vector<std::uint32_t>> leaves;
  std::vector<std::uint32_t> todo = {Le32(b, header + mdx_tag_header::kRoot)};  // blocks, next last
  while (!todo.empty()) {
    const std::size_t page = todo.back() * 512u;
    todo.pop_back();
    const std::uint32_t count = Le32(b, page + mdx_node::kKeyCount);
    const std::size_t items = page + mdx_node::kItems;
    if (Le32(b, items + count * item) == 0) {
      leaves.emplace_back();
      for (std::uint32_t i = 0; i < count; ++i) leaves.back().push_back(Le32(b, items + i * item));
      continue;
    }
    for (std::uint32_t i = count + 1; i-- > 0;) todo.push_back(Le32(b, items + i * item));
  }
  return leaves;
}

std::string Hex(const std::string& s) {
  std::string out;
  char two[3];
  for (unsigned char c : s) {
    std::snprintf(two, sizeof two, "%02x", c);
    out += two;
  }
  return out;
}

TEST(IndexDump, UpperKeysFollowTheLastEntriesOfTheirPagesAndAnotherReaderSeeksEveryKey) {
  if (!std::ifstream(kIndexDump).good()) GTEST_SKIP() << "libdbd-xbase-perl is not installed";
  TempDir dir;
  const std::string path = dir / "sep.mdx";
  std::unique_ptr<Mdx> m;
  ASSERT_EQ(Mdx::Create(path, "sep", true, TestLayout(), false, &m), DBIERR_NONE);
  // Even numbers in the names leave room for keys between two entries; LONG has 16 keys a
  // page, so three levels of pages, NAME has two.
  MemoryTable table;
  auto record = [](int name, int code) {
    char n[16], c[16];
    std::snprintf(n, sizeof n, "N%05d", name);
    std::snprintf(c, sizeof c, "%05d", code);
    return MakeRecord(c, n);
  };
  for (int i = 0; i < 3000; ++i) table.records.push_back(record(2 * i, i));
  table.removed.assign(table.records.size(), false);
  ASSERT_EQ(m->AddTag("LONG", "NAME+NAME+NAME+NAME+CODE", "", &table.Rewind()), DBIERR_NONE);
  ASSERT_EQ(m->AddTag("NAME", "NAME", "", &table.Rewind()), DBIERR_NONE);

  // Page by page of LONG: the last entry removed, changed to a key below it (that lands in
  // the next page), every entry removed (a page dropped, the last child of its parent among
  // them), or the last entry doubled by a new record (an entry added at a page's end).
  const auto leaves = Leaves(path, 1);
  ASSERT_GT(leaves.size(), 150u);
  for (std::size_t k = 0; k < leaves.size(); ++k) {
    const std::uint32_t last = leaves[k].back();
    std::vector<std::uint8_t>& rec = table.records[last - 1];
    switch (k % 4) {
      case 0:
        ASSERT_EQ(m->RecordChanged(last, rec.data(), nullptr), DBIERR_NONE);
        table.removed[last - 1] = true;
        break;
      case 1: {
        const auto changed = record(2 * static_cast<int>(last - 1) - 1, static_cast<int>(last - 1));
        ASSERT_EQ(m->RecordChanged(last, rec.data(), changed.data()), DBIERR_NONE);
        rec = changed;
        break;
      }
      case 2:
        for (std::uint32_t recno : leaves[k]) {
          ASSERT_EQ(m->RecordChanged(recno, table.records[recno - 1].data(), nullptr), DBIERR_NONE);
          table.removed[recno - 1] = true;
        }
        break;
      default:
        table.records.push_back(rec);
        table.removed.push_back(false);
        ASSERT_EQ(m->RecordChanged(static_cast<std::uint32_t>(table.records.size()), nullptr, rec.data()),
                  DBIERR_NONE);
    }
  }
  std::unique_ptr<Mdx> fresh;
  ASSERT_EQ(Mdx::Create(dir / "fresh.mdx", "fresh", true, TestLayout(), true, &fresh), DBIERR_NONE);
  for (const char* tag : {"LONG", "NAME"}) {
    SCOPED_TRACE(tag);
    EXPECT_EQ(m->Check(tag), DBIERR_NONE);
    MdxTagInfo info;
    ASSERT_EQ(m->FindTag(tag, &info), DBIERR_NONE);
    ASSERT_EQ(fresh->AddTag(tag, info.keyExpr, "", &table.Rewind()), DBIERR_NONE);
    EXPECT_EQ(Lines(WalkTag(*m, tag)), Lines(WalkTag(*fresh, tag)));
  }

  // XBase::Index seeks each key, present or removed, to the entry this engine's seek finds.
  std::string keys, want;
  for (std::size_t i = 0; i < table.records.size(); ++i) {
    std::string key;
    bool in = false;
    ASSERT_EQ(m->KeyOf("LONG", table.records[i].data(), &key, &in), DBIERR_NONE);
    MdxEntry e;
    bool found = false;
    const DBIResult r = m->Seek("LONG", key, &e, &found);
    keys += Hex(key) + "\n";
    want += r == DBIERR_EOF ? "end\n" : e.key + " " + std::to_string(e.recno) + "\n";
  }
  ASSERT_EQ(m->Close(), DBIERR_NONE);
  std::ofstream(dir / "keys.txt") << keys;
  std::ofstream(dir / "seek.pl") << "use XBase::Index;\n"
                                    "my $i = XBase::Index->new($ARGV[0], tag => 'LONG') or die;\n"
                                    "open(my $f, '<', $ARGV[1]) or die;\n"
                                    "while (my $hex = <$f>) {\n  chomp $hex;\n"
                                    "  $i->prepare_select_eq(pack('H*', $hex));\n"
                                    "  my @d = $i->fetch;\n  print @d ? \"$d[0] $d[1]\\n\" : \"end\\n\";\n}\n";
  EXPECT_EQ(Output("/usr/bin/perl " + dir / "seek.pl" + " " + path + " " + dir / "keys.txt"), want);
}

}  // namespace
}  // namespace dbase
