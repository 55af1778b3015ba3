// The code lists' core tests: a started runtime and engine session, a small generated demo dossier "MD" made
// the dossier of the program, its general file and chart open in the program-wide table objects, and the
// records read back with python3-dbfread.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/dossier_files.h"
#include "data/locks.h"
#include "data/session.h"
#include "data/table.h"
#include "demo/dossier_demo.h"
#include "masterdata/core/code_kinds.h"
#include "masterdata/core/code_records.h"
#include "masterdata/core/code_values.h"
#include "runtime/inifiles.h"
#include "runtime/runtime_hooks.h"
#include "support/python.h"
#include "support/runtime_fixture.h"

namespace md_test {

class CoreTest : public test_support::RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    SetRuntimeMessageHook([](const char*, const char* text, unsigned) {
      Messages().push_back(text);
      return 1;
    });
    SetRuntimeBeepHook([](unsigned) {});
    SetLockNoticeHook([](const char*, const char*) {});
    Messages().clear();
    ASSERT_EQ(StartDbSession(), 0);
    DemoOptions options;
    options.folder = Dir() + "/md";
    options.code = "MD";
    options.lines = 40;
    std::string message;
    ASSERT_TRUE(GenerateDemoDossier(options, &message)) << message;
    SetDossier(options.folder + "/", "MD");
    ASSERT_TRUE(TableC10->OpenShared(PathC10(), masterdata::kC10Tag));
    ASSERT_TRUE(TableC20->OpenShared(PathC20(), "C20CODE"));
  }
  void TearDown() override {
    CloseAllTables();
    StopDbSession();
    SetDossier("", "");
    SetLockNoticeHook(nullptr);
    RuntimeTest::TearDown();
  }

  static std::vector<std::string>& Messages() {
    static std::vector<std::string> messages;
    return messages;
  }

  // A record of kind + code with the texts of fields 3, 4 and 5, written as another program would.
  static void Put(char kind, const std::string& code, const std::string& name, const std::string& text1 = "",
                  const std::string& text2 = "", bool cancelled = false) {
    ASSERT_TRUE(TableC10->AppendBlank());
    TableC10->PutField(1, std::string(1, kind).c_str());
    TableC10->PutField(2, code.c_str());
    TableC10->PutField(3, name.c_str());
    TableC10->PutField(4, text1.c_str());
    TableC10->PutField(5, text2.c_str());
    ASSERT_TRUE(TableC10->InsertRecord());
    if (cancelled) {
      ASSERT_TRUE(TableC10->DeleteRecord(nullptr, 0));
      UnlockRecord(*TableC10);
    }
    ASSERT_TRUE(TableC10->Commit());
  }

  // The records of kind + code as python3-dbfread reads them: "deleted|code|name" one a line, in file order.
  static std::string ReadBack(char kind, const std::string& code) {
    return test_support::RunPythonScript(
        "from dbfread import DBF\n"
        "t = DBF('" + std::string(PathC10()) + ".dbf', encoding='cp1252', char_decode_errors='replace')\n"
        "for deleted in (False, True):\n"
        "    rows = t.deleted if deleted else t\n"
        "    for r in rows:\n"
        "        if r['GCLE'] == '" + std::string(1, kind) + "' and r['GCODE'].rstrip() == '" + code + "':\n"
        "            print('%d|%s|%s' % (deleted, r['GCODE'].rstrip(), r['GLIB'].rstrip()))\n",
        true);
  }
};

}  // namespace md_test
