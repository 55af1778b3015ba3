// The reference layouts of the master-data lists (banks, collective accounts, VAT codes,
// establishments, journals, labels, entry models, distribution codes, chart of accounts and
// analytic sections): their fixtures declare the lists' own report variables, and each list's
// layouts run over them.
#include "masterdata/core/chart_files.h"
#include "masterdata/core/code_layouts.h"
#include "reportset_support.h"

namespace reportset {
namespace {

class MasterDataLayouts : public ReportSetTest {};

// The lists' declarations, as the windows make them.
std::vector<std::string> ListDefinitions(char kind) {
  if (kind == '2' || kind == '3') {
    const std::string packed = LoadStr(masterdata::FindChartFile(kind)->reportDefinitions);
    std::vector<std::string> out;
    for (std::size_t at = 0; at + 14 <= packed.size(); at += 14) out.push_back(packed.substr(at, 14));
    return out;
  }
  return masterdata::ReportDefinitions(*masterdata::FindLayout(kind));
}

TEST_F(MasterDataLayouts, EveryListWithItsOwnVariables) {
  struct Case {
    char kind;
    const char* file;
    const char* prefix;
    const char* title;
    std::vector<std::string> shown;
  };
  const std::vector<Case> cases{
      {'Q', "md_banks.txt", "DB", "Fichier des banques", {"FR7617806001009876543210007", "CA01"}},
      {'B', "md_collectives.txt", "DC", "Fichier des collectifs", {"40100000", "Fournisseurs"}},
      {'T', "md_vatcodes.txt", "DT", "Fichier des codes TVA", {"20.00", "44566200"}},
      {'E', "md_establishments.txt", "DE", "Fichier des \xE9tablissements", {"MACO", "71000 MACON"}},
      {'J', "md_journals.txt", "DJ", "Fichier des journaux", {"000311", "VENTE"}},
      {'L', "md_labels.txt", "DL", "Fichier des libell\xE9s", {"R\xE9gl.", "2 - R\xE8glem"}},
      {'M', "md_models.txt", "DM", "Fichier des mod\xE8les", {"VENTE", "Facture de vente avec TVA"}},
      {'V', "md_distribution.txt", "DV", "Fichier des ventilations", {"60400000", "Chantiers"}},
      {'2', "md_chart.txt", "DP", "Plan comptable", {"11 075.10 Db", "65 000.00 Db"}},
      {'3', "md_sections.txt", "DS", "Sections analytiques", {"96 610.00 Db", "90 000.00 Db"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    EXPECT_EQ(Family(c.file).definitions, ListDefinitions(c.kind));
    CheckFamily(c.file, {{std::string(c.prefix) + "-LISTE", c.title, c.shown}, {std::string(c.prefix) + "-CSV", "", {}}});
  }
}

}  // namespace
}  // namespace reportset
