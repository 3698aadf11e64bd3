#pragma once

#include <cstdint>
#include <map>

// Memory values of one report: data-memory address to the byte found there. Ordered with
// unique keys; the command that builds it keeps the first entry of an address named twice.
using RamValueMap = std::map<std::uint16_t, std::uint8_t>;
