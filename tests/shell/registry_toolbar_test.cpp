// Open-window registry reset and record-text window switch; toolbar lists.
#include "platform/gui/mdi.h"
#include "platform/gui/statusbar.h"
#include "runtime/code_helpers.h"
#include "runtime/xbase.h"
#include "shell/enablers.h"
#include "shell/registry.h"
#include "shell/toolbar.h"
#include "shell_frame_fixture.h"

namespace {

using RegistryTest = ShellFrameTest;

// Registers a record-text window showing `key` at 3819/3820/3830.
AskedChild* RegisterTextWindow(const std::string& key, bool agree) {
  auto* w = new AskedChild(CommandWindow, "Texte", agree);
  w->Create();
  gui::ProcessPendingMessages();
  RegisterWindowSlot(3819, w->GetHandle());
  SetRegistryText(3830, 110, key);
  return w;
}

TEST_F(RegistryTest, ResetKeepsTheMainHandleAndTheSessionCodes) {
  EnsureOpenWindowRegistry();
  const std::string handle = RegistryText(1, 10);
  EXPECT_EQ(std::atol(handle.c_str()), static_cast<long>(MainWindowHandle));
  SetRegistryText(11, 1, "2");
  SetDossierState('2');
  SetRegistryText(554, 12, "1      12345");
  SetRegistryText(3819, 20, "1         1QABC");
  SetRegistryText(3940, 29, "3   411000  CLIENT  SECT01   ");
  MessageBar->SetText("Compte 411000");
  ClearOpenWindowRegistry();
  EXPECT_EQ(std::vector<std::string>({RegistryText(1, 10), RegistryText(11, 3929), RegistryText(3940, 29)}),
            std::vector<std::string>({handle, std::string(3929, ' '), "3   411000  CLIENT  SECT01   "}));
  EXPECT_EQ(GetDossierState(), ' ');
  EXPECT_EQ(MessageBar->GetText(), "");
  // DossierState is the registry's character 11: a window that writes the
  // registry text and the shell's enablers see one value.
  SetRegistryText(11, 1, "1");
  EXPECT_EQ(GetDossierState(), '1');
  EXPECT_FALSE(ShellIdle());
  SetDossierState('2');
  EXPECT_EQ(OpenWindowRegistry[10], '2');
}

TEST_F(RegistryTest, SwitchingTheTextWindow) {
  // Nothing registered.
  EXPECT_EQ(SwitchRegisteredWindow("1QABC", 5), 2);
  for (bool agree : {true, false}) {
    AskedChild* w = RegisterTextWindow("1QABC", agree);
    gui::Handle h = w->GetHandle();
    AskedChild* other = new AskedChild(CommandWindow, "Texte");
    other->Create();
    other->Activate();
    gui::ProcessPendingMessages();
    // Same record: brought forward, not closed.
    EXPECT_EQ(SwitchRegisteredWindow("1QABC", 5), 0);
    EXPECT_EQ(CommandWindow->GetActiveMDIChild(), w);
    EXPECT_EQ(w->asked_, 0);
    other->Activate();
    // Another record: a window that agrees closes; one that refuses is asked
    // once, stays in front and registered, and the form is told "same record".
    EXPECT_EQ(SwitchRegisteredWindow("1QXYZ", 5), agree ? 1 : 0) << agree;
    gui::ProcessPendingMessages();
    EXPECT_EQ(gui::IsWindow(h), !agree);
    if (agree) continue;
    EXPECT_EQ(w->asked_, 1);
    EXPECT_EQ(CommandWindow->GetActiveMDIChild(), w);
    EXPECT_EQ(std::pair(RegistryChar(3819), RegistryText(3830, 5)), std::pair('1', std::string("1QABC")));
  }
}

TEST_F(RegistryTest, InstallingLists) {
  const int permanent = MainControlBar->GadgetCount();
  ASSERT_EQ(permanent, 10);
  BuildToolbar(std::vector<std::uint32_t>{20023, 20055, 5, 20049, 20188}, true);
  ASSERT_EQ(MainControlBar->GadgetCount(), 15);
  EXPECT_EQ(MainControlBar->GadgetAt(12)->GetId(), 0u);  // separator

  // The same list again: the very same gadgets.
  gui::Gadget* before = MainControlBar->GadgetAt(11);
  BuildToolbar(std::vector<std::uint32_t>{20023, 20055, 5, 20049, 20188}, true);
  EXPECT_EQ(MainControlBar->GadgetAt(11), before);
  // Only the last id differs: every button is built again.
  BuildToolbar(std::vector<std::uint32_t>{20023, 20055, 5, 20049, 20051}, true);
  EXPECT_EQ(MainControlBar->GadgetCount(), 15);
  EXPECT_EQ(MainControlBar->GadgetAt(14)->GetId(), 20051u);
  // A list longer than 19 entries is cut at 19.
  std::vector<std::uint32_t> many(25, 20023);
  BuildToolbar(many, false);
  EXPECT_EQ(MainControlBar->GadgetCount(), permanent + 19);
  EXPECT_EQ(ToolbarCommandList[0], 19u);
  BuildToolbar(nullptr, false);
}

}  // namespace
