#include "gui/market/tone_roles.h"

namespace tc::gui {

ToneRoles toneRoles(Tone tone) {
    switch (tone) {
    case Tone::Plain:
        return {};
    case Tone::Gain:
        return {ThemeRole::GainText, std::nullopt};
    case Tone::Loss:
        return {ThemeRole::LossText, std::nullopt};
    case Tone::TickUp:
        return {ThemeRole::TickUpText, ThemeRole::TickUpGround};
    case Tone::TickDown:
        return {ThemeRole::TickDownText, ThemeRole::TickDownGround};
    case Tone::TickSame:
        return {ThemeRole::TickSameText, ThemeRole::TickSameGround};
    case Tone::Frozen:
        return {ThemeRole::FrozenText, ThemeRole::FrozenGround};
    case Tone::Alert:
        return {ThemeRole::AlertText, std::nullopt, true};
    }
    return {};
}

} // namespace tc::gui
