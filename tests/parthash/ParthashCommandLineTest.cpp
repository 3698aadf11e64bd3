// Runs the real parthash program as a child process with an argument vector of our choosing,
// so that what a shell would do (quoting, argv[0]) is out of the picture.

#include "CityHash64.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Outcome {
  std::string out;
  std::string err;
  int status = -1;
};

std::string ReadAll(int fd) {
  std::string text;
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) {
      text.append(buffer, static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    return text;
  }
}

// argv0 is what the program sees as its invocation name; args follow it.
Outcome RunParthash(const std::string& argv0, const std::vector<std::string>& args) {
  int outPipe[2];
  int errPipe[2];
  if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);

  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(argv0.c_str()));
  for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, PARTHASH_PATH, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(outPipe[1]);
  close(errPipe[1]);
  Outcome outcome;
  if (spawned == 0) {
    // Outputs are a line at most, far below a pipe's capacity: reading one after the other
    // cannot deadlock.
    outcome.out = ReadAll(outPipe[0]);
    outcome.err = ReadAll(errPipe[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  close(outPipe[0]);
  close(errPipe[0]);
  return outcome;
}

struct CommandCase {
  const char* name;
  std::vector<std::string> args;
  const char* expectedOut;
};

TEST(ParthashCommandLineTest, PrintsLowHalfOfHashOfFirstArgument) {
  const std::vector<CommandCase> cases = {
      {"three bytes", {"abc"}, "0x3A4ECE31\n"},
      {"empty argument is hashed", {""}, "0x2F90404F\n"},
      {"second argument ignored", {"abc", "def"}, "0x3A4ECE31\n"},
      {"blanks belong to the name", {"part name with spaces"}, "0x938846C5\n"},
      {"long input path", {"The quick brown fox jumps over the lazy dog. The quick brown fox jumps over the lazy dog."},
       "0xDFB9236D\n"},
      {"leading zero digits", {"12345678"}, "0x3EE1EE2F\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome outcome = RunParthash("parthash", c.args);
    EXPECT_EQ(outcome.out, c.expectedOut);
    EXPECT_EQ(outcome.err, "");
    EXPECT_EQ(outcome.status, 0);
  }
}

TEST(ParthashCommandLineTest, HashesBytesAboveAsciiUnchanged) {
  // "é" in UTF-8 and in Latin-1 are different bytes; each line must be the hash of exactly the
  // bytes given, with nothing converted on the way.
  for (const std::string name : {"caf\xC3\xA9", "caf\xE9", "\xFF\xFE\x80"}) {
    char expected[16];
    std::snprintf(expected, sizeof expected, "0x%08X\n",
                  static_cast<unsigned>(parthash::CityHash64(name.data(), name.size()) & 0xFFFFFFFFu));
    const Outcome outcome = RunParthash("parthash", {name});
    EXPECT_EQ(outcome.out, expected);
    EXPECT_EQ(outcome.status, 0);
  }
}

TEST(ParthashCommandLineTest, NoArgumentPrintsUsageWithInvocationName) {
  for (const std::string argv0 : {"parthash", "./bin/parthash", "odd name"}) {
    SCOPED_TRACE(argv0);
    const Outcome outcome = RunParthash(argv0, {});
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err, "ussage: " + argv0 + " <part name>\n");
    EXPECT_EQ(outcome.status, 1);
  }
}

}  // namespace
