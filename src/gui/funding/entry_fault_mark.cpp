#include "gui/funding/entry_fault_mark.h"

#include "gui/app/theme_manager.h"

#include <QLineEdit>

namespace tc::gui {

void markEntryFault(QLineEdit* field, const QString& reason, const ThemeManager& themes) {
    field->setToolTip(reason);
    if (reason.isEmpty()) {
        field->setStyleSheet(QString());
        return;
    }
    field->setStyleSheet(QStringLiteral("QLineEdit { background-color: %1; color: %2; }")
                             .arg(themes.colour(ThemeRole::PriceInvalidGround).name(),
                                  themes.colour(ThemeRole::PriceInvalidText).name()));
}

} // namespace tc::gui
