#pragma once
// The ticket's advanced box: the order type, the side, the entry price, take profit and stop loss
// with their steppers and limit hints, the deviation, time in force and validity, and the place
// button. It shows the state; typed texts and the lists' choices go into it, and the steps that the
// rules answer (a type, a side, a box, a step) are signalled for the window to run.
#include "gui/trading/ticket_state.h"

#include <QGroupBox>

#include <functional>
#include <memory>
#include <string_view>
#include <vector>

class QComboBox;

namespace Ui {
class TicketAdvancedBox;
}

namespace tc::gui {

class ThemeManager;

class TicketAdvancedBox : public QGroupBox {
    Q_OBJECT
public:
    explicit TicketAdvancedBox(QWidget* parent = nullptr);
    ~TicketAdvancedBox() override;

    void bind(TicketState& state) { state_ = &state; }
    // The lists, named in the selected language by `shown`.
    using Namer = std::function<QString(std::string_view)>;
    void fillOrderTypes(const Namer& shown);
    void fillTimesInForce(const Namer& shown);
    void fillValidity(const std::vector<interfaces::Delivery>& offered, const Namer& shown);
    void renameLists(const Namer& shown);
    void retranslate(const std::function<QString(std::string_view)>& text);
    // The instrument's decimals for the price fields.
    void setDecimals(int decimals);

    void show(const TicketControls& controls);
    // The hints and colours; a field whose text is no price says why (`words` puts a refusal in the
    // selected language, naming the field by its key).
    using Words = std::function<QString(const Refusal&, std::string_view fieldKey)>;
    void showHints(const TicketPriceHints& hints, const ThemeManager& themes, const Words& words);
    void setLive(bool live);
    QPushButton* placeButton() const;

Q_SIGNALS:
    void orderTypeChosen(interfaces::OrderKind kind);
    void sideChosen(interfaces::Side side);
    void bracketToggled(tc::gui::TicketState::Bracket which, bool on);
    void deviationToggled(bool on);
    void stepped(tc::gui::TicketState::PriceField field, bool up);
    // A price or the deviation was typed (the state has it).
    void fieldEdited();
    void placeClicked();

private:
    std::unique_ptr<Ui::TicketAdvancedBox> ui_;
    TicketState* state_ = nullptr;
    std::vector<interfaces::Delivery> deliveries_; // the validity list's, in its order
};

} // namespace tc::gui
