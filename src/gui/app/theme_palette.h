#pragma once
// The colours of the two themes (0 dark, 1 light), free of Qt: the theme manager turns them into a
// palette and a small style sheet. Chosen in the program, whatever the desktop's own theme is.
#include <cstdint>

namespace tc::gui {

struct Rgba {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    std::uint8_t a = 255;
};

struct ThemeColors {
    Rgba window;          // window background
    Rgba windowText;      // labels on it
    Rgba base;            // text fields, tables
    Rgba alternateBase;   // alternate table rows
    Rgba text;            // text in fields and tables
    Rgba button;          // button face
    Rgba buttonText;      // button label
    Rgba highlight;       // selection
    Rgba highlightedText; // selected text
    Rgba placeholderText; // hints in empty fields
    Rgba disabledText;    // disabled labels and buttons
    Rgba link;
    Rgba toolTipBase;
    Rgba toolTipText;
    Rgba fieldBorder; // one-pixel frame of text fields
    Rgba grid;        // table grid lines
};

inline constexpr int kDarkTheme = 0;
inline constexpr int kLightTheme = 1;

// The colours of a theme; nullptr for any other number (windows then keep what they have).
const ThemeColors* themeColors(std::int64_t theme);

// WCAG relative luminance (0 black .. 1 white) and contrast ratio (1 .. 21) of opaque colours.
double relativeLuminance(Rgba colour);
double contrastRatio(Rgba a, Rgba b);

} // namespace tc::gui
