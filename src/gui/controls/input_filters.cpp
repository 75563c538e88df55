#include "gui/controls/input_filters.h"

#include "gui/controls/input_rules.h"

#include <QComboBox>
#include <QLineEdit>

namespace tc::gui {

QValidator::State DecimalValidator::validate(QString& input, int&) const {
    return isDecimalText(input.toStdString()) ? Acceptable : Invalid;
}

QValidator::State PortValidator::validate(QString& input, int&) const {
    return isPortText(input.toStdString()) ? Acceptable : Invalid;
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
    field->setMaxLength(static_cast<int>(kPortFieldLength));
}

} // namespace tc::gui
