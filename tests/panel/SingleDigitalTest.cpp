#include "panel/SingleDigital.h"

#include "PanelTestSupport.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

using namespace panel_test;

namespace {

constexpr unsigned kNoSuchBitmap = 999;

// Pictures of the scale panel whose sizes differ from their rectangles in each way.
struct SingleCase {
  const char* name;
  CRect rect;
  unsigned lit;
  unsigned disabled;
};
const SingleCase kSingleCases[] = {
    {"PictureFillsRectangle_Auto", {34, 34, 112, 65}, 131, 143},
    {"PictureSmallerThanRectangle_G", {700, 26, 745, 66}, 132, 142},
    {"PictureTallerThanRectangle_Dot2", {302, 140, 319, 150}, 146, 147},
    {"DisabledPictureNarrower_Dot3", {399, 140, 416, 160}, 146, 147},
};

void PrintTo(const SingleCase& c, std::ostream* os) { *os << c.name; }

class SingleDigitalDraw : public ::testing::TestWithParam<SingleCase> {};

TEST_P(SingleDigitalDraw, LitCopiesThePictureAtItsOwnSizeToTheCorner) {
  const CSingleDigital single(u"Test", GetParam().rect, GetParam().lit, GetParam().disabled);
  ASSERT_FALSE(single.m_bmpLit.isNull());
  const QImage before = UntouchedImage();
  EXPECT_TRUE(OnlyBitmapAt(Drawn(single, before), before, single.m_bmpLit, GetParam().rect.left,
                           GetParam().rect.top));
}

TEST_P(SingleDigitalDraw, UnlitPaintsExactlyItsRectangleWhite) {
  CSingleDigital single(u"Test", GetParam().rect, GetParam().lit, GetParam().disabled);
  single.m_bLit = false;
  const QImage before = UntouchedImage();
  EXPECT_TRUE(OnlyRectIs(Drawn(single, before), before, GetParam().rect, kWhite));
}

TEST_P(SingleDigitalDraw, DisabledCopiesTheGreyPictureWhetherLitOrNot) {
  CSingleDigital single(u"Test", GetParam().rect, GetParam().lit, GetParam().disabled);
  ASSERT_FALSE(single.m_bmpDisabled.isNull());
  single.m_bEnabled = false;
  const QImage before = UntouchedImage();
  for (const bool lit : {true, false}) {
    SCOPED_TRACE(lit ? "lit" : "unlit");
    single.m_bLit = lit;
    EXPECT_TRUE(OnlyBitmapAt(Drawn(single, before), before, single.m_bmpDisabled,
                             GetParam().rect.left, GetParam().rect.top));
  }
}

INSTANTIATE_TEST_SUITE_P(ScalePictures, SingleDigitalDraw, ::testing::ValuesIn(kSingleCases),
                         [](const auto& info) { return std::string(info.param.name); });

// One missing picture is enough to make the object invisible: no picture, no white fill.
TEST(SingleDigitalMissingPicture, DrawsNothingInAnyState) {
  struct {
    const char* what;
    unsigned lit;
    unsigned disabled;
  } const cases[] = {
      {"lit picture missing", kNoSuchBitmap, 143},
      {"disabled picture missing", 131, kNoSuchBitmap},
      {"both missing", kNoSuchBitmap, 0},
  };
  const QImage before = UntouchedImage();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CSingleDigital single(u"Auto", {34, 34, 112, 65}, c.lit, c.disabled);
    for (const bool enabled : {true, false}) {
      for (const bool lit : {true, false}) {
        single.m_bEnabled = enabled;
        single.m_bLit = lit;
        EXPECT_EQ(Drawn(single, before), before) << "enabled " << enabled << ", lit " << lit;
      }
    }
  }
}

TEST(SingleDigital, StartsEnabledLitAndWiredToBitZeroOfAddressZero) {
  const CSingleDigital single(u"Auto", {34, 34, 112, 65}, 131, 143);
  EXPECT_EQ(single.GetTypeName(), u"CSingleDigital");
  EXPECT_EQ(single.GetName(), u"Auto");
  EXPECT_EQ(single.m_rect, (CRect{34, 34, 112, 65}));
  EXPECT_FALSE(single.m_bSelected);
  EXPECT_TRUE(single.m_bEnabled);
  EXPECT_TRUE(single.m_bLit);
  EXPECT_EQ(single.m_wAddress, 0);
  EXPECT_EQ(single.m_wBitIndex, 0);
}

} // namespace
