// Data files, fields, navigation, soft deletion, pack, empty, copy and damaged files.
#include <fcntl.h>

#include "dbase/expr.h"
#include "dbase_test_util.h"

namespace dbase_test {
namespace {

class TableTest : public Engine {
 protected:
  void MakeTable(const std::string& path, bool memo = false) {
    std::vector<FLDCreate> f = {Field("CODE", 'C', 6), Field("NAME", 'C', 20), Field("AMOUNT", 'N', 10, 2),
                                Field("DAY", 'D'), Field("OK", 'L')};
    if (memo) f.push_back(Field("NOTE", 'M'));
    ASSERT_EQ(DbiCreateTable(db, path.c_str(), static_cast<std::uint16_t>(f.size()), f.data(), true), DBIERR_NONE);
  }
  static void PokeHeader(const std::string& path, off_t at, const std::vector<std::uint8_t>& bytes) {
    int fd = ::open(path.c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, bytes.data(), bytes.size(), at), static_cast<ssize_t>(bytes.size()));
    ::close(fd);
  }
  // Makes the table `name` in the test's folder and opens it shared: its path.
  std::string OpenNew(const std::string& name, EngineCursor* cur, bool memo = false) {
    const std::string path = dir / name;
    MakeTable(path, memo);
    EXPECT_EQ(Open(path, cur), DBIERR_NONE);
    return path;
  }
  TempDir dir;
};

TEST_F(TableTest, FieldsAndNumbersWriteTheirDbaseFormAndReadBack) {
  EngineCursor cur;
  const std::string t = OpenNew("f.dbf", &cur);
  std::vector<FLDDesc> native(5);
  DbiSetProp(cur, curXLTMODE, xltNONE);
  DbiGetFieldDescs(cur, native.data());
  DbiSetProp(cur, curXLTMODE, xltFIELD);

  double big = 12345678.9, neg = -0.5;
  const double ties[] = {0.125, 0.375, 2.675, -123456.785};
  struct Case {
    std::uint16_t field;
    const void* value;
    DBIResult rc;
    const char* raw;  // bytes in the record after the write
  } cases[] = {
      {1, "ABCDEFGH", DBIERR_NONE, "ABCDEF"},
      {3, &neg, DBIERR_NONE, "     -0.50"},
      {3, &big, DBIERR_MINVALERR, "     -0.50"},  // 11 characters do not fit in 10: unchanged
      {1, nullptr, DBIERR_NONE, "      "},
      // The exact binary value decides the rounding; a true tie goes to the even digit.
      {3, &ties[0], DBIERR_NONE, "      0.12"},
      {3, &ties[1], DBIERR_NONE, "      0.38"},
      {3, &ties[2], DBIERR_NONE, "      2.67"},
      {3, &ties[3], DBIERR_NONE, "-123456.79"},
      {3, &neg, DBIERR_NONE, "     -0.50"},
  };
  auto buf = Buffer(cur);
  for (const Case& c : cases) {
    const FLDDesc& d = native[c.field - 1];
    EXPECT_EQ(DbiPutField(cur, c.field, buf.data(), c.value), c.rc) << c.raw;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf.data()) + d.iOffset, d.iUnits1), c.raw);
  }
  double num = 0;
  bool blank = true;
  EXPECT_EQ(DbiGetField(cur, 3, buf.data(), &num, &blank), DBIERR_NONE);
  EXPECT_DOUBLE_EQ(num, -0.5);
  EXPECT_FALSE(blank);
  char text[32];
  EXPECT_EQ(DbiGetField(cur, 1, buf.data(), text, &blank), DBIERR_NONE);
  EXPECT_STREQ(text, "");
  EXPECT_TRUE(blank);
}

