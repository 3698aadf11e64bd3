#include "panel/MultiDigitalNumber.h"

#include "PanelTestSupport.h"

#include <gtest/gtest.h>

#include <array>

using namespace panel_test;

namespace {

constexpr CRect kDigitRect{128, 21, 200, 150};

struct Segment {
  const char* name;
  CRect rect; // in the window, for a digit at kDigitRect
};

// Segments a to g: x and y from the digit's corner, then width and height.
constexpr CRect SegmentAt(int x, int y, int cx, int cy) {
  return {kDigitRect.left + x, kDigitRect.top + y, kDigitRect.left + x + cx,
          kDigitRect.top + y + cy};
}
const std::array<Segment, 7> kSegments{{
    {"a top", SegmentAt(10, 2, 50, 8)},
    {"b upper right", SegmentAt(60, 10, 8, 50)},
    {"c lower right", SegmentAt(60, 68, 8, 50)},
    {"d bottom", SegmentAt(10, 118, 50, 8)},
    {"e lower left", SegmentAt(2, 68, 8, 50)},
    {"f upper left", SegmentAt(2, 10, 8, 50)},
    {"g middle", SegmentAt(10, 60, 50, 8)},
}};

void LightOnly(CMultiDigitalNumber& digit, std::size_t lit) {
  for (std::size_t segment = 0; segment < kSegments.size(); ++segment)
    digit.m_bSegLit[segment] = segment == lit;
}

// Draws the digit and checks the pixels of every segment and of everything around them.
::testing::AssertionResult DrawsSegments(const CMultiDigitalNumber& digit,
                                         const std::array<QRgb, 7>& colours) {
  const QImage before = UntouchedImage();
  const QImage after = Drawn(digit, before);
  for (int y = 0; y < after.height(); ++y) {
    for (int x = 0; x < after.width(); ++x) {
      QRgb expected = before.pixel(x, y);
      for (std::size_t segment = 0; segment < kSegments.size(); ++segment) {
        if (kSegments[segment].rect.PtInRect(x, y))
          expected = colours[segment];
      }
      if (after.pixel(x, y) != expected) {
        return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is "
                                             << Hex(after.pixel(x, y)) << ", expected "
                                             << Hex(expected);
      }
    }
  }
  return ::testing::AssertionSuccess();
}

TEST(MultiDigitalNumberDraw, EachLitSegmentFillsExactlyItsRectangleBlack) {
  CMultiDigitalNumber digit(u"Number1", kDigitRect);
  for (std::size_t lit = 0; lit < kSegments.size(); ++lit) {
    SCOPED_TRACE(kSegments[lit].name);
    LightOnly(digit, lit);
    std::array<QRgb, 7> colours;
    colours.fill(kUntouched);
    colours[lit] = kBlack;
    EXPECT_TRUE(DrawsSegments(digit, colours));
  }
}

TEST(MultiDigitalNumberDraw, FreshDigitShowsTheFigureEight) {
  CMultiDigitalNumber digit(u"Number1", kDigitRect);
  std::array<QRgb, 7> black;
  black.fill(kBlack);
  EXPECT_TRUE(DrawsSegments(digit, black));
}

TEST(MultiDigitalNumberDraw, NoSegmentLitDrawsNothing) {
  CMultiDigitalNumber digit(u"Number1", kDigitRect);
  LightOnly(digit, kSegments.size());
  std::array<QRgb, 7> untouched;
  untouched.fill(kUntouched);
  EXPECT_TRUE(DrawsSegments(digit, untouched));
}

TEST(MultiDigitalNumberDraw, DisabledDrawsEverySegmentGreyWhateverIsLit) {
  CMultiDigitalNumber digit(u"Number1", kDigitRect);
  digit.m_bEnabled = false;
  std::array<QRgb, 7> ghost;
  ghost.fill(kGhost);
  for (std::size_t lit = 0; lit <= kSegments.size(); ++lit) {
    SCOPED_TRACE(lit);
    LightOnly(digit, lit); // the last round lights none
    EXPECT_TRUE(DrawsSegments(digit, ghost));
  }
  for (auto& segment : digit.m_bSegLit)
    segment = true;
  EXPECT_TRUE(DrawsSegments(digit, ghost));
}

TEST(MultiDigitalNumberDraw, NullSurfaceIsIgnored) {
  CMultiDigitalNumber digit(u"Number1", kDigitRect);
  digit.Draw(nullptr);
}

TEST(MultiDigitalNumber, StartsEnabledLitAndWiredToBitZeroOfAddressZero) {
  const CMultiDigitalNumber digit(u"Number4", {419, 21, 491, 150});
  EXPECT_EQ(digit.GetTypeName(), u"CMultiDigitalNumber");
  EXPECT_EQ(digit.GetName(), u"Number4");
  EXPECT_FALSE(digit.m_bSelected);
  EXPECT_TRUE(digit.m_bEnabled);
  EXPECT_EQ(digit.m_wAddress, 0);
  for (std::size_t segment = 0; segment < 7; ++segment) {
    EXPECT_EQ(digit.m_wSegBitIndex[segment], 0) << segment;
    EXPECT_TRUE(digit.m_bSegLit[segment]) << segment;
  }
}

} // namespace
