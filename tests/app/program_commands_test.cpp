// The program's start-up gives every dossier command its work: none of them
// answers "not available yet" any more when the main window receives it.
#include "app/program_commands.h"
#include "shell_frame_fixture.h"

namespace {

class ProgramCommandsTest : public ShellFrameTest {};

constexpr unsigned kDossierCommands[] = {20201, 20202, 20203, 20204, 20205, 20206,
                                         20712, 20722, 20723, 20724, 20725};

TEST_F(ProgramCommandsTest, EveryDossierCommandReachesItsWork) {
  // Before the installation each of them says it is not there yet.
  for (unsigned id : kDossierCommands) EXPECT_FALSE(HasCommandWork(id)) << id;
  gui::SendCommand(MainWindowHandle, 20723);
  ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u);
  EXPECT_EQ(gui::ModalSeam::Shown()[0].text, LoadStr(19990));

  InstallProgramCommands();
  for (unsigned id : kDossierCommands) {
    EXPECT_TRUE(HasCommandWork(id)) << id;
    // No dossier open: each work runs and every question it asks is cancelled.
    gui::ModalSeam::Reset();
    gui::SendCommand(MainWindowHandle, id);
    gui::ProcessPendingMessages();
    for (const gui::ShownModal& shown : gui::ModalSeam::Shown())
      EXPECT_NE(shown.text, LoadStr(19990)) << id << " " << shown.caption;
  }
  // Nothing was started on the way.
  EXPECT_TRUE(launched_.empty());
}

}  // namespace
