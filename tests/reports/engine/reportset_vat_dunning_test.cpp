// The reference layouts of the dunning letters, statements and supplier payments, and of the
// VAT returns on debits and on receipts, each family over all its layouts.
#include "reportset_support.h"

namespace reportset {
namespace {

class VatDunningLayouts : public ReportSetTest {};

TEST_F(VatDunningLayouts, DunningStatementsAndPayments) {
  CheckFamily("dunning.txt", {
      {"EL-1LISTE", "Liste des comptes \xE0 relancer", {"4 980.60", "2 350.00"}},
      {"EL-2RELANC", "relance de paiement", {"2 350.00", "Le service comptable"}},
      {"EL-2RELEVE", "Relev\xE9 de compte", {"2 350.00", "Solde du compte"}},
      {"EL-1ECHEAN", "Ech\xE9" "ancier", {"1 300.00", "2 350.00"}},
      {"EL-1PAIEM", "Paiement des fournisseurs", {"4 980.60"}},
      {"EL-1VIRT", "", {}},
      {"EL-1SEPA", "Virements SEPA des fournisseurs", {"FR7610907000011234567890142"}},
  });
}

TEST_F(VatDunningLayouts, VatReturns) {
  CheckFamily("vat_debits.txt", {
      {"EDD-CA3", "D\xE9" "claration de TVA (d\xE9" "bits)", {"37 284.15", "23 213.78", "1 850.00"}},
  });
  CheckFamily("vat_receipts.txt", {
      {"EDE-CA3", "D\xE9" "claration de TVA (encaissements)", {"13 950.00", "8 349.60"}},
      {"EDE-DETAIL", "TVA sur les encaissements", {"3 287.15", "13 950.00", "2 325.00"}},
  });
}

}  // namespace
}  // namespace reportset
