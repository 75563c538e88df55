#include "gui/models/grid_tones.h"

#include "gui/app/theme_palette.h"

namespace tc::gui {
namespace {

const QColor kGreen = QColor::fromRgbF(0.0f, 0.6f, 0.0f);
const QColor kDarkRed = QColor::fromRgbF(0.6f, 0.0f, 0.0f);
const QColor kBrightRed(230, 0, 38);

// The alert red of the account status, as the desktop's own red of each theme.
QColor alertRed(std::int64_t theme) {
    return theme == 0 ? QColor(255, 69, 58) : QColor(215, 0, 21);
}

// A colour of the theme's table; the light theme's for a theme number it does not know.
QColor themeColour(std::int64_t theme, Rgba ThemeColors::*role) {
    const ThemeColors* colours = themeColors(theme);
    if (!colours)
        colours = themeColors(kLightTheme);
    const Rgba c = colours->*role;
    return QColor(c.r, c.g, c.b, c.a);
}

} // namespace

ToneStyle toneStyle(Grid grid, Tone tone, std::int64_t theme) {
    ToneStyle style;
    switch (tone) {
    case Tone::Plain:
        break;
    case Tone::Gain:
        style.foreground = kGreen;
        break;
    case Tone::Loss:
        style.foreground = grid == Grid::OpenPositions ? kBrightRed : kDarkRed;
        break;
    case Tone::TickUp:
        style.background = kGreen;
        break;
    case Tone::TickDown:
        style.background = grid == Grid::Watchlist ? kBrightRed : kDarkRed;
        break;
    case Tone::TickSame:
        style.background = themeColour(theme, &ThemeColors::alternateBase);
        break;
    case Tone::Frozen:
        style.background = themeColour(theme, &ThemeColors::button);
        break;
    case Tone::Alert:
        style.foreground = alertRed(theme);
        style.bold = true;
        break;
    }
    return style;
}

QColor calibratedColor(const CalibratedColor& colour) {
    return QColor::fromRgbF(colour.red, colour.green, colour.blue, colour.alpha);
}

Tone tickTone(Tick tick) {
    switch (tick) {
    case Tick::Up:
        return Tone::TickUp;
    case Tick::Down:
        return Tone::TickDown;
    case Tick::Same:
        break;
    }
    return Tone::TickSame;
}

} // namespace tc::gui
