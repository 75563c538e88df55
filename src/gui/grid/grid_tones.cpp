#include "gui/grid/grid_tones.h"

#include "gui/app/theme_table.h"

namespace tc::gui {
namespace {

// A role's colour; the light theme's for a theme number the table does not know.
QColor toneColour(std::int64_t theme, ThemeRole role) {
    const Rgba c = colourOf(isTheme(theme) ? theme : kLightTheme, role);
    return QColor(c.r, c.g, c.b, c.a);
}

} // namespace

ToneStyle toneStyle(Grid grid, Tone tone, std::int64_t theme) {
    const auto colour = [theme](ThemeRole role) { return toneColour(theme, role); };
    ToneStyle style;
    switch (tone) {
    case Tone::Plain:
        break;
    case Tone::Gain:
        style.foreground = colour(ThemeRole::GainText);
        break;
    case Tone::Loss:
        style.foreground =
            colour(grid == Grid::OpenPositions ? ThemeRole::LossText : ThemeRole::LossTextDeep);
        break;
    case Tone::TickUp:
        style.background = colour(ThemeRole::TickUpGround);
        style.foreground = colour(ThemeRole::TickUpText);
        break;
    case Tone::TickDown:
        style.background =
            colour(grid == Grid::Watchlist ? ThemeRole::TickDownGround : ThemeRole::TickDownGroundDeep);
        style.foreground = colour(ThemeRole::TickDownText);
        break;
    case Tone::TickSame:
        style.background = colour(ThemeRole::TickSameGround);
        style.foreground = colour(ThemeRole::TickSameText);
        break;
    case Tone::Frozen:
        style.background = colour(ThemeRole::FrozenGround);
        style.foreground = colour(ThemeRole::FrozenText);
        break;
    case Tone::Alert:
        style.foreground = colour(ThemeRole::AlertText);
        style.bold = true;
        break;
    case Tone::Stale:
        style.foreground = colour(ThemeRole::StaleText);
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
