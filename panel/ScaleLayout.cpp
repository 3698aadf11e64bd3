#include "panel/ScaleLayout.h"

#include "panel/MultiDigitalNumber.h"
#include "panel/SingleDigital.h"

#include <array>
#include <string_view>

namespace {

enum class ObjectKind : unsigned char { Single, Digit };

struct LayoutRow {
  ObjectKind kind;
  std::u16string_view name;
  CRect rect;
  unsigned litBitmap;
  unsigned disabledBitmap;
};

constexpr unsigned kNoBitmap = 0;

// Digit i starts at x = 128 + 97 (i - 1); colon and point i sit 5 pixels to its right. The
// points differ in height, the rectangles of the words and units in size from their pictures:
// the rectangle still governs the hit test and the white fill.
constexpr std::array<LayoutRow, kScaleObjectCount> kScaleLayout{{
    {ObjectKind::Single, u"Auto", {34, 34, 112, 65}, 131, 143},
    {ObjectKind::Single, u"Round", {19, 117, 127, 152}, 135, 138},
    {ObjectKind::Single, u"Negative", {63, 83, 128, 107}, 133, 140},
    {ObjectKind::Single, u"G", {700, 26, 745, 66}, 132, 142},
    {ObjectKind::Single, u"KG", {750, 26, 795, 70}, 152, 153},
    {ObjectKind::Single, u"OZ", {700, 74, 756, 106}, 134, 139},
    {ObjectKind::Single, u"Second", {700, 116, 770, 151}, 136, 137},
    {ObjectKind::Digit, u"Number1", {128, 21, 200, 150}, kNoBitmap, kNoBitmap},
    {ObjectKind::Single, u"DoubleDot1", {205, 50, 222, 110}, 144, 145},
    {ObjectKind::Single, u"Dot1", {205, 140, 222, 155}, 146, 147},
    {ObjectKind::Digit, u"Number2", {225, 21, 297, 150}, kNoBitmap, kNoBitmap},
    {ObjectKind::Single, u"DoubleDot2", {302, 50, 319, 110}, 144, 145},
    {ObjectKind::Single, u"Dot2", {302, 140, 319, 150}, 146, 147},
    {ObjectKind::Digit, u"Number3", {322, 21, 394, 150}, kNoBitmap, kNoBitmap},
    {ObjectKind::Single, u"DoubleDot3", {399, 50, 416, 110}, 144, 145},
    {ObjectKind::Single, u"Dot3", {399, 140, 416, 160}, 146, 147},
    {ObjectKind::Digit, u"Number4", {419, 21, 491, 150}, kNoBitmap, kNoBitmap},
    {ObjectKind::Single, u"DoubleDot4", {496, 50, 513, 110}, 144, 145},
    {ObjectKind::Single, u"Dot4", {496, 140, 513, 160}, 146, 147},
    {ObjectKind::Digit, u"Number5", {516, 21, 588, 150}, kNoBitmap, kNoBitmap},
    {ObjectKind::Single, u"DoubleDot5", {593, 50, 610, 110}, 144, 145},
    {ObjectKind::Single, u"Dot5", {593, 140, 610, 160}, 146, 147},
    {ObjectKind::Digit, u"Number6", {613, 21, 685, 150}, kNoBitmap, kNoBitmap},
}};

std::unique_ptr<CDigitalObject> CreateObject(const LayoutRow& row) {
  if (row.kind == ObjectKind::Digit)
    return std::make_unique<CMultiDigitalNumber>(row.name, row.rect);
  return std::make_unique<CSingleDigital>(row.name, row.rect, row.litBitmap, row.disabledBitmap);
}

} // namespace

void AppendScaleObjects(std::vector<std::unique_ptr<CDigitalObject>>& objects) {
  objects.reserve(objects.size() + kScaleLayout.size());
  for (const LayoutRow& row : kScaleLayout)
    objects.push_back(CreateObject(row));
}
