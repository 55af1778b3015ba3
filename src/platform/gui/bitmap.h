// Bitmaps and icons: pictures loaded from the program's PNG resources or
// files, or made in memory. Cheap to copy (the pixels are shared).
#pragma once

#include "platform/gui/window_users.h"

#include <cstdint>
#include <memory>
#include <string>

class QImage;

namespace gui {

class Bitmap {
 public:
  Bitmap();
  // A new bitmap, every pixel `argb` (0xAARRGGBB).
  Bitmap(int width, int height, std::uint32_t argb = 0xFF000000u);
  ~Bitmap();
  Bitmap(const Bitmap&);
  Bitmap& operator=(const Bitmap&);

  // A bitmap resource by name ("CBkBrush" is bitmaps/CBkBrush.png; the
  // name is compared without case). Null when there is none.
  static Bitmap Load(const std::string& name);
  // An icon resource by name (icons/<name>.png).
  static Bitmap LoadIcon(const std::string& name);
  // A PNG (or BMP) file; null when unreadable.
  static Bitmap LoadFile(const std::string& path);

  bool IsNull() const;
  int Width() const;
  int Height() const;
  // 0xAARRGGBB of a pixel; 0 outside the picture.
  std::uint32_t PixelArgb(int x, int y) const;
  bool SavePng(const std::string& path) const;

  // The pixels, for the window layer's own code.
  const QImage& Image() const;
  QImage& MutableImage();
  static Bitmap FromImage(const QImage& image);

 private:
  std::unique_ptr<QImage> image_;
};

}  // namespace gui
