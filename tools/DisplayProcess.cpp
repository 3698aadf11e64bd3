#include "tools/DisplayProcess.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <utility>

#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

CDisplayProcess::CDisplayProcess(CDisplayProcess&& other) noexcept
    : m_pid(std::exchange(other.m_pid, -1)),
      m_nPidFd(std::exchange(other.m_nPidFd, -1)),
      m_nStatus(std::exchange(other.m_nStatus, std::nullopt)) {}

CDisplayProcess& CDisplayProcess::operator=(CDisplayProcess&& other) noexcept {
  if (this != &other) {
    Release();
    m_pid = std::exchange(other.m_pid, -1);
    m_nPidFd = std::exchange(other.m_nPidFd, -1);
    m_nStatus = std::exchange(other.m_nStatus, std::nullopt);
  }
  return *this;
}

CDisplayProcess::~CDisplayProcess() { Release(); }

void CDisplayProcess::Release() {
  if (m_pid > 0 && !m_nStatus) Terminate();
  if (m_nPidFd >= 0) close(m_nPidFd);
  m_nPidFd = -1;
  m_pid = -1;
}

std::optional<CDisplayProcess> CDisplayProcess::Start(const std::string& program,
                                                      const std::vector<std::string>& args, std::string& error) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  pid_t pid = -1;
  const int spawned = posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ);
  if (spawned != 0) {
    error = "cannot start the display \"" + program + "\": " + std::strerror(spawned);
    return std::nullopt;
  }
  // glibc 2.36 declares pidfd_open without C linkage for C++; the system call is the same.
  const int pidFd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  if (pidFd < 0) {
    // Without a pidfd there is no bounded wait for the child: end it rather than lose track.
    error = std::string("cannot watch the display process: ") + std::strerror(errno);
    kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return std::nullopt;
  }
  return CDisplayProcess(pid, pidFd);
}

bool CDisplayProcess::WaitForExit(int timeoutMs) {
  if (m_nStatus) return true;
  if (m_nPidFd < 0) return false;
  pollfd watch{m_nPidFd, POLLIN, 0};
  int ready = 0;
  do {
    ready = poll(&watch, 1, timeoutMs);
  } while (ready < 0 && errno == EINTR);
  if (ready <= 0) return false;
  int status = 0;
  pid_t reaped = 0;
  do {
    reaped = waitpid(m_pid, &status, WNOHANG);
  } while (reaped < 0 && errno == EINTR);
  if (reaped != m_pid) return false;
  m_nStatus = status;
  return true;
}

std::string CDisplayProcess::DescribeStatus() const {
  if (!m_nStatus) return "still running";
  if (WIFEXITED(*m_nStatus)) return "exit status " + std::to_string(WEXITSTATUS(*m_nStatus));
  if (WIFSIGNALED(*m_nStatus)) return "killed by signal " + std::to_string(WTERMSIG(*m_nStatus));
  return "ended";
}

void CDisplayProcess::Terminate() {
  if (m_pid <= 0 || m_nStatus) return;
  kill(m_pid, SIGTERM);
  if (WaitForExit(kTerminateGraceMs)) return;
  kill(m_pid, SIGKILL);
  WaitForExit(-1);
}
