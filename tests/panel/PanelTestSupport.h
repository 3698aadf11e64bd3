#pragma once

#include "panel/DigitalObject.h"
#include "panel/DrawSurface.h"
#include "panel/Rect.h"

#include <QImage>

#include <gtest/gtest.h>

#include <string>

namespace panel_test {

// A colour no picture uses: whatever still shows it afterwards was left untouched.
constexpr QRgb kUntouched = qRgb(0x12, 0x34, 0x56);
constexpr QRgb kBlack = qRgb(0, 0, 0);
constexpr QRgb kWhite = qRgb(255, 255, 255);
constexpr QRgb kGhost = qRgb(0xEC, 0xEC, 0xEC);

// Big enough for every object of the scale panel and what spills over its rectangle.
inline QImage UntouchedImage(int width = 800, int height = 200) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(kUntouched);
  return image;
}

inline QImage Drawn(const CDigitalObject& object, QImage image = UntouchedImage()) {
  CDrawSurface surface(image);
  object.Draw(&surface);
  return image;
}

inline std::string Hex(QRgb colour) {
  char text[16];
  std::snprintf(text, sizeof text, "#%06X", colour & 0xFFFFFFu);
  return text;
}

// Every pixel of `image` inside `inside` is `colour`; outside it, `image` equals `before`.
// Reports the first pixel that differs, with both colours.
inline ::testing::AssertionResult OnlyRectIs(const QImage& image, const QImage& before,
                                             const CRect& inside, QRgb colour) {
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QRgb expected = inside.PtInRect(x, y) ? colour : before.pixel(x, y);
      if (image.pixel(x, y) != expected) {
        return ::testing::AssertionFailure()
               << "pixel (" << x << ", " << y << ") is " << Hex(image.pixel(x, y)) << ", expected "
               << Hex(expected);
      }
    }
  }
  return ::testing::AssertionSuccess();
}

// `bitmap` appears at (left, top) at its own size; every other pixel equals `before`.
inline ::testing::AssertionResult OnlyBitmapAt(const QImage& image, const QImage& before,
                                               const QImage& bitmap, int left, int top) {
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const bool onBitmap = CRect{left, top, left + bitmap.width(), top + bitmap.height()}
                                .PtInRect(x, y);
      const QRgb expected = onBitmap ? bitmap.pixel(x - left, y - top) : before.pixel(x, y);
      if (image.pixel(x, y) != expected) {
        return ::testing::AssertionFailure()
               << "pixel (" << x << ", " << y << ") is " << Hex(image.pixel(x, y)) << ", expected "
               << Hex(expected);
      }
    }
  }
  return ::testing::AssertionSuccess();
}

} // namespace panel_test
