// The vitrel-ide program as a user runs it: a script or standard input against a display it
// starts (the fake_display fixture), the printed replies, the messages and exit statuses.

#include <gtest/gtest.h>

#include <fstream>

#include "tests/tools/ToolsTestSupport.h"

namespace {

class IdeProgramTest : public testing::Test {
 protected:
  std::string WriteScript(const std::string& text) {
    const std::string path = testing::TempDir() + "vitrel-ide-script-" + std::to_string(getpid()) + ".txt";
    std::ofstream(path) << text;
    m_strScript = path;
    return path;
  }
  ~IdeProgramTest() override {
    if (!m_strScript.empty()) std::remove(m_strScript.c_str());
  }

  static ProgramOutcome RunIde(std::vector<std::string> args, const std::string& input = {}) {
    args.insert(args.begin(), {"--display", FAKE_DISPLAY_PATH});
    return RunProgram(VITREL_IDE_PATH, args, input);
  }

  CToolsTestEnvironment m_environment;
  std::string m_strScript;
};

TEST_F(IdeProgramTest, ScriptRunsAgainstTheDisplayAndPrintsEachReply) {
  const std::string script = WriteScript(
      "# a session\n"
      "handle\n"
      "memory 0x40=0x01 0x41=2\n"
      "wait 10\n"
      "addresses\n"
      "save /tmp/panel file.xml\n"
      "load /tmp/panel file.xml\n"
      "quit\n");
  const ProgramOutcome outcome = RunIde({script});
  EXPECT_EQ(0, outcome.status) << outcome.err;
  EXPECT_EQ("",  outcome.err);
  EXPECT_EQ(
      "t reply: window handle 0x0002A05C\n"
      "r reply: memory values applied\n"
      "u reply: real time sample on, 2 addresses: 0x0010 0x0123\n"
      "s reply: panel file saved\n"
      "p reply: panel file loaded\n"
      "display ended (exit status 0)\n",
      outcome.out);
  EXPECT_EQ("args Owner VEVO", m_environment.ReadLog().front());
  EXPECT_TRUE(CToolsTestEnvironment::AllObjectsRemoved());
}

// Typed commands run one by one; a mistyped one is reported and the session goes on, but the
// exit status remembers it. The end of input quits the display.
TEST_F(IdeProgramTest, StandardInputRunsLineByLineAndQuitsAtItsEnd) {
  const ProgramOutcome outcome = RunIde({"--owner", "RUVORO"}, "handle\nbogus\naddresses\n");
  EXPECT_EQ(2, outcome.status);
  EXPECT_EQ("vitrel-ide: unknown command \"bogus\" (expected load, save, memory, handle, addresses, wait or quit)\n",
            outcome.err);
  EXPECT_EQ(
      "t reply: window handle 0x0002A05C\n"
      "u reply: real time sample on, 2 addresses: 0x0010 0x0123\n"
      "display ended (exit status 0)\n",
      outcome.out);
  EXPECT_EQ("args Owner RUVORO", m_environment.ReadLog().front());
}

struct FailureCase {
  const char* szName;
  std::vector<std::string> args;
  int nStatus;
  const char* szError;
  bool bDisplayStarted;
};

TEST_F(IdeProgramTest, FailuresGiveAMessageAndANonZeroStatus) {
  const std::string badScript = WriteScript("handle\nmemory 0x40=300\nquit\n");
  const FailureCase cases[] = {
      {"bad script line", {badScript}, 2, ": line 2: memory: \"0x40=300\" is not ADDR=VALUE", false},
      {"bad -e command", {"-e", "handle", "-e", "save"}, 2, "command 2: save: a panel file path is missing", false},
      {"unreadable script", {"/nonexistent/script"}, 2, "cannot read the script \"/nonexistent/script\"", false},
      {"unknown option", {"--fast"}, 2, "unknown option --fast", false},
      {"bad owner", {"--owner", "vevo"}, 2, "expected VEVO or RUVORO", false},
      {"bad time limit", {"--reply-timeout", "soon"}, 2, "\"soon\" is not a number of milliseconds", false},
      {"no display", {"--display", "/nonexistent/vitrel", "-e", "handle"}, 1, "cannot start the display", false},
      {"no reply", {"--reply-timeout", "300", "-e", "addresses"}, 1, "no reply to 'u' within 300 ms", true},
  };
  for (const FailureCase& test : cases) {
    SCOPED_TRACE(test.szName);
    m_environment.SetKnob("FAKE_DISPLAY_ANSWER", "t");
    m_environment.ClearLog();
    const ProgramOutcome outcome = RunIde(test.args);
    EXPECT_EQ(test.nStatus, outcome.status);
    EXPECT_NE(std::string::npos, outcome.err.find(test.szError)) << outcome.err;
    EXPECT_EQ(test.bDisplayStarted, !m_environment.ReadLog().empty());
    EXPECT_TRUE(CToolsTestEnvironment::AllObjectsRemoved());
  }
}

TEST_F(IdeProgramTest, HelpDescribesTheCommandLineAndTheCommands) {
  const ProgramOutcome outcome = RunProgram(VITREL_IDE_PATH, {"--help"});
  EXPECT_EQ(0, outcome.status);
  for (const char* part : {"Usage: vitrel-ide", "--display PROGRAM", "memory ADDR=VALUE", "Exit status",
                           "VITREL_LINK_NAMESPACE"})
    EXPECT_NE(std::string::npos, outcome.out.find(part)) << part;
}

}  // namespace
