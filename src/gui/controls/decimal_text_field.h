#pragma once
// A one-line field for an amount: digits and one point, at most a set number of decimals (two unless
// the window asks for more, as a price at the instrument's decimals does). The text an edit would
// leave is judged whole, so typing, pasting and dropping obey the same rule; a text outside it is
// kept as typed (Intermediate) for the window to refuse, never cut to another number.
#include <QLineEdit>

namespace tc::gui {

class DecimalValidator;

class DecimalTextField : public QLineEdit {
    Q_OBJECT
public:
    static constexpr int kDefaultDecimals = 2;

    explicit DecimalTextField(QWidget* parent = nullptr);

    int maximumDecimals() const;
    // A text already standing with more decimals stays until it is edited; a later edit must bring
    // it within the new limit or shorten it.
    void setMaximumDecimals(int decimals);

private:
    DecimalValidator* validator_;
};

} // namespace tc::gui
