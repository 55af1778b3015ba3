// A whole main window over a started engine session, in a temporary folder whose "program"
// folder is the program folder, with the modal seam in test mode and the dossier commands
// installed; helpers that generate small demo dossiers there, open them as the user does and
// damage them. The work is in dossier_fixture.cpp (the kit library merlon_dossier_test_kit), so
// that a test compiles only the headers of what it uses itself.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "support/gui_test.h"
#include "support/temp_folder.h"

class Merlon;

namespace fs = std::filesystem;

namespace test_support {

// No dossier open, no slot or recent entry, an empty dossier record.
void ClearDossierState();

class DossierFixture : public GuiTest {
 protected:
  // The command-line argument the program is started with, relative to the test's folder.
  virtual const char* StartArgument() const { return nullptr; }
  // The folder the program is started in, relative to the test's folder ("" the test's folder itself), when
  // the argument is to reach it as given, a path from there, as ./scripts/run.sh passes its own; null: the
  // argument is made absolute from the test's folder. The current folder is put back at the end.
  virtual const char* StartFolder() const { return nullptr; }
  void SetUp() override;
  void TearDown() override;

  // A small generated dossier in root/<folder>/; its folder with the final "/".
  std::string MakeDossier(const std::string& folder, const std::string& code, long lines = 60, bool yearEnd = false);

  std::string C10Path(const std::string& folder, const std::string& code);

  // Opens the dossier through "Ouvrir dossier" and its file dialog.
  // `more` queues the answers of what the opening asks next.
  void OpenThroughDialog(const std::string& chosen, const std::function<void()>& more = {});

  // Runs a command as its menu entry would: posted to the main window, then the queue emptied.
  static void Menu(unsigned command);

  // Closes every child window, the forms without their question on unsaved changes.
  static void CloseWindows();

  // Whether a message box shown since the last reset of the seam holds `text`.
  static bool ShownContains(const std::string& text);

  static std::string ReadAll(const std::string& path);

  // Writes `value` into dossier constant n (1-74) of the C10 record "P0" of a closed dossier.
  void WriteConstant(const std::string& folder, const std::string& code, int n, const std::string& value);

  TempFolder temp_{"merlon-dossier"};
  const std::string root_ = temp_.path();
  Merlon* app_ = nullptr;
  std::string startedIn_;  // the current folder before a StartFolder()
};

}  // namespace test_support

using DossierOpenTest = test_support::DossierFixture;
using test_support::ShownTexts;
