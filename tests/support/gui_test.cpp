#include "support/gui_test.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QListWidget>
#include <QRegularExpression>
#include <QStyle>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <set>

namespace test_support {

struct Picture::Data {
  QImage image;
};

namespace {

Picture PictureOf(QImage image) { return Picture(std::make_shared<const Picture::Data>(Picture::Data{std::move(image)})); }

// The Qt key of a key the tests send: the window layer's virtual-key codes where it has them
// (letters and digits are their own codes), the kit's codes for the others.
int QtKeyOf(int key) {
  struct Pair {
    int key;
    Qt::Key qt;
  };
  static constexpr Pair kKeys[] = {
      {gui::VK_BACK, Qt::Key_Backspace}, {gui::VK_TAB, Qt::Key_Tab},          {gui::VK_RETURN, Qt::Key_Return},
      {gui::VK_SHIFT, Qt::Key_Shift},    {gui::VK_CONTROL, Qt::Key_Control},  {gui::VK_MENU, Qt::Key_Alt},
      {gui::VK_ESCAPE, Qt::Key_Escape},  {gui::VK_SPACE, Qt::Key_Space},      {gui::VK_PRIOR, Qt::Key_PageUp},
      {gui::VK_NEXT, Qt::Key_PageDown},  {gui::VK_END, Qt::Key_End},          {gui::VK_HOME, Qt::Key_Home},
      {gui::VK_LEFT, Qt::Key_Left},      {gui::VK_UP, Qt::Key_Up},            {gui::VK_RIGHT, Qt::Key_Right},
      {gui::VK_DOWN, Qt::Key_Down},      {gui::VK_INSERT, Qt::Key_Insert},    {gui::VK_DELETE, Qt::Key_Delete},
      {kKeyBacktab, Qt::Key_Backtab},    {kKeyLess, Qt::Key_Less},            {kKeyGreater, Qt::Key_Greater},
      {kKeyPlus, Qt::Key_Plus},          {kKeyMinus, Qt::Key_Minus},          {kKeyF24, Qt::Key_F24},
  };
  if (key == 0) return 0;
  if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) return key;
  if (key >= gui::VK_F1 && key <= gui::VK_F12) return Qt::Key_F1 + (key - gui::VK_F1);
  for (const Pair& p : kKeys)
    if (p.key == key) return p.qt;
  ADD_FAILURE() << "key " << key << " is neither a virtual-key code nor one of the kit's keys";
  return 0;
}

Qt::KeyboardModifiers QtModifiersOf(KeyModifiers modifiers) {
  Qt::KeyboardModifiers qt = Qt::NoModifier;
  if (modifiers & kShiftModifier) qt |= Qt::ShiftModifier;
  if (modifiers & kControlModifier) qt |= Qt::ControlModifier;
  if (modifiers & kAltModifier) qt |= Qt::AltModifier;
  return qt;
}

}  // namespace

std::uint32_t Picture::Pixel(int x, int y) const {
  if (data_ == nullptr || !data_->image.valid(x, y)) return 0;
  return data_->image.pixelColor(x, y).rgba();
}

bool Picture::Save(const std::string& path) const {
  return data_ != nullptr && data_->image.save(QString::fromStdString(path));
}

Picture Screenshot(QWidget* widget, const std::string& subject, const std::string& name) {
  EXPECT_NE(widget, nullptr);
  if (widget == nullptr) return {};
  QApplication::processEvents();
  QImage img = widget->grab().toImage();
  EXPECT_FALSE(img.isNull()) << name;
  std::set<QRgb> colours;
  for (int y = 0; y < img.height(); y += 2)
    for (int x = 0; x < img.width(); x += 2) colours.insert(img.pixel(x, y));
  EXPECT_GT(colours.size(), 2u) << name << ": the picture is blank";
  EXPECT_TRUE(img.save(QString::fromStdString(ArtefactPath(subject, name + ".png")))) << name;
  return PictureOf(std::move(img));
}

Picture OnScreen(QWidget* widget) {
  QApplication::processEvents();
  QWidget* top = widget->window();
  const QImage screen = QGuiApplication::primaryScreen()->grabWindow(top->winId()).toImage();
  return PictureOf(screen.copy(QRect(widget->mapTo(top, QPoint(0, 0)), widget->size())));
}

Picture ScreenshotMessage(const gui::ShownModal& shown, const std::string& subject, const std::string& name) {
  std::unique_ptr<QWidget> box(gui::NewMessageBoxWidget(shown.text, shown.caption, shown.style));
  box->adjustSize();
  return Screenshot(box.get(), subject, name);
}

::testing::AssertionResult CaptionFits(QWidget* top) {
  QFont font = QFontDatabase::systemFont(QFontDatabase::TitleFont);
  font.setBold(true);
  const QFontMetrics fm(font);
  const int needed = top->windowTitle().isEmpty() ? 0 : fm.horizontalAdvance(top->windowTitle()) + 3 * fm.height();
  if (top->width() >= needed) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "\"" << top->windowTitle().toStdString() << "\" needs " << needed
                                       << " pixels, the window is " << top->width();
}

std::vector<std::string> CutListLines(QWidget* widget, bool amountsOnly) {
  std::vector<std::string> cut;
  auto* list = qobject_cast<QListWidget*>(widget);
  if (list == nullptr || list->horizontalScrollBarPolicy() != Qt::ScrollBarAlwaysOff) return cut;
  const QFontMetrics fm(list->font());
  const int margins = 2 * (QApplication::style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
  const int room = list->viewport()->width();
  for (int i = 0; i < list->count(); ++i) {
    QString text = list->item(i)->text();
    if (amountsOnly) {
      static const QRegularExpression amount("[.,][0-9]{2}( (Db|Cr))?");
      qsizetype end = -1;
      for (auto it = amount.globalMatch(text); it.hasNext();) end = it.next().capturedEnd();
      if (end < 0) continue;
      text = text.left(end);
    }
    // As its delegate lays it out (a tab stop puts the rest of the line at its place), and never
    // narrower than its characters.
    const int drawn = std::max(amountsOnly ? 0 : list->sizeHintForIndex(list->model()->index(i, 0)).width(),
                               fm.horizontalAdvance(QString(text).replace('\t', ' ')) + margins);
    if (drawn > room) cut.push_back(text.toStdString());
  }
  return cut;
}

void SendKey(QWidget* w, KeyAction action, int key, KeyModifiers modifiers, const std::string& text) {
  QKeyEvent e(action == kKeyPress ? QEvent::KeyPress : QEvent::KeyRelease, QtKeyOf(key), QtModifiersOf(modifiers),
              QString::fromStdString(text));
  QApplication::sendEvent(w, &e);
}

}  // namespace test_support
