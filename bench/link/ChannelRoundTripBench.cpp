// Round trip of a memory report with 255 entries through the whole link, as an IDE sees it:
// the vitrel-ide library writes the packet into the inbound area, the display's receive thread
// copies it into the process queue, a stand-in process thread queues the empty reply, the
// access thread writes it into the outbound area, and the library reads it. The display runs
// in its own process (channel_bench_display). The bare cross-process futex ping-pong runs in
// the same program as the floor to compare against.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

#include "bench/link/RawFutexPingPong.h"
#include "tools/IdeSession.h"

namespace {

void BM_ChannelMemoryRoundTrip(benchmark::State& state) {
  setenv("VITREL_LINK_NAMESPACE", ("vitrel-bench-channel-" + std::to_string(getpid()) + "-").c_str(), 1);
  IdeSessionOptions options;
  options.strDisplayPath = CHANNEL_BENCH_DISPLAY_PATH;
  std::string error;
  auto session = CIdeSession::Start(options, error);
  if (!session) {
    state.SkipWithError(error.c_str());
    return;
  }
  std::vector<MemoryEntry> entries(CIdePacket::kMaxMemoryEntries);
  for (std::size_t i = 0; i < entries.size(); ++i)
    entries[i] = {static_cast<std::uint16_t>(0x40 + i), static_cast<std::uint8_t>(i)};
  const CIdePacket packet = *CIdePacket::MakeMemory(entries);
  for (auto _ : state) {
    const auto reply = session->Send(packet, error);
    if (!reply) {
      state.SkipWithError(error.c_str());
      break;
    }
    benchmark::DoNotOptimize(reply->GetCommand());
  }
  state.SetItemsProcessed(state.iterations());
  session->Quit(error);
}

}  // namespace

BENCHMARK(BM_RawFutexRoundTrip)->UseRealTime();
BENCHMARK(BM_ChannelMemoryRoundTrip)->UseRealTime();

BENCHMARK_MAIN();
