// Writers cut short: a pack killed before each of its writes, appends on a full disk and over
// a real file-size limit, an exclusive write-back cut short, a record written past the count
// by a killed append, a memo file whose free pointer points back into its used blocks. Each
// case checks the table as the engine and python3-dbfread read it afterwards, and the index
// as index_dump lists it.
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <map>
#include <set>

#include "dbase_test_util.h"
#include "file_layout.h"
#include "runtime/inifiles.h"
#include "runtime/runtime_init.h"
#include "support/refused_write.h"

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
        "    bad = sum(1 for r in live if not (r['NOTE'] or '').startswith('memo ' + r['CODE'] + ' '))\n"
        "    print(len(live), len(list(t.deleted)), bad)\n";
    int status = 0;
    return RunPython(script, &status);
  }
  // Entries of the CODE tag of each table's index as XBase::Index (index_dump's library)
  // walks them.
  std::string XBaseCounts(const std::vector<std::string>& tables) {
    std::vector<std::string> files;
    for (const std::string& t : tables) files.push_back(t.substr(0, t.size() - 4) + ".mdx");
    return XBaseEntryCounts(files, dir.path());
  }
  static std::string CodeEntries(const std::string& table, int n) {
    return table.substr(0, table.size() - 4) + ".mdx CODE " + std::to_string(n) + "\n";
  }
  // The index's update mark.
  static std::uint32_t Mark(const std::string& table) {
    return Le32(ReadAll(table.substr(0, table.size() - 4) + ".mdx"), mdx_header::kUpdateMark);
  }
  // Runs `work` in a child process under a file-size limit of `limit` bytes, started as the
  // program starts (InitRuntime) or not: what it returns, or minus 128 + the signal that
  // ended it.
  int UnderFileSizeLimit(rlim_t limit, bool started, const std::function<int()>& work) {
    return InChild([&] {
      if (started) {
        SetProgramFolder(dir / "program");
        if (!InitRuntime()) return -1;
      }
      const rlimit none{0, 0}, lim{limit, limit};
      ::setrlimit(RLIMIT_CORE, &none);
      ::setrlimit(RLIMIT_FSIZE, &lim);
      return work();
    });
  }
  // Packs the table alone.
  DBIResult PackTable(const std::string& path) {
    hDBICur cur = nullptr;
    DBIResult rc = Open(path, &cur, dbiOPENEXCL);
    if (rc != DBIERR_NONE) return rc;
    rc = DbiPackTable(db, cur, nullptr, nullptr, true);
    DbiCloseCursor(&cur);
    return rc;
  }
  // The writes of one whole pack of the folder's table t, counted on a copy.
  long PackWrites(const std::string& folder) {
    const fs::path count = dir / "count";
    fs::remove_all(count);
    fs::copy(folder, count);
    SetWriteFault(WriteFault::kKill, LONG_MAX);
    PackTable(count / "t.dbf");
    const long writes = WritesCounted();
    SetWriteFault(WriteFault::kNone, 0);
    return writes;
  }
  // The files a pack left in a folder (its new files, its journal), by name.
  static std::string PackFilesLeft(const std::string& folder) {
    std::string left;
    for (const auto& e : fs::directory_iterator(folder))
      if (e.path().filename().string().find(".pack") != std::string::npos) left += e.path().filename().string() + " ";
    return left;
  }
  // Sizes of the table's three files.
  static std::string Sizes(const std::string& table) {
    const std::string base = table.substr(0, table.size() - 4);
    return std::to_string(fs::file_size(table)) + " " + std::to_string(fs::file_size(base + ".dbt")) + " " +
           std::to_string(fs::file_size(base + ".mdx"));
  }
  TempDir dir;
};

TEST_F(CrashTest, APackKilledBeforeAnyOfItsWritesLeavesTheOldTableOrTheNewOneWhole) {
  const std::string model = dir / "model";
  fs::create_directory(model);
  MakeTable(model + "/t.dbf", kRecords, true);
  auto pack = [this](const std::string& path) { return PackTable(path); };
  const long writes = PackWrites(model);
  ASSERT_GT(writes, 10);

  const std::vector<std::string> old = Expected(kRecords, false), packed = Expected(kRecords, true);
  std::vector<std::string> tables;
  std::string pythonWants, xbaseWants;
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
    EXPECT_EQ(PackFilesLeft(folder), "") << n;
    tables.push_back(table);
    pythonWants += state == old ? "26 14 0\n" : "26 0 0\n";
    xbaseWants += CodeEntries(table, state == old ? kRecords : 26);
  }
  // Killed at the last write, the new table is in place.
  EXPECT_EQ(State(tables.back()), packed);
  EXPECT_EQ(DbfreadCounts(tables), pythonWants);
  EXPECT_EQ(XBaseCounts(tables), xbaseWants);
}

