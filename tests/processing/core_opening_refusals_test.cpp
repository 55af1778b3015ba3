// The opening balances refuse, before anything is written into the next year's dossier, what its
// rebuild would refuse there: a renumbering left pending, a damaged table, a draft that the opening
// lines would take past 999,999 records.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "data/dossier_files.h"
#include "data/locks.h"
#include "data/session.h"
#include "data/table.h"
#include "demo/dossier_demo.h"
#include "dossier/maintenance_pack.h"
#include "dossier/maintenance_rebuild.h"
#include "dossier/renumber_pieces.h"
#include "processing/core/opening_balances.h"
#include "runtime/dossier_record.h"
#include "runtime/runtime_hooks.h"
#include "runtime/xbase.h"
#include "support/line_files.h"
#include "support/runtime_fixture.h"

namespace {

namespace fs = std::filesystem;

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class OpeningRefusalTest : public test_support::RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    SetRuntimeMessageHook([](const char*, const char*, unsigned) { return 1; });
    SetRuntimeBeepHook([](unsigned) {});
    SetLockNoticeHook([](const char*, const char*) {});
    ASSERT_EQ(StartDbSession(), 0);
    for (int year : {2026, 2027}) {
      DemoOptions o;
      o.folder = Dir() + (year == 2026 ? "/a" : "/b");
      o.code = year == 2026 ? "A" : "B";
      o.lines = 60;
      o.firstDay = Ymd{year, 1, 1};
      o.lastDay = Ymd{year, 12, 31};
      o.currency = DossierCurrency::EuroMain;
      o.seed = static_cast<std::uint64_t>(year);
      std::string message;
      ASSERT_TRUE(GenerateDemoDossier(o, &message)) << message;
    }
    SetDossier(Dir() + "/a/", "A");
    ASSERT_TRUE(TableC10->OpenShared(PathC10(), "C10CODE"));
    ASSERT_TRUE(ReadC10Texts());
    ASSERT_TRUE(TableC10->Seek("C10CODE", "P", "0"));
    TheDossierRecord.Set(539, 252, TableC10->GetField(4));
    TheDossierRecord.Set(791, 252, TableC10->GetField(5));
    CloseAllTables();
  }
  void TearDown() override {
    CloseAllTables();
    StopDbSession();
    SetDossier("", "");
    SetLockNoticeHook(nullptr);
    RuntimeTest::TearDown();
  }

  // The run as the form starts it, with the rebuild's refusals read on the target.
  processing::OpeningResult Run() {
    Table c10, c20;
    EXPECT_TRUE(c10.OpenShared(PathC10(), "C10CODE", true));
    EXPECT_TRUE(c20.OpenShared(PathC20(), "C20CODE", true));
    const auto collectives = processing::ReadCollectives(c10);
    const processing::TrialBalance balance = processing::ComputeTrialBalance(c20, collectives);
    c10.CloseTable();
    c20.CloseTable();
    processing::TargetMaintenance m;
    m.refusal = [] {
      if (RenumberingPending()) return RenumberPendingMessage();
      const std::string damaged = FindDamagedDossierTable();
      return damaged.empty() ? std::string() : DamagedFileMessage(damaged);
    };
    m.rebuild = [] { return RunDossierRebuild(true, true).code; };
    processing::OpeningRequest r;
    r.target = processing::OtherDossier{Dir() + "/b/", "B"};
    r.date = Ymd{2027, 1, 1};
    return processing::GenerateOpeningBalances(r, collectives, balance, m);
  }

  // Every file of B, byte for byte.
  std::vector<std::string> TargetFiles() {
    std::vector<std::string> all;
    for (const auto& e : fs::directory_iterator(Dir() + "/b")) all.push_back(e.path().filename().string() + Bytes(e.path()));
    std::sort(all.begin(), all.end());
    return all;
  }
};

TEST_F(OpeningRefusalTest, WhatTheTargetsRebuildWouldRefuseStopsTheRunBeforeAnyWrite) {
  struct Case {
    const char* name;
    void (*damage)(const std::string& b);
    const char* message;
  };
  const Case cases[] = {
      {"pending renumbering",
       [](const std::string& b) { std::ofstream(b + "c60b.ren") << "plan"; },
       "ReNum\xE9rotation des Pi\xE8" "ces a \xE9t\xE9 interrompue"},
      {"damaged table",
       [](const std::string& b) { fs::resize_file(b + "c20b.dbf", fs::file_size(b + "c20b.dbf") / 2); },
       "c20b.dbf"},
      {"draft past its limit",
       [](const std::string& b) {
         test_support::PadWithDeletedRecords(b + "c50b.dbf", static_cast<std::uint32_t>(kMaxLineRecords) - 5);
       },
       "/c50b.dbf\n\ncompte plus de 999 999 lignes"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // Each case on a fresh copy of the next year's dossier.
    fs::remove_all(Dir() + "/b-clean");
    fs::copy(Dir() + "/b", Dir() + "/b-clean");
    c.damage(Dir() + "/b/");
    const auto before = TargetFiles();
    const processing::OpeningResult r = Run();
    EXPECT_EQ(r.code, processing::kOpeningRefused) << r.error;
    EXPECT_NE(r.error.find(c.message), std::string::npos) << r.error;
    EXPECT_EQ(TargetFiles(), before) << "nothing written";
    fs::remove_all(Dir() + "/b");
    fs::rename(Dir() + "/b-clean", Dir() + "/b");
  }
}

}  // namespace
