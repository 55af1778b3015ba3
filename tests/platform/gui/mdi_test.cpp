#include <QApplication>
#include <QImage>
#include <QMainWindow>
#include <QMenuBar>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QToolBar>
#include <filesystem>
#include <set>

#include "gui_test_support.h"
#include "platform/gui/controlbar.h"
#include "platform/gui/mdi.h"
#include "platform/gui/menu.h"
#include "platform/gui/statusbar.h"

using namespace gui;

namespace {

// State that the enablers below read, as the shell's enablers read theirs.
struct AppState { bool dossierOpen = false; bool reportChoice = false; std::vector<unsigned> ran; };
AppState state;

class Client : public MDIClient {
 public:
  void CmOpen() { state.ran.push_back(20202); }
  void CeOpen(CommandEnabler& ce) { ce.Enable(!state.dossierOpen); }
  void CmClose() { state.ran.push_back(20203); }
  void CeNeedsDossier(CommandEnabler& ce) { ce.Enable(state.dossierOpen); }
  void CmChoice() { state.reportChoice = !state.reportChoice; }
  void CeChoice(CommandEnabler& ce) {
    ce.Enable(true);
    ce.SetCheck(state.reportChoice ? CHECK_CHECKED : CHECK_UNCHECKED);
  }
  static const ResponseTable& Table() {
    static const ResponseTable table = ResponseTable(&MDIClient::Table())
                                           .Command(20202, &Client::CmOpen)
                                           .Enable(20202, &Client::CeOpen)
                                           .Command(20203, &Client::CmClose)
                                           .Enable(20203, &Client::CeNeedsDossier)
                                           .Command(20033, &Client::CmChoice)
                                           .Enable(20033, &Client::CeChoice);
    return table;
  }
  const ResponseTable& Responses() const override { return Table(); }
};

class Child : public MDIChild {
 public:
  Child(MDIClient* c, const std::string& caption, bool* refuse = nullptr)
      : MDIChild(c, caption), refuse_(refuse) {}
  bool CanClose() override {
    ++asked;
    return refuse_ == nullptr || !*refuse_;
  }
  void CmPrint() { ++printed; }
  static const ResponseTable& Table() {
    static const ResponseTable table = ResponseTable(&MDIChild::Table()).Command(20041, &Child::CmPrint);
    return table;
  }
  const ResponseTable& Responses() const override { return Table(); }
  int asked = 0;
  int printed = 0;

 private:
  bool* refuse_;
};

const char* kMenu =
    "# test menu\n"
    "&Fichier\n"
    "  20202\t&Ouvrir dossier...\n"
    "  20203\t&Fermer dossier\n"
    "  -\n"
    "  20041\t&Imprimer\\tCtrl+P\n"
    "  20999\tSans gestionnaire\n"
    "&Options\n"
    "  20033\tChoix des \xC3\xA9tats\n"
    "  &Sous-menu\n"
    "    24361\t&Cascade\n"
    "Fe&n\xC3\xAAtres\n"
    "  24365\tTout &Fermer\n";

class MdiTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    state = AppState{};
    client = new Client;
    frame = std::make_unique<MDIFrame>("Merlon", client);
    std::string error;
    auto menu = Menu::FromText(kMenu, &error);
    ASSERT_TRUE(menu) << error;
    frame->SetMenu(std::move(menu));
    ASSERT_TRUE(frame->Create());
    frame->MoveWindow({0, 0, 800, 600});
    frame->Show(SW_SHOW);
  }
  Child* AddChild(const std::string& caption, bool* refuse = nullptr) {
    auto* c = new Child(client, caption, refuse);
    EXPECT_TRUE(c->Create());
    c->MoveWindow({0, 0, 200, 150});
    c->Show(SW_SHOW);
    c->Activate();
    return c;
  }
  Client* client = nullptr;
  std::unique_ptr<MDIFrame> frame;
};

TEST_F(MdiTest, CloseChildrenRefusedByOneChildClosesNone) {
  bool refuse = true;
  Child* a = AddChild("A");
  Child* b = AddChild("B", &refuse);
  Child* c = AddChild("C");
  EXPECT_FALSE(client->CloseChildren());
  EXPECT_EQ(client->GetChildren().size(), 3u);
  EXPECT_TRUE(a->IsCreated() && b->IsCreated() && c->IsCreated());

  refuse = false;
  Handle ha = a->GetHandle(), hb = b->GetHandle(), hc = c->GetHandle();
  EXPECT_TRUE(client->CloseChildren());
  EXPECT_FALSE(IsWindow(ha) || IsWindow(hb) || IsWindow(hc));
  ProcessPendingMessages();  // children are deleted by the layer
  EXPECT_TRUE(client->GetChildren().empty());
  EXPECT_TRUE(client->CloseChildren()) << "no child: nothing refuses";
}

