// The dunning core's tests: a started runtime and engine session over a small generated dossier
// "RL" made the program's dossier, with accounts and lines of the test's own added to it, runs
// driven through the report hooks as the template interpreter calls them, and the temporary
// folder of the transfer files inside the test's folder.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "data/dossier_files.h"
#include "data/entry_lines.h"
#include "data/record_fields.h"
#include "data/session.h"
#include "demo/dossier_demo.h"
#include "reports/vat_dunning/core/dunning_run.h"
#include "runtime/bank_ids.h"
#include "runtime/dates.h"
#include "runtime/dossier_record.h"
#include "runtime/runtime_hooks.h"
#include "runtime/xbase.h"
#include "support/python.h"
#include "dunning_data.h"
#include "support/runtime_fixture.h"

namespace dunning_test {

namespace fs = std::filesystem;
using L = LigneEcriture;
using dunning::DunningRun;

inline std::string Artefact(const std::string& name) {
  const fs::path folder = fs::path(MERLON_BINARY_DIR) / "test-artefacts" / "vat_dunning";
  fs::create_directories(folder);
  return (folder / name).string();
}

inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// One run's accounts as the hooks left them after each ComputeLine of mode "1".
struct ListedAccount {
  std::string code;
  long long cents = 0;
  long long buckets[4] = {0, 0, 0, 0};
  std::vector<std::string> lines;  // date + sense + cents, sorted
  std::map<std::string, std::string> values;
};

class DunningCoreTest : public test_support::RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    SetRuntimeMessageHook([](const char* caption, const char* text, unsigned) {
      Messages().push_back(std::string(caption) + "|" + text);
      return 1;
    });
    SetRuntimeBeepHook([](unsigned) {});
    Messages().clear();
    tmp_ = Dir() + "/tmp";
    fs::create_directories(tmp_);
    const char* before = ::getenv("TMPDIR");
    hadTmp_ = before != nullptr;
    if (hadTmp_) oldTmp_ = before;
    ::setenv("TMPDIR", tmp_.c_str(), 1);
    ASSERT_EQ(StartDbSession(), 0);
    DemoOptions options;
    options.folder = Dir() + "/rl";
    options.code = "RL";
    options.lines = 2000;
    std::string message;
    ASSERT_TRUE(GenerateDemoDossier(options, &message)) << message;
    SetDossier(options.folder + "/", "RL");
    ASSERT_TRUE(TableC10->OpenShared(PathC10(), "C10CODE"));
    ASSERT_TRUE(ReadC10Texts());
    TheDossierRecord.SetConstant(43, "BQ0");
  }
  void TearDown() override {
    run_.reset();
    CloseAllTables();
    StopDbSession();
    SetDossier("", "");
    if (hadTmp_) ::setenv("TMPDIR", oldTmp_.c_str(), 1);
    else ::unsetenv("TMPDIR");
    RuntimeTest::TearDown();
  }

  static std::vector<std::string>& Messages() {
    static std::vector<std::string> m;
    return m;
  }
  static std::string AllMessages() {
    std::string all;
    for (const std::string& m : Messages()) all += m + "\n";
    return all;
  }
  bool NoTemporaryFile() const { return fs::is_empty(tmp_); }

  void Account(const std::string& code, const std::string& name, const std::string& iban, const std::string& bic,
               const std::string& town = "37000 Tours") {
    AddAccount(code, name, iban, bic, town);
  }
  void Line(const std::string& account, const std::string& date, const std::string& due, char sense, long long cents,
            const std::string& label = "Facture", char labelCode = ' ', const std::string& letterE = "",
            const std::string& letterF = "") {
    AddLine(account, date, due, sense, cents, label, labelCode, ++piece_, letterE, letterF);
  }
  static std::string Date(int month, int day) { return YearDate(month, day); }

  // A run of the options, the layout kind `listType` and list mode "1" (or `mode`).
  DunningRun& NewRun(const std::string& options, const std::string& listType, char mode = '1') {
    run_ = std::make_unique<DunningRun>(fields_, section_);
    run_->OptionsString = options;
    run_->AmountsInEuros = dunning::OptionAt(options, 53) == 'O' ? 1 : 0;
    run_->ListType = listType;
    run_->ListMode = mode;
    return *run_;
  }
  // The hooks as the interpreter calls them for a listing of mode "1": the accounts computed.
  std::vector<ListedAccount> Play(DunningRun& run, bool* prepared = nullptr) {
    std::vector<ListedAccount> accounts;
    const bool ok = run.PrepareReport();
    if (prepared != nullptr) *prepared = ok;
    if (!ok) return accounts;
    for (int guard = 0; guard < 100000; ++guard) {
      run.ComputeLine();
      ListedAccount a;
      a.code = RTrim(fields_.Value(DunningRun::COMPTE).c_str());
      a.cents = run.AccountCents();
      for (int b = 0; b < 4; ++b) a.buckets[b] = run.BucketCents()[b];
      for (long i = 0; i < run.AccountLineCount; ++i) {
        const std::string& e = run.AccountLines[static_cast<std::size_t>(i)];
        a.lines.push_back(e.substr(0, 6) + e.substr(38, 1) + std::to_string(StoredAmountCents(e.substr(39, 14))));
      }
      std::sort(a.lines.begin(), a.lines.end());
      for (int v = 0; v < fields_.FieldCount(); ++v) a.values[FieldNameOf(fields_.Definition(v))] = fields_.Value(v);
      accounts.push_back(a);
      if (!run.NextRecord()) break;
    }
    return accounts;
  }

  dunning::FormOptions Form(const std::string& first, const std::string& last, char sense,
                            const std::string& minimum = "10") {
    dunning::FormOptions f;
    f.firstAccount = first;
    f.lastAccount = last;
    f.firstDate = TheDossierRecord.DateDisplay(DossierRecord::DateField::YearStart);
    f.lastDate = TheDossierRecord.DateDisplay(DossierRecord::DateField::YearEnd);
    f.sense = sense;
    f.minimum = minimum;
    f.letterFilter = '1';
    f.statement = false;
    return f;
  }

  std::string tmp_, oldTmp_;
  bool hadTmp_ = false;
  int piece_ = 0;
  ReportFieldTable fields_;
  std::string section_;
  std::unique_ptr<DunningRun> run_;
};

}  // namespace dunning_test
