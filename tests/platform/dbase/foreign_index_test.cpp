// Index files written by other dBASE tools: descending and unique tags, pages in another
// collation (refused in a table of our language driver, kept in byte order in a table of
// another's), tags whose expressions this engine cannot compute, and the date of last update.
#include <algorithm>
#include <cstring>
#include <ctime>
#include <fstream>
#include <random>

#include "dbase_test_util.h"
#include "file_layout.h"
#include "mdx.h"
#include "weights.h"

namespace dbase_test {
namespace {

void WriteAll(const std::string& path, const std::vector<char>& b) {
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(b.data(), static_cast<std::streamsize>(b.size()));
}

// Offset of tag n's header page.
std::size_t TagHeader(const std::vector<char>& b, int n) {
  return Le32(b, mdx_header::kTagTable + mdx_tag_entry::kSize * n + mdx_tag_entry::kHeaderBlock) * 512u;
}

// Sets key format bits of tag n, as another tool writes a descending or unique tag.
void SetTagFlags(const std::string& path, int n, std::uint8_t bits) {
  std::vector<char> b = ReadAll(path);
  b[TagHeader(b, n) + mdx_tag_header::kKeyFormat] |= static_cast<char>(bits);
  b[mdx_header::kTagTable + mdx_tag_entry::kSize * n + mdx_tag_entry::kKeyFormat] |= static_cast<char>(bits);
  WriteAll(path, b);
}

// Rewrites tag n (a root over leaves) with its entries in byte order, as a tool with
// another collation would have written it: same pages, same counts, separators the last
// key of each leaf.
void ReorderInBytes(const std::string& path, int n) {
  std::vector<char> b = ReadAll(path);
  const std::size_t h = TagHeader(b, n);
  const std::uint32_t L = static_cast<std::uint8_t>(b[h + mdx_tag_header::kItemLength]);
  const std::size_t root = Le32(b, h + mdx_tag_header::kRoot) * 512u;
  const std::uint32_t keys = Le32(b, root);
  std::vector<std::size_t> leaves;
  for (std::uint32_t i = 0; i <= keys; ++i) leaves.push_back(Le32(b, root + 8 + i * L) * 512u);
  std::vector<std::string> items;
  for (std::size_t leaf : leaves)
    for (std::uint32_t i = 0; i < Le32(b, leaf); ++i) items.emplace_back(b.data() + leaf + 8 + i * L, L);
  std::sort(items.begin(), items.end(), [](const std::string& x, const std::string& y) {
    const int c = x.compare(4, std::string::npos, y, 4, std::string::npos);
    std::uint32_t rx, ry;
    std::memcpy(&rx, x.data(), 4);
    std::memcpy(&ry, y.data(), 4);
    return c != 0 ? c < 0 : rx < ry;
  });
  std::size_t next = 0;
  for (std::size_t l = 0; l < leaves.size(); ++l) {
    for (std::uint32_t i = 0; i < Le32(b, leaves[l]); ++i) std::memcpy(b.data() + leaves[l] + 8 + i * L, items[next++].data(), L);
    if (l < keys) std::memcpy(b.data() + root + 8 + l * L + 4, items[next - 1].data() + 4, L - 4);
  }
  WriteAll(path, b);
}

const char* kNames[] = {"dupont", "Dupont", "d\xE9" "but", "durand", "\xC9" "mile", "emile", "zo\xE9",
                        "abc",    "Abc",    "c\xF4te",     "cote",   "martin", "Martin", "\xE0" "la"};

// The tag as another tool maintains it, kept by hand: unique tags keep the first record
// that brought a key; descending tags walk from the highest key.
struct Model {
  bool descending, unique;
  std::vector<MdxEntry> entries;
  void Add(const std::string& key, std::uint32_t recno) {
    if (unique && std::any_of(entries.begin(), entries.end(), [&](const MdxEntry& e) { return e.key == key; })) return;
    entries.push_back({key, recno});
  }
  void Remove(const std::string& key, std::uint32_t recno) {
    std::erase_if(entries, [&](const MdxEntry& e) { return e.key == key && e.recno == recno; });
  }
  std::vector<MdxEntry> Sorted() const {
    std::vector<MdxEntry> out = entries;
    std::sort(out.begin(), out.end(), [&](const MdxEntry& a, const MdxEntry& b) {
      int c = CompareWeighted(a.key, b.key);
      if (descending) c = -c;
      return c != 0 ? c < 0 : a.recno < b.recno;
    });
    return out;
  }
};

void ExpectTag(Mdx& m, const Model& model) {
  const std::vector<std::string> want = Lines(model.Sorted());
  EXPECT_EQ(Lines(WalkTag(m, "BYNAME")), want);
  EXPECT_EQ(Lines(WalkTag(m, "BYNAME", true)), want);
  EXPECT_EQ(m.Check("BYNAME"), DBIERR_NONE);
  EXPECT_EQ(m.CheckOrder(), DBIERR_NONE);
}

TEST(ForeignTag, DescendingAndUniqueFlagsHoldThroughBuildsChangesAndWalks) {
  struct Case {
    const char* what;
    std::uint8_t bits;
  } cases[] = {{"descending", mdx_tag_header::kDescendingBit},
               {"descending unique", mdx_tag_header::kDescendingBit | mdx_tag_header::kUniqueBit}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const std::string path = dir / "f.mdx";
    std::unique_ptr<Mdx> m;
    ASSERT_EQ(Mdx::Create(path, "f", true, TestLayout(), false, &m), DBIERR_NONE);
    ASSERT_EQ(m->AddTag("BYNAME", "NAME", "", nullptr), DBIERR_NONE);
    m.reset();
    SetTagFlags(path, 1, c.bits);
    ASSERT_EQ(Mdx::Open(path, TestLayout(), false, false, &m), DBIERR_NONE);

    std::mt19937 rng(7);
    MemoryTable table;
    Model model{(c.bits & mdx_tag_header::kDescendingBit) != 0, (c.bits & mdx_tag_header::kUniqueBit) != 0, {}};
    auto key = [&](const std::vector<std::uint8_t>& rec) {
      std::string k;
      bool in = false;
      EXPECT_EQ(m->KeyOf("BYNAME", rec.data(), &k, &in), DBIERR_NONE);
      return k;
    };
    // Enough records for several leaves under the root.
    for (std::uint32_t i = 1; i <= 300; ++i) {
      table.records.push_back(MakeRecord("C", kNames[rng() % std::size(kNames)] + std::to_string(rng() % 9)));
      model.Add(key(table.records.back()), i);
    }
    ASSERT_EQ(m->Rebuild(&table), DBIERR_NONE);
    ExpectTag(*m, model);

    // Appends, changes and removals through the update calls.
    for (int step = 0; step < 300; ++step) {
      const std::uint32_t recno = static_cast<std::uint32_t>(1 + rng() % table.records.size());
      std::vector<std::uint8_t>& rec = table.records[recno - 1];
      const auto fresh = MakeRecord("C", kNames[rng() % std::size(kNames)] + std::to_string(rng() % 9));
      switch (step % 3) {
        case 0:
          table.records.push_back(fresh);
          ASSERT_EQ(m->RecordChanged(static_cast<std::uint32_t>(table.records.size()), nullptr, fresh.data()), DBIERR_NONE);
          model.Add(key(fresh), static_cast<std::uint32_t>(table.records.size()));
          break;
        case 1:
          ASSERT_EQ(m->RecordChanged(recno, rec.data(), fresh.data()), DBIERR_NONE);
          if (key(rec) != key(fresh)) {
            model.Remove(key(rec), recno);
            model.Add(key(fresh), recno);
          }
          rec = fresh;
          break;
        default:
          ASSERT_EQ(m->RecordChanged(recno, rec.data(), nullptr), DBIERR_NONE);
          model.Remove(key(rec), recno);
          break;
      }
    }
    ExpectTag(*m, model);
  }
}

// A table whose production index was written in byte order by another tool.
class ForeignIndex : public Engine {
 protected:
  void MakeTable(const std::vector<std::string>& names) {
    EngineCursor cur;
    ASSERT_EQ(Create(path, {Field("NAME", 'C', 12), Field("DT", 'D', 8)}, &cur), DBIERR_NONE);
    ASSERT_EQ(AddTag(cur, "BYNAME", "NAME"), DBIERR_NONE);
    ASSERT_EQ(AddTag(cur, "TWICE", "NAME+NAME"), DBIERR_NONE);
    for (const std::string& n : names) ASSERT_EQ(Append(cur, {n.c_str(), "20240102"}), DBIERR_NONE);
  }
  TempDir dir;  // before the paths made from it
  std::string path = dir / "t.dbf";
  std::string mdx = dir / "t.mdx";
};

TEST_F(ForeignIndex, AnotherOrderIsRefusedSharedAndRebuiltExclusive) {
  std::vector<std::string> names;
  for (int i = 0; i < 300; ++i) names.push_back(kNames[i % std::size(kNames)] + std::to_string(i % 7));
  MakeTable(names);
  ReorderInBytes(mdx, 1);

  // The engine itself never reads it as if it were sound.
  {
    std::unique_ptr<Mdx> m;
    ASSERT_EQ(Mdx::Open(mdx, {{"NAME", 'C', 1, 12, 0}, {"DT", 'D', 13, 8, 0}}, true, false, &m), DBIERR_NONE);
    EXPECT_EQ(m->CheckOrder(), DBIERR_INDEXCORRUPT);
  }

  EngineCursor cur;
  EXPECT_EQ(Open(path, &cur, dbiOPENSHARED, "BYNAME"), DBIERR_INDEXCORRUPT);
  ASSERT_EQ(Open(path, &cur, dbiOPENEXCL, "BYNAME"), DBIERR_NONE);
  cur.Close();
  ASSERT_EQ(Open(path, &cur, dbiOPENSHARED, "BYNAME"), DBIERR_NONE);
  EXPECT_EQ(Walk(cur).size(), names.size());
}

TEST_F(ForeignIndex, ATableOfAnotherLanguageDriverKeepsItsCharacterTagsInByteOrder) {
  std::vector<std::string> names;
  for (int i = 0; i < 300; ++i) names.push_back(kNames[i % std::size(kNames)] + std::to_string(i % 7));
  MakeTable(names);
  ReorderInBytes(mdx, 1);
  ReorderInBytes(mdx, 2);
  std::vector<char> b = ReadAll(path);
  b[dbf_header::kLanguageDriver] = 0x03;  // another program's driver
  WriteAll(path, b);
  // Each record as the walk shows it, in byte order of the key (ties by record).
  std::vector<std::pair<std::string, std::uint32_t>> model;
  for (std::size_t i = 0; i < names.size(); ++i) model.emplace_back(names[i], static_cast<std::uint32_t>(i + 1));
  auto expected = [&] {
    auto sorted = model;
    std::sort(sorted.begin(), sorted.end(), [](const auto& x, const auto& y) {
      const std::string a = (x.first + std::string(12, ' ')).substr(0, 12), c = (y.first + std::string(12, ' ')).substr(0, 12);
      return a != c ? a < c : x.second < y.second;
    });
    std::vector<std::string> out;
    for (const auto& [name, recno] : sorted) out.push_back(std::to_string(recno) + ":" + name);
    return out;
  };
  const RecordLayout layout = {{"NAME", 'C', 1, 12, 0}, {"DT", 'D', 13, 8, 0}};
  auto checkTags = [&](const char* when) {
    SCOPED_TRACE(when);
    std::unique_ptr<Mdx> m;
    ASSERT_EQ(Mdx::Open(mdx, layout, true, false, &m, KeyOrder::kBytes), DBIERR_NONE);
    EXPECT_EQ(m->Check("BYNAME"), DBIERR_NONE);
    EXPECT_EQ(m->Check("TWICE"), DBIERR_NONE);
    EngineCursor cur;
    ASSERT_EQ(Open(path, &cur, dbiOPENSHARED, "BYNAME"), DBIERR_NONE);
    EXPECT_EQ(Walk(cur), expected());
  };

  // Read as it is, by a shared open and by an exclusive one, which leaves it untouched.
  checkTags("read");
  const std::vector<char> before = ReadAll(mdx);
  EngineCursor cur;
  ASSERT_EQ(Open(path, &cur, dbiOPENEXCL, "BYNAME"), DBIERR_NONE);
  cur.Close();
  EXPECT_TRUE(ReadAll(mdx) == before);

  // Written: accented names appended and changed, a record deleted (its entry stays).
  ASSERT_EQ(Open(path, &cur, dbiOPENSHARED, "BYNAME"), DBIERR_NONE);
  for (const char* n : {"\xE9t\xE9", "ete", "\xC0 la", "Azur", "\xFFy"}) {
    ASSERT_EQ(Append(cur, {n, "20240102"}), DBIERR_NONE);
    model.emplace_back(n, static_cast<std::uint32_t>(model.size() + 1));
  }
  std::vector<std::uint8_t> buf = Buffer(cur);
  ASSERT_EQ(DbiSetToRecordNo(cur, 3), DBIERR_NONE);
  ASSERT_EQ(DbiGetRecord(cur, dbiNOLOCK, buf.data(), nullptr), DBIERR_NONE);
  ASSERT_EQ(DbiPutField(cur, 1, buf.data(), "\xE8re"), DBIERR_NONE);
  ASSERT_EQ(DbiModifyRecord(cur, buf.data(), true), DBIERR_NONE);
  model[2].first = "\xE8re";
  ASSERT_EQ(DbiSetToRecordNo(cur, 5), DBIERR_NONE);
  ASSERT_EQ(DbiDeleteRecord(cur, nullptr), DBIERR_NONE);
  cur.Close();
  checkTags("written");

  // Rebuilt: an update left marked as cut short is rebuilt in the same order.
  {
    std::fstream f(mdx, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(mdx_header::kUpdateMark);
    f.put(1);
  }
  ASSERT_EQ(Open(path, &cur, dbiOPENEXCL), DBIERR_NONE);
  cur.Close();
  EXPECT_EQ(ReadAll(mdx)[mdx_header::kUpdateMark], 0);
  checkTags("rebuilt");
}

TEST_F(ForeignIndex, TheIndexDescriptionTellsDescendingAndUniqueTags) {
  MakeTable({});
  SetTagFlags(mdx, 1, mdx_tag_header::kDescendingBit | mdx_tag_header::kUniqueBit);
  EngineCursor cur;
  ASSERT_EQ(Open(path, &cur), DBIERR_NONE);
  for (const char* name : {"b", "a", "c", "d"}) ASSERT_EQ(Append(cur, {name, "20240102"}), DBIERR_NONE);
  IDXDesc desc;
  ASSERT_EQ(DbiGetIndexDesc(cur, 1, &desc), DBIERR_NONE);
  EXPECT_TRUE(desc.bDescending && desc.bUnique);
  ASSERT_EQ(DbiGetIndexDesc(cur, 2, &desc), DBIERR_NONE);
  EXPECT_FALSE(desc.bDescending || desc.bUnique);
  cur.Close();

  // A pack keeps both, the tag filled again in its own order.
  ASSERT_EQ(Open(path, &cur, dbiOPENEXCL, "BYNAME"), DBIERR_NONE);
  ASSERT_EQ(DbiSetToRecordNo(cur, 3), DBIERR_NONE);
  ASSERT_EQ(DbiDeleteRecord(cur, nullptr), DBIERR_NONE);
  ASSERT_EQ(DbiPackTable(db, cur, nullptr, nullptr, true), DBIERR_NONE);
  ASSERT_EQ(DbiGetIndexDesc(cur, 1, &desc), DBIERR_NONE);
  EXPECT_TRUE(desc.bDescending && desc.bUnique);
  ASSERT_EQ(DbiSwitchToIndex(cur.Handle(), nullptr, "BYNAME", 0, false), DBIERR_NONE);
  EXPECT_EQ(Walk(cur), (std::vector<std::string>{"3:d", "1:b", "2:a"}));
}

TEST_F(ForeignIndex, AChangeTheIndexCannotFollowWritesNothing) {
  MakeTable({"dupont", "martin"});
  // Another tool's tag on an expression this engine does not compute.
  std::vector<char> b = ReadAll(mdx);
  std::memcpy(b.data() + TagHeader(b, 2) + mdx_tag_header::kKeyExpr, "NAME+DTOS(DT)", 14);
  WriteAll(mdx, b);
  const std::vector<char> dbfBefore = ReadAll(path), mdxBefore = ReadAll(mdx);

  EngineCursor cur;
  ASSERT_EQ(Open(path, &cur, dbiOPENSHARED, "BYNAME"), DBIERR_NONE);
  std::vector<std::uint8_t> buf = Buffer(cur);
  ASSERT_EQ(DbiSetToBegin(cur), DBIERR_NONE);
  ASSERT_EQ(DbiGetNextRecord(cur, dbiNOLOCK, buf.data(), nullptr), DBIERR_NONE);
  ASSERT_EQ(DbiPutField(cur, 1, buf.data(), "zola"), DBIERR_NONE);
  EXPECT_EQ(DbiModifyRecord(cur, buf.data(), true), DBIERR_INVALIDEXPR);
  EXPECT_EQ(DbiDeleteRecord(cur, nullptr), DBIERR_INVALIDEXPR);
  EXPECT_EQ(Append(cur, {"zola", "20240101"}), DBIERR_INVALIDEXPR);
  cur.Close();
  EXPECT_TRUE(ReadAll(path) == dbfBefore);
  EXPECT_TRUE(ReadAll(mdx) == mdxBefore);
}

TEST_F(ForeignIndex, AChangeDatesTheTable) {
  MakeTable({"dupont", "martin", "zola"});
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  const char today[3] = {static_cast<char>(tm.tm_year), static_cast<char>(tm.tm_mon + 1), static_cast<char>(tm.tm_mday)};
  std::vector<char> b = ReadAll(path);
  std::memcpy(b.data() + dbf_header::kLastUpdate, "\x50\x01\x01", 3);
  WriteAll(path, b);
  EngineCursor cur;
  ASSERT_EQ(Open(path, &cur, dbiOPENEXCL), DBIERR_NONE);
  ASSERT_EQ(DbiSetToRecordNo(cur, 1), DBIERR_NONE);
  ASSERT_EQ(DbiDeleteRecord(cur, nullptr), DBIERR_NONE);
  cur.Close();
  EXPECT_EQ(std::string(ReadAll(path).data() + dbf_header::kLastUpdate, 3), std::string(today, 3));
}

}  // namespace
}  // namespace dbase_test
