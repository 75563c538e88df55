#include "gui/app/theme_manager.h"

#include "gui/app/shell_rules.h"
#include "gui/app/theme_palette.h"
#include "platform/user_defaults.h"

#include <QApplication>
#include <QColor>
#include <QStyle>
#include <QStyleFactory>

namespace tc::gui {
namespace {

QColor qColor(Rgba c) {
    return QColor(c.r, c.g, c.b, c.a);
}

QString cssColor(Rgba c) {
    return QStringLiteral("rgba(%1, %2, %3, %4)").arg(c.r).arg(c.g).arg(c.b).arg(c.a);
}

} // namespace

ThemeManager::ThemeManager(platform::UserDefaults& defaults, QObject* parent)
    : QObject(parent), defaults_(defaults) {}

std::int64_t ThemeManager::getThemeForKey() const {
    return defaults_.integerForKey(kThemeKey);
}

bool ThemeManager::isThemeApplied() const {
    return defaults_.objectForKey(kThemeKey).has_value();
}

void ThemeManager::applyStoredTheme() {
    if (!isThemeApplied()) {
        defaults_.set(kThemeKey, std::int64_t{kDarkTheme});
        defaults_.synchronize();
    }
    apply(getThemeForKey());
}

void ThemeManager::saveTheme(std::int64_t theme) {
    defaults_.set(kThemeKey, theme);
    defaults_.synchronize();
    apply(theme);
    Q_EMIT themeChanged(theme);
}

QPalette ThemeManager::palette(std::int64_t theme) {
    const ThemeColors* c = themeColors(theme);
    if (!c)
        return QApplication::style() ? QApplication::style()->standardPalette() : QPalette();
    QPalette p;
    p.setColor(QPalette::Window, qColor(c->window));
    p.setColor(QPalette::WindowText, qColor(c->windowText));
    p.setColor(QPalette::Base, qColor(c->base));
    p.setColor(QPalette::AlternateBase, qColor(c->alternateBase));
    p.setColor(QPalette::Text, qColor(c->text));
    p.setColor(QPalette::Button, qColor(c->button));
    p.setColor(QPalette::ButtonText, qColor(c->buttonText));
    p.setColor(QPalette::BrightText, qColor(c->highlightedText));
    p.setColor(QPalette::Highlight, qColor(c->highlight));
    p.setColor(QPalette::HighlightedText, qColor(c->highlightedText));
    p.setColor(QPalette::PlaceholderText, qColor(c->placeholderText));
    p.setColor(QPalette::Link, qColor(c->link));
    p.setColor(QPalette::LinkVisited, qColor(c->link));
    p.setColor(QPalette::ToolTipBase, qColor(c->toolTipBase));
    p.setColor(QPalette::ToolTipText, qColor(c->toolTipText));
    // Frames and bevels of the style are drawn from these.
    const QColor button = qColor(c->button);
    const bool dark = theme == kDarkTheme;
    p.setColor(QPalette::Light, dark ? button.lighter(140) : QColor(Qt::white));
    p.setColor(QPalette::Midlight, dark ? button.lighter(120) : button.darker(105));
    p.setColor(QPalette::Mid, dark ? button.darker(120) : button.darker(130));
    p.setColor(QPalette::Dark, dark ? button.darker(160) : button.darker(160));
    p.setColor(QPalette::Shadow, QColor(0, 0, 0, dark ? 200 : 90));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, qColor(c->disabledText));
    p.setColor(QPalette::Disabled, QPalette::Base, qColor(c->window));
    p.setColor(QPalette::Disabled, QPalette::Button, qColor(c->window));
    return p;
}

QString ThemeManager::styleSheet(std::int64_t theme) {
    const ThemeColors* c = themeColors(theme);
    if (!c)
        return {};
    return QStringLiteral("QLineEdit { border: 1px solid %1; border-radius: 3px; padding: 2px 4px; }\n"
                          "QLineEdit:focus { border-color: %2; }\n"
                          "QTableView, QTreeView { gridline-color: %3; }\n")
        .arg(cssColor(c->fieldBorder), cssColor(c->highlight), cssColor(c->grid));
}

void ThemeManager::apply(std::int64_t theme) {
    if (!themeColors(theme))
        return; // an unknown number leaves the windows as they are
    // One style on every desktop, so the palette alone decides the colours.
    if (QApplication::style()->name().compare(QLatin1String("fusion"), Qt::CaseInsensitive) != 0)
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(palette(theme));
    qApp->setStyleSheet(styleSheet(theme));
}

} // namespace tc::gui
