#pragma once
// Small text helpers shared by the XML suites.

#include <cstddef>
#include <string>
#include <string_view>

namespace xmltext {

// A literal with its zero code units kept.
template <std::size_t N>
std::u16string Literal(const char16_t (&text)[N]) {
  return std::u16string(text, N - 1);
}

// A UTF-16 text as ASCII for failure messages; anything else shows as '?'.
inline std::string Narrow(std::u16string_view text) {
  std::string out;
  for (char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

}  // namespace xmltext
