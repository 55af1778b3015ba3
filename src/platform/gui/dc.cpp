#include "platform/gui/dc.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPalette>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "platform/gui/dc_internal.h"
#include "platform/gui/text_codec.h"

namespace gui {

// ---- Colours ---------------------------------------------------------------

QColor ToQColor(ColorRef c) { return QColor(RedOf(c), GreenOf(c), BlueOf(c)); }
ColorRef FromQColor(const QColor& c) { return Rgb(c.red(), c.green(), c.blue()); }

ColorRef GetSysColor(SysColor which) {
  if (QGuiApplication::instance() == nullptr) {
    switch (which) {
      case SysColor::BtnFace: return Rgb(240, 240, 240);
      case SysColor::BtnShadow: return colors::Gray;
      case SysColor::BtnHighlight: case SysColor::Window: case SysColor::HighlightText: return colors::White;
      case SysColor::WindowText: return colors::Black;
      case SysColor::Highlight: return Rgb(0, 120, 215);
      case SysColor::GrayText: return Rgb(109, 109, 109);
    }
  }
  const QPalette pal = QGuiApplication::palette();
  switch (which) {
    case SysColor::BtnFace: return FromQColor(pal.color(QPalette::Button));
    case SysColor::BtnShadow: return FromQColor(pal.color(QPalette::Dark));
    case SysColor::BtnHighlight: return FromQColor(pal.color(QPalette::Light));
    case SysColor::Window: return FromQColor(pal.color(QPalette::Base));
    case SysColor::WindowText: return FromQColor(pal.color(QPalette::WindowText));
    case SysColor::Highlight: return FromQColor(pal.color(QPalette::Highlight));
    case SysColor::HighlightText: return FromQColor(pal.color(QPalette::HighlightedText));
    case SysColor::GrayText: return FromQColor(pal.color(QPalette::Disabled, QPalette::Text));
  }
  return colors::Black;
}

// ---- Fonts -----------------------------------------------------------------

int FontHeightForPoints(int points, int dpi) {
  // Rounded half away from zero, as the Windows MulDiv the settings were made with.
  const long long num = -static_cast<long long>(points) * dpi;
  const long long q = (std::llabs(num) + 36) / 72;
  return static_cast<int>(num < 0 ? -q : q);
}

namespace {

QImage& MeasureDevice() {
  static QImage img = [] {
    QImage i(1, 1, QImage::Format_ARGB32_Premultiplied);
    const int dpi = ScreenLogPixelsY();
    i.setDotsPerMeterX(static_cast<int>(std::lround(dpi / 0.0254)));
    i.setDotsPerMeterY(static_cast<int>(std::lround(dpi / 0.0254)));
    return i;
  }();
  return img;
}

std::shared_ptr<Font::Impl> MakeFont(const FontDesc& desc) {
  auto d = std::make_shared<Font::Impl>();
  d->desc = desc;
  d->symbols = FontSymbolSet(desc.face);
  if (d->symbols == FontSymbols::None && desc.charSet == SYMBOL_CHARSET) d->symbols = FontSymbols::Wingdings;
  std::string face = desc.face.empty() ? std::string(desc.fixedPitch ? DefaultFixedFontFace() : DefaultFontFace())
                                       : MapFontFace(desc.face);
  d->installed = face;
  QFont f(QString::fromStdString(face));
  if (desc.fixedPitch) {
    f.setFixedPitch(true);
    f.setStyleHint(QFont::TypeWriter);
  }
  if (desc.weight > 0) f.setWeight(static_cast<QFont::Weight>(std::clamp(desc.weight, 1, 1000)));
  f.setItalic(desc.italic);
  f.setUnderline(desc.underline);
  f.setStrikeOut(desc.strikeOut);
  f.setKerning(false);
  if (desc.height < 0) {
    f.setPixelSize(std::max(1, -desc.height));
  } else if (desc.height > 0) {
    // A positive height is the cell height: find the em size that gives it.
    QFont probe = f;
    probe.setPixelSize(100);
    const QFontMetricsF fm(probe, &MeasureDevice());
    const double cell = fm.ascent() + fm.descent();
    const int px = cell > 0 ? static_cast<int>(std::lround(desc.height * 100.0 / cell)) : desc.height;
    f.setPixelSize(std::max(1, px));
  } else {
    f.setPointSize(10);
  }
  if (desc.width > 0) {
    const QFontMetricsF fm(f, &MeasureDevice());
    const double natural = fm.averageCharWidth();
    if (natural > 0) f.setStretch(std::clamp(static_cast<int>(std::lround(desc.width * 100.0 / natural)), 1, 4000));
  }
  d->qfont = f;
  return d;
}

}  // namespace

Font::Font() : d_(MakeFont(FontDesc{"System", -13, 0, 0, FW_NORMAL})) {}
Font::Font(const FontDesc& desc) : d_(MakeFont(desc)) {}

Font Font::Stock(int number) {
  FontDesc d;
  switch (number) {
    case 10: case 11: case 16:
      d.face = "Courier New"; d.height = -13; d.fixedPitch = true; break;
    case 13: case 14:
      d.face = "System"; d.height = -13; d.weight = FW_BOLD; break;
    default:  // 12, 17 and anything else: the variable-pitch interface font
      d.face = "MS Sans Serif"; d.height = -11; break;
  }
  return Font(d);
}

const FontDesc& Font::Desc() const { return d_->desc; }
std::string Font::InstalledFace() const { return d_->installed; }

QString FontText(const Font& font, std::string_view cp1252) {
  const FontSymbols sym = font.impl().symbols;
  if (sym == FontSymbols::None) return ToQString(cp1252);
  QString out;
  out.reserve(static_cast<qsizetype>(cp1252.size()));
  for (unsigned char c : cp1252) {
    const char32_t u = SymbolToUnicode(sym, c);
    out += QString::fromUcs4(&u, 1);
  }
  return out;
}

int ScreenLogPixelsY() {
  if (QGuiApplication::instance() != nullptr) {
    if (const QScreen* s = QGuiApplication::primaryScreen())
      return static_cast<int>(std::lround(s->logicalDotsPerInchY()));
  }
  return 96;
}

namespace {
TextMetrics MetricsOf(const QFontMetrics& fm, const QFont& f) {
  TextMetrics tm;
  tm.ascent = fm.ascent();
  tm.descent = fm.descent();
  tm.height = tm.ascent + tm.descent;
  const int em = f.pixelSize() > 0 ? f.pixelSize() : QFontInfo(f).pixelSize();
  tm.internalLeading = std::max(0, tm.height - em);
  tm.externalLeading = std::max(0, fm.leading());
  tm.aveCharWidth = fm.averageCharWidth();
  tm.maxCharWidth = fm.maxWidth();
  return tm;
}
}  // namespace

TextMetrics ScreenTextMetrics(const Font& font) {
  const QFontMetrics fm(font.impl().qfont, &MeasureDevice());
  return MetricsOf(fm, font.impl().qfont);
}

int ScreenTextWidth(const Font& font, std::string_view cp1252) {
  const QFontMetrics fm(font.impl().qfont, &MeasureDevice());
  return fm.horizontalAdvance(ToQString(cp1252));
}

// ---- Brushes ---------------------------------------------------------------

Brush Brush::Solid(ColorRef color) {
  Brush b;
  b.kind_ = Kind::Solid;
  b.color_ = color;
  return b;
}

Brush Brush::Hatch(HatchStyle style, ColorRef color) {
  Brush b;
  b.kind_ = Kind::Hatch;
  b.hatch_ = style;
  b.color_ = color;
  return b;
}

Brush Brush::Pattern(const Bitmap& bitmap) {
  if (bitmap.IsNull()) return Brush();
  Brush b;
  b.kind_ = Kind::Pattern;
  b.pattern_ = bitmap;
  return b;
}

// ---- Device context --------------------------------------------------------

namespace {
// What is known of one font at one resolution: each character's own
// advance (-1 until measured) and the widths of the texts measured lately.
// A list measures the same titles and marks at every paint; shaping them
// again each time costs as much as drawing them.
struct FontMeasures {
  std::array<int, 256> advance;
  std::unordered_map<std::string, int> widths;
  int height = -1;
  FontMeasures() { advance.fill(-1); }
};
constexpr std::size_t kMaxKeptWidths = 4096;

FontMeasures& MeasuresOf(const std::string& fontKey) {
  static std::unordered_map<std::string, FontMeasures> all;
  return all[fontKey];
}
}  // namespace

struct DC::Impl {
  QPainter own;
  QPainter* pp = &own;  // the painter drawn with: our own, or one lent by Qt
  QPainter& painter() const { return *pp; }
  QPaintDevice* device = nullptr;
  QImage* image = nullptr;  // memory contexts: the pixels read by GetPixel
  bool active = false;
  bool borrowed = false;

