#pragma once
// Generated XML for the benchmarks: nested elements with attributes, text and comments.

#include <cstddef>
#include <string>

// An ASCII document of at least `bytes` bytes (UTF-8 and ASCII are the same here).
std::string MakeBenchDocument(std::size_t bytes);

// The same text widened to UTF-16 code units.
std::u16string WidenAscii(const std::string& text);
