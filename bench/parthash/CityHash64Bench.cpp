#include "CityHash64.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

void BM_CityHash64(benchmark::State& state) {
  const auto size = static_cast<std::size_t>(state.range(0));
  std::vector<char> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 131 + 7);
  for (auto _ : state) {
    benchmark::DoNotOptimize(parthash::CityHash64(bytes.data(), bytes.size()));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_CityHash64)->Arg(8)->Arg(64)->Arg(1024)->Arg(1 << 20);

}  // namespace

BENCHMARK_MAIN();
