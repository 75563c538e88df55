#pragma once
// The sheet that closes an open position against opposite positions of its account, instrument
// and delivery mode: tick rows, choose how much each gives, send. It stays open until the server
// answers its own request (as every record sheet): done closes it, a rejection is shown and the sheet
// stays as it was. The position is kept by id; a position that goes away while the sheet waits for
// nothing closes it. After a sign-in again it reads the position and its rows again (ticks and typed
// quantities kept), and tells from them whether an offset that had no answer was carried out. An
// offset on positions an earlier request still waits for asks first (RecordSheet::sendOrAskFirst).
#include "gui/models/record_table_model.h"
#include "gui/trading/offset_rules.h"
#include "gui/trading/record_sheet.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class QComboBox;

namespace Ui {
class OffsetPositionWindowController;
}

namespace tc::gui {

struct OffsetLine;

class OffsetPositionWindowController : public RecordSheet {
    Q_OBJECT
public:
    explicit OffsetPositionWindowController(GuiContext& context, QWidget* parent = nullptr);
    ~OffsetPositionWindowController() override;

    bool openFor(const std::string& positionId);
    const OffsetState& state() const { return state_; }
    Ui::OffsetPositionWindowController& ui() const { return *ui_; }

    // The tick of a row (as a click on its box), and the quantity chosen for it.
    void hitCheckbox(int row);
    void QuantitySelectedAtIndex(int row, const QString& quantity);
    void OffsetButtonClicked();

protected:
    void refresh(bool fromTick) override;
    std::optional<SentOutcome> takeUpRecord(bool unanswered) override;

private:
    void fill() override;
    void showTitle();
    std::string sideName(std::int32_t side) const; // "B" or "S" in the selected language
    const ItemDetails* instrument() const;         // the position's, for the rows' prices; null when gone
    void showRows();
    void updateRow(int row);
    void updateTextFieldValues();
    // The offset as ticked and typed, checked again and sent.
    void send();

    std::unique_ptr<Ui::OffsetPositionWindowController> ui_;
    OffsetState state_;
    std::vector<OffsetLine> lines() const;

    RecordTableModel<OffsetLine>* lines_ = nullptr;
    std::vector<QComboBox*> quantityBoxes_;
    bool showing_ = false;
    // The last offset sent: what the position held, and the legs' quantities together.
    struct Sent {
        platform::Decimal held;
        platform::Decimal total;
    };
    std::optional<Sent> sent_;
};

} // namespace tc::gui
