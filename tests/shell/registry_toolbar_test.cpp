// Open-window registry reset and record-text window switch; toolbar lists
// and child placement.
#include "platform/gui/bitmap.h"
#include "platform/gui/mdi.h"
#include "platform/gui/statusbar.h"
#include "runtime/code_helpers.h"
#include "shell/enablers.h"
#include "shell/placement.h"
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
  EXPECT_EQ(RegistryText(1, 10), handle);
  EXPECT_EQ(RegistryText(11, 3929), std::string(3929, ' '));
  EXPECT_EQ(RegistryText(3940, 29), "3   411000  CLIENT  SECT01   ");
  EXPECT_EQ(OpenWindowRegistry.size(), static_cast<std::size_t>(kOpenWindowRegistryLength));
  EXPECT_EQ(GetDossierState(), ' ');
  EXPECT_TRUE(ShellIdle());
  EXPECT_EQ(MessageBar->GetText(), "");
  // DossierState is the registry's character 11: a window that writes the
  // registry text and the shell's enablers see one value.
  SetRegistryText(11, 1, "1");
  EXPECT_EQ(GetDossierState(), '1');
  EXPECT_FALSE(ShellIdle());
  SetDossierState('2');
  EXPECT_EQ(OpenWindowRegistry[10], '2');
  EXPECT_EQ(RegistryText(1, 10), handle);
  EXPECT_EQ(RegistryChar(12), ' ');
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
    EXPECT_EQ(RegistryChar(3819), '1');
    EXPECT_EQ(RegistryText(3830, 5), "1QABC");
  }
}

TEST_F(RegistryTest, ClosingTheTextWindowComparesTheRegisteredName) {
  struct Case {
    const char* registered;
    const char* key;
    bool closes;
  };
  const Case cases[] = {
      {"1QABC", "1QABC   ", true}, {"1QABC", "", true}, {"1QABC", "1QAB", false}, {"1QABC", "1qabc", false},
  };
  for (const Case& c : cases) {
    AskedChild* w = RegisterTextWindow(c.registered, true);
    gui::Handle h = w->GetHandle();
    // The kept area after the name holds other texts.
    SetRegistryText(3940, 29, "7   411000  CLIENT  SECT01  ");
    CloseRegisteredWindow(c.key);
    gui::ProcessPendingMessages();
    EXPECT_EQ(!gui::IsWindow(h), c.closes) << "'" << c.registered << "' / '" << c.key << "'";
    if (gui::IsWindow(h)) w->CloseWindow();
    gui::ProcessPendingMessages();
    SetRegistryText(3819, 121, "");
  }
}

using ToolbarTest = ShellFrameTest;

TEST_F(ToolbarTest, InstallingLists) {
  const int permanent = MainControlBar->GadgetCount();
  ASSERT_EQ(permanent, 10);
  BuildToolbar(std::vector<std::uint32_t>{20023, 20055, 5, 20049, 20188}, true);
  ASSERT_EQ(MainControlBar->GadgetCount(), 15);
  EXPECT_EQ(MainControlBar->GadgetAt(10)->GetId(), 20023u);
  EXPECT_EQ(MainControlBar->GadgetAt(12)->GetId(), 0u);  // separator
  auto* even = dynamic_cast<gui::ButtonGadget*>(MainControlBar->GadgetAt(14));
  ASSERT_NE(even, nullptr);
  EXPECT_EQ(even->GetType(), gui::ButtonGadget::Type::NonExclusive);
  auto* odd = dynamic_cast<gui::ButtonGadget*>(MainControlBar->GadgetAt(10));
  EXPECT_EQ(odd->GetBitmapId(), 20023 + BitmapSizeOffset);
  EXPECT_EQ(odd->GetTooltip(), "Quitter");

  // The same list again: the very same gadgets.
  gui::Gadget* before = MainControlBar->GadgetAt(11);
  BuildToolbar(std::vector<std::uint32_t>{20023, 20055, 5, 20049, 20188}, true);
  EXPECT_EQ(MainControlBar->GadgetAt(11), before);
  // Only the last id differs: every button is built again.
  BuildToolbar(std::vector<std::uint32_t>{20023, 20055, 5, 20049, 20051}, true);
  EXPECT_EQ(MainControlBar->GadgetCount(), 15);
  EXPECT_EQ(MainControlBar->GadgetAt(14)->GetId(), 20051u);
  EXPECT_EQ(ToolbarCommandList[0], 5u);
  EXPECT_EQ(ToolbarCommandList[5], 20051u);
  // The empty list keeps the ten permanent buttons.
  BuildToolbar(nullptr, true);
  EXPECT_EQ(MainControlBar->GadgetCount(), permanent);
  EXPECT_EQ(MainControlBar->GadgetAt(9)->GetId(), 20041u);
  // A list longer than 19 entries is cut at 19.
  std::vector<std::uint32_t> many(25, 20023);
  BuildToolbar(many, false);
  EXPECT_EQ(MainControlBar->GadgetCount(), permanent + 19);
  EXPECT_EQ(ToolbarCommandList[0], 19u);
  BuildToolbar(nullptr, false);
}

