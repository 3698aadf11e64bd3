#pragma once
// The display's side of the channel under test (the link objects, the receive and access
// threads and the process queue they feed) facing an ide_peer process that plays the IDE.
// Every test gets its own object namespace; the peer inherits it.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "link/BufferList.h"
#include "link/LinkObjects.h"
#include "link/MapPacket.h"
#include "link/ThreadMapViewAccess.h"
#include "link/ThreadMapViewReceive.h"
#include "platform/KernelObjects.h"
#include "tests/link/IdePeerClient.h"
#include "tests/platform/LinkTestSupport.h"
#include "tests/support/HexBytes.h"
#include "tools/IdeLink.h"

class ChannelTest : public testing::Test {
 protected:
  static constexpr DWORD kThreadEndMs = 10000;
  static constexpr DWORD kArrivalMs = 5000;

  ChannelTest() {
    for (const std::string_view name : CLinkObjects::kNames) m_namespace.Name(std::string(name));
  }
  ~ChannelTest() override { StopThreads(); }

  // The peer creates the objects; the display's side opens them.
  void CreateLink(std::size_t nInSize = CIdeLink::kAreaSize, std::size_t nOutSize = CIdeLink::kAreaSize) {
    ASSERT_EQ("ok", m_peer.Command("create " + std::to_string(nInSize) + " " + std::to_string(nOutSize)));
    ASSERT_TRUE(m_link.Open());
  }

  // Both queues exist before either thread starts; access first, as at start-up.
  void StartThreads() {
    m_pAccess = std::make_unique<CThreadMapViewAccess>(m_link);
    m_pReceive = std::make_unique<CThreadMapViewReceive>(m_link, m_processQueue);
    ASSERT_TRUE(m_pAccess->Start(THREAD_PRIORITY_NORMAL, 0));
    ASSERT_TRUE(m_pReceive->Start(THREAD_PRIORITY_NORMAL, 0));
  }

  void StopThreads() {
    if (m_pAccess) SetEvent(m_pAccess->m_hStopEvent);
    if (m_pReceive) SetEvent(m_pReceive->m_hStopEvent);
    if (m_pAccess) {
      EXPECT_EQ(WAIT_OBJECT_0, m_pAccess->WaitForThread(kThreadEndMs));
    }
    if (m_pReceive) {
      EXPECT_EQ(WAIT_OBJECT_0, m_pReceive->WaitForThread(kThreadEndMs));
    }
    m_pAccess.reset();
    m_pReceive.reset();
    while (m_processQueue.Pop()) {
    }
  }

  // The next packet the receive thread queued, or null when none arrives in time.
  MapPacketPtr NextReceived(DWORD dwMilliseconds = kArrivalMs) {
    for (;;) {
      if (WaitForSingleObject(m_processQueue.GetNotEmptyEvent(), dwMilliseconds) != WAIT_OBJECT_0) return nullptr;
      if (MapPacketPtr pPacket = m_processQueue.Pop()) return pPacket;
    }
  }

  // A reply as command execution would queue it, with the reserved bytes filled so that a copy
  // which skipped them would show.
  void QueueReply(const std::vector<std::byte>& image) {
    MapPacketPtr pReply = AllocPacket(image.size() - MapPacket::kHeaderSize);
    ASSERT_TRUE(pReply);
    std::copy(image.begin(), image.end(), pReply->GetBytes().begin());
    ASSERT_TRUE(m_pAccess->m_queue.Push(pReply));
  }

  // Header with every reserved byte set to a marker, then the payload.
  static std::vector<std::byte> MakeImage(char cCommand, std::size_t nPayloadLength, std::uint8_t nMarker) {
    std::vector<std::byte> image(MapPacket::kHeaderSize + nPayloadLength);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::byte>(nMarker + i * 7);
    image[MapPacket::kCommandOffset] = static_cast<std::byte>(cCommand);
    image[MapPacket::kPayloadLengthOffset] = static_cast<std::byte>(nPayloadLength & 0xFF);
    image[MapPacket::kPayloadLengthOffset + 1] = static_cast<std::byte>(nPayloadLength >> 8);
    return image;
  }

  static std::string Hex(std::span<const std::byte> bytes) { return hex_bytes::ToHex(bytes); }

  CTestNamespace m_namespace;  // first: the peer must inherit its namespace
  CIdePeerClient m_peer;
  CLinkObjects m_link;
  CBufferList m_processQueue;
  std::unique_ptr<CThreadMapViewAccess> m_pAccess;
  std::unique_ptr<CThreadMapViewReceive> m_pReceive;
};
