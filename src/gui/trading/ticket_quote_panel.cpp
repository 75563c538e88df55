#include "gui/trading/ticket_quote_panel.h"

#include "gui/app/images.h"
#include "gui/trading/ticket_state.h"
#include "gui/trading/ticket_widgets.h"
#include "ui_ticket_quote_panel.h"

namespace tc::gui {
namespace {

constexpr int kArrowSize = 14;

void setArrow(QLabel* view, Tick tick) {
    const int shown = tick == Tick::Up ? 1 : tick == Tick::Down ? -1 : 0;
    if (view->property("tick").toInt() == shown && view->property("tick").isValid())
        return;
    view->setProperty("tick", shown);
    if (shown == 0)
        view->clear();
    else
        view->setPixmap(
            image(shown > 0 ? "banner_green_arrow" : "banner_red_arrow").pixmap(kArrowSize, kArrowSize));
}

QString rangeText(const QString& word, const std::string& price) {
    return word + QStringLiteral(" : ") + ticketText(price);
}

} // namespace

TicketQuotePanel::TicketQuotePanel(QWidget* parent)
    : QFrame(parent), ui_(std::make_unique<Ui::TicketQuotePanel>()) {
    ui_->setupUi(this);
    for (QLabel* arrow : {ui_->buyIndicatorImageView, ui_->sellIndicatorImageView})
        arrow->setFixedSize(kArrowSize, kArrowSize);
    // No width of their own: the contract value grows with the quantity, and the window with it.
    QFont code = ui_->SymbolTextLabel->font();
    code.setBold(true);
    ui_->SymbolTextLabel->setFont(code);
    connect(ui_->buyButton, &QPushButton::clicked, this, &TicketQuotePanel::buyClicked);
    connect(ui_->sellButton, &QPushButton::clicked, this, &TicketQuotePanel::sellClicked);
}

TicketQuotePanel::~TicketQuotePanel() = default;

void TicketQuotePanel::showQuote(const TicketQuote& quote, const QString& lowWord, const QString& highWord) {
    showChanged(ui_->SymbolTextLabel, ticketText(quote.code));
    if (!quote.known) {
        for (QLabel* label :
             {ui_->TimeTextLabel, ui_->LowTextLabel, ui_->HighTextLabel, ui_->SpreadTextLabel})
            showChanged(label, QString());
        ui_->buyButton->setPrice(QString(), 0, 0);
        ui_->sellButton->setPrice(QString(), 0, 0);
        return;
    }
    showChanged(ui_->TimeTextLabel, ticketText(quote.time));
    showChanged(ui_->LowTextLabel, rangeText(lowWord, quote.low));
    showChanged(ui_->HighTextLabel, rangeText(highWord, quote.high));
    showChanged(ui_->SpreadTextLabel, ticketText(quote.spread));
    const QString ask = ticketText(quote.ask);
    const QString bid = ticketText(quote.bid);
    if (ui_->buyButton->price() != ask)
        ui_->buyButton->setPrice(ask, quote.bigDigits, quote.smallDigits);
    if (ui_->sellButton->price() != bid)
        ui_->sellButton->setPrice(bid, quote.bigDigits, quote.smallDigits);
    setArrow(ui_->buyIndicatorImageView, quote.askTick);
    setArrow(ui_->sellIndicatorImageView, quote.bidTick);
}

void TicketQuotePanel::showRange(const TicketQuote& quote, const QString& lowWord, const QString& highWord) {
    if (!quote.known)
        return;
    ui_->LowTextLabel->setText(rangeText(lowWord, quote.low));
    ui_->HighTextLabel->setText(rangeText(highWord, quote.high));
}

void TicketQuotePanel::setLive(bool live) {
    for (PriceButton* button : {ui_->buyButton, ui_->sellButton}) {
        button->setEnabled(live);
        button->setStale(!live);
    }
}

void TicketQuotePanel::setSideNames(const QString& buy, const QString& sell) {
    ui_->buyButton->setAccessibleName(buy);
    ui_->sellButton->setAccessibleName(sell);
}

} // namespace tc::gui
