// Writers cut short: a pack killed before each of its writes, appends on a full disk, a
// record written past the count by a killed append, a memo file whose free pointer points
// back into its used blocks. Each case checks the table as the engine and python3-dbfread
// read it afterwards.
#include <signal.h>

#include <algorithm>
#include <climits>
#include <functional>

#include "dbase_test_util.h"
#include "file_layout.h"

namespace dbase_test {
namespace {

namespace fs = std::filesystem;

constexpr int kRecords = 40;

std::string Code(int i) {
  char c[16];
  std::snprintf(c, sizeof c, "K%02d", kRecords - i);  // key order is the reverse of the records
  return c;
}
std::string MemoOf(int i) { return "memo " + Code(i) + " " + std::string(static_cast<std::size_t>(i * 37 % 700), 'a'); }

class CrashTest : public Engine {
 protected:
  // CODE and a memo, tags CODE and NOTEKEY (memo-free records only), records 0..n-1.
  void MakeTable(const std::string& path, int n, bool deleteThirds) {
    hDBICur cur = nullptr;
    ASSERT_EQ(Create(path, {Field("CODE", 'C', 10), Field("NOTE", 'M')}, &cur), DBIERR_NONE);
    ASSERT_EQ(AddTag(cur, "CODE", "CODE"), DBIERR_NONE);
    for (int i = 0; i < n; ++i) ASSERT_EQ(AppendMemo(cur, i), DBIERR_NONE);
    for (int i = 0; deleteThirds && i < n; i += 3) {
      ASSERT_EQ(DbiSetToRecordNo(cur, static_cast<std::uint32_t>(i + 1)), DBIERR_NONE);
      ASSERT_EQ(DbiDeleteRecord(cur, nullptr), DBIERR_NONE);
    }
    DbiCloseCursor(&cur);
  }
  DBIResult AppendMemo(hDBICur cur, int i) {
    std::vector<std::uint8_t> buf = Buffer(cur);
    DbiInitRecord(cur, buf.data());
    DbiPutField(cur, 1, buf.data(), Code(i).c_str());
    const std::string memo = MemoOf(i);
    DbiOpenBlob(cur, buf.data(), 2, dbiREADWRITE);
    DbiPutBlob(cur, buf.data(), 2, 0, static_cast<std::uint32_t>(memo.size()), memo.data());
    DBIResult rc = DbiInsertRecord(cur, dbiNOLOCK, buf.data());
    DbiFreeBlob(cur, buf.data(), 2);
    return rc;
  }
  // The table as the engine reads it: "code|deleted|memo" per record, then "tag:" + the
  // CODE tag's walk as "recno:code", which must be the records sorted by code.
  std::vector<std::string> State(const std::string& path) {
    std::vector<std::string> out;
    hDBICur cur = nullptr;
    DBIResult rc = Open(path, &cur);
    if (rc != DBIERR_NONE) return {"open " + std::to_string(rc)};
    std::vector<std::uint8_t> buf = Buffer(cur);
    RECProps rp;
    std::vector<std::string> sorted;
    while (DbiGetNextRecord(cur, dbiNOLOCK, buf.data(), &rp) == DBIERR_NONE) {
      const std::string memo = Memo(cur, buf, 2);
      const std::string code = Text(cur, buf, 1);
      out.push_back(code + "|" + (rp.bDeleteFlag ? "*" : " ") + "|" + memo);
      sorted.push_back(code + " " + std::to_string(rp.iPhyRecNum) + ":" + code);
    }
    DbiCloseCursor(&cur);
    std::sort(sorted.begin(), sorted.end());
    std::string want = "tag:", walked = "tag:";
    for (const std::string& s : sorted) want += s.substr(s.find(' ') + 1) + ",";
    if (Open(path, &cur, dbiOPENSHARED, "CODE") == DBIERR_NONE) {
      for (const std::string& s : Walk(cur)) walked += s + ",";
      DbiCloseCursor(&cur);
    }
    out.push_back(walked == want ? "tag in order" : walked + " != " + want);
    return out;
  }
  // Records 0..n-1 with every third one deleted when `thirds`, then dropped when `packed`.
  static std::vector<std::string> Expected(int n, bool packed, bool thirds = true) {
    std::vector<std::string> out;
    for (int i = 0; i < n; ++i) {
      const bool deleted = thirds && i % 3 == 0;
      if (!(packed && deleted)) out.push_back(Code(i) + "|" + (deleted && !packed ? "*" : " ") + "|" + MemoOf(i));
    }
    out.push_back("tag in order");
    return out;
  }
  // Runs `work` in a child process with the given fault; true when it was killed by it.
  static bool KilledIn(WriteFault fault, long nth, const std::function<void()>& work) {
    return InChild([&] { SetWriteFault(fault, nth); work(); return 0; }) == -(128 + SIGKILL);
  }
  // Live records, deleted records and records whose memo does not begin with its own text,
  // as python3-dbfread reads each folder's table.
  static std::string DbfreadCounts(const std::vector<std::string>& tables) {
    std::string script = "from dbfread import DBF\nfor p in [";
    for (const std::string& t : tables) script += "'" + t + "',";
    script += "]:\n"
        "    t = DBF(p, encoding='cp1252')\n"
        "    live = list(t)\n"
        "    bad = sum(1 for r in live if not r['NOTE'].startswith('memo ' + r['CODE'] + ' '))\n"
        "    print(len(live), len(list(t.deleted)), bad)\n";
    int status = 0;
    return RunPython(script, &status);
  }
  TempDir dir;
};

TEST_F(CrashTest, APackKilledBeforeAnyOfItsWritesLeavesTheOldTableOrTheNewOneWhole) {
  const std::string model = dir / "model";
  fs::create_directory(model);
  MakeTable(model + "/t.dbf", kRecords, true);
  auto pack = [this](const std::string& path) {
    hDBICur cur = nullptr;
    DBIResult rc = Open(path, &cur, dbiOPENEXCL);
    if (rc != DBIERR_NONE) return rc;
    rc = DbiPackTable(db, cur, nullptr, nullptr, true);
    DbiCloseCursor(&cur);
    return rc;
  };
  // The writes of one whole pack, counted on a copy.
  fs::copy(model, dir / "count");
  SetWriteFault(WriteFault::kKill, LONG_MAX);
  pack(dir / "count/t.dbf");
  const long writes = WritesCounted();
  SetWriteFault(WriteFault::kNone, 0);
  ASSERT_GT(writes, 10);

  const std::vector<std::string> old = Expected(kRecords, false), packed = Expected(kRecords, true);
  std::vector<std::string> tables;
  std::string pythonWants;
  for (long n = 1; n <= writes + 1; ++n) {
    const std::string folder = dir / ("kill" + std::to_string(n));
    fs::copy(model, folder);
    const std::string table = folder + "/t.dbf";
    EXPECT_EQ(KilledIn(WriteFault::kKill, n, [&] { pack(table); }), n <= writes) << n;
    // The open that puts the files in order may be killed too, before each of its writes.
    for (long k = 1;; ++k) {
      const std::string again = folder + "-open" + std::to_string(k);
      fs::copy(folder, again);
      const bool killed = KilledIn(WriteFault::kKill, k, [&] { State(again + "/t.dbf"); });
      const std::vector<std::string> state = State(again + "/t.dbf");
      EXPECT_TRUE(state == old || state == packed) << n << " then open killed at " << k << ": " << state.front();
      if (!killed) break;
    }
    // The next open puts the files in order; nothing of the pack is left beside them.
    const std::vector<std::string> state = State(table);
    EXPECT_TRUE(state == old || state == packed) << "killed before write " << n << ": " << state.front();
    for (const auto& e : fs::directory_iterator(folder))
      EXPECT_NE(e.path().extension(), ".pack") << n << " " << e.path();
    tables.push_back(table);
    pythonWants += state == old ? "26 14 0\n" : "26 0 0\n";
  }
  // Killed at the last write, the new table is in place.
  EXPECT_EQ(State(tables.back()), packed);
  EXPECT_EQ(DbfreadCounts(tables), pythonWants);
}

TEST_F(CrashTest, AnAppendOnAFullDiskUndoesItsWritesAndARetryAddsTheRecordOnce) {
  const std::string table = dir / "t.dbf";
  MakeTable(table, 0, false);
  hDBICur cur = nullptr;
  ASSERT_EQ(Open(table, &cur), DBIERR_NONE);
  // Enough records for leaf and root splits; each append is first refused at every one of
  // its writes that makes a file longer, from the first on.
  int refusals = 0;
  for (int i = 0; i < 130; ++i) {
    for (long n = 1;; ++n) {
      SetWriteFault(WriteFault::kFull, n);
      const DBIResult rc = AppendMemo(cur, i);
      SetWriteFault(WriteFault::kNone, 0);
      if (rc == DBIERR_NONE) break;
      ASSERT_EQ(rc, DBIERR_DISKFULL) << i << " at write " << n;
      ++refusals;
      std::uint32_t count = 0;
      DbiGetRecordCount(cur, &count);
      ASSERT_EQ(count, static_cast<std::uint32_t>(i)) << i << " at write " << n;
      ASSERT_EQ(fs::file_size(table), 32 + 2 * 32 + 1 + i * 21u + 1) << "record cut off";
      std::ifstream mdx(dir / "t.mdx", std::ios::binary);
      mdx.seekg(dbase::mdx_header::kUpdateMark);
      ASSERT_EQ(mdx.get(), 0) << i << " at write " << n << ": an append taken back leaves nothing to repair";
    }
  }
  EXPECT_GT(refusals, 130 * 2);
  char text[kDbiMaxMsgLen + 1];
  DbiGetErrorString(DBIERR_DISKFULL, text);
  EXPECT_EQ(std::string(text), "Disque plein : plus de place dans le dossier " + dir.path());
  DbiCloseCursor(&cur);
  EXPECT_EQ(State(table), Expected(130, false, false));
}

TEST_F(CrashTest, ARecordWrittenPastTheCountIsCutOffByTheNextExclusiveOpen) {
  const std::string table = dir / "t.dbf";
  MakeTable(table, 3, false);
  const auto size = fs::file_size(table);
  // Killed after writing its record (the first write of an append with no memo change is
  // the memo, then the record, then the count): the record lies past the count.
  auto append = [&] {
    hDBICur cur = nullptr;
    if (Open(table, &cur) == DBIERR_NONE) AppendMemo(cur, 3);
  };
  // Each try starts from the three records: a try killed earlier leaves its index update
  // marked, and the next open would spend writes on the repair.
  const std::string kept = dir / "kept";
  fs::copy(dir.path(), kept);
  for (long n = 3; fs::file_size(table) == size && n < 10; ++n) {
    fs::copy(kept, dir.path(), fs::copy_options::overwrite_existing | fs::copy_options::recursive);
    KilledIn(WriteFault::kKill, n, append);
  }
  ASSERT_EQ(fs::file_size(table), size + 21) << "no kill left a record past the count";
  EXPECT_EQ(State(table).size(), 4u);  // a shared open sees the three records
  EXPECT_EQ(fs::file_size(table), size + 21);
  hDBICur cur = nullptr;
  ASSERT_EQ(Open(table, &cur, dbiOPENEXCL), DBIERR_NONE);
  EXPECT_EQ(fs::file_size(table), size);
  ASSERT_EQ(AppendMemo(cur, 3), DBIERR_NONE);
  DbiCloseCursor(&cur);
  EXPECT_EQ(State(table).size(), 5u);
  EXPECT_EQ(DbfreadCounts({table}), "4 0 0\n");
}

TEST_F(CrashTest, AMemoFreePointerIntoTheUsedBlocksIsDamageAndOverwritesNoMemo) {
  static std::string reported;
  DbiDamageHook = [](const char* path, DBIResult code) { reported = std::string(path) + " " + std::to_string(code); };
  struct Case {
    std::uint32_t pointer;
    bool damage;
  };
  for (const Case& c : {Case{1, true}, Case{3, true}, Case{0, false}}) {
    const std::string table = dir / ("m" + std::to_string(c.pointer) + ".dbf");
    MakeTable(table, 4, false);
    const std::string memo = table.substr(0, table.size() - 4) + ".dbt";
    if (c.pointer != 0) {
      std::fstream f(memo, std::ios::in | std::ios::out | std::ios::binary);
      const std::uint8_t p[4] = {static_cast<std::uint8_t>(c.pointer), 0, 0, 0};
      f.write(reinterpret_cast<const char*>(p), 4);
    }
    reported.clear();
    hDBICur cur = nullptr;
    ASSERT_EQ(Open(table, &cur), DBIERR_NONE);
    ASSERT_EQ(AppendMemo(cur, 4), DBIERR_NONE);
    DbiCloseCursor(&cur);
    EXPECT_EQ(State(table), Expected(5, false, false)) << c.pointer;
    EXPECT_EQ(reported, c.damage ? memo + " 8963" : "") << c.pointer;
  }
  DbiDamageHook = nullptr;
}

}  // namespace
}  // namespace dbase_test
