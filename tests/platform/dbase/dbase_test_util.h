// Helpers shared by the engine's tests: a session, table creation, record layouts and
// records held in memory for the index layer, a temporary folder per test.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "dbase/idapi.h"
#include "field_layout.h"
#include "fileio.h"
#include "mdx.h"
#include "support/engine_cursor.h"
#include "support/python.h"
#include "support/temp_folder.h"

namespace dbase_test {

using namespace dbase;

using TempDir = test_support::TempFolder;
using test_support::EngineCursor;

inline FLDCreate Field(const char* name, char type, int width = 0, int decimals = 0) {
  FLDCreate f;
  std::snprintf(f.szName, sizeof f.szName, "%s", name);
  f.cType = type;
  f.iWidth = static_cast<std::uint16_t>(width);
  f.iDecimals = static_cast<std::uint16_t>(decimals);
  return f;
}

// Adds a tag to the table's production index (a subset when `cond` is not empty).
inline DBIResult AddTag(hDBIDb db, hDBICur cur, const char* name, const char* key, const char* cond = "") {
  IDXDesc idx;
  std::snprintf(idx.szTagName, sizeof idx.szTagName, "%s", name);
  std::snprintf(idx.szKeyExp, sizeof idx.szKeyExp, "%s", key);
  std::snprintf(idx.szKeyCond, sizeof idx.szKeyCond, "%s", cond);
  idx.bSubset = cond[0] != 0;
  return DbiAddIndex(db, cur, nullptr, nullptr, &idx, nullptr);
}

// The session every test runs in.
class Engine : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(DbiInit(nullptr, 300), DBIERR_NONE);
    ASSERT_EQ(DbiOpenDatabase(nullptr, nullptr, dbiREADWRITE, dbiOPENSHARED, nullptr, 0, nullptr, nullptr, &db),
              DBIERR_NONE);
  }
  void TearDown() override {
    DbiCloseDatabase(&db);
    DbiExit();
  }

  DBIResult Open(const std::string& path, hDBICur* cur, DBIShareMode share = dbiOPENSHARED,
                 const char* tag = nullptr, DBIOpenMode mode = dbiREADWRITE) {
    std::string index = path;
    if (index.size() > 4 && index.compare(index.size() - 4, 4, ".dbf") == 0) index.resize(index.size() - 4);
    index += ".mdx";
    return DbiOpenTable(db, path.c_str(), "DBASE", tag != nullptr ? index.c_str() : nullptr, tag, 0, mode, share,
                        xltFIELD, false, nullptr, cur);
  }

  DBIResult Open(const std::string& path, EngineCursor* cur, DBIShareMode share = dbiOPENSHARED,
                 const char* tag = nullptr, DBIOpenMode mode = dbiREADWRITE) {
    return Open(path, cur->Out(), share, tag, mode);
  }

  // Creates a table of these fields and opens it alone.
  DBIResult Create(const std::string& path, std::vector<FLDCreate> fields, hDBICur* cur) {
    const DBIResult rc = DbiCreateTable(db, path.c_str(), static_cast<std::uint16_t>(fields.size()), fields.data(), true);
    return rc != DBIERR_NONE ? rc : Open(path, cur, dbiOPENEXCL);
  }
  DBIResult Create(const std::string& path, std::vector<FLDCreate> fields, EngineCursor* cur) {
    return Create(path, std::move(fields), cur->Out());
  }

  DBIResult AddTag(hDBICur cur, const char* name, const char* key, const char* cond = "") {
    return dbase_test::AddTag(db, cur, name, key, cond);
  }

  // A record buffer of the cursor's size.
  static std::vector<std::uint8_t> Buffer(hDBICur cur) {
    CURProps props;
    DbiGetCursorProps(cur, &props);
    return std::vector<std::uint8_t>(props.iRecBufSize, ' ');
  }

  // Appends a record with C fields given as texts, in field order (nullptr skips a field).
  DBIResult Append(hDBICur cur, const std::vector<const char*>& texts) {
    std::vector<std::uint8_t> buf = Buffer(cur);
    DbiInitRecord(cur, buf.data());
    for (std::size_t i = 0; i < texts.size(); ++i)
      if (texts[i] != nullptr) DbiPutField(cur, static_cast<std::uint16_t>(i + 1), buf.data(), texts[i]);
    return DbiInsertRecord(cur, dbiNOLOCK, buf.data());
  }

  std::string Text(hDBICur cur, const std::vector<std::uint8_t>& buf, std::uint16_t field) {
    char out[300] = {};
    bool blank = false;
    EXPECT_EQ(DbiGetField(cur, field, buf.data(), out, &blank), DBIERR_NONE);
    return out;
  }

  // The memo text of a field in the record buffer, or "<error>" when it cannot be opened.
  static std::string Memo(hDBICur cur, std::vector<std::uint8_t>& buf, std::uint16_t field) {
    if (DbiOpenBlob(cur, buf.data(), field, dbiREADONLY) != DBIERR_NONE) return "<error>";
    std::uint32_t size = 0, got = 0;
    DbiGetBlobSize(cur, buf.data(), field, &size);
    std::string out(size, '\0');
    DbiGetBlob(cur, buf.data(), field, 0, size, out.data(), &got);
    DbiFreeBlob(cur, buf.data(), field);
    return out.substr(0, got);
  }

  // Every record of the current order as "recno:field1" from first to last.
  std::vector<std::string> Walk(hDBICur cur, std::uint16_t field = 1) {
    std::vector<std::string> out;
    std::vector<std::uint8_t> buf = Buffer(cur);
    RECProps rp;
    DbiSetToBegin(cur);
    while (DbiGetNextRecord(cur, dbiNOLOCK, buf.data(), &rp) == DBIERR_NONE)
      out.push_back(std::to_string(rp.iPhyRecNum) + ":" + Text(cur, buf, field));
    return out;
  }

  hDBIDb db = nullptr;
};