// A table's index dropped by a process killed before each of its writes (the flag in the data
// file, the index file): the table opens afterwards, with every record, whether the drop had
// begun or not.
TEST_F(CrashTest, AnIndexDropKilledBeforeEachOfItsWritesLeavesATableThatOpens) {
  const std::string model = dir / "model";
  fs::create_directory(model);
  MakeTable(model + "/t.dbf", kRecords, false);
  fs::copy(model, dir / "count");
  SetWriteFault(WriteFault::kKill, LONG_MAX);
  ASSERT_EQ(DbiDropProductionIndex((dir / "count/t.dbf").c_str()), DBIERR_NONE);
  const long writes = WritesCounted();
  SetWriteFault(WriteFault::kNone, 0);
  ASSERT_EQ(writes, 2);
  for (long n = 1; n <= writes; ++n) {
    const std::string folder = dir / ("drop" + std::to_string(n));
    fs::copy(model, folder);
    const std::string table = folder + "/t.dbf";
    EXPECT_TRUE(KilledIn(WriteFault::kKill, n, [&] { DbiDropProductionIndex(table.c_str()); })) << n;
    hDBICur cur = nullptr;
    ASSERT_EQ(Open(table, &cur), DBIERR_NONE) << "killed before write " << n;
    std::uint32_t count = 0;
    EXPECT_EQ(DbiGetRecordCount(cur, &count), DBIERR_NONE);
    EXPECT_EQ(count, static_cast<std::uint32_t>(kRecords));
    DbiCloseCursor(&cur);
  }
}

// A pack killed before each of its writes, whose table is then put back from copies made
// before it (as a run that is undone puts its tables back, without touching the pack's files):
// the next open keeps the table put back, whole, and drops every file the pack left. The new
// data file must not be taken for the end of the pack's renames.
TEST_F(CrashTest, ATablePutBackOverAKilledPackStaysAsPutBack) {
  const std::string model = dir / "model";
  fs::create_directory(model);
  MakeTable(model + "/t.dbf", kRecords, true);
  const std::string copies = dir / "copies";
  fs::create_directory(copies);
  MakeTable(copies + "/t.dbf", 30, false);
  const std::vector<std::string> putBack = Expected(30, false, false);
  const long writes = PackWrites(model);
  ASSERT_GT(writes, 10);
  std::vector<std::string> tables;
  std::string pythonWants, xbaseWants;
  for (long n = 1; n <= writes; ++n) {
    const std::string folder = dir / ("putback" + std::to_string(n));
    fs::copy(model, folder);
    const std::string table = folder + "/t.dbf";
    ASSERT_TRUE(KilledIn(WriteFault::kKill, n, [&] { PackTable(table); })) << n;
    // Put back by renames (as the program does), or written over the files in place.
    for (const char* f : {"t.dbf", "t.dbt", "t.mdx"}) {
      if (n % 2 == 1) {
        fs::copy_file(copies + "/" + f, folder + "/" + f + ".copy");
        fs::rename(folder + "/" + f + ".copy", folder + "/" + f);
      } else {
        fs::copy_file(copies + "/" + f, folder + "/" + f, fs::copy_options::overwrite_existing);
      }
    }
    EXPECT_EQ(State(table), putBack) << "killed before write " << n << " of " << writes;
    EXPECT_EQ(PackFilesLeft(folder), "") << n;
    tables.push_back(table);
    pythonWants += "30 0 0\n";
    xbaseWants += CodeEntries(table, 30);
  }
  EXPECT_EQ(DbfreadCounts(tables), pythonWants);
  EXPECT_EQ(XBaseCounts(tables), xbaseWants);
}

// The files of a folder with their bytes, by name.
std::map<std::string, std::vector<char>> FolderFiles(const std::string& folder) {
  std::map<std::string, std::vector<char>> files;
  for (const auto& e : fs::directory_iterator(folder)) files[e.path().filename().string()] = ReadAll(e.path());
  return files;
}

