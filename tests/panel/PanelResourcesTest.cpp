#include "panel/PanelResources.h"

#include <QGuiApplication>
#include <QIcon>
#include <QImage>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

enum class Ink { Black, Ghost };

struct Picture {
  int id;
  int width, height;
  Ink ink;
};

const Picture kPictures[] = {
    {131, 78, 31, Ink::Black},  {143, 78, 31, Ink::Ghost},  // Auto
    {135, 108, 33, Ink::Black}, {138, 108, 33, Ink::Ghost}, // Round
    {133, 65, 20, Ink::Black},  {140, 65, 20, Ink::Ghost},  // minus bar
    {132, 44, 39, Ink::Black},  {142, 44, 39, Ink::Ghost},  // g
    {152, 44, 44, Ink::Black},  {153, 44, 44, Ink::Ghost},  // kg
    {134, 56, 32, Ink::Black},  {139, 56, 32, Ink::Ghost},  // OZ
    {136, 68, 34, Ink::Black},  {137, 68, 34, Ink::Ghost},  // Sec
    {144, 17, 60, Ink::Black},  {145, 17, 60, Ink::Ghost},  // colon
    {146, 17, 15, Ink::Black},  {147, 16, 15, Ink::Ghost},  // point
    {151, 86, 150, Ink::Black},                             // figure eight of the digit dialog
};

struct Tones {
  int darkest = 255;
  int lightest = 0;
  bool grey = true; // every pixel has red = green = blue
};

Tones TonesOf(const QImage& image) {
  Tones tones;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QRgb pixel = image.pixel(x, y);
      tones.grey &= qRed(pixel) == qGreen(pixel) && qGreen(pixel) == qBlue(pixel);
      tones.darkest = std::min(tones.darkest, qRed(pixel));
      tones.lightest = std::max(tones.lightest, qRed(pixel));
    }
  }
  return tones;
}

// Lit pictures are black glyphs on white, disabled ones the same in #ECECEC on white: the
// darkest pixel is the ink itself, the lightest the white paper.
TEST(PanelResources, EveryShippedPictureLoadsAtItsSizeInItsInk) {
  for (const Picture& picture : kPictures) {
    SCOPED_TRACE(picture.id);
    const QImage image = LoadPanelBitmap(static_cast<std::uint16_t>(picture.id));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(picture.width, picture.height));
    const Tones tones = TonesOf(image);
    EXPECT_TRUE(tones.grey);
    EXPECT_EQ(tones.lightest, 255);
    EXPECT_EQ(tones.darkest, picture.ink == Ink::Black ? 0 : 0xEC);
    EXPECT_EQ(image.pixel(0, 0), qRgb(255, 255, 255)) << "the corner is paper";
  }
}

TEST(PanelResources, UnknownNumbersGiveNullPictures) {
  for (const int id : {0, 128, 150, 999, 65535}) {
    SCOPED_TRACE(id);
    EXPECT_TRUE(LoadPanelBitmap(static_cast<std::uint16_t>(id)).isNull());
  }
}

TEST(PanelResources, IconComesInThreeSizes) {
  // Icons are pixmaps, which need the application object the program has by then.
  int argc = 1;
  char name[] = "panel_objects_test";
  char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  const QGuiApplication app(argc, argv);
  const QIcon icon = LoadPanelIcon(128);
  ASSERT_FALSE(icon.isNull());
  EXPECT_EQ(icon.availableSizes(), (QList<QSize>{{16, 16}, {32, 32}, {48, 48}}));
  EXPECT_TRUE(LoadPanelIcon(131).isNull());
}

} // namespace
