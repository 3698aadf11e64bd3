#pragma once

#include <QIcon>
#include <QImage>

#include <cstdint>

// The program's own pictures, compiled in from res/panel.qrc and found by their numbers:
// bitmaps 131 to 147 and 151 to 153, icon 128.

// The bitmap with this number, in a format the panel surface copies fastest; a null image
// when the program has no bitmap of that number or it cannot be decoded.
QImage LoadPanelBitmap(std::uint16_t nResourceId);

// The icon with this number in every size the program carries; a null icon when it has none.
QIcon LoadPanelIcon(std::uint16_t nResourceId);