  struct State {
    Font font;
    Pen pen;
    Brush brush;
    ColorRef text = colors::Black;
    ColorRef bk = colors::White;
    int bkMode = OPAQUE;
    unsigned align = TA_LEFT | TA_TOP;
    Point pos;
    int mapMode = MM_TEXT;
    Point winOrg, vpOrg;
    Size winExt{1, 1}, vpExt{1, 1};
  };
  State st;
  std::vector<State> saved;

  // The measures of the last fonts used here. Each slot holds its font, so
  // that its description cannot be freed and another take its address.
  struct MeasureSlot {
    std::optional<Font> font;
    int dpi = 0;
    FontMeasures* measures = nullptr;
  };
  std::array<MeasureSlot, 4> measureSlots;
  std::size_t nextSlot = 0;

  // Printer page geometry (device pixels); zero = the device's own size.
  int physWidth = 0, physHeight = 0, offsetX = 0, offsetY = 0;

  QTransform Transform() const {
    double sx = 1, sy = 1;
    if (st.mapMode != MM_TEXT && st.winExt.cx != 0 && st.winExt.cy != 0) {
      sx = static_cast<double>(st.vpExt.cx) / st.winExt.cx;
      sy = static_cast<double>(st.vpExt.cy) / st.winExt.cy;
      if (st.mapMode == MM_ISOTROPIC) {
        const double s = std::min(std::fabs(sx), std::fabs(sy));
        sx = sx < 0 ? -s : s;
        sy = sy < 0 ? -s : s;
      }
    }
    QTransform t;
    t.translate(st.vpOrg.x, st.vpOrg.y);
    t.scale(sx, sy);
    t.translate(-st.winOrg.x, -st.winOrg.y);
    return t;
  }

