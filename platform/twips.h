#pragma once

#include <QRect>

// Window layouts are written in twips: 1440 to the inch, 15 to one logical pixel.
namespace twips {

inline constexpr int perPixel = 15;

constexpr int toPixels(int value)
{
    // Nearest pixel, halves away from zero.
    return value >= 0 ? (value + perPixel / 2) / perPixel : -((-value + perPixel / 2) / perPixel);
}

struct Rect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    constexpr QRect pixels() const { return QRect(toPixels(left), toPixels(top), toPixels(width), toPixels(height)); }
};

constexpr QSize size(int width, int height)
{
    return QSize(toPixels(width), toPixels(height));
}

} // namespace twips