TEST_F(TableTest, NavigationEndsAndPhysicalPositions) {
  EngineCursor cur;
  const std::string t = OpenNew("nav.dbf", &cur);
  auto buf = Buffer(cur);
  RECProps rp;
  for (const char* c : {"R1", "R2", "R3"}) Append(cur, {c});
  struct Step { const char* what; DBIResult rc; std::uint32_t recno; } steps[] = {
      {"begin", DBIERR_NONE, 0}, {"next", DBIERR_NONE, 1},  {"goto3", DBIERR_NONE, 3}, {"next", DBIERR_EOF, 0},
      {"prior", DBIERR_NONE, 3}, {"goto9", DBIERR_EOF, 0}, {"begin", DBIERR_NONE, 0}, {"prior", DBIERR_BOF, 0}};
  for (const Step& s : steps) {
    std::string w = s.what;
    DBIResult rc = DBIERR_NONE;
    rp = RECProps();
    if (w == "begin") rc = DbiSetToBegin(cur);
    if (w == "next") rc = DbiGetNextRecord(cur, dbiNOLOCK, buf.data(), &rp);
    if (w == "prior") rc = DbiGetPriorRecord(cur, dbiNOLOCK, buf.data(), &rp);
    if (w.rfind("goto", 0) == 0) {
      rc = DbiSetToRecordNo(cur, static_cast<std::uint32_t>(std::stoi(w.substr(4))));
      if (rc == DBIERR_NONE) rc = DbiGetRecord(cur, dbiNOLOCK, buf.data(), &rp);
    }
    EXPECT_EQ(rc, s.rc) << w;
    if (s.recno != 0) {
      EXPECT_EQ(rp.iPhyRecNum, s.recno) << w;
    }
  }
}

TEST_F(TableTest, DeletedRecordsStayVisibleUntilRecalledOrPacked) {
  std::string t = dir / "del.dbf";
  MakeTable(t);
  EngineCursor cur;
  ASSERT_EQ(Open(t, &cur, dbiOPENEXCL), DBIERR_NONE);
  for (const char* c : {"R1", "R2", "R3", "R4"}) Append(cur, {c});
  auto buf = Buffer(cur);
  for (std::uint32_t r : {2u, 4u}) {
    ASSERT_EQ(DbiSetToRecordNo(cur, r), DBIERR_NONE);
    ASSERT_EQ(DbiDeleteRecord(cur, buf.data()), DBIERR_NONE);
    EXPECT_EQ(buf[0], '*');
  }
  EXPECT_EQ(Walk(cur).size(), 4u);
  DbiSetProp(cur, curSOFTDELETEON, 0);
  EXPECT_EQ(Walk(cur), (std::vector<std::string>{"1:R1", "3:R3"}));
  DbiSetProp(cur, curSOFTDELETEON, 1);
  DbiSetToRecordNo(cur, 4);
  ASSERT_EQ(DbiUndeleteRecord(cur), DBIERR_NONE);
  ASSERT_EQ(DbiPackTable(db, cur, nullptr, "DBASE", true), DBIERR_NONE);
  EXPECT_EQ(Walk(cur), (std::vector<std::string>{"1:R1", "2:R3", "3:R4"}));
  ASSERT_EQ(DbiEmptyTable(db, cur, nullptr, nullptr), DBIERR_NONE);
  EXPECT_TRUE(Walk(cur).empty());
  cur.Close();
  // Pack and empty need the table to themselves.
  ASSERT_EQ(Open(t, &cur), DBIERR_NONE);
  EXPECT_EQ(DbiPackTable(db, cur, nullptr, nullptr, true), DBIERR_NEEDEXCLACCESS);
  EXPECT_EQ(DbiEmptyTable(db, cur, nullptr, nullptr), DBIERR_NEEDEXCLACCESS);
}