// A whole file's bytes, and a little-endian 32-bit number in them.
inline std::vector<char> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}
inline std::uint32_t Le32(const std::vector<char>& b, std::size_t at) {
  std::uint32_t v;
  std::memcpy(&v, b.data() + at, 4);
  return v;
}

// Forks a child that runs `work` and exits with what it returns.
inline pid_t Spawn(const std::function<int()>& work) {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(work());
  return pid;
}

// Waits for a child: its exit code, or 128 + the signal that ended it.
inline int ExitCode(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Copies a table's .dbf and .mdx to another name (both given without extension).
inline void CopyTable(const std::string& from, const std::string& to) {
  for (const char* ext : {".dbf", ".mdx"}) ASSERT_EQ(CopyFile(from + ext, to + ext), DBIERR_NONE) << to;
}

// What a shell command prints, followed by its status when that is not 0.
inline std::string Output(const std::string& command) {
  std::FILE* p = ::popen(command.c_str(), "r");
  if (p == nullptr) return "<not run>";
  std::string out;
  char buf[512];
  while (std::fgets(buf, sizeof buf, p)) out += buf;
  const int rc = ::pclose(p);
  return rc == 0 ? out : out + "status " + std::to_string(rc);
}

// Runs `work` in a child process: what it returns, or minus the child's exit code (128 + the
// signal that ended it) when it died first.
inline int InChild(const std::function<int()>& work) {
  int fds[2];
  if (::pipe(fds) != 0) return -1;
  const pid_t pid = Spawn([&] {
    const int v = work();
    return ::write(fds[1], &v, sizeof v) == sizeof v ? 0 : 1;
  });
  ::close(fds[1]);
  int v = 0;
  const bool told = ::read(fds[0], &v, sizeof v) == sizeof v;
  ::close(fds[0]);
  const int code = ExitCode(pid);
  return told ? v : -code;
}

// What XBase::Index (the library index_dump runs) reads of index files: "file tag entries"
// for every tag of every file, each tag walked through all its pages. The script is written
// in `scratch`, a test's folder.
inline std::string XBaseEntryCounts(const std::vector<std::string>& mdxFiles, const std::string& scratch) {
  const std::string script = scratch + "/xbase_counts.pl";
  std::ofstream(script) << "use XBase::Index;\nfor my $f (@ARGV) {\n"
                           "  for my $t ((XBase::Index->new($f) or die)->tags) {\n"
                           "    my $i = XBase::Index->new($f, tag => $t) or die; $i->prepare_select;\n"
                           "    my $n = 0; $n++ while $i->fetch;\n    print \"$f $t $n\\n\";\n  }\n}\n";
  std::string command = "/usr/bin/perl " + script;
  for (const std::string& f : mdxFiles) command += " " + f;
  return Output(command);
}

// Runs a shell-free Python 3 script (Debian's interpreter) and returns its standard output.
inline std::string RunPython(const std::string& script, int* status) {
  return test_support::RunPythonScript(script, false, status);
}

// CODE C6, NAME C12, KIND C1, AMOUNT N10.2, DAY D8, OK L1.
inline RecordLayout TestLayout() {
  return {
      {"CODE", 'C', 1, 6, 0},   {"NAME", 'C', 7, 12, 0}, {"KIND", 'C', 19, 1, 0},
      {"AMOUNT", 'N', 20, 10, 2}, {"DAY", 'D', 30, 8, 0}, {"OK", 'L', 38, 1, 0},
  };
}
constexpr std::uint32_t kTestRecordLength = 39;

inline void SetField(std::vector<std::uint8_t>& rec, const FieldLayout& f, const std::string& text, bool right = false) {
  std::string v = text.substr(0, f.length);
  if (right) v = std::string(f.length - v.size(), ' ') + v;
  else v.resize(f.length, ' ');
  std::memcpy(rec.data() + f.offset, v.data(), f.length);
}

inline std::vector<std::uint8_t> MakeRecord(const std::string& code, const std::string& name = "",
                                            const std::string& kind = "Z", const std::string& amount = "",
                                            const std::string& day = "", const std::string& ok = "F") {
  const RecordLayout l = TestLayout();
  std::vector<std::uint8_t> rec(kTestRecordLength, ' ');
  SetField(rec, l[0], code);
  SetField(rec, l[1], name);
  SetField(rec, l[2], kind);
  SetField(rec, l[3], amount, true);
  SetField(rec, l[4], day);
  SetField(rec, l[5], ok);
  return rec;
}

// Every entry of a tag, walked from the first or from the last; in key order either way.
inline std::vector<MdxEntry> WalkTag(Mdx& m, const std::string& tag, bool backward = false) {
  std::vector<MdxEntry> out;
  MdxEntry e, n;
  DBIResult r = backward ? m.Last(tag, &e) : m.First(tag, &e);
  for (; r == DBIERR_NONE; e = n) {
    out.push_back(e);
    r = backward ? m.Prior(tag, e, &n) : m.Next(tag, e, &n);
  }
  EXPECT_EQ(r, backward ? DBIERR_BOF : DBIERR_EOF);
  if (backward) std::reverse(out.begin(), out.end());
  return out;
}

// Entries as "recno:key", for comparing walks.
inline std::vector<std::string> Lines(const std::vector<MdxEntry>& entries) {
  std::vector<std::string> out;
  for (const MdxEntry& e : entries) out.push_back(std::to_string(e.recno) + ":" + e.key);
  return out;
}

// Records 1..n held in memory.
class MemoryTable : public RecordSource {
 public:
  std::vector<std::vector<std::uint8_t>> records;  // record n at index n - 1
  std::vector<bool> removed;                       // records the walk skips
  std::size_t next = 0;
  bool Next(std::uint32_t* recno, const std::uint8_t** record) override {
    while (next < removed.size() && removed[next]) ++next;
    if (next >= records.size()) return false;
    *recno = static_cast<std::uint32_t>(next + 1);
    *record = records[next].data();
    ++next;
    return true;
  }
  MemoryTable& Rewind() {
    next = 0;
    return *this;
  }
};

}  // namespace dbase_test