TEST_F(MdiTest, CloseAllCommandAndChildCloseBoxAskCanClose) {
  bool refuse = true;
  Child* b = AddChild("B", &refuse);
  // The frame's close box asks the children through CanClose.
  EXPECT_FALSE(frame->CloseWindow());
  EXPECT_TRUE(frame->IsCreated());
  // The sub-window's own close box.
  b->OuterWidget()->close();
  EXPECT_TRUE(b->IsCreated());
  EXPECT_GE(b->asked, 2);
  refuse = false;
  EXPECT_TRUE(frame->RouteCommand(CM_CLOSECHILDREN));
  EXPECT_TRUE(client->GetChildren().empty());
}

TEST_F(MdiTest, CommandsReachActiveChildThenClient) {
  Child* a = AddChild("A");
  ASSERT_EQ(client->GetActiveMDIChild(), a);
  EXPECT_TRUE(frame->RouteCommand(20041));
  EXPECT_EQ(a->printed, 1);
  EXPECT_TRUE(frame->RouteCommand(20202));
  EXPECT_EQ(state.ran, (std::vector<unsigned>{20202}));
  EXPECT_FALSE(frame->RouteCommand(20999));
  a->Destroy();
  ProcessPendingMessages();
  CommandEnabler ce(20041);
  frame->RouteCommandEnable(ce);
  EXPECT_FALSE(ce.Handled()) << "printing belongs to the child, none is left";
}

// A child closed just before the frame goes: the frame's deletion takes the
// child with it, and the child's delayed delete then finds nothing to do.
TEST_F(MdiTest, FrameDeletedBeforeAClosedChildsDelayedDelete) {
  static int deleted = 0;
  struct Counted : Child {
    using Child::Child;
    ~Counted() override { ++deleted; }
  };
  deleted = 0;
  auto* c = new Counted(client, "A");
  ASSERT_TRUE(c->Create());
  c->Show(SW_SHOW);
  const Handle h = c->GetHandle();
  SendMessage(h, WM_CLOSE);
  EXPECT_FALSE(IsWindow(h));
  frame.reset();
  EXPECT_EQ(deleted, 1);
  ProcessPendingMessages();
  EXPECT_EQ(deleted, 1);
}

TEST_F(MdiTest, MenuEnablersGreyAndCheckItems) {
  Menu* bar = frame->GetMenu();
  Menu* file = bar->GetSubMenu(0);
  ASSERT_NE(file, nullptr);
  file->RunEnablers();
  EXPECT_TRUE(bar->IsItemEnabled(20202));
  EXPECT_FALSE(bar->IsItemEnabled(20203));
  EXPECT_FALSE(bar->IsItemEnabled(20041)) << "no child to print";
  EXPECT_FALSE(bar->IsItemEnabled(20999)) << "no handler anywhere";
  state.dossierOpen = true;
  file->RunEnablers();
  EXPECT_FALSE(bar->IsItemEnabled(20202));
  EXPECT_TRUE(bar->IsItemEnabled(20203));
  // Choosing a greyed item does nothing; an enabled one runs.
  EXPECT_FALSE(bar->Choose(20202));
  EXPECT_TRUE(bar->Choose(20203));
  EXPECT_EQ(state.ran, (std::vector<unsigned>{20203}));
  Menu* options = bar->GetSubMenu(1);
  state.reportChoice = true;
  options->RunEnablers();
  EXPECT_TRUE(bar->IsItemChecked(20033));
}

TEST_F(MdiTest, MenuResourceTextErrorsAreReported) {
  struct Case { const char* text; bool ok; };
  for (Case c : {Case{"A\n  1\tx\n", true}, Case{"A\n   1\tx\n", false}, Case{"  1\tx\n", false},
                 Case{"A\n  0\tzero\n", false}, Case{"A\n  70000\tbig\n", false}, Case{"\n# only\n", true},
                 Case{"A\r\n  12\tx\r\n  -\r\n", true}, Case{"A\n  21201\n", true},
                 Case{"A\n  123456789012345678901234\n", false}}) {
    std::string error;
    auto m = Menu::FromText(c.text, &error);
    EXPECT_EQ(m != nullptr, c.ok) << c.text << " " << error;
  }
  auto m = Menu::FromText("A\n  B\n    7\tdeep\n  8\tflat\nC\n");
  ASSERT_TRUE(m);
  ASSERT_EQ(m->GetItemCount(), 2);
  EXPECT_EQ(m->GetSubMenu(0)->GetItemCount(), 2);
  EXPECT_EQ(m->CommandIds(), (std::vector<unsigned>{7, 8}));
  EXPECT_EQ(m->GetItemText(1), "C");
}

}  // namespace
