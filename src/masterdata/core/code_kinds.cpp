#include "masterdata/core/code_kinds.h"

#include <cstring>

#include "masterdata/core/masterdata_strings.h"
#include "resources/command_ids.h"
#include "resources/string_table.h"
#include "runtime/text.h"

namespace masterdata {

const std::vector<CodeKind>& CodeKinds() {
  // kind, list, form, command, prefix, rights, width, list slot, form slot, help, report fields, lock entry,
  // grid columns and rows, chart of accounts.
  static const std::vector<CodeKind> kinds{
      {'E', "TWDonBroEtablissements", "TWDonModEtablissements", command_id::DonneesEtablissements, "DE-", 4, 4, 199,
       232, 30, 8, 6, 10, 6, false},
      {'J', "TWDonBroJournaux", "TWDonModJournaux", command_id::DonneesJournaux, "DJ-", 5, 3, 359, 391, 31, 8, 5, 5, 8,
       true},
      {'B', "TWDonBroCollectifs", "TWDonModCollectifs", command_id::DonneesCollectifs, "DC-", 6, 1, 67, 97, 32, 4, 0, 5,
       7, true},
      {'Q', "TWDonBroBanques", "TWDonModBanques", command_id::DonneesBanques, "DB-", 7, 4, 109, 142, 33, 21, 1, 5, 18,
       true},
      {'L', "TWDonBroLibelles", "TWDonModLibelles", command_id::DonneesLibelles, "DL-", 8, 1, 157, 187, 34, 4, 2, 6, 6,
       false},
      {'V', "TWDonBroVentilations", "TWDonModVentilations", command_id::DonneesVentilations, "DV-", 9, 2, 23, 54, 35, 4,
       3, 5, 7, true},
      {'M', "TWDonBroModeles", "TWDonModModeles", command_id::DonneesModeles, "DM-", 10, 8, 247, 284, 36, 2, 4, 10, 6,
       false},
      // The VAT codes keep the framework's help context.
      {'T', "TWDonBroCodesTva", "TWDonModCodesTva", command_id::DonneesCodesTva, "DT-", 37, 8, 405, 442, 85, 5, 7, 4, 9,
       false},
  };
  return kinds;
}

const CodeKind* FindCodeKind(char kind) {
  for (const CodeKind& k : CodeKinds())
    if (k.kind == kind) return &k;
  return nullptr;
}

const CodeKind* FindCodeKindByCommand(unsigned command) {
  for (const CodeKind& k : CodeKinds())
    if (k.command == command) return &k;
  return nullptr;
}

bool IsCodeListKind(char kind) { return kind != '\0' && FindCodeKind(kind) != nullptr; }

bool IsC10RecordKind(char kind) { return IsCodeListKind(kind) || (kind != '\0' && std::strchr("0PC", kind) != nullptr); }

std::string UnknownKindMessage(const std::string& kind) {
  return FillPlaceholder(LoadStr(kMsgUnknownKind), kind.substr(0, 1));
}

}  // namespace masterdata
