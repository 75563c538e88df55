#include "gui/controls/decimal_text_field.h"

#include "gui/controls/input_filters.h"
#include "gui/controls/input_rules.h"

#include <algorithm>

namespace tc::gui {

AmountValidator::AmountValidator(int maxDecimals, QObject* parent)
    : QValidator(parent), maxDecimals_(std::max(0, maxDecimals)) {}

QValidator::State AmountValidator::validate(QString& input, int&) const {
    return validatorState(holdNumberEntry(
        input.toStdString(), platform::EntryRules{false, static_cast<std::size_t>(maxDecimals_)}));
}

void AmountValidator::setMaximumDecimals(int decimals) {
    maxDecimals_ = std::max(0, decimals);
    Q_EMIT changed();
}

DecimalTextField::DecimalTextField(QWidget* parent)
    : QLineEdit(parent), validator_(new AmountValidator(kDefaultDecimals, this)) {
    setValidator(validator_);
    setInputMethodHints(Qt::ImhFormattedNumbersOnly);
}

int DecimalTextField::maximumDecimals() const {
    return validator_->maximumDecimals();
}

void DecimalTextField::setMaximumDecimals(int decimals) {
    validator_->setMaximumDecimals(decimals);
}

} // namespace tc::gui
