// Set-up shared by the table layer's tests: a started runtime and engine session in a folder
// of its own, every message box and beep recorded, and tables made from the program's
// structures directly through the engine.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "data/dossier_files.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_structures.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/logfile.h"
#include "runtime/runtime_hooks.h"
#include "runtime/runtime_init.h"
#include "runtime/session_registry.h"
#include "runtime/xbase.h"

namespace table_test {

struct Shown {
  std::string caption;
  std::string text;
  unsigned style;
};

inline std::vector<Shown>& Boxes() {
  static std::vector<Shown> boxes;
  return boxes;
}
inline int& Beeps() {
  static int beeps = 0;
  return beeps;
}

// Runs a Python 3 script with Debian's interpreter (no shell) and returns what it printed.
inline std::string RunPython(const std::string& script) {
  char tmpl[] = "/tmp/merlon-tla-py-XXXXXX";
  int fd = ::mkstemp(tmpl);
  if (fd < 0) return "";
  (void)!::write(fd, script.data(), script.size());
  ::close(fd);
  int out[2];
  if (::pipe(out) != 0) return "";
  pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out[1], 1);
    ::dup2(out[1], 2);
    ::close(out[0]);
    ::close(out[1]);
    ::execl("/usr/bin/python3", "python3", tmpl, static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(out[1]);
  std::string result;
  char buf[4096];
  ssize_t n;
  while ((n = ::read(out[0], buf, sizeof buf)) > 0) result.append(buf, static_cast<std::size_t>(n));
  ::close(out[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  ::unlink(tmpl);
  return result;
}

class TableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/merlon-tla-XXXXXX";
    char* made = mkdtemp(pattern);
    ASSERT_NE(made, nullptr);
    dir_ = made;
    SetProgramFolder(dir_ + "/");
    ASSERT_TRUE(InitRuntime());
    OpenWindowRegistry.assign(kOpenWindowRegistryLength, ' ');
    Boxes().clear();
    Beeps() = 0;
    SetRuntimeMessageHook([](const char* caption, const char* text, unsigned style) {
      Boxes().push_back({caption, text, style});
      return 1;
    });
    SetRuntimeBeepHook([](unsigned) { ++Beeps(); });
    SetLogDossier(dir_ + "/", "TST");
    ASSERT_EQ(StartDbSession(), 0);
  }
  void TearDown() override {
    StopDbSession();
    SetRuntimeMessageHook(nullptr);
    SetRuntimeBeepHook(nullptr);
    SetLogDossier("", "");
    FreeRuntime();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  const std::string& Dir() const { return dir_; }

  // Creates a table of that structure (without extension in `path`) with all its tags.
  void Create(const TableStructure& s, const std::string& path, bool withTags = true) {
    using namespace dbase;
    std::vector<FLDCreate> fields;
    for (const FieldDef& f : s.fields) {
      FLDCreate c;
      std::snprintf(c.szName, sizeof c.szName, "%.*s", static_cast<int>(f.name.size()), f.name.data());
      c.cType = f.type;
      c.iWidth = static_cast<std::uint16_t>(f.width);
      c.iDecimals = static_cast<std::uint16_t>(f.decimals);
      fields.push_back(c);
    }
    ASSERT_EQ(DbiCreateTable(DbHandle, (path + ".dbf").c_str(), static_cast<std::uint16_t>(fields.size()),
                             fields.data(), true),
              DBIERR_NONE);
    if (!withTags || s.tags.empty()) return;
    hDBICur cur = nullptr;
    ASSERT_EQ(DbiOpenTable(DbHandle, (path + ".dbf").c_str(), "DBASE", "", "", 0, dbiREADWRITE, dbiOPENEXCL,
                           xltFIELD, false, nullptr, &cur),
              DBIERR_NONE);
    for (const TagDef& t : s.tags) {
      IDXDesc d;
      std::snprintf(d.szTagName, sizeof d.szTagName, "%.*s", static_cast<int>(t.name.size()), t.name.data());
      std::snprintf(d.szKeyExp, sizeof d.szKeyExp, "%.*s", static_cast<int>(t.expression.size()),
                    t.expression.data());
      std::snprintf(d.szKeyCond, sizeof d.szKeyCond, "%.*s", static_cast<int>(t.condition.size()),
                    t.condition.data());
      d.bSubset = !t.condition.empty();
      d.bExpIdx = true;
      d.bMaintained = true;
      EXPECT_EQ(DbiAddIndex(DbHandle, cur, (path + ".dbf").c_str(), "DBASE", &d, nullptr), DBIERR_NONE)
          << t.name;
    }
    DbiCloseCursor(&cur);
  }
  void Create(TableKind kind, const std::string& path, bool withTags = true) { Create(StructureOf(kind), path, withTags); }

  // Appends a record with the given texts in fields 1, 2, ... (through the layer).
  static void Add(Table& t, const std::vector<std::string>& texts) {
    ASSERT_TRUE(t.AppendBlank());
    for (std::size_t i = 0; i < texts.size(); ++i)
      ASSERT_TRUE(t.PutField(static_cast<int>(i + 1), texts[i].c_str())) << i + 1;
    ASSERT_TRUE(t.InsertRecord());
  }

  // Field f of every record in the current order, "recno:text" (trailing blanks removed).
  static std::vector<std::string> Walk(Table& t, const std::string& tag, int f = 1) {
    std::vector<std::string> out;
    for (bool ok = t.GoTop(tag); ok; ok = t.Skip(1))
      out.push_back(std::to_string(t.recordNumber) + ":" + RTrim(t.GetField(f)));
    return out;
  }

  std::string ReadLog() const {
    std::ifstream in(LogPath(".txt"), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

 private:
  std::string dir_;
};

}  // namespace table_test
