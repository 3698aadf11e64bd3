#pragma once

#include <cstdint>

// A panel rectangle in client coordinates. The right and bottom edges lie outside it, so a
// rectangle of (0, 0, 10, 10) holds the points 0..9 in each direction.
struct CRect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;

  constexpr std::int32_t Width() const { return right - left; }
  constexpr std::int32_t Height() const { return bottom - top; }

  // The hit test of every click: left <= x < right and top <= y < bottom.
  constexpr bool PtInRect(std::int32_t x, std::int32_t y) const {
    return left <= x && x < right && top <= y && y < bottom;
  }

  friend constexpr bool operator==(const CRect&, const CRect&) = default;
};
