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
