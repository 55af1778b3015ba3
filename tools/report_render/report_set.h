// The reference set of report layouts as it stands in the sources: a catalog (one line per
// layout: its code, a tab, its name, in the order of the choice lists) and one file per layout
// holding its template exactly, named as the text export of a user-defined report
// ("C-Etat-" + code + ".txt"), all in UTF-8; and the report families (their fixtures,
// report_fixture.h), one file per family. The build command makes the table "cesetats" from
// the first; the check command and the tests read both.
#pragma once

#include <string>
#include <vector>

#include "report_fixture.h"
#include "reports/engine/core/template_loader.h"

namespace reports {

inline constexpr std::size_t kLayoutCodeWidth = 10;  // characters 1-10 of the report code
inline constexpr std::size_t kLayoutNameWidth = 30;  // what the choice lists show

struct CatalogEntry {
  std::string code;  // cp1252
  std::string name;  // cp1252
  int line = 0;
};

// "C-Etat-" + code + ".txt".
std::string LayoutFileName(const std::string& code);

// The catalog "catalog.txt" of `folder` (blank lines and lines beginning with "#" left out).
// False with a French message (cp1252) when it cannot be read, is not UTF-8 of cp1252
// characters, or a line is not a code, a tab and a name.
bool ReadCatalog(const std::string& folder, std::vector<CatalogEntry>& entries, std::string& error);
// The template of a code, converted to cp1252; false with a message when it cannot be read.
bool ReadLayout(const std::string& folder, const std::string& code, std::string& templateText, std::string& error);

// Every family of `folder` (its *.txt files); false with a message naming the file.
bool ReadFamilies(const std::string& folder, std::vector<ReportFixture>& families, std::string& error);
// The family whose prefix begins the code (the longest one); null when none.
const ReportFixture* FamilyOfCode(const std::vector<ReportFixture>& families, const std::string& code);

// The layout files of a folder as a template source ([IE:code] and [ES:code] of a run).
class FolderTemplateSource : public TemplateSource {
 public:
  explicit FolderTemplateSource(std::string folder) : folder_(std::move(folder)) {}
  bool FindTemplate(const std::string& code, std::string& text) override;

 private:
  std::string folder_;
};

// Every problem of the set, one French line each ("file:line: text"): the catalog (codes of
// at most 10 characters with a family's prefix, names of at most 30, each code once, a file
// for each code and a code for each file), each template against its family, and the imports
// ([IE:code]) that name no layout of the set. Empty when the set is sound.
std::vector<std::string> CheckReportSet(const std::string& folder, const std::vector<ReportFixture>& families);

}  // namespace reports
