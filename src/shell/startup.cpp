#include "shell/startup.h"

#include <cstdlib>

#include "platform/system/files.h"
#include "resources/command_ids.h"
#include "resources/string_table.h"
#include "runtime/inifiles.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "shell/cursors.h"
#include "shell/mdi_client.h"

namespace {

constexpr int kProgramKeys = 1;  // the program INI's keys packed by 13: "CaractèreAide", "DossiersAuto?" ...
constexpr int kFirstOldKeyString = 9601;
constexpr int kSampleDossierString = 233;

std::string ReadKey(const char* key, const char* def, std::size_t size) {
  std::string v = IniGetString(key, def);
  if (v.size() > size) v.resize(size);
  return v;
}

char FirstChar(const char* key, const char* def) {
  std::string v = ReadKey(key, def, 64);
  return v.empty() ? ' ' : v[0];
}

std::string RecentKey(int n) {
  std::string key = PackedKey(kProgramKeys, 2);  // "DossiersAuto?"
  std::string::size_type q = key.find('?');
  if (q != std::string::npos) key[q] = static_cast<char>('0' + n);
  return key;
}

}  // namespace

int RenameOldIniKeys() {
  int moved = 0;
  for (int id = kFirstOldKeyString;; ++id) {
    const char* pair = LoadStr(id);
    if (IsBlank(pair)) break;
    AnimateCursor();
    std::string oldKey = RTrim(SubStr(pair, 1, 13));
    std::string newKey = RTrim(SubStr(pair, 14, 13));
    if (IsBlank(oldKey) || IsBlank(newKey)) continue;
    std::string value = ReadKey(oldKey.c_str(), "", 64);
    if (IsBlank(value)) continue;
    IniSetString(oldKey.c_str(), "");
    IniSetString(newKey.c_str(), value.c_str());
    ++moved;
  }
  return moved;
}

void FillProgramOptions(bool reportChoiceFlag) {
  SetProgramOption(3, FirstChar("Fen\xEAtres-Maxi", "O"));
  SetProgramOption(4, FirstChar("Caract\xE8reAide", "*"));
  SetProgramOption(5, FirstChar("FichierEtatsV", "0"));
  SetProgramOption(6, FirstChar("FichierEtatsA", "0"));
  SetProgramOption(7, FirstChar("FichierEtatsB", "0"));
  SetProgramOption(8, FirstChar("Sur2emeImprim", "N"));
  SetProgramOption(9, FirstChar("DateHeureImpr", "O"));
  SetProgramOption(10, FirstChar("BArgument", "O"));
  SetProgramOption(11, FirstChar("Cadres-Gris\xE9s", "O"));
  SetProgramOption(12, reportChoiceFlag ? 'N' : 'O');
  SetProgramOption(13, 'R');
  SetProgramOption(14, FirstChar("SelectSaisies", "O"));
  SetProgramOption(15, FirstChar("Fmt_R\xE9\x65l_Visu", "1"));
}

void ApplyFirstRunSettings() {
  const std::string launchKey = PackedKey(kProgramKeys, 4);  // "Lancement-540"
  if (FirstChar(launchKey.c_str(), "N") == 'N') {
    IniSetString("SaisieEnRouge", "N");
    SetProgramOption(16, 'N');
    IniSetString("LanceM?BACKUP", "9");  // LHA archives: the method that works here
    std::string units = ReadKey("Un-Sauvegarde", "", 200);
    if (!IsBlank(units)) {
      IniSetString("Un2Sauvegarde", units.c_str());
      IniSetString("Un-Sauvegarde", "");
    }
    IniSetString(launchKey.c_str(), "O");
  } else {
    SetProgramOption(16, FirstChar("SaisieEnRouge", "O"));
  }
}

bool FillReportOptions() {
  SetProgramOption(17, 'N');
  char debug = FirstChar("Debug_Etats", "N");
  SetProgramOption(18, debug);
  // One byte each: the margin widths (values above 255 cannot be kept and
  // wrap as the byte does).
  SetProgramOption(19, static_cast<char>(std::atoi(ReadKey("LargMPortrait", "80", 3).c_str())));
  SetProgramOption(20, static_cast<char>(std::atoi(ReadKey("LargMPaysage_", "113", 3).c_str())));
  SetProgramOption(21, 'C');
  SetProgramOption(22, 'C');
  return debug == 'O';
}

