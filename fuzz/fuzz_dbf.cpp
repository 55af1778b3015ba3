// Fuzzes the data-file reader: an arbitrary .dbf is opened, walked both ways with every field
// read, then changed (append, delete, pack). Any outcome but a crash, a hang or a wild read
// is fine: damaged files must come back as error codes.
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

void Write(const std::string& path, const std::uint8_t* data, std::size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return;
  if (size != 0) std::fwrite(data, 1, size, f);
  std::fclose(f);
}

void ReadAll(hDBICur cur, std::vector<std::uint8_t>& buf, const std::vector<FLDDesc>& descs) {
  std::vector<char> out(512);
  for (const FLDDesc& d : descs) {
    bool blank = false;
    if (d.iFldType == fldBLOB) {
      if (DbiOpenBlob(cur, buf.data(), d.iFldNum, dbiREADONLY) == DBIERR_NONE) {
        std::uint32_t size = 0, got = 0;
        DbiGetBlobSize(cur, buf.data(), d.iFldNum, &size);
        DbiGetBlob(cur, buf.data(), d.iFldNum, 0, static_cast<std::uint32_t>(out.size()), out.data(), &got);
        DbiFreeBlob(cur, buf.data(), d.iFldNum);
      }
    } else {
      DbiGetField(cur, d.iFldNum, buf.data(), out.data(), &blank);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string table = FuzzFolder() + "/t.dbf";
  Write(table, data, size);
  DbtFile::Create(FuzzFolder() + "/t.dbt", "t");
  ::unlink((FuzzFolder() + "/t.mdx").c_str());
  hDBICur cur = nullptr;
  if (DbiOpenTable(FuzzDb(), table.c_str(), "DBASE", nullptr, nullptr, 0, dbiREADWRITE, dbiOPENEXCL, xltFIELD, false,
                   nullptr, &cur) != DBIERR_NONE)
    return 0;
  CURProps props;
  DbiGetCursorProps(cur, &props);
  std::vector<FLDDesc> descs(props.iFields);
  DbiGetFieldDescs(cur, descs.data());
  std::vector<std::uint8_t> buf(props.iRecBufSize + 1u);
  RECProps rp;
  int steps = 0;
  while (DbiGetNextRecord(cur, dbiNOLOCK, buf.data(), &rp) == DBIERR_NONE && ++steps < 5000) ReadAll(cur, buf, descs);
  DbiSetToEnd(cur);
  while (DbiGetPriorRecord(cur, dbiNOLOCK, buf.data(), &rp) == DBIERR_NONE && ++steps < 10000) {
  }
  DbiInitRecord(cur, buf.data());
  DbiInsertRecord(cur, dbiNOLOCK, buf.data());
  if (DbiSetToRecordNo(cur, 1) == DBIERR_NONE) DbiDeleteRecord(cur, buf.data());
  DbiPackTable(FuzzDb(), cur, nullptr, nullptr, true);
  DbiCloseCursor(&cur);
  return 0;
}
