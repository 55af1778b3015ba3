// Cursors in key order: tags, seeks, separate index files and index calls.
#include "dbase_test_util.h"

namespace dbase_test {
namespace {

class IndexTest : public Engine {
 protected:
  void MakeLines(const std::string& path) {
    EngineCursor cur;
    ASSERT_EQ(Create(path, {Field("BCLE", 'C', 1), Field("BJAL", 'C', 2), Field("BPIECE", 'C', 6),
                            Field("BVENT", 'C', 2), Field("BLIB", 'C', 20), Field("BMONT", 'N', 12, 2)}, &cur),
              DBIERR_NONE);
    ASSERT_EQ(AddTag(cur, "LCODE", "BCLE+BJAL+BPIECE", "BCLE='Z'"), DBIERR_NONE);
    ASSERT_EQ(AddTag(cur, "LANAL", "BJAL+UPPER(BLIB)", "BCLE<'Z'"), DBIERR_NONE);
    ASSERT_EQ(AddTag(cur, "LVENT", "BCLE+BVENT+BJAL", "BCLE='Z' .AND. BVENT#'  '"), DBIERR_NONE);
    cur.Close();
  }
  // Record numbers of a tag, first to last.
  std::vector<std::uint32_t> TagOrder(hDBICur cur, const char* tag) {
    EXPECT_EQ(DbiSwitchToIndex(&cur, nullptr, tag, 0, false), DBIERR_NONE) << tag;
    std::vector<std::uint32_t> out;
    RECProps rp;
    DbiSetToBegin(cur);
    while (DbiGetNextRecord(cur, dbiNOLOCK, nullptr, &rp) == DBIERR_NONE) out.push_back(rp.iPhyRecNum);
    return out;
  }
  TempDir dir;
};

TEST_F(IndexTest, TagsOrderSeekAndDescribe) {
  std::string t = dir / "lines.dbf";
  MakeLines(t);
  EngineCursor cur;
  ASSERT_EQ(Open(t, &cur, dbiOPENSHARED, "LCODE"), DBIERR_NONE);
  const std::vector<std::vector<const char*>> rows = {
      {"Z", "VT", "000002", "  ", "\xE9t\xE9"}, {"Z", "AC", "000001", "01", "Eau"},
      {"A", "AC", "000001", "  ", "analytique"}, {"Z", "AC", "000010", "  ", "\xC9t\xE9"},
      {"Z", "AC", "000001", "02", "eau"}};
  for (const auto& r : rows) ASSERT_EQ(Append(cur, r), DBIERR_NONE);
  EXPECT_EQ(TagOrder(cur, "LCODE"), (std::vector<std::uint32_t>{2, 5, 4, 1}));
  EXPECT_EQ(TagOrder(cur, "lanal"), (std::vector<std::uint32_t>{3}));
  EXPECT_EQ(TagOrder(cur, "LVENT"), (std::vector<std::uint32_t>{2, 5}));

  // Seeks with a partial key: the first entry that begins with it, or where it would be.
  DbiSwitchToIndex(cur.Handle(), nullptr, "LCODE", 0, false);
  struct Seek {
    const char* key;
    std::uint16_t len;
    DBIResult rc;
    std::uint32_t next;  // record the next read gives; 0 = end of table
  } seeks[] = {{"ZAC00001", 0, DBIERR_NONE, 4}, {"ZACxxxx", 3, DBIERR_NONE, 2}, {"ZZ", 0, DBIERR_RECNOTFOUND, 0}};
  for (const Seek& s : seeks) {
    EXPECT_EQ(DbiSetToKey(cur, keySEARCHEQ, true, 0, s.len, s.key), s.rc) << s.key;
    RECProps rp;
    DBIResult rc = DbiGetNextRecord(cur, dbiNOLOCK, nullptr, &rp);
    EXPECT_EQ(rc, s.next == 0 ? DBIERR_EOF : DBIERR_NONE) << s.key;
    if (s.next != 0) {
      EXPECT_EQ(rp.iPhyRecNum, s.next) << s.key;
    }
  }
  // From a record reached by number, the moves follow the tag.
  DbiSetToRecordNo(cur, 4);
  RECProps rp;
  ASSERT_EQ(DbiGetPriorRecord(cur, dbiNOLOCK, nullptr, &rp), DBIERR_NONE);
  EXPECT_EQ(rp.iPhyRecNum, 5u);

  EXPECT_EQ(DbiSwitchToIndex(cur.Handle(), nullptr, "NOPE", 0, false), DBIERR_NOSUCHINDEX);

  // A temporary tag comes and goes; deleting it twice says there is no such tag.
  ASSERT_EQ(AddTag(cur, "TAG_TMP", "BLIB", ""), DBIERR_NONE);
  EXPECT_EQ(TagOrder(cur, "TAG_TMP"), (std::vector<std::uint32_t>{2, 4, 3, 5, 1}));  // capitals first
  EXPECT_EQ(DbiDeleteIndex(db, cur, nullptr, nullptr, nullptr, "TAG_TMP", 0), DBIERR_NONE);
  EXPECT_EQ(DbiDeleteIndex(db, cur, nullptr, nullptr, nullptr, "TAG_TMP", 0), DBIERR_NOSUCHINDEX);
}

TEST_F(IndexTest, SeparateIndexFileIsAnOrderNobodyMaintains) {
  std::string t = dir / "c60.dbf";
  MakeLines(t);
  EngineCursor cur;
  ASSERT_EQ(Open(t, &cur), DBIERR_NONE);
  for (const char* lib : {"b", "c", "a"}) Append(cur, {"Z", "AC", "1", "  ", lib});
  IDXDesc idx;
  std::snprintf(idx.szName, sizeof idx.szName, "%s", "match.mdx");
  std::snprintf(idx.szKeyExp, sizeof idx.szKeyExp, "%s", "BLIB");
  idx.bMaintained = false;
  idx.iFldsInKey = 1;
  ASSERT_EQ(DbiAddIndex(db, cur, nullptr, nullptr, &idx, nullptr), DBIERR_NONE);
  ASSERT_EQ(DbiSwitchToIndex(cur.Handle(), "match.mdx", nullptr, 0, false), DBIERR_NONE);
  Append(cur, {"Z", "AC", "1", "  ", "0"});
  EXPECT_EQ(Walk(cur, 5), (std::vector<std::string>{"3:a", "1:b", "2:c"}));
  EXPECT_EQ(DbiCloseIndex(cur, "match.mdx", 0), DBIERR_NONE);
  EXPECT_EQ(Walk(cur, 5).size(), 4u);  // natural order again
  EXPECT_EQ(DbiCloseIndex(cur, "match.mdx", 0), DBIERR_NOSUCHINDEX);
  std::snprintf(idx.szName, sizeof idx.szName, "%s", "/no/such/folder/m.mdx");
  EXPECT_EQ(DbiAddIndex(db, cur, nullptr, nullptr, &idx, nullptr), DBIERR_INDEXFILEERR);
}

}  // namespace
}  // namespace dbase_test

