#pragma once
// Helpers for the vitrel-ide suites: a private link namespace with every object removed at the
// end, the fake_display's behaviour knobs, and running a program with given standard input.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "link/LinkObjects.h"
#include "tests/platform/LinkTestSupport.h"

extern char** environ;

// A namespace of its own per test, the eight link names registered for removal, and a log file
// for the fake display; knobs set through it are cleared when the test ends.
class CToolsTestEnvironment {
 public:
  CToolsTestEnvironment() {
    for (const std::string_view name : CLinkObjects::kNames) m_namespace.Name(std::string(name));
    m_strLogPath = testing::TempDir() + m_namespace.GetPrefix() + "display.log";
    std::remove(m_strLogPath.c_str());
    setenv("FAKE_DISPLAY_LOG", m_strLogPath.c_str(), 1);
  }
  ~CToolsTestEnvironment() {
    for (const char* knob : {"FAKE_DISPLAY_LOG", "FAKE_DISPLAY_NO_WINDOW_MS", "FAKE_DISPLAY_ANSWER",
                             "FAKE_DISPLAY_IGNORE_QUIT"})
      unsetenv(knob);
    std::remove(m_strLogPath.c_str());
  }

  void SetKnob(const char* name, const std::string& value) { setenv(name, value.c_str(), 1); }

  void ClearLog() const { std::remove(m_strLogPath.c_str()); }

  // The fake display's log lines; empty when it never started.
  std::vector<std::string> ReadLog() const {
    std::ifstream file(m_strLogPath);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) lines.push_back(line);
    return lines;
  }

  // True when none of the eight objects exists any more.
  static bool AllObjectsRemoved() {
    for (const std::string_view name : CLinkObjects::kNames)
      if (CFileMapping::Open(name)) return false;
    return true;
  }

 private:
  CTestNamespace m_namespace;
  std::string m_strLogPath;
};

struct ProgramOutcome {
  std::string out;
  std::string err;
  int status = -1;
};

// Runs program with args and the given standard input; -1 status when it did not exit.
inline ProgramOutcome RunProgram(const std::string& program, const std::vector<std::string>& args,
                                 const std::string& input = {}) {
  int inPipe[2], outPipe[2], errPipe[2];
  if (pipe2(inPipe, O_CLOEXEC) != 0 || pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, inPipe[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(inPipe[0]);
  close(outPipe[1]);
  close(errPipe[1]);
  ProgramOutcome outcome;
  if (spawned == 0) {
    // Small inputs only: they fit the pipe, so writing before reading cannot block.
    if (!input.empty() && write(inPipe[1], input.data(), input.size()) < 0) outcome.err = "write failed";
    close(inPipe[1]);
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&outcome.out, &outcome.err};
    for (int open = 2; open > 0;) {
      if (poll(fds, 2, 60000) <= 0) break;
      for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || fds[i].revents == 0) continue;
        char chunk[4096];
        const ssize_t n = read(fds[i].fd, chunk, sizeof chunk);
        if (n > 0) {
          sinks[i]->append(chunk, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
          fds[i].fd = -1;
          --open;
        }
      }
    }
    int status = 0;
    if (waitpid(pid, &status, 0) == pid && WIFEXITED(status)) outcome.status = WEXITSTATUS(status);
  } else {
    close(inPipe[1]);
  }
  close(outPipe[0]);
  close(errPipe[0]);
  return outcome;
}
