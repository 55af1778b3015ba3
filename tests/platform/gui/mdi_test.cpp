#include <QWidget>
#include <QApplication>

#include "gui_test_support.h"
#include "platform/gui/mdi.h"
#include "platform/gui/menu.h"

using namespace gui;

namespace {

class Child : public MDIChild {
 public:
  Child(MDIClient* c, const std::string& caption, bool* refuse = nullptr) : MDIChild(c, caption), refuse_(refuse) {}
  bool CanClose() override {
    ++asked;
    return refuse_ == nullptr || !*refuse_;
  }
  int asked = 0;

 private:
  bool* refuse_;
};

class MdiTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    client = new MDIClient;
    frame = std::make_unique<MDIFrame>("Merlon", client);
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
  MDIClient* client = nullptr;
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

TEST_F(MdiTest, MenuResourceTextErrorsAreReported) {
  struct Case { const char* text; bool ok; };
  for (Case c : {Case{"A\n   1\tx\n", false}, Case{"  1\tx\n", false}, Case{"A\n  0\tzero\n", false},
                 Case{"A\r\n  12\tx\r\n  -\r\n", true}, Case{"A\n  123456789012345678901234\n", false}}) {
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
