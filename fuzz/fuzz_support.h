// Set-up shared by the engine's fuzz targets: a temporary folder and an open database, made
// once per run.
#pragma once

#include <stdlib.h>

#include <string>

#include "dbase/idapi.h"

inline const std::string& FuzzFolder() {
  static const std::string dir = [] {
    char tmpl[] = "/tmp/merlon-fuzz-XXXXXX";
    char* p = ::mkdtemp(tmpl);
    return std::string(p != nullptr ? p : "/tmp");
  }();
  return dir;
}

inline dbase::hDBIDb FuzzDb() {
  static dbase::hDBIDb db = [] {
    dbase::DbiInit(nullptr, 300);
    dbase::hDBIDb d = nullptr;
    dbase::DbiOpenDatabase(nullptr, nullptr, dbase::dbiREADWRITE, dbase::dbiOPENSHARED, nullptr, 0, nullptr,
                           nullptr, &d);
    return d;
  }();
  return db;
}
