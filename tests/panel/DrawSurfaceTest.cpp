#include "panel/DrawSurface.h"

#include "PanelTestSupport.h"

#include <gtest/gtest.h>

using namespace panel_test;

namespace {

TEST(DrawSurface, BothRectangleFormsFillTheSamePixels) {
  const QImage before = UntouchedImage(40, 30);
  QImage bySize = before;
  QImage byEdges = before;
  {
    CDrawSurface surface(bySize);
    surface.FillSolidRect(3, 4, 10, 5, kBlack);
  }
  {
    CDrawSurface surface(byEdges);
    surface.FillSolidRect(CRect{3, 4, 13, 9}, kBlack);
  }
  EXPECT_TRUE(OnlyRectIs(bySize, before, {3, 4, 13, 9}, kBlack));
  EXPECT_EQ(byEdges, bySize);
}

TEST(DrawSurface, EmptyOrInvertedRectanglesFillNothing) {
  const QImage before = UntouchedImage(40, 30);
  QImage image = before;
  {
    CDrawSurface surface(image);
    surface.FillSolidRect(5, 5, 0, 10, kBlack);
    surface.FillSolidRect(5, 5, 10, -3, kBlack);
    surface.FillSolidRect(CRect{20, 20, 10, 25}, kBlack);
  }
  EXPECT_EQ(image, before);
}

// A surface over part of the window still takes window coordinates.
TEST(DrawSurface, WindowOriginMapsToTheImageCorner) {
  const QImage before = UntouchedImage(40, 30);
  QImage image = before;
  {
    CDrawSurface surface(image, QPoint(100, 50));
    surface.FillSolidRect(CRect{98, 52, 103, 54}, kBlack); // starts left of the image
  }
  EXPECT_TRUE(OnlyRectIs(image, before, {0, 2, 3, 4}, kBlack));
}

TEST(DrawSurface, CopyBitmapReplacesPixelsEvenWhereTheBitmapIsTransparent) {
  QImage bitmap(4, 3, QImage::Format_ARGB32);
  bitmap.fill(qRgba(0, 0, 0, 0));
  bitmap.setPixel(1, 1, qRgba(255, 255, 255, 255));
  const QImage before = UntouchedImage(20, 20);
  QImage image = before;
  {
    CDrawSurface surface(image);
    EXPECT_EQ(CDrawSurface::GetBitmapSize(bitmap), QSize(4, 3));
    surface.CopyBitmap(5, 6, bitmap);
  }
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      QRgb expected = before.pixel(x, y);
      if (CRect{5, 6, 9, 9}.PtInRect(x, y))
        expected = (x == 6 && y == 7) ? kWhite : kBlack;
      ASSERT_EQ(Hex(image.pixel(x, y)), Hex(expected)) << x << ", " << y;
    }
  }
}

TEST(DrawSurface, NullBitmapMeasuresZeroAndCopiesNothing) {
  const QImage before = UntouchedImage(20, 20);
  QImage image = before;
  {
    CDrawSurface surface(image);
    EXPECT_EQ(CDrawSurface::GetBitmapSize(QImage()), QSize(0, 0));
    surface.CopyBitmap(0, 0, QImage());
  }
  EXPECT_EQ(image, before);
}

} // namespace
