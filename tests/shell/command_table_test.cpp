// The command table against its handlers and menu 1101.
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "platform/gui/application.h"
#include "platform/gui/menu.h"
#include "resources/string_table.h"
#include "runtime/runtime_init.h"
#include "runtime/xbase.h"
#include "runtime/access_rights.h"
#include "runtime/session_registry.h"
#include "shell/command_table.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"

namespace {

class CommandTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gui::Application::EnsureQt();
    InitRuntime();
  }
};

TEST_F(CommandTableTest, EveryRowReachesItsHandlerAndItsMenuEntry) {
  auto menu = gui::Menu::Load(1101);
  ASSERT_NE(menu, nullptr);
  FillMenuTexts(*menu);
  const std::vector<unsigned> menuIds = menu->CommandIds();
  const std::set<unsigned> inMenu(menuIds.begin(), menuIds.end());
  OpenWindowRegistry.assign(kOpenWindowRegistryLength, ' ');
  PrintRunFlag = false;
  gui::Window anyWindow;
  for (const CommandEntry& e : CommandTable()) {
    // A subject's work given for the row's first id runs for every id of the row.
    std::vector<unsigned> ran;
    if (e.shell == nullptr) SetCommandWork(e.first, [&ran, &e] { ran.push_back(e.first); });
    for (unsigned id = e.first; id <= e.Last(); ++id) {
      EXPECT_EQ(IsShellOwned(id), e.shell != nullptr) << id;
      const auto* handler = CMDIClient::Table().FindHandler(id);
      ASSERT_NE(handler, nullptr) << id;
      if (e.shell == nullptr) (*handler)(anyWindow, id);
      // A command with a menu text is in the menu, under that text (the
      // recent dossiers are added when the list is read).
      const bool recent = id >= 20221 && id <= 20229;
      if (LoadStr(static_cast<int>(id) + 1000)[0] != '\0' && !recent) {
        EXPECT_TRUE(inMenu.count(id)) << id;
      }
    }
    if (e.shell == nullptr) {
      EXPECT_EQ(ran, std::vector<unsigned>(e.Last() - e.first + 1, e.first)) << e.handler;
      SetCommandWork(e.first, {});
    }
  }
  // Every command of the menu is in the client's table, except the ones the
  // active child handles.
  const std::set<unsigned> childCommands = {20035, 20041, 24321, 24322, 24323, 24324, 24325,
                                            20063, 20065, 20067, 20069, 20173};
  for (unsigned id : menuIds) {
    if (!childCommands.count(id)) {
      EXPECT_NE(FindCommand(id), nullptr) << id;
    }
  }
}

}  // namespace
