#include "tools/IdeSession.h"

#include <algorithm>

#include "platform/KernelObjects.h"

namespace {

// The longest single wait: the display's end is noticed at least this often.
constexpr DWORD kSliceMs = 50;

std::string Letter(char cCommand) { return std::string("'") + cCommand + "'"; }

}  // namespace

CIdeSession::CIdeSession(CIdeLink link, CDisplayProcess display, const IdeSessionOptions& options)
    : m_options(options), m_link(std::move(link)), m_display(std::move(display)) {}

CIdeSession::~CIdeSession() = default;

std::optional<CIdeSession> CIdeSession::Start(const IdeSessionOptions& options, std::string& error) {
  auto link = CIdeLink::Create(error);
  if (!link) return std::nullopt;
  auto display = CDisplayProcess::Start(options.strDisplayPath, {"Owner", options.strOwner}, error);
  if (!display) return std::nullopt;
  CIdeSession session(std::move(*link), std::move(*display), options);
  if (!session.AwaitStartReply(error)) return std::nullopt;
  return session;
}

bool CIdeSession::AwaitStartReply(std::string& error) {
  const auto packet = CIdePacket::Make('t');
  const auto deadline = Clock::now() + std::chrono::milliseconds(m_options.dwStartTimeoutMs);
  const AcceptReply isStartReply = [](const PendingCommand& command) { return command.bMayBeDropped; };
  for (;;) {
    // A `t` still lying in the area will be taken; only a taken, unanswered one is sent again.
    CollectInboundEmpty();
    if (!m_bInboundBusy && !WriteCommand(*packet, true, error)) return false;
    const auto attemptEnd = std::min(deadline, Clock::now() + std::chrono::milliseconds(m_options.dwResendMs));
    if (const auto reply = AwaitReply(attemptEnd, isStartReply, error)) {
      m_nWindowHandle = reply->GetWindowHandle();
      return true;
    }
    if (!error.empty()) return false;
    if (Clock::now() >= deadline) {
      error = "the display did not answer within " + std::to_string(m_options.dwStartTimeoutMs) +
              " ms of its start (is it linked to VITREL_LINK_NAMESPACE?)";
      return false;
    }
  }
}

std::optional<CIdeReply> CIdeSession::Send(const CIdePacket& packet, std::string& error) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(m_options.dwReplyTimeoutMs);
  if (!WaitInboundFree(deadline, error)) return std::nullopt;
  const auto id = WriteCommand(packet, false, error);
  if (!id) return std::nullopt;
  auto reply = AwaitReply(deadline, [&](const PendingCommand& command) { return command.nId == *id; }, error);
  if (!reply && error.empty())
    error = "no reply to " + Letter(packet.GetCommand()) + " within " + std::to_string(m_options.dwReplyTimeoutMs) +
            " ms";
  return reply;
}

bool CIdeSession::Quit(std::string& error) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(m_options.dwQuitTimeoutMs);
  std::string ignored;
  if (WaitInboundFree(deadline, ignored)) WriteCommand(*CIdePacket::Make('q'), false, ignored);
  const AcceptReply none = [](const PendingCommand&) { return false; };
  while (!m_display.WaitForExit(0)) {
    if (Clock::now() >= deadline) {
      error = "the display did not end within " + std::to_string(m_options.dwQuitTimeoutMs) + " ms of 'q'";
      return false;
    }
    PumpOnce(deadline, none, Watch::ReplyAndInbound);
  }
  return true;
}

void CIdeSession::WaitForDisplayEnd() {
  const AcceptReply none = [](const PendingCommand&) { return false; };
  while (!m_display.WaitForExit(0)) PumpOnce(Clock::time_point::max(), none, Watch::ReplyAndInbound);
}

std::optional<std::uint64_t> CIdeSession::WriteCommand(const CIdePacket& packet, bool bMayBeDropped,
                                                       std::string& error) {
  if (!m_link.SendPacket(packet.GetImage())) {
    error = "cannot write " + Letter(packet.GetCommand()) + " into the link (its mutex stays owned)";
    return std::nullopt;
  }
  m_bInboundBusy = true;
  const std::uint64_t id = m_nNextId++;
  m_pending.push_back({packet.GetCommand(), id, bMayBeDropped});
  return id;
}

