#include "tools/IdeProgram.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

#include <csignal>
#include <unistd.h>

namespace {

// Set by SIGINT, SIGTERM or SIGHUP. The program then stops between commands and ends the link
// the ordinary way, so no link object is left behind in /dev/shm and no display keeps running.
volatile std::sig_atomic_t g_bInterrupted = 0;

void OnInterrupt(int) { g_bInterrupted = 1; }

void CatchInterrupts() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a read of standard input returns at once instead of waiting for a line.
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

// Sleeps in short steps so that an interrupt is noticed within one.
void SleepUnlessInterrupted(std::uint32_t nMilliseconds) {
  constexpr std::uint32_t kStepMs = 50;
  for (std::uint32_t slept = 0; slept < nMilliseconds && !g_bInterrupted; slept += kStepMs)
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(kStepMs, nMilliseconds - slept)));
}

constexpr const char* kHelp =
    "Usage: vitrel-ide [options] [SCRIPT]\n"
    "\n"
    "Drives a Vitrel display as its IDE: creates the eight link objects, starts the display\n"
    "with \"Owner VEVO\", waits until it answers, runs the commands of SCRIPT (or of standard\n"
    "input when SCRIPT is \"-\" or absent), prints each reply, and removes the link objects at\n"
    "the end. When the commands end without \"quit\", the display is quit all the same unless\n"
    "--leave-open is given.\n"
    "\n"
    "Options:\n"
    "  --display PROGRAM     the display program to start, looked up in PATH when it has\n"
    "                        no slash (default: $VITREL_DISPLAY)\n"
    "  --owner VEVO|RUVORO   the owner name passed to the display (default VEVO)\n"
    "  -e, --command LINE    run LINE as a command; repeatable; replaces SCRIPT\n"
    "  --reply-timeout MS    time limit for each reply (default 5000)\n"
    "  --start-timeout MS    time limit for the display's first answer (default 10000)\n"
    "  --quit-timeout MS     time limit for the display to end after quit (default 10000)\n"
    "  --leave-open          at the end, wait for the user to close the display instead\n"
    "  -h, --help            show this help and exit\n"
    "\n"
    "Commands, one per line; blank lines and lines starting with '#' are skipped. Numbers\n"
    "are decimal, or hexadecimal after 0x.\n"
    "  load PATH             load the panel file at PATH (the rest of the line)\n"
    "  save PATH             save the panel file to PATH\n"
    "  memory ADDR=VALUE...  report memory bytes (ADDR 0..0xFFFF, VALUE 0..0xFF); more than\n"
    "                        255 pairs go out as several packets, each answered\n"
    "  handle                ask for the display's window handle\n"
    "  addresses             ask for the watched addresses and \"Real Time Sample\"\n"
    "  wait MS               pause for MS milliseconds (at most 3600000)\n"
    "  quit                  end the display and wait for it to exit\n"
    "\n"
    "Output: one line per reply, e.g. \"t reply: window handle 0x0002A05C\".\n"
    "Exit status: 0 success; 1 the display could not be started, did not answer in time or\n"
    "ended; 2 a usage error or a bad command line.\n"
    "Environment: VITREL_LINK_NAMESPACE prefixes the link object names and is inherited by\n"
    "the display, so several IDE/display pairs can run side by side.\n";

std::optional<DWORD> ParseMilliseconds(const char* text) {
  DWORD value = 0;
  const char* end = text + std::strlen(text);
  const auto [stop, status] = std::from_chars(text, end, value);
  if (*text == '\0' || status != std::errc{} || stop != end || value > 3600000) return std::nullopt;
  return value;
}

std::string ReadFile(const std::string& path, bool& bOk) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  bOk = static_cast<bool>(file) || file.eof();
  return text.str();
}

}  // namespace

void CIdeProgram::PrintHelp(std::FILE* out) { std::fputs(kHelp, out); }