TEST_F(TableTest, MemoTextsAreWrittenReusedAndPacked) {
  std::string t = dir / "memo.dbf";
  MakeTable(t, true);
  EngineCursor cur;
  ASSERT_EQ(Open(t, &cur, dbiOPENEXCL), DBIERR_NONE);
  auto put = [&](const std::string& text) {
    auto buf = Buffer(cur);
    DbiGetRecord(cur, dbiNOLOCK, buf.data(), nullptr);
    EXPECT_EQ(DbiOpenBlob(cur, buf.data(), 6, dbiREADWRITE), DBIERR_NONE);
    if (!text.empty()) {
      EXPECT_EQ(DbiPutBlob(cur, buf.data(), 6, 0, static_cast<std::uint32_t>(text.size()), text.data()), DBIERR_NONE);
    }
    EXPECT_EQ(DbiTruncateBlob(cur, buf.data(), 6, static_cast<std::uint32_t>(text.size())), DBIERR_NONE);
    EXPECT_EQ(DbiModifyRecord(cur, buf.data(), true), DBIERR_NONE);
    DbiFreeBlob(cur, buf.data(), 6);
    return std::string(reinterpret_cast<char*>(buf.data()) + 46, 10);  // the block reference
  };
  auto get = [&]() {
    auto buf = Buffer(cur);
    DbiGetRecord(cur, dbiNOLOCK, buf.data(), nullptr);
    return Memo(cur, buf, 6);
  };
  for (const char* c : {"A", "B", "C"}) Append(cur, {c});
  std::string longText(1500, 'x');
  DbiSetToRecordNo(cur, 1);
  std::string ref1 = put("premier m\xE9mo");
  DbiSetToRecordNo(cur, 2);
  put(longText);
  DbiSetToRecordNo(cur, 1);
  EXPECT_EQ(get(), "premier m\xE9mo");
  EXPECT_EQ(put("court"), ref1);      // a shorter text keeps its block
  EXPECT_NE(put(longText), ref1);     // a longer one moves
  EXPECT_EQ(get(), longText);
  EXPECT_EQ(put(""), std::string(10, ' '));  // an empty memo has no block
  EXPECT_EQ(get(), "");
  DbiSetToRecordNo(cur, 1);
  DbiDeleteRecord(cur, nullptr);
  off_t before = std::filesystem::file_size(dir / "memo.dbt");
  ASSERT_EQ(DbiPackTable(db, cur, nullptr, nullptr, true), DBIERR_NONE);
  EXPECT_LT(static_cast<off_t>(std::filesystem::file_size(dir / "memo.dbt")), before);
  DbiSetToRecordNo(cur, 1);
  EXPECT_EQ(get(), longText);
}

TEST_F(TableTest, DamagedMemoReferencesGiveAnErrorCode) {
  std::string t = dir / "bad.dbf";
  MakeTable(t, true);
  EngineCursor cur;
  ASSERT_EQ(Open(t, &cur), DBIERR_NONE);
  Append(cur, {"A"});
  cur.Close();
  // A memo of 8 bytes declared 100000 long, at block 1.
  std::vector<std::uint8_t> block = {0xFF, 0xFF, 0x08, 0x00, 0xA0, 0x86, 0x01, 0x00, 'a', 'b'};
  PokeHeader(dir / "bad.dbt", 512, block);
  struct Case { const char* ref; DBIResult rc; } cases[] = {{"         1", DBIERR_MEMOCORRUPT},  // length past the end of the file
               {"     99999", DBIERR_MEMOCORRUPT},  // block past the end of the file
               {"          ", DBIERR_NONE}};
  for (const Case& c : cases) {
    std::vector<std::uint8_t> ref(c.ref, c.ref + 10);
    PokeHeader(t, 32 + 6 * 32 + 1 + 46, ref);
    ASSERT_EQ(Open(t, &cur), DBIERR_NONE);
    auto buf = Buffer(cur);
    DbiGetNextRecord(cur, dbiNOLOCK, buf.data(), nullptr);
    EXPECT_EQ(DbiOpenBlob(cur, buf.data(), 6, dbiREADONLY), c.rc) << c.ref;
    cur.Close();
  }
}

