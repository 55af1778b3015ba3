// The reference layouts of the master-data lists (banks, collective accounts, VAT codes,
// establishments, journals, labels, entry models, distribution codes, chart of accounts and
// analytic sections): their fixtures declare the lists' own report variables, and each list's
// layouts run over them.
#include "masterdata/core/chart_files.h"
#include "masterdata/core/code_layouts.h"
#include "reportset_support.h"
#include "resources/string_table.h"

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
  const std::vector<std::pair<char, const char*>> lists{
      {'Q', "md_banks.txt"},     {'B', "md_collectives.txt"}, {'T', "md_vatcodes.txt"},     {'E', "md_establishments.txt"},
      {'J', "md_journals.txt"},  {'L', "md_labels.txt"},      {'M', "md_models.txt"},       {'V', "md_distribution.txt"},
      {'2', "md_chart.txt"},     {'3', "md_sections.txt"}};
  for (const auto& [kind, file] : lists) {
    SCOPED_TRACE(file);
    EXPECT_EQ(Family(file).definitions, ListDefinitions(kind));
    CheckFamily(file);
  }
}

}  // namespace
}  // namespace reportset
