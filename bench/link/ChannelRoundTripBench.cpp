// Round trip of a memory report with 255 entries through the whole link, as an IDE sees it:
// the vitrel-ide library writes the packet into the inbound area, the display's receive thread
// copies it into the process queue, a stand-in process thread queues the empty reply, the
// access thread writes it into the outbound area, and the library reads it. The display runs
// in its own process (channel_bench_display). The bare cross-process futex ping-pong runs in
// the same program as the floor to compare against; the paired benchmark lets both take turns
// in short blocks, so load that drifts during the run weighs on both alike.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

#include "bench/link/RawFutexPingPong.h"
#include "tools/IdeSession.h"

namespace {

// The IDE's end of a link to a started channel_bench_display, and the memory report it sends.
class CChannelClient {
 public:
  CChannelClient() {
    setenv("VITREL_LINK_NAMESPACE", ("vitrel-bench-channel-" + std::to_string(getpid()) + "-").c_str(), 1);
    IdeSessionOptions options;
    options.strDisplayPath = CHANNEL_BENCH_DISPLAY_PATH;
    auto session = CIdeSession::Start(options, m_strError);
    if (session) m_session.emplace(std::move(*session));
    std::vector<MemoryEntry> entries(CIdePacket::kMaxMemoryEntries);
    for (std::size_t i = 0; i < entries.size(); ++i)
      entries[i] = {static_cast<std::uint16_t>(0x40 + i), static_cast<std::uint8_t>(i)};
    m_packet = CIdePacket::MakeMemory(entries);
  }
  ~CChannelClient() {
    std::string ignored;
    if (m_session) m_session->Quit(ignored);
  }

  bool IsReady() const { return m_session.has_value(); }
  const std::string& GetError() const { return m_strError; }

  bool RoundTrip() {
    const auto reply = m_session->Send(*m_packet, m_strError);
    benchmark::DoNotOptimize(reply);
    return reply.has_value();
  }

 private:
  std::string m_strError;
  std::optional<CIdeSession> m_session;
  std::optional<CIdePacket> m_packet;
};

void BM_ChannelMemoryRoundTrip(benchmark::State& state) {
  CChannelClient channel;
  if (!channel.IsReady()) {
    state.SkipWithError(channel.GetError().c_str());
    return;
  }
  for (auto _ : state) {
    if (!channel.RoundTrip()) {
      state.SkipWithError(channel.GetError().c_str());
      break;
    }
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_ChannelMemoryRoundTripAgainstRawFloor(benchmark::State& state) {
  CRawFutexPingPong raw;
  CChannelClient channel;
  if (!raw.IsReady() || !channel.IsReady()) {
    state.SkipWithError("ping-pong partner or display could not be started");
    return;
  }
  const auto channelNs = RunAgainstRawFloor(state, raw, "channel_ns", [&] {
    if (channel.RoundTrip()) return true;
    state.SkipWithError(channel.GetError().c_str());
    return false;
  });
  if (channelNs) state.counters["packets_per_s"] = 1e9 / *channelNs;
}

}  // namespace

BENCHMARK(BM_RawFutexRoundTrip)->UseRealTime();
BENCHMARK(BM_ChannelMemoryRoundTrip)->UseRealTime();
BENCHMARK(BM_ChannelMemoryRoundTripAgainstRawFloor)->UseRealTime();

BENCHMARK_MAIN();