// A pack cut short whose files the journal does not recognise, or whose journal lost its end
// (the data file's line): the renames go on only over files the journal recognises, by
// identity or, in a folder copied elsewhere, by size in the order of the renames. Files renamed
// already that it does not recognise leave every file where it is and the table refused
// (DBIERR_PACKUNKNOWN, said without opening by DbiCheckPackLeftovers); with nothing renamed yet
// the new files go and the table stays as it was.
TEST_F(CrashTest, APackCutShortRenamesOnlyFilesItsJournalRecognises) {
  const std::string model = dir / "model";
  fs::create_directory(model);
  MakeTable(model + "/t.dbf", kRecords, true);
  // Killed at its first change once its journal is written (nothing renamed), or once the memo
  // file is renamed (the index and data files still waiting).
  auto killed = [&](const std::string& name, bool memoRenamed) {
    const std::string folder = dir / name;
    fs::copy(model, folder);
    EXPECT_EQ(InChild([&] {
                static std::string journal, memo;
                journal = folder + "/t.dbf.pack.journal";
                memo = memoRenamed ? folder + "/t.dbt.pack" : "";
                BeforeFileChange = [] {
                  if (fs::exists(journal) && fs::file_size(journal) > 0 && (memo.empty() || !fs::exists(memo)))
                    ::raise(SIGKILL);
                };
                PackTable(folder + "/t.dbf");
                return 0;
              }),
              -(128 + SIGKILL));
    return folder;
  };
  const std::string half = killed("half", true), none = killed("none", false), moved = killed("moved", true);
  auto left = [](const std::string& folder) {
    std::set<std::string> names;
    for (const auto& [name, bytes] : FolderFiles(folder))
      if (name.find(".pack") != std::string::npos) names.insert(name);
    return names;
  };
  ASSERT_EQ(left(half), (std::set<std::string>{"t.dbf.pack", "t.dbf.pack.journal", "t.mdx.pack"}));
  ASSERT_EQ(left(none), (std::set<std::string>{"t.dbf.pack", "t.dbf.pack.journal", "t.dbt.pack", "t.mdx.pack"}));
  const std::string other = dir / "other";
  fs::create_directory(other);
  MakeTable(other + "/t.dbf", 30, false);

  auto cutJournal = [](const std::string& folder) {
    const std::string journal = folder + "/t.dbf.pack.journal";
    const std::vector<char> bytes = ReadAll(journal);
    std::string text(bytes.begin(), bytes.end());
    text.erase(text.rfind('\n', text.size() - 2) + 1);  // the data file's line gone, cut at a line end
    std::ofstream(journal, std::ios::binary | std::ios::trunc) << text;
  };
  const std::vector<std::string> old = Expected(kRecords, false), packed = Expected(kRecords, true);
  struct Case {
    const char* what;
    std::string from;
    std::function<void(const std::string&)> damage;
    std::vector<std::string> table;  // empty: refused, every file left as it was
  } cases[] = {
      {"as the kill left it", moved, [](const std::string&) {}, packed},
      {"folder copied elsewhere", half, [](const std::string&) {}, packed},
      {"stale pack files beside another table", other,
       [&](const std::string& f) {
         for (const char* n : {"t.dbf.pack", "t.mdx.pack", "t.dbf.pack.journal"})
           fs::copy_file(half + "/" + n, f + "/" + n);
       },
       {}},
      {"journal cut at a line end, memo renamed", half, cutJournal, {}},
      {"journal cut at a line end, nothing renamed", none, cutJournal, old},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string folder = dir / ("case" + std::to_string(++n));
    // A copy: the files' identities are not those of the journal; moved, they are.
    if (c.from == moved || c.from == none) fs::rename(c.from, folder);
    else fs::copy(c.from, folder);
    c.damage(folder);
    const auto before = FolderFiles(folder);
    const std::string table = folder + "/t.dbf";
    EXPECT_EQ(DbiCheckPackLeftovers(table.c_str()), c.table.empty() ? DBIERR_PACKUNKNOWN : DBIERR_NONE);
    const std::vector<std::string> state = State(table);
    if (c.table.empty()) {
      EXPECT_EQ(state.front(), "open " + std::to_string(DBIERR_PACKUNKNOWN));
      EXPECT_TRUE(FolderFiles(folder) == before) << "a file moved";
    } else {
      EXPECT_TRUE(state == c.table) << state.front() << " ... " << state.back();
      EXPECT_EQ(PackFilesLeft(folder), "");
    }
  }
}

// An append killed before each of its writes may leave its record counted and in no tag, under
// the index's update mark. DbiRepairInterruptedIndex makes the tags again when no other cursor
// has the table open, and leaves them (DBIERR_INDEXOUTOFDATE) while one has; DbiCheckIndex tells a
// tag that misses a record.
TEST_F(CrashTest, AnIndexLeftMarkedByAKilledAppendIsRepairedWhenTheTableIsFree) {
  const std::string model = dir / "model";
  fs::create_directory(model);
  MakeTable(model + "/t.dbf", kRecords, false);
  int marked = 0, hidden = 0;
  for (long n = 1;; ++n) {
    const std::string folder = dir / ("append" + std::to_string(n));
    fs::copy(model, folder);
    const std::string table = folder + "/t.dbf";
    const bool killed = KilledIn(WriteFault::kKill, n, [&] {
      hDBICur cur = nullptr;
      if (Open(table, &cur) == DBIERR_NONE) AppendMemo(cur, kRecords);
    });
    if (!killed) break;
    if (Mark(table) == 0) continue;
    ++marked;
    {
      EngineCursor look;
      ASSERT_EQ(Open(table, &look, dbiOPENSHARED, nullptr, dbiREADONLY), DBIERR_NONE);
      const DBIResult checked = DbiCheckIndex(look, false);
      if (checked == DBIERR_INDEXCORRUPT) ++hidden;
      else EXPECT_EQ(checked, DBIERR_NONE) << n;
      bool repaired = true;
      EXPECT_EQ(DbiRepairInterruptedIndex(table.c_str(), &repaired), DBIERR_INDEXOUTOFDATE) << n;
      EXPECT_FALSE(repaired);
      EXPECT_NE(Mark(table), 0u) << n;
    }
    bool repaired = false;
    ASSERT_EQ(DbiRepairInterruptedIndex(table.c_str(), &repaired), DBIERR_NONE) << n;
    EXPECT_TRUE(repaired);
    EXPECT_EQ(Mark(table), 0u) << n;
    EngineCursor look;
    ASSERT_EQ(Open(table, &look, dbiOPENSHARED, nullptr, dbiREADONLY), DBIERR_NONE);
    EXPECT_EQ(DbiCheckIndex(look, false), DBIERR_NONE) << n;
    EXPECT_EQ(State(table).back(), "tag in order") << n;
  }
  EXPECT_GT(marked, 0);
  EXPECT_GT(hidden, 0) << "no point left a record out of its tags";
  // A table whose index is not marked is left as it is.
  const auto before = ReadAll(model + "/t.mdx");
  bool repaired = true;
  EXPECT_EQ(DbiRepairInterruptedIndex((model + "/t.dbf").c_str(), &repaired), DBIERR_NONE);
  EXPECT_FALSE(repaired);
  EXPECT_EQ(ReadAll(model + "/t.mdx"), before);
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
  EXPECT_EQ(DbfreadCounts({table}), "130 0 0\n");
  EXPECT_EQ(XBaseCounts({table}), CodeEntries(table, 130));
}

