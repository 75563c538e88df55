#include "gui/app/theme_manager.h"

#include "gui/app/theme_table.h"
#include "platform/user_defaults.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QColor>
#include <QDateTimeEdit>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOptionButton>
#include <QStyleOptionViewItem>

namespace tc::gui {
namespace {

QString cssColor(Rgba c) {
    return QStringLiteral("rgba(%1, %2, %3, %4)").arg(c.r).arg(c.g).arg(c.b).arg(c.a);
}

// Fusion, but in a right-to-left layout the cells of item views still read their figures, dates and
// codes left to right ("-95.50", not "95.50-"; the cell keeps its mirrored alignment), and so do
// date, time and number fields.
class ProgramStyle : public QProxyStyle {
public:
    ProgramStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

    using QProxyStyle::polish;
    void polish(QWidget* widget) override {
        QProxyStyle::polish(widget);
        // Dates, times and numbers in a field are typed and read left to right in every language.
        // Set even when already so, so that a later switch of language leaves the field as it is.
        auto* field = qobject_cast<QAbstractSpinBox*>(widget);
        if (!field)
            return;
        // A date field made right to left shows its format's sections in reverse order; read while
        // it is still so, the format is set anew once the field is left to right.
        auto* date =
            field->layoutDirection() == Qt::RightToLeft ? qobject_cast<QDateTimeEdit*>(field) : nullptr;
        const QString format = date ? date->displayFormat() : QString();
        field->setLayoutDirection(Qt::LeftToRight);
        if (date)
            date->setDisplayFormat(format);
    }

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        if (const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
            element == CE_PushButtonLabel && button && button->direction == Qt::RightToLeft &&
            !button->icon.isNull() && !button->text.isEmpty() &&
            !(button->features & QStyleOptionButton::HasMenu)) {
            drawMirroredButtonLabel(*button, painter, widget);
            return;
        }
        const auto* item = qstyleoption_cast<const QStyleOptionViewItem*>(option);
        if (element != CE_ItemViewItem || !item || item->direction != Qt::RightToLeft) {
            QProxyStyle::drawControl(element, option, painter, widget);
            return;
        }
        QStyleOptionViewItem leftToRight(*item);
        leftToRight.displayAlignment =
            QStyle::visualAlignment(Qt::RightToLeft, item->displayAlignment) | Qt::AlignAbsolute;
        leftToRight.direction = Qt::LeftToRight;
        QProxyStyle::drawControl(element, &leftToRight, painter, widget);
    }

private:
    // A button's icon and text right to left: the pair centred, the icon at the right of the text.
    // The common style puts the icon there but aligns the text to the right of its room by a flag
    // the painter mirrors again, so the text stood against the button's left edge.
    void drawMirroredButtonLabel(const QStyleOptionButton& button, QPainter* painter,
                                 const QWidget* widget) const {
        int flags = Qt::AlignVCenter | Qt::TextShowMnemonic;
        if (!proxy()->styleHint(SH_UnderlineShortcut, &button, widget))
            flags |= Qt::TextHideMnemonic;
        QIcon::Mode mode = button.state & State_Enabled ? QIcon::Normal : QIcon::Disabled;
        if (mode == QIcon::Normal && button.state & State_HasFocus)
            mode = QIcon::Active;
        const QIcon::State state = button.state & State_On ? QIcon::On : QIcon::Off;
        const QPixmap pixmap =
            button.icon.pixmap(button.iconSize, painter->device()->devicePixelRatio(), mode, state);
        const QSize icon = pixmap.deviceIndependentSize().toSize();
        constexpr int kSpacing = 4; // as the button's size hint counts it
        const QRect area = button.rect;
        const int textWidth = button.fontMetrics.boundingRect(area, flags, button.text).width();
        const int left = area.x() + (area.width() - textWidth - kSpacing - icon.width()) / 2;
        painter->drawPixmap(
            QRect(QPoint(left + textWidth + kSpacing, area.y() + (area.height() - icon.height()) / 2), icon),
            pixmap);
        proxy()->drawItemText(painter, QRect(left, area.y(), textWidth, area.height()),
                              flags | Qt::AlignRight | Qt::AlignAbsolute, button.palette,
                              (button.state & State_Enabled) != 0, button.text, QPalette::ButtonText);
    }
};

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

QColor themeQColor(std::int64_t theme, ThemeRole role) {
    const Rgba c = colourOf(theme, role);
    return QColor(c.r, c.g, c.b, c.a);
}

QColor ThemeManager::colour(ThemeRole role) const {
    const std::int64_t theme = getThemeForKey();
    return themeQColor(isTheme(theme) ? theme : kDarkTheme, role);
}

QPalette ThemeManager::palette(std::int64_t theme) {
    if (!isTheme(theme))
        return QApplication::style() ? QApplication::style()->standardPalette() : QPalette();
    const auto c = [theme](ThemeRole role) { return themeQColor(theme, role); };
    QPalette p;
    p.setColor(QPalette::Window, c(ThemeRole::Window));
    p.setColor(QPalette::WindowText, c(ThemeRole::WindowText));
    p.setColor(QPalette::Base, c(ThemeRole::Base));
    p.setColor(QPalette::AlternateBase, c(ThemeRole::AlternateBase));
    p.setColor(QPalette::Text, c(ThemeRole::Text));
    p.setColor(QPalette::Button, c(ThemeRole::Button));
    p.setColor(QPalette::ButtonText, c(ThemeRole::ButtonText));
    p.setColor(QPalette::BrightText, c(ThemeRole::HighlightedText));
    p.setColor(QPalette::Highlight, c(ThemeRole::Highlight));
    p.setColor(QPalette::HighlightedText, c(ThemeRole::HighlightedText));
    p.setColor(QPalette::PlaceholderText, c(ThemeRole::PlaceholderText));
    p.setColor(QPalette::Link, c(ThemeRole::Link));
    p.setColor(QPalette::LinkVisited, c(ThemeRole::Link));
    p.setColor(QPalette::ToolTipBase, c(ThemeRole::ToolTipBase));
    p.setColor(QPalette::ToolTipText, c(ThemeRole::ToolTipText));
    // Frames and bevels of the style are drawn from these.
    const QColor button = c(ThemeRole::Button);
    const bool dark = theme == kDarkTheme;
    p.setColor(QPalette::Light, dark ? button.lighter(140) : QColor(Qt::white));
    p.setColor(QPalette::Midlight, dark ? button.lighter(120) : button.darker(105));
    p.setColor(QPalette::Mid, dark ? button.darker(120) : button.darker(130));
    p.setColor(QPalette::Dark, dark ? button.darker(160) : button.darker(160));
    p.setColor(QPalette::Shadow, QColor(0, 0, 0, dark ? 200 : 90));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, c(ThemeRole::DisabledText));
    p.setColor(QPalette::Disabled, QPalette::Base, c(ThemeRole::Window));
    p.setColor(QPalette::Disabled, QPalette::Button, c(ThemeRole::Window));
    return p;
}

QString ThemeManager::styleSheet(std::int64_t theme) {
    if (!isTheme(theme))
        return {};
    return QStringLiteral("QLineEdit { border: 1px solid %1; border-radius: 3px; padding: 2px 4px; }\n"
                          "QLineEdit:focus { border-color: %2; }\n"
                          "QTableView, QTreeView { gridline-color: %3; }\n")
        .arg(cssColor(colourOf(theme, ThemeRole::FieldBorder)),
             cssColor(colourOf(theme, ThemeRole::Highlight)), cssColor(colourOf(theme, ThemeRole::GridLine)));
}

void ThemeManager::apply(std::int64_t theme) {
    if (!isTheme(theme))
        return; // an unknown number leaves the windows as they are
    // One style on every desktop, so the palette alone decides the colours.
    // The application owns the style; the pointer forgets it when the application lets it go.
    static QPointer<QStyle> installed;
    if (!installed) {
        installed = new ProgramStyle;
        QApplication::setStyle(installed);
    }
    QApplication::setPalette(palette(theme));
    qApp->setStyleSheet(styleSheet(theme));
}

} // namespace tc::gui