bool CIdeSession::WaitInboundFree(Clock::time_point deadline, std::string& error) {
  const AcceptReply none = [](const PendingCommand&) { return false; };
  // Usually the display took the last command long before its reply came: no wait at all.
  CollectInboundEmpty();
  while (m_bInboundBusy) {
    if (HasDisplayEnded(error)) return false;
    if (Clock::now() >= deadline) {
      error = "the display did not take the previous command in time";
      return false;
    }
    PumpOnce(deadline, none, Watch::ReplyAndInbound);
  }
  return true;
}

std::optional<CIdeReply> CIdeSession::AwaitReply(Clock::time_point deadline, const AcceptReply& accept,
                                                 std::string& error) {
  for (;;) {
    if (auto reply = PumpOnce(deadline, accept, Watch::ReplyOnly)) return reply;
    if (HasDisplayEnded(error) || Clock::now() >= deadline) return std::nullopt;
  }
}

std::optional<CIdeReply> CIdeSession::PumpOnce(Clock::time_point deadline, const AcceptReply& accept,
                                              Watch watch) {
  const auto remaining = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
  const DWORD slice = static_cast<DWORD>(std::clamp<long long>(remaining, 0, kSliceMs));
  const CEvent* const events[] = {&m_link.GetReplyEvent(), &m_link.GetInboundEmptyEvent()};
  const std::size_t count = watch == Watch::ReplyAndInbound && m_bInboundBusy ? 2 : 1;
  const DWORD woken = WaitForMultipleObjects(std::span<const CEvent* const>(events, count), slice);
  if (woken == WAIT_OBJECT_0 + 1) {
    m_bInboundBusy = false;
    return std::nullopt;
  }
  if (woken != WAIT_OBJECT_0) return std::nullopt;

  const auto image = m_link.ReadReply();
  m_link.SignalOutboundEmpty();
  const auto reply = image ? CIdeReply::Decode(*image) : std::nullopt;
  const auto answered = reply ? MatchReply(reply->GetCommand()) : std::nullopt;
  if (answered && accept(*answered)) return reply;
  ++m_nDiscardedReplies;
  return std::nullopt;
}

// Replies come in the order of the commands, and a command may go unanswered (a start-up `t`
// sent before the display's window existed, or one whose reply timed out). A reply therefore
// answers the oldest pending command with its letter, and the commands before that one got no
// answer. One exception: when the newest command has the letter and the only other pending
// ones with it are start-up `t`s, the reply is the newest command's. All `t` replies are alike,
// and crediting an earlier `t` with it would leave the newest waiting for an answer that a
// dropped `t` never gets.
std::optional<CIdeSession::PendingCommand> CIdeSession::MatchReply(char cCommand) {
  const auto hasLetter = [&](const PendingCommand& command) { return command.cCommand == cCommand; };
  auto match = std::find_if(m_pending.begin(), m_pending.end(), hasLetter);
  if (match == m_pending.end()) return std::nullopt;
  const bool bOnlyStartBeforeNewest =
      std::all_of(m_pending.begin(), m_pending.end() - 1,
                  [&](const PendingCommand& command) { return !hasLetter(command) || command.bMayBeDropped; });
  if (hasLetter(m_pending.back()) && bOnlyStartBeforeNewest) match = m_pending.end() - 1;
  const PendingCommand answered = *match;
  m_pending.erase(m_pending.begin(), match + 1);
  return answered;
}

void CIdeSession::CollectInboundEmpty() {
  if (m_bInboundBusy && m_link.WaitInboundEmpty(0) == WAIT_OBJECT_0) m_bInboundBusy = false;
}

bool CIdeSession::HasDisplayEnded(std::string& error) {
  if (!m_display.WaitForExit(0)) return false;
  error = "the display ended (" + m_display.DescribeStatus() + ")";
  return true;
}
