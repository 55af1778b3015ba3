// Helpers shared by the engine's tests: a temporary folder per test, table creation and
// a cursor that closes itself.
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

#include "dbase/idapi.h"
#include "support/python.h"

namespace dbase_test {

using namespace dbase;

class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/merlon-dbase-XXXXXX";
    char* p = ::mkdtemp(tmpl);
    path_ = p != nullptr ? p : "/tmp";
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

inline FLDCreate Field(const char* name, char type, int width = 0, int decimals = 0) {
  FLDCreate f;
  std::snprintf(f.szName, sizeof f.szName, "%s", name);
  f.cType = type;
  f.iWidth = static_cast<std::uint16_t>(width);
  f.iDecimals = static_cast<std::uint16_t>(decimals);
  return f;
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

  // Appends a record with C fields given as texts, in field order (nullptr skips a field).
  DBIResult Append(hDBICur cur, const std::vector<const char*>& texts) {
    CURProps props;
    DbiGetCursorProps(cur, &props);
    std::vector<std::uint8_t> buf(props.iRecBufSize);
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

  // Every record of the current order as "recno:field1" from first to last.
  std::vector<std::string> Walk(hDBICur cur, std::uint16_t field = 1) {
    std::vector<std::string> out;
    CURProps props;
    DbiGetCursorProps(cur, &props);
    std::vector<std::uint8_t> buf(props.iRecBufSize);
    RECProps rp;
    DbiSetToBegin(cur);
    while (DbiGetNextRecord(cur, dbiNOLOCK, buf.data(), &rp) == DBIERR_NONE)
      out.push_back(std::to_string(rp.iPhyRecNum) + ":" + Text(cur, buf, field));
    return out;
  }

  hDBIDb db = nullptr;
};

// Runs a shell-free Python 3 script (Debian's interpreter) and returns its standard output.
inline std::string RunPython(const std::string& script, int* status) {
  return test_support::RunPythonScript(script, false, status);
}

// A one-way signal between two processes: one writes a byte, the other waits for it.
class Signal {
 public:
  Signal() { (void)!::pipe(fd_); }
  ~Signal() {
    ::close(fd_[0]);
    ::close(fd_[1]);
  }
  void Post() { (void)!::write(fd_[1], "x", 1); }
  bool Wait() {
    char c;
    return ::read(fd_[0], &c, 1) == 1;
  }

 private:
  int fd_[2] = {-1, -1};
};

}  // namespace dbase_test
