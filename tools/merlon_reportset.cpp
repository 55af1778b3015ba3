// merlon-reportset --sources DIR --folder OUT: makes the reference set of report definitions
// "cesetats" (.dbf, .dbt, .mdx) in OUT from the layouts of DIR: its catalog (code, tab, name,
// in the order of the choice lists) and one UTF-8 file per layout holding its template
// ("C-Etat-" + code + ".txt"). Each layout becomes one record: the code in field 1, the name in
// field 2, the template in the memo field 11, all in Windows-1252; the tag CE0CODE orders the
// codes. A layout the set cannot hold (a code of more than 10 characters, a name of more than
// 30, a code twice, an unreadable file, a template past 32,768 characters) stops the build.
#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "console_text.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_create.h"
#include "platform/system/files.h"
#include "report_render/report_set.h"
#include "reports/engine/core/template_loader.h"
#include "runtime/runtime_init.h"

namespace {

constexpr int kCodeField = 1, kNameField = 2, kTemplateField = 11;

int Usage() {
  std::fputs("usage: merlon-reportset --sources DOSSIER --folder DESTINATION\n", stderr);
  return 2;
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "merlon-reportset: %s\n", ConsoleText(message).c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::string sources, folder;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--sources") == 0 && i + 1 < argc) {
      sources = ProgramPath(argv[++i]);
    } else if (std::strcmp(argv[i], "--folder") == 0 && i + 1 < argc) {
      folder = ProgramPath(argv[++i]);
    } else {
      return Usage();
    }
  }
  if (sources.empty() || folder.empty()) return Usage();
  if (!InitRuntime()) return Fail("le runtime ne d\xE9marre pas");

  // Everything is read and checked before the table is made.
  std::vector<reports::CatalogEntry> entries;
  std::vector<std::string> templates;
  std::string error;
  if (!reports::ReadCatalog(sources, entries, error)) return Fail(error);
  if (entries.empty()) return Fail("catalogue vide dans " + sources);
  std::set<std::string> codes;
  for (const reports::CatalogEntry& e : entries) {
    std::string text;
    if (e.code.size() > reports::kLayoutCodeWidth) return Fail("code de plus de 10 caract\xE8res: " + e.code);
    if (e.name.size() > reports::kLayoutNameWidth) return Fail("nom de plus de 30 caract\xE8res: " + e.name);
    if (!codes.insert(reports::ReportCodeKey(e.code)).second) return Fail("code en double: " + e.code);
    if (!reports::ReadLayout(sources, e.code, text, error)) return Fail(error);
    if (text.size() > reports::kTemplateLimit) return Fail("mod\xE8le de plus de 32 768 caract\xE8res: " + e.code);
    templates.push_back(std::move(text));
  }

  if (StartDbSession() != 0) return Fail("le moteur des tables ne d\xE9marre pas");
  if (!platform::MakeDirectories(folder)) return Fail("dossier impossible \xE0 cr\xE9" "er: " + folder);
  const std::string path =
      (folder.back() == '/' ? folder : folder + "/") + TableBaseName(TableKind::ReportDefs, "S");
  bool ok = CreateTableOfKind(TableKind::ReportDefs, path, true) == 0;
  Table table;
  ok = ok && table.OpenExclusive(path, "CE0CODE");
  for (std::size_t i = 0; ok && i < entries.size(); ++i) {
    ok = table.AppendBlank() && table.PutField(kCodeField, entries[i].code.c_str()) &&
         table.PutField(kNameField, entries[i].name.c_str()) && table.PutMemoText(kTemplateField, templates[i]) &&
         table.InsertRecord();
  }
  table.CloseTable();
  StopDbSession();
  FreeRuntime();
  if (!ok) return Fail("impossible d'\xE9" "crire la table " + path);
  return 0;
}
