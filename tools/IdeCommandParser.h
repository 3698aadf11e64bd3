// CIdeCommandParser: turns the lines of a vitrel-ide script (or of interactive input) into
// commands for the display.
//
// One command per line; blank lines and lines whose first non-blank character is '#' are
// skipped. The grammar, with numbers in decimal or in hexadecimal after "0x":
//   load PATH                  load the panel file (PATH is the rest of the line, trimmed)
//   save PATH                  save the panel file
//   memory ADDR=VALUE ...      report memory bytes: ADDR 0..0xFFFF, VALUE 0..0xFF
//   handle                     ask for the window handle
//   addresses                  ask for the watched addresses and the "Real Time Sample" option
//   wait MS                    pause the script (0..3600000 ms); nothing is sent
//   quit                       end the display
// Parsing has no side effects and never throws; a bad line yields a message that names what
// is wrong with it.

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/IdePacket.h"

enum class IdeCommandKind : std::uint8_t { Load, Save, Memory, Handle, Addresses, Wait, Quit };

struct IdeCommand {
  IdeCommandKind kind = IdeCommandKind::Handle;
  std::string strPath;                // Load, Save
  std::vector<MemoryEntry> entries;   // Memory
  std::uint32_t nWaitMs = 0;          // Wait
};

// The outcome of one line: a command, an error text, or neither for a blank or comment line.
struct IdeCommandLine {
  std::optional<IdeCommand> command;
  std::string strError;
  bool IsError() const { return !strError.empty(); }
};

class CIdeCommandParser {
 public:
  static constexpr std::uint32_t kMaxWaitMs = 3600000;

  static IdeCommandLine ParseLine(std::string_view line);
  // Every command of a script in order, or nothing with "line N: <message>" in error.
  static std::optional<std::vector<IdeCommand>> ParseScript(std::string_view text, std::string& error);
};
