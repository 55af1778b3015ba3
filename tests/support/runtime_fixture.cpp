#include "support/runtime_fixture.h"

#include "runtime/access_rights.h"
#include "runtime/dates.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/runtime_hooks.h"
#include "runtime/runtime_init.h"
#include "runtime/session_registry.h"
#include "runtime/xbase.h"

namespace test_support {

void RuntimeTest::SetUp() {
  ASSERT_FALSE(folder_.path().empty());
  SetProgramFolder(folder_.path() + "/");
  ASSERT_TRUE(InitRuntime());
  SetDateWindowYear(2026);
  OpenWindowRegistry.assign(kOpenWindowRegistryLength, ' ');
  TheDossierRecord.Clear();
  for (std::string& slot : DossierSlots) slot.clear();
  PrintRunFlag = false;
  ClearRuntimeMessages();
}

void RuntimeTest::TearDown() {
  SetRuntimeBeepHook(nullptr);
  SetRuntimeMessageHook(nullptr);
  SetDateWindowYear(0);
  FreeRuntime();
}

}  // namespace test_support
