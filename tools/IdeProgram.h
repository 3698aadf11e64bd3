// CIdeProgram: the vitrel-ide program: command line, the script or interactive loop, the
// printing of replies and the exit status. main() only hands it argv.
//
// Exit status: 0 when every command got its reply (and the display ended after `quit`), 1 when
// the link failed (the display could not be started, did not answer in time, or ended), 2 for a
// usage error or a bad command line in the script or on standard input.

#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "tools/IdeCommandParser.h"
#include "tools/IdeSession.h"

class CIdeProgram {
 public:
  static constexpr int kExitOk = 0;
  static constexpr int kExitLinkFailure = 1;
  static constexpr int kExitUsage = 2;

  static int Run(int argc, char** argv);

 private:
  struct Options {
    IdeSessionOptions session;
    std::string strScriptPath;               // empty or "-": standard input
    std::vector<std::string> commandLines;   // from -e, run instead of a script
    bool bLeaveOpen = false;
    bool bHelp = false;
  };

  static std::optional<Options> ParseArguments(int argc, char** argv, std::string& error);
  // An option that takes a value; false with error set when the value is not acceptable.
  static bool ApplyValueOption(Options& options, const std::string& name, const char* value, std::string& error);
  static void PrintHelp(std::FILE* out);

  explicit CIdeProgram(Options options) : m_options(std::move(options)) {}
  int RunCommands(const std::vector<IdeCommand>& commands);
  int RunInteractive();
  // Starts the display on first use, so a script with a bad line never starts one.
  bool EnsureSession();
  // False when the link failed; the message is printed already.
  bool Execute(const IdeCommand& command);
  bool SendAndPrint(const CIdePacket& packet);
  int Finish();
  bool Fail(const std::string& message);

  Options m_options;
  std::optional<CIdeSession> m_session;
  bool m_bQuit = false;
};
