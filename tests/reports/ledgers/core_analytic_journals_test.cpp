// The analytic journal listings as the program ships them, over generated dossiers of one and of two
// analytic axes, against the independent reader of the files (data/ledger_figures.py "analytic"):
// every general row, every section row, every piece total and every journal-month total of the
// summary printed (EJRA-STD), of the detail printed (EJA-1STD) and of the detail exported (EJA-CSV),
// in euros. A general line split on two axes is listed and counted once, with the sections of both
// axes under it; the gap between general and analytic compares each axis with the lines (one line
// of the dossier of two axes left without its second axis's sections). A piece is totalled once, its
// lines' total, even where the first of its split lines lost all its sections.
#include <algorithm>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "data/entry_lines.h"
#include "ledger_fixture.h"
#include "reports/ledgers/core/journal_listings.h"
#include "runtime/xbase.h"
#include "support/books_writes.h"

namespace ledgers_test {
namespace {

std::string Trim(const std::string& text) { return std::string(AllTrim(text.c_str())); }

// A printed amount ("1 037.88", "1 037.88 Cr", "0.00") in cents, its side's sign applied.
long long PrintedCents(const std::string& text) {
  std::string t;
  for (char c : text)
    if ((c >= '0' && c <= '9') || c == '.' || c == '-') t += c;
  const long long cents = t.empty() ? 0 : ToCents(Val(t.c_str()));
  return text.find("Cr") != std::string::npos ? -cents : cents;
}
// A side ("Db", "Cr" or nothing) and its amount, debit positive.
long long Signed(const std::string& side, const std::string& amount) {
  const long long cents = PrintedCents(amount);
  return Trim(side) == "Cr" ? -cents : cents;
}
std::string Piece(const std::string& text) {
  std::string digits;
  for (char c : text)
    if (c >= '0' && c <= '9') digits += c;
  return digits;
}

// What the reader computes: per journal-month "MM/YY|journal" its totals, per piece its general and
// analytic amounts, the general and section lines.
struct Month {
  long long debit = 0, credit = 0, general = 0, analytic = 0, gap = 0;
  bool operator==(const Month& o) const {
    return debit == o.debit && credit == o.credit && general == o.general && analytic == o.analytic && gap == o.gap;
  }
};
std::ostream& operator<<(std::ostream& out, const Month& m) {
  return out << "debit " << m.debit << " credit " << m.credit << " general " << m.general << " analytic "
             << m.analytic << " gap " << m.gap;
}
struct Reader {
  std::map<std::string, Month> months;
  std::map<std::string, std::pair<long long, long long>> pieces;  // "MM/YY|journal|piece": general, analytic
  std::vector<std::string> generalLines, sectionLines;           // "MM/YY|journal|piece|code|sense|amount"
  // The summary's rows "MM/YY|journal|code|debit|credit", accounts and sections apart.
  std::vector<std::string> accountRows, sectionRows;
};

std::vector<std::string> Split(const std::string& line, char by) {
  std::vector<std::string> parts;
  std::stringstream s(line);
  for (std::string part; std::getline(s, part, by);) parts.push_back(part);
  return parts;
}

std::vector<std::string> Sorted(std::vector<std::string> rows) {
  std::sort(rows.begin(), rows.end());
  return rows;
}

// The rows of a preview's pages (RunToExport's records), each the texts of one height on one page
// in their order across it, with the column each begins at in characters of the layout's first
// heading: `firstHeading` (the text at column 1) and `secondHeading` at column `secondColumn`.
struct Cell {
  int column = 0;
  std::string text;
};
using PrintedRow = std::vector<Cell>;
std::vector<PrintedRow> PrintedRows(const std::string& pages, const std::string& firstHeading,
                                    const std::string& secondHeading, int secondColumn) {
  struct Text {
    int page, top, left;
    std::string text;
  };
  std::vector<Text> texts;
  int page = 0, lastTop = -1;
  std::stringstream s(pages);
  for (std::string line; std::getline(s, line);) {
    if (line.size() < 2 || (line[0] != 'X' && line[0] != 'Y' && line[0] != 'Z')) continue;
    std::istringstream fields(line.substr(2));
    int n1 = 0, n2 = 0, n3 = 0, n4 = 0;
    fields >> n1 >> n2 >> n3 >> n4;
    std::string text;
    std::getline(fields, text);
    if (!text.empty() && text[0] == ' ') text.erase(0, 1);
    if (n2 < lastTop - 200) ++page;  // back to the top: a new page
    lastTop = n2;
    texts.push_back({page, n2, n1, text});
  }
  int first = -1, second = -1;
  for (const Text& t : texts) {
    if (first < 0 && Trim(t.text) == firstHeading) first = t.left;
    if (second < 0 && Trim(t.text) == secondHeading) second = t.left;
  }
  EXPECT_TRUE(first >= 0 && second > first) << firstHeading << " / " << secondHeading;
  const double width = second > first ? static_cast<double>(second - first) / (secondColumn - 1) : 1.0;
  std::stable_sort(texts.begin(), texts.end(), [](const Text& a, const Text& b) {
    return a.page != b.page ? a.page < b.page : a.top != b.top ? a.top < b.top : a.left < b.left;
  });
  std::vector<PrintedRow> rows;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (i == 0 || texts[i].page != texts[i - 1].page || texts[i].top != texts[i - 1].top) rows.emplace_back();
    rows.back().push_back({1 + static_cast<int>((texts[i].left - first) / width + 0.5), texts[i].text});
  }
  return rows;
}

// The text of the row's cell that begins between the columns `from` and `to` (a field's cell, its
// text trimmed of the blanks it begins with); empty when none does.
std::string At(const PrintedRow& row, int from, int to) {
  for (const Cell& c : row)
    if (c.column >= from && c.column < to) return Trim(c.text);
  return "";
}
std::string Joined(const PrintedRow& row) {
  std::string all;
  for (const Cell& c : row) all += (all.empty() ? "" : " ") + Trim(c.text);
  return all;
}

bool Begins(const PrintedRow& row, const std::string& text) { return Joined(row).rfind(text, 0) == 0; }

// "Journal BQ Banque Populaire - 02/24" (and its page's "(suite)"): "02/24|BQ".
std::string JournalMonthOf(const PrintedRow& row) {
  static const std::regex heading("^Journal +(\\S+) .*- *([0-9]{2}) */ *([0-9]{2}).*$");
  std::smatch m;
  const std::string text = Joined(row);
  return std::regex_match(text, m, heading) ? m[2].str() + "/" + m[3].str() + "|" + m[1].str() : "";
}

class AnalyticJournalsTest : public LedgerCoreTest {
 protected:
  void Generate(char axes) {
    DemoOptions o;
    o.code = "ANA";
    o.lines = 600;
    o.analyticMode = axes;
    o.currency = DossierCurrency::EuroOnly;
    o.seed = 5;
    o.closedMonths = 3;
    OpenDemo(o, std::string("demo") + axes);
  }

