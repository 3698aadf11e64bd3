#include "panel/ScaleLayout.h"

#include "panel/DrawSurface.h"
#include "panel/MultiDigitalNumber.h"
#include "panel/SingleDigital.h"

#include <QImage>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace {

using ObjectList = std::vector<std::unique_ptr<CDigitalObject>>;

QImage Paint(const ObjectList& objects) {
  QImage image(795, 195, QImage::Format_RGB32);
  image.fill(Qt::white);
  CDrawSurface surface(image);
  for (const auto& object : objects)
    object->Draw(&surface);
  return image;
}

void Rewire(CDigitalObject& object, std::uint16_t bitIndex) {
  if (object.GetTypeName() == CSingleDigital::kTypeName) {
    static_cast<CSingleDigital&>(object).m_wBitIndex.store(bitIndex, std::memory_order_relaxed);
    return;
  }
  for (auto& segment : static_cast<CMultiDigitalNumber&>(object).m_wSegBitIndex)
    segment.store(bitIndex, std::memory_order_relaxed);
}

// The link's command thread applies memory reports, re-wires bits and switches objects off and
// on, while the window's thread paints the same objects without a lock. Afterwards the panel
// shows exactly what the last report and wiring say.
TEST(PanelThreads, MemoryReportsWhilePainting) {
  ObjectList objects;
  AppendScaleObjects(objects);
  const QImage allLit = Paint(objects);

  std::atomic<bool> done{false};
  std::thread painter([&] {
    int frames = 0;
    while (!done.load(std::memory_order_acquire) || frames < 10) {
      Paint(objects);
      ++frames;
    }
  });

  constexpr int kReports = 2000;
  for (int report = 0; report < kReports; ++report) {
    const RamValueMap values{{0, static_cast<std::uint8_t>(report % 2 ? 0xFF : 0x00)}};
    for (const auto& object : objects) {
      object->UpdateFromMemory(values);
      object->m_bEnabled.store(report % 3 != 0, std::memory_order_relaxed);
      Rewire(*object, static_cast<std::uint16_t>(report % 9));
    }
  }
  done.store(true, std::memory_order_release);
  painter.join();

  for (const auto& object : objects) {
    Rewire(*object, 0);
    object->m_bEnabled.store(true, std::memory_order_relaxed);
    object->UpdateFromMemory({{0, 0x01}});
  }
  EXPECT_EQ(Paint(objects), allLit);
}

} // namespace
