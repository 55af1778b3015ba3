#include "dossier/rebuild_indexes.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

#include "data/dossier_files.h"
#include "data/error_report.h"
#include "data/index_defs.h"
#include "data/index_recovery.h"
#include "data/session.h"
#include "framework/dialog_bases.h"
#include "platform/dbase/idapi.h"
#include "platform/gui/constants.h"
#include "platform/gui/dialog.h"
#include "platform/system/files.h"
#include "runtime/logfile.h"
#include "runtime/xbase.h"

namespace {

std::string& LastProgressCaption() {
  static std::string caption;
  return caption;
}

std::string& LastProgressLine() {
  static std::string line;
  return line;
}

}  // namespace

DossierProgressWindow::DossierProgressWindow(gui::Window* owner, const std::string& caption)
    : caption_(caption) {
  LastProgressCaption() = caption;
  LastProgressLine().clear();
  window_ = std::make_unique<TDNuvModeless>(owner, false);
  if (!window_->Create()) {
    window_.reset();
    return;
  }
  window_->SetCaption(caption);
  window_->Show(gui::SW_SHOWNORMAL);
  gui::Dialog::ProcessEvents();
}

DossierProgressWindow::~DossierProgressWindow() {
  if (!window_ || !window_->IsCreated()) return;
  LastProgressLine() = window_->Line1();
  window_->Destroy();
}

void DossierProgressWindow::SetLine(const std::string& text) {
  line_ = text;
  if (!window_) return;
  window_->SetLine(text);
  gui::Dialog::ProcessEvents();
}

void DossierProgressWindow::SetLine2(const std::string& text) {
  if (!window_) return;
  window_->SetLine2(text);
  gui::Dialog::ProcessEvents();
}

const std::string& DossierProgressWindow::LastCaption() { return LastProgressCaption(); }

const std::string& DossierProgressWindow::LastFramedLine() { return LastProgressLine(); }

namespace {

struct DossierTable {
  Table** table;
  const char* (*path)();
  TableKind kind;
};

// Clears byte 28 of the data file so that the engine opens it without its
// (deleted) production index.
bool ClearIndexFlag(const std::string& dbfPath) {
  const int fd = ::open(dbfPath.c_str(), O_RDWR);
  if (fd < 0) return false;
  return ClearMdxFlag(fd);
}

}  // namespace

bool RebuildTablesAndIndexes(gui::Window* owner, bool pack, bool showProgress) {
  static const DossierTable tables[] = {
      {&TableC10, [] { return PathC10(); }, TableKind::C10}, {&TableC20, PathC20, TableKind::C20},
      {&TableC30, PathC30, TableKind::C30}, {&TableC40, PathC40, TableKind::C40},
      {&TableC50, PathC50, TableKind::C50}, {&TableC60, PathC60, TableKind::C60},
      {&TableC70, PathC70, TableKind::C70},
  };
  const std::string code = RTrim(DossierCode.c_str());
  std::unique_ptr<DossierProgressWindow> progress;
  if (showProgress) progress = std::make_unique<DossierProgressWindow>(owner, LoadStr(19700) + code);
  CloseAllTables();

  int rebuilt = 0;
  for (const DossierTable& t : tables) {
    Table* table = *t.table;
    if (table == nullptr) return false;
    const std::string base = t.path();
    const std::string dbf = platform::ResolvePath(base + ".dbf");
    if (!FileExists(dbf.c_str())) continue;
    if (progress) progress->SetLine(dbf);
    // Index file first, then the flag that promises it.
    std::string mdx = dbf.substr(0, dbf.size() - 4) + ".mdx";
    mdx = platform::ResolvePath(mdx);
    if (FileExists(mdx.c_str()) && std::remove(mdx.c_str()) != 0) {
      WriteLog("REINDEX - Erreur: " + mdx + " ne peut pas \xEAtre supprim\xE9");
      return false;
    }
    if (!ClearIndexFlag(dbf)) {
      WriteLog("REINDEX - Erreur: " + dbf + " ne peut pas \xEAtre \xE9" "crit");
      return false;
    }
    table->CloseTable(true);
    table->shareMode = dbase::dbiOPENEXCL;
    table->openMode = dbase::dbiREADWRITE;
    if (!table->OpenTable(base)) {
      ReportDbError(*table, 3100, base.c_str());
      table->CloseTable(true);
      return false;
    }
    bool ok = true;
    if (pack) ok = table->Pack();
    if (ok) ok = BuildIndexesOf(*table, t.kind);
    table->CloseTable(true);
    if (!ok) {
      WriteLog("REINDEX - Erreur: " + dbf);
      return false;
    }
    ++rebuilt;
  }
  WriteLog("REINDEX - Ok - " + code + " - " + std::to_string(rebuilt) + " fichiers" + (pack ? " (compact\xE9s)" : ""));
  return true;
}
