#pragma once
// The sheet that closes one open position, wholly or in part, at market, or cancels one pending
// order. It keeps the record's id; the fill, the one-second refresh of the live price and the
// estimate, and the send all look the record up again. The close offers what is not already being
// closed by pending orders, and refuses more (the text of kQuantityMoreThanPositionHolds with that quantity).
// It keeps what it sent (the quantity, and what the position held then), so that after a sign-in
// again the new session's lists tell whether a request that had no answer was carried out. A close
// of a position an earlier request still waits for asks first (RecordSheet::sendOrAskFirst).
//
//     auto* sheet = new CloseAndCancelPositionWindowController(context, mainWindow);
//     sheet->openFor(CloseJob::Close, "300001");
#include "gui/trading/position_dialog_rules.h"
#include "gui/trading/record_sheet.h"

#include <memory>
#include <optional>

namespace Ui {
class CloseAndCancelPositionWindowController;
}

namespace tc::gui {

class CloseAndCancelPositionWindowController : public RecordSheet {
    Q_OBJECT
public:
    explicit CloseAndCancelPositionWindowController(GuiContext& context, QWidget* parent = nullptr);
    ~CloseAndCancelPositionWindowController() override;

    // Fills for the record and opens on the parent; false (the parent says why) when it is not held.
    bool openFor(CloseJob job, const std::string& id);
    CloseJob job() const { return job_; }
    Ui::CloseAndCancelPositionWindowController& ui() const { return *ui_; }

    void closeAndCancelButtonClicked();

protected:
    void refresh(bool fromTick) override;
    std::optional<SentOutcome> takeUpRecord(bool unanswered) override;

private:
    void fill() override;
    void updateValuesOnTimer(bool fromTimer);
    void deviationCheckboxSelect(bool ticked);
    // The deviation field marked when its text is no number of points.
    void markDeviation();
    // Whether the close as typed is one the sheet would send (its position held, its entries read):
    // only such a close asks about earlier requests first; send() says what refuses any other.
    bool closeSendable();
    // The close or cancel as typed, checked again and sent.
    void send();

    std::unique_ptr<Ui::CloseAndCancelPositionWindowController> ui_;
    CloseJob job_ = CloseJob::Close;
    // The last request sent: the quantity closed (none for a cancel) and what the position held.
    struct Sent {
        platform::Decimal held;
        platform::Decimal quantity;
    };
    std::optional<Sent> sent_;
};

} // namespace tc::gui
