// The vitrel-ide library against a real display process (the fake_display fixture, which opens
// the link with the display's own receive and access threads): start-up while the display
// drops commands, replies matched to their commands, time limits, and the clean-up of the link
// objects and of the display process on every path.

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/tools/ToolsTestSupport.h"
#include "tools/IdeSession.h"

namespace {

constexpr std::uint32_t kFakeWindowHandle = 0x0002A05C;

class IdeSessionTest : public testing::Test {
 protected:
  IdeSessionOptions Options() const {
    IdeSessionOptions options;
    options.strDisplayPath = FAKE_DISPLAY_PATH;
    return options;
  }

  std::size_t CountLogged(const std::string& prefix) const {
    const auto lines = m_environment.ReadLog();
    return static_cast<std::size_t>(
        std::count_if(lines.begin(), lines.end(), [&](const std::string& line) { return line.starts_with(prefix); }));
  }

  CToolsTestEnvironment m_environment;
};

// The display drops everything during its first 700 ms, as before its window exists: start-up
// resends `t` until one is answered, and the late answers to the resent ones never get mistaken
// for the replies of the commands that follow.
TEST_F(IdeSessionTest, StartOutlastsDroppedCommandsAndRepliesMatchTheirCommands) {
  m_environment.SetKnob("FAKE_DISPLAY_NO_WINDOW_MS", "700");
  IdeSessionOptions options = Options();
  options.strOwner = "RUVORO";
  std::string error;
  auto session = CIdeSession::Start(options, error);
  ASSERT_TRUE(session) << error;
  EXPECT_EQ(kFakeWindowHandle, session->GetWindowHandle());
  EXPECT_GT(CountLogged("command 00000000740000"), 0u);
  EXPECT_EQ("args Owner RUVORO", m_environment.ReadLog().front());

  const char* sequence = "utrut";
  for (const char* letter = sequence; *letter; ++letter) {
    SCOPED_TRACE(*letter);
    const auto reply = session->Send(*CIdePacket::Make(*letter), error);
    ASSERT_TRUE(reply) << error;
    EXPECT_EQ(*letter, reply->GetCommand());
  }
  std::vector<MemoryEntry> entries(300, MemoryEntry{0x0040, 0x01});
  for (const CIdePacket& packet : CIdePacket::MakeMemoryPackets(entries)) {
    const auto reply = session->Send(packet, error);
    ASSERT_TRUE(reply) << error;
    EXPECT_EQ('r', reply->GetCommand());
  }
  const auto load = session->Send(*CIdePacket::MakePath('p', "/tmp/a.xml"), error);
  ASSERT_TRUE(load) << error;
  EXPECT_EQ('p', load->GetCommand());
  EXPECT_EQ(1u, CountLogged("command 0000000070001600000000002f0074006d0070002f0061002e0078006d006c000000"));

  ASSERT_TRUE(session->Quit(error)) << error;
  EXPECT_EQ("exit status 0", session->GetDisplay().DescribeStatus());
  session.reset();
  EXPECT_TRUE(CToolsTestEnvironment::AllObjectsRemoved());
}

struct StartFailureCase {
  const char* szName;
  const char* szDisplay;
  const char* szError;
};

TEST_F(IdeSessionTest, StartFailsWithAReasonAndLeavesNothingBehind) {
  const StartFailureCase cases[] = {
      {"no such program", "/nonexistent/vitrel", "cannot start the display \"/nonexistent/vitrel\""},
      {"display that ends at once", "/bin/false", "the display ended (exit status 1)"},
  };
  for (const StartFailureCase& test : cases) {
    SCOPED_TRACE(test.szName);
    IdeSessionOptions options = Options();
    options.strDisplayPath = test.szDisplay;
    std::string error;
    EXPECT_FALSE(CIdeSession::Start(options, error));
    EXPECT_NE(std::string::npos, error.find(test.szError)) << error;
    EXPECT_TRUE(CToolsTestEnvironment::AllObjectsRemoved());
  }
}

TEST_F(IdeSessionTest, StartRefusesObjectsLeftByAnotherLink) {
  CFileMapping stale = CFileMapping::Create(CLinkObjects::kOutCopyEventName, 16);
  ASSERT_TRUE(stale);
  std::string error;
  EXPECT_FALSE(CIdeSession::Start(Options(), error));
  EXPECT_NE(std::string::npos, error.find("VEVOMapMemoryCopyEvent\" already exists")) << error;
  EXPECT_TRUE(m_environment.ReadLog().empty());  // the display was never started
  // The stale object is not ours to remove; the objects created before it are gone.
  EXPECT_TRUE(CFileMapping::Open(CLinkObjects::kOutCopyEventName));
  EXPECT_FALSE(CFileMapping::Open(CLinkObjects::kInMutexName));
}

// A display that takes commands but answers only `t`: the next command times out with a clear
// message; a display that ignores `q` is not waited for beyond the quit limit, and is ended
// when the session goes.
TEST_F(IdeSessionTest, TimeLimitsEndWaitsForAnUnresponsiveDisplay) {
  m_environment.SetKnob("FAKE_DISPLAY_ANSWER", "t");
  m_environment.SetKnob("FAKE_DISPLAY_IGNORE_QUIT", "1");
  IdeSessionOptions options = Options();
  options.dwReplyTimeoutMs = 300;
  options.dwQuitTimeoutMs = 300;
  std::string error;
  auto session = CIdeSession::Start(options, error);
  ASSERT_TRUE(session) << error;

  EXPECT_FALSE(session->Send(*CIdePacket::Make('u'), error));
  EXPECT_EQ("no reply to 'u' within 300 ms", error);
  // The session goes on: the next `t` is still answered.
  EXPECT_TRUE(session->Send(*CIdePacket::Make('t'), error)) << error;

  error.clear();
  EXPECT_FALSE(session->Quit(error));
  EXPECT_EQ("the display did not end within 300 ms of 'q'", error);
  const pid_t pid = session->GetDisplay().GetPid();
  session.reset();
  EXPECT_NE(0, kill(pid, 0));  // ended and reaped
  EXPECT_TRUE(CToolsTestEnvironment::AllObjectsRemoved());
}

}  // namespace
