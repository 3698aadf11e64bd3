#include "panel/SingleDigital.h"

#include "panel/DrawSurface.h"
#include "panel/PanelResources.h"

#include <QtGui/qrgb.h>

namespace {
constexpr QRgb kUnlitBackground = qRgb(255, 255, 255);
}

CSingleDigital::CSingleDigital(std::u16string_view name, const CRect& rect, unsigned nLitBitmapId,
                               unsigned nDisabledBitmapId)
    : CDigitalObject(name, rect) {
  // Resource numbers are 16-bit; a wider number keeps its low 16 bits, as resource ids do.
  m_bmpLit = LoadPanelBitmap(static_cast<std::uint16_t>(nLitBitmapId));
  m_bmpDisabled = LoadPanelBitmap(static_cast<std::uint16_t>(nDisabledBitmapId));
}

CSingleDigital::~CSingleDigital() = default;

void CSingleDigital::Draw(CDrawSurface* pDC) const {
  if (pDC == nullptr)
    return;
  // A picture that failed to load makes the object invisible in every state, white fill too.
  if (m_bmpLit.isNull() || m_bmpDisabled.isNull())
    return;
  if (!m_bEnabled.load(std::memory_order_relaxed)) {
    pDC->CopyBitmap(m_rect.left, m_rect.top, m_bmpDisabled);
    return;
  }
  if (m_bLit.load(std::memory_order_relaxed)) {
    pDC->CopyBitmap(m_rect.left, m_rect.top, m_bmpLit);
    return;
  }
  // Dark: the whole rectangle goes white, whatever the picture's own size.
  pDC->FillSolidRect(m_rect, kUnlitBackground);
}

std::u16string CSingleDigital::GetTypeName() const { return std::u16string(kTypeName); }

void CSingleDigital::EditProperties() {
  // The property dialog attaches here with the window's dialogs; until then there is nothing
  // to edit through, and the object stays as it is, as after a cancelled dialog.
}

void CSingleDigital::UpdateFromMemory(const RamValueMap& values) {
  const auto value = FindValue(values, m_wAddress.load(std::memory_order_relaxed));
  if (!value)
    return;
  m_bLit.store(IsBitSet(*value, m_wBitIndex.load(std::memory_order_relaxed)),
               std::memory_order_relaxed);
}
