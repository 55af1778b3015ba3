// Fuzzes the memo-file reader: the input's first 4 bytes are the block number stored in a
// record, the rest is the .dbt. The memo is read, rewritten in place or appended, and read
// again; a damaged reference or file must come back as an error code.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "dbase/dbt.h"
#include "dbase/idapi.h"
#include "fuzz_support.h"

using namespace dbase;

namespace {

std::string Read(hDBICur cur, std::uint8_t* buf) {
  std::string out;
  if (DbiOpenBlob(cur, buf, 2, dbiREADWRITE) != DBIERR_NONE) return out;
  std::uint32_t size = 0, got = 0;
  DbiGetBlobSize(cur, buf, 2, &size);
  out.resize(size);
  DbiGetBlob(cur, buf, 2, 0, size, out.data(), &got);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  const std::string table = FuzzFolder() + "/m.dbf";
  static bool made = [&] {
    FLDCreate f[2];
    std::snprintf(f[0].szName, sizeof f[0].szName, "K");
    f[0].cType = 'C';
    f[0].iWidth = 2;
    std::snprintf(f[1].szName, sizeof f[1].szName, "TXT");
    f[1].cType = 'M';
    return DbiCreateTable(FuzzDb(), table.c_str(), 2, f, true) == DBIERR_NONE;
  }();
  if (!made) return 0;
  // dBASE IV or III layout, chosen by the first byte's low bit.
  FILE* t = std::fopen(table.c_str(), "r+b");
  if (t == nullptr) return 0;
  std::uint8_t version = (data[0] & 1) != 0 ? 0x83 : 0x8B;
  std::fwrite(&version, 1, 1, t);
  std::uint32_t block = (data[1] | (data[2] << 8) | (data[3] << 16)) % 100000u;
  char rec[14];
  std::snprintf(rec, sizeof rec, " K1%10u", block);
  std::uint8_t one[4] = {1, 0, 0, 0};
  std::fseek(t, 4, SEEK_SET);
  std::fwrite(one, 1, 4, t);
  std::fseek(t, 32 + 64 + 1, SEEK_SET);
  std::fwrite(rec, 1, 13, t);
  std::fclose(t);
  FILE* m = std::fopen((FuzzFolder() + "/m.dbt").c_str(), "wb");
  if (m == nullptr) return 0;
  std::fwrite(data + 4, 1, size - 4, m);
  std::fclose(m);

  hDBICur cur = nullptr;
  if (DbiOpenTable(FuzzDb(), table.c_str(), "DBASE", nullptr, nullptr, 0, dbiREADWRITE, dbiOPENEXCL, xltFIELD, false,
                   nullptr, &cur) != DBIERR_NONE)
    return 0;
  std::uint8_t buf[14] = {};
  if (DbiGetNextRecord(cur, dbiNOLOCK, buf, nullptr) == DBIERR_NONE) {
    std::string text = Read(cur, buf);
    // Shorter (in place when it fits), then longer (new blocks).
    std::string next = text.substr(0, text.size() / 2) + "fin";
    DbiPutBlob(cur, buf, 2, 0, static_cast<std::uint32_t>(next.size()), next.data());
    DbiTruncateBlob(cur, buf, 2, static_cast<std::uint32_t>(next.size()));
    DbiModifyRecord(cur, buf, false);
    std::string more(1000, 'x');
    DbiPutBlob(cur, buf, 2, 0, static_cast<std::uint32_t>(more.size()), more.data());
    DbiModifyRecord(cur, buf, false);
    DbiFreeBlob(cur, buf, 2);
    DbiGetRecord(cur, dbiNOLOCK, buf, nullptr);
    Read(cur, buf);
    DbiFreeBlob(cur, buf, 2);
  }
  DbiCloseCursor(&cur);
  return 0;
}
