// Set-up of the dossier tests without windows: a started runtime and engine session with a
// program folder of its own, every message box and beep recorded, helpers that run a program
// through an argument vector and read its output; and for the maintenance tests a generated
// demo dossier made current, helpers that damage it, and independent checks that read the
// lines and compare them with the totals the dossier keeps.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "data/dossier_files.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_internal.h"
#include "demo/dossier_demo.h"
#include "platform/dbase/file_layout.h"
#include "platform/dbase/idapi.h"
#include "platform/system/process.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/logfile.h"
#include "runtime/numbers.h"
#include "runtime/runtime_hooks.h"
#include "runtime/runtime_init.h"
#include "runtime/session_registry.h"
#include "runtime/xbase.h"
#include "support/books_writes.h"
#include "support/other_process.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;

namespace dossier_test {

inline std::vector<std::string>& Boxes() {
  static std::vector<std::string> boxes;
  return boxes;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The update mark of an index file (not 0 while an update of it is under way or was cut short).
inline std::uint32_t UpdateMark(const std::string& mdx) {
  const std::string bytes = ReadFile(mdx);
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i)
    v = v << 8 | static_cast<unsigned char>(bytes[dbase::mdx_header::kUpdateMark + static_cast<std::size_t>(i)]);
  return v;
}

// Whether a read of the table finds its tags holding its records (the index as it is).
inline dbase::DBIResult IndexCheck(const std::string& base) {
  Table t;
  if (!t.OpenShared(base, "", true)) return t.result;
  const dbase::DBIResult rc = dbase::DbiCheckIndex(t.Engine().cursor, false);
  t.CloseTable(true);
  return rc;
}

// Runs argv[0] with the arguments (the shell only redirects them, their text untouched),
// stdout and stderr joined into *output; answers the exit code (127 when it could not start).
inline int Run(const std::vector<std::string>& args, std::string* output, std::vector<std::string> env = {}) {
  test_support::TempFolder folder{"merlon-run"};
  env.push_back("OUT=" + folder.path() + "/out");
  std::vector<std::string> argv{"/bin/sh", "-c", "exec \"$0\" \"$@\" > \"$OUT\" 2>&1"};
  argv.insert(argv.end(), args.begin(), args.end());
  platform::LaunchOptions o;
  o.wait = true;
  o.extraEnvironment = env;
  const int status = platform::LaunchProcess(argv, o).exitStatus;
  *output += ReadFile(folder.path() + "/out");
  return status;
}

// Runs a Python script of this folder with /usr/bin/python3.
inline int RunPython(const std::string& script, std::vector<std::string> args, std::string* output) {
  args.insert(args.begin(), {"/usr/bin/python3", std::string(MERLON_SOURCE_DIR) + "/tests/dossier/" + script});
  return Run(args, output);
}

// Writes bytes into a file at an offset, the rest of the file kept.
inline void Poke(const std::string& path, std::size_t at, const std::string& bytes) {
  std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
  f.seekp(static_cast<std::streamoff>(at));
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Renames field `k` (1-based; 0 = the last) of a data file in its header.
inline void RenameField(const std::string& dbf, int k, std::string name) {
  const std::string head = ReadFile(dbf);
  const int last = ((static_cast<unsigned char>(head[8]) | static_cast<unsigned char>(head[9]) << 8) - 33) / 32;
  name.resize(11, '\0');
  Poke(dbf, 32 * static_cast<std::size_t>(k == 0 ? last : k), name);
}

// Removes the field named `name` from a data file, as a format without it holds the table: its
// descriptor from the header, its bytes from every record.
inline void DropField(const std::string& dbf, const std::string& name) {
  const std::string bytes = ReadFile(dbf);
  const auto word = [&bytes](std::size_t at) {
    return static_cast<std::size_t>(static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8);
  };
  const std::size_t header = word(8), length = word(10), count = word(4) | word(6) << 16;
  std::size_t at = 32, offset = 1, width = 0;
  for (; at + 32 <= header && bytes[at] != '\r'; at += 32) {
    if (std::string(bytes.data() + at, strnlen(bytes.data() + at, 11)) == name) {
      width = static_cast<unsigned char>(bytes[at + 16]);
      break;
    }
    offset += static_cast<unsigned char>(bytes[at + 16]);
  }
  ASSERT_NE(width, 0u) << name;
  std::string out = bytes.substr(0, at) + bytes.substr(at + 32, header - at - 32);
  out[8] = static_cast<char>((header - 32) & 0xFF);
  out[9] = static_cast<char>((header - 32) >> 8);
  out[10] = static_cast<char>((length - width) & 0xFF);
  out[11] = static_cast<char>((length - width) >> 8);
  for (std::size_t r = 0; r < count; ++r) {
    std::string record = bytes.substr(header + r * length, length);
    record.erase(offset, width);
    out += record;
  }
  out += bytes.substr(std::min(bytes.size(), header + count * length));
  std::ofstream(dbf, std::ios::binary | std::ios::trunc) << out;
}

// The lines of a text file, without their line ends.
inline std::vector<std::string> FileLines(const std::string& path) {
  std::vector<std::string> lines;
  std::istringstream in(ReadFile(path));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Every file of a folder but its text files (logs), names and contents joined.
inline std::string FolderBytes(const std::string& folder) {
  std::string all;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    if (e.path().extension() != ".txt") all += e.path().string() + ReadFile(e.path().string());
  return all;
}

// A dossier file's bytes with those that depend on the day and the run blanked: dates of the
// table and index headers, the index file's change counter, and the "faite le dd/mm/yy à
// hhhmm" of the balancing account.
inline std::string MaskedTableBytes(const std::filesystem::path& p) {
  std::string bytes = ReadFile(p.string());
  auto blank = [&](std::size_t at, std::size_t n) {
    if (bytes.size() >= at + n) bytes.replace(at, n, n, '\0');
  };
  blank(1, 3);
  const std::string stamp = "faite le ";
  for (std::size_t at = bytes.find(stamp); at != std::string::npos; at = bytes.find(stamp, at + 1))
    blank(at + stamp.size(), 17);
  if (p.extension() == ".mdx") {
    blank(44, 3);
    blank(508, 4);
  }
  return bytes;
}

// The table, index and memo files of a folder (the dossier's files are named in lower case).
inline std::set<std::string> TableFileNames(const std::filesystem::path& folder) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    if (const std::string ext = e.path().extension(); ext == ".dbf" || ext == ".mdx" || ext == ".dbt")
      names.insert(e.path().filename().string());
  return names;
}

// Runtime and engine up, in a temporary folder that is also the program folder.
class SessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetProgramFolder(dir_ + "/program/");
    ASSERT_TRUE(InitRuntime());
    EnsureOpenWindowRegistry();
    TheDossierRecord.Clear();
    Boxes().clear();
    SetRuntimeMessageHook([](const char* caption, const char* text, unsigned) {
      Boxes().push_back(std::string(caption) + ": " + text);
      return 1;
    });
    SetRuntimeBeepHook([](unsigned) {});
    ASSERT_EQ(StartDbSession(), 0);
  }
  void TearDown() override {
    StopDbSession();
    SetRuntimeMessageHook(nullptr);
    SetRuntimeBeepHook(nullptr);
    SetLogDossier("", "");
    SetDossier("", "");
    FreeRuntime();
  }

