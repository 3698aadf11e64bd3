// ide_peer: a test fixture that plays the IDE in a process of its own, one handshake step per
// line of standard input, so a test can make it behave well or badly at exact moments. It
// answers each line with one line on standard output.
//
//   create IN OUT   create the eight objects with areas of IN and OUT bytes  -> ok | error TEXT
//   send HEX        own the mutex, write the packet, release, set the copy event -> ok | fail
//   lock MS         own the inbound mutex                     -> ok | abandoned | timeout | fail
//   write HEX       write bytes at the start of the inbound area (no mutex)   -> ok | fail
//   copy            set the inbound copy event                               -> ok
//   unlock          release the inbound mutex                                -> ok | fail
//   empty MS        wait for (and take) the inbound empty event               -> ok | timeout
//   reply MS        wait for a reply; does not signal the display            -> reply HEX | timeout | bad
//   ack             set the outbound empty event                             -> ok
//   die             end at once, holding whatever it holds, removing nothing
//   exit            remove the objects and end (also at end of input)

#include <cstdio>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/WinTypes.h"
#include "tests/support/HexBytes.h"
#include "tools/IdeLink.h"

namespace {

std::vector<std::byte> FromHex(const std::string& text) {
  std::vector<std::byte> bytes;
  for (std::size_t i = 0; i + 1 < text.size(); i += 2)
    bytes.push_back(static_cast<std::byte>(std::stoul(text.substr(i, 2), nullptr, 16)));
  return bytes;
}

const char* WaitWord(DWORD result) {
  switch (result) {
    case WAIT_OBJECT_0: return "ok";
    case WAIT_ABANDONED: return "abandoned";
    case WAIT_TIMEOUT: return "timeout";
    default: return "fail";
  }
}

std::string Execute(std::optional<CIdeLink>& link, const std::string& verb, std::istringstream& args) {
  if (verb == "create") {
    std::size_t in = CIdeLink::kAreaSize, out = CIdeLink::kAreaSize;
    args >> in >> out;
    std::string error;
    link.reset();
    auto created = CIdeLink::Create(error, in, out);
    if (!created) return "error " + error;
    link.emplace(std::move(*created));
    return "ok";
  }
  if (!link) return "fail no link";
  DWORD ms = 0;
  std::string hex;
  if (verb == "send") return args >> hex, link->SendPacket(FromHex(hex)) ? "ok" : "fail";
  if (verb == "lock") return args >> ms, WaitWord(link->LockInbound(ms));
  if (verb == "write") return args >> hex, link->WriteInboundArea(FromHex(hex)) ? "ok" : "fail";
  if (verb == "copy") return link->SignalInboundCopy() ? "ok" : "fail";
  if (verb == "unlock") return link->UnlockInbound() ? "ok" : "fail";
  if (verb == "empty") return args >> ms, WaitWord(link->WaitInboundEmpty(ms));
  if (verb == "ack") return link->SignalOutboundEmpty() ? "ok" : "fail";
  if (verb == "reply") {
    args >> ms;
    const DWORD woken = link->WaitReply(ms);
    if (woken != WAIT_OBJECT_0) return WaitWord(woken);
    const auto image = link->ReadReply();
    return image ? "reply " + hex_bytes::ToHex(*image) : "bad";
  }
  return "fail unknown verb " + verb;
}

}  // namespace

int main() {
  std::optional<CIdeLink> link;
  std::string line;
  while (std::getline(std::cin, line)) {
    std::istringstream args(line);
    std::string verb;
    args >> verb;
    if (verb == "exit") break;
    if (verb == "die") _exit(9);
    std::printf("%s\n", Execute(link, verb, args).c_str());
    std::fflush(stdout);
  }
  return 0;
}
