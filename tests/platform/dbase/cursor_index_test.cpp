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
// A pack writes a new index holding the same tags (names, keys, conditions, in order) over the
// records left, and the table's name in its header; the tags are then maintained as before.
TEST_F(IndexTest, APackKeepsEveryTagOverTheRecordsLeft) {
  const std::string t = dir / "lines.dbf";
  MakeLines(t);
  EngineCursor cur;
  ASSERT_EQ(Open(t, &cur, dbiOPENEXCL), DBIERR_NONE);
  std::vector<IDXDesc> before(4);
  for (std::uint16_t i = 1; i <= 3; ++i) ASSERT_EQ(DbiGetIndexDesc(cur, i, &before[i]), DBIERR_NONE);
  const char* jal[] = {"VT", "AC", "BQ"};
  for (int i = 0; i < 60; ++i) {
    const std::string piece = std::to_string(100000 + (i * 37) % 61);
    ASSERT_EQ(Append(cur, {i % 4 == 0 ? "A" : "Z", jal[i % 3], piece.c_str(), i % 5 == 0 ? "01" : "  ", "lib"}),
              DBIERR_NONE);
  }
  std::vector<std::uint8_t> buf = Buffer(cur);
  std::vector<std::uint32_t> gone;
  for (std::uint32_t r = 1; r <= 60; r += (r % 7) + 1) gone.push_back(r);
  ASSERT_EQ(DbiDeleteRecords(cur, static_cast<std::uint32_t>(gone.size()), gone.data()), DBIERR_NONE);
  // The same records left, written to a table of their own whose tags are built afresh.
  const std::string model = dir / "model.dbf";
  MakeLines(model);
  EngineCursor fresh;
  ASSERT_EQ(Open(model, &fresh, dbiOPENEXCL), DBIERR_NONE);
  for (int i = 0; i < 60; ++i) {
    if (std::binary_search(gone.begin(), gone.end(), static_cast<std::uint32_t>(i + 1))) continue;
    const std::string piece = std::to_string(100000 + (i * 37) % 61);
    ASSERT_EQ(Append(fresh, {i % 4 == 0 ? "A" : "Z", jal[i % 3], piece.c_str(), i % 5 == 0 ? "01" : "  ", "lib"}),
              DBIERR_NONE);
  }
  ASSERT_EQ(DbiPackTable(db, cur, nullptr, nullptr, true), DBIERR_NONE);
  for (std::uint16_t i = 1; i <= 3; ++i) {
    IDXDesc after;
    ASSERT_EQ(DbiGetIndexDesc(cur, i, &after), DBIERR_NONE);
    EXPECT_STREQ(after.szTagName, before[i].szTagName);
    EXPECT_STREQ(after.szKeyExp, before[i].szKeyExp);
    EXPECT_STREQ(after.szKeyCond, before[i].szKeyCond);
    EXPECT_EQ(TagOrder(cur, after.szTagName), TagOrder(fresh, after.szTagName)) << after.szTagName;
  }
  IDXDesc none;
  EXPECT_EQ(DbiGetIndexDesc(cur, 4, &none), DBIERR_NOSUCHINDEX);
  std::string table;
  ASSERT_TRUE(ReadMdxTableName(dir / "lines.mdx", &table));
  EXPECT_EQ(table, "lines");
  ASSERT_EQ(Append(cur, {"Z", "AA", "000001", "  ", "after"}), DBIERR_NONE);
  ASSERT_EQ(Append(fresh, {"Z", "AA", "000001", "  ", "after"}), DBIERR_NONE);
  EXPECT_EQ(TagOrder(cur, "LCODE"), TagOrder(fresh, "LCODE"));
  EXPECT_EQ(DbiCheckIndex(cur, false), DBIERR_NONE);
}

// Several tags through one call: all of them, or none when one of them cannot be built.
TEST_F(IndexTest, SeveralTagsAddedAtOnceOrNoneOfThem) {
  const std::string t = dir / "lines.dbf";
  MakeLines(t);
  EngineCursor cur;
  ASSERT_EQ(Open(t, &cur, dbiOPENEXCL), DBIERR_NONE);
  auto desc = [](const char* name, const char* key, const char* cond) {
    IDXDesc d;
    std::snprintf(d.szTagName, sizeof d.szTagName, "%s", name);
    std::snprintf(d.szKeyExp, sizeof d.szKeyExp, "%s", key);
    std::snprintf(d.szKeyCond, sizeof d.szKeyCond, "%s", cond);
    d.bSubset = cond[0] != 0;
    return d;
  };
  const std::vector<std::vector<const char*>> rows = {
      {"Z", "VT", "000002", "  ", "b"}, {"Z", "AC", "000001", "01", "a"}, {"A", "AC", "000001", "  ", "c"}};
  for (const auto& r : rows) ASSERT_EQ(Append(cur, r), DBIERR_NONE);
  const std::vector<IDXDesc> refused[] = {
      {desc("NEW1", "BJAL", ""), desc("NEW2", "NOFIELD", "")},
      {desc("NEW1", "BJAL", ""), desc("NEW1", "BLIB", "")},
      {desc("NEW1", "BJAL", ""), desc("LCODE", "BLIB", "")},
  };
  for (const auto& list : refused) {
    EXPECT_NE(DbiAddIndexes(cur, nullptr, static_cast<std::uint16_t>(list.size()), list.data()), DBIERR_NONE);
    IDXDesc d;
    EXPECT_EQ(DbiGetIndexDesc(cur, 4, &d), DBIERR_NOSUCHINDEX);
  }
  const std::vector<IDXDesc> ok = {desc("BYLIB", "BLIB", ""), desc("BYJAL", "BJAL+BPIECE", "BCLE='Z'")};
  ASSERT_EQ(DbiAddIndexes(cur, nullptr, 2, ok.data()), DBIERR_NONE);
  EXPECT_EQ(TagOrder(cur, "BYLIB"), (std::vector<std::uint32_t>{2, 1, 3}));
  EXPECT_EQ(TagOrder(cur, "BYJAL"), (std::vector<std::uint32_t>{2, 1}));
  EXPECT_EQ(DbiCheckIndex(cur, false), DBIERR_NONE);
}

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