  // The sort records of the second axis's sections of the first journal-month's last line taken
  // out: its second header stands without sections, a gap of the line's amount in that month, which
  // the export's last row of the month carries as the printed total does.
  void TakeTheSectionsOfAMonthsLastLineOff(std::set<std::string>& months) {
    using T = LigneTri;
    Table& c60 = *TableC60;
    ASSERT_TRUE(c60.GoTop("C60JXANAL"));
    const std::string month = std::string(c60.GetField(T::TMOIS)) + c60.GetField(T::TJAL);
    months.insert(month);
    std::vector<long> sections;
    for (bool more = true; more && std::string(c60.GetField(T::TMOIS)) + c60.GetField(T::TJAL) == month;
         more = c60.Skip(1)) {
      const char kind = c60.GetField(T::TCLE)[0];
      if (kind == 'X') sections.clear();
      if (kind == 'Y') sections.push_back(static_cast<long>(c60.recordNumber));
    }
    ASSERT_FALSE(sections.empty());
    const test_support::SetUpPermit permit("sections du second axe retirees");
    for (long recno : sections) ASSERT_TRUE(c60.GoTo(recno) && c60.DeleteRecord("", 0));
    ASSERT_TRUE(c60.Commit());
  }

  // Every section of every axis of the first split line of a piece of two split lines cancelled, its
  // headers left: the piece's two general lines follow each other, the piece still one.
  void CancelTheSectionsOfAPiecesFirstLine(std::set<std::string>& months) {
    using T = LigneTri;
    Table& c60 = *TableC60;
    ASSERT_TRUE(c60.GoTop("C60JXANAL"));
    auto pieceOf = [&] {
      return std::string(c60.GetField(T::TFIC)) + c60.GetField(T::TMOIS) + c60.GetField(T::TJAL) +
             c60.GetField(T::TPIECE);
    };
    auto lineOf = [&] { return pieceOf() + c60.GetField(T::TJOUR) + c60.GetField(T::TNUM); };
    // Per piece its split lines in order, each with its sections' records.
    std::string piece, line;
    std::vector<std::vector<long>> lines;
    for (bool more = true; more; more = c60.Skip(1)) {
      const char kind = c60.GetField(T::TCLE)[0];
      if (pieceOf() != piece) {
        if (lines.size() >= 2 && !lines[0].empty()) break;
        piece = pieceOf();
        line.clear();
        lines.clear();
      }
      if ((kind == 'V' || kind == 'X') && lineOf() != line) {
        line = lineOf();
        lines.emplace_back();
      } else if ((kind == 'W' || kind == 'Y') && !lines.empty()) {
        lines.back().push_back(static_cast<long>(c60.recordNumber));
      }
    }
    ASSERT_TRUE(lines.size() >= 2 && !lines[0].empty()) << "no piece of two split lines";
    months.insert(piece.substr(1, 7));
    const test_support::SetUpPermit permit("sections d'une ligne annulees");
    for (long recno : lines[0]) ASSERT_TRUE(c60.GoTo(recno) && c60.DeleteRecord("", 0));
    ASSERT_TRUE(c60.Commit());
  }

