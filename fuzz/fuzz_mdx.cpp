// Opens an arbitrary file as an index file, walks, seeks, counts and updates every tag, and
// reads it with the direct page reader. Nothing may crash, hang or read out of bounds, and
// every walk through First/Next and Last/Prior ends by itself.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>
#include <string>

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
  if (!tags.empty()) m->DeleteTag(tags.front().name);
  m->AddTag("FUZZ", "CODE", "KIND='Z'", nullptr);
  m->Close();
  return 0;
}
