#include "reports/engine/core/report_environment.h"

#include <cstdio>

#include "data/dossier_files.h"
#include "data/session.h"
#include "platform/system/clock.h"
#include "platform/system/files.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/runtime_hooks.h"

namespace reports {

bool DossierReportEnvironment::FindTemplate(const std::string& code, std::string& text) {
  return templates_.FindTemplate(code, text);
}

void DossierReportEnvironment::Beep() { RuntimeBeep(0); }

void DossierReportEnvironment::Warn(const std::string& caption, const std::string& text) {
  RuntimeMessage(caption.c_str(), text.c_str(), kMbIconExclamation);
}

Table* DossierReportEnvironment::DossierTable(DossierTableId id) {
  switch (id) {
    case DossierTableId::kC10: return TableC10;
    case DossierTableId::kC20: return TableC20;
    case DossierTableId::kC30: return TableC30;
    case DossierTableId::kC40: return TableC40;
    case DossierTableId::kC50: return TableC50;
    case DossierTableId::kC60: return TableC60;
    case DossierTableId::kC70: return TableC70;
    case DossierTableId::kCXX: return TableCXX;
    case DossierTableId::kCE: return TableCE0;
    default: return nullptr;
  }
}

const DossierRecord& DossierReportEnvironment::Dossier() { return TheDossierRecord; }

std::string DossierReportEnvironment::DossierCode() { return ::DossierCode; }

std::string DossierReportEnvironment::DataFolder() { return ::DossierFolder; }

std::string DossierReportEnvironment::ProgramFolder() { return ::ProgramFolder; }

std::string DossierReportEnvironment::ProgramIni(const std::string& key) { return IniGetString(key.c_str(), ""); }

std::string DossierReportEnvironment::DossierIni(const std::string& section, const std::string& key,
                                                 const std::string& def) {
  return DossierIniGet(section.c_str(), key.c_str(), def.c_str());
}

bool DossierReportEnvironment::ReadTextFile(const std::string& path, std::string& content) {
  return platform::ReadWholeFile(platform::ResolvePath(path), content);
}

bool DossierReportEnvironment::FileExists(const std::string& path) {
  return platform::FileExists(platform::ResolvePath(path));
}

std::string DossierReportEnvironment::LocalTime() {
  const platform::LocalTime t = platform::GetLocalTime();
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02dh%02d", t.hour, t.minute);
  return buffer;
}

std::string DossierReportEnvironment::ExportFileName(const std::string& extension, const std::string& root) {
  return ::ExportFileName(extension.c_str(), root.c_str());
}

}  // namespace reports
