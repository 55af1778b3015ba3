// Set-up shared by the data layer's tests: a started runtime and engine session in a folder
// of its own holding dossier "TST", every message box, beep and lock notice recorded.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "data/dossier_files.h"
#include "data/locks.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_create.h"
#include "data/table_internal.h"
#include "data/table_structures.h"
#include "runtime/logfile.h"
#include "runtime/runtime_hooks.h"
#include "runtime/xbase.h"
#include "support/books_writes.h"
#include "support/python.h"
#include "support/runtime_fixture.h"

namespace data_test {

struct Box { std::string caption; std::string text; unsigned style = 0; };

inline std::vector<Box>& Boxes() {
  static std::vector<Box> boxes;
  return boxes;
}
inline std::vector<Box>& Notices() {
  static std::vector<Box> notices;
  return notices;
}
inline int& Beeps() {
  static int beeps = 0;
  return beeps;
}
// What a test does when the lock notice is shown (the user reading it, then pressing OK).
inline std::function<void()>& OnNotice() {
  static std::function<void()> action;
  return action;
}

inline const std::vector<TableKind>& DossierKinds() {
  static const std::vector<TableKind> kinds{TableKind::C10, TableKind::C20, TableKind::C30, TableKind::C40,
                                            TableKind::C50, TableKind::C60, TableKind::C70};
  return kinds;
}

// Runs a Python 3 script with Debian's interpreter (no shell) and returns what it printed,
// errors included.
inline std::string RunPython(const std::string& script) { return test_support::RunPythonScript(script, true); }

class DataTest : public test_support::RuntimeTest {
 public:
  static std::string DossierPath(TableKind kind) { return DossierFolder + TableBaseName(kind, DossierCode); }

 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    Boxes().clear();
    Notices().clear();
    Beeps() = 0;
    OnNotice() = nullptr;
    SetRuntimeMessageHook([](const char* caption, const char* text, unsigned style) {
      Boxes().push_back({caption, text, style});
      return 1;
    });
    SetRuntimeBeepHook([](unsigned) { ++Beeps(); });
    SetLockNoticeHook([](const char* caption, const char* text) {
      Notices().push_back({caption, text, 0});
      if (OnNotice()) OnNotice()();
    });
    SetLogDossier(Dir() + "/", "TST");
    ASSERT_EQ(StartDbSession(), 0);
    SetDossier(Dir(), "TST");
  }
  void TearDown() override {
    StopDbSession();
    SetDossier("", "");
    UseStoredWorkingDate = true;
    SetLockNoticeHook(nullptr);
    SetLogDossier("", "");
    RuntimeTest::TearDown();
  }

  // The table object of a dossier kind (the kinds C10 ... C70 come first, in that order).
  static Table* GlobalTable(TableKind kind) {
    Table* const tables[] = {TableC10, TableC20, TableC30, TableC40, TableC50, TableC60, TableC70};
    return tables[static_cast<int>(kind)];
  }

  // A table of a structure of the test's own (`path` without extension), with its tags.
  void Create(const TableStructure& s, const std::string& path) {
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
    const std::string dbf = path + ".dbf";
    ASSERT_EQ(DbiCreateTable(DbHandle, dbf.c_str(), static_cast<std::uint16_t>(fields.size()), fields.data(), true),
              DBIERR_NONE);
    if (s.tags.empty()) return;
    hDBICur cur = nullptr;
    ASSERT_EQ(DbiOpenTable(DbHandle, dbf.c_str(), "DBASE", "", "", 0, dbiREADWRITE, dbiOPENEXCL, xltFIELD, false,
                           nullptr, &cur),
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
      EXPECT_EQ(DbiAddIndex(DbHandle, cur, dbf.c_str(), "DBASE", &d, nullptr), DBIERR_NONE) << t.name;
    }
    DbiCloseCursor(&cur);
  }

  // The dossier's tables C10 ... C70 and its lock table, made by the creation function.
  void CreateDossier() {
    for (TableKind kind : DossierKinds()) ASSERT_EQ(CreateTableOfKind(kind, DossierPath(kind)), 0);
    ASSERT_EQ(CreateTableOfKind(TableKind::DossierLock, DossierTablePath()), 0);
  }

  // Appends a record with the given texts in fields 1, 2, ...
  static void Add(Table& t, const std::vector<std::string>& texts) {
    const test_support::SetUpPermit permit("enregistrement mis en place");
    ASSERT_TRUE(t.AppendBlank());
    for (std::size_t i = 0; i < texts.size(); ++i)
      ASSERT_TRUE(t.PutField(static_cast<int>(i + 1), texts[i].c_str())) << i + 1;
    ASSERT_TRUE(t.InsertRecord());
  }

  // Field f of every record in the order of a tag, "recno:text" (trailing blanks removed).
  static std::vector<std::string> Walk(Table& t, const std::string& tag, int f = 1) {
    std::vector<std::string> out;
    for (bool ok = t.GoTop(tag); ok; ok = t.Skip(1))
      out.push_back(std::to_string(t.recordNumber) + ":" + RTrim(t.GetField(f)));
    return out;
  }
  // Physical record numbers in the order of a tag.
  static std::vector<std::uint32_t> WalkRecords(Table& t, const std::string& tag) {
    std::vector<std::uint32_t> out;
    for (bool ok = t.GoTop(tag); ok; ok = t.Skip(1)) out.push_back(t.recordNumber);
    return out;
  }

  std::string ReadLog() const { return Read("clgtst.txt"); }
};

}  // namespace data_test