// A disk that fills while the append writes: the part the disk took of the record, its memo or
// its index pages is taken back with the rest, the data file as it was byte for byte and the
// memos written before untouched; an index whose in-place change was refused is put back as it
// was, with no mark left. A retry adds the record once.
TEST_F(CrashTest, AnAppendCutPartWayByAFillingDiskLeavesItsFilesAsTheyWere) {
  const std::string table = dir / "t.dbf";
  const std::string memo = dir / "t.dbt";
  MakeTable(table, 0, false);
  hDBICur cur = nullptr;
  ASSERT_EQ(Open(table, &cur), DBIERR_NONE);
  int cut = 0;
  for (int i = 0; i < 130; ++i) {
    for (long n = 1;; ++n) {
      const std::vector<char> data = ReadAll(table), memos = ReadAll(memo);
      SetWriteFault(WriteFault::kPartOnce, n);
      const DBIResult rc = AppendMemo(cur, i);
      const std::string refused = platform::RefusedChange();
      SetWriteFault(WriteFault::kNone, 0);
      if (rc == DBIERR_NONE) break;
      ++cut;
      ASSERT_EQ(rc, DBIERR_DISKFULL) << i << " at change " << n << " (" << refused << ")";
      ASSERT_TRUE(ReadAll(table) == data) << i << " at change " << n << " (" << refused << "): data file changed";
      // The memo of a record refused after it was written stays past the old blocks, unused.
      const std::vector<char> now = ReadAll(memo);
      ASSERT_TRUE(now.size() >= memos.size() && std::equal(memos.begin() + 512, memos.end(), now.begin() + 512))
          << i << " at change " << n << " (" << refused << "): memo blocks changed";
      ASSERT_EQ(Mark(table), 0u) << i << " at change " << n << " (" << refused << "): the index left marked";
    }
  }
  EXPECT_GT(cut, 130 * 2);
  DbiCloseCursor(&cur);
  EXPECT_EQ(State(table), Expected(130, false, false));
  EXPECT_EQ(DbfreadCounts({table}), "130 0 0\n");
  EXPECT_EQ(XBaseCounts({table}), CodeEntries(table, 130));
}

// A record changed in place, then deleted, with each of the rewrite's changes refused in turn
// (once, or cut part-way): the call fails and the record reads as it was, its key where it was;
// the same call then goes through.
TEST_F(CrashTest, ARewriteThatFailsPutsItsRecordBack) {
  const std::string table = dir / "t.dbf";
  MakeTable(table, 12, false);
  hDBICur cur = nullptr;
  ASSERT_EQ(Open(table, &cur, dbiOPENSHARED, "CODE"), DBIERR_NONE);
  std::vector<std::uint8_t> buf = Buffer(cur);
  const struct {
    const char* name;
    std::function<DBIResult()> call;
  } rewrites[] = {
      {"changed", [&] {
         DbiPutField(cur, 1, buf.data(), "A00");  // first in key order now
         return DbiModifyRecord(cur, buf.data(), true);
       }},
      {"deleted", [&] { return DbiDeleteRecord(cur, buf.data()); }},
  };
  for (const auto& w : rewrites) {
    for (const WriteFault fault : {WriteFault::kFailOnce, WriteFault::kPartOnce}) {
      for (long n = 1;; ++n) {
        const std::vector<std::string> before = State(table);
        ASSERT_EQ(DbiSetToRecordNo(cur, 5), DBIERR_NONE);
        ASSERT_EQ(DbiGetRecord(cur, dbiWRITELOCK, buf.data(), nullptr), DBIERR_NONE);
        SetWriteFault(fault, n);
        const DBIResult rc = w.call();
        const long counted = WritesCounted();
        SetWriteFault(WriteFault::kNone, 0);
        DbiRelRecordLock(cur, false);
        if (n > counted) {
          ASSERT_EQ(rc, DBIERR_NONE) << w.name;
          break;
        }
        ASSERT_NE(rc, DBIERR_NONE) << w.name << " at change " << n;
        ASSERT_EQ(Mark(table), 0u) << w.name << " at change " << n << ": the index left marked";
        ASSERT_EQ(State(table), before) << w.name << " at change " << n;
      }
      // Put back for the next fault.
      ASSERT_EQ(DbiSetToRecordNo(cur, 5), DBIERR_NONE);
      ASSERT_EQ(DbiGetRecord(cur, dbiWRITELOCK, buf.data(), nullptr), DBIERR_NONE);
      if (std::string(w.name) == "deleted") {
        ASSERT_EQ(DbiUndeleteRecord(cur), DBIERR_NONE);
      } else {
        DbiPutField(cur, 1, buf.data(), Code(4).c_str());
        ASSERT_EQ(DbiModifyRecord(cur, buf.data(), true), DBIERR_NONE);
      }
      DbiRelRecordLock(cur, false);
    }
  }
  DbiCloseCursor(&cur);
  EXPECT_EQ(State(table), Expected(12, false, false));
}

