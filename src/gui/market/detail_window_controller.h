#pragma once
// The detail window: one two-column list of captions and values, for the delivery receipt of an open
// or an executed position, the instrument details and contract panes of an instrument, and the
// deposit or withdrawal information of the funding windows; with printing.
//
// The record is addressed by id (a position id, an instrument code) and read afresh from the session
// whenever its table changes; a receipt whose position is gone closes with a message, and every
// content closes when the session is replaced. Opened as a sheet on its owner (window-modal, open()).
//
//     openDeliveryReceipt(context, mainWindow, "300001");          // from a grid's row menu
//     openInstrumentDetail(context, mainWindow, "EURUSD");
//     openDepositWithdrawalInfo(context, fundingWindow, reply.lines);
#include "gui/app/sheet_controller.h"
#include "gui/market/detail_content.h"
#include "interfaces/funding.h"

#include <QMetaObject>
#include <QString>

#include <memory>
#include <optional>
#include <string>
#include <vector>

class QPrinter;
class QTableWidget;

namespace Ui {
class DetailWindowController;
}

namespace tc::gui {

class ClientModel;
class GuiContext;

class DetailWindowController : public SheetController {
    Q_OBJECT
public:
    explicit DetailWindowController(GuiContext& context, QWidget* parent = nullptr);
    ~DetailWindowController() override;

    // The kind of content; set before the content is handed over.
    DetailType detailViewType() const { return type_; }
    void setDetailViewType(DetailType type) { type_ = type; }

    // The record of the content: a position id (receipts) or an instrument code (instrument panes).
    // Loads the content from the session; false when there is no session or it does not hold the
    // record (the list stays empty).
    bool setRecord(const std::string& id);
    // Deposit or withdrawal information: the reply's lines as they came.
    void setLines(const std::vector<interfaces::LabelValue>& lines);

    const std::string& record() const { return record_; }
    const DetailContent& content() const { return content_; }
    QTableWidget* detailTableView() const;
    // The printer the print button prints with; its settings are kept between prints.
    QPrinter& printer();

    // The print button: the print dialog, window-modal on this window.
    void print();
    // Prints the list now with the printer's settings (what the print dialog's confirmation runs);
    // false when nothing could be printed.
    bool printNow();

    void onWindowLoad() override;

Q_SIGNALS:
    // The record went away while the window showed it; the window closed and says so.
    void recordGone();

private:
    bool isReceipt() const;
    void follow(ClientModel* session);
    void dropSession();
    void reload();
    void showContent(DetailContent content);
    void closeAsGone();
    void requestBankDetails();

    std::unique_ptr<Ui::DetailWindowController> ui_;
    GuiContext& context_;
    DetailType type_ = DetailType::InstrumentDetails;
    std::string record_;
    DetailContent content_;
    ClientModel* session_ = nullptr;
    std::vector<QMetaObject::Connection> connections_;
    // The bank details of the receipt's account, once its own request was answered.
    interfaces::RequestId bankRequest_ = 0;
    std::optional<BankDetails> bank_;
    // The market whose schedule the market-sessions pane asked for (asked once per record).
    std::optional<std::uint64_t> scheduleAsked_;
    std::unique_ptr<QPrinter> printer_;
};

enum class ReceiptOf { OpenPosition, ExecutedPosition };

// The delivery receipt of a position, a sheet on `owner` (which keeps one receipt window and reuses
// it). When there is no session, or it does not hold the position, says so on `owner` and gives
// nullptr.
DetailWindowController* openDeliveryReceipt(GuiContext& context, QWidget* owner,
                                            const std::string& positionId,
                                            ReceiptOf list = ReceiptOf::OpenPosition);
// The instrument details (or one contract pane, types 3 to 9) of an instrument code, likewise.
DetailWindowController* openInstrumentDetail(GuiContext& context, QWidget* owner, const std::string& code,
                                             DetailType type = DetailType::InstrumentDetails);
// The information lines of a deposit or withdrawal reply.
DetailWindowController* openDepositWithdrawalInfo(GuiContext& context, QWidget* owner,
                                                  const std::vector<interfaces::LabelValue>& lines);

} // namespace tc::gui
