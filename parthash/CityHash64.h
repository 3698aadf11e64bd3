#pragma once
// CityHash64, version 1.0 of the published definition, without a seed.
//
// Version 1.0 is the one part names were hashed with, so it is kept exactly: its short-input
// paths (up to 64 bytes) use the constant 0xc949d7c7509e6557 and differ from the 1.1 revision,
// which would give other values. Inputs over 64 bytes take the path both versions share.
//
// The input is read in one pass, in place: no allocation, no copy. Multi-byte reads are
// unaligned-safe and little-endian on every host, so a name hashes the same everywhere.

#include <cstddef>
#include <cstdint>
#include <span>

namespace parthash {

std::uint64_t CityHash64(std::span<const std::byte> bytes) noexcept;
std::uint64_t CityHash64(const char* data, std::size_t length) noexcept;

}  // namespace parthash
