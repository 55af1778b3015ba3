// MDI children whose frame window is not shown: their client area and the
// EvSize they receive must be those of a shown child of the same rectangle.
#include <QChildEvent>
#include <QCoreApplication>
#include <QWidget>

#include "gui_test_support.h"
#include "platform/gui/mdi.h"
#include "platform/gui/window.h"

using namespace gui;

namespace {

struct Sized {
  int kind, w, h;
  bool operator==(const Sized& o) const { return kind == o.kind && w == o.w && h == o.h; }
};
std::ostream& operator<<(std::ostream& os, const Sized& s) {
  return os << "{" << s.kind << ", " << s.w << "x" << s.h << "}";
}

class Child : public MDIChild {
 public:
  using MDIChild::MDIChild;
  std::vector<Sized> sizes;
  // When set, each EvSize shows the vertical bar while the client area is
  // narrower than this, as a form wider than its window does.
  int needsWidth = 0;

 protected:
  void EvSize(int kind, int w, int h) override {
    sizes.push_back({kind, w, h});
    const Rect r = GetClientRect();
    EXPECT_EQ(r.w, w) << "the client rectangle agrees with EvSize";
    EXPECT_EQ(r.h, h);
    if (needsWidth > 0) SetScrollRange(true, 0, w < needsWidth ? 100 : 0, 10);
    MDIChild::EvSize(kind, w, h);
  }
};

// A frame with its client; `shown` says whether the frame is put on screen.
struct Frame {
  MDIClient* client = new MDIClient;
  std::unique_ptr<MDIFrame> frame = std::make_unique<MDIFrame>("Merlon", client);
  explicit Frame(bool shown) {
    frame->MoveWindow(Rect{0, 0, 800, 600});
    EXPECT_TRUE(frame->Create());
    if (shown) frame->Show(SW_SHOW);
    ProcessPendingMessages();
  }
  Child* NewChild(const Rect& r) {
    auto* c = new Child(client, "Fiche");
    c->MoveWindow(r);
    EXPECT_TRUE(c->Create());
    c->Show(SW_SHOWNORMAL);
    return c;
  }
};

class HiddenChildTest : public GuiTest {};

// What a shown child of that rectangle and those bars has as client area.
Rect ShownClient(const Rect& r, bool vbar, bool hbar) {
  Frame shown(true);
  Child* c = shown.NewChild(r);
  c->SetScrollRange(true, 0, vbar ? 50 : 0);
  c->SetScrollRange(false, 0, hbar ? 50 : 0);
  ProcessPendingMessages();
  return c->GetClientRect();
}

TEST_F(HiddenChildTest, ClientAreaAndEvSizeFollowTheRectangleAndTheBars) {
  struct Case { Rect rect; bool vbar, hbar; } const cases[] = {
      {{10, 20, 520, 310}, true, false},
      {{5, 5, 450, 200}, true, true},
  };
  Frame hidden(false);
  Child* c = hidden.NewChild(Rect{0, 0, 400, 150});
  ASSERT_FALSE(c->IsWindowVisible());
  const Rect first = ShownClient(Rect{0, 0, 400, 150}, false, false);
  ASSERT_EQ(c->sizes.size(), 1u) << "one EvSize at creation";
  EXPECT_EQ(c->sizes[0], (Sized{SIZE_RESTORED, first.w, first.h}));

  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << k.rect.w << "x" << k.rect.h << " v" << k.vbar << " h" << k.hbar);
    const Rect want = ShownClient(k.rect, k.vbar, k.hbar);
    ASSERT_LT(want.w, k.rect.w);
    // Bars first, then the move; and the other way round.
    for (bool barsFirst : {true, false}) {
      c->SetScrollRange(true, 0, 0);
      c->SetScrollRange(false, 0, 0);
      c->MoveWindow(Rect{0, 0, 200, 100});
      c->sizes.clear();
      if (barsFirst) {
        c->SetScrollRange(true, 0, k.vbar ? 50 : 0);
        c->SetScrollRange(false, 0, k.hbar ? 50 : 0);
      }
      c->MoveWindow(k.rect);
      if (!barsFirst) {
        c->SetScrollRange(true, 0, k.vbar ? 50 : 0);
        c->SetScrollRange(false, 0, k.hbar ? 50 : 0);
      }
      EXPECT_EQ(std::pair(c->GetClientRect().w, c->GetClientRect().h), std::pair(want.w, want.h));
      ASSERT_FALSE(c->sizes.empty());
      EXPECT_EQ(c->sizes.back(), (Sized{SIZE_RESTORED, want.w, want.h}));
    }
  }
}

// A frame that never had a menu makes no menu bar while it is destroyed (at a program's end Qt
// may be gone by then).
TEST_F(HiddenChildTest, AFrameWithoutMenuMakesNoMenuBarWhenItIsDestroyed) {
  // A widget made inside the destructor is a child added to the frame's window (a menu bar is
  // still a plain QWidget when its parent is told).
  struct ChildWatch : QObject {
    QObject* window = nullptr;
    int made = 0;
    bool eventFilter(QObject* receiver, QEvent* e) override {
      if (e->type() == QEvent::ChildAdded && receiver == window) ++made;
      return false;
    }
  } watch;
  for (bool shown : {false, true}) {
    Frame f(shown);
    watch.window = f.frame->OuterWidget();
    ASSERT_NE(watch.window, nullptr);
    QCoreApplication::instance()->installEventFilter(&watch);
    f.frame.reset();
    QCoreApplication::instance()->removeEventFilter(&watch);
    EXPECT_EQ(watch.made, 0) << (shown ? "shown" : "hidden");
  }
}

}  // namespace