namespace dbase_test {
namespace {

class BatchTest : public IndexTest {
 protected:
  // A table of `count` records keyed "K" + six digits of `keyOf(n)`, with a tag on that key.
  void Make(const std::string& path, std::uint32_t count, const std::function<std::uint32_t(std::uint32_t)>& keyOf,
            EngineCursor* cur) {
    ASSERT_EQ(Create(path, {Field("CODE", 'C', 7), Field("LIB", 'C', 200)}, cur), DBIERR_NONE);
    std::vector<std::uint8_t> all;
    std::vector<std::uint8_t> buf = Buffer(*cur);
    for (std::uint32_t n = 1; n <= count; ++n) {
      DbiInitRecord(*cur, buf.data());
      char key[16];
      std::snprintf(key, sizeof key, "K%06u", keyOf(n));
      DbiPutField(*cur, 1, buf.data(), key);
      all.insert(all.end(), buf.begin(), buf.end());
    }
    ASSERT_EQ(DbiAppendRecords(*cur, count, all.data()), DBIERR_NONE);
    ASSERT_EQ(AddTag(*cur, "CODE", "CODE"), DBIERR_NONE);
  }
};

// A tag built over records already in key order, in a few stretches of it, in many, or in none,
// walks them in key order (record numbers breaking ties).
TEST_F(BatchTest, TagsAreBuiltInKeyOrderWhateverTheRecordsOrder) {
  const std::uint32_t n = 3000;
  const std::vector<std::pair<const char*, std::function<std::uint32_t(std::uint32_t)>>> orders = {
      {"ordered", [](std::uint32_t r) { return r; }},
      {"two stretches", [n](std::uint32_t r) { return r <= n / 2 ? r + n : r; }},
      {"ten stretches with ties", [](std::uint32_t r) { return (r % 300) / 2; }},
      {"reversed", [n](std::uint32_t r) { return n - r; }},
      {"scattered", [](std::uint32_t r) { return (r * 7919u) % 1009u; }},
  };
  for (const auto& [name, keyOf] : orders) {
    EngineCursor cur;
    Make(dir / (std::string(name) + ".dbf"), n, keyOf, &cur);
    std::vector<std::uint32_t> want(n);
    for (std::uint32_t r = 1; r <= n; ++r) want[r - 1] = r;
    std::stable_sort(want.begin(), want.end(), [&](std::uint32_t a, std::uint32_t b) { return keyOf(a) < keyOf(b); });
    EXPECT_EQ(TagOrder(cur, "CODE"), want) << name;
    EXPECT_EQ(DbiCheckIndex(cur, false), DBIERR_NONE) << name;
  }
}

// Delete marks set for many records at once: stretches wider than one write, a record deleted
// already, the index kept; refused on a shared cursor, out of order or past the count.
TEST_F(BatchTest, ManyDeleteMarksAtOnce) {
  const std::uint32_t n = 2000;
  EngineCursor cur;
  Make(dir / "marks.dbf", n, [](std::uint32_t r) { return r; }, &cur);
  std::vector<std::uint8_t> buf = Buffer(cur);
  ASSERT_EQ(DbiSetToRecordNo(cur, 7), DBIERR_NONE);
  ASSERT_EQ(DbiGetRecord(cur, dbiNOLOCK, buf.data(), nullptr), DBIERR_NONE);
  ASSERT_EQ(DbiDeleteRecord(cur, buf.data()), DBIERR_NONE);
  std::vector<std::uint32_t> marks{1, 2, 7, 300, 301, 1500, 2000};
  for (std::uint32_t r = 400; r < 1400; r += 3) marks.push_back(r);
  std::sort(marks.begin(), marks.end());
  EXPECT_EQ(DbiDeleteRecords(cur, static_cast<std::uint32_t>(marks.size()), marks.data()), DBIERR_NONE);
  std::vector<std::uint32_t> bad{5, 4};
  EXPECT_EQ(DbiDeleteRecords(cur, 2, bad.data()), DBIERR_INVALIDPARAM);
  std::vector<std::uint32_t> past{n + 1};
  EXPECT_EQ(DbiDeleteRecords(cur, 1, past.data()), DBIERR_INVALIDPARAM);
  cur.Close();

  // Read back by another cursor: exactly those records carry the mark, every other byte kept.
  EngineCursor shared;
  ASSERT_EQ(Open(dir / "marks.dbf", &shared), DBIERR_NONE);
  std::uint32_t count = 0;
  ASSERT_EQ(DbiGetRecordCount(shared, &count), DBIERR_NONE);
  EXPECT_EQ(count, n);
  for (std::uint32_t r = 1; r <= n; ++r) {
    ASSERT_EQ(DbiSetToRecordNo(shared, r), DBIERR_NONE);
    RECProps rp;
    ASSERT_EQ(DbiGetRecord(shared, dbiNOLOCK, buf.data(), &rp), DBIERR_NONE);
    EXPECT_EQ(rp.bDeleteFlag, std::binary_search(marks.begin(), marks.end(), r)) << r;
    char key[16];
    std::snprintf(key, sizeof key, "K%06u", r);
    EXPECT_EQ(Text(shared, buf, 1), key) << r;
  }
  EXPECT_EQ(TagOrder(shared, "CODE").size(), n);
  EXPECT_EQ(DbiCheckIndex(shared, false), DBIERR_NONE);
  EXPECT_EQ(DbiDeleteRecords(shared, 1, marks.data()), DBIERR_NEEDEXCLACCESS);
}

}  // namespace
}  // namespace dbase_test
