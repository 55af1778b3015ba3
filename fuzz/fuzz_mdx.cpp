// Opens an arbitrary file as an index file, walks, seeks, counts and updates every tag, and
// reads it with the direct page reader; then makes it the production index of a table and
// walks every tag through a cursor. Nothing may crash, hang or read out of bounds: walks
// run to their end, however the pages lie.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>
#include <string>

#include "fuzz_support.h"
#include "mdx.h"

namespace {

const dbase::RecordLayout& Layout() {
  static const dbase::RecordLayout layout = {
      {"CODE", 'C', 1, 8, 0}, {"NAME", 'C', 9, 20, 0}, {"KIND", 'C', 29, 1, 0},
      {"AMOUNT", 'N', 30, 10, 2}, {"DAY", 'D', 40, 8, 0},
  };
  return layout;
}

std::string Path() { return "/tmp/fuzz_mdx_" + std::to_string(::getpid()) + ".mdx"; }

// A table of the layout's fields with a few records, made once; its index is the input.
const std::string& Table() {
  static const std::string path = [] {
    const std::string p = FuzzFolder() + "/walk.dbf";
    const char* names[] = {"CODE", "NAME", "KIND", "AMOUNT", "DAY"};
    std::vector<dbase::FLDCreate> fields(5);
    for (std::size_t i = 0; i < fields.size(); ++i) {
      std::snprintf(fields[i].szName, sizeof fields[i].szName, "%s", names[i]);
      fields[i].cType = Layout()[i].type;
      fields[i].iWidth = Layout()[i].length;
      fields[i].iDecimals = Layout()[i].decimals;
    }
    dbase::DbiCreateTable(FuzzDb(), p.c_str(), 5, fields.data(), true);
    dbase::hDBICur c = nullptr;
    if (dbase::DbiOpenTable(FuzzDb(), p.c_str(), "DBASE", nullptr, nullptr, 0, dbase::dbiREADWRITE,
                            dbase::dbiOPENEXCL, dbase::xltNONE, false, nullptr, &c) == dbase::DBIERR_NONE) {
      std::vector<std::uint8_t> rec(48, ' ');
      for (int i = 0; i < 12; ++i) {
        std::memcpy(rec.data() + 1, ("C" + std::to_string(i * 7 % 12)).c_str(), 2);
        dbase::DbiInsertRecord(c, dbase::dbiNOLOCK, rec.data());
      }
      dbase::DbiCloseCursor(&c);
    }
    dbase::DbiSetProductionIndexFlag(p.c_str(), true);
    return p;
  }();
  return path;
}

// Every record of a tag through a cursor, forwards then backwards.
void WalkThroughCursor(const std::string& tag) {
  const std::string& table = Table();
  const std::string index = table.substr(0, table.size() - 4) + ".mdx";
  dbase::hDBICur c = nullptr;
  if (dbase::DbiOpenTable(FuzzDb(), table.c_str(), "DBASE", index.c_str(), tag.c_str(), 0, dbase::dbiREADONLY,
                          dbase::dbiOPENSHARED, dbase::xltFIELD, false, nullptr, &c) != dbase::DBIERR_NONE)
    return;
  std::uint8_t buf[48];
  dbase::DbiSetToBegin(c);
  while (dbase::DbiGetNextRecord(c, dbase::dbiNOLOCK, buf, nullptr) == dbase::DBIERR_NONE) {
  }
  dbase::DbiSetToEnd(c);
  while (dbase::DbiGetPriorRecord(c, dbase::dbiNOLOCK, buf, nullptr) == dbase::DBIERR_NONE) {
  }
  dbase::DbiCloseCursor(&c);
}

// Removes the scratch file whatever way a run ends.
struct Scratch {
  std::string path;
  ~Scratch() { ::unlink(path.c_str()); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = Path();
  const Scratch scratch{path};
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
  if (fd < 0) return 0;
  if (size > 0 && ::write(fd, data, size) != static_cast<ssize_t>(size)) {
    ::close(fd);
    return 0;
  }
  ::close(fd);

  for (int tag = 1; tag <= 3; ++tag) {
    std::uint32_t recno = 0;
    dbase::CountTagEntries(path, tag, 1, "A", &recno);
    dbase::CountTagEntries(path, tag, 2, "", &recno);
  }
  std::string name;
  dbase::ReadMdxTableName(path, &name);

  std::unique_ptr<dbase::Mdx> m;
  if (dbase::Mdx::Open(path, Layout(), false, false, &m) != dbase::DBIERR_NONE) return 0;
  std::vector<dbase::MdxTagInfo> tags;
  if (m->Tags(&tags) != dbase::DBIERR_NONE) return 0;
  std::uint8_t record[48];
  std::memset(record, ' ', sizeof record);
  std::memcpy(record + 1, "CODE0001NAME", 12);
  for (const dbase::MdxTagInfo& t : tags) {
    dbase::MdxEntry e;
    dbase::DBIResult r = m->First(t.name, &e);
    // No step limit: whatever the pages hold, the engine's own walk must end.
    while (r == dbase::DBIERR_NONE) {
      dbase::MdxEntry n;
      r = m->Next(t.name, e, &n);
      e = n;
    }
    r = m->Last(t.name, &e);
    while (r == dbase::DBIERR_NONE) {
      dbase::MdxEntry n;
      r = m->Prior(t.name, e, &n);
      e = n;
    }
    bool found = false;
    m->Seek(t.name, "C", &e, &found);
    std::uint64_t count = 0;
    m->Count(t.name, &count);
    m->Check(t.name);
    m->RecordChanged(5, nullptr, record);
    m->RecordChanged(5, record, nullptr);
  }
  {
    // A run of records appended together: keys equal, falling and rising, entered in key order
    // along one path through whatever the pages hold.
    std::uint8_t run[4 * sizeof record];
    for (int i = 0; i < 4; ++i) {
      std::memcpy(run + i * sizeof record, record, sizeof record);
      run[i * sizeof record + 8] = static_cast<std::uint8_t>(i == 1 ? '1' : '9' - i);
    }
    m->RecordsAppended(6, 4, run, sizeof record);
  }
  {
    // The same pages as a table's production index, walked by a cursor.
    const std::string& table = Table();
    const std::string index = table.substr(0, table.size() - 4) + ".mdx";
    const int out = ::open(index.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    if (out >= 0 && (size == 0 || ::write(out, data, size) == static_cast<ssize_t>(size))) {
      ::close(out);
      for (const dbase::MdxTagInfo& t : tags) WalkThroughCursor(t.name);
    } else if (out >= 0) {
      ::close(out);
    }
  }
  if (!tags.empty()) m->DeleteTag(tags.front().name);
  m->AddTag("FUZZ", "CODE", "KIND='Z'", nullptr);
  m->Close();
  return 0;
}
