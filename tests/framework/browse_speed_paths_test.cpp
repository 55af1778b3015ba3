// The quick path of a list's paint: the rows drawn straight into the
// window show the same pixels as a drawing on a bitmap of their own.
#include <QImage>
#include <QPixmap>
#include <QWidget>

#include "memory_browse.h"
#include "test_subject.h"

namespace {

using BrowseSpeedPathsTest = subject::SubjectTest;

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

}  // namespace
