// Modals whose owner window goes away while they run, as when a close posted
// before the modal is delivered inside its loop ("Compléter les fichiers .ini"
// quits, then reports a file no editor could open). The modal ends with its
// way out and nothing made on the stack is deleted by the owner.
#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <string>

#include "gui_test_support.h"
#include "platform/gui/constants.h"
#include "platform/gui/dialog.h"
#include "platform/gui/filedialog.h"
#include "platform/gui/messagebox.h"
#include "platform/gui/window.h"

namespace {

using namespace gui;

const char kSmallDialog[] = R"(DIALOG 9200
CAPTION "Saisie"
FONT 8 "MS Sans Serif"
SIZE 120 60
edit 101 "" 10 10 80 12 tabstop
button 1 "&Ok" 10 40 40 14 default,tabstop
button 2 "&Abandon" 60 40 40 14 tabstop
END
)";

// Real modals (the seam out of test mode), each ended only by its owner's going.
class ModalOwnerTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    std::string err;
    ASSERT_TRUE(DialogTemplates::Register(kSmallDialog, &err)) << err;
    ModalSeam::SetTestMode(false);
  }
  void TearDown() override {
    ModalSeam::SetTestMode(true);
    DialogTemplates::ResetAdded();
    GuiTest::TearDown();
  }
};

TEST_F(ModalOwnerTest, EveryModalEndsWhenItsOwnerIsClosedAndDeletedUnderIt) {
  struct Case {
    const char* what;
    std::function<int(Window*)> run;
  } cases[] = {
      {"message box", [](Window* o) { return MessageBox(o, "\n\nTexte\n\n", "Nuv-Merlon", MB_OKCANCEL); }},
      {"file dialog",
       [](Window* o) {
         std::string path;
         return GetOpenFileName(o, "Ouvrir", "Tables|*.dbf|", "/tmp", path) ? IDOK : IDCANCEL;
       }},
      {"folder dialog",
       [](Window* o) {
         std::string folder;
         return BrowseForFolder(o, "Dossier", "/tmp", folder) ? IDOK : IDCANCEL;
       }},
      {"dialog on the stack",
       [](Window* o) {
         Dialog dialog(o, 9200);
         return dialog.Execute();
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto* owner = new Window;
    owner->SetDeleteOnDestroy(true);
    ASSERT_TRUE(owner->Create());
    owner->Show(SW_SHOWNORMAL);
    const Handle handle = owner->GetHandle();
    // Delivered inside the modal's loop: the owner's widgets and then the
    // owner itself are deleted while the modal runs.
    PostMessage(handle, WM_CLOSE);
    // A modal its owner's going did not end is closed here, and said.
    bool outlived = false;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&outlived] {
      if (QWidget* modal = QApplication::activeModalWidget()) {
        outlived = true;
        modal->close();
      }
    });
    watchdog.start(5000);
    EXPECT_EQ(c.run(owner), IDCANCEL);
    EXPECT_FALSE(outlived) << "the modal outlived its owner";
    ProcessPendingMessages();
    EXPECT_FALSE(IsWindow(handle));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  }
}

// A dialog's parent deleted outside any run lets the dialog go without
// deleting it: its maker (here a variable) still owns it.
TEST_F(ModalOwnerTest, ADialogOutlivesItsParentWindow) {
  auto* parent = new Window;
  ASSERT_TRUE(parent->Create());
  Dialog dialog(parent, 9200);
  ASSERT_TRUE(dialog.Create());
  EXPECT_EQ(dialog.Parent(), parent);
  delete parent;
  EXPECT_EQ(dialog.Parent(), nullptr);
  EXPECT_FALSE(dialog.IsCreated());
}

// Enter closes a message box as it is pressed; its release, which the controls of the window behind would act
// on, is kept from that window, which is active again and takes the next key whole.
TEST_F(ModalOwnerTest, TheReleaseOfTheKeyThatClosedAModalStaysOutOfTheWindowBehind) {
  struct Field : QWidget {
    int releases = 0;
    void keyReleaseEvent(QKeyEvent*) override { ++releases; }
  };
  Window owner;
  ASSERT_TRUE(owner.Create());
  owner.Show(SW_SHOWNORMAL);
  QWidget* top = owner.Widget()->window();
  auto* field = new Field;
  field->setParent(owner.Widget());
  field->setFocusPolicy(Qt::StrongFocus);
  field->show();
  QApplication::setActiveWindow(top);
  field->setFocus();
  auto key = [](QWidget* w, QEvent::Type type) {
    QKeyEvent e(type, Qt::Key_Return, Qt::NoModifier, "\r");
    QApplication::sendEvent(w, &e);
  };
  QTimer::singleShot(0, [&key] {
    if (QWidget* box = QApplication::activeModalWidget())
      key(box->focusWidget() != nullptr ? box->focusWidget() : box, QEvent::KeyPress);
  });
  EXPECT_EQ(MessageBox(&owner, "Texte", "Nuv-Merlon", MB_OK), IDOK);
  QApplication::processEvents();
  EXPECT_EQ(QApplication::activeWindow(), top);
  key(field, QEvent::KeyRelease);
  EXPECT_EQ(field->releases, 0) << "the release of the Enter that closed the box";
  key(field, QEvent::KeyPress);
  key(field, QEvent::KeyRelease);
  EXPECT_EQ(field->releases, 1);
}

}  // namespace
