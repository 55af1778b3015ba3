#include <climits>
#include <filesystem>
#include <fstream>
#include <tuple>

#include "runtime/session_registry.h"
#include "shell/application.h"
#include "shell/startup.h"
#include "shell_test_support.h"

namespace {

using StartupTest = ShellTest;

TEST_F(StartupTest, OldKeysMoveToTheirNewNamesOnce) {
  SetIni("Font_des_Edit", "Arial,012");
  SetIni("FontAssistant", "Tahoma,009/700");
  SetIni("QualBrouillon", "   ");  // blank: nothing to move
  EXPECT_EQ(RenameOldIniKeys(), 2);
  EXPECT_EQ(Ini("PoliceSaisies"), "Arial,012");
  EXPECT_EQ(Ini("Font_des_Edit"), "");
  EXPECT_EQ(RenameOldIniKeys(), 0) << "a second start finds nothing left to move";
}

TEST_F(StartupTest, FirstStartWritesTheOneTimeSettings) {
  SetIni("Un-Sauvegarde", "/media/cle");
  ApplyFirstRunSettings();
  EXPECT_EQ(std::vector<std::string>({Ini("Lancement-540"), Ini("LanceM?BACKUP"), Ini("SaisieEnRouge"),
                                       Ini("Un2Sauvegarde"), Ini("Un-Sauvegarde")}),
            std::vector<std::string>({"O", "9", "N", "/media/cle", ""}));
  EXPECT_EQ(ProgramOption(16), 'N');
  // Later starts change nothing.
  SetIni("LanceM?BACKUP", "W");
  ApplyFirstRunSettings();
  EXPECT_EQ(Ini("LanceM?BACKUP"), "W");
}

TEST_F(StartupTest, RecentDossiersStartWithTheSampleWhereItIsAndRoundTrip) {
  DossierSlots[0] = "ABC  /data/abc/";
  std::string sample = SampleDossierEntry();
  EXPECT_EQ(sample, "DEMO " + ProgramFolder + "demo/");
  // A new program folder without the sample dossier lists no dossier that is not there.
  LoadRecentDossiers();
  EXPECT_EQ(std::pair(Ini("DossiersAuto1"), RecentDossiers[0]), std::pair(std::string(), std::string()));
  // With the sample dossier in its folder, it is the first of the recent dossiers.
  std::filesystem::create_directories(ProgramFolder + "demo");
  std::ofstream(ProgramFolder + "demo/c10demo.dbf") << "x";
  LoadRecentDossiers();
  EXPECT_EQ(std::pair(Ini("DossiersAuto1"), RecentDossiers[0]), std::pair(sample, sample));

  RecentDossiers[0] = "XYZ  /srv/Compta/Xyz/";
  RecentDossiers[8] = "LAST /tmp/Last/";
  SaveRecentDossiers();
  RecentDossiers[0].clear();
  LoadRecentDossiers();
  EXPECT_EQ(RecentDossiers[0], "XYZ  /srv/Compta/Xyz/");  // folder case kept
  EXPECT_EQ(RecentDossiers[8], "LAST /tmp/Last/");
}

TEST_F(StartupTest, FrameSettingsDefaultsAndUnusableRectangles) {
  FrameSettings fs = ReadFrameSettings(96);
  EXPECT_EQ(fs.placement.w, 1024);
  EXPECT_TRUE(fs.maximized);

  // What the frame writes reads back the same.
  WriteFramePlacement({-8, 30, 900, 640}, false, 'O', 1000);
  fs = ReadFrameSettings(96);
  EXPECT_EQ(std::vector<int>({fs.placement.x, fs.placement.y, fs.placement.w, fs.placement.h}),
            std::vector<int>({-8, 30, 900, 640}));
  EXPECT_FALSE(fs.placementReset);

  // Off every screen, or too small: the defaults.
  for (auto [x, y, w, h] : {std::tuple{"30000", "30000", "800", "600"}, std::tuple{"0", "0", "40", "30"}}) {
    SetIni("FenetreMain-X", x);
    SetIni("FenetreMain-Y", y);
    SetIni("FenetreMain-W", w);
    SetIni("FenetreMain-H", h);
    fs = ReadFrameSettings(96);
    EXPECT_TRUE(fs.placementReset) << x << " " << w;
    EXPECT_EQ(fs.placement.x, 0);
    EXPECT_EQ(fs.placement.w, 1024);
  }
}

}  // namespace
