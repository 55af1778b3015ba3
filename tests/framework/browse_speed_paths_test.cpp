// The quick paths of a list's paint: the rows drawn straight into the
// window show the same pixels as a drawing on a bitmap of their own, and
// the scroll bar repaints only when its thumb moves.
#include <QEvent>
#include <QImage>
#include <QPixmap>
#include <QScrollBar>
#include <QWidget>

#include "memory_browse.h"
#include "test_subject.h"

namespace {

using BrowseSpeedPathsTest = subject::SubjectTest;

// Counts the paint events of a widget.
class PaintCounter : public QObject {
 public:
  int count = 0;

 protected:
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) ++count;
    return false;
  }
};

QScrollBar* VerticalBar(CMDIBrowse* list) {
  for (QScrollBar* b : list->View()->Widget()->findChildren<QScrollBar*>())
    if (b->orientation() == Qt::Vertical) return b;
  return nullptr;
}

TEST_F(BrowseSpeedPathsTest, WindowShowsWhatTheListDraws) {
  MemorySource src = MemorySource::Make(500);
  src.records[3].cancelled = true;
  src.records[6].cancelled = true;
  auto* list = Show(new MemoryBrowse(client_, src, MemoryColumns()));
  for (bool doubleBuffer : {true, false}) {
    list->doubleBuffer = doubleBuffer;
    Key(list, gui::VK_DOWN);
    Key(list, gui::VK_DOWN);
    list->CmRafraichirTotal();
    const gui::Rect c = list->ClientArea();
    ASSERT_GT(c.w, 0);
    // The stripe flag runs on from one drawing to the next: both start alike.
    const bool stripe = list->stripe_;
    const QImage shown = list->View()->Widget()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    list->stripe_ = stripe;
    gui::MemoryDC mem(c.w, c.h);
    list->DrawList(mem, c.w, c.h);
    const QImage drawn = mem.GetBitmap().Image().convertToFormat(QImage::Format_RGB32);
    ASSERT_GE(shown.width(), c.w);
    ASSERT_GE(shown.height(), c.h);
    int differing = 0;
    for (int y = 0; y < c.h; ++y)
      for (int x = 0; x < c.w; ++x)
        if (shown.pixel(x, y) != drawn.pixel(x, y)) ++differing;
    EXPECT_EQ(differing, 0) << "double buffering " << doubleBuffer;
  }
}

TEST_F(BrowseSpeedPathsTest, ScrollBarRepaintsOnlyWhenItsThumbMoves) {
  struct Case {
    const char* what;
    long records;
    int key;
    bool painted;
  } cases[] = {
      {"a page of a long list", 100000, gui::VK_NEXT, false},
      {"to the end of a long list", 100000, gui::VK_END, true},
      {"a page of a short list", 200, gui::VK_NEXT, true},
  };
  for (const Case& c : cases) {
    MemorySource src = MemorySource::Make(c.records);
    auto* list = Show(new MemoryBrowse(client_, src, MemoryColumns()));
    QScrollBar* bar = VerticalBar(list);
    ASSERT_NE(bar, nullptr) << c.what;
    PaintCounter counter;
    bar->installEventFilter(&counter);
    // Away from the top first (the ends always repaint), then the move
    // looked at.
    Key(list, gui::VK_NEXT);
    Key(list, gui::VK_NEXT);
    counter.count = 0;
    Key(list, c.key);
    EXPECT_EQ(counter.count > 0, c.painted) << c.what;
    // The bar's position follows the page whether or not it was repainted.
    EXPECT_EQ(bar->value(), list->Store().top) << c.what;
    EXPECT_EQ(list->View()->GetScrollPos(true), list->Store().top) << c.what;
    bar->removeEventFilter(&counter);
    list->Destroy();
    gui::ProcessPendingMessages();
  }
}

}  // namespace