// A change whose write of the index, the records or the memos is refused once (a full disk, an
// I/O error, a disk that fills while it writes) while another cursor of the process has the table
// open, as a window keeps it: the change fails, the table reads as before (a memo rewritten in
// place put back) and the index holds no mark that only a station having the table alone could
// clear; the same change, tried again on the same cursors, goes through.
TEST_F(CrashTest, AChangeWhoseWriteIsRefusedOnceGoesThroughWhenTriedAgain) {
  const fs::path model = dir / "model";
  fs::create_directories(model);
  MakeTable(model / "t.dbf", 150, true);  // full leaves: an entry added splits one
  const std::string table = dir / "t.dbf";
  const auto putModel = [&] {
    for (const char* f : {"t.dbf", "t.dbt", "t.mdx"})
      fs::copy_file(model / f, dir / f, fs::copy_options::overwrite_existing);
  };
  const struct {
    const char* name;
    std::function<DBIResult(hDBICur)> call;
  } changes[] = {
      {"moved in key order",
       [&](hDBICur cur) {
         std::vector<std::uint8_t> buf = Buffer(cur);
         DBIResult rc = DbiSetToRecordNo(cur, 75);
         if (rc == DBIERR_NONE) rc = DbiGetRecord(cur, dbiWRITELOCK, buf.data(), nullptr);
         DbiPutField(cur, 1, buf.data(), "A00");
         return rc != DBIERR_NONE ? rc : DbiModifyRecord(cur, buf.data(), true);
       }},
      {"memo rewritten in place",
       [&](hDBICur cur) {
         std::vector<std::uint8_t> buf = Buffer(cur);
         DBIResult rc = DbiSetToRecordNo(cur, 30);
         if (rc == DBIERR_NONE) rc = DbiGetRecord(cur, dbiNOLOCK, buf.data(), nullptr);
         if (rc == DBIERR_NONE) rc = DbiOpenBlob(cur, buf.data(), 2, dbiREADWRITE);
         const std::string text = "memo court";
         if (rc == DBIERR_NONE) rc = DbiPutBlob(cur, buf.data(), 2, 0, static_cast<std::uint32_t>(text.size()), text.data());
         if (rc == DBIERR_NONE) rc = DbiTruncateBlob(cur, buf.data(), 2, static_cast<std::uint32_t>(text.size()));
         if (rc == DBIERR_NONE) rc = DbiModifyRecord(cur, buf.data(), false);
         DbiFreeBlob(cur, buf.data(), 2);
         return rc;
       }},
      {"deleted",
       [&](hDBICur cur) {
         std::vector<std::uint8_t> buf = Buffer(cur);
         DBIResult rc = DbiSetToRecordNo(cur, 77);
         if (rc == DBIERR_NONE) rc = DbiGetRecord(cur, dbiNOLOCK, buf.data(), nullptr);
         return rc != DBIERR_NONE ? rc : DbiDeleteRecord(cur, buf.data());
       }},
      {"appended", [&](hDBICur cur) { return AppendMemo(cur, 150); }},
  };
  for (const auto& c : changes) {
    for (const char* file : {"t.mdx", "t.dbf", "t.dbt"}) {
      // The change uncut: its writes of the file and what it leaves.
      putModel();
      const std::vector<std::string> before = State(table);
      hDBICur cur = nullptr, window = nullptr;
      ASSERT_EQ(Open(table, &cur), DBIERR_NONE);
      test_support::RefusedWrite::Arm(file, INT_MAX, WriteFault::kFullOnce);
      ASSERT_EQ(c.call(cur), DBIERR_NONE) << c.name;
      const int writes = test_support::RefusedWrite::Seen();
      test_support::RefusedWrite::Disarm();
      DbiCloseCursor(&cur);
      const std::vector<std::string> after = State(table);
      ASSERT_NE(after, before) << c.name;
      for (const WriteFault fault : {WriteFault::kFullOnce, WriteFault::kFailOnce, WriteFault::kPartOnce}) {
        for (int n = 1; n <= writes; ++n) {
          SCOPED_TRACE(std::string(c.name) + ", write " + std::to_string(n) + " of " + file + " refused (fault " +
                       std::to_string(static_cast<int>(fault)) + ")");
          putModel();
          ASSERT_EQ(Open(table, &window), DBIERR_NONE);
          ASSERT_EQ(Open(table, &cur), DBIERR_NONE);
          test_support::RefusedWrite::Arm(file, n, fault);
          const DBIResult refused = c.call(cur);
          test_support::RefusedWrite::Disarm();
          EXPECT_NE(refused, DBIERR_NONE);
          EXPECT_EQ(Mark(table), 0u) << "a refused write left the index marked";
          EXPECT_TRUE(State(table) == before) << "the table changed";
          EXPECT_EQ(c.call(cur), DBIERR_NONE) << "tried again";
          DbiCloseCursor(&cur);
          DbiCloseCursor(&window);
          EXPECT_TRUE(State(table) == after) << "tried again, the table is not as after the change";
          EXPECT_EQ(Mark(table), 0u);
        }
      }
    }
  }
}

