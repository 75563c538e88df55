#pragma once
// The ticket's account, instrument and quantity, with the instrument's name and the order's contract
// value. The quantity typed or chosen goes into the ticket's state.
#include <QGroupBox>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <vector>

namespace Ui {
class TicketInstrumentBox;
}

namespace tc::gui {

class ThemeManager;
class TicketState;

class TicketInstrumentBox : public QGroupBox {
    Q_OBJECT
public:
    explicit TicketInstrumentBox(QWidget* parent = nullptr);
    ~TicketInstrumentBox() override;

    void bind(TicketState& state) { state_ = &state; }
    void setAccounts(const std::vector<std::int32_t>& ids, std::int32_t current);
    void setInstruments(const QStringList& codes, const QString& current);
    void showInstrument(const QString& code, const QString& name);
    // The quantities offered, and the field's text; neither is the user's edit.
    void setQuantities(const QStringList& entries, const QString& text);
    void showQuantity(const QString& text);
    void showContractValue(const QString& text);
    // Why the quantity typed is refused (empty: it reads).
    void markQuantity(const QString& reason, const ThemeManager& themes);
    // Several accounts take their rows' quantities: the account and quantity boxes are off.
    void setSingleAccount(bool single);

Q_SIGNALS:
    void accountChosen(std::int32_t accountId);
    void instrumentChosen(const QString& code);
    // The user changed the quantity (the state has it).
    void quantityEdited();

private:
    std::unique_ptr<Ui::TicketInstrumentBox> ui_;
    TicketState* state_ = nullptr;
    bool loading_ = false; // filling the quantity: its change signals are not the user's
};

} // namespace tc::gui
