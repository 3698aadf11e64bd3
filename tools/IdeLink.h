// CIdeLink: the IDE's side of the eight named link objects. The IDE creates them before it
// starts the display and removes them when the link ends; this class does both.
//
// Kinds chosen for the handshake (see docs/ide-link.md):
//   LCDMapMemory, VEVOMapMemory     areas of kAreaSize bytes (any packet fits), zero-filled
//   LCDMapMemoryCopyEvent           manual reset: the display resets it itself
//   LCDMapMemoryEmptyEvent          auto reset: waiting for it consumes the display's signal
//   VEVOMapMemoryCopyEvent          auto reset: waiting for it consumes the display's signal
//   VEVOMapMemoryEmptyEvent         auto reset, set once now: each signal admits one reply
// The steps of the handshake are offered one by one, so tests can also act as a misbehaving
// IDE (hold the mutex, never signal, write a lying header).
//
// Ownership and threads: move-only. The destructor removes the names it created (the objects
// themselves live on until the display unmaps them). The inbound mutex is owned by the thread
// that locked it, so LockInbound and UnlockInbound belong on one thread; everything else may be
// called from one thread at a time.

#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/Event.h"
#include "platform/FileMapping.h"
#include "platform/MapView.h"
#include "platform/Mutex.h"
#include "platform/WinTypes.h"

class CIdeLink {
 public:
  static constexpr std::size_t kAreaSize = 12 + 65535;
  // How long the IDE waits for the inbound mutex; the display holds it only while copying.
  static constexpr DWORD kMutexWaitMs = 2000;

  CIdeLink(CIdeLink&& other) noexcept;
  CIdeLink& operator=(CIdeLink&& other) = delete;
  CIdeLink(const CIdeLink&) = delete;
  CIdeLink& operator=(const CIdeLink&) = delete;
  ~CIdeLink();

  // Creates all eight objects under the current VITREL_LINK_NAMESPACE. On failure nothing is
  // left behind and error says which object failed and why.
  static std::optional<CIdeLink> Create(std::string& error, std::size_t nInAreaSize = kAreaSize,
                                        std::size_t nOutAreaSize = kAreaSize);

  // --- inbound: commands to the display ---
  // WAIT_OBJECT_0 or WAIT_ABANDONED when owned now, else WAIT_TIMEOUT or WAIT_FAILED.
  DWORD LockInbound(DWORD dwMilliseconds) const;
  bool UnlockInbound() const;
  // Writes bytes at the start of the inbound area; false when they do not fit.
  bool WriteInboundArea(std::span<const std::byte> bytes) const;
  bool SignalInboundCopy() const;
  // The whole send step: own the mutex, write the packet, release, set the copy event. False
  // when the mutex stays owned elsewhere for kMutexWaitMs or the packet does not fit.
  bool SendPacket(std::span<const std::byte> image) const;
  // Waits for (and consumes) the display's signal that it took the last packet.
  DWORD WaitInboundEmpty(DWORD dwMilliseconds) const;

  // --- outbound: replies from the display ---
  // Waits for (and consumes) the display's signal that a reply waits in the outbound area.
  DWORD WaitReply(DWORD dwMilliseconds) const;
  // The reply image in the outbound area: header and payload, or nothing when the header's
  // payload length reaches beyond the area. Does not signal the display.
  std::optional<std::vector<std::byte>> ReadReply() const;
  // Lets the display write its next reply.
  bool SignalOutboundEmpty() const;

  const CEvent& GetInboundEmptyEvent() const { return m_hInEmptyEvent; }
  const CEvent& GetReplyEvent() const { return m_hOutCopyEvent; }

 private:
  CIdeLink() = default;
  void RemoveNames();

  bool m_bOwnsNames = false;
  CFileMapping m_hInMapping;
  CMapView m_inView;
  CMutex m_hInMutex;
  CEvent m_hInCopyEvent;
  CEvent m_hInEmptyEvent;
  CFileMapping m_hOutMapping;
  CMapView m_outView;
  CMutex m_hOutMutex;
  CEvent m_hOutCopyEvent;
  CEvent m_hOutEmptyEvent;
};
