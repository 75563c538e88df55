#pragma once
// The dark (0) or light (1) theme, stored under "Theme" and applied to the whole program as one
// palette and one small style sheet, whatever the desktop's theme. Every open window follows a
// switch at once; windows that paint colours of their own listen to themeChanged.
#include "gui/app/theme_table.h"

#include <QColor>
#include <QObject>
#include <QPalette>
#include <QString>

#include <cstdint>

namespace tc::platform {
class UserDefaults;
}

namespace tc::gui {

// A role's colour in a theme known to be 0 or 1.
QColor themeQColor(std::int64_t theme, ThemeRole role);

class ThemeManager : public QObject {
    Q_OBJECT
public:
    explicit ThemeManager(platform::UserDefaults& defaults, QObject* parent = nullptr);

    // The stored theme, 0 (dark) when none is stored.
    std::int64_t getThemeForKey() const;
    bool isThemeApplied() const;
    // At start-up: stores the dark theme when none is stored yet, then applies the stored one.
    void applyStoredTheme();
    // The settings' theme switch: stores and applies the theme, then announces it.
    void saveTheme(std::int64_t theme);

    // A role's colour in the theme in force (dark while none is stored or the stored one is unknown).
    QColor colour(ThemeRole role) const;

    // The palette and style sheet of a theme; an unknown theme gives the style's own palette and
    // no sheet.
    static QPalette palette(std::int64_t theme);
    static QString styleSheet(std::int64_t theme);

Q_SIGNALS:
    // "ThemeChangedNotification": the theme was switched and is in force.
    void themeChanged(std::int64_t theme);

private:
    void apply(std::int64_t theme);

    platform::UserDefaults& defaults_;
};

} // namespace tc::gui
