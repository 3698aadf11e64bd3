#include "platform/Event.h"

#include "platform/Futex.h"
#include "platform/KernelObjectHeader.h"

#include <atomic>
#include <new>
#include <utility>

namespace {

constexpr std::size_t kEventBodySize = sizeof(std::uint32_t);

std::atomic_ref<std::uint32_t> StateOf(std::uint32_t* pWord) {
  return std::atomic_ref<std::uint32_t>(*pWord);
}

std::uint32_t* WordIn(const CMapView& view) {
  return reinterpret_cast<std::uint32_t*>(view.GetBytes().data() + kKernelObjectBodyOffset);
}

}  // namespace

CEvent::CEvent(CEvent&& other) noexcept
    : m_view(std::move(other.m_view)),
      m_pOwnState(std::move(other.m_pOwnState)),
      m_pState(std::exchange(other.m_pState, nullptr)),
      m_reset(other.m_reset) {}

CEvent& CEvent::operator=(CEvent&& other) noexcept {
  if (this != &other) {
    m_view = std::move(other.m_view);
    m_pOwnState = std::move(other.m_pOwnState);
    m_pState = std::exchange(other.m_pState, nullptr);
    m_reset = other.m_reset;
  }
  return *this;
}

CEvent CEvent::CreateUnnamed(EventReset reset, bool bInitialState) {
  CEvent event;
  event.m_pOwnState.reset(new (std::nothrow) UnnamedState{bInitialState ? 1u : 0u, {0}});
  if (!event.m_pOwnState)
    return {};
  event.m_pState = &event.m_pOwnState->m_nWord;
  event.m_reset = reset;
  return event;
}

CEvent CEvent::CreateNamed(std::string_view name, EventReset reset, bool bInitialState) {
  CFileMapping mapping = CFileMapping::Create(name, kKernelObjectBodyOffset + kEventBodySize);
  CMapView view = CMapView::Map(mapping);
  if (!view) {
    if (mapping)
      RemoveLinkObject(name);
    return {};
  }
  CEvent event;
  event.m_view = std::move(view);
  event.m_pState = WordIn(event.m_view);
  event.m_reset = reset;
  StateOf(event.m_pState).store(bInitialState ? 1 : 0, std::memory_order_relaxed);
  PublishKernelObjectHeader(event.m_view.GetBytes(), kEventMagic,
                            reset == EventReset::Manual ? kEventFlagManualReset : 0);
  return event;
}

CEvent CEvent::OpenNamed(std::string_view name) {
  CMapView view = CMapView::Map(CFileMapping::Open(name));
  std::uint32_t flags = 0;
  if (!view || !ReadKernelObjectHeader(view.GetBytes(), kEventMagic, kEventBodySize, &flags))
    return {};
  CEvent event;
  event.m_view = std::move(view);
  event.m_pState = WordIn(event.m_view);
  event.m_reset = (flags & kEventFlagManualReset) != 0 ? EventReset::Manual : EventReset::Auto;
  return event;
}

bool CEvent::Set() const {
  if (m_pState == nullptr)
    return false;
  StateOf(m_pState).store(1, std::memory_order_seq_cst);
  if (m_pOwnState && m_pOwnState->m_nSleepers.load(std::memory_order_seq_cst) == 0)
    return true;
  FutexWakeAll(m_pState, IsProcessShared());
  return true;
}

bool CEvent::Reset() const {
  if (m_pState == nullptr)
    return false;
  StateOf(m_pState).store(0, std::memory_order_relaxed);
  return true;
}

bool CEvent::TryTake() const {
  if (m_pState == nullptr)
    return false;
  std::uint32_t observed = StateOf(m_pState).load(std::memory_order_acquire);
  if (m_reset == EventReset::Manual || observed == 0)
    return observed != 0;
  // Only the compare-exchange to 0 takes an auto-reset signal, so of several waiters exactly
  // one wins it; a loser sees 0 and sleeps again.
  return StateOf(m_pState).compare_exchange_strong(observed, 0, std::memory_order_acquire,
                                                   std::memory_order_relaxed);
}

std::atomic<std::uint32_t>* CEvent::GetSleeperCount() const {
  return m_pOwnState ? &m_pOwnState->m_nSleepers : nullptr;
}

void CEvent::Close() {
  m_view.Unmap();
  m_pOwnState.reset();
  m_pState = nullptr;
}
