#pragma once
// The sheet that changes an open position's take profit and stop loss (PositionBrackets), or a
// pending order's price, quantity, take profit and stop loss (PendingOrder). It keeps the record's
// id and reads the record again when it sends; the fields show the record as it was at the opening.
// It keeps what it sent and what the record held then, so that after a sign-in again the new
// session's lists tell whether an edit that had no answer was carried out.
#include "gui/trading/position_dialog_rules.h"
#include "gui/trading/record_sheet.h"

#include <memory>
#include <optional>
#include <utility>

namespace Ui {
class ModifyPositionWindowController;
}

namespace tc::gui {

class ModifyPositionWindowController : public RecordSheet {
    Q_OBJECT
public:
    explicit ModifyPositionWindowController(GuiContext& context, QWidget* parent = nullptr);
    ~ModifyPositionWindowController() override;

    bool openFor(ModifyMode mode, const std::string& id);
    ModifyMode mode() const { return mode_; }
    Ui::ModifyPositionWindowController& ui() const { return *ui_; }

    void ModifyButtonClicked();
    void takeProfitCheckboxSelect(bool ticked);
    void stopLossCheckboxSelect(bool ticked);

protected:
    // No live values: only a record that went away matters.
    void refresh(bool fromTick) override;
    std::optional<SentOutcome> takeUpRecord(bool unanswered) override;

private:
    void fill() override;
    RecordFields recordFields() const;
    void step(bool takeProfit, int steps);
    // A bracket's box ticked or not: its field and steppers follow, with the record's default price.
    void bracketCheckboxSelect(bool takeProfit, bool ticked);
    // The quantity typed: its description, and its field marked with what the edit would refuse.
    void UpdateValueFields();
    void markQuantity(const std::optional<Refusal>& refusal);
    // The price fields the modify sends, marked when their text is no price.
    void markPrices();
    // The order rules' refusal of the edit as typed when it names one of the price fields (the
    // text Modify would show); none when the edit passes or a field is empty or no price.
    std::optional<std::pair<ModifyField, QString>> ruleRefusal() const;

    // What an edit sets: a pending order's quantity and price (none for a position), its take profit
    // and stop loss (none: off).
    struct Figures {
        std::optional<Decimal> quantity;
        std::optional<Decimal> price;
        std::optional<Decimal> takeProfit;
        std::optional<Decimal> stopLoss;
        bool operator==(const Figures&) const = default;
    };
    Figures figuresOf(const Order& record) const;
    // The last edit sent: what the record held then, and what was sent.
    struct Sent {
        Figures held;
        Figures sent;
    };
    std::optional<Sent> sent_;

    std::unique_ptr<Ui::ModifyPositionWindowController> ui_;
    ModifyMode mode_ = ModifyMode::PositionBrackets;
    double tickSize_ = 0;
    std::int32_t decimals_ = 0;
};

} // namespace tc::gui
