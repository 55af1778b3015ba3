// The test file of the ASCII import (docs/ascii_import.md) on the bank account of a generated
// dossier: receipts, payments and bank fees with their VAT, dated over the financial year, labels
// with accents ("Prélèvement", "Chèque"), amounts with a decimal comma and blanks between the
// thousands. Each piece balances. Used by merlon-ascii-fixture, the tests and the benchmark.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

struct AsciiFixtureOptions {
  std::string journal = "BQ";          // the demo dossier's bank journal
  std::string bankAccount = "51200000";
  long lines = 9;                      // entry lines written (at least 2)
  int year = 2026;                     // the pieces fall in this calendar year
  bool utf8 = false;                   // UTF-8 with its mark, else Windows-1252
  std::uint64_t seed = 1;
};

// The file's bytes.
inline std::string MakeAsciiFixture(const AsciiFixtureOptions& o) {
  std::uint64_t state = o.seed * 6364136223846793005ULL + 1442695040888963407ULL;
  auto next = [&state](std::uint64_t bound) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return (state >> 33) % bound;
  };
  auto amount = [](long long cents) {
    std::string units = std::to_string(cents / 100);
    for (int at = static_cast<int>(units.size()) - 3; at > 0; at -= 3) units.insert(static_cast<std::size_t>(at), " ");
    char decimals[8];
    std::snprintf(decimals, sizeof decimals, ",%02lld", cents % 100);
    return units + decimals;
  };
  const char* e = o.utf8 ? "\xC3\xA9" : "\xE9";   // é
  const char* e2 = o.utf8 ? "\xC3\xA8" : "\xE8";  // è
  std::string out = o.utf8 ? "\xEF\xBB\xBF" : "";
  out += std::string("Journal;Date;Piece;Compte;CodeLibelle;Libelle;Libelle2;Echeance;Debit;Credit;Tva\r\n");
  long written = 0;
  long piece = 0;
  while (written < o.lines) {
    ++piece;
    const long left = o.lines - written;
    char date[16];
    std::snprintf(date, sizeof date, "%02d/%02d/%04d", static_cast<int>(1 + next(28)), static_cast<int>(1 + next(12)),
                  o.year);
    const std::string head = o.journal + ";" + date + ";R" + std::to_string(piece) + ";";
    auto line = [&](const std::string& account, const char* code, const std::string& label, const std::string& label2,
                     long long debit, long long credit) {
      out += head + account + ";" + code + ";" + label + ";" + label2 + ";;" + (debit > 0 ? amount(debit) : "") + ";" +
             (credit > 0 ? amount(credit) : "") + ";\r\n";
      ++written;
    };
    const long long cents = 100 + static_cast<long long>(next(500000));
    const int kind = left == 3 ? 2 : left == 2 ? static_cast<int>(next(2)) : static_cast<int>(next(3));
    if (kind == 0) {
      const std::string label = std::string("Remise de ch") + e2 + "ques " + std::to_string(piece);
      line(o.bankAccount, "5", label, "Client", cents, 0);
      line("70600000", "5", label, "", 0, cents);
    } else if (kind == 1) {
      const std::string label = std::string("Pr") + e + "l" + e2 + "vement " + std::to_string(piece);
      line("60700000", "0", label, "Fournisseur", cents, 0);
      line(o.bankAccount, "0", label, "", 0, cents);
    } else {
      const long long vat = cents / 5;
      const std::string label = std::string("Ch") + e2 + "que frais " + std::to_string(piece);
      line("62700000", "4", label, "Frais", cents, 0);
      line("44566000", "4", label, "TVA", vat, 0);
      line(o.bankAccount, "4", label, "", 0, cents + vat);
    }
  }
  return out;
}
