#include "runtime/runtime_init.h"

#include "platform/system/files.h"
#include "platform/system/process.h"
#include "resources/string_table.h"
#include "runtime/inifiles.h"
#include "runtime/runtime_internal.h"
#include "runtime/xbase.h"

namespace {

// The first text of the table, read once to convert the table, by its id.
constexpr int kProgramName = 0;

bool g_started = false;
RuntimeGraphicsHook g_makeGraphics = nullptr;
RuntimeGraphicsHook g_freeGraphics = nullptr;
}  // namespace

void SetRuntimeGraphicsHooks(RuntimeGraphicsHook make, RuntimeGraphicsHook free) {
  g_makeGraphics = make;
  g_freeGraphics = free;
}

bool InitRuntime() {
  // A file-size limit then refuses a write (the engine's full-disk path) rather than kill us.
  platform::IgnoreFileSizeLimitSignal();
  ResetTextBuffers();
  ResetNumberBuffers();
  resources::FindString(kProgramName);  // converts the string table once, now
  if (ProgramFolder.empty()) SetProgramFolder(DefaultProgramFolder());
  platform::MakeDirectories(ProgramFolder);
  // Fonts, pens and brushes shared by every window (window layer).
  if (g_makeGraphics && !g_makeGraphics()) return false;
  g_started = true;
  return true;
}

void FreeRuntime() {
  if (g_freeGraphics && g_started) g_freeGraphics();
  FreeTextBuffers();
  ResetNumberBuffers();
  g_started = false;
}

bool RuntimeStarted() { return g_started; }
