// Index files: tag maintenance against tags built afresh, seeks, the direct page reader and
// damaged files.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <fstream>
#include <random>

#include "dbase_test_util.h"
#include "file_layout.h"
#include "mdx.h"
#include "support/refused_read.h"

namespace dbase {
namespace {

using dbase_test::Le32;
using dbase_test::Lines;
using dbase_test::MakeRecord;
using dbase_test::MemoryTable;
using dbase_test::ReadAll;
using dbase_test::TempDir;
using dbase_test::TestLayout;
using dbase_test::WalkTag;

void Patch32(const std::string& path, off_t at, std::uint32_t v) {
  const int fd = ::open(path.c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::pwrite(fd, &v, 4, at), 4);
  ::close(fd);
}

struct TagDef { const char* name; const char* key; const char* cond; };

const TagDef kTags[] = {
    {"BYCODE", "CODE+KIND", ""},
    {"BYNAME", "UPPER(NAME)", "KIND='Z'"},
    {"LONG", "NAME+NAME+NAME+NAME+CODE", ""},  // 16 keys a page: a deep tree
    {"AMOUNT", "AMOUNT", ""},
    {"DAY", "DAY", "KIND<'Z'"},
    {"TRIMMED", "TRIM(NAME)+CODE", "LEN(TRIM(NAME))>0"},
};

const char* kNames[] = {"dupont", "Dupont", "d\xE9" "but", "durand", "\xC9" "mile", "emile", "zo\xE9", "", "abc",
                        "c\xF4te", "cote", "martin"};

std::vector<std::uint8_t> RandomRecord(std::mt19937& rng) {
  const std::string code = std::to_string(rng() % 400);
  const std::string name = kNames[rng() % std::size(kNames)];
  const std::string kind = (rng() % 3 == 0) ? "V" : "Z";
  const std::string amount = std::to_string(static_cast<int>(rng() % 20000) - 10000) + ".25";
  char day[9];
  std::snprintf(day, sizeof day, "2024%02u%02u", static_cast<unsigned>(1 + rng() % 12), static_cast<unsigned>(1 + rng() % 28));
  return MakeRecord(code, name, kind, amount, rng() % 10 == 0 ? "" : day);
}

// Each tag of `m`, walked forwards and backwards, holds what the same tag built afresh from the
// table's records holds (the fresh index numbered by `built`, in `dir`).
void ExpectTagsAsRebuilt(Mdx& m, const TempDir& dir, MemoryTable& table, const std::string& phase, int& built) {
  SCOPED_TRACE(phase);
  std::unique_ptr<Mdx> fresh;
  const std::string name = "fresh" + std::to_string(++built);
  ASSERT_EQ(Mdx::Create(dir / (name + ".mdx"), name, true, TestLayout(), true, &fresh), DBIERR_NONE);
  for (const TagDef& t : kTags) {
    SCOPED_TRACE(t.name);
    ASSERT_EQ(fresh->AddTag(t.name, t.key, t.cond, &table.Rewind()), DBIERR_NONE);
    const auto want = Lines(WalkTag(*fresh, t.name));
    EXPECT_EQ(Lines(WalkTag(m, t.name)), want);
    EXPECT_EQ(Lines(WalkTag(m, t.name, true)), want);
    std::uint64_t count = 0;
    EXPECT_EQ(m.Count(t.name, &count), DBIERR_NONE);
    EXPECT_EQ(count, want.size());
    EXPECT_EQ(m.Check(t.name), DBIERR_NONE);
  }
}

class TagChurn : public ::testing::TestWithParam<bool> {};

// Random appends, changes and removals; after every phase each tag, walked forwards and
// backwards, holds what a tag built afresh from the same records holds.
TEST_P(TagChurn, TagsFollowEveryChange) {
  const bool exclusive = GetParam();
  TempDir dir;
  const std::string path = (dir / "churn.mdx");
  std::unique_ptr<Mdx> m;
  ASSERT_EQ(Mdx::Create(path, "churn", true, TestLayout(), exclusive, &m), DBIERR_NONE);
  std::mt19937 rng(42);
  MemoryTable table;
  for (int i = 0; i < 300; ++i) table.records.push_back(RandomRecord(rng));
  for (const TagDef& t : kTags) ASSERT_EQ(m->AddTag(t.name, t.key, t.cond, &table.Rewind()), DBIERR_NONE) << t.name;
  table.removed.assign(table.records.size(), false);

  int built = 0;
  auto verify = [&](const std::string& phase) { ExpectTagsAsRebuilt(*m, dir, table, phase, built); };
  verify("built");

  // Appends and changes.
  for (int step = 0; step < 3000; ++step) {
    if (rng() % 3 == 0 || table.records.empty()) {
      table.records.push_back(RandomRecord(rng));
      table.removed.push_back(false);
      ASSERT_EQ(m->RecordChanged(static_cast<std::uint32_t>(table.records.size()), nullptr,
                                 table.records.back().data()), DBIERR_NONE);
    } else {
      const std::size_t i = rng() % table.records.size();
      auto changed = RandomRecord(rng);
      if (rng() % 2) std::memcpy(changed.data() + 1, table.records[i].data() + 1, 6);  // same code
      ASSERT_EQ(m->RecordChanged(static_cast<std::uint32_t>(i + 1), table.records[i].data(), changed.data()),
                DBIERR_NONE);
      table.records[i] = changed;
    }
  }
  verify("after appends and changes");

  // Removal of most records empties whole pages and shrinks the trees.
  for (std::size_t i = 0; i < table.records.size(); ++i) {
    if (rng() % 10 == 0) continue;
    ASSERT_EQ(m->RecordChanged(static_cast<std::uint32_t>(i + 1), table.records[i].data(), nullptr), DBIERR_NONE);
    table.removed[i] = true;
  }
  verify("after removals");

  ASSERT_EQ(m->Close(), DBIERR_NONE);
  ASSERT_EQ(Mdx::Open(path, TestLayout(), false, false, &m), DBIERR_NONE);
  verify("reopened");
  ASSERT_EQ(m->Rebuild(&table.Rewind()), DBIERR_NONE);
  verify("rebuilt");
}

INSTANTIATE_TEST_SUITE_P(SharedAndExclusive, TagChurn, ::testing::Values(false, true));

class BatchAppend : public ::testing::TestWithParam<bool> {};

// Runs of records appended together (their entries sorted, then inserted along one path)
// leave every tag holding what a tag built afresh holds: runs of one key spanning many leaf
// splits, keys falling, two falling and rising sequences interleaved, random keys, and runs
// that the conditions leave out in part; on a shared and an exclusive object, and reopened.
TEST_P(BatchAppend, TagsHoldWhatARebuildHolds) {
  const bool exclusive = GetParam();
  TempDir dir;
  const std::string path = dir / "batch.mdx";
  std::unique_ptr<Mdx> m;
  ASSERT_EQ(Mdx::Create(path, "batch", true, TestLayout(), exclusive, &m), DBIERR_NONE);
  std::mt19937 rng(7);
  MemoryTable table;
  for (int i = 0; i < 400; ++i) table.records.push_back(RandomRecord(rng));
  for (const TagDef& t : kTags) ASSERT_EQ(m->AddTag(t.name, t.key, t.cond, &table.Rewind()), DBIERR_NONE) << t.name;

  int built = 0;
  auto verify = [&](const std::string& phase) { ExpectTagsAsRebuilt(*m, dir, table, phase, built); };
  auto append = [&](const std::vector<std::vector<std::uint8_t>>& run, const std::string& phase) {
    std::vector<std::uint8_t> bytes;
    for (const auto& r : run) bytes.insert(bytes.end(), r.begin(), r.end());
    const auto first = static_cast<std::uint32_t>(table.records.size() + 1);
    ASSERT_EQ(m->RecordsAppended(first, static_cast<std::uint32_t>(run.size()), bytes.data(), dbase_test::kTestRecordLength),
              DBIERR_NONE);
    table.records.insert(table.records.end(), run.begin(), run.end());
    verify(phase);
  };

  std::vector<std::vector<std::uint8_t>> run;
  // One key for every record: the entries follow all the key's entries, over many leaves.
  for (int i = 0; i < 700; ++i) run.push_back(MakeRecord("250", "durand", "Z", "12.50", "20240315"));
  append(run, "equal keys");
  run.clear();
  for (int i = 600; i > 0; --i) {
    char day[9];
    std::snprintf(day, sizeof day, "2024%02d%02d", 1 + i % 12, 1 + i % 28);
    run.push_back(MakeRecord(std::to_string(i), kNames[i % std::size(kNames)], i % 4 ? "Z" : "V",
                             std::to_string(i * 3 - 900) + ".75", day));
  }
  append(run, "falling keys");
  run.clear();
  for (int i = 0; i < 900; ++i) {
    const int code = i % 2 ? 100 + i : 1100 - i;
    run.push_back(MakeRecord(std::to_string(code), kNames[(i / 2) % std::size(kNames)], i % 3 ? "Z" : "V",
                             std::to_string(i % 2 ? i : -i) + ".10", i % 5 ? "20231201" : ""));
  }
  append(run, "interleaved keys");
  for (int batch = 0; batch < 4; ++batch) {
    run.clear();
    for (int i = 0; i < 1200; ++i) run.push_back(RandomRecord(rng));
    append(run, "random keys " + std::to_string(batch));
  }
  // A single record, left out of the tags that want the kind Z.
  append({MakeRecord("1", "", "X", "", "")}, "one record");

  ASSERT_EQ(m->Close(), DBIERR_NONE);
  ASSERT_EQ(Mdx::Open(path, TestLayout(), false, exclusive, &m), DBIERR_NONE);
  verify("reopened");
}

INSTANTIATE_TEST_SUITE_P(SharedAndExclusive, BatchAppend, ::testing::Values(false, true));

// Tags added together, in one pass over the records, hold what each holds built alone: keys
// within and beyond the bytes sorted beside the entries, numbers, dates, conditions.
TEST(TagBuild, TagsAddedTogetherHoldWhatEachHoldsBuiltAlone) {
  TempDir dir;
  std::mt19937 rng(5);
  MemoryTable table;
  for (int i = 0; i < 2000; ++i) table.records.push_back(RandomRecord(rng));
  std::vector<MdxTagDefinition> defs;
  for (const TagDef& t : kTags) defs.push_back({t.name, t.key, t.cond});
  std::unique_ptr<Mdx> together, alone;
  ASSERT_EQ(Mdx::Create(dir / "together.mdx", "together", true, TestLayout(), true, &together), DBIERR_NONE);
  ASSERT_EQ(together->AddTags(defs, &table.Rewind()), DBIERR_NONE);
  ASSERT_EQ(Mdx::Create(dir / "alone.mdx", "alone", true, TestLayout(), true, &alone), DBIERR_NONE);
  for (const TagDef& t : kTags) ASSERT_EQ(alone->AddTag(t.name, t.key, t.cond, &table.Rewind()), DBIERR_NONE);
  std::vector<MdxTagInfo> tags;
  ASSERT_EQ(together->Tags(&tags), DBIERR_NONE);
  ASSERT_EQ(tags.size(), std::size(kTags));
  for (std::size_t i = 0; i < tags.size(); ++i) {
    SCOPED_TRACE(kTags[i].name);
    EXPECT_EQ(tags[i].name, kTags[i].name);
    EXPECT_EQ(tags[i].seqNo, static_cast<int>(i + 1));
    const auto want = Lines(WalkTag(*alone, kTags[i].name));
    EXPECT_GT(want.size(), 100u);
    EXPECT_EQ(Lines(WalkTag(*together, kTags[i].name)), want);
    EXPECT_EQ(together->Check(kTags[i].name), DBIERR_NONE);
  }
}

TEST(TagSeek, PartialKeysFindTheFirstEntryThatBeginsWithThem) {
  TempDir dir;
  std::unique_ptr<Mdx> m;
  ASSERT_EQ(Mdx::Create((dir / "s.mdx"), "s", true, TestLayout(), false, &m), DBIERR_NONE);
  MemoryTable table;
  const char* codes[] = {"401", "411", "411", "4111", "41A", "512", "\xE9t", "et", "fa"};
  for (const char* c : codes) table.records.push_back(MakeRecord(c));
  for (int i = 0; i < 2000; ++i) table.records.push_back(MakeRecord("7" + std::to_string(i)));
  ASSERT_EQ(m->AddTag("CODE", "CODE", "", &table), DBIERR_NONE);
  struct Case { std::string key; bool found; std::string entryKey; std::uint32_t recno; } cases[] = {
      {"411", true, "411   ", 2},      // duplicates: the lowest record number first
      {"412", false, "41A   ", 5},     // where it would be
      {"4111    extra", true, "4111  ", 4},  // cut to the key length
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    MdxEntry e;
    bool found = false;
    ASSERT_EQ(m->Seek("code", c.key, &e, &found), DBIERR_NONE);
    EXPECT_EQ(found, c.found);
    EXPECT_EQ(e.key, c.entryKey);
    EXPECT_EQ(e.recno, c.recno);
  }
  MdxEntry e;
  bool found = true;
  EXPECT_EQ(m->Seek("CODE", "\xFF", &e, &found), DBIERR_EOF);
  EXPECT_FALSE(found);
  EXPECT_EQ(m->Seek("NOSUCH", "4", &e, &found), DBIERR_NOSUCHINDEX);
}

TEST(TagSeek, AnUpperKeyAboveItsPageComesDownToAnEntryAddedAtThePageEnd) {
  TempDir dir;
  const std::string path = dir / "up.mdx";
  std::unique_ptr<Mdx> m;
  ASSERT_EQ(Mdx::Create(path, "up", true, TestLayout(), false, &m), DBIERR_NONE);
  MemoryTable table;
  for (int i = 0; i < 200; ++i) {
    char c[8];
    std::snprintf(c, sizeof c, "%04d", 2 * i);
    table.records.push_back(MakeRecord(c));
  }
  ASSERT_EQ(m->AddTag("CODE", "CODE", "", &table), DBIERR_NONE);
  m.reset();
  // The root's first key raised above the greatest key of its page, below the next page's
  // first key, as a writer that did not lower it would leave it.
  const std::vector<char> b = ReadAll(path);
  const std::uint32_t root = Le32(b, Le32(b, mdx_header::kTagTable + mdx_tag_entry::kSize) * 512);
  ASSERT_LT(root * 512 + 16, b.size());
  const std::string first(b.data() + root * 512 + 12, 4);
  ASSERT_EQ(first, "0132");
  {
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(root * 512 + 12);
    f << "0133x";
  }
  ASSERT_EQ(Mdx::Open(path, TestLayout(), false, false, &m), DBIERR_NONE);
  EXPECT_EQ(m->Check("CODE"), DBIERR_INDEXCORRUPT);
  table.records.push_back(MakeRecord("0133"));
  ASSERT_EQ(m->RecordChanged(201, nullptr, table.records.back().data()), DBIERR_NONE);
  EXPECT_EQ(m->Check("CODE"), DBIERR_NONE);
  EXPECT_EQ(WalkTag(*m, "CODE").size(), 201u);
}

// Thousands of records share one key in every tag (one name, one code, no amount), a few have
// keys of their own; the entries of the shared key fill many pages in record-number order. The
// entry of one record among them is moved to another key, removed, or made from another key:
// each change, made by an object that holds no page yet, reads a descent's worth of pages, not
// the pages of the key before the record, and the tags end as tags built afresh hold them.
TEST(EqualKeys, TheEntryOfOneRecordAmongThousandsOfItsKeyIsFoundByItsNumber) {
  TempDir dir;
  const std::string path = dir / "equal.mdx";
  std::unique_ptr<Mdx> m;
  ASSERT_EQ(Mdx::Create(path, "equal", true, TestLayout(), false, &m), DBIERR_NONE);
  const auto shared = MakeRecord("X", "same");
  auto own = [](std::uint32_t recno) { return MakeRecord(std::to_string(recno), "n" + std::to_string(recno)); };
  MemoryTable table;
  for (std::uint32_t recno = 1; recno <= 6000; ++recno) table.records.push_back(recno % 7 == 0 ? own(recno) : shared);
  table.removed.assign(table.records.size(), false);
  for (const TagDef& t : kTags) ASSERT_EQ(m->AddTag(t.name, t.key, t.cond, &table.Rewind()), DBIERR_NONE) << t.name;
  std::uint64_t longPages = 0;
  ASSERT_EQ(m->Count("LONG", &longPages), DBIERR_NONE);
  longPages /= 16;  // the entries of LONG, 16 a page: more than 300 pages, nearly all of one key

  enum Change { kMovedAway, kRemoved, kBroughtIn };
  struct Case { const char* what; std::uint32_t recno; Change change; } cases[] = {
      {"the first of the key moved to a key of its own", 1, kMovedAway},
      {"one in the middle moved to a key of its own", 3001, kMovedAway},
      {"the last of the key moved to a key of its own", 6000, kMovedAway},
      {"one in the middle removed", 2500, kRemoved},
      {"one near the end removed", 5998, kRemoved},
      {"a record of its own key brought in among them", 2996, kBroughtIn},
      {"the one moved away brought back", 3001, kBroughtIn},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::uint8_t>& record = table.records[c.recno - 1];
    const std::vector<std::uint8_t> before = record;
    record = c.change == kBroughtIn ? shared : own(c.recno);
    ASSERT_EQ(m->Close(), DBIERR_NONE);
    ASSERT_EQ(Mdx::Open(path, TestLayout(), false, false, &m), DBIERR_NONE);
    test_support::RefusedRead::Arm("/equal.mdx", INT_MAX);  // counts the reads, refuses none
    ASSERT_EQ(m->RecordChanged(c.recno, before.data(), c.change == kRemoved ? nullptr : record.data()),
              DBIERR_NONE);
    const int reads = test_support::RefusedRead::Seen();
    test_support::RefusedRead::Disarm();
    if (c.change == kRemoved) table.removed[c.recno - 1] = true;
    // Six tags, each a few levels deep: a few pages halved over per level, far fewer than the
    // pages of LONG's shared key alone.
    EXPECT_LT(static_cast<std::uint64_t>(reads), longPages / 3) << longPages << " pages of the key";
  }
  int built = 0;
  ExpectTagsAsRebuilt(*m, dir, table, "after the changes", built);
}

TEST(NumericKeys, BcdRoundTripsAndKeepsItsForm) {
  for (double v : {-1234.56, 1e15}) {
    std::uint8_t k[12];
    NumberToBcdKey(v, k);
    EXPECT_NEAR(BcdKeyToNumber(k), v, std::fabs(v) * 1e-12) << v;
  }
  std::uint8_t k[12];
  NumberToBcdKey(12.5, k);
  const std::uint8_t want[12] = {0x36, 0x0D, 0x12, 0x50, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(std::memcmp(k, want, 12), 0);
}

TEST(PageReader, CountsAndPositionsAsTheListsNeedThem) {
  TempDir dir;
  const std::string path = (dir / "r.mdx");
  std::unique_ptr<Mdx> m;
  ASSERT_EQ(Mdx::Create(path, "r", true, TestLayout(), false, &m), DBIERR_NONE);
  MemoryTable table;
  // Codes 0000 .. 2999 with every tenth code doubled: several levels of pages.
  for (int i = 0; i < 3000; ++i) {
    char c[8];
    std::snprintf(c, sizeof c, "%04d", i);
    table.records.push_back(MakeRecord(c));
    if (i % 10 == 0) table.records.push_back(MakeRecord(c));
  }
  ASSERT_EQ(m->AddTag("FIRST", "KIND", "", &table.Rewind()), DBIERR_NONE);
  ASSERT_EQ(m->AddTag("CODE", "CODE", "", &table.Rewind()), DBIERR_NONE);
  ASSERT_EQ(m->Close(), DBIERR_NONE);
  const auto entries = table.records.size();
  struct Case { int mode; std::string key; std::uint32_t result; std::uint32_t recno; } cases[] = {
      {1, "0010", 2, 13},    // the doubled code: two entries, the last one's record
      {2, "9", static_cast<std::uint32_t>(entries), 0},  // no match: every entry read
      {1, "0005 and more", 1, 7},  // cut to key length - 1: "0005 "
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.mode) + " " + c.key);
    std::uint32_t recno = 99;
    EXPECT_EQ(CountTagEntries(path, 2, c.mode, c.key, &recno), c.result);
    EXPECT_EQ(recno, c.recno);
  }
  std::uint32_t recno = 0;
  EXPECT_EQ(CountTagEntries(path, 1, 1, "Z", &recno), entries);
  EXPECT_EQ(CountTagEntries(path, 3, 1, "Z", &recno), 0u);  // no third tag
  EXPECT_EQ(CountTagEntries((dir / "none.mdx"), 1, 1, "Z", &recno), 0u);
}

// A file of two tags, the second with three levels of pages.
std::string MakeDeepFile(const TempDir& dir) {
  const std::string path = (dir / "deep.mdx");
  std::unique_ptr<Mdx> m;
  EXPECT_EQ(Mdx::Create(path, "deep", true, TestLayout(), false, &m), DBIERR_NONE);
  MemoryTable table;
  for (int i = 0; i < 4000; ++i) table.records.push_back(MakeRecord(std::to_string(i), "n" + std::to_string(i % 50)));
  EXPECT_EQ(m->AddTag("SMALL", "KIND", "", &table.Rewind()), DBIERR_NONE);
  EXPECT_EQ(m->AddTag("LONG", "NAME+NAME+NAME+NAME+CODE", "", &table.Rewind()), DBIERR_NONE);
  return path;
}

TEST(DamagedFile, BadBlockNumbersLoopsAndTruncationAreRefused) {
  struct Case {
    const char* what;
    void (*damage)(const std::string& path, const std::vector<char>& b);
    bool opens;
    bool countsZero;  // the direct page reader answers 0
  } cases[] = {
      {"root past the end", [](const std::string& p, const std::vector<char>& b) {
         Patch32(p, Le32(b, 576) * 512, 0x00FFFFF0);
       }, true, true},
      {"child loops to the root", [](const std::string& p, const std::vector<char>& b) {
         const std::uint32_t root = Le32(b, Le32(b, 576) * 512);
         Patch32(p, root * 512 + 8, root);
       }, true, true},
      {"key below the one before it", [](const std::string& p, const std::vector<char>& b) {
         const std::uint32_t leaf = Le32(b, Le32(b, 576) * 512 + 248);
         std::fstream f(p, std::ios::in | std::ios::out | std::ios::binary);
         f.seekp(leaf * 512 + 8 + 60 * 5 + 4);
         f << std::string(54, ' ');
       }, true, false},
      {"tag header past the end", [](const std::string& p, const std::vector<char>&) {
         Patch32(p, 576, 0x7FFFFFF);
       }, false, true},
      {"truncated in the pages", [](const std::string& p, const std::vector<char>& b) {
         ASSERT_EQ(::truncate(p.c_str(), static_cast<off_t>(b.size() / 2)), 0);
       }, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const std::string path = MakeDeepFile(dir);
    c.damage(path, ReadAll(path));
    std::uint32_t recno = 7;
    const std::uint32_t counted = CountTagEntries(path, 2, 2, "zzz", &recno);
    if (c.countsZero) {
      EXPECT_EQ(counted, 0u);
      EXPECT_EQ(recno, 0u);
    }
    std::unique_ptr<Mdx> m;
    const DBIResult opened = Mdx::Open(path, TestLayout(), false, false, &m);
    if (!c.opens) {
      EXPECT_EQ(opened, DBIERR_INDEXCORRUPT);
      continue;
    }
    ASSERT_EQ(opened, DBIERR_NONE);
    std::uint64_t n = 0;
    const DBIResult count = m->Count("LONG", &n);
    const DBIResult check = m->Check("LONG");
    MdxEntry e;
    const DBIResult last = m->Last("LONG", &e);
    bool found = false;
    const DBIResult seek = m->Seek("LONG", "n49", &e, &found);
    EXPECT_TRUE(count == DBIERR_INDEXCORRUPT || check == DBIERR_INDEXCORRUPT) << count << " " << check;
    // Walks end, at an end of the tag or on the damage, never going round.
    for (bool forward : {true, false}) {
      DBIResult r = forward ? m->First("LONG", &e) : m->Last("LONG", &e);
      int steps = 0;
      for (MdxEntry n; r == DBIERR_NONE && steps <= 4000; ++steps, e = n)
        r = forward ? m->Next("LONG", e, &n) : m->Prior("LONG", e, &n);
      EXPECT_LE(steps, 4000) << forward;
    }
    EXPECT_NE(last == DBIERR_NONE && seek == DBIERR_NONE && check == DBIERR_NONE, true);
    const auto rec = MakeRecord("x", "");  // the smallest key: its way down crosses the damage
    if (c.countsZero) {  // a damage on the way down (a misplaced key only misplaces the new entry)
      EXPECT_NE(m->RecordChanged(9000, nullptr, rec.data()), DBIERR_NONE);
    }
    EXPECT_EQ(m->Check("SMALL"), DBIERR_NONE);  // the other tag is untouched
  }
}

}  // namespace
}  // namespace dbase
