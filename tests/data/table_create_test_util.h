// Set-up of the tests of indexes, locks, account totals and table creation: a started
// runtime and engine session in a folder of its own holding a dossier "TST" made by the
// table creation function, every message box, beep and lock notice recorded.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "data/dossier_files.h"
#include "data/locks.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_create.h"
#include "data/table_structures.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/logfile.h"
#include "runtime/runtime_hooks.h"
#include "runtime/runtime_init.h"
#include "runtime/session_registry.h"
#include "runtime/xbase.h"

namespace tlb_test {

struct Box {
  std::string caption;
  std::string text;
  unsigned style = 0;
};

inline std::vector<Box>& Boxes() {
  static std::vector<Box> boxes;
  return boxes;
}
inline std::vector<Box>& Notices() {
  static std::vector<Box> notices;
  return notices;
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

class DossierTest : public ::testing::Test {
 public:
  static std::string DossierPath(TableKind kind) {
    return DossierFolder + TableBaseName(kind, DossierCode);
  }

 protected:
  void SetUp() override {
    char pattern[] = "/tmp/merlon-tlb-XXXXXX";
    char* made = mkdtemp(pattern);
    ASSERT_NE(made, nullptr);
    dir_ = made;
    SetProgramFolder(dir_ + "/");
    ASSERT_TRUE(InitRuntime());
    OpenWindowRegistry.assign(kOpenWindowRegistryLength, ' ');
    TheDossierRecord.Clear();
    Boxes().clear();
    Notices().clear();
    OnNotice() = nullptr;
    SetRuntimeMessageHook([](const char* caption, const char* text, unsigned style) {
      Boxes().push_back({caption, text, style});
      return 1;
    });
    SetRuntimeBeepHook([](unsigned) {});
    SetLockNoticeHook([](const char* caption, const char* text) {
      Notices().push_back({caption, text, 0});
      if (OnNotice()) OnNotice()();
    });
    SetLogDossier(dir_ + "/", "TST");
    ASSERT_EQ(StartDbSession(), 0);
    SetDossier(dir_, "TST");
  }
  void TearDown() override {
    StopDbSession();
    SetLockNoticeHook(nullptr);
    SetRuntimeMessageHook(nullptr);
    SetRuntimeBeepHook(nullptr);
    SetLogDossier("", "");
    FreeRuntime();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  const std::string& Dir() const { return dir_; }
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  static Table* GlobalTable(TableKind kind) {
    switch (kind) {
      case TableKind::C10: return TableC10;
      case TableKind::C20: return TableC20;
      case TableKind::C30: return TableC30;
      case TableKind::C40: return TableC40;
      case TableKind::C50: return TableC50;
      case TableKind::C60: return TableC60;
      case TableKind::C70: return TableC70;
      default: return nullptr;
    }
  }

  // The dossier's tables C10 ... C70 and its lock table, made by the creation function.
  void CreateDossier() {
    for (TableKind kind : DossierKinds()) ASSERT_EQ(CreateTableOfKind(kind, DossierPath(kind)), 0);
    ASSERT_EQ(CreateTableOfKind(TableKind::DossierLock, DossierTablePath()), 0);
  }
  // Opens C10, C20 and C30 on their code tags, as the postings expect.
  void OpenTotalsTables() {
    ASSERT_TRUE(TableC10->OpenTable(DossierPath(TableKind::C10), "C10CODE"));
    ASSERT_TRUE(TableC20->OpenTable(DossierPath(TableKind::C20), "C20CODE"));
    ASSERT_TRUE(TableC30->OpenTable(DossierPath(TableKind::C30), "C30CODE"));
  }

  // Appends a record with the given texts in fields 1, 2, ...
  static void Add(Table& t, const std::vector<std::string>& texts) {
    ASSERT_TRUE(t.AppendBlank());
    for (std::size_t i = 0; i < texts.size(); ++i)
      ASSERT_TRUE(t.PutField(static_cast<int>(i + 1), texts[i].c_str())) << i + 1;
    ASSERT_TRUE(t.InsertRecord());
  }

  // Physical record numbers in the order of a tag.
  static std::vector<std::uint32_t> WalkRecords(Table& t, const std::string& tag) {
    std::vector<std::uint32_t> out;
    for (bool ok = t.GoTop(tag); ok; ok = t.Skip(1)) out.push_back(t.recordNumber);
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

}  // namespace tlb_test
