#include "support/dossier_fixture.h"

#include <stdlib.h>

#include <fstream>
#include <sstream>

#include "data/session.h"
#include "data/table.h"
#include "demo/dossier_demo.h"
#include "dossier/core/dossier_create.h"
#include "dossier/dossier_commands.h"
#include "framework/edit_form.h"
#include "platform/gui/command.h"
#include "platform/gui/messagebox.h"
#include "platform/gui/modal_seam.h"
#include "resources/command_ids.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/runtime_hooks.h"
#include "runtime/session_registry.h"
#include "runtime/xbase.h"
#include "shell/application.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"
#include "shell/utility_commands.h"

namespace test_support {

void ClearDossierState() {
  SetDossierState(' ');
  DossierCode.clear();
  DossierFolder.clear();
  for (auto& s : DossierSlots) s.clear();
  for (auto& r : RecentDossiers) r.clear();
  TheDossierRecord.Clear();
}

void DossierFixture::SetUp() {
  GuiTest::SetUp();
  setenv("MERLON_HOME", (root_ + "/program").c_str(), 1);
  fs::create_directories(root_ + "/program");
  SetProgramFolder(root_ + "/program");
  Services() = ShellServices{};
  Utilities() = UtilityServices{};
  static char arg0[] = "merlon";
  static std::string arg1;
  static char* argv[] = {arg0, nullptr, nullptr};
  int argc = 1;
  if (const char* rel = StartArgument()) {
    arg1 = root_ + "/" + rel;
    if (const char* from = StartFolder()) {
      startedIn_ = fs::current_path().string();
      fs::create_directories(root_ + "/" + from);
      fs::current_path(root_ + "/" + from);
      arg1 = rel;
    }
    argv[1] = arg1.data();
    argc = 2;
  }
  app_ = new Merlon(argc, argv, true);
  app_->InitMainWindow();
  ASSERT_NE(MainFrame, nullptr);
  ASSERT_TRUE(MainFrame->Create());
  gui::ProcessPendingMessages();
  ASSERT_EQ(StartDbSession(), 0);
  // Runtime messages (the dossier lock's refusal) go through the modal seam.
  SetRuntimeMessageHook([](const char* caption, const char* text, unsigned style) {
    return gui::MessageBox(nullptr, text, caption, style);
  });
  SetRuntimeBeepHook([](unsigned) {});
  ASSERT_TRUE(MakeReferenceTables(ProgramFolder));
  InstallDossierCommands();
  ClearDossierState();
  IniSetString("LancementAuto", "N");
  gui::ModalSeam::Reset();
}

void DossierFixture::TearDown() {
  if (!startedIn_.empty()) fs::current_path(startedIn_);
  CloseAllTables();
  if (DossierLockTable != nullptr) DossierLockTable->CloseTable(true);
  StopDbSession();
  delete app_;
  app_ = nullptr;
  SetRuntimeMessageHook(nullptr);
  SetRuntimeBeepHook(nullptr);
  Services() = ShellServices{};
  Utilities() = UtilityServices{};
  for (unsigned id :
       {command_id::FichierOuvrirDossier, command_id::FichierFermerDossier, command_id::FichierChangerDossier})
    SetCommandWork(id, {});
  ClearDossierState();
  GuiTest::TearDown();
}

std::string DossierFixture::MakeDossier(const std::string& folder, const std::string& code, long lines,
                                        bool yearEnd) {
  DemoOptions options;
  options.folder = root_ + "/" + folder;
  options.code = code;
  options.lines = lines;
  options.yearEnd = yearEnd;
  std::string message;
  EXPECT_TRUE(GenerateDemoDossier(options, &message)) << message;
  return options.folder + "/";
}

std::string DossierFixture::C10Path(const std::string& folder, const std::string& code) {
  return folder + "c10" + Lower(code.c_str()) + ".dbf";
}

void DossierFixture::OpenThroughDialog(const std::string& chosen, const std::function<void()>& more) {
  gui::ModalSeam::QueueFileAnswer(chosen);
  if (more) more();
  RunSubjectCommand(20202);
  gui::ProcessPendingMessages();
}

void DossierFixture::Menu(unsigned command) {
  gui::PostCommand(CommandWindow->GetHandle(), command);
  gui::ProcessPendingMessages();
}

void DossierFixture::CloseWindows() {
  if (CommandWindow != nullptr) {
    for (gui::MDIChild* child : CommandWindow->GetChildren())
      if (auto* form = dynamic_cast<CMDIModif*>(child)) form->NoCheckFlag = true;
    CommandWindow->CloseChildren();
  }
  gui::ProcessPendingMessages();
}

bool DossierFixture::ShownContains(const std::string& text) {
  for (const gui::ShownModal& s : gui::ModalSeam::Shown())
    if (s.text.find(text) != std::string::npos) return true;
  return false;
}

std::string DossierFixture::ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void DossierFixture::WriteConstant(const std::string& folder, const std::string& code, int n,
                                   const std::string& value) {
  Table c10;
  ASSERT_TRUE(c10.OpenShared(C10Path(folder, code), "C10CODE"));
  ASSERT_TRUE(c10.Seek("C10CODE", "P", "0"));
  const int field = n < 85 ? 4 : 5;  // 539-790 in field 4, 791-1042 in field 5
  const int position = field == 4 ? 3 * n - 2 : 3 * n - 254;
  std::string padded = value;
  padded.resize(3, ' ');  // the part replaced keeps its width
  ASSERT_TRUE(c10.PutFieldPart(field, position, 3, padded.c_str()));
  c10.CloseTable(true);
}

}  // namespace test_support
