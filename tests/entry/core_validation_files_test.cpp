// The files the validation of journals writes, record for record: a generated dossier with two
// analytic axes, cancelled pieces and lines, a label holding a zero byte and an amount stored with
// leading zeros (as another program may leave them), three journal-months validated; the records of
// C10, C40, C50 and C60 and the order of each of their tags compared by their digests with those the field-by-field copy wrote before
// the run was made faster.
#include <algorithm>
#include <cstdio>
#include <fstream>

#include "core_fixture.h"
#include "data/dossier_lock.h"
#include "data/table_structures.h"
#include "platform/system/files.h"
#include "runtime/dates.h"
#include "runtime/dossier_record.h"
#include "entry/core/validation.h"
#include "support/journal_months.h"

namespace entry_test {
namespace {

// FNV-1a over a table's records and its record count (the header's date of last update left out).
std::string RecordsDigest(const std::string& path) {
  std::string bytes;
  platform::ReadWholeFile(path, bytes);
  if (bytes.size() < 32) return "missing " + path;
  const std::size_t header = static_cast<unsigned char>(bytes[8]) | static_cast<unsigned char>(bytes[9]) << 8;
  std::uint64_t h = 14695981039346656037ull;
  for (std::size_t i = 4; i < bytes.size(); ++i)
    if (i < 8 || i >= header) h = (h ^ static_cast<unsigned char>(bytes[i])) * 1099511628211ull;
  char text[48];
  std::snprintf(text, sizeof text, "%016llx/%zu", static_cast<unsigned long long>(h), bytes.size());
  return text;
}

// FNV-1a over the record numbers of each tag of the table's production index, walked in key order.
std::string TagsDigest(const std::string& path, TableKind kind) {
  Table t;
  if (!t.OpenShared(path, "", true)) return "unopened " + path;
  std::uint64_t h = 14695981039346656037ull;
  for (const TagDef& tag : StructureOf(kind).tags) {
    for (char c : tag.name) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    for (bool more = t.GoTop(tag.name); more; more = t.Skip(1))
      for (int shift = 0; shift < 32; shift += 8) h = (h ^ ((t.recordNumber >> shift) & 0xFF)) * 1099511628211ull;
  }
  char text[24];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
  return text;
}

class ValidationFilesTest : public CoreTest {
 protected:
  long Lines() const override { return 3000; }
};

// The dossier record's working date, part of C10's records: a new dossier takes the day it is made
// when that day is in its year. Set to the day the digests below were made, so that C10's digest
// does not change with the day the test runs.
void SetWorkingDate(Table& c10, const Ymd& day) {
  constexpr int kRecord0Start = 31, kRecord0Width = 254;  // record "0" field 4: positions 31-284
  ASSERT_TRUE(c10.Seek("C10CODE", "0"));
  DossierRecord record;
  record.Set(kRecord0Start, kRecord0Width, c10.GetField(4));
  ASSERT_TRUE(record.SetDateYmd(DossierRecord::DateField::Working, day));
  ASSERT_TRUE(c10.PutFieldPart(4, DossierRecord::kWorkingDatePos - kRecord0Start + 1, DossierRecord::kDateWidth,
                               record.Get(DossierRecord::kWorkingDatePos, DossierRecord::kDateWidth).c_str()));
  ASSERT_TRUE(c10.Commit());
}

TEST_F(ValidationFilesTest, TheRunWritesTheSameRecordsAsTheFieldByFieldCopy) {
  SetWorkingDate(*TableC10, Ymd{2026, 12, 7});
  // The three largest journal-months of the draft.
  entry::JournalValidationRequest request;
  request.journalMonths = test_support::LargestJournalMonths(c50, 3);
  ASSERT_EQ(request.journalMonths.size(), 3u);
  request.date = "C61231";

  // In a line of the first: a label cut by a zero byte, and its euro amount stored with leading zeros.
  std::uint32_t line = 0;
  for (bool more = c50.GoTop(""); more && line == 0; more = c50.Skip(1))
    if (!c50.IsDeleted() && c50.GetField(L::BCLE)[0] == 'Z' &&
        std::string(c50.GetField(L::BMOIS)) + c50.GetField(L::BJAL) == request.journalMonths[0])
      line = c50.recordNumber;
  ASSERT_NE(line, 0u);
  const int labelAt = c50.Layout(L::BLIB).offset;
  const int amountAt = c50.Layout(L::BMONTANTE).offset;
  const int amountWidth = c50.Layout(L::BMONTANTE).width;
  const std::string path = c50.tablePath;
  CloseAllTables();
  c50.CloseTable();
  c60.CloseTable();
  {
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    std::string head(12, '\0');
    f.read(head.data(), 12);
    const std::size_t header = static_cast<unsigned char>(head[8]) | static_cast<unsigned char>(head[9]) << 8;
    const std::size_t length = static_cast<unsigned char>(head[10]) | static_cast<unsigned char>(head[11]) << 8;
    const std::size_t at = header + (line - 1) * length;
    f.seekp(static_cast<std::streamoff>(at + labelAt + 3));
    f.put('\0');
    std::string amount(static_cast<std::size_t>(amountWidth), ' ');
    f.seekg(static_cast<std::streamoff>(at + amountAt));
    f.read(amount.data(), amountWidth);
    for (char& c : amount)
      if (c == ' ') c = '0';
    f.seekp(static_cast<std::streamoff>(at + amountAt));
    f.write(amount.data(), static_cast<std::streamsize>(amount.size()));
  }

  ASSERT_TRUE(DossierLockTable->OpenExclusive(DossierTablePath()));
  const entry::ValidationResult r = entry::RunValidation(request);
  DossierLockTable->CloseTable(true);
  const std::string folder = DossierFolder;
  const std::string got = std::to_string(r.code) + " " + std::to_string(r.generalLines) + " " +
                          std::to_string(r.analyticLines) + "\n" + RecordsDigest(folder + "c10je.dbf") + "\n" +
                          RecordsDigest(folder + "c40je.dbf") + "\n" + RecordsDigest(folder + "c50je.dbf") + "\n" +
                          RecordsDigest(folder + "c60je.dbf") + "\n" + TagsDigest(folder + "c40je", TableKind::C40) +
                          " " + TagsDigest(folder + "c50je", TableKind::C50) + " " +
                          TagsDigest(folder + "c60je", TableKind::C60) + "\n";
  EXPECT_EQ(got,
            "0 176 35\n"
            "dc8a23da1000fefe/69086\n"
            "d96095d93b4e6fc5/37906\n"
            "edd65a25d07fbc36/477842\n"
            "2d58e87688f88cc6/200025\n"
            "c6e1fe6efd65f52b 4e25a3ca787e8bc7 01c121e44b4d605f\n");
}

}  // namespace
}  // namespace entry_test
