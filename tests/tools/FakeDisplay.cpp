// fake_display: a test fixture that stands in for the display program in end-to-end tests of
// vitrel-ide. It opens the IDE's link exactly as the display does (CLinkObjects, then the access
// and receive threads) and answers each command with a reply of the right kind and nothing
// more: no window, no panel. Its main thread plays the process thread.
//
// Fixed answers: `t` gives window handle 0x0002A05C; `u` gives "Real Time Sample" on and the
// addresses 0x0010 and 0x0123; `p`, `r`, `s`, `q` give empty replies; other letters none.
// After `q` it stops its threads (access first) and exits with status 0.
//
// Behaviour knobs, from the environment:
//   FAKE_DISPLAY_LOG=PATH        appends "args A B ..." and one "command HEX" line per packet
//   FAKE_DISPLAY_NO_WINDOW_MS=N  drops every command of its first N ms, as a display whose
//                                window does not exist yet
//   FAKE_DISPLAY_ANSWER=LETTERS  answers only these letters (default: all it knows)
//   FAKE_DISPLAY_IGNORE_QUIT=1   answers `q` but keeps running
// Exit status 3: no link (the inbound mutex or another object is missing).

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "link/MapPacket.h"
#include "tests/support/DisplayStandIn.h"
#include "tests/support/HexBytes.h"

namespace {

constexpr std::uint32_t kWindowHandle = 0x0002A05C;
constexpr std::uint16_t kAddresses[] = {0x0010, 0x0123};

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

void Log(const std::string& line) {
  const std::string path = Environment("FAKE_DISPLAY_LOG");
  if (path.empty()) return;
  if (std::FILE* file = std::fopen(path.c_str(), "a")) {
    std::fprintf(file, "%s\n", line.c_str());
    std::fclose(file);
  }
}

MapPacketPtr BuildReply(std::uint8_t nCommand) {
  switch (nCommand) {
    case 'p': case 'q': case 'r': case 's': return AllocEmptyReply(nCommand);
    case 't': return AllocWindowHandleReply(kWindowHandle);
    case 'u': return AllocAddressListReply(true, kAddresses);
    default: return nullptr;
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string args = "args";
  for (int i = 1; i < argc; ++i) args += std::string(" ") + argv[i];
  Log(args);

  const auto start = std::chrono::steady_clock::now();
  const auto noWindow = std::chrono::milliseconds(std::atoi(Environment("FAKE_DISPLAY_NO_WINDOW_MS").c_str()));
  const std::string answered = Environment("FAKE_DISPLAY_ANSWER");
  const bool bIgnoreQuit = Environment("FAKE_DISPLAY_IGNORE_QUIT") == "1";
  const bool bLinked = display_stand_in::Serve([&](const MapPacket& packet) -> display_stand_in::Answer {
    if (std::chrono::steady_clock::now() - start < noWindow) return {};
    Log("command " + hex_bytes::ToHex(packet.GetBytes()));
    const std::uint8_t nCommand = packet.GetCommand();
    display_stand_in::Answer answer;
    if (answered.empty() || answered.find(static_cast<char>(nCommand)) != std::string::npos)
      answer.pReply = BuildReply(nCommand);
    answer.bQuit = nCommand == 'q' && !bIgnoreQuit;
    return answer;
  });
  return bLinked ? 0 : 3;
}
