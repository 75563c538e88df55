#include "gui/controls/decimal_text_field.h"

#include "gui/controls/input_filters.h"

namespace tc::gui {

DecimalTextField::DecimalTextField(QWidget* parent)
    : QLineEdit(parent), validator_(new DecimalValidator(this)) {
    validator_->setMaximumDecimals(kDefaultDecimals);
    setValidator(validator_);
    setInputMethodHints(Qt::ImhFormattedNumbersOnly);
}

int DecimalTextField::maximumDecimals() const {
    return validator_->maximumDecimals().value_or(kDefaultDecimals);
}

void DecimalTextField::setMaximumDecimals(int decimals) {
    validator_->setMaximumDecimals(decimals);
}

} // namespace tc::gui
