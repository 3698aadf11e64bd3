#include "panel/ScaleLayout.h"

#include "panel/MultiDigitalNumber.h"
#include "panel/SingleDigital.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Row {
  std::u16string name;
  bool digit;
  CRect rect;
  int litWidth, litHeight, disabledWidth; // of the pictures; digits have none
};

const std::vector<Row> kExpected = {
    {u"Auto", false, {34, 34, 112, 65}, 78, 31, 78},
    {u"Round", false, {19, 117, 127, 152}, 108, 33, 108},
    {u"Negative", false, {63, 83, 128, 107}, 65, 20, 65},
    {u"G", false, {700, 26, 745, 66}, 44, 39, 44},
    {u"KG", false, {750, 26, 795, 70}, 44, 44, 44},
    {u"OZ", false, {700, 74, 756, 106}, 56, 32, 56},
    {u"Second", false, {700, 116, 770, 151}, 68, 34, 68},
    {u"Number1", true, {128, 21, 200, 150}, 0, 0, 0},
    {u"DoubleDot1", false, {205, 50, 222, 110}, 17, 60, 17},
    {u"Dot1", false, {205, 140, 222, 155}, 17, 15, 16},
    {u"Number2", true, {225, 21, 297, 150}, 0, 0, 0},
    {u"DoubleDot2", false, {302, 50, 319, 110}, 17, 60, 17},
    {u"Dot2", false, {302, 140, 319, 150}, 17, 15, 16},
    {u"Number3", true, {322, 21, 394, 150}, 0, 0, 0},
    {u"DoubleDot3", false, {399, 50, 416, 110}, 17, 60, 17},
    {u"Dot3", false, {399, 140, 416, 160}, 17, 15, 16},
    {u"Number4", true, {419, 21, 491, 150}, 0, 0, 0},
    {u"DoubleDot4", false, {496, 50, 513, 110}, 17, 60, 17},
    {u"Dot4", false, {496, 140, 513, 160}, 17, 15, 16},
    {u"Number5", true, {516, 21, 588, 150}, 0, 0, 0},
    {u"DoubleDot5", false, {593, 50, 610, 110}, 17, 60, 17},
    {u"Dot5", false, {593, 140, 610, 160}, 17, 15, 16},
    {u"Number6", true, {613, 21, 685, 150}, 0, 0, 0},
};

std::string Utf8(const std::u16string& text) { return std::string(text.begin(), text.end()); }

class ScaleLayout : public ::testing::Test {
protected:
  void SetUp() override { AppendScaleObjects(m_objects); }

  // Names of the objects under a point, in list order: what a click there selects.
  std::vector<std::u16string> ObjectsAt(int x, int y) const {
    std::vector<std::u16string> hits;
    for (const auto& object : m_objects) {
      if (object->m_rect.PtInRect(x, y))
        hits.push_back(object->GetName());
    }
    return hits;
  }

  std::vector<std::unique_ptr<CDigitalObject>> m_objects;
};

TEST_F(ScaleLayout, HoldsTheTwentyThreeObjectsInOrder) {
  ASSERT_EQ(m_objects.size(), kExpected.size());
  ASSERT_EQ(m_objects.size(), kScaleObjectCount);
  for (std::size_t i = 0; i < kExpected.size(); ++i) {
    const Row& row = kExpected[i];
    const CDigitalObject& object = *m_objects[i];
    SCOPED_TRACE(Utf8(row.name));
    EXPECT_EQ(object.GetName(), row.name);
    EXPECT_EQ(object.m_rect, row.rect);
    EXPECT_EQ(object.GetTypeName(), row.digit ? u"CMultiDigitalNumber" : u"CSingleDigital");
    EXPECT_TRUE(object.m_bEnabled);
    EXPECT_FALSE(object.m_bSelected);
    if (row.digit)
      continue;
    const auto& single = static_cast<const CSingleDigital&>(object);
    EXPECT_EQ(single.m_bmpLit.size(), QSize(row.litWidth, row.litHeight));
    EXPECT_EQ(single.m_bmpDisabled.size(), QSize(row.disabledWidth, row.litHeight));
    EXPECT_TRUE(single.m_bLit);
  }
}

TEST_F(ScaleLayout, AppendsAfterWhatTheListAlreadyHolds) {
  std::vector<std::unique_ptr<CDigitalObject>> objects;
  objects.push_back(std::make_unique<CMultiDigitalNumber>(u"First", CRect{0, 0, 1, 1}));
  AppendScaleObjects(objects);
  ASSERT_EQ(objects.size(), 24u);
  EXPECT_EQ(objects.front()->GetName(), u"First");
  EXPECT_EQ(objects[1]->GetName(), u"Auto");
  EXPECT_EQ(objects.back()->GetName(), u"Number6");
}

TEST_F(ScaleLayout, ClicksFindTheObjectsUnderThePoint) {
  struct {
    int x, y;
    std::vector<std::u16string> hits;
  } const cases[] = {
      {34, 34, {u"Auto"}},
      {112, 40, {}},    // the right edge lies outside
      {310, 152, {}},   // below the short Dot2
      {407, 152, {u"Dot3"}},
      {794, 69, {u"KG"}}, // the last pixel of the rightmost object
      {795, 40, {}},
      {200, 100, {}},   // between Number1 and DoubleDot1
      {199, 149, {u"Number1"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "(" << c.x << ", " << c.y << ")");
    EXPECT_EQ(ObjectsAt(c.x, c.y), c.hits);
  }
}

} // namespace
