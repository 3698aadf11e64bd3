#include "tools/IdeCommandParser.h"

#include <charconv>

namespace {

constexpr std::string_view kBlanks = " \t\r\n\v\f";

std::string_view Trim(std::string_view text) {
  const auto first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// Splits off the first blank-separated word; the rest is trimmed.
std::string_view TakeWord(std::string_view& text) {
  const auto end = text.find_first_of(kBlanks);
  const std::string_view word = text.substr(0, end);
  text = end == std::string_view::npos ? std::string_view{} : Trim(text.substr(end));
  return word;
}

// A whole word as an unsigned number no larger than maximum: decimal, or hexadecimal after 0x.
std::optional<std::uint32_t> ParseNumber(std::string_view word, std::uint32_t maximum) {
  int base = 10;
  if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) {
    base = 16;
    word.remove_prefix(2);
  }
  std::uint32_t value = 0;
  const auto [end, status] = std::from_chars(word.data(), word.data() + word.size(), value, base);
  if (word.empty() || status != std::errc{} || end != word.data() + word.size() || value > maximum)
    return std::nullopt;
  return value;
}

IdeCommandLine Error(std::string message) { return IdeCommandLine{std::nullopt, std::move(message)}; }

IdeCommandLine Done(IdeCommand command) { return IdeCommandLine{std::move(command), {}}; }

IdeCommandLine ParsePathCommand(IdeCommandKind kind, std::string_view name, std::string_view rest) {
  if (rest.empty()) return Error(std::string(name) + ": a panel file path is missing");
  // Checked here so that a bad path stops a script before the display is started.
  if (!CIdePacket::MakePath('p', rest))
    return Error(std::string(name) + ": the path is not valid UTF-8 or too long for one packet");
  IdeCommand command;
  command.kind = kind;
  command.strPath = std::string(rest);
  return Done(std::move(command));
}

IdeCommandLine ParseMemory(std::string_view rest) {
  IdeCommand command;
  command.kind = IdeCommandKind::Memory;
  while (!rest.empty()) {
    const std::string_view pair = TakeWord(rest);
    const auto equals = pair.find('=');
    const auto address = ParseNumber(pair.substr(0, equals), 0xFFFF);
    const auto value = equals == std::string_view::npos ? std::nullopt : ParseNumber(pair.substr(equals + 1), 0xFF);
    if (!address || !value)
      return Error("memory: \"" + std::string(pair) + "\" is not ADDR=VALUE with ADDR 0..0xFFFF and VALUE 0..0xFF");
    command.entries.push_back({static_cast<std::uint16_t>(*address), static_cast<std::uint8_t>(*value)});
  }
  return Done(std::move(command));
}

IdeCommandLine ParseWait(std::string_view rest) {
  const auto milliseconds = ParseNumber(rest, CIdeCommandParser::kMaxWaitMs);
  if (!milliseconds) return Error("wait: expected a number of milliseconds from 0 to 3600000");
  IdeCommand command;
  command.kind = IdeCommandKind::Wait;
  command.nWaitMs = *milliseconds;
  return Done(std::move(command));
}

IdeCommandLine ParseBare(IdeCommandKind kind, std::string_view name, std::string_view rest) {
  if (!rest.empty()) return Error(std::string(name) + ": takes no arguments");
  IdeCommand command;
  command.kind = kind;
  return Done(std::move(command));
}

}  // namespace

IdeCommandLine CIdeCommandParser::ParseLine(std::string_view line) {
  std::string_view rest = Trim(line);
  if (rest.empty() || rest.front() == '#') return {};
  const std::string_view name = TakeWord(rest);
  if (name == "load") return ParsePathCommand(IdeCommandKind::Load, name, rest);
  if (name == "save") return ParsePathCommand(IdeCommandKind::Save, name, rest);
  if (name == "memory") return ParseMemory(rest);
  if (name == "wait") return ParseWait(rest);
  if (name == "handle") return ParseBare(IdeCommandKind::Handle, name, rest);
  if (name == "addresses") return ParseBare(IdeCommandKind::Addresses, name, rest);
  if (name == "quit") return ParseBare(IdeCommandKind::Quit, name, rest);
  return Error("unknown command \"" + std::string(name) +
               "\" (expected load, save, memory, handle, addresses, wait or quit)");
}

std::optional<std::vector<IdeCommand>> CIdeCommandParser::ParseScript(std::string_view text, std::string& error) {
  std::vector<IdeCommand> commands;
  std::size_t lineNumber = 0;
  while (!text.empty()) {
    ++lineNumber;
    const auto end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    IdeCommandLine parsed = ParseLine(line);
    if (parsed.IsError()) {
      error = "line " + std::to_string(lineNumber) + ": " + parsed.strError;
      return std::nullopt;
    }
    if (parsed.command) commands.push_back(std::move(*parsed.command));
  }
  return commands;
}
