#include "panel/DigitalObject.h"

CDigitalObject::CDigitalObject(std::u16string_view name, const CRect& rect)
    : m_rect(rect), m_strName(name) {}

CDigitalObject::~CDigitalObject() = default;

std::optional<std::uint8_t> CDigitalObject::FindValue(const RamValueMap& values,
                                                      std::uint16_t address) {
  const auto found = values.find(address);
  if (found == values.end())
    return std::nullopt;
  return found->second;
}

bool CDigitalObject::IsBitSet(std::uint8_t value, std::uint16_t bitIndex) {
  constexpr std::uint16_t kBitsPerByte = 8;
  if (bitIndex >= kBitsPerByte)
    return false;
  return ((value >> bitIndex) & 1u) != 0;
}
