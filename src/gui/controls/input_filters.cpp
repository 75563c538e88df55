#include "gui/controls/input_filters.h"

#include "gui/controls/input_rules.h"
#include "platform/number_entry.h"

#include <QComboBox>
#include <QLineEdit>

#include <algorithm>

namespace tc::gui {

QValidator::State validatorState(EntryHold hold) {
    switch (hold) {
    case EntryHold::Acceptable:
        return QValidator::Acceptable;
    case EntryHold::Shown:
        return QValidator::Intermediate;
    case EntryHold::Refused:
        break;
    }
    return QValidator::Invalid;
}

QValidator::State DecimalValidator::validate(QString& input, int&) const {
    platform::EntryRules rules;
    if (maxDecimals_)
        rules.maxDecimals = static_cast<std::size_t>(*maxDecimals_);
    return validatorState(holdNumberEntry(input.toStdString(), rules));
}

void DecimalValidator::setMaximumDecimals(int decimals) {
    maxDecimals_ = std::max(0, decimals);
    Q_EMIT changed();
}

QValidator::State PortValidator::validate(QString& input, int&) const {
    // A letter, a sixth digit or a long paste stays as typed, for the login to refuse: dropped or
    // cut, it left another port.
    return isPortText(input.toStdString()) ? Acceptable : Intermediate;
}

void installDecimalFilter(QLineEdit* field) {
    field->setValidator(new DecimalValidator(field));
}

void installDecimalFilter(QComboBox* box) {
    if (!box->lineEdit())
        return;
    box->lineEdit()->setValidator(new DecimalValidator(box->lineEdit()));
    // No inline completion: it put the rest of the first listed number that begins with what was
    // typed after it (1 became the 1.5 held, 0. became 0.01), and set the text as the program's, so
    // Escape dropped the entry without asking. The list stays on the box's button.
    box->setCompleter(nullptr);
}

void installPortFilter(QLineEdit* field) {
    field->setValidator(new PortValidator(field));
}

} // namespace tc::gui
