#include "gui/app/theme_palette.h"

#include <algorithm>
#include <cmath>

namespace tc::gui {
namespace {

constexpr ThemeColors kDark{
    .window = {0x1c, 0x1c, 0x1e},
    .windowText = {0xe8, 0xe8, 0xea},
    .base = {0x26, 0x26, 0x29},
    .alternateBase = {0x2e, 0x2e, 0x32},
    .text = {0xee, 0xee, 0xf0},
    .button = {0x36, 0x36, 0x3a},
    .buttonText = {0xee, 0xee, 0xf0},
    .highlight = {0x2a, 0x62, 0xc0},
    .highlightedText = {0xff, 0xff, 0xff},
    .placeholderText = {0x9a, 0x9a, 0xa0},
    .disabledText = {0x80, 0x80, 0x86},
    .link = {0x6c, 0xb2, 0xff},
    .toolTipBase = {0x3a, 0x3a, 0x3e},
    .toolTipText = {0xf2, 0xf2, 0xf2},
    .fieldBorder = {0x4d, 0x4d, 0x4d}, // white 0.3
    .grid = {0x33, 0x33, 0x33, 0x80},  // white 0.2 at half alpha
};

constexpr ThemeColors kLight{
    .window = {0xec, 0xec, 0xec},
    .windowText = {0x1d, 0x1d, 0x1f},
    .base = {0xff, 0xff, 0xff},
    .alternateBase = {0xf4, 0xf5, 0xf7},
    .text = {0x1d, 0x1d, 0x1f},
    .button = {0xfa, 0xfa, 0xfa},
    .buttonText = {0x1d, 0x1d, 0x1f},
    .highlight = {0x2f, 0x6c, 0xd0},
    .highlightedText = {0xff, 0xff, 0xff},
    .placeholderText = {0x6e, 0x6e, 0x73},
    .disabledText = {0x8a, 0x8a, 0x8e},
    .link = {0x0b, 0x5c, 0xc4},
    .toolTipBase = {0xff, 0xff, 0xe6},
    .toolTipText = {0x1d, 0x1d, 0x1f},
    .fieldBorder = {0xaa, 0xaa, 0xaa}, // light grey
    .grid = {0xd0, 0xd0, 0xd0},
};

double channel(std::uint8_t value) {
    const double c = value / 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

} // namespace

const ThemeColors* themeColors(std::int64_t theme) {
    if (theme == kDarkTheme)
        return &kDark;
    if (theme == kLightTheme)
        return &kLight;
    return nullptr;
}

double relativeLuminance(Rgba c) {
    return 0.2126 * channel(c.r) + 0.7152 * channel(c.g) + 0.0722 * channel(c.b);
}

double contrastRatio(Rgba a, Rgba b) {
    const double la = relativeLuminance(a);
    const double lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

} // namespace tc::gui
