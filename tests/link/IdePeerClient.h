#pragma once
// CIdePeerClient: drives the ide_peer fixture (IdePeer.cpp), a real second process playing the
// IDE, one line per handshake step. The peer inherits this process's VITREL_LINK_NAMESPACE.

#include <cerrno>
#include <csignal>
#include <cstddef>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

class CIdePeerClient {
 public:
  CIdePeerClient() {
    // A peer that died (on purpose, in some tests) must not take this process with it.
    signal(SIGPIPE, SIG_IGN);
    int toPeer[2];
    int fromPeer[2];
    if (pipe2(toPeer, O_CLOEXEC) != 0 || pipe2(fromPeer, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toPeer[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fromPeer[1], STDOUT_FILENO);
    char* argv[] = {const_cast<char*>(IDE_PEER_PATH), nullptr};
    if (posix_spawn(&m_pid, IDE_PEER_PATH, &actions, nullptr, argv, environ) != 0) m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(toPeer[0]);
    close(fromPeer[1]);
    m_nToPeer = toPeer[1];
    m_nFromPeer = fromPeer[0];
  }
  CIdePeerClient(const CIdePeerClient&) = delete;
  CIdePeerClient& operator=(const CIdePeerClient&) = delete;
  ~CIdePeerClient() {
    if (m_nToPeer >= 0) {
      Write("exit\n");
      close(m_nToPeer);
    }
    if (m_pid > 0 && !WaitForExit(5000)) {
      kill(m_pid, SIGKILL);
      WaitForExit(-1);
    }
    if (m_nFromPeer >= 0) close(m_nFromPeer);
  }

  // Sends one step and returns the peer's answer line, or "no answer" after timeoutMs.
  std::string Command(const std::string& line, int timeoutMs = 10000) {
    if (!Write(line + "\n")) return "no answer";
    return ReadLine(timeoutMs);
  }
  // "die": the peer ends at once; returns its exit status (9) or -1.
  int Die() {
    Write("die\n");
    if (!WaitForExit(5000)) return -1;
    return WIFEXITED(m_nStatus) ? WEXITSTATUS(m_nStatus) : -1;
  }

 private:
  bool Write(const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
      const ssize_t n = write(m_nToPeer, text.data() + done, text.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      done += static_cast<std::size_t>(n);
    }
    return true;
  }

  std::string ReadLine(int timeoutMs) {
    for (;;) {
      const auto end = m_strBuffer.find('\n');
      if (end != std::string::npos) {
        std::string line = m_strBuffer.substr(0, end);
        m_strBuffer.erase(0, end + 1);
        return line;
      }
      pollfd ready{m_nFromPeer, POLLIN, 0};
      if (poll(&ready, 1, timeoutMs) <= 0) return "no answer";
      char chunk[65536];
      const ssize_t n = read(m_nFromPeer, chunk, sizeof chunk);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return "no answer";
      m_strBuffer.append(chunk, static_cast<std::size_t>(n));
    }
  }

  bool WaitForExit(int timeoutMs) {
    if (m_bReaped) return true;
    for (int waited = 0;; waited += 10) {
      const pid_t reaped = waitpid(m_pid, &m_nStatus, WNOHANG);
      if (reaped == m_pid) return m_bReaped = true;
      if (reaped < 0 && errno != EINTR) return false;
      if (timeoutMs >= 0 && waited >= timeoutMs) return false;
      usleep(10000);
    }
  }

  pid_t m_pid = -1;
  int m_nToPeer = -1;
  int m_nFromPeer = -1;
  int m_nStatus = 0;
  bool m_bReaped = false;
  std::string m_strBuffer;
};
