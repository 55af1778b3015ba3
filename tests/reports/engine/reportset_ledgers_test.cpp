// The reference layouts of the ledger reports: account statements, general ledgers, journal
// listings and the centralising summary, each family over all its layouts.
#include "reportset_support.h"

namespace reportset {
namespace {

class LedgerLayouts : public ReportSetTest {};

TEST_F(LedgerLayouts, AccountStatement) {
  CheckFamily("statement.txt", {
      {"EC-STD", "Relev\xE9 de compte", {"18 490.60", "4 060.25", "14 430.35 Db"}},
      {"EC-CSV", "", {}},
      {"ECA-STD", "Relev\xE9 de compte analytique", {"18 490.60", "4 060.25", "14 430.35 Db"}},
      {"ECA-CSV", "", {}},
  });
}

TEST_F(LedgerLayouts, GeneralLedgers) {
  CheckFamily("ledgers.txt", {
      {"EG-STD", "Grand livre GENERAL", {"26 342.70", "15 504.90", "10 837.80 Db"}},
      {"EG-SOLDES", "Soldes du grand livre", {"26 342.70", "15 504.90", "10 837.80 Db"}},
      {"EG-CSV", "", {}},
  });
  CheckFamily("ledgers_analytic.txt", {
      {"EGA-STD", "Grand livre ANALYTIQUE", {"26 342.70", "15 504.90", "10 837.80 Db"}},
      {"EGA-SOLDES", "Soldes du grand livre", {"26 342.70", "15 504.90", "10 837.80 Db"}},
      {"EGA-CSV", "", {}},
  });
}

TEST_F(LedgerLayouts, JournalListings) {
  CheckFamily("journals.txt", {
      {"EJ-STD", "Journaux", {"3 840.00", "5 040.00", "1 200.00 Cr", "1 440.00", "Journal BQ Banque Populaire - 02/24"}},
      {"EJ-CSV", "", {}},
      {"EJA-STD", "Journaux analytiques", {"Db 3 840.00", "Cr 5 040.00", "1 200.00 Cr"}},
      {"EJA-CSV", "", {}},
      {"EJR-STD", "Journaux r\xE9" "capitulatifs", {"3 840.00", "5 040.00", "1 440.00"}},
      {"EJRA-STD", "Journaux r\xE9" "capitulatifs anal.", {"Db 3 840.00", "Cr 5 040.00"}},
  });
}

TEST_F(LedgerLayouts, CentralisingSummary) {
  CheckFamily("summary.txt", {
      {"ER-STD", "R\xE9" "capitulatif centralisateur", {"55 581.30", "25 475.10", "83 556.40"}},
      {"ER-CSV", "", {}},
  });
}

}  // namespace
}  // namespace reportset