// The index's writes refused from one on while the records' go through (a share that lost the
// index file's server for a while): the change fails with its record put back, and the pages it
// could not put back are owed. The next change of the table in the process, the disk back, through
// another cursor, puts them back first and goes through; so does the first change tried again.
TEST_F(CrashTest, PagesAFailedUpdateCouldNotPutBackArePutBackByTheNextUpdateOfTheProcess) {
  const fs::path model = dir / "model";
  fs::create_directories(model);
  MakeTable(model / "t.dbf", 150, true);
  const std::string table = dir / "t.dbf";
  const auto change = [&](hDBICur cur, std::uint32_t recno, const char* code) {
    std::vector<std::uint8_t> buf = Buffer(cur);
    DBIResult rc = DbiSetToRecordNo(cur, recno);
    if (rc == DBIERR_NONE) rc = DbiGetRecord(cur, dbiNOLOCK, buf.data(), nullptr);
    DbiPutField(cur, 1, buf.data(), code);
    return rc != DBIERR_NONE ? rc : DbiModifyRecord(cur, buf.data(), false);
  };
  static int from = 0, seen = 0;
  for (from = 2; from <= 3; ++from) {
    SCOPED_TRACE("the index's writes refused from the " + std::to_string(from) + "th on");
    for (const char* f : {"t.dbf", "t.dbt", "t.mdx"})
      fs::copy_file(model / f, dir / f, fs::copy_options::overwrite_existing);
    hDBICur cur = nullptr, window = nullptr;
    ASSERT_EQ(Open(table, &cur), DBIERR_NONE);
    ASSERT_EQ(Open(table, &window), DBIERR_NONE);
    seen = 0;
    platform::BeforeFileChange = [] {
      const std::string& change = platform::ChangeBeingMade();
      if (change.size() > 5 && change.compare(change.size() - 5, 5, "t.mdx") == 0 && ++seen >= from)
        platform::SetWriteFault(WriteFault::kFailOnce, 1);
    };
    EXPECT_EQ(change(cur, 75, "A00"), DBIERR_OSERROR);
    platform::BeforeFileChange = nullptr;
    platform::SetWriteFault(WriteFault::kNone, 0);
    EXPECT_GT(Mark(table), 1u) << "the pages could not be put back: the update's own mark stays";
    EXPECT_EQ(change(window, 80, "A01"), DBIERR_NONE) << "the next change of the process";
    EXPECT_EQ(Mark(table), 0u);
    EXPECT_EQ(change(cur, 75, "A00"), DBIERR_NONE) << "the first change tried again";
    DbiCloseCursor(&cur);
    DbiCloseCursor(&window);
    const std::vector<std::string> state = State(table);
    EXPECT_EQ(state.back(), "tag in order");
    EXPECT_EQ(std::count_if(state.begin(), state.end(), [](const std::string& r) { return r.rfind("A0", 0) == 0; }), 2);
  }
}

TEST_F(CrashTest, AWriteOverARealFileSizeLimitIsRefusedAndTakenBackOnceTheProgramHasStarted) {
  constexpr int kClosedShort = -1000;  // a batch written whole whose close met the limit
  const std::string table = dir / "t.dbf";
  MakeTable(table, 60, false);
  auto append = [&] {
    hDBICur cur = nullptr;
    DBIResult rc = Open(table, &cur);
    if (rc == DBIERR_NONE) rc = AppendMemo(cur, 60);
    DbiCloseCursor(&cur);
    return static_cast<int>(rc);
  };
  // A batch of memo-less records, alone on the table.
  auto batch = [&] {
    hDBICur cur = nullptr;
    DBIResult rc = Open(table, &cur, dbiOPENEXCL);
    std::vector<std::uint8_t> all(21 * 50);
    for (int i = 0; rc == DBIERR_NONE && i < 50; ++i) {
      DbiInitRecord(cur, all.data() + 21 * i);
      DbiPutField(cur, 1, all.data() + 21 * i, ("B" + std::to_string(i)).c_str());
    }
    if (rc == DBIERR_NONE) rc = DbiAppendRecords(cur, 50, all.data());
    const DBIResult closed = DbiCloseCursor(&cur);
    return rc != DBIERR_NONE ? static_cast<int>(rc) : closed != DBIERR_NONE ? kClosedShort : 0;
  };
  const rlim_t smallest = static_cast<rlim_t>(fs::file_size(table));
  // Before the program's start, the limit ends the writer (of another table).
  MakeTable(dir / "c.dbf", 60, false);
  EXPECT_EQ(UnderFileSizeLimit(smallest, false, [&] {
              hDBICur cur = nullptr;
              if (Open(dir / "c.dbf", &cur) == DBIERR_NONE) AppendMemo(cur, 60);
              return 0;
            }),
            -(128 + SIGXFSZ));
  // Once it has started, each append over the limit is refused and leaves the files as they
  // were, until the limit lets it through. (A limit refuses any write that ends past it, even
  // inside a file: the limits start at the data file's length.)
  struct Case {
    const char* what;
    std::function<int()> work;
    std::size_t records;
  } cases[] = {{"append", append, 62}, {"batch", batch, 112}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    int refused = 0;
    for (rlim_t limit = static_cast<rlim_t>(fs::file_size(table));; limit += 300) {
      const std::string before = Sizes(table);
      const int rc = UnderFileSizeLimit(limit, true, c.work);
      if (rc == DBIERR_NONE) break;
      if (rc == kClosedShort) {
        // The batch is in; the index pages its close could not write are rebuilt next time.
        ASSERT_EQ(Mark(table), 1u) << limit;
        break;
      }
      ASSERT_EQ(rc, DBIERR_DISKFULL) << limit;
      ++refused;
      ASSERT_EQ(Sizes(table), before) << limit;
      ASSERT_EQ(Mark(table), 0u) << limit;
    }
    EXPECT_GT(refused, 2);
    EXPECT_EQ(State(table).size(), c.records);
    EXPECT_EQ(State(table).back(), "tag in order");
  }
  EXPECT_EQ(DbfreadCounts({table}), "111 0 50\n");  // the batch's records have no memo
  EXPECT_EQ(XBaseCounts({table}), CodeEntries(table, 111));
}

