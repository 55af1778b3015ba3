#include <QApplication>
#include <QWidget>
#include <string>
#include <vector>

#include "gui_test_support.h"
#include "platform/gui/menu.h"
#include "platform/gui/accelerators.h"
#include "platform/gui/window.h"

using namespace gui;

namespace {

// Records the commands it receives; command 1 posts 2 and 3 to itself and
// sends 4, so the order shows what is queued and what is immediate.
class Recorder : public Window {
 public:
  explicit Recorder(Window* parent = nullptr) : Window(parent) {}
  std::vector<unsigned> got;
  bool allowClose = true;
  bool setupRan = false;

  void CmFirst() {
    got.push_back(1);
    PostCommand(GetHandle(), 2);
    PostCommand(GetHandle(), 3);
    SendCommand(GetHandle(), 4);
    got.push_back(100);  // end of the first handler
  }
  void CmOther(unsigned id) { got.push_back(id); }
  void CeOther(CommandEnabler& ce) { ce.Enable(ce.Id() != 3); }
  void CmSelfDestroy() { Destroy(); }

  static const ResponseTable& Table() {
    static const ResponseTable table = ResponseTable(&Window::Table())
                                           .Command(1, &Recorder::CmFirst)
                                           .CommandRange(2, 9, &Recorder::CmOther)
                                           .EnableRange(2, 9, &Recorder::CeOther)
                                           .Command(50, &Recorder::CmSelfDestroy);
    return table;
  }
  const ResponseTable& Responses() const override { return Table(); }
  bool CanClose() override { return allowClose && Window::CanClose(); }