TEST_F(TableTest, DamagedDataFilesAreRefused) {
  EngineCursor cur;
  const std::string good = OpenNew("good.dbf", &cur);
  for (const char* c : {"R1", "R2", "R3"}) Append(cur, {c});
  cur.Close();
  const std::vector<char> raw = ReadAll(good);
  const std::string bytes(raw.begin(), raw.end());
  struct Case {
    const char* what;
    std::size_t keep;  // bytes kept from the good file (0 = all)
    std::size_t at;    // byte to change
    std::vector<std::uint8_t> with;
    DBIResult rc;
  } cases[] = {
      {"ten bytes", 10, 0, {}, DBIERR_HEADERCORRUPT},
      {"field of width 0", 0, 32 + 16, {0}, DBIERR_HEADERCORRUPT},
      // Header 193 bytes (5 fields), records 46 bytes.
      {"header length off by 37", 0, 8, {193 + 37, 0}, DBIERR_HEADERCORRUPT},
      {"first field of unknown type", 0, 32 + 11, {'X'}, DBIERR_HEADERCORRUPT},
      {"record length one too many", 0, 10, {47, 0}, DBIERR_HEADERCORRUPT},
      {"count beyond the file", 0, 4, {0x40, 0x42, 0x0F, 0x00}, DBIERR_FILECORRUPT},
      {"cut inside the records", 193 + 46 + 3, 0, {}, DBIERR_FILECORRUPT},
      {"record without a delete mark", 0, 193, {'Q'}, DBIERR_FILECORRUPT},
  };
  for (const Case& c : cases) {
    std::string data = c.keep != 0 ? bytes.substr(0, c.keep) : bytes;
    for (std::size_t i = 0; i < c.with.size(); ++i) data[c.at + i] = static_cast<char>(c.with[i]);
    std::string path = dir / "damaged.dbf";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << data;
    EXPECT_EQ(Open(path, &cur), c.rc) << c.what;
    if (cur != nullptr) cur.Close();
  }
  EXPECT_EQ(Open(dir / "absent.dbf", &cur), DBIERR_NOSUCHTABLE);
  EXPECT_EQ(Open(dir / "no/folder.dbf", &cur), DBIERR_NOSUCHPATH);
  // The production index flag without its index file.
  PokeHeader(good, 28, {1});
  EXPECT_EQ(Open(good, &cur), DBIERR_INDEXCORRUPT);
}

TEST_F(TableTest, CopyTakesIndexAndMemoAndReplacesTheTarget) {
  std::string src = dir / "src.dbf";
  MakeTable(src, true);
  EngineCursor cur;
  ASSERT_EQ(Open(src, &cur, dbiOPENEXCL), DBIERR_NONE);
  ASSERT_EQ(AddTag(cur, "BYNAME", "UPPER(NAME)"), DBIERR_NONE);
  Append(cur, {"1", "zeta"});
  Append(cur, {"2", "alpha"});
  cur.Close();
  // An older target with other contents is replaced.
  std::string dest = dir / "dest.dbf";
  MakeTable(dest);
  EXPECT_EQ(DbiCopyTable(db, false, src.c_str(), "DBASE", dest.c_str()), DBIERR_FILEEXISTS);
  ASSERT_EQ(DbiCopyTable(db, true, src.c_str(), "DBASE", (dir / "dest").c_str()), DBIERR_NONE);
  ASSERT_EQ(Open(dir / "dest", &cur, dbiOPENSHARED, "BYNAME"), DBIERR_NONE);  // the name alone opens the table
  EXPECT_EQ(Walk(cur, 2), (std::vector<std::string>{"2:alpha", "1:zeta"}));
  cur.Close();
  EXPECT_EQ(DbiCopyTable(db, true, (dir / "none").c_str(), "DBASE", dest.c_str()), DBIERR_NOSUCHTABLE);
}

}  // namespace
}  // namespace dbase_test