  Reader Expected(char axes) {
    Reader f;
    std::map<std::string, std::map<std::string, std::pair<long long, long long>>> accounts, sections;
    std::stringstream out(Figures({"analytic", Dir() + "/demo" + std::string(1, axes), "ANA", "E"}));
    for (std::string line; std::getline(out, line);) {
      const std::vector<std::string> p = Split(line, '|');
      if (p.empty()) continue;
      if (p[0] == "J") {
        f.months[p[1] + "|" + p[2]] = {std::stoll(p[3]), std::stoll(p[4]), std::stoll(p[5]), std::stoll(p[6]),
                                       std::stoll(p[7])};
      } else if (p[0] == "L" || p[0] == "W") {
        const long long amount = std::stoll(p[6]);
        const std::string row = p[1] + "|" + p[2] + "|" + p[3] + "|" + p[4] + "|" + p[5] + "|" + p[6];
        auto& piece = f.pieces[p[1] + "|" + p[2] + "|" + p[3]];
        auto& code = (p[0] == "L" ? accounts : sections)[p[1] + "|" + p[2]][p[4]];
        (p[5] == "D" ? code.first : code.second) += amount;
        (p[0] == "L" ? piece.first : piece.second) += p[5] == "D" ? amount : -amount;
        (p[0] == "L" ? f.generalLines : f.sectionLines).push_back(row);
      }
    }
    for (auto* rows : {&accounts, &sections})
      for (const auto& [month, codes] : *rows)
        for (const auto& [code, totals] : codes)
          if (totals.first != 0 || totals.second != 0)
            (rows == &accounts ? f.accountRows : f.sectionRows)
                .push_back(month + "|" + code + "|" + std::to_string(totals.first) + "|" + std::to_string(totals.second));
    f.generalLines = Sorted(f.generalLines);
    f.sectionLines = Sorted(f.sectionLines);
    f.accountRows = Sorted(f.accountRows);
    f.sectionRows = Sorted(f.sectionRows);
    return f;
  }