  const std::string& Dir() const { return temp_.path(); }

 private:
  test_support::TempFolder temp_{"merlon-gen"};
  const std::string dir_ = temp_.path();
};

// Another station: a forked process that opens the dossier's lock table
// shared when told 'o' and closes it on 'c'. Fork it before this process
// opens the tables (the child must hold no copy of this process's locks).
class OtherStation : public test_support::OtherProcess {
 public:
  explicit OtherStation(std::string lockTablePath)
      : OtherProcess([path = std::move(lockTablePath)](char cmd) {
          static Table* lock = nullptr;
          if (lock == nullptr) lock = new Table();
          if (cmd == 'o') return lock->OpenShared(path);
          if (cmd == 'c') return lock->CloseTable(true);
          return false;
        }) {}
};

}  // namespace dossier_test

namespace maintenance_test {

// Debit francs, debit euros, credit francs, credit euros, in cents.
using Cents = std::array<long long, 4>;

inline void Add(Cents& c, char sense, double francs, double euros) {
  const std::size_t side = sense == 'D' ? 0 : 2;
  c[side] += ToCents(francs);
  c[side + 1] += ToCents(euros);
}

// Opens a dossier table exclusively (tag optional); the caller closes it.
inline bool Open(Table& t, const std::string& path, const char* tag = "") {
  return t.OpenExclusive(path, tag);
}

// Calls fn on every record of a table in physical order (the live ones only when asked); fn
// may change the record.
inline void EachRecord(Table& t, const std::string& path, const std::function<void(Table&)>& fn, bool liveOnly = false) {
  const test_support::SetUpPermit permit("tables abimees");
  ASSERT_TRUE(Open(t, path));
  const std::uint32_t n = t.RecCount();
  for (std::uint32_t r = 1; r <= n; ++r) {
    ASSERT_TRUE(t.GoTo(r));
    if (!liveOnly || !t.IsDeleted()) fn(t);
  }
  t.CloseTable(true);
}

inline void EachLive(Table& t, const std::string& path, const std::function<void(Table&)>& fn) {
  EachRecord(t, path, fn, true);
}

inline std::string Trim(const char* text) { return AllTrim(text); }

// What the draft lines say (the generated dossiers have no closed line): per account
// (auxiliary accounts also on their collecting account), per section and per journal-month
// header key.
struct LineTotals {
  std::map<std::string, Cents> accounts, sections, headers;
};

inline LineTotals TotalsFromLines() {
  LineTotals t;
  std::map<char, std::string> collecting;
  EachLive(*TableC10, PathC10(), [&](Table& c10) {
    if (c10.GetField(1)[0] == 'B') {
      std::string acc = RTrim(std::string(c10.GetField(4)).substr(0, 8).c_str());
      acc.resize(8, '0');
      collecting[c10.GetField(2)[0]] = acc;
    }
  });
  EachLive(*TableC50, PathC50(), [&](Table& l) {
    const char kind = l.GetField(1)[0], sense = l.GetField(17)[0];
    const std::string account = l.GetField(10);
    const double f = l.GetFieldNum(18), e = l.GetFieldNum(19);
    if (kind == 'Z') {
      Add(t.accounts[account], sense, f, e);
      if (account[0] >= 'A' && account[0] <= 'Z') Add(t.accounts[collecting[account[0]]], sense, f, e);
      Add(t.headers[std::string(l.GetField(2)) + l.GetField(3) + "B"], sense, f, e);
    } else if (kind == 'W' || kind == 'Y') {
      Add(t.sections[account], sense, f, e);
    }
  });
  return t;
}

// The totals kept in C20, C30 and the live headers of C10.
inline LineTotals TotalsKept() {
  LineTotals t;
  auto totals = [](Table& r, int first) {
    return Cents{ToCents(r.GetFieldNum(first)), ToCents(r.GetFieldNum(first + 1)), ToCents(r.GetFieldNum(first + 2)),
                 ToCents(r.GetFieldNum(first + 3))};
  };
  EachLive(*TableC20, PathC20(), [&](Table& r) {
    if (const Cents c = totals(r, 17); c != Cents{}) t.accounts[r.GetField(1)] = c;
  });
  EachLive(*TableC30, PathC30(), [&](Table& r) {
    if (const Cents c = totals(r, 9); c != Cents{}) t.sections[r.GetField(1)] = c;
  });
  EachLive(*TableC10, PathC10(), [&](Table& r) {
    if (r.GetField(1)[0] != 'C') return;
    std::string f = r.GetField(4), e = r.GetField(5);  // debit then credit, 14 characters each
    f.resize(28, ' ');
    e.resize(28, ' ');
    auto at = [](const std::string& s, std::size_t from) { return ToCents(Val(s.substr(from, 14).c_str())); };
    t.headers[std::string(r.GetField(2)).substr(0, 8)] = Cents{at(f, 0), at(e, 0), at(f, 14), at(e, 14)};
  });
  return t;
}

inline void DropZero(std::map<std::string, Cents>& m) {
  std::erase_if(m, [](const auto& kv) { return kv.second == Cents{}; });
}

// Every total kept equals the lines, and nothing else is kept.
inline void ExpectTotalsEqualLines() {
  LineTotals lines = TotalsFromLines();
  LineTotals kept = TotalsKept();
  DropZero(lines.accounts);
  DropZero(lines.sections);
  EXPECT_EQ(kept.accounts, lines.accounts);
  EXPECT_EQ(kept.sections, lines.sections);
  EXPECT_EQ(kept.headers, lines.headers);
}

// Journal-months (closed and draft headers together) whose debits and
// credits differ, in euros (and francs when asked).
inline int UnbalancedJournalMonths(bool francsToo) {
  std::map<std::string, Cents> months;
  for (const auto& [key, c] : TotalsKept().headers)
    for (std::size_t i = 0; i < 4; ++i) months[key.substr(0, 7)][i] += c[i];
  int n = 0;
  for (const auto& [key, c] : months)
    if (c[1] != c[3] || (francsToo && c[0] != c[2])) ++n;
  return n;
}

inline std::string LogText() { return dossier_test::ReadFile(LogPath(".txt")); }

// The dossier in `folder` made current with TheDossierRecord loaded from its C10 records "0"
// and "P", as the opening does.
inline void MakeCurrent(const std::string& folder, const char* code) {
  SetDossier(folder, code);
  SetLogDossier(folder, code);
  SetDossierIniPath(PathC10(".ini"));
  ASSERT_TRUE(Open(*TableC10, PathC10(), "C10CODE"));
  ASSERT_TRUE(ReadC10Texts());
  ASSERT_TRUE(TableC10->Seek("C10CODE", "P"));
  TheDossierRecord.Set(539, 252, TableC10->GetField(4));
  TheDossierRecord.Set(791, 252, TableC10->GetField(5));
  CloseAllTables();
}

// Session, runtime and a demo dossier made current.
class MaintenanceTest : public dossier_test::SessionTest {
 protected:
  void SetUp() override {
    dossier_test::SessionTest::SetUp();
    folder_ = Dir() + "/dossier/";
    DemoOptions o;
    o.folder = folder_;
    o.lines = 600;
    o.seed = 11;
    std::string message;
    ASSERT_TRUE(GenerateDemoDossier(o, &message)) << message;
    MakeCurrent(folder_, "DEMO");
  }

  // Appends one record with the given fields.
  static void Append(Table& t, const std::string& path, const std::map<int, std::string>& fields) {
    const test_support::SetUpPermit permit("enregistrement ajoute");
    ASSERT_TRUE(Open(t, path));
    ASSERT_TRUE(t.AppendBlank());
    for (const auto& [f, v] : fields) t.PutField(f, v.c_str());
    ASSERT_TRUE(t.InsertRecord());
    t.CloseTable(true);
  }

  // A text of the constants record "P" (constant n) changed in C10 and in memory.
  static void SetConstant(int n, const char* value) {
    TheDossierRecord.SetConstant(n, value);
    ASSERT_TRUE(Open(*TableC10, PathC10(), "C10CODE"));
    ASSERT_TRUE(TableC10->Seek("C10CODE", "P"));
    TableC10->PutField(4, TheDossierRecord.Get(539, 252).c_str());
    TableC10->PutField(5, TheDossierRecord.Get(791, 252).c_str());
    CloseAllTables();
  }

  const std::string& Folder() const { return folder_; }

 private:
  std::string folder_;
};

}  // namespace maintenance_test
