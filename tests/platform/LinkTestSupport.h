#pragma once
// Helpers shared by the platform and link suites: a private object namespace per test, forked
// children, and a stray futex wake-up.

#include "platform/FileMapping.h"

#include <atomic>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

// Gives the test its own VITREL_LINK_NAMESPACE (pid and a counter), so suites running side by
// side never meet, and removes every object named through it when the test ends.
class CTestNamespace {
 public:
  CTestNamespace() {
    static std::atomic<int> s_nCounter{0};
    m_strPrefix = "vitrel-test-" + std::to_string(getpid()) + "-" +
                  std::to_string(s_nCounter.fetch_add(1)) + "-";
    setenv("VITREL_LINK_NAMESPACE", m_strPrefix.c_str(), 1);
  }
  ~CTestNamespace() {
    for (const std::string& name : m_names)
      RemoveLinkObject(name);
    unsetenv("VITREL_LINK_NAMESPACE");
  }
  CTestNamespace(const CTestNamespace&) = delete;
  CTestNamespace& operator=(const CTestNamespace&) = delete;

  // Returns the name and remembers it for removal.
  const std::string& Name(std::string name) { return m_names.emplace_back(std::move(name)); }
  const std::string& GetPrefix() const { return m_strPrefix; }

 private:
  std::string m_strPrefix;
  std::vector<std::string> m_names;
};

// Runs body in a forked child, which ends with body's result as its exit status and skips every
// exit handler of the test process.
inline pid_t RunInChild(const std::function<int()>& body) {
  const pid_t pid = fork();
  if (pid == 0)
    _exit(body());
  return pid;
}

// The child's exit status, or -1 when it did not exit normally.
inline int WaitForChild(pid_t pid) {
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
    return -1;
  return WEXITSTATUS(status);
}