  void ApplyTransform() {
    if (active) painter().setWorldTransform(Transform());
  }

  QPen QtPen() const {
    if (st.pen.style == PenStyle::Null) return QPen(Qt::NoPen);
    QPen p(ToQColor(st.pen.color));
    if (st.pen.width <= 1) {
      p.setWidth(st.pen.width <= 0 ? 0 : 1);
      p.setCosmetic(st.pen.width <= 0);
    } else {
      p.setWidth(st.pen.width);
    }
    switch (st.pen.style) {
      case PenStyle::Dash: p.setStyle(Qt::DashLine); break;
      case PenStyle::Dot: p.setStyle(Qt::DotLine); break;
      case PenStyle::DashDot: p.setStyle(Qt::DashDotLine); break;
      case PenStyle::DashDotDot: p.setStyle(Qt::DashDotDotLine); break;
      default: p.setStyle(Qt::SolidLine); break;
    }
    p.setCapStyle(Qt::FlatCap);
    p.setJoinStyle(Qt::MiterJoin);
    return p;
  }

  static QBrush QtBrush(const Brush& b) {
    switch (b.GetKind()) {
      case Brush::Kind::Solid: return QBrush(ToQColor(b.Color()));
      case Brush::Kind::Hatch: {
        Qt::BrushStyle s = Qt::HorPattern;
        switch (b.Hatching()) {
          case HatchStyle::Horizontal: s = Qt::HorPattern; break;
          case HatchStyle::Vertical: s = Qt::VerPattern; break;
          case HatchStyle::FDiagonal: s = Qt::FDiagPattern; break;
          case HatchStyle::BDiagonal: s = Qt::BDiagPattern; break;
          case HatchStyle::Cross: s = Qt::CrossPattern; break;
          case HatchStyle::DiagCross: s = Qt::DiagCrossPattern; break;
        }
        return QBrush(ToQColor(b.Color()), s);
      }
      case Brush::Kind::Pattern: return QBrush(b.PatternBitmap().Image());
      case Brush::Kind::Hollow: break;
    }
    return QBrush(Qt::NoBrush);
  }

  // Pen, brush, font and background as the shape and text calls need them.
  void Sync() {
    if (!active) return;
    painter().setPen(QtPen());
    painter().setBrush(QtBrush(st.brush));
    painter().setFont(st.font.impl().qfont);
    painter().setBackground(QBrush(ToQColor(st.bk)));
    painter().setBackgroundMode(st.bkMode == OPAQUE ? Qt::OpaqueMode : Qt::TransparentMode);
  }

  QFontMetrics Metrics() const {
    if (active) return painter().fontMetrics();
    return QFontMetrics(st.font.impl().qfont, device != nullptr ? device : &MeasureDevice());
  }

