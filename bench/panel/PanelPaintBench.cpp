// What one paint of the scale panel costs, against the floor of filling the same image white
// (the least any paint does). Both open a surface on the image per frame, as a paint does.
// Times are per frame; state 0 is the fresh panel (all lit), 1 all dark, 2 all disabled.

#include "panel/DrawSurface.h"
#include "panel/ScaleLayout.h"

#include <QImage>

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

constexpr int kWidth = 795;
constexpr int kHeight = 195;

enum PanelState { kAllLit, kAllUnlit, kAllDisabled };

std::vector<std::unique_ptr<CDigitalObject>> ScalePanel(PanelState panelState) {
  std::vector<std::unique_ptr<CDigitalObject>> objects;
  AppendScaleObjects(objects);
  for (const auto& object : objects) {
    if (panelState == kAllUnlit)
      object->UpdateFromMemory({{0, 0x00}}); // everything is wired to bit 0 of address 0
    if (panelState == kAllDisabled)
      object->m_bEnabled.store(false, std::memory_order_relaxed);
  }
  return objects;
}

void BM_WhiteFill(benchmark::State& state) {
  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  for (auto _ : state) {
    CDrawSurface surface(image);
    surface.FillSolidRect(0, 0, kWidth, kHeight, qRgb(255, 255, 255));
    benchmark::DoNotOptimize(image.constBits());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_WhiteFill)->Unit(benchmark::kMicrosecond);

void BM_DrawScaleObjects(benchmark::State& state) {
  const auto objects = ScalePanel(static_cast<PanelState>(state.range(0)));
  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  image.fill(Qt::white);
  for (auto _ : state) {
    CDrawSurface surface(image);
    for (const auto& object : objects)
      object->Draw(&surface);
    benchmark::DoNotOptimize(image.constBits());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_DrawScaleObjects)
    ->ArgName("state")
    ->Arg(kAllLit)
    ->Arg(kAllUnlit)
    ->Arg(kAllDisabled)
    ->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