TEST(GlyphTest, EveryGlyphExistsInFourSizes) {
  gui::Application::EnsureQt();
  if (const char* out = std::getenv("MERLON_WRITE_GLYPHS")) {
    for (int id : ToolbarGlyphIds())
      for (int offset : {0, 1000, 2000, 3000})
        DrawToolbarGlyph(id, GlyphSize(offset)).SavePng(std::string(out) + "/" + std::to_string(id + offset) + ".png");
  }
  for (int id : ToolbarGlyphIds()) {
    for (int offset : {0, 1000, 2000, 3000}) {
      const int size = GlyphSize(offset);
      const std::string name = std::to_string(id + offset);
      gui::Bitmap b = gui::Bitmap::Load(name);
      ASSERT_FALSE(b.IsNull()) << name;
      EXPECT_EQ(b.Width(), size) << name;
      EXPECT_EQ(b.Height(), size) << name;
    }
  }
  // Drawn glyphs are not blank: the tile and a white symbol.
  gui::Bitmap open = DrawToolbarGlyph(20003, 32);
  EXPECT_NE(open.PixelArgb(16, 2), open.PixelArgb(16, 20));
}

TEST(PlacementTest, LayoutModes) {
  struct Case {
    int mode, n, d, top;
    gui::Rect want;
  };
  const int wc = 800, hc = 600, u = 7;
  const Case cases[] = {
      {0, 3, 2, 0, {21, 300, 779, 300}},    // lower half from three characters in
      {0, 3, -3, 0, {21, 200, 779, 400}},   // bottom two thirds
      {0, 0, 1, 0, {0, 0, 800, 600}},
      {0, 2, 3, 100, {14, 100, 786, 200}},  // pending top used
      {0, 2, 2, 400, {14, 300, 786, 300}},  // pending top would overflow
      {1, 1, 2, 50, {7, 50, 793, 300}},
      {4, 0, 0, 0, {400, 300, 400, 300}},   {6, 0, 0, 0, {200, 150, 400, 300}},
      {8, 0, 0, 0, {400, 0, 400, 600}},     {10, 0, 0, 0, {0, 300, 800, 300}},
  };
  for (const Case& c : cases) {
    gui::Rect r;
    ASSERT_TRUE(ComputeChildPlacement(c.mode, c.n, c.d, u, wc, hc, c.top, r)) << c.mode;
    EXPECT_EQ(std::vector<int>({r.x, r.y, r.w, r.h}), std::vector<int>({c.want.x, c.want.y, c.want.w, c.want.h}))
        << "mode " << c.mode << " n " << c.n << " d " << c.d << " top " << c.top;
  }
  gui::Rect r;
  EXPECT_FALSE(ComputeChildPlacement(11, 0, 0, u, wc, hc, 0, r));
}

using PlaceTest = ShellFrameTest;

TEST_F(PlaceTest, PlacementWaitsForTheOptionAndResetsTheMode) {
  gui::MDIChild child(CommandWindow, "Liste");
  SetProgramOption(3, 'N');
  ChildLayoutMode = 9;
  ChildLayoutTop = 40;
  PlaceChildWindow(child, 0, 0);
  EXPECT_EQ(ChildLayoutMode, 9);
  EXPECT_EQ(ChildLayoutTop, 40);
  SetProgramOption(3, 'O');
  PlaceChildWindow(child, 0, 0);
  EXPECT_EQ(ChildLayoutMode, 0);
  EXPECT_EQ(ChildLayoutTop, 40);  // kept: mode 9 does not use it
  PlaceChildWindow(child, 2, 2);
  EXPECT_EQ(ChildLayoutTop, 0);
  ChildLayoutMode = 12;
  PlaceChildWindow(child, 0, 0);
  EXPECT_EQ(ChildLayoutMode, 0);
}

}  // namespace