  // The listing of the year with "Analytique" ticked, summary or detail, in euros, through the
  // shipped layout `code`: its export's text, its pages into *pages.
  std::string Listing(bool summary, const std::string& code, std::string* pages) {
    ledgers::JournalListings j;
    ledgers::JournalListingOptions o;
    o.analytic = true;
    o.summary = summary;
    o.inEuros = true;
    j.TakeLimits(o.ToRecord());
    EXPECT_TRUE(j.PrepareReport()) << code;
    const std::string text = RunToExport(j, ShippedLayout(code), ArtefactPath(code + ".csv"), pages);
    // The pages' records kept beside the export, for a reader of a failure.
    if (pages != nullptr) std::ofstream(ArtefactPath(code + ".pages"), std::ios::binary) << *pages;
    return text;
  }
};

TEST_F(AnalyticJournalsTest, EveryRowAndTotalOfTheListingsIsTheLines) {
  for (const char axes : {'2', '1'}) {
    SCOPED_TRACE(std::string("axes ") + axes);
    Generate(axes);
    std::set<std::string> lostSections;
    if (axes == '2') TakeTheSectionsOfAMonthsLastLineOff(lostSections);
    CancelTheSectionsOfAPiecesFirstLine(lostSections);
    const Reader want = Expected(axes);
    ASSERT_FALSE(want.months.empty());
    // The gap of each month whose lines lost sections, the others' none.
    long gaps = 0;
    for (const auto& [key, month] : want.months) gaps += month.gap != 0 ? 1 : 0;
    EXPECT_EQ(gaps, static_cast<long>(lostSections.size()));
    ASSERT_FALSE(want.generalLines.empty());

    // The summary printed: a row per account and per section, the journal's totals and its gap.
    {
      SCOPED_TRACE("EJRA-STD");
      std::string pages;
      Listing(true, "EJRA-STD", &pages);
      std::map<std::string, Month> months;
      std::vector<std::string> accounts, sections;
      std::string month;
      // The layout's columns: the code 1, the name 10, the debit 45, the credit 64, the general
      // amount's side 79 and amount 87, the analytic's 102 and 110, the gap 107.
      for (const PrintedRow& row : PrintedRows(pages, "Compte", "Intitul\xE9", 10)) {
        const std::string general = At(row, 79, 87), analytic = At(row, 102, 110);
        if (const std::string m = JournalMonthOf(row); !m.empty()) {
          month = m;
        } else if (Begins(row, "Total du journal")) {
          Month& t = months[month];
          t.debit = PrintedCents(At(row, 45, 64));
          t.credit = PrintedCents(At(row, 64, 79));
          t.general = Signed(general, At(row, 87, 102));
          t.analytic = Signed(analytic, At(row, 110, 200));
        } else if (Begins(row, "Ecart g\xE9n\xE9ral - analytique")) {
          months[month].gap = PrintedCents(At(row, 100, 200));
        } else if (!month.empty() && (general == "Db" || general == "Cr" || analytic == "Db" || analytic == "Cr")) {
          const bool isGeneral = !general.empty();
          const long long debit = PrintedCents(At(row, 45, 64)), credit = PrintedCents(At(row, 64, 79));
          (isGeneral ? accounts : sections)
              .push_back(month + "|" + At(row, 1, 10) + "|" + std::to_string(debit) + "|" + std::to_string(credit));
          EXPECT_EQ(isGeneral ? Signed(general, At(row, 87, 102)) : Signed(analytic, At(row, 110, 200)), debit - credit)
              << Joined(row);
        }
      }
      EXPECT_EQ(FirstDifference(Sorted(accounts), want.accountRows), "");
      EXPECT_EQ(FirstDifference(Sorted(sections), want.sectionRows), "");
      EXPECT_EQ(months, want.months);
    }

    // The detail printed: each general line and each section line a row, each piece's totals,
    // each journal-month's totals and gap.
    {
      SCOPED_TRACE("EJA-1STD");
      std::string pages;
      Listing(false, "EJA-1STD", &pages);
      std::map<std::string, Month> months;
      std::map<std::string, std::pair<long long, long long>> pieces;
      std::map<std::string, int> pieceTotals;
      std::vector<std::string> general, sections;
      std::string month, piece;
      // The layout's columns: the date 1, the piece 10, the code 19, the label 43, the general
      // amount's side 74 and amount 82, the analytic's 97 and 105, the gap 102.
      static const std::regex date("^[0-9]{2}/[0-9]{2}/[0-9]{2}$");
      for (const PrintedRow& row : PrintedRows(pages, "Date", "Pi\xE8" "ce", 10)) {
        const std::string generalSide = At(row, 74, 82), analyticSide = At(row, 97, 105);
        const long long generalAmount = Signed(generalSide, At(row, 82, 97)),
                        analyticAmount = Signed(analyticSide, At(row, 105, 200));
        if (const std::string m = JournalMonthOf(row); !m.empty()) {
          month = m;
        } else if (Begins(row, "Total de la pi\xE8" "ce")) {
          auto& p = pieces[month + "|" + piece];
          p.first += generalAmount;
          p.second += analyticAmount;
          ++pieceTotals[month + "|" + piece];
        } else if (Begins(row, "Total du journal")) {
          Month& t = months[month];
          t.general = generalAmount;
          t.analytic = analyticAmount;
        } else if (Begins(row, "Ecart g\xE9n\xE9ral - analytique")) {
          months[month].gap = PrintedCents(At(row, 100, 200));
        } else if (!month.empty() && std::regex_match(At(row, 1, 10), date)) {
          piece = Piece(At(row, 10, 19));
          const bool isGeneral = !generalSide.empty();
          const long long amount = isGeneral ? generalAmount : analyticAmount;
          (isGeneral ? general : sections)
              .push_back(month + "|" + piece + "|" + At(row, 19, 28) + "|" + (amount < 0 ? "C" : "D") + "|" +
                         std::to_string(amount < 0 ? -amount : amount));
        }
      }
      EXPECT_EQ(FirstDifference(Sorted(general), want.generalLines), "");
      EXPECT_EQ(FirstDifference(Sorted(sections), want.sectionLines), "");
      EXPECT_EQ(pieces, want.pieces);
      for (const auto& [key, count] : pieceTotals) EXPECT_EQ(count, 1) << "totals of the piece " << key;
      ASSERT_EQ(months.size(), want.months.size());
      for (const auto& [key, m] : want.months) {
        SCOPED_TRACE(key);
        EXPECT_EQ(months[key].general, m.general);
        EXPECT_EQ(months[key].analytic, m.analytic);
        EXPECT_EQ(months[key].gap, m.gap);
      }
    }

    // The detail exported: its rows and every running total, the last of each piece and of each
    // journal-month.
    {
      SCOPED_TRACE("EJA-CSV");
      const std::vector<std::vector<std::string>> rows = CsvRows(Listing(false, "EJA-CSV", nullptr));
      ASSERT_GT(rows.size(), 2u);
      std::map<std::string, std::size_t> column;
      for (std::size_t i = 0; i < rows[0].size(); ++i) column[Trim(rows[0][i])] = i;
      auto cell = [&](const std::vector<std::string>& row, const char* name) {
        const std::size_t i = column.at(name);
        return i < row.size() ? Trim(row[i]) : std::string();
      };
      auto cents = [&](const std::vector<std::string>& row, const char* name) { return CellCents(cell(row, name)); };
      auto pair = [&](const std::vector<std::string>& row, const char* side, const char* amount) {
        return cell(row, side) == "Cr" ? -cents(row, amount) : cents(row, amount);
      };
      std::map<std::string, Month> months;
      std::map<std::string, std::pair<long long, long long>> pieces;
      std::vector<std::string> general, sections;
      std::string block;
      std::pair<long long, long long> blockTotals;
      auto endBlock = [&] {
        if (block.empty()) return;
        auto& p = pieces[block];
        p.first += blockTotals.first;
        p.second += blockTotals.second;
      };
      for (std::size_t r = 1; r < rows.size(); ++r) {
        const auto& row = rows[r];
        const std::string month = cell(row, "MOIS") + "/" + cell(row, "ANNEE") + "|" + cell(row, "JOURNAL");
        const std::string key = month + "|" + Piece(cell(row, "PIECE"));
        if (key != block) {
          endBlock();
          block = key;
        }
        blockTotals = {pair(row, "TP_CG_DBCR", "TP_CG_MONT"), pair(row, "TP_CA_DBCR", "TP_CA_MONT")};
        const bool isGeneral = !cell(row, "CG_DBCR").empty();
        (isGeneral ? general : sections)
            .push_back(key + "|" + cell(row, "COMPTE") + "|" + cell(row, "SENSDC") + "|" +
                       std::to_string(cents(row, isGeneral ? "CG_MONTANT" : "CA_MONTANT")));
        months[month] = {cents(row, "TG_DEBIT"), cents(row, "TG_CREDIT"), pair(row, "TG_CG_DBCR", "TG_CG_MONT"),
                         pair(row, "TG_CA_DBCR", "TG_CA_MONT"), pair(row, "TG_SOLDEDC", "TG_SOLDEMT")};
      }
      endBlock();
      EXPECT_EQ(FirstDifference(Sorted(general), want.generalLines), "");
      EXPECT_EQ(FirstDifference(Sorted(sections), want.sectionLines), "");
      EXPECT_EQ(pieces, want.pieces);
      EXPECT_EQ(months, want.months);
    }
    CloseAllTables();
  }
}

}  // namespace
}  // namespace ledgers_test
