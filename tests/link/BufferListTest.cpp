#include "link/BufferList.h"

#include "platform/KernelObjects.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

namespace {

MapPacketPtr MakeNumberedPacket(std::uint32_t nNumber) {
  MapPacketPtr pPacket = AllocPacket(sizeof nNumber);
  pPacket->SetCommand('r');
  std::memcpy(pPacket->GetPayload().data(), &nNumber, sizeof nNumber);
  return pPacket;
}

std::uint32_t NumberOf(const MapPacket& packet) {
  std::uint32_t nNumber = 0;
  std::memcpy(&nNumber, packet.GetPayload().data(), sizeof nNumber);
  return nNumber;
}

bool IsSignalled(const CBufferList& queue) {
  return WaitForSingleObject(queue.GetNotEmptyEvent(), 0) == WAIT_OBJECT_0;
}

// Each step is a push ('+') or a pop ('-'); after each, the event says "not empty" exactly when
// the queue holds a packet, and pops return packets in the order pushed.
TEST(BufferListTest, EventFollowsTheQueueThroughPushAndPopSequences) {
  const char* const sequences[] = {"-", "+-", "++--", "+-+-", "++-+--", "+++---", "+--+"};
  for (const char* szSequence : sequences) {
    SCOPED_TRACE(szSequence);
    CBufferList queue;
    EXPECT_FALSE(IsSignalled(queue));
    std::uint32_t nPushed = 0;
    std::uint32_t nPopped = 0;
    for (const char* pStep = szSequence; *pStep != '\0'; ++pStep) {
      SCOPED_TRACE(std::string("after step ") + std::to_string(pStep - szSequence));
      if (*pStep == '+') {
        MapPacketPtr pPacket = MakeNumberedPacket(nPushed++);
        ASSERT_TRUE(queue.Push(pPacket));
        EXPECT_FALSE(pPacket);  // the queue has it now
      } else {
        MapPacketPtr pPacket = queue.Pop();
        EXPECT_EQ(nPopped < nPushed, static_cast<bool>(pPacket));
        if (pPacket) {
          EXPECT_EQ(nPopped, NumberOf(*pPacket));
          ++nPopped;
        }
      }
      EXPECT_EQ(static_cast<int>(nPushed - nPopped), queue.GetCount());
      EXPECT_EQ(nPushed > nPopped, IsSignalled(queue));
    }
    // Packets still queued are freed with the queue (the leak checker would report them).
  }
}

TEST(BufferListTest, NullPushIsRefusedAndLeavesTheEventAlone) {
  CBufferList queue;
  MapPacketPtr pNone;
  EXPECT_FALSE(queue.Push(pNone));
  EXPECT_FALSE(IsSignalled(queue));
  EXPECT_EQ(0, queue.GetCount());
}

// One producer thread pushes numbered packets while this thread consumes them the way the link
// threads do: wait on the event, pop, treat a null pop as an empty wake-up.
TEST(BufferListTest, PacketsLeaveInTheOrderTheyEnteredUnderTwoThreads) {
  constexpr std::uint32_t kPackets = 20000;
  CBufferList queue;
  std::thread producer([&] {
    for (std::uint32_t i = 0; i < kPackets; ++i) {
      MapPacketPtr pPacket = MakeNumberedPacket(i);
      queue.Push(pPacket);
    }
  });
  std::uint32_t nExpected = 0;
  while (nExpected < kPackets) {
    if (WaitForSingleObject(queue.GetNotEmptyEvent(), 10000) != WAIT_OBJECT_0) {
      ADD_FAILURE() << "no packet announced after " << nExpected;
      break;
    }
    MapPacketPtr pPacket = queue.Pop();
    if (!pPacket)
      continue;
    if (NumberOf(*pPacket) != nExpected) {
      ADD_FAILURE() << "packet " << NumberOf(*pPacket) << " where " << nExpected << " was due";
      break;
    }
    ++nExpected;
  }
  producer.join();
  ASSERT_EQ(kPackets, nExpected);
  EXPECT_EQ(0, queue.GetCount());
  EXPECT_FALSE(queue.Pop());
  EXPECT_FALSE(IsSignalled(queue));
}

}  // namespace
