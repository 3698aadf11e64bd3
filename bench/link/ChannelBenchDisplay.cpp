// channel_bench_display: the display's side of the link for bench_link_channel, reduced to
// the hand-overs a memory report makes: the receive thread copies the packet out of the
// inbound area, this program's main thread stands in for the process thread and queues the
// empty reply, the access thread writes it back. `t` is answered so that the IDE library's
// start-up succeeds; `q` ends the program. Not named bench_*: ./run bench must not run it alone.

#include "link/MapPacket.h"
#include "tests/support/DisplayStandIn.h"

namespace {

MapPacketPtr BuildReply(std::uint8_t nCommand) {
  if (nCommand == MapPacket::kCommandWindowHandle) return AllocWindowHandleReply(1);
  return AllocEmptyReply(nCommand);
}

}  // namespace

int main() {
  const bool bLinked = display_stand_in::Serve([](const MapPacket& packet) {
    return display_stand_in::Answer{BuildReply(packet.GetCommand()), packet.GetCommand() == MapPacket::kCommandQuit};
  });
  return bLinked ? 0 : 3;
}
