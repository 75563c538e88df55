#include "gui/controls/entry_marks.h"

#include "gui/app/theme_manager.h"

#include <QComboBox>
#include <QLineEdit>
#include <QVariant>

namespace tc::gui {
namespace {

QWidget* fieldOf(QWidget* field) {
    if (auto* box = qobject_cast<QComboBox*>(field); box && box->lineEdit())
        return box->lineEdit();
    return field;
}

} // namespace

void noteEntry(QWidget* field, const QString& reason) {
    if (field->toolTip() == reason)
        return;
    field->setToolTip(reason);
    field->setAccessibleDescription(reason);
}

void paintEntry(QWidget* field, std::optional<bool> passed, const ThemeManager& themes) {
    QWidget* edit = fieldOf(field);
    QString sheet;
    if (passed)
        sheet =
            QStringLiteral("QLineEdit { background-color: %1; color: %2; }")
                .arg(themes.colour(*passed ? ThemeRole::PriceValidGround : ThemeRole::PriceInvalidGround)
                         .name(),
                     themes.colour(*passed ? ThemeRole::PriceValidText : ThemeRole::PriceInvalidText).name());
    // A style sheet change costs a polish: only a change is painted.
    if (edit->styleSheet() != sheet)
        edit->setStyleSheet(sheet);
}

void markEntry(QWidget* field, const QString& reason, const ThemeManager& themes) {
    noteEntry(field, reason);
    paintEntry(field, reason.isEmpty() ? std::nullopt : std::optional<bool>(false), themes);
}

} // namespace tc::gui