bool CIdeProgram::ApplyValueOption(Options& options, const std::string& name, const char* value, std::string& error) {
  if (name == "--display") {
    options.session.strDisplayPath = value;
  } else if (name == "--owner") {
    if (std::strcmp(value, "VEVO") != 0 && std::strcmp(value, "RUVORO") != 0) {
      error = "option --owner: expected VEVO or RUVORO, not \"" + std::string(value) + "\"";
      return false;
    }
    options.session.strOwner = value;
  } else if (name == "-e" || name == "--command") {
    options.commandLines.push_back(value);
  } else {
    DWORD* target = name == "--reply-timeout" ? &options.session.dwReplyTimeoutMs
                    : name == "--start-timeout" ? &options.session.dwStartTimeoutMs
                                                : &options.session.dwQuitTimeoutMs;
    const auto milliseconds = ParseMilliseconds(value);
    if (!milliseconds) {
      error = "option " + name + ": \"" + value + "\" is not a number of milliseconds";
      return false;
    }
    *target = *milliseconds;
  }
  return true;
}

std::optional<CIdeProgram::Options> CIdeProgram::ParseArguments(int argc, char** argv, std::string& error) {
  static const std::string kValueOptions[] = {"--display",       "--owner",         "-e",           "--command",
                                              "--reply-timeout", "--start-timeout", "--quit-timeout"};
  Options options;
  if (const char* display = std::getenv("VITREL_DISPLAY")) options.session.strDisplayPath = display;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      options.bHelp = true;
    } else if (arg == "--leave-open") {
      options.bLeaveOpen = true;
    } else if (std::find(std::begin(kValueOptions), std::end(kValueOptions), arg) != std::end(kValueOptions)) {
      if (i + 1 >= argc) {
        error = "option " + arg + " needs a value";
        return std::nullopt;
      }
      if (!ApplyValueOption(options, arg, argv[++i], error)) return std::nullopt;
    } else if (arg.size() > 1 && arg[0] == '-') {
      error = "unknown option " + arg;
      return std::nullopt;
    } else if (options.strScriptPath.empty()) {
      options.strScriptPath = arg;
    } else {
      error = "more than one script given";
      return std::nullopt;
    }
  }
  return options;
}

int CIdeProgram::Run(int argc, char** argv) {
  std::string error;
  auto options = ParseArguments(argc, argv, error);
  if (!options) {
    std::fprintf(stderr, "vitrel-ide: %s\nTry 'vitrel-ide --help'.\n", error.c_str());
    return kExitUsage;
  }
  if (options->bHelp) {
    PrintHelp(stdout);
    return kExitOk;
  }
  if (options->session.strDisplayPath.empty()) {
    std::fprintf(stderr, "vitrel-ide: no display program given (use --display or set VITREL_DISPLAY)\n");
    return kExitUsage;
  }
  CatchInterrupts();
  const bool bFromCommandLine = !options->commandLines.empty();
  if (bFromCommandLine && !options->strScriptPath.empty()) {
    std::fprintf(stderr, "vitrel-ide: give either a script or -e commands, not both\n");
    return kExitUsage;
  }
  std::string text;
  if (bFromCommandLine) {
    for (const std::string& line : options->commandLines) text += line + "\n";
  } else if (!options->strScriptPath.empty() && options->strScriptPath != "-") {
    bool bRead = false;
    text = ReadFile(options->strScriptPath, bRead);
    if (!bRead) {
      std::fprintf(stderr, "vitrel-ide: cannot read the script \"%s\": %s\n", options->strScriptPath.c_str(),
                   std::strerror(errno));
      return kExitUsage;
    }
  } else {
    return CIdeProgram(std::move(*options)).RunInteractive();
  }
  const auto commands = CIdeCommandParser::ParseScript(text, error);
  if (!commands) {
    const std::string where = bFromCommandLine ? "command " + error.substr(5) : options->strScriptPath + ": " + error;
    std::fprintf(stderr, "vitrel-ide: %s\n", where.c_str());
    return kExitUsage;
  }
  return CIdeProgram(std::move(*options)).RunCommands(*commands);
}

