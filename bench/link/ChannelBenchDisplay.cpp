// channel_bench_display: the display's side of the link for bench_link_channel, reduced to
// the hand-overs a memory report makes: the receive thread copies the packet out of the
// inbound area, this program's main thread stands in for the process thread and queues the
// empty reply, the access thread writes it back. `t` is answered so that the IDE library's
// start-up succeeds; `q` ends the program. Not named bench_*: ./run bench must not run it alone.

#include "link/BufferList.h"
#include "link/LinkObjects.h"
#include "link/MapPacket.h"
#include "link/ThreadMapViewAccess.h"
#include "link/ThreadMapViewReceive.h"
#include "platform/KernelObjects.h"

namespace {

constexpr DWORD kProcessWaitMs = 10;  // the process thread's wait
constexpr DWORD kStopWaitMs = 5000;

MapPacketPtr BuildReply(std::uint8_t nCommand) {
  if (nCommand == MapPacket::kCommandWindowHandle) return AllocWindowHandleReply(1);
  return AllocEmptyReply(nCommand);
}

}  // namespace

int main() {
  CLinkObjects link;
  if (!link.Open()) return 3;
  CBufferList processQueue;
  CThreadMapViewAccess access(link);
  CThreadMapViewReceive receive(link, processQueue);
  access.Start(THREAD_PRIORITY_NORMAL, 0);
  receive.Start(THREAD_PRIORITY_NORMAL, 0);
  for (bool bQuit = false; !bQuit;) {
    if (WaitForSingleObject(processQueue.GetNotEmptyEvent(), kProcessWaitMs) != WAIT_OBJECT_0) continue;
    const MapPacketPtr pPacket = processQueue.Pop();
    if (!pPacket) continue;
    MapPacketPtr pReply = BuildReply(pPacket->GetCommand());
    access.m_queue.Push(pReply);
    bQuit = pPacket->GetCommand() == MapPacket::kCommandQuit;
  }
  SetEvent(access.m_hStopEvent);
  access.WaitForThread(kStopWaitMs);
  SetEvent(receive.m_hStopEvent);
  receive.WaitForThread(kStopWaitMs);
  return 0;
}