std::string SampleDossierEntry() {
  std::string text = LoadStr(kSampleDossierString);  // code in 5, then a folder
  std::string code = text.substr(0, std::min<std::size_t>(5, text.size()));
  code.resize(5, ' ');
  std::string folder = text.size() > 5 ? text.substr(5) : std::string("demo/");
  if (folder.empty() || folder[0] != '/') folder = ProgramFolder + folder;
  if (folder.back() != '/') folder += '/';
  return code + folder;
}

void LoadRecentDossiers() {
  // The sample dossier is offered only where it is: a new program folder has none, and a recent dossier that
  // does not exist would be listed in the Fichier menu from the next opening of another dossier on.
  const std::string sample = SampleDossierEntry();
  const std::string sampleGeneralFile = sample.substr(5) + "c10" + LowerAscii(Trimmed(sample.substr(0, 5))) + ".dbf";
  if (IsBlank(ReadKey(RecentKey(1).c_str(), "", 199)) && platform::FileExists(sampleGeneralFile))
    IniSetString(RecentKey(1).c_str(), sample.c_str());
  for (int n = 1; n <= kRecentDossierCount; ++n) RecentDossiers[n - 1] = ReadKey(RecentKey(n).c_str(), "", 199);
  if (Services().rebuildRecentDossiersMenu) Services().rebuildRecentDossiersMenu();
  DossierSlots[0].clear();
}

void SaveRecentDossiers() {
  for (int n = 1; n <= kRecentDossierCount; ++n) IniSetString(RecentKey(n).c_str(), RecentDossiers[n - 1].c_str());
}

bool EnsureReportSets() {
  ShellServices& s = Services();
  const std::string saved = ProgramOptions;
  bool ok = true;
  auto ce0 = [&] { if (s.ensureReportTableCE0 && !s.ensureReportTableCE0()) ok = false; };
  auto ce1 = [&] { if (s.ensureReportTableCE1 && !s.ensureReportTableCE1()) ok = false; };
  SetProgramOption(5, 'S');
  ce0();
  SetProgramOption(5, saved[4]);
  ce0();
  SetProgramOption(8, 'N');
  ce1();
  SetProgramOption(8, 'O');
  ce1();
  ProgramOptions = saved;
  return ok;
}

unsigned FirstStartupCommand(int argc) {
  std::string list = platform::ResolveName(ProgramFolder, "CESETATS.LST");
  if (platform::FileExists(list)) return command_id::EtatsParametrablesImpression;
  if (argc > 1) return command_id::FichierOuvrirDossier;
  return 0;
}

bool EnsureFileHandles(int wanted) {
  return platform::EnsureOpenFileLimit(wanted);
}

void WriteFramePlacement(const gui::FramePlacement& restored, bool maximized, char reportChoiceOption,
                         int bitmapSizeOffset) {
  const std::string prefix = RTrim(PackedKey(kProgramKeys, 5).c_str());  // "FenetreMain-?"
  auto key = [&](char letter) {
    std::string k = prefix;
    std::string::size_type q = k.find('?');
    if (q != std::string::npos) k[q] = letter;
    return k;
  };
  IniSetString(key('X').c_str(), StrZero(restored.x, 6));
  IniSetString(key('Y').c_str(), StrZero(restored.y, 6));
  IniSetString(key('W').c_str(), StrZero(restored.w, 6));
  IniSetString(key('H').c_str(), StrZero(restored.h, 6));
  IniSetString(key('Z').c_str(), maximized ? "Oui" : "Non");
  IniSetString(key('C').c_str(), reportChoiceOption == 'O' ? "Non" : "Oui");
  char size[2] = {static_cast<char>('1' + bitmapSizeOffset / 1000), 0};
  if (size[0] < '1' || size[0] > '4') size[0] = '1';
  IniSetString(key('I').c_str(), size);
}
