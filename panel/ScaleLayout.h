#pragma once

#include "panel/DigitalObject.h"

#include <cstddef>
#include <memory>
#include <vector>

// The one panel the program shows: the glass of a weighing-scale display.
constexpr std::size_t kScaleObjectCount = 23;

// Appends the scale's 23 objects to the end of `objects`, in the order that the panel draws,
// hit-tests, saves and lists them: the words and units, then the six digits with the colon and
// point after each of the first five. Each single picture loads its two bitmaps; nothing is
// wired yet, every object keeps what its constructor gives it.
void AppendScaleObjects(std::vector<std::unique_ptr<CDigitalObject>>& objects);
