#include "report_set.h"

#include <set>

#include "platform/system/cp1252.h"
#include "platform/system/files.h"
#include "reports/engine/core/report_text.h"
#include "reports/engine/core/template_loader.h"
#include "runtime/text.h"
#include "template_check.h"

namespace reports {

namespace {

constexpr const char* kCatalogName = "catalog.txt";

std::string InFolder(const std::string& folder, const std::string& name) {
  return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

// A UTF-8 file as cp1252; false with a message.
bool ReadCp1252(const std::string& path, std::string& text, std::string& error) {
  std::string raw;
  if (!platform::ReadWholeFile(path, raw)) {
    error = "Fichier illisible: " + path;
    return false;
  }
  if (!platform::Utf8ToCp1252(raw, text, platform::Unassigned::kRefuse)) {
    error = "Fichier qui n'est pas du texte UTF-8 de caract\xE8res Windows-1252: " + path;
    return false;
  }
  return true;
}

}  // namespace

std::string LayoutFileName(const std::string& code) { return "C-Etat-" + code + ".txt"; }

bool ReadCatalog(const std::string& folder, std::vector<CatalogEntry>& entries, std::string& error) {
  entries.clear();
  std::string text;
  if (!ReadCp1252(InFolder(folder, kCatalogName), text, error)) return false;
  std::size_t start = 0;
  int number = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (Trimmed(line).empty() || line[0] == '#') continue;
    const std::size_t tab = line.find('\t');
    if (tab == std::string::npos || tab == 0 || Trimmed(line.substr(tab + 1)).empty()) {
      error = std::string(kCatalogName) + ":" + std::to_string(number) + ": ni code, tabulation et nom: " + line;
      return false;
    }
    entries.push_back({line.substr(0, tab), line.substr(tab + 1), number});
  }
  return true;
}

bool ReadLayout(const std::string& folder, const std::string& code, std::string& templateText, std::string& error) {
  return ReadCp1252(InFolder(folder, LayoutFileName(code)), templateText, error);
}

bool ReadFamilies(const std::string& folder, std::vector<ReportFixture>& families, std::string& error) {
  families.clear();
  for (const std::string& name : platform::ListFiles(folder, "*.txt")) {
    std::string text, message;
    if (!ReadCp1252(InFolder(folder, name), text, error)) return false;
    ReportFixture f;
    if (!ParseReportFixture(text, f, message)) {
      error = name + ": " + message;
      return false;
    }
    families.push_back(std::move(f));
  }
  if (families.empty()) {
    error = "Aucune famille d'\xE9tats dans " + folder;
    return false;
  }
  return true;
}

bool FolderTemplateSource::FindTemplate(const std::string& code, std::string& text) {
  std::string error;
  const std::string key = ReportCodeKey(code);
  return !key.empty() && ReadLayout(folder_, key, text, error);
}

const ReportFixture* FamilyOfCode(const std::vector<ReportFixture>& families, const std::string& code) {
  const ReportFixture* best = nullptr;
  std::size_t length = 0;
  const std::string upper = UpperCp1252(code);
  for (const ReportFixture& f : families) {
    for (const std::string& p : f.prefixes) {
      if (StartsWith(upper, p) && p.size() > length) {
        best = &f;
        length = p.size();
      }
    }
  }
  return best;
}

std::vector<std::string> CheckReportSet(const std::string& folder, const std::vector<ReportFixture>& families) {
  std::vector<std::string> problems;
  std::vector<CatalogEntry> entries;
  std::string error;
  if (!ReadCatalog(folder, entries, error)) return {error};
  std::set<std::string> codes;
  for (const CatalogEntry& e : entries) {
    const std::string where = std::string(kCatalogName) + ":" + std::to_string(e.line) + ": ";
    if (e.code.size() > kLayoutCodeWidth) problems.push_back(where + "code de plus de 10 caract\xE8res: " + e.code);
    if (e.code != UpperCp1252(Trimmed(e.code))) problems.push_back(where + "code qui n'est pas en capitales: " + e.code);
    if (e.name.size() > kLayoutNameWidth) problems.push_back(where + "nom de plus de 30 caract\xE8res: " + e.name);
    if (!codes.insert(ReportCodeKey(e.code)).second) problems.push_back(where + "code en double: " + e.code);
    if (FamilyOfCode(families, e.code) == nullptr) problems.push_back(where + "code d'aucune famille: " + e.code);
  }
  for (const std::string& file : platform::ListFiles(folder, "C-Etat-*.txt")) {
    const std::string code = file.substr(7, file.size() - 11);
    if (codes.count(ReportCodeKey(code)) == 0) problems.push_back(file + ": mod\xE8le absent du catalogue");
  }
  for (const CatalogEntry& e : entries) {
    const ReportFixture* family = FamilyOfCode(families, e.code);
    std::string text;
    if (!ReadLayout(folder, e.code, text, error)) {
      problems.push_back(error);
      continue;
    }
    const std::string file = LayoutFileName(e.code);
    if (family != nullptr) {
      for (const TemplateProblem& p : CheckTemplate(text, *family))
        problems.push_back(file + ":" + std::to_string(p.line) + ": " + p.message);
    }
    // Imports name a layout of the set.
    const std::string lowered = LowerCp1252(text);
    for (std::size_t at = lowered.find("[ie:"); at != std::string::npos; at = lowered.find("[ie:", at + 1)) {
      const std::size_t close = lowered.find(']', at);
      const std::string code = ReportCodeKey(Trimmed(text.substr(at + 4, close - at - 4)));
      if (codes.count(code) == 0) problems.push_back(file + ": [IE:" + code + "] importe un mod\xE8le absent du jeu");
    }
  }
  return problems;
}

}  // namespace reports
