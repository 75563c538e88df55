#include "gui/app/theme_manager.h"

#include "gui/app/column_gap.h"
#include "gui/app/text_baseline.h"
#include "gui/app/theme_table.h"
#include "platform/user_defaults.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QColor>
#include <QDateTimeEdit>
#include <QHeaderView>
#include <QLineEdit>
#include <QPainter>
#include <QPen>
#include <QPointer>
#include <QProxyStyle>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOptionButton>
#include <QStyleOptionViewItem>
#include <QTableView>

#include <algorithm>

namespace tc::gui {
namespace {

QString cssColor(Rgba c) {
    return QStringLiteral("rgba(%1, %2, %3, %4)").arg(c.r).arg(c.g).arg(c.b).arg(c.a);
}

// Fusion, but in a right-to-left layout the cells of item views still read their figures, dates and
// codes left to right ("-95.50", not "95.50-"; the cell keeps its mirrored alignment), and so do
// date, time and number fields; and a line of any script stands on the font's own baseline.
class ProgramStyle : public QProxyStyle {
public:
    ProgramStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

    using QProxyStyle::polish;
    void polish(QWidget* widget) override {
        QProxyStyle::polish(widget);
        if (auto* line = qobject_cast<QLineEdit*>(widget))
            keepOnBaseline(line);
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

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        // Alt pressed and let go puts the menu bar under the keys, as on the desktops.
        if (hint == SH_MenuBar_AltKeyNavigation)
            return 1;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }

    // A table's cells and column titles keep half a column gap beside their text, so that
    // neighbouring columns never read as one phrase (the cells' margin is this metric and one).
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
        if (metric == PM_FocusFrameHMargin && qobject_cast<const QTableView*>(widget))
            return columnTextMargin(widget->font()) - 1;
        if (const auto* header = qobject_cast<const QHeaderView*>(widget);
            metric == PM_HeaderMargin && header && header->orientation() == Qt::Horizontal)
            return std::max(QProxyStyle::pixelMetric(metric, option, widget),
                            columnTextMargin(header->font()));
        return QProxyStyle::pixelMetric(metric, option, widget);
    }

    // Fusion leaves a push button's text half its margin on each side, which reads as touching the
    // frame; every button with text keeps the whole margin beside it.
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& contents,
                           const QWidget* widget) const override {
        QSize size = QProxyStyle::sizeFromContents(type, option, contents, widget);
        const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
        if (type != CT_PushButton || !button || (button->text.isEmpty() && !button->icon.isNull()))
            return size;
        int frame = proxy()->pixelMetric(PM_DefaultFrameWidth, option, widget);
        if (button->features & QStyleOptionButton::AutoDefaultButton)
            frame += proxy()->pixelMetric(PM_ButtonDefaultIndicator, option, widget);
        const int margin = proxy()->pixelMetric(PM_ButtonMargin, option, widget);
        // Some scripts' letters reach past their advance; their ink keeps the margin too.
        const int text = std::max(contents.width(), inkWidth(button->fontMetrics, button->text));
        size.setWidth(std::max(size.width(), text + 2 * (frame + margin)));
        return size;
    }

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        // A tool button that is on (the chart's crosshair, a pane's toggle) reads so at a glance:
        // Fusion's pressed shade alone is hard to tell from off, and in the dark theme not at all.
        if (element == PE_PanelButtonTool && (option->state & State_On)) {
            const QColor mark = option->palette.color(QPalette::Highlight);
            QColor fill = mark;
            fill.setAlpha(option->state & State_MouseOver ? 130 : 100);
            painter->save();
            painter->setRenderHint(QPainter::Antialiasing);
            painter->setPen(QPen(mark, 1));
            painter->setBrush(fill);
            painter->drawRoundedRect(QRectF(option->rect).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
            painter->restore();
            return;
        }
        QProxyStyle::drawPrimitive(element, option, painter, widget);
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
        if (element != CE_ItemViewItem || !item) {
            QProxyStyle::drawControl(element, option, painter, widget);
            return;
        }
        QStyleOptionViewItem cell(*item);
        if (item->direction == Qt::RightToLeft) {
            cell.displayAlignment =
                QStyle::visualAlignment(Qt::RightToLeft, item->displayAlignment) | Qt::AlignAbsolute;
            // Figures and dates read left to right; a sentence in a right-to-left script keeps its
            // own direction, or its closing stop would stand before its first word.
            if (!item->text.isRightToLeft())
                cell.direction = Qt::LeftToRight;
        }
        drawItemViewItem(cell, painter, widget);
    }

    // Labels, buttons, tabs and headers: one line stands on the font's own baseline, whatever script.
    void drawItemText(QPainter* painter, const QRect& rect, int flags, const QPalette& palette, bool enabled,
                      const QString& text, QPalette::ColorRole textRole) const override {
        const int shift = baselineShiftWithin(painter->font(), text, Qt::Alignment(flags), rect);
        QProxyStyle::drawItemText(painter, rect.translated(0, shift), flags, palette, enabled, text,
                                  textRole);
    }

private:
    // A cell of one line whose script moves it off the font's baseline: the style draws the cell
    // without its text, and the text is drawn here on that baseline, as the style would draw it.
    void drawItemViewItem(const QStyleOptionViewItem& cell, QPainter* painter, const QWidget* widget) const {
        const bool plain = !(cell.features &
                             (QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDecoration));
        const int shift = plain ? qRound(baselineShift(cell.font, cell.text, cell.displayAlignment)) : 0;
        if (shift == 0) {
            QProxyStyle::drawControl(CE_ItemViewItem, &cell, painter, widget);
            return;
        }
        const int margin = proxy()->pixelMetric(PM_FocusFrameHMargin, &cell, widget) + 1;
        const QRect room =
            proxy()->subElementRect(SE_ItemViewItemText, &cell, widget).adjusted(margin, 0, -margin, 0);
        const QFontMetrics metrics(cell.font);
        // A wrapped cell whose text takes more than one line is left as the style lays it out.
        if ((cell.features & QStyleOptionViewItem::WrapText) &&
            metrics.horizontalAdvance(cell.text) > room.width()) {
            QProxyStyle::drawControl(CE_ItemViewItem, &cell, painter, widget);
            return;
        }
        QStyleOptionViewItem blank(cell);
        blank.text.clear();
        QProxyStyle::drawControl(CE_ItemViewItem, &blank, painter, widget);
        QPalette::ColorGroup group = (cell.state & State_Enabled) ? QPalette::Normal : QPalette::Disabled;
        if (group == QPalette::Normal && !(cell.state & State_Active))
            group = QPalette::Inactive;
        const bool selected = (cell.state & State_Selected) && !(cell.state & State_Editing);
        painter->save();
        painter->setFont(cell.font);
        painter->setLayoutDirection(cell.direction);
        painter->setPen(cell.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
        painter->drawText(room.translated(0, shift),
                          static_cast<int>(QStyle::visualAlignment(cell.direction, cell.displayAlignment)) |
                              Qt::TextSingleLine,
                          metrics.elidedText(cell.text, cell.textElideMode, room.width()));
        painter->restore();
    }

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
