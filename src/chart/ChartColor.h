#pragma once

#include <cstdint>

#include <QColor>

namespace hourlink {

// A colour as the window definition stores it: red in the lowest byte, green in the second, blue in the third.
using TColor = std::uint32_t;

// A point added with this colour has none of its own and is drawn in its series' colour.
inline constexpr TColor DefaultPointColor = 0x80000000;

inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clMaroon = 0x000080;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clAqua = 0xFFFF00;
inline constexpr TColor clWhite = 0xFFFFFF;

[[nodiscard]] constexpr TColor RgbColor(int red, int green, int blue) {
    return static_cast<TColor>(red) | (static_cast<TColor>(green) << 8) | (static_cast<TColor>(blue) << 16);
}

[[nodiscard]] inline QColor ToQColor(TColor color) {
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

// Each RGB component lowered by amount, not below 0; how the side and top faces of a 3-D shape get their shade.
[[nodiscard]] inline QColor Darken(const QColor& color, int amount) {
    auto lower = [amount](int component) { return component > amount ? component - amount : 0; };
    return QColor(lower(color.red()), lower(color.green()), lower(color.blue()));
}

} // namespace hourlink
