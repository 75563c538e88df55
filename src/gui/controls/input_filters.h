#pragma once
// Numeric fields: the validators judge the text an edit would leave, so typing, pasting and
// dropping are held to the same rule. A text that is not a number is kept as typed (an
// Intermediate state) for the window to refuse with refusalWords() (entry_refusal.h), never trimmed
// into another number.
#include <QValidator>

#include <optional>

class QComboBox;
class QLineEdit;

namespace tc::gui {

enum class EntryHold; // input_rules.h

// A validator's state for how a numeric field holds a text.
QValidator::State validatorState(EntryHold hold);

// Digits with at most one point (prices, quantities, amounts), and at most a set number of decimals
// once one is set; anything else is shown, not taken.
class DecimalValidator : public QValidator {
    Q_OBJECT
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override;
    // Any count until one is set.
    std::optional<int> maximumDecimals() const { return maxDecimals_; }
    void setMaximumDecimals(int decimals);

private:
    std::optional<int> maxDecimals_;
};

// At most five digits (the server port); any other text is shown, however long, not taken.
class PortValidator : public QValidator {
    Q_OBJECT
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override;
};

void installDecimalFilter(QLineEdit* field);
// An editable combo box's field; a combo box that is not editable takes no typing anyway.
void installDecimalFilter(QComboBox* box);
void installPortFilter(QLineEdit* field);

} // namespace tc::gui
