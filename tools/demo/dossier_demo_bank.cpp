// The bank side of the demo dossier: the lines of the bank account 51200000 reconciled with the
// bank's monthly statements. Every month but the last two has had its statement: its lines carry
// that statement's letter ("A" for the first month, "B" for the second ...) in the main
// currency, in the line (C50 or C40) and its sort record, as the bank reconciliation writes it;
// about one line in eight of those months is not on its statement yet (a cheque not cashed) and
// stays without a letter, as do the lines of the last two months. Amounts are left as they are.
#include <cstring>

#include "demo/dossier_demo_internal.h"
#include "platform/dbase/dbf.h"

namespace demo {
namespace {

constexpr const char* kBankAccount = "51200000";
constexpr int kMonthsWithoutStatement = 2;

// Fields of the sort record C60 and the letter fields of the lines.
constexpr int kTCode = 2, kTMonth = 3, kTLetF = 6, kTFile = 9, kTRecord = 10;
constexpr int kDraftLetF = 20, kClosedLetF = 16;

std::string FieldText(const RecordShape& shape, const std::uint8_t* rec, int field) {
  const auto [offset, width] = shape.fields[static_cast<std::size_t>(field - 1)];
  return std::string(reinterpret_cast<const char*>(rec) + offset, width);
}

// A line left off its statement: a fixed share, spread by its record number.
bool NotOnStatement(std::uint32_t sortRecno) { return (sortRecno * 2654435761u >> 7) % 8 == 0; }

// The statement letter of the n-th month (0-based): "A" to "Z", then "AA" ...
std::string StatementLetter(std::size_t n) {
  std::string letter;
  for (std::size_t k = n + 1; k > 0; k = (k - 1) / 26) letter.insert(letter.begin(), static_cast<char>('A' + (k - 1) % 26));
  return letter;
}

}  // namespace

bool WriteBankReconciliations(const std::string& c50Path, const std::string& c40Path, const std::string& c60Path,
                              const std::vector<Period>& periods, bool francMain) {
  if (periods.size() <= static_cast<std::size_t>(kMonthsWithoutStatement)) return true;
  dbase::DbfFile files[3];
  const std::string* paths[3] = {&c50Path, &c40Path, &c60Path};
  std::unique_ptr<RecordShape> shapes[3];
  for (int i = 0; i < 3; ++i) {
    if (files[i].Open(*paths[i] + ".dbf", true) != dbase::DBIERR_NONE || !files[i].writable()) return false;
    shapes[i] = std::make_unique<RecordShape>(files[i]);
  }
  const int currency = francMain ? 0 : 1;
  std::uint32_t count = 0;
  if (files[2].ReadCount(&count) != dbase::DBIERR_NONE) return false;
  std::vector<std::uint8_t> sort(shapes[2]->length), line(std::max(shapes[0]->length, shapes[1]->length));
  const std::size_t reconciled = periods.size() - kMonthsWithoutStatement;
  bool ok = true;
  for (std::uint32_t n = 1; n <= count && ok; ++n) {
    if (files[2].ReadRecord(n, sort.data()) != dbase::DBIERR_NONE) return false;
    if (sort[0] == '*' || FieldText(*shapes[2], sort.data(), kTCode).compare(0, 8, kBankAccount) != 0) continue;
    const std::string month = FieldText(*shapes[2], sort.data(), kTMonth);
    std::size_t period = 0;
    while (period < periods.size() && periods[period].monthKey != month) ++period;
    if (period >= reconciled || NotOnStatement(n)) continue;
    const std::string letter = Fit(StatementLetter(period), 4);
    const bool closed = FieldText(*shapes[2], sort.data(), kTFile)[0] == 'C';
    const std::uint32_t recno = static_cast<std::uint32_t>(std::atol(FieldText(*shapes[2], sort.data(), kTRecord).c_str()));
    const int file = closed ? 1 : 0;
    if (recno == 0 || files[file].ReadRecord(recno, line.data()) != dbase::DBIERR_NONE) return false;
    shapes[file]->Text(line.data(), (closed ? kClosedLetF : kDraftLetF) + currency, letter);
    shapes[2]->Text(sort.data(), kTLetF + currency, letter);
    ok = files[file].WriteRecord(recno, line.data()) == dbase::DBIERR_NONE &&
         files[2].WriteRecord(n, sort.data()) == dbase::DBIERR_NONE;
  }
  for (dbase::DbfFile& f : files) f.Close();
  return ok;
}

}  // namespace demo
