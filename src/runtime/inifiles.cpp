#include "runtime/inifiles.h"


#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/system/files.h"
#include "platform/system/process.h"
#include "platform/system/profile.h"
#include "resources/string_table.h"
#include "runtime/xbase.h"

std::string ProgramFolder;

namespace {

// The texts shown here, by their ids in the string table.
constexpr int kProgramSection = 0;
constexpr int kIniFileName = 36;
constexpr int kDefaultWorkstation = 1105;

std::string g_dossierIni;
std::string g_iniPath;
DocumentErrorHook g_documentError = nullptr;

int XdgOpen(const std::string& path) {
  platform::LaunchResult r = platform::LaunchProcess({"xdg-open", path});
  return r.launched ? 0 : r.error;
}

DocumentOpener g_opener = XdgOpen;

// Blank rule: a blank value or key goes to the platform as none.
const char* OrNullWhenBlank(const char* text) { return IsBlank(text) ? nullptr : text; }

const char* ProgramSection() {
  static std::string section;
  section = LoadStr(kProgramSection);
  if (section.empty()) section = "Nuv-Merlon ZEL";
  return section.c_str();
}

std::string TextOfString(int id, const char* fallback) {
  std::string s = LoadStr(id);
  return s.empty() ? std::string(fallback) : s;
}

bool IsProgramFile(const std::string& path) {
  static const char* const kSuffixes[] = {".exe", ".com", ".bat", ".cmd", ".sh", ".msi"};
  std::string lower = Lower(path.c_str());
  for (const char* s : kSuffixes) {
    std::size_t n = std::strlen(s);
    if (lower.size() >= n && lower.compare(lower.size() - n, n, s) == 0) return true;
  }
  return platform::IsExecutable(path);
}

}  // namespace

std::string DefaultProgramFolder() {
  std::string folder = platform::EnvironmentPath("MERLON_HOME");
  if (folder.empty()) {
    std::string base = platform::HomeFolder();
    if (base.empty()) base = "/tmp";
    folder = base + "/.local/share/merlon";
  }
  if (folder.back() != '/') folder += '/';
  return folder;
}

void SetProgramFolder(const std::string& folder) {
  ProgramFolder = folder;
  if (ProgramFolder.empty() || ProgramFolder.back() != '/') ProgramFolder += '/';
}

std::string ProgramFilePath(const std::string& name) {
  if (ProgramFolder.empty()) SetProgramFolder(DefaultProgramFolder());
  return platform::ResolveName(ProgramFolder, name);
}

const char* IniPath() {
  g_iniPath = ProgramFilePath(TextOfString(kIniFileName, "merlon.ini"));
  return g_iniPath.c_str();
}

std::size_t IniGetString(const char* key, const char* def, char* buf, std::size_t size) {
  return platform::GetPrivateProfileString(ProgramSection(), key, def, buf, size, IniPath());
}

std::string IniGetString(const char* key, const char* def) {
  if (!key) return def ? def : "";
  return platform::GetPrivateProfileString(ProgramSection(), key, def, IniPath());
}

bool IniSetString(const char* key, const char* value) {
  return IniFileSetString(IniPath(), ProgramSection(), key, value);
}

bool IniSetSectionString(const char* section, const char* key, const char* value) {
  return IniFileSetString(IniPath(), section, key, value);
}

std::string IniGetSectionString(const char* section, const char* key, const char* def) {
  return IniFileGetString(IniPath(), section, key, def);
}

void SetDossierIniPath(const std::string& path) { g_dossierIni = path; }
const std::string& DossierIniPath() { return g_dossierIni; }

std::size_t DossierIniGet(const char* section, const char* key, const char* def, char* buf,
                          std::size_t size) {
  if (g_dossierIni.empty()) {
    return platform::GetPrivateProfileString(section, key, def, buf, size, "");
  }
  return platform::GetPrivateProfileString(section, key, def, buf, size,
                                           platform::ResolvePath(g_dossierIni).c_str());
}

std::string DossierIniGet(const char* section, const char* key, const char* def) {
  if (g_dossierIni.empty()) return IniFileGetString("", section, key, def);
  return IniFileGetString(g_dossierIni.c_str(), section, key, def);
}

bool DossierIniSet(const char* section, const char* key, const char* value) {
  if (g_dossierIni.empty()) return false;
  return IniFileSetString(g_dossierIni.c_str(), section, key, value);
}

bool IniFileSetString(const char* path, const char* section, const char* key, const char* value) {
  if (!path || !*path || IsBlank(section)) return false;
  std::string resolved = platform::ResolvePath(path);
  return platform::WritePrivateProfileString(section, OrNullWhenBlank(key), OrNullWhenBlank(value),
                                             resolved.c_str());
}

std::string IniFileGetString(const char* path, const char* section, const char* key, const char* def) {
  if (!path || !*path || !section || !key) {
    std::string d = def ? def : "";
    while (!d.empty() && d.back() == ' ') d.pop_back();
    return d;
  }
  std::string resolved = platform::ResolvePath(path);
  return platform::GetPrivateProfileString(section, key, def, resolved.c_str());
}

std::string PackedKey(int id, int k) {
  if (k < 1) return "";
  std::string key = SubStr(LoadStr(id), 13 * (k - 1) + 1, 13);
  while (!key.empty() && key.back() == ' ') key.pop_back();
  return key;
}

const char* WorkstationNumber() {
  // Read once, and again only when the INI is another file (written since, through a new file renamed
  // over it, or edited) or another name: every change of lines and every log line names the station.
  static std::string path, stamp, number;
  static bool read = false;
  const std::string now = IniPath();
  const std::string nowStamp = platform::FileStamp(now);
  if (!read || now != path || nowStamp != stamp) {
    number = IniGetString("NumeroPoste", TextOfString(kDefaultWorkstation, "0").c_str());
    if (number.size() > 10) number.resize(10);
    path = now;
    stamp = nowStamp;
    read = true;
  }
  std::memcpy(ScratchText, number.c_str(), number.size() + 1);
  return ScratchText;
}

bool ChangeDir(const char* folder) {
  std::string target = IsBlank(folder) ? ProgramFolder : std::string(folder);
  if (target.empty()) return false;
  if (target.size() > 1 && target.back() == '/') target.pop_back();
  return platform::ChangeDirectory(target);
}

void SetDocumentErrorHook(DocumentErrorHook hook) { g_documentError = hook; }
void SetDocumentOpener(DocumentOpener opener) { g_opener = opener ? opener : XdgOpen; }

bool OpenProgramDocument(int id) {
  std::string name = LoadStr(id);
  if (IsBlank(name)) return false;
  std::string path = ProgramFilePath(name);
  if (!platform::FileExists(path)) return false;
  // Packages and programs found in the folder are never started.
  if (IsProgramFile(path)) return true;
  int error = g_opener(path);
  if (error != 0 && g_documentError) g_documentError(path.c_str(), error);
  return true;
}

bool DeleteProgramFile(int id) {
  std::string name = LoadStr(id);
  // A blank name would name the folder itself.
  if (IsBlank(name) || name.find('/') != std::string::npos) return false;
  return platform::RemoveFile(ProgramFilePath(name));
}
