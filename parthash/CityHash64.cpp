#include "CityHash64.h"

#include <bit>
#include <cstring>
#include <utility>

namespace parthash {
namespace {

constexpr std::uint64_t k0 = 0xc3a5c85c97cb3127ULL;
constexpr std::uint64_t k1 = 0xb492b66fbe98f273ULL;
constexpr std::uint64_t k2 = 0x9ae16a3b2f90404fULL;
constexpr std::uint64_t k3 = 0xc949d7c7509e6557ULL;
constexpr std::uint64_t kMul = 0x9ddfea08eb382d69ULL;

using Pair = std::pair<std::uint64_t, std::uint64_t>;

// memcpy instead of a pointer cast: the bytes of a command-line argument have no alignment.
std::uint64_t Fetch64(const unsigned char* p) noexcept {
  std::uint64_t value;
  std::memcpy(&value, p, sizeof value);
  if constexpr (std::endian::native == std::endian::big) value = __builtin_bswap64(value);
  return value;
}

std::uint32_t Fetch32(const unsigned char* p) noexcept {
  std::uint32_t value;
  std::memcpy(&value, p, sizeof value);
  if constexpr (std::endian::native == std::endian::big) value = __builtin_bswap32(value);
  return value;
}

std::uint64_t Rotate(std::uint64_t value, int shift) noexcept {
  return shift == 0 ? value : ((value >> shift) | (value << (64 - shift)));
}

// The caller guarantees 1 <= shift <= 63, so no zero test is needed.
std::uint64_t RotateByAtLeast1(std::uint64_t value, int shift) noexcept {
  return (value >> shift) | (value << (64 - shift));
}

std::uint64_t ShiftMix(std::uint64_t value) noexcept { return value ^ (value >> 47); }

std::uint64_t HashLen16(std::uint64_t low, std::uint64_t high) noexcept {
  std::uint64_t a = (low ^ high) * kMul;
  a ^= a >> 47;
  std::uint64_t b = (high ^ a) * kMul;
  b ^= b >> 47;
  return b * kMul;
}

std::uint64_t HashLen0to16(const unsigned char* s, std::size_t len) noexcept {
  if (len > 8) {
    const std::uint64_t a = Fetch64(s);
    const std::uint64_t b = Fetch64(s + len - 8);
    return HashLen16(a, RotateByAtLeast1(b + len, static_cast<int>(len))) ^ b;
  }
  if (len >= 4) {
    const std::uint64_t a = Fetch32(s);
    return HashLen16(len + (a << 3), Fetch32(s + len - 4));
  }
  if (len > 0) {
    const std::uint32_t y = static_cast<std::uint32_t>(s[0]) + (static_cast<std::uint32_t>(s[len >> 1]) << 8);
    const std::uint32_t z = static_cast<std::uint32_t>(len) + (static_cast<std::uint32_t>(s[len - 1]) << 2);
    return ShiftMix(y * k2 ^ z * k3) * k2;
  }
  return k2;
}

std::uint64_t HashLen17to32(const unsigned char* s, std::size_t len) noexcept {
  const std::uint64_t a = Fetch64(s) * k1;
  const std::uint64_t b = Fetch64(s + 8);
  const std::uint64_t c = Fetch64(s + len - 8) * k2;
  const std::uint64_t d = Fetch64(s + len - 16) * k0;
  return HashLen16(Rotate(a - b, 43) + Rotate(c, 30) + d, a + Rotate(b ^ k3, 20) - c + len);
}

Pair WeakHashLen32WithSeeds(std::uint64_t w, std::uint64_t x, std::uint64_t y, std::uint64_t z,
                            std::uint64_t a, std::uint64_t b) noexcept {
  a += w;
  b = Rotate(b + a + z, 21);
  const std::uint64_t c = a;
  a += x;
  a += y;
  b += Rotate(a, 44);
  return {a + z, b + c};
}

Pair WeakHashLen32WithSeeds(const unsigned char* s, std::uint64_t a, std::uint64_t b) noexcept {
  return WeakHashLen32WithSeeds(Fetch64(s), Fetch64(s + 8), Fetch64(s + 16), Fetch64(s + 24), a, b);
}

std::uint64_t HashLen33to64(const unsigned char* s, std::size_t len) noexcept {
  std::uint64_t z = Fetch64(s + 24);
  std::uint64_t a = Fetch64(s) + (len + Fetch64(s + len - 16)) * k0;
  std::uint64_t b = Rotate(a + z, 52);
  std::uint64_t c = Rotate(a, 37);
  a += Fetch64(s + 8);
  c += Rotate(a, 7);
  a += Fetch64(s + 16);
  const std::uint64_t vf = a + z;
  const std::uint64_t vs = b + Rotate(a, 31) + c;
  a = Fetch64(s + 16) + Fetch64(s + len - 32);
  z = Fetch64(s + len - 8);
  b = Rotate(a + z, 52);
  c = Rotate(a, 37);
  a += Fetch64(s + len - 24);
  c += Rotate(a, 7);
  a += Fetch64(s + len - 16);
  const std::uint64_t wf = a + z;
  const std::uint64_t ws = b + Rotate(a, 31) + c;
  const std::uint64_t r = ShiftMix((vf + ws) * k2 + (wf + vs) * k0);
  return ShiftMix(r * k0 + vs) * k2;
}

// Over 64 bytes: the tail is hashed first, then 64-byte blocks from the front keep 56 bytes of
// state (v, w, x, y, z). The last block overlaps the tail when the length is not a multiple of 64.
std::uint64_t HashLongerThan64(const unsigned char* s, std::size_t len) noexcept {
  std::uint64_t x = Fetch64(s + len - 40);
  std::uint64_t y = Fetch64(s + len - 16) + Fetch64(s + len - 56);
  std::uint64_t z = HashLen16(Fetch64(s + len - 48) + len, Fetch64(s + len - 24));
  Pair v = WeakHashLen32WithSeeds(s + len - 64, len, z);
  Pair w = WeakHashLen32WithSeeds(s + len - 32, y + k1, x);
  x = x * k1 + Fetch64(s);

  std::size_t blocks = (len - 1) / 64;
  do {
    x = Rotate(x + y + v.first + Fetch64(s + 8), 37) * k1;
    y = Rotate(y + v.second + Fetch64(s + 48), 42) * k1;
    x ^= w.second;
    y += v.first + Fetch64(s + 40);
    z = Rotate(z + w.first, 33) * k1;
    v = WeakHashLen32WithSeeds(s, v.second * k1, x + w.first);
    w = WeakHashLen32WithSeeds(s + 32, z + w.second, y + Fetch64(s + 16));
    std::swap(z, x);
    s += 64;
  } while (--blocks != 0);
  return HashLen16(HashLen16(v.first, w.first) + ShiftMix(y) * k1 + z,
                   HashLen16(v.second, w.second) + x);
}

}  // namespace

std::uint64_t CityHash64(const char* data, std::size_t length) noexcept {
  const auto* s = reinterpret_cast<const unsigned char*>(data);
  if (length <= 16) return HashLen0to16(s, length);
  if (length <= 32) return HashLen17to32(s, length);
  if (length <= 64) return HashLen33to64(s, length);
  return HashLongerThan64(s, length);
}

std::uint64_t CityHash64(std::span<const std::byte> bytes) noexcept {
  return CityHash64(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

}  // namespace parthash
