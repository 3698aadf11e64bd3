// vitrel-panel-snapshot: draws the scale panel into a PNG file, the way the panel window shows
// it on white glass, for documentation and for looking at the artwork.
//
//   vitrel-panel-snapshot <file.png> [lit | unlit | disabled]
//
// lit: a fresh panel before any memory report (every picture and segment shown); unlit: every
// wired bit reads 0; disabled: every object shows its grey ghost.

#include "panel/DigitalObject.h"
#include "panel/DrawSurface.h"
#include "panel/ScaleLayout.h"

#include <QGuiApplication>
#include <QImage>

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr int kWidth = 805;
constexpr int kHeight = 170;

void ApplyState(const std::vector<std::unique_ptr<CDigitalObject>>& objects, const char* state) {
  if (std::strcmp(state, "unlit") == 0) {
    // Everything is wired to bit 0 of address 0 until a panel file says otherwise.
    const RamValueMap zero{{0, 0}};
    for (const auto& object : objects)
      object->UpdateFromMemory(zero);
  }
  if (std::strcmp(state, "disabled") == 0) {
    for (const auto& object : objects)
      object->m_bEnabled.store(false, std::memory_order_relaxed);
  }
}

} // namespace

int main(int argc, char** argv) {
  const char* state = argc > 2 ? argv[2] : "lit";
  if (argc < 2 || argc > 3 ||
      (std::strcmp(state, "lit") != 0 && std::strcmp(state, "unlit") != 0 &&
       std::strcmp(state, "disabled") != 0)) {
    std::fprintf(stderr, "usage: vitrel-panel-snapshot <file.png> [lit | unlit | disabled]\n");
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);

  std::vector<std::unique_ptr<CDigitalObject>> objects;
  AppendScaleObjects(objects);
  ApplyState(objects, state);

  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    CDrawSurface surface(image);
    for (const auto& object : objects)
      object->Draw(&surface);
  }
  if (!image.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
    std::fprintf(stderr, "vitrel-panel-snapshot: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