TEST_F(CrashTest, AnExclusiveWriteBackCutShortByTheLimitIsRebuiltByTheNextOpen) {
  const std::string table = dir / "t.dbf";
  MakeTable(table, 0, false);
  // Records appended alone reach the index file only at the close, which meets the limit.
  const int rc = UnderFileSizeLimit(RLIM_INFINITY, true, [&] {
    hDBICur cur = nullptr;
    if (Open(table, &cur, dbiOPENEXCL) != DBIERR_NONE) return -1;
    for (int i = 0; i < 300; ++i)
      if (AppendMemo(cur, i) != DBIERR_NONE) return -2;
    const rlim_t size = static_cast<rlim_t>(fs::file_size(dir / "t.mdx"));
    const rlimit lim{size, size};
    ::setrlimit(RLIMIT_FSIZE, &lim);
    return static_cast<int>(DbiCloseCursor(&cur));
  });
  ASSERT_EQ(rc, DBIERR_DISKFULL);
  EXPECT_EQ(Mark(table), 1u);
  std::vector<std::string> want;
  for (int i = 0; i < 300; ++i) want.push_back(Code(i) + "| |" + MemoOf(i));
  want.push_back("tag in order");
  EXPECT_EQ(State(table), want);
  EXPECT_EQ(Mark(table), 0u);
  EXPECT_EQ(DbfreadCounts({table}), "300 0 0\n");
  EXPECT_EQ(XBaseCounts({table}), CodeEntries(table, 300));
}

