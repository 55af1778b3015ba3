// What the benchmark programs share: the line count of the generated dossier, a temporary folder with the
// runtime and the engine started in it, the generated dossier made current, the frame of the window benchmarks,
// and the largest journal-month of the draft.
#pragma once

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <initializer_list>
#include <string>

#include "data/dossier_files.h"
#include "data/entry_lines.h"
#include "data/locks.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_create.h"
#include "demo/dossier_demo.h"
#include "platform/system/cp1252.h"
#include "platform/system/files.h"
#include "platform/gui/application.h"
#include "platform/gui/mdi.h"
#include "platform/gui/modal_seam.h"
#include "runtime/inifiles.h"
#include "runtime/runtime_hooks.h"
#include "runtime/runtime_init.h"
#include "runtime/session_registry.h"
#include "runtime/xbase.h"
#include "shell/graphics.h"

namespace bench_world {

// MERLON_BENCH_LINES (default 999,999, the most the sort file can point at), kept between least and most.
inline long BenchLines(long least = 1000, long most = kMaxDemoLines) {
  const char* text = std::getenv("MERLON_BENCH_LINES");
  const long n = text != nullptr ? std::atol(text) : kMaxDemoLines;
  return n < least ? least : (n > most ? most : n);
}

// A folder /tmp/merlon-<name>-bench-XXXXXX with the runtime started in it (program folder "program/", messages
// on stderr, no beep, no lock notice) and the engine's session; with windows, Qt off screen, the shared graphics
// and the modal seam answering. All of it is stopped and the folder removed at the end.
class BenchRuntime {
 public:
  BenchRuntime(const std::string& name, bool windows) : windows_(windows) {
    if (windows_) setenv("QT_QPA_PLATFORM", "offscreen", 0);
    std::string pattern = "/tmp/merlon-" + name + "-bench-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) return;
    dir_ = pattern;
    SetProgramFolder(dir_ + "/program/");
    InitRuntime();
    SetRuntimeMessageHook([](const char* caption, const char* text, unsigned) {
      std::fprintf(stderr, "%s: %s\n", caption, text);
      return 1;
    });
    SetRuntimeBeepHook([](unsigned) {});
    SetLockNoticeHook([](const char*, const char*) {});
    if (windows_) {
      gui::Application::EnsureQt();
      MakeSharedGraphics(96);
      gui::ModalSeam::SetTestMode(true);
    }
    OpenWindowRegistry.assign(kOpenWindowRegistryLength, ' ');
    started_ = StartDbSession() == 0;
  }
  ~BenchRuntime() {
    if (dir_.empty()) return;
    CloseAllTables();
    if (started_) StopDbSession();
    if (windows_) FreeSharedGraphics();
    FreeRuntime();
    std::filesystem::remove_all(dir_);
  }
  BenchRuntime(const BenchRuntime&) = delete;
  BenchRuntime& operator=(const BenchRuntime&) = delete;

  bool started() const { return started_; }
  const std::string& dir() const { return dir_; }

  // Generates the demo dossier (in <dir>/dossier/, code "BENCH" unless the options say otherwise) and makes it
  // the current dossier; a failure is told on stderr.
  bool Generate(DemoOptions& options) const {
    if (!started_) return false;
    if (options.folder.empty()) options.folder = dir_ + "/dossier/";
    if (options.code.empty()) options.code = "BENCH";
    std::string message;
    if (!GenerateDemoDossier(options, &message)) {
      std::fprintf(stderr, "generation: %s\n", message.c_str());
      return false;
    }
    SetDossier(options.folder, options.code);
    return true;
  }

 private:
  bool windows_ = false;
  bool started_ = false;
  std::string dir_;
};

// The frame of the window benchmarks, shown at the given size around its client.
inline std::unique_ptr<gui::MDIFrame> ShowFrame(gui::MDIClient* client, int width, int height) {
  auto frame = std::make_unique<gui::MDIFrame>("Merlon", client);
  frame->MoveWindow(gui::Rect{0, 0, width, height});
  frame->Create();
  frame->Show(gui::SW_SHOW);
  return frame;
}

// The journal-month (month and journal, as a line's key starts) with the most live general lines of the draft
// table c50, and their count.
inline std::pair<std::string, long> LargestJournalMonth(Table& c50) {
  using L = LigneEcriture;
  std::map<std::string, long> months;
  for (bool more = c50.GoTop(""); more; more = c50.Skip(1))
    if (c50.GetField(L::BCLE)[0] == 'Z') ++months[std::string(c50.GetField(L::BMOIS)) + c50.GetField(L::BJAL)];
  std::pair<std::string, long> largest{"", 0};
  for (const auto& [m, n] : months)
    if (n > largest.second) largest = {m, n};
  return largest;
}

// The report set "0" made afresh with the program's own layouts of these codes (file
// src/resources/reports/C-Etat-<code>.txt, kept under its code and name).
inline bool MakeStandardReportSet(std::initializer_list<const char*> codes) {
  const std::string set = PathReportDefs('0');
  if (CreateTableOfKind(TableKind::ReportDefs, set, true) != 0) return false;
  Table t;
  if (!t.OpenShared(set, "CE0CODE")) return false;
  for (const char* code : codes) {
    std::string raw, text;
    const std::string file = std::string(MERLON_SOURCE_DIR) + "/src/resources/reports/C-Etat-" + code + ".txt";
    if (!platform::ReadWholeFile(file, raw) || !platform::Utf8ToCp1252(raw, text, platform::Unassigned::kRefuse))
      return false;
    t.AppendBlank();
    t.PutField(1, code);
    t.PutField(2, code);
    t.InsertRecord();
    t.PutMemoText(11, text);
    t.Commit();
  }
  t.CloseTable(true);
  return true;
}

}  // namespace bench_world
