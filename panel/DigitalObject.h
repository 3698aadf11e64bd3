#pragma once

#include "panel/RamValueMap.h"
#include "panel/Rect.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class CDrawSurface;

// One picture of the LCD glass: a fixed rectangle of the panel window wired to bits of the
// simulated chip's data memory. The two kinds, CSingleDigital and CMultiDigitalNumber, are told
// apart by GetTypeName alone.
//
// Threads: the link's command thread calls UpdateFromMemory and reads and rewrites the wiring
// and the enabled state while the window's thread draws. Every value that crosses between the
// two (lit, enabled, address, bit indexes) is one atomic; relaxed order is enough because each
// is a whole value on its own and the next paint, at most a second later, shows the newest.
// m_bSelected belongs to the window's thread alone. m_rect and m_strName never change.
class CDigitalObject {
public:
  virtual ~CDigitalObject();

  CDigitalObject(const CDigitalObject&) = delete;
  CDigitalObject& operator=(const CDigitalObject&) = delete;

  std::u16string GetName() const { return m_strName; }

  // Draws the object in its present state; a null surface draws nothing.
  virtual void Draw(CDrawSurface* pDC) const = 0;
  // "CSingleDigital" or "CMultiDigitalNumber": the only way callers tell the kinds apart.
  virtual std::u16string GetTypeName() const = 0;
  // Runs the object's property dialog and takes its values back on OK.
  virtual void EditProperties() = 0;
  // Recomputes the lit state from one memory report. An address the report does not carry
  // leaves the state as it was. Changes state only; the refresh timer repaints.
  virtual void UpdateFromMemory(const RamValueMap& values) = 0;

  const CRect m_rect;
  const std::u16string m_strName;
  bool m_bSelected = false;
  // Every object starts enabled, so a fresh panel shows its glass until told otherwise.
  std::atomic<bool> m_bEnabled{true};

protected:
  CDigitalObject(std::u16string_view name, const CRect& rect);

  // The byte the report holds for `address`, if it holds one.
  static std::optional<std::uint8_t> FindValue(const RamValueMap& values, std::uint16_t address);
  // Whether bit `bitIndex` of `value` is 1. Only bits 0 to 7 of a byte exist: an index of 8 to
  // 31 names a bit above the byte and so never lights, and an index of 32 or more (only a
  // hand-edited panel file gives one) never lights either, rather than shifting out of range.
  static bool IsBitSet(std::uint8_t value, std::uint16_t bitIndex);
};