  // Measures of the selected font on the device measured with.
  FontMeasures& Measures() {
    const QPaintDevice* dev = active ? painter().device() : device;
    const int dpi = dev != nullptr ? dev->logicalDpiY() : MeasureDevice().logicalDpiY();
    const Font::Impl* f = &st.font.impl();
    for (MeasureSlot& slot : measureSlots)
      if (slot.measures != nullptr && &slot.font->impl() == f && slot.dpi == dpi) return *slot.measures;
    MeasureSlot& slot = measureSlots[nextSlot];
    nextSlot = (nextSlot + 1) % measureSlots.size();
    slot.font = st.font;
    slot.dpi = dpi;
    // Symbol faces draw other characters for the same bytes.
    slot.measures = &MeasuresOf(f->qfont.key().toStdString() + '@' + std::to_string(dpi) + '#' +
                                std::to_string(static_cast<int>(f->symbols)));
    return *slot.measures;
  }

  // Advance of one character, measured once per font.
  int CharAdvance(FontMeasures& m, char ch, std::unique_ptr<QFontMetrics>& fm) {
    int& w = m.advance[static_cast<unsigned char>(ch)];
    if (w < 0) {
      if (!fm) fm = std::make_unique<QFontMetrics>(Metrics());
      w = fm->horizontalAdvance(FontText(st.font, std::string_view(&ch, 1)));
    }
    return w;
  }
};

DC::DC() : d_(std::make_unique<Impl>()) {}
DC::~DC() { End(); }

bool DC::Begin(QPaintDevice* device) {
  End();
  if (device == nullptr) return false;
  d_->device = device;
  d_->pp = &d_->own;
  d_->active = d_->own.begin(device);
  if (d_->active) {
    d_->painter().setRenderHint(QPainter::Antialiasing, false);
    d_->painter().setRenderHint(QPainter::TextAntialiasing, true);
    d_->Sync();
    d_->ApplyTransform();
  }
  return d_->active;
}

bool DC::Borrow(QPainter* painter) {
  End();
  if (painter == nullptr || !painter->isActive()) return false;
  d_->pp = painter;
  d_->device = painter->device();
  d_->active = true;
  painter->save();
  d_->borrowed = true;
  d_->Sync();
  d_->ApplyTransform();
  return true;
}

void DC::End() {
  if (d_ && d_->active) {
    if (d_->borrowed) d_->pp->restore();
    else d_->own.end();
    d_->active = false;
    d_->borrowed = false;
    d_->pp = &d_->own;
  }
}

void DC::AttachDevice(QPaintDevice* device) {
  if (!d_->active) d_->device = device;
}

void DC::SetPhysicalPage(int width, int height, int offsetX, int offsetY) {
  d_->physWidth = width;
  d_->physHeight = height;
  d_->offsetX = offsetX;
  d_->offsetY = offsetY;
}

bool DC::IsValid() const { return d_->active; }
QPainter* DC::Painter() const { return d_->active ? d_->pp : nullptr; }

Font DC::SelectFont(const Font& font) {
  Font old = d_->st.font;
  d_->st.font = font;
  if (d_->active) d_->painter().setFont(font.impl().qfont);
  return old;
}
Pen DC::SelectPen(const Pen& pen) {
  Pen old = d_->st.pen;
  d_->st.pen = pen;
  if (d_->active) d_->painter().setPen(d_->QtPen());
  return old;
}
Brush DC::SelectBrush(const Brush& brush) {
  Brush old = d_->st.brush;
  d_->st.brush = brush;
  if (d_->active) d_->painter().setBrush(Impl::QtBrush(brush));
  return old;
}
const Font& DC::GetFont() const { return d_->st.font; }
const Pen& DC::GetPen() const { return d_->st.pen; }
const Brush& DC::GetBrush() const { return d_->st.brush; }

ColorRef DC::SetTextColor(ColorRef color) { return std::exchange(d_->st.text, color); }
ColorRef DC::GetTextColor() const { return d_->st.text; }
ColorRef DC::SetBkColor(ColorRef color) {
  const ColorRef old = std::exchange(d_->st.bk, color);
  d_->Sync();
  return old;
}
ColorRef DC::GetBkColor() const { return d_->st.bk; }
int DC::SetBkMode(int mode) {
  const int old = d_->st.bkMode;
  if (mode == TRANSPARENT || mode == OPAQUE) d_->st.bkMode = mode;
  d_->Sync();
  return old;
}
int DC::GetBkMode() const { return d_->st.bkMode; }
unsigned DC::SetTextAlign(unsigned align) { return std::exchange(d_->st.align, align); }

// ---- Text ------------------------------------------------------------------

namespace {
QString Unwrap(QString s) {
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  s.replace(QChar('\r'), QChar('\n'));
  return s;
}
}  // namespace

bool DC::TextOut(int x, int y, std::string_view text) {
  return ExtTextOut(x, y, 0, nullptr, text);
}

bool DC::ExtTextOut(int x, int y, unsigned options, const Box* rect, std::string_view text) {
  Impl& d = *d_;
  if (!d.active) return false;
  const QString s = FontText(d.st.font, text);
  // Blanks leave no ink: without a background or a line through them there
  // is nothing to draw (the empty cells of a list).
  const FontDesc& desc = d.st.font.Desc();
  if (d.st.bkMode != OPAQUE && (options & ETO_OPAQUE) == 0 && !desc.underline && !desc.strikeOut &&
      std::all_of(s.begin(), s.end(), [](QChar c) { return c == QLatin1Char(' '); }))
    return true;

  QPainter& p = d.painter();
  p.save();
  if (rect != nullptr && (options & ETO_OPAQUE) != 0)
    p.fillRect(QRect(rect->left, rect->top, rect->Width(), rect->Height()), ToQColor(d.st.bk));
  if (rect != nullptr && (options & ETO_CLIPPED) != 0)
    p.setClipRect(QRect(rect->left, rect->top, rect->Width(), rect->Height()), Qt::IntersectClip);

  const QFontMetrics fm = p.fontMetrics();
  // The text's width matters only for centred or right-aligned text and for
  // an opaque background; measuring costs as much as drawing.
  const bool centred = (d.st.align & TA_CENTER) == TA_CENTER;
  const bool right = !centred && (d.st.align & TA_RIGHT) != 0;
  const int w = centred || right || d.st.bkMode == OPAQUE ? fm.horizontalAdvance(s) : 0;
  int dx = 0;
  if (centred) dx = -w / 2;
  else if (right) dx = -w;
  int baseline = fm.ascent();
  if ((d.st.align & TA_BASELINE) == TA_BASELINE) baseline = 0;
  else if ((d.st.align & TA_BOTTOM) != 0) baseline = -fm.descent();

  p.translate(x, y);
  if (d.st.font.Desc().escapement != 0) p.rotate(-d.st.font.Desc().escapement / 10.0);
  if (d.st.bkMode == OPAQUE) p.fillRect(QRect(dx, baseline - fm.ascent(), w, fm.height()), ToQColor(d.st.bk));
  p.setBackgroundMode(Qt::TransparentMode);
  p.setPen(ToQColor(d.st.text));
  p.drawText(QPoint(dx, baseline), s);
  p.restore();
  return true;
}

int DC::DrawText(std::string_view text, Box& rect, unsigned format) {
  Impl& d = *d_;
  const QString s = Unwrap(FontText(d.st.font, text));
  int flags = 0;
  if (format & DT_CENTER) flags |= Qt::AlignHCenter;
  else if (format & DT_RIGHT) flags |= Qt::AlignRight;
  else flags |= Qt::AlignLeft;
  if (format & DT_SINGLELINE) {
    flags |= Qt::TextSingleLine;
    if (format & DT_VCENTER) flags |= Qt::AlignVCenter;
    else if (format & DT_BOTTOM) flags |= Qt::AlignBottom;
    else flags |= Qt::AlignTop;
  } else {
    flags |= Qt::AlignTop;
  }
  if (format & DT_WORDBREAK) flags |= Qt::TextWordWrap;
  if (format & DT_EXPANDTABS) flags |= Qt::TextExpandTabs;
  if (!(format & DT_NOPREFIX)) flags |= Qt::TextShowMnemonic;

  const QFontMetrics fm = d.Metrics();
  const QRect box(rect.left, rect.top, std::max(0, rect.Width()), std::max(0, rect.Height()));
  QString shown = s;
  if ((format & DT_END_ELLIPSIS) && (format & DT_SINGLELINE))
    shown = fm.elidedText(s, Qt::ElideRight, box.width(), flags & Qt::TextShowMnemonic);

  if (format & DT_CALCRECT) {
    const int wrapWidth = (format & DT_WORDBREAK) ? std::max(1, box.width()) : 1 << 20;
    const QRect br = fm.boundingRect(QRect(rect.left, rect.top, wrapWidth, 1 << 20), flags & ~(Qt::AlignHCenter | Qt::AlignRight | Qt::AlignVCenter | Qt::AlignBottom), shown);
    rect.right = rect.left + br.width();
    rect.bottom = rect.top + br.height();
    return br.height();
  }
  if (!d.active) return 0;
  QPainter& p = d.painter();
  p.save();
  if (!(format & DT_NOCLIP)) p.setClipRect(box, Qt::IntersectClip);
  p.setPen(ToQColor(d.st.text));
  QRect used;
  p.drawText(box, flags | Qt::TextDontClip, shown, &used);
  p.restore();
  return used.height();
}

Size DC::GetTextExtent(std::string_view text) const {
  Impl& d = *d_;
  FontMeasures& m = d.Measures();
  std::unique_ptr<QFontMetrics> fm;
  int width = 0;
  if (text.size() == 1) {
    width = d.CharAdvance(m, text[0], fm);
  } else if (!text.empty()) {
    const std::string key(text);
    const auto it = m.widths.find(key);
    if (it != m.widths.end()) {
      width = it->second;
    } else {
      fm = std::make_unique<QFontMetrics>(d.Metrics());
      width = fm->horizontalAdvance(FontText(d.st.font, text));
      if (m.widths.size() >= kMaxKeptWidths) m.widths.clear();
      m.widths.emplace(key, width);
    }
  }
  if (m.height < 0) m.height = (fm ? *fm : d.Metrics()).height();
  return Size{width, m.height};
}

int DC::GetCharsWidth(std::string_view text) const {
  Impl& d = *d_;
  FontMeasures& m = d.Measures();
  std::unique_ptr<QFontMetrics> fm;
  int total = 0;
  for (char ch : text) total += d.CharAdvance(m, ch, fm);
  return total;
}

TextMetrics DC::GetTextMetrics() const {
  return MetricsOf(d_->Metrics(), d_->st.font.impl().qfont);
}

// ---- Shapes ----------------------------------------------------------------

void DC::MoveTo(int x, int y) { d_->st.pos = Point{x, y}; }

void DC::LineTo(int x, int y) {
  Impl& d = *d_;
  const Point from = d.st.pos;
  d.st.pos = Point{x, y};
  if (!d.active || d.st.pen.style == PenStyle::Null) return;
  // Flat caps stop the line one pixel short of its end point, so joined
  // lines do not overdraw their corners.
  if (x == from.x && y == from.y) return;
  d.painter().drawLine(from.x, from.y, x, y);
}

Point DC::GetCurrentPosition() const { return d_->st.pos; }

void DC::Polyline(const std::vector<Point>& points) {
  if (points.empty()) return;
  const Point keep = d_->st.pos;
  MoveTo(points[0].x, points[0].y);
  for (std::size_t i = 1; i < points.size(); ++i) LineTo(points[i].x, points[i].y);
  d_->st.pos = keep;
}

void DC::Polygon(const std::vector<Point>& points) {
  if (!d_->active || points.size() < 2) return;
  QPolygon poly;
  for (const Point& pt : points) poly << QPoint(pt.x, pt.y);
  d_->painter().drawPolygon(poly);
}

namespace {
// Outline shapes cover left..right-1 and top..bottom-1.
QRect OutlineRect(int l, int t, int r, int b) {
  if (r < l) std::swap(l, r);
  if (b < t) std::swap(t, b);
  return QRect(l, t, std::max(0, r - l - 1), std::max(0, b - t - 1));
}
}  // namespace

void DC::Rectangle(int left, int top, int right, int bottom) {
  if (d_->active) d_->painter().drawRect(OutlineRect(left, top, right, bottom));
}

void DC::RoundRect(int left, int top, int right, int bottom, int ew, int eh) {
  if (!d_->active) return;
  const QRect r = OutlineRect(left, top, right, bottom);
  d_->painter().drawRoundedRect(r, ew / 2.0, eh / 2.0);
}

void DC::Ellipse(int left, int top, int right, int bottom) {
  if (d_->active) d_->painter().drawEllipse(OutlineRect(left, top, right, bottom));
}

void DC::FillRect(const Box& rect, const Brush& brush) {
  if (!d_->active || brush.GetKind() == Brush::Kind::Hollow) return;
  const QRect r(rect.left, rect.top, rect.Width(), rect.Height());
  if (brush.GetKind() == Brush::Kind::Hatch && d_->st.bkMode == OPAQUE) d_->painter().fillRect(r, ToQColor(d_->st.bk));
  d_->painter().fillRect(r, Impl::QtBrush(brush));
}

void DC::FillSolidRect(const Box& rect, ColorRef color) {
  if (d_->active) d_->painter().fillRect(QRect(rect.left, rect.top, rect.Width(), rect.Height()), ToQColor(color));
}

void DC::FrameRect(const Box& rect, const Brush& brush) {
  if (!d_->active || rect.Width() <= 0 || rect.Height() <= 0) return;
  const QBrush b = Impl::QtBrush(brush);
  QPainter& p = d_->painter();
  p.fillRect(QRect(rect.left, rect.top, rect.Width(), 1), b);
  p.fillRect(QRect(rect.left, rect.bottom - 1, rect.Width(), 1), b);
  p.fillRect(QRect(rect.left, rect.top, 1, rect.Height()), b);
  p.fillRect(QRect(rect.right - 1, rect.top, 1, rect.Height()), b);
}

void DC::DrawFocusRect(const Box& rect) {
  if (!d_->active) return;
  QPainter& p = d_->painter();
  p.save();
  QPen pen(Qt::black, 0, Qt::DotLine);
  pen.setCosmetic(true);
  p.setPen(pen);
  p.setBrush(Qt::NoBrush);
  p.setBackgroundMode(Qt::TransparentMode);
  p.drawRect(OutlineRect(rect.left, rect.top, rect.right, rect.bottom));
  p.restore();
}

void DC::SetPixel(int x, int y, ColorRef color) {
  if (!d_->active) return;
  d_->painter().fillRect(QRect(x, y, 1, 1), ToQColor(color));
}

ColorRef DC::GetPixel(int x, int y) const {
  if (d_->image == nullptr) return 0xFFFFFFFFu;
  const QPoint p = d_->Transform().map(QPoint(x, y));
  if (!d_->image->valid(p)) return 0xFFFFFFFFu;
  return FromQColor(QColor::fromRgba(d_->image->pixel(p)));
}

void DC::GradientFill(const Box& rect, ColorRef color1, ColorRef color2, bool horizontal, int alpha1, int alpha2) {
  if (!d_->active || rect.Width() <= 0 || rect.Height() <= 0) return;
  QPainter& p = d_->painter();
  // The end colours fall exactly on the first and last pixel row or column.
  const QPointF start(rect.left + 0.5, rect.top + 0.5);
  const QPointF stop = horizontal ? QPointF(rect.right - 0.5, rect.top + 0.5) : QPointF(rect.left + 0.5, rect.bottom - 0.5);
  QLinearGradient g(start, stop);
  g.setColorAt(0, ToQColor(color1));
  g.setColorAt(1, ToQColor(color2));
  g.setSpread(QGradient::PadSpread);
  p.save();
  const int a = (std::clamp(alpha1, 0, 255) + std::clamp(alpha2, 0, 255)) / 2;
  if (a < 255) p.setOpacity(a / 255.0);
  p.fillRect(QRect(rect.left, rect.top, rect.Width(), rect.Height()), QBrush(g));
  p.restore();
}

// ---- Bitmaps ---------------------------------------------------------------

void DC::DrawBitmap(int x, int y, const Bitmap& bitmap) {
  if (d_->active && !bitmap.IsNull()) d_->painter().drawImage(QPoint(x, y), bitmap.Image());
}

void DC::StretchBitmap(const Box& dest, const Bitmap& bitmap, const Box& source) {
  if (!d_->active || bitmap.IsNull()) return;
  d_->painter().drawImage(QRect(dest.left, dest.top, dest.Width(), dest.Height()), bitmap.Image(),
                        QRect(source.left, source.top, source.Width(), source.Height()));
}

void DC::StretchBitmap(const Box& dest, const Bitmap& bitmap) {
  StretchBitmap(dest, bitmap, Box{0, 0, bitmap.Width(), bitmap.Height()});
}

void DC::AlphaBlend(const Box& dest, const Bitmap& bitmap, const Box& source, int constantAlpha) {
  if (!d_->active || bitmap.IsNull()) return;
  QPainter& p = d_->painter();
  p.save();
  p.setOpacity(std::clamp(constantAlpha, 0, 255) / 255.0);
  p.drawImage(QRect(dest.left, dest.top, dest.Width(), dest.Height()), bitmap.Image(),
              QRect(source.left, source.top, source.Width(), source.Height()));
  p.restore();
}

bool DC::BitBlt(int x, int y, int w, int h, const DC& source, int sx, int sy) {
  if (!d_->active || source.d_->image == nullptr) return false;
  const QPoint s = source.d_->Transform().map(QPoint(sx, sy));
  d_->painter().drawImage(QRect(x, y, w, h), *source.d_->image, QRect(s.x(), s.y(), w, h));
  return true;
}

// ---- Clipping and state ----------------------------------------------------

void DC::IntersectClipRect(const Box& rect) {
  if (d_->active)
    d_->painter().setClipRect(QRect(rect.left, rect.top, rect.Width(), rect.Height()),
                            d_->painter().hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
}

void DC::SelectClipRect(const Box& rect) {
  if (d_->active) d_->painter().setClipRect(QRect(rect.left, rect.top, rect.Width(), rect.Height()), Qt::ReplaceClip);
}

void DC::RemoveClip() {
  if (d_->active) d_->painter().setClipping(false);
}

int DC::SaveDC() {
  d_->saved.push_back(d_->st);
  if (d_->active) d_->painter().save();
  return static_cast<int>(d_->saved.size());
}

bool DC::RestoreDC(int saved) {
  const int depth = static_cast<int>(d_->saved.size());
  const int target = saved < 0 ? depth + saved : saved - 1;  // state index to restore
  if (target < 0 || target >= depth) return false;
  while (static_cast<int>(d_->saved.size()) > target + 1) {
    d_->saved.pop_back();
    if (d_->active) d_->painter().restore();
  }
  d_->st = d_->saved.back();
  d_->saved.pop_back();
  if (d_->active) d_->painter().restore();
  d_->Sync();
  d_->ApplyTransform();
  return true;
}

// ---- Mapping ---------------------------------------------------------------

int DC::SetMapMode(int mode) {
  const int old = d_->st.mapMode;
  if (mode == MM_TEXT || mode == MM_ISOTROPIC || mode == MM_ANISOTROPIC) d_->st.mapMode = mode;
  d_->ApplyTransform();
  return old;
}
int DC::GetMapMode() const { return d_->st.mapMode; }
void DC::SetWindowOrg(int x, int y) { d_->st.winOrg = Point{x, y}; d_->ApplyTransform(); }
void DC::SetWindowExt(int cx, int cy) {
  if (cx != 0 && cy != 0) d_->st.winExt = Size{cx, cy};
  d_->ApplyTransform();
}
void DC::SetViewportOrg(int x, int y) { d_->st.vpOrg = Point{x, y}; d_->ApplyTransform(); }
void DC::SetViewportExt(int cx, int cy) {
  if (cx != 0 && cy != 0) d_->st.vpExt = Size{cx, cy};
  d_->ApplyTransform();
}
Point DC::LPtoDP(Point p) const {
  const QPoint q = d_->Transform().map(QPoint(p.x, p.y));
  return Point{q.x(), q.y()};
}
Point DC::DPtoLP(Point p) const {
  const QPoint q = d_->Transform().inverted().map(QPoint(p.x, p.y));
  return Point{q.x(), q.y()};
}

int DC::GetDeviceCaps(int index) const {
  const QPaintDevice* dev = d_->device;
  if (dev == nullptr) {
    if (index == LOGPIXELSX || index == LOGPIXELSY) return ScreenLogPixelsY();
    return 0;
  }
  switch (index) {
    case HORZSIZE: return dev->widthMM();
    case VERTSIZE: return dev->heightMM();
    case HORZRES: return dev->width();
    case VERTRES: return dev->height();
    case BITSPIXEL: return dev->depth();
    case LOGPIXELSX: return dev->logicalDpiX();
    case LOGPIXELSY: return dev->logicalDpiY();
    case PHYSICALWIDTH: return d_->physWidth > 0 ? d_->physWidth : dev->width();
    case PHYSICALHEIGHT: return d_->physHeight > 0 ? d_->physHeight : dev->height();
    case PHYSICALOFFSETX: return d_->offsetX;
    case PHYSICALOFFSETY: return d_->offsetY;
    default: return 0;
  }
}

// ---- Concrete contexts -----------------------------------------------------

WindowDC::WindowDC(Window& window) {
  QWidget* w = window.Widget();
  // Scrolling controls (multi-line edits, lists) paint on their viewport.
  if (auto* area = qobject_cast<QAbstractScrollArea*>(w)) w = area->viewport();
  if (w != nullptr) Begin(w);
}
WindowDC::~WindowDC() { End(); }

MemoryDC::MemoryDC(int width, int height, ColorRef fill)
    : bitmap_(std::max(1, width), std::max(1, height),
              0xFF000000u | (static_cast<std::uint32_t>(RedOf(fill)) << 16) |
                  (static_cast<std::uint32_t>(GreenOf(fill)) << 8) | static_cast<std::uint32_t>(BlueOf(fill))) {
  QImage& img = bitmap_.MutableImage();
  const int dpm = static_cast<int>(std::lround(ScreenLogPixelsY() / 0.0254));
  img.setDotsPerMeterX(dpm);
  img.setDotsPerMeterY(dpm);
  impl().image = &img;
  Begin(&img);
}

MemoryDC::~MemoryDC() { End(); }

const Bitmap& MemoryDC::GetBitmap() {
  End();
  return bitmap_;
}

bool MemoryDC::SavePng(const std::string& path) { return GetBitmap().SavePng(path); }

}  // namespace gui
