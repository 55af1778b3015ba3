#include "platform/gui/bitmap.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>

#include "platform/gui/text_codec.h"

namespace gui {

namespace {

// Resource names are looked up without case, so the ids written in the
// program ("CBkBrush") find files whatever their spelling on disk.
QString FindResource(const QString& folder, const QString& name) {
  const QString exact = folder + "/" + name + ".png";
  if (QFileInfo::exists(exact)) return exact;
  const QDir dir(folder);
  const QStringList files = dir.entryList(QDir::Files);
  for (const QString& f : files) {
    const QFileInfo info(f);
    if (info.completeBaseName().compare(name, Qt::CaseInsensitive) == 0) return dir.filePath(f);
  }
  return {};
}

Bitmap LoadFrom(const QString& folder, const std::string& name) {
  if (name.empty()) return Bitmap();
  const QString path = FindResource(folder, QString::fromLatin1(name.c_str()));
  if (path.isEmpty()) return Bitmap();
  QImage img(path);
  if (img.isNull()) return Bitmap();
  return Bitmap::FromImage(img);
}

}  // namespace

Bitmap::Bitmap() : image_(std::make_unique<QImage>()) {}

Bitmap::Bitmap(int width, int height, std::uint32_t argb)
    : image_(std::make_unique<QImage>(width > 0 ? width : 0, height > 0 ? height : 0,
                                      QImage::Format_ARGB32_Premultiplied)) {
  if (!image_->isNull()) image_->fill(QColor::fromRgba(argb));
}

Bitmap::~Bitmap() = default;
Bitmap::Bitmap(const Bitmap& other) : image_(std::make_unique<QImage>(*other.image_)) {}
Bitmap& Bitmap::operator=(const Bitmap& other) {
  if (this != &other) *image_ = *other.image_;
  return *this;
}

Bitmap Bitmap::Load(const std::string& name) { return LoadFrom(":/bitmaps", name); }
Bitmap Bitmap::LoadIcon(const std::string& name) { return LoadFrom(":/icons", name); }

Bitmap Bitmap::LoadFile(const std::string& path) {
  QImage img(ToQString(path));
  if (img.isNull()) return Bitmap();
  return FromImage(img);
}

bool Bitmap::IsNull() const { return image_->isNull(); }
int Bitmap::Width() const { return image_->width(); }
int Bitmap::Height() const { return image_->height(); }

std::uint32_t Bitmap::PixelArgb(int x, int y) const {
  if (x < 0 || y < 0 || x >= image_->width() || y >= image_->height()) return 0;
  return image_->pixel(x, y);
}

bool Bitmap::SavePng(const std::string& path) const {
  return !image_->isNull() && image_->save(ToQString(path), "PNG");
}

const QImage& Bitmap::Image() const { return *image_; }
QImage& Bitmap::MutableImage() { return *image_; }

Bitmap Bitmap::FromImage(const QImage& image) {
  Bitmap b;
  *b.image_ = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  return b;
}

}  // namespace gui
