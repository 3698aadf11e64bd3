// CDisplayProcess: the display program started by the IDE as a child process.
//
// Start spawns the program with the given arguments and this process's environment, so the
// display inherits VITREL_LINK_NAMESPACE and opens the objects this IDE created. The child is
// watched through a pidfd, so waits for its end have exact time limits and never reap another
// child by mistake.
//
// Ownership and threads: move-only, one owner thread. The destructor never leaves a child
// behind: a display still running then is asked to end (SIGTERM), killed after a grace period,
// and reaped.

#pragma once

#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

class CDisplayProcess {
 public:
  static constexpr int kTerminateGraceMs = 1000;

  CDisplayProcess() = default;
  CDisplayProcess(CDisplayProcess&& other) noexcept;
  CDisplayProcess& operator=(CDisplayProcess&& other) noexcept;
  CDisplayProcess(const CDisplayProcess&) = delete;
  CDisplayProcess& operator=(const CDisplayProcess&) = delete;
  ~CDisplayProcess();

  // Starts program with args (argv[0] is the program; a name without a slash is looked up in
  // PATH). On failure returns nothing and puts the reason into error.
  static std::optional<CDisplayProcess> Start(const std::string& program, const std::vector<std::string>& args,
                                              std::string& error);

  // Waits at most timeoutMs for the child to end; true once it has ended (and is reaped).
  bool WaitForExit(int timeoutMs);
  bool HasExited() const { return m_nStatus.has_value(); }
  // The wait status of an ended child, as waitpid reports it.
  std::optional<int> GetStatus() const { return m_nStatus; }
  // "exit status 0", "killed by signal 9".
  std::string DescribeStatus() const;
  pid_t GetPid() const { return m_pid; }
  // SIGTERM, then SIGKILL after the grace period; reaps the child.
  void Terminate();

 private:
  CDisplayProcess(pid_t pid, int pidFd) : m_pid(pid), m_nPidFd(pidFd) {}
  void Release();

  pid_t m_pid = -1;
  int m_nPidFd = -1;
  std::optional<int> m_nStatus;
};
