#pragma once
// CEvent: a Win32-style event on a 32-bit futex word (0 not signalled, 1 signalled).
//
// Kinds: manual reset (stays signalled until Reset; a Set releases every waiter) or auto reset
// (a Set admits one wait: the wait that returns the event takes the signal by a compare-exchange
// 1 -> 0, so a signal is consumed only by the wait that reports it). Named events live in a
// shared-memory object with the KernelObjectHeader ABI and use shared futexes, so they work
// across processes; unnamed events live in this process and use private futexes.
//
// Memory order: Set stores 1 and then wakes all waiters; taking or seeing a signal uses acquire
// order, so what the setter wrote before Set is visible to the waiter. An unnamed event also
// counts its sleeping waiters, so that a Set nobody waits for makes no system call (the store
// of 1 and the count's read are sequentially consistent against the waiter's increment and its
// futex check, so a sleeper is never missed). Named events wake every time: a peer in another
// process keeps no such count.
//
// Ownership and threads: move-only owner; a null (default-constructed, moved-from or closed)
// event fails every operation. Set, Reset, TryTake and waits may be called from any number of
// threads (and processes) at once; the owner must outlive every wait on it. Waits are in
// KernelObjects.h (WaitForSingleObject, WaitForMultipleObjects).

#include "platform/FileMapping.h"
#include "platform/MapView.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string_view>

enum class EventReset : std::uint8_t { Auto, Manual };

class CEvent {
 public:
  CEvent() = default;
  CEvent(CEvent&& other) noexcept;
  CEvent& operator=(CEvent&& other) noexcept;
  CEvent(const CEvent&) = delete;
  CEvent& operator=(const CEvent&) = delete;
  ~CEvent() = default;

  // An event of this process only (CreateEventW without a name).
  static CEvent CreateUnnamed(EventReset reset, bool bInitialState);
  // A new named event, mode 0600; null when the name is taken (see CFileMapping::Create).
  static CEvent CreateNamed(std::string_view name, EventReset reset, bool bInitialState);
  // An existing named event; null when missing, too small, or not an event of version 1.
  static CEvent OpenNamed(std::string_view name);

  explicit operator bool() const { return m_pState != nullptr; }
  bool IsManualReset() const { return m_reset == EventReset::Manual; }
  bool IsProcessShared() const { return static_cast<bool>(m_view); }

  bool Set() const;
  bool Reset() const;
  // Takes the signal when there is one: a manual-reset event stays signalled, an auto-reset
  // event is reset by this call (compare-exchange 1 -> 0). False when not signalled or null.
  // A word holding anything but 0 (only a faulty peer writes other values) counts as
  // signalled, so a wait can never spin on a value the futex sleep would not sleep on.
  bool TryTake() const;
  // The futex word, for the wait machinery; null for a null event.
  std::uint32_t* GetFutexWord() const { return m_pState; }
  // The count of threads about to sleep on an unnamed event's word; null for named events.
  std::atomic<std::uint32_t>* GetSleeperCount() const;

  // Releases the event early (CloseHandle).
  void Close();

 private:
  struct UnnamedState {
    std::uint32_t m_nWord;
    std::atomic<std::uint32_t> m_nSleepers;
  };

  CMapView m_view;                        // named events: the object holding header and word
  std::unique_ptr<UnnamedState> m_pOwnState;  // unnamed events: word and sleeper count
  std::uint32_t* m_pState = nullptr;
  EventReset m_reset = EventReset::Auto;
};
