// The toolbar's glyphs (the bitmaps are the drawings, a command without its own glyph is found on
// the installed bar) and the status line that follows the active child.
#include "platform/gui/bitmap.h"
#include "platform/gui/mdi.h"
#include "platform/gui/statusbar.h"
#include "resources/string_table.h"
#include "shell/child_status.h"
#include "shell/toolbar.h"
#include "shell_frame_fixture.h"

namespace {

constexpr int kMenuGoToCode = 21155;  // the menu text of "Aller au code", by its id in the string table

// Every designed glyph's four bitmaps are its drawing at their size, pixel for pixel: a glyph
// changed in the code and not in the resources (or the reverse) shows here.
TEST(ToolbarGlyphs, TheBitmapsAreTheDrawings) {
  gui::Application::EnsureQt();
  int designed = 0;
  for (int id : ToolbarGlyphIds()) {
    if (!ToolbarGlyphDrawn(id)) continue;
    ++designed;
    for (int offset : {0, 1000, 2000, 3000}) {
      const gui::Bitmap stored = gui::Bitmap::Load(std::to_string(id + offset));
      ASSERT_FALSE(stored.IsNull()) << id + offset;
      const int size = GlyphSize(offset);
      const gui::Bitmap drawn = DrawToolbarGlyph(id, size);
      ASSERT_EQ(std::pair(stored.Width(), stored.Height()), std::pair(size, size)) << id + offset;
      int differing = 0;
      for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) differing += (stored.PixelArgb(x, y) | 0xFF000000u) != drawn.PixelArgb(x, y);
      EXPECT_EQ(differing, 0) << id + offset;
    }
  }
  EXPECT_GE(designed, 50);
}

// The status text (before the line break) and the tooltip (after it) of the commands of the
// entry windows, the chart list and the balance sheet edition.
TEST(ToolbarHints, TheCommandsSayWhatTheyDo) {
  const struct {
    unsigned id;
    const char *status, *tooltip;
  } cases[] = {
      {20023, "Ferme cette fen\xEAtre, Ignore les modifications effectu\xE9" "es", "Quitter [F9]"},
      {20049, "Cherche un mot", " Chercher un mot [F2] "},
      {20051, "Renouvelle la recherche d'un mot", " Chercher encore... [F3] "},
      {20055, "Enregistre la modification (\xE9" "criture sur le disque)", " Enregistrer [F12] "},
      {20091, "Appelle la Ligne Suivante", " Aller \xE0 la Ligne Suivante "},
      {20063, "Copie le code de cette fiche dans le presse-papiers", "Copier ce code"},
      {20169, "Copie cette pi\xE8" "ce sur un autre journal", "Copie cette pi\xE8" "ce sur un autre Journal"},
      {20029, "Annule la fiche s\xE9lectionn\xE9" "e", " Annuler [Suppr] "},
      {20047, "Acc\xE8" "de au d\xE9tail de la fiche s\xE9lectionn\xE9" "e pour la modifier", " Modifier [F12] "},
      {20510, "Pour visualiser ou imprimer le Bilan", "Impression du Bilan"},
      {20017, "Edition du Bilan 'R\xE9" "el Normal'", "Edition du Bilan 'R\xE9" "el Normal'"},
      {20021, "Edition du Bilan 'Autre'", "Edition du Bilan 'Autre'"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CommandStatusText(c.id), c.status) << c.id;
    EXPECT_EQ(CommandTooltip(c.id), c.tooltip) << c.id;
  }
  EXPECT_EQ(std::string(LoadStr(kMenuGoToCode)), "Aller au code\t[F8]");
}

using ToolbarGlyphTest = ShellFrameTest;

TEST_F(ToolbarGlyphTest, TheInstalledBarNamesTheCommandsWithoutAGlyph) {
  const struct {
    std::vector<std::uint32_t> list;
    std::vector<unsigned> missing;
  } cases[] = {
      {{20023, 5, 20107, 20109, 20111, 20113, 20115, 20039, 20121, 20045}, {}},  // the preview's
      {{20023, 20095, 20055, 20097, 20035, 20041, 24433}, {}},                    // the reconciliation list's
      {{20023, 20073, 20175, 24431}, {20073, 24431}},                             // no symbol, no bitmap
  };
  for (const auto& c : cases) {
    BuildToolbar(c.list, true);
    EXPECT_EQ(InstalledCommandsWithoutGlyph(), c.missing) << c.list[1];
  }
  BuildToolbar(nullptr, false);
}

TEST_F(ToolbarGlyphTest, TheStatusLineFollowsTheActiveChild) {
  auto* list = new AskedChild(CommandWindow, "Rapprochement");
  list->Create();
  auto* other = new AskedChild(CommandWindow, "Autre");
  other->Create();
  auto activate = [this](AskedChild* w) {
    w->Activate();
    gui::ProcessPendingMessages();
    app_->RunIdle();
  };
  activate(list);
  ShowChildStatus(*list, "Solde point\xE9: 10,00");
  app_->RunIdle();
  // Another child that writes nothing: the list's line goes.
  activate(other);
  EXPECT_EQ(MessageBar->GetText(), "");
  // Back to the list: its line again.
  activate(list);
  EXPECT_EQ(MessageBar->GetText(), "Solde point\xE9: 10,00");
  // A child that writes its own line on activation keeps it.
  other->Activate();
  MessageBar->SetText("12 lignes");
  app_->RunIdle();
  EXPECT_EQ(MessageBar->GetText(), "12 lignes");
  // The list closed while active: its line does not stay behind it.
  activate(list);
  ASSERT_EQ(MessageBar->GetText(), "Solde point\xE9: 10,00");
  list->CloseWindow();
  gui::ProcessPendingMessages();
  activate(other);
  EXPECT_EQ(MessageBar->GetText(), "12 lignes");
}

TEST_F(ToolbarGlyphTest, TheCommandListFollowsTheActiveChild) {
  auto installed = [] { return std::vector<std::uint32_t>(ToolbarCommandList + 1, ToolbarCommandList + 1 + ToolbarCommandList[0]); };
  const std::vector<std::uint32_t> listBar = {20023, 20095, 20055}, formBar = {20023, 20053}, otherBar = {20023, 20047};
  auto* list = new AskedChild(CommandWindow, "Liste");
  list->Create();
  auto* form = new AskedChild(CommandWindow, "Fiche");
  form->Create();
  // Each installs its list as it becomes active.
  list->Activate();
  BuildToolbar(listBar, true);
  app_->RunIdle();
  form->Activate();
  BuildToolbar(formBar, true);
  app_->RunIdle();
  // Back to the list, which installs nothing itself: its own list again, then the form's.
  list->Activate();
  app_->RunIdle();
  EXPECT_EQ(installed(), listBar);
  form->Activate();
  app_->RunIdle();
  EXPECT_EQ(installed(), formBar);
  // A list emptied by the child left is given back too; one the new child installs stays.
  BuildToolbar(nullptr, true);
  list->Activate();
  app_->RunIdle();
  EXPECT_EQ(installed(), listBar);
  form->Activate();
  BuildToolbar(otherBar, true);
  app_->RunIdle();
  EXPECT_EQ(installed(), otherBar);
  BuildToolbar(nullptr, false);
}

}  // namespace
