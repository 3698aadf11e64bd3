// CIdeSession: the IDE's whole side of one link, for programs that drive a display.
//
// Start creates the eight objects, starts the display with "Owner" and the owner name, and
// returns once the display has answered a `t`. The display drops every command that arrives
// before its window exists, so Start sends `t` again whenever the display has taken the last
// one without answering, until the start time limit. Send writes one command once the display
// has taken the previous one and waits for its reply; replies are matched to the commands in
// the order they were sent, and a reply that answers no pending command (a late answer to a
// resent `t`, or to a command that timed out) is read, counted and discarded. Quit sends `q` and
// waits for the display's process to end, because the `q` reply may never be written; while it
// waits it keeps reading replies so the display's shut-down is never held up by the IDE.
//
// Every wait has a time limit and also ends as soon as the display's process ends.
//
// Ownership and threads: move-only, one thread at a time. Destruction ends a display that still
// runs (SIGTERM, then SIGKILL) and then removes the link objects.

#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>

#include "platform/WinTypes.h"
#include "tools/DisplayProcess.h"
#include "tools/IdeLink.h"
#include "tools/IdePacket.h"
#include "tools/IdeReply.h"

struct IdeSessionOptions {
  std::string strDisplayPath;
  std::string strOwner = "VEVO";
  DWORD dwStartTimeoutMs = 10000;
  DWORD dwReplyTimeoutMs = 5000;
  DWORD dwQuitTimeoutMs = 10000;
  // How long Start waits for a `t` reply before it sends `t` again.
  DWORD dwResendMs = 200;
};

class CIdeSession {
 public:
  CIdeSession(CIdeSession&&) noexcept = default;
  CIdeSession& operator=(CIdeSession&&) = delete;
  CIdeSession(const CIdeSession&) = delete;
  CIdeSession& operator=(const CIdeSession&) = delete;
  ~CIdeSession();

  static std::optional<CIdeSession> Start(const IdeSessionOptions& options, std::string& error);

  // Sends one command and returns its reply; nothing with error set when the display did not
  // take the command, did not answer within the reply time limit, or ended.
  std::optional<CIdeReply> Send(const CIdePacket& packet, std::string& error);
  // Sends `q` and waits for the display to end; false with error set when it still runs after
  // the quit time limit (it is then ended by force when the session goes).
  bool Quit(std::string& error);
  // Serves replies until the display ends on its own (the user closes it), without `q`.
  void WaitForDisplayEnd();

  std::uint32_t GetWindowHandle() const { return m_nWindowHandle; }
  const CDisplayProcess& GetDisplay() const { return m_display; }
  std::size_t GetDiscardedReplyCount() const { return m_nDiscardedReplies; }

 private:
  using Clock = std::chrono::steady_clock;
  struct PendingCommand {
    char cCommand = 0;
    std::uint64_t nId = 0;
    // A start-up `t`: the display may have dropped it, so its reply may never come.
    bool bMayBeDropped = false;
  };
  using AcceptReply = std::function<bool(const PendingCommand&)>;
  // Whether a wait also ends when the display takes the last command. Waits for a reply do not
  // watch it: waking for it would cost a switch to this thread per command for nothing.
  enum class Watch : std::uint8_t { ReplyOnly, ReplyAndInbound };

  CIdeSession(CIdeLink link, CDisplayProcess display, const IdeSessionOptions& options);

  bool AwaitStartReply(std::string& error);
  std::optional<std::uint64_t> WriteCommand(const CIdePacket& packet, bool bMayBeDropped, std::string& error);
  bool WaitInboundFree(Clock::time_point deadline, std::string& error);
  // Waits one slice for the display; returns a reply that answers a command accept() holds for.
  std::optional<CIdeReply> PumpOnce(Clock::time_point deadline, const AcceptReply& accept, Watch watch);
  // Notes, without waiting, that the display took the last command.
  void CollectInboundEmpty();
  std::optional<CIdeReply> AwaitReply(Clock::time_point deadline, const AcceptReply& accept, std::string& error);
  std::optional<PendingCommand> MatchReply(char cCommand);
  bool HasDisplayEnded(std::string& error);

  IdeSessionOptions m_options;
  CIdeLink m_link;
  CDisplayProcess m_display;
  std::deque<PendingCommand> m_pending;
  std::uint64_t m_nNextId = 1;
  // True from writing a command until the display has signalled that it took it.
  bool m_bInboundBusy = false;
  std::uint32_t m_nWindowHandle = 0;
  std::size_t m_nDiscardedReplies = 0;
};
