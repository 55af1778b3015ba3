// The maker of bank statement files for the tests and benchmarks of the statement import: a
// statement made from a generated dossier's bank account (its bank record and the lines of its
// general account), written as an OFX 1.0.2 SGML file in CHARSET 1252 with comma decimals, or as
// an OFX 2.2 XML file in UTF-8.
#pragma once

#include <string>

#include "processing/core/bank_statement.h"

namespace ofx_fixture {

// The statement of the dossier's first bank (C10 kind "Q"): its RIB, and one transaction per live
// line of its general account in the draft, in draft order from the `first` (0-based), at most
// `count` (-1 = all). Labels carry accents ("Prélèvement", "Chèque", "Virement reçu"); each
// transaction's FITID names its line. False with `error` when the dossier has no bank or lines.
bool StatementFromDossier(const std::string& folder, const std::string& code, int first, int count,
                          processing::BankStatement& out, std::string& error);

// A statement of `count` transactions made up (for the benchmark), on the RIB given.
processing::BankStatement MadeUpStatement(int count, const std::string& bankId = "30004",
                                          const std::string& branchId = "00825",
                                          const std::string& accountId = "00012345678");

// The file texts. Statement texts are Windows-1252.
std::string OfxSgml102(const processing::BankStatement& s);
std::string OfxXml220(const processing::BankStatement& s);

// Writes `text` to `path`; false on failure.
bool WriteText(const std::string& path, const std::string& text);

}  // namespace ofx_fixture
