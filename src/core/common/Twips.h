#pragma once

#include <QtGlobal>

namespace ui {

// Designed sizes are in twips (1/1440 inch); at 96 dots per inch 15 twips make one pixel.
constexpr int twips(int value)
{
    return (value + 7) / 15;
}

} // namespace ui