TEST_F(CrashTest, ARebuildCutShortByTheLimitLeavesTheIndexFileAsItWas) {
  const std::string table = dir / "t.dbf";
  MakeTable(table, 200, false);
  {
    std::fstream f(dir / "t.mdx", std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(mdx_header::kUpdateMark);
    f.put(1);  // an update cut short: the next station alone rebuilds the index
  }
  const std::string before = Sizes(table);
  const rlim_t size = static_cast<rlim_t>(fs::file_size(dir / "t.mdx"));
  // No room for the new pages, room for one and a half, for several: the rebuild at the
  // exclusive open, then the one the write asks for, stop short and take their pages back.
  for (rlim_t extra : {0, 1500, 5000}) {
    const int rc = UnderFileSizeLimit(size + extra, true, [&] {
      hDBICur cur = nullptr;
      DBIResult r = Open(table, &cur, dbiOPENEXCL);
      std::vector<std::uint8_t> rec(21, ' ');
      if (r == DBIERR_NONE) r = DbiAppendRecords(cur, 1, rec.data());
      DbiCloseCursor(&cur);
      return static_cast<int>(r);
    });
    EXPECT_EQ(rc, DBIERR_DISKFULL) << extra;
    EXPECT_EQ(Sizes(table), before) << extra;
    EXPECT_EQ(Mark(table), 1u) << extra;
  }
  EXPECT_EQ(State(table), Expected(200, false, false));
  EXPECT_EQ(Mark(table), 0u);
  EXPECT_EQ(DbfreadCounts({table}), "200 0 0\n");
  EXPECT_EQ(XBaseCounts({table}), CodeEntries(table, 200));
}

TEST_F(CrashTest, AnIndexWhoseHeaderCountsPagesItLacksIsRefusedSharedAndRebuiltByAnExclusiveOpen) {
  const std::string table = dir / "t.dbf";
  MakeTable(table, 200, false);
  // Its last two pages lost, as a write-back cut short on another system may leave it.
  fs::resize_file(dir / "t.mdx", fs::file_size(dir / "t.mdx") - 2048);
  EXPECT_EQ(State(table).front(), "open 8965");
  hDBICur cur = nullptr;
  ASSERT_EQ(Open(table, &cur, dbiOPENEXCL), DBIERR_NONE);
  DbiCloseCursor(&cur);
  EXPECT_EQ(State(table), Expected(200, false, false));
  EXPECT_EQ(DbfreadCounts({table}), "200 0 0\n");
  EXPECT_EQ(XBaseCounts({table}), CodeEntries(table, 200));
  // The tag table itself unreadable: nothing to rebuild from, the index stays refused.
  {
    std::fstream f(dir / "t.mdx", std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(mdx_header::kTagTable + mdx_tag_entry::kSize + mdx_tag_entry::kHeaderBlock);
    f.write("\xF0\xFF\xFF\x00", 4);
  }
  EXPECT_EQ(Open(table, &cur, dbiOPENEXCL), DBIERR_INDEXCORRUPT);
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
  EXPECT_EQ(XBaseCounts({table}), CodeEntries(table, 4));
}

// A header count written back too low leaves whole records past it, the index unmarked: the next
// exclusive open counts them in again (a part of a record after them cut off), never cuts them;
// one of them without its delete mark is damage, refused with the file left as it was; a single
// record is what a killed append leaves, cut as before. A grouped append killed before its count
// leaves its index marked: its records are cut, by an exclusive open or by the index's repair.
TEST_F(CrashTest, WholeRecordsPastALowCountAreCountedInAgainNeverCut) {
  struct Case {
    const char* what;
    std::uint32_t count;  // written into the header of a table of 10 records
    int tail;             // bytes of a record cut short added after the records
    int badMark;          // 1-based record whose delete mark is spoilt, 0 none
    std::uint32_t uncounted;
    DBIResult open;
    std::size_t records;  // the records an exclusive open leaves counted
  } cases[] = {
      {"count halved", 5, 0, 0, 5, DBIERR_NONE, 10},
      {"count at zero", 0, 0, 0, 10, DBIERR_NONE, 10},
      {"count halved, a record cut short after", 5, 7, 0, 5, DBIERR_NONE, 10},
      {"a record past the count without its mark", 4, 0, 8, 0, DBIERR_FILECORRUPT, 0},
      {"one record past the count (a killed append's shape)", 9, 0, 0, 0, DBIERR_NONE, 9},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string table = dir / ("u" + std::to_string(++n) + ".dbf");
    MakeTable(table, 10, false);
    const auto size = fs::file_size(table);
    std::string bytes;
    {
      std::ifstream in(table, std::ios::binary);
      bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    const std::size_t header = static_cast<unsigned char>(bytes[8]) | static_cast<unsigned char>(bytes[9]) << 8;
    const std::size_t length = static_cast<unsigned char>(bytes[10]) | static_cast<unsigned char>(bytes[11]) << 8;
    for (int i = 0; i < 4; ++i) bytes[4 + static_cast<std::size_t>(i)] = static_cast<char>(c.count >> (8 * i) & 0xFF);
    if (c.badMark != 0) bytes[header + (static_cast<std::size_t>(c.badMark) - 1) * length] = 'X';
    if (c.tail != 0) bytes.insert(bytes.size() - 1, std::string(static_cast<std::size_t>(c.tail), ' '));
    std::ofstream(table, std::ios::binary | std::ios::trunc) << bytes;

    std::uint32_t uncounted = 99;
    EXPECT_EQ(DbiGetUncountedRecords(table.c_str(), &uncounted), c.badMark != 0 ? DBIERR_FILECORRUPT : DBIERR_NONE);
    EXPECT_EQ(uncounted, c.uncounted);
    hDBICur cur = nullptr;
    ASSERT_EQ(Open(table, &cur, dbiOPENEXCL), c.open);
    if (cur != nullptr) DbiCloseCursor(&cur);
    if (c.open != DBIERR_NONE) {
      std::ifstream in(table, std::ios::binary);
      EXPECT_TRUE(std::string(std::istreambuf_iterator<char>(in), {}) == bytes) << "the damaged file was changed";
      continue;
    }
    EXPECT_EQ(fs::file_size(table), size - (10 - c.records) * length);
    EXPECT_EQ(DbfreadCounts({table}), std::to_string(c.records) + " 0 0\n");
  }
}

// A grouped append killed after its records and before its count leaves its index marked: the
// records are its, never counted in; an exclusive open cuts them, and so does the index's repair
// by a shared open that has the table alone.
TEST_F(CrashTest, AGroupedAppendKilledBeforeItsCountIsCutNeverCountedIn) {
  for (const bool exclusiveFirst : {true, false}) {
    SCOPED_TRACE(exclusiveFirst ? "exclusive open" : "shared open");
    const std::string table = dir / (exclusiveFirst ? "ge.dbf" : "gs.dbf");
    MakeTable(table, 3, false);
    const auto size = fs::file_size(table);
    const std::string kept = dir / "grouped-kept";
    fs::remove_all(kept);
    fs::create_directories(kept);
    for (const auto& e : fs::directory_iterator(dir.path()))
      if (e.is_regular_file()) fs::copy_file(e.path(), fs::path(kept) / e.path().filename());
    auto append = [&] {
      hDBICur cur = nullptr;
      if (Open(table, &cur) != DBIERR_NONE) return;
      std::vector<std::uint8_t> one = Buffer(cur), all;
      for (int i = 10; i < 15; ++i) {
        DbiInitRecord(cur, one.data());
        DbiPutField(cur, 1, one.data(), Code(i).c_str());
        all.insert(all.end(), one.begin(), one.end());
      }
      DbiAppendRecords(cur, 5, all.data(), nullptr);
    };
    for (long n = 1; fs::file_size(table) == size && n < 10; ++n) {
      for (const auto& e : fs::directory_iterator(kept))
        fs::copy_file(e.path(), dir / e.path().filename().string(), fs::copy_options::overwrite_existing);
      KilledIn(WriteFault::kKill, n, append);
    }
    ASSERT_GT(fs::file_size(table), size + 4 * 21) << "no kill left the grouped records past the count";
    std::uint32_t uncounted = 99;
    EXPECT_EQ(DbiGetUncountedRecords(table.c_str(), &uncounted), DBIERR_NONE);
    EXPECT_EQ(uncounted, 0u) << "a killed append's records are not records counted once";
    hDBICur cur = nullptr;
    ASSERT_EQ(Open(table, &cur, exclusiveFirst ? dbiOPENEXCL : dbiOPENSHARED), DBIERR_NONE);
    DbiCloseCursor(&cur);
    EXPECT_EQ(fs::file_size(table), size);
    EXPECT_EQ(DbfreadCounts({table}), "3 0 0\n");
    EXPECT_EQ(XBaseCounts({table}), CodeEntries(table, 3));
  }
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
    EXPECT_EQ(DbfreadCounts({table}), "5 0 0\n") << c.pointer;
    EXPECT_EQ(XBaseCounts({table}), CodeEntries(table, 5)) << c.pointer;
  }
  DbiDamageHook = nullptr;
}

}  // namespace
}  // namespace dbase_test
