#include <climits>

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
  SetIni("SelectSaisies", "N");    // new key already set, old one absent: kept
  EXPECT_EQ(RenameOldIniKeys(), 2);
  EXPECT_EQ(Ini("PoliceSaisies"), "Arial,012");
  EXPECT_EQ(Ini("Police-Assist"), "Tahoma,009/700");
  EXPECT_EQ(Ini("Font_des_Edit"), "");
  EXPECT_EQ(Ini("SelectSaisies"), "N");
  EXPECT_EQ(RenameOldIniKeys(), 0) << "a second start finds nothing left to move";
}

TEST_F(StartupTest, FirstStartWritesTheOneTimeSettings) {
  SetIni("Un-Sauvegarde", "/media/cle");
  ApplyFirstRunSettings();
  EXPECT_EQ(Ini("Lancement-540"), "O");
  EXPECT_EQ(Ini("LanceM?BACKUP"), "9");
  EXPECT_EQ(Ini("SaisieEnRouge"), "N");
  EXPECT_EQ(Ini("Un2Sauvegarde"), "/media/cle");
  EXPECT_EQ(Ini("Un-Sauvegarde"), "");
  EXPECT_EQ(ProgramOption(16), 'N');
  // Later starts read the option and change nothing.
  SetIni("SaisieEnRouge", "O");
  SetIni("LanceM?BACKUP", "W");
  ApplyFirstRunSettings();
  EXPECT_EQ(ProgramOption(16), 'O');
  EXPECT_EQ(Ini("LanceM?BACKUP"), "W");
}

TEST_F(StartupTest, ProgramOptionsTakeTheirDefaultsAndKeys) {
  ProgramOptions.assign(22, ' ');
  FillProgramOptions(true);
  FillReportOptions();
  // Positions 3..22 with no INI (16 is set by the one-time settings).
  EXPECT_EQ(ProgramOptions.substr(2, 13), "O*000NOOONRO1");
  EXPECT_EQ(static_cast<unsigned char>(ProgramOption(19)), 80);

  SetIni("Fen\xEAtres-Maxi", "Non");
  SetIni("FichierEtatsV", "B");
  SetIni("Sur2emeImprim", "Oui");
  SetIni("Fmt_R\xE9\x65l_Visu", "3");
  SetIni("Debug_Etats", "O");
  SetIni("LargMPortrait", "0952");  // at most three characters: 95
  FillProgramOptions(false);
  EXPECT_TRUE(FillReportOptions());
  EXPECT_EQ(std::string({ProgramOption(3), ProgramOption(5), ProgramOption(8), ProgramOption(12), ProgramOption(15)}),
            "NBOO3");
  EXPECT_EQ(static_cast<unsigned char>(ProgramOption(19)), 95);
}

TEST_F(StartupTest, RecentDossiersStartWithTheSampleAndRoundTrip) {
  DossierSlots[0] = "ABC  /data/abc/";
  LoadRecentDossiers();
  std::string sample = SampleDossierEntry();
  EXPECT_EQ(sample, "DEMO " + ProgramFolder + "demo/");
  EXPECT_EQ(Ini("DossiersAuto1"), sample);
  EXPECT_EQ(RecentDossiers[0], sample);
  EXPECT_EQ(RecentDossiers[1], "");
  EXPECT_EQ(DossierSlots[0], "");

  RecentDossiers[0] = "XYZ  /srv/Compta/Xyz/";
  RecentDossiers[8] = "LAST /tmp/Last/";
  SaveRecentDossiers();
  RecentDossiers[0].clear();
  LoadRecentDossiers();
  EXPECT_EQ(RecentDossiers[0], "XYZ  /srv/Compta/Xyz/");  // folder case kept
  EXPECT_EQ(RecentDossiers[8], "LAST /tmp/Last/");
}

TEST_F(StartupTest, ReportSetsAreEnsuredForEveryUseWithOptionsRestored) {
  std::vector<std::string> calls;
  Services().ensureReportTableCE0 = [&] {
    calls.push_back(std::string("CE0:") + ProgramOption(5));
    return true;
  };
  Services().ensureReportTableCE1 = [&] {
    calls.push_back(std::string("CE1:") + ProgramOption(8));
    return calls.size() != 3;  // the first printer's set fails
  };
  ProgramOptions.assign(22, ' ');
  SetProgramOption(5, '4');
  SetProgramOption(8, 'O');
  const std::string before = ProgramOptions;
  EXPECT_FALSE(EnsureReportSets());
  EXPECT_EQ(calls, (std::vector<std::string>{"CE0:S", "CE0:4", "CE1:N", "CE1:O"}));
  EXPECT_EQ(ProgramOptions, before);
}

TEST_F(StartupTest, FirstCommandFollowsTheListFileThenTheArgument) {
  EXPECT_EQ(FirstStartupCommand(1), 0u);
  EXPECT_EQ(FirstStartupCommand(2), 20202u);
  Touch("cesetats.lst");  // found without case
  EXPECT_EQ(FirstStartupCommand(2), 20708u);
  EXPECT_EQ(FirstStartupCommand(1), 20708u);
}

TEST_F(StartupTest, FrameSettingsDefaultsAndUnusableRectangles) {
  FrameSettings fs = ReadFrameSettings(96);
  EXPECT_EQ(fs.placement.w, 1024);
  EXPECT_TRUE(fs.maximized);

  // What the frame writes, zero-filled to six characters, reads back the same.
  WriteFramePlacement({-8, 30, 900, 640}, false, 'O', 1000);
  EXPECT_EQ(Ini("FenetreMain-X"), "-00008");
  EXPECT_EQ(Ini("FenetreMain-W"), "000900");
  EXPECT_EQ(Ini("FenetreMain-Z") + Ini("FenetreMain-C") + Ini("FenetreMain-I"), "NonNon2");
  fs = ReadFrameSettings(96);
  EXPECT_EQ(std::vector<int>({fs.placement.x, fs.placement.y, fs.placement.w, fs.placement.h}),
            std::vector<int>({-8, 30, 900, 640}));
  EXPECT_EQ(std::tuple(fs.maximized, fs.reportChoice, fs.bitmapSizeOffset, fs.placementReset),
            std::tuple(false, false, 1000, false));

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
  // Only six characters are read; a frame wider than the screen is usable.
  SetIni("FenetreMain-X", "0");
  SetIni("FenetreMain-Y", "0");
  SetIni("FenetreMain-W", "8000000");
  SetIni("FenetreMain-H", "700");
  fs = ReadFrameSettings(96);
  EXPECT_EQ(fs.placement.w, 800000);
}

TEST_F(StartupTest, BitmapSizeFromTheKeyOrTheScreen) {
  const struct {
    char key;
    int dpi;
    int offset;
  } cases[] = {{'1', 144, 0}, {'4', 96, 3000}, {'0', 120, 1000}, {'x', 144, 2000}, {' ', 110, 3000}};
  for (const auto& c : cases) EXPECT_EQ(BitmapOffsetFor(c.key, c.dpi), c.offset) << c.key << c.dpi;
  SetIni("FenetreMain-I", "3");
  EXPECT_EQ(ReadFrameSettings(96).bitmapSizeOffset, 2000);
}

}  // namespace
