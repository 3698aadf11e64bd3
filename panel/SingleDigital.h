#pragma once

#include "panel/DigitalObject.h"

#include <QImage>

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

// A picture lit by one bit of one byte: a word, a unit, the minus sign, a colon or a point.
// It shows m_bmpLit when enabled and lit, a white rectangle when enabled and dark, and
// m_bmpDisabled when disabled. Without both pictures it draws nothing at all.
class CSingleDigital : public CDigitalObject {
public:
  static constexpr std::u16string_view kTypeName = u"CSingleDigital";

  // Loads both pictures from the program's bitmaps by number, the lit one first; a picture
  // that cannot be loaded stays null.
  CSingleDigital(std::u16string_view name, const CRect& rect, unsigned nLitBitmapId,
                 unsigned nDisabledBitmapId);
  ~CSingleDigital() override;

  void Draw(CDrawSurface* pDC) const override;
  std::u16string GetTypeName() const override;
  void EditProperties() override;
  void UpdateFromMemory(const RamValueMap& values) override;

  std::atomic<std::uint16_t> m_wAddress{0};
  std::atomic<std::uint16_t> m_wBitIndex{0};
  // Set once by the constructor and only read afterwards.
  QImage m_bmpLit;
  QImage m_bmpDisabled;
  // Lit until the first report that carries m_wAddress says otherwise.
  std::atomic<bool> m_bLit{true};
};