int CIdeProgram::RunCommands(const std::vector<IdeCommand>& commands) {
  for (const IdeCommand& command : commands) {
    if (m_bQuit || g_bInterrupted) break;
    if (!Execute(command)) return kExitLinkFailure;
  }
  return Finish();
}

int CIdeProgram::RunInteractive() {
  const bool bPrompt = isatty(STDIN_FILENO) != 0;
  bool bBadLine = false;
  std::string line;
  while (!m_bQuit && !g_bInterrupted) {
    if (bPrompt) std::fputs("vitrel-ide> ", stdout), std::fflush(stdout);
    if (!std::getline(std::cin, line)) break;
    const IdeCommandLine parsed = CIdeCommandParser::ParseLine(line);
    if (parsed.IsError()) {
      // A typing mistake should not end the session; it only shows in the exit status.
      std::fprintf(stderr, "vitrel-ide: %s\n", parsed.strError.c_str());
      bBadLine = true;
      continue;
    }
    if (parsed.command && !Execute(*parsed.command)) return kExitLinkFailure;
  }
  const int status = Finish();
  return status == kExitOk && bBadLine ? kExitUsage : status;
}

int CIdeProgram::Finish() {
  if (m_bQuit) return kExitOk;
  if (g_bInterrupted) {
    Fail("interrupted; quitting the display");
    if (!m_session) return kExitLinkFailure;
    IdeCommand quit;
    quit.kind = IdeCommandKind::Quit;
    Execute(quit);
    return kExitLinkFailure;
  }
  if (!EnsureSession()) return kExitLinkFailure;
  if (m_options.bLeaveOpen) {
    m_session->WaitForDisplayEnd();
    std::printf("display ended (%s)\n", m_session->GetDisplay().DescribeStatus().c_str());
    return kExitOk;
  }
  IdeCommand quit;
  quit.kind = IdeCommandKind::Quit;
  return Execute(quit) ? kExitOk : kExitLinkFailure;
}

bool CIdeProgram::EnsureSession() {
  if (m_session) return true;
  std::string error;
  auto started = CIdeSession::Start(m_options.session, error);
  if (!started) return Fail(error);
  m_session.emplace(std::move(*started));
  return true;
}

bool CIdeProgram::Execute(const IdeCommand& command) {
  if (command.kind == IdeCommandKind::Wait) {
    SleepUnlessInterrupted(command.nWaitMs);
    return true;
  }
  if (!EnsureSession()) return false;
  switch (command.kind) {
    case IdeCommandKind::Load: return SendAndPrint(*CIdePacket::MakePath('p', command.strPath));
    case IdeCommandKind::Save: return SendAndPrint(*CIdePacket::MakePath('s', command.strPath));
    case IdeCommandKind::Handle: return SendAndPrint(*CIdePacket::Make('t'));
    case IdeCommandKind::Addresses: return SendAndPrint(*CIdePacket::Make('u'));
    case IdeCommandKind::Memory:
      for (const CIdePacket& packet : CIdePacket::MakeMemoryPackets(command.entries))
        if (!SendAndPrint(packet)) return false;
      return true;
    case IdeCommandKind::Quit: {
      std::string error;
      m_bQuit = true;
      if (!m_session->Quit(error)) return Fail(error);
      std::printf("display ended (%s)\n", m_session->GetDisplay().DescribeStatus().c_str());
      std::fflush(stdout);
      return true;
    }
    case IdeCommandKind::Wait: break;
  }
  return true;
}

bool CIdeProgram::SendAndPrint(const CIdePacket& packet) {
  std::string error;
  const auto reply = m_session->Send(packet, error);
  if (!reply) return Fail(error);
  std::printf("%s\n", reply->Describe().c_str());
  std::fflush(stdout);
  return true;
}

bool CIdeProgram::Fail(const std::string& message) {
  std::fprintf(stderr, "vitrel-ide: %s\n", message.c_str());
  return false;
}
