// Push+pop pairs through a CBufferList: between two threads (this thread produces, a consumer
// waits on the not-empty event and pops, as the link threads do), and on one thread as the
// floor without any waiting.
#include "link/BufferList.h"
#include "platform/KernelObjects.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <thread>

namespace {

void BM_BufferListPushPopTwoThreads(benchmark::State& state) {
  CBufferList queue;
  const CEvent stop = CEvent::CreateUnnamed(EventReset::Manual, false);
  std::atomic<std::int64_t> nConsumed{0};
  std::thread consumer([&] {
    while (WaitForMultipleObjects({&stop, &queue.GetNotEmptyEvent()}, INFINITE) == WAIT_OBJECT_0 + 1) {
      if (queue.Pop())
        nConsumed.fetch_add(1, std::memory_order_relaxed);
    }
  });
  std::int64_t nPushed = 0;
  for (auto _ : state) {
    MapPacketPtr pPacket = AllocPacket(0);
    if (queue.Push(pPacket))
      ++nPushed;
  }
  // The pairs are complete only once the consumer has taken every packet.
  while (nConsumed.load(std::memory_order_relaxed) < nPushed)
    std::this_thread::yield();
  SetEvent(stop);
  consumer.join();
  state.SetItemsProcessed(nPushed);
}

void BM_BufferListPushPopOneThread(benchmark::State& state) {
  CBufferList queue;
  for (auto _ : state) {
    MapPacketPtr pPacket = AllocPacket(0);
    queue.Push(pPacket);
    benchmark::DoNotOptimize(queue.Pop());
  }
  state.SetItemsProcessed(state.iterations());
}

}  // namespace

BENCHMARK(BM_BufferListPushPopTwoThreads)->UseRealTime();
BENCHMARK(BM_BufferListPushPopOneThread);

BENCHMARK_MAIN();