 protected:
  void SetupWindow() override { setupRan = true; }
};

// A derived class overrides one entry of its base's table.
class Derived : public Recorder {
 public:
  void CmOverride() { got.push_back(77); }
  static const ResponseTable& Table() {
    static const ResponseTable table = ResponseTable(&Recorder::Table()).Command(5, &Derived::CmOverride);
    return table;
  }
  const ResponseTable& Responses() const override { return Table(); }
};

class WindowTest : public GuiTest {};

TEST_F(WindowTest, HandlesAreUniqueNonZeroTenDigitsAndNeverReused) {
  std::vector<Handle> seen;
  for (int i = 0; i < 20; ++i) {
    Recorder w;
    ASSERT_TRUE(w.Create());
    Handle h = w.GetHandle();
    EXPECT_NE(h, 0u);
    EXPECT_LE(std::to_string(h).size(), 10u);
    EXPECT_EQ(Window::FromHandle(h), &w);
    for (Handle old : seen) EXPECT_NE(old, h);
    seen.push_back(h);
    w.Destroy();
    EXPECT_FALSE(IsWindow(h));
    EXPECT_EQ(w.GetHandle(), 0u);
  }
  // Destroyed windows' handles stay stale, even after new windows appear.
  for (Handle h : seen) EXPECT_EQ(Window::FromHandle(h), nullptr);
}

TEST_F(WindowTest, CreateBuildsChildrenAndRunsSetup) {
  Recorder parent;
  auto* child = new Recorder(&parent);
  EXPECT_FALSE(child->Create()) << "a child cannot exist before its parent";
  ASSERT_TRUE(parent.Create());
  EXPECT_TRUE(child->IsCreated());
  EXPECT_TRUE(parent.setupRan);
  EXPECT_TRUE(child->setupRan);
  Handle ch = child->GetHandle();
  parent.Destroy();
  EXPECT_FALSE(IsWindow(ch)) << "children go with their parent";
}

TEST_F(WindowTest, PostedCommandsRunLaterInOrderSentOnesAtOnce) {
  Recorder w;
  ASSERT_TRUE(w.Create());
  ASSERT_TRUE(PostCommand(w.GetHandle(), 1));
  EXPECT_TRUE(w.got.empty()) << "a posted command waits for the loop";
  ProcessPendingMessages();
  EXPECT_EQ(w.got, (std::vector<unsigned>{1, 4, 100, 2, 3}));
}

TEST_F(WindowTest, MessagesToStaleHandlesAreDroppedAndReported) {
  auto* w = new Recorder;
  ASSERT_TRUE(w->Create());
  Handle h = w->GetHandle();
  ASSERT_TRUE(PostCommand(h, 2));
  w->Destroy();  // destroyed while the command is still queued
  delete w;
  ProcessPendingMessages();  // must not reach the deleted object
  EXPECT_FALSE(PostCommand(h, 2));
  EXPECT_FALSE(SendCommand(h, 2));
  EXPECT_EQ(SendMessage(h, WM_COMMAND, 2), 0);
  EXPECT_FALSE(PostCommand(0, 2));
}

TEST_F(WindowTest, HandlerMayDestroyItsOwnWindow) {
  Recorder parent;
  ASSERT_TRUE(parent.Create());
  auto* child = new Recorder(&parent);
  child->SetDeleteOnDestroy(true);
  ASSERT_TRUE(child->Create());
  Handle h = child->GetHandle();
  EXPECT_TRUE(SendCommand(h, 50));
  EXPECT_FALSE(IsWindow(h));
  ProcessPendingMessages();  // the object is deleted here
  EXPECT_TRUE(parent.Children().empty());
}

// A destroyed window waits for its delayed delete; when its parent is deleted
// first (the frame closing), the delayed delete must not reach it again.
TEST_F(WindowTest, DelayedDeleteAfterTheParentWentFirst) {
  static int deleted = 0;
  struct Counted : Recorder {
    using Recorder::Recorder;
    ~Counted() override { ++deleted; }
  };
  deleted = 0;
  auto* parent = new Recorder;
  ASSERT_TRUE(parent->Create());
  auto* child = new Counted(parent);
  child->SetDeleteOnDestroy(true);
  ASSERT_TRUE(child->Create());
  child->Destroy();
  delete parent;  // deletes the child it still owns
  EXPECT_EQ(deleted, 1);
  ProcessPendingMessages();
  EXPECT_EQ(deleted, 1);

  // A window that destroys itself twice is deleted once.
  auto* again = new Counted;
  again->SetDeleteOnDestroy(true);
  ASSERT_TRUE(again->Create());
  again->Destroy();
  again->Destroy();
  ProcessPendingMessages();
  EXPECT_EQ(deleted, 2);
}

TEST_F(WindowTest, ResponseTablesChainAndEnablersDecide) {
  Derived w;
  ASSERT_TRUE(w.Create());
  struct Case { unsigned id; bool handled; bool enabled; };
  for (Case c : {Case{1, true, true}, Case{2, true, true}, Case{3, true, false}, Case{5, true, true},
                 Case{10, false, false}}) {
    CommandEnabler ce(c.id);
    w.EvCommandEnable(ce);
    EXPECT_EQ(ce.Handled(), c.handled) << c.id;
    EXPECT_EQ(ce.Enabled(), c.enabled) << c.id;
  }
  EXPECT_TRUE(w.EvCommand(5));
  EXPECT_TRUE(w.EvCommand(6));
  EXPECT_FALSE(w.EvCommand(10));
  EXPECT_EQ(w.got, (std::vector<unsigned>{77, 6}));
}

TEST_F(WindowTest, CloseAsksCanCloseAndWmClosePostedLater) {
  Recorder w;
  ASSERT_TRUE(w.Create());
  w.allowClose = false;
  EXPECT_FALSE(w.CloseWindow());
  EXPECT_TRUE(w.IsCreated());
  ASSERT_TRUE(PostMessage(w.GetHandle(), WM_CLOSE));
  ProcessPendingMessages();
  EXPECT_TRUE(w.IsCreated());
  w.allowClose = true;
  ASSERT_TRUE(PostMessage(w.GetHandle(), WM_CLOSE));
  ProcessPendingMessages();
  EXPECT_FALSE(w.IsCreated());
}

TEST_F(WindowTest, ResourcesAreEmbeddedAndMissingOnesReported) {
  Window w;
  ASSERT_TRUE(w.Create());
  EXPECT_TRUE(w.SetIconResource(1001)) << "the frame icon is embedded in the library";
  EXPECT_FALSE(w.SetIconResource(999999));
  EXPECT_EQ(Menu::Load(999999), nullptr);
  EXPECT_EQ(AcceleratorTable::Load(999999), nullptr);
}

}  // namespace
