#include "gui/controls/input_filters.h"

#include "gui/controls/entry_refusal.h"

#include "gui/app/language.h"
#include "gui/controls/input_rules.h"
#include "platform/number_entry.h"

#include <QComboBox>
#include <QLineEdit>

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
    return validatorState(holdNumberEntry(input.toStdString()));
}

QString entryRefusal(std::int64_t language, const QString& text, const QString& fieldName,
                     platform::EntryRules rules) {
    const platform::NumberEntry entry = platform::readNumberEntry(text.toStdString(), rules);
    if (entry.ok())
        return {};
    return lookupText(language, entryFaultKey(entry.fault))
        .replace(QLatin1String("{0}"), fieldName)
        .replace(QLatin1String("{1}"), QString::number(rules.maxDecimals.value_or(0)));
}

QValidator::State PortValidator::validate(QString& input, int&) const {
    // A letter or a sixth digit stays as typed, for the login to refuse: dropped, it left another port.
    if (isPortText(input.toStdString()))
        return Acceptable;
    return static_cast<std::size_t>(input.size()) <= platform::kMaxEntryLength ? Intermediate : Invalid;
}

void installDecimalFilter(QLineEdit* field) {
    field->setValidator(new DecimalValidator(field));
}

void installDecimalFilter(QComboBox* box) {
    if (box->lineEdit())
        box->lineEdit()->setValidator(new DecimalValidator(box->lineEdit()));
}

void installPortFilter(QLineEdit* field) {
    field->setValidator(new PortValidator(field));
}

} // namespace tc::gui
