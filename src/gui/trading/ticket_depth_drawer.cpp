#include "gui/trading/ticket_depth_drawer.h"

#include "gui/app/gui_context.h"
#include "gui/charts/chart_controller.h"
#include "gui/market/depth_ladder.h"
#include "gui/market/market_depth_table_controller.h"
#include "gui/models/chart_model.h"
#include "gui/models/client_model.h"
#include "ui_ticket_depth_drawer.h"

#include <QHeaderView>

namespace tc::gui {

TicketDepthDrawer::TicketDepthDrawer(QWidget* parent)
    : QFrame(parent), ui_(std::make_unique<Ui::TicketDepthDrawer>()) {
    ui_->setupUi(this);
}

TicketDepthDrawer::~TicketDepthDrawer() = default;

void TicketDepthDrawer::attach(GuiContext& context) {
    if (!context.clientModel())
        return;
    buyDepth_ = new MarketDepthTableController(context, DepthSide::Buy, this);
    sellDepth_ = new MarketDepthTableController(context, DepthSide::Sell, this);
    buyDepth_->setObjectName(QStringLiteral("BuyMarketDepthTableView"));
    sellDepth_->setObjectName(QStringLiteral("SellMarketDepthTableView"));
    for (MarketDepthTableController* ladder : {buyDepth_, sellDepth_}) {
        // Room for the header and five levels; the chart takes the rest.
        ladder->setFixedHeight(ladder->horizontalHeader()->sizeHint().height() +
                               5 * ladder->verticalHeader()->defaultSectionSize() + 2 * ladder->frameWidth());
        ui_->depthLayout->addWidget(ladder);
    }
    // A small chart: it repaints every second.
    ui_->TradeChart->setFixedHeight(240);
    ui_->rightDrawerLayout->addStretch(1);
    chartModel_ = std::make_unique<ChartModel>(*context.clientModel());
    chart_ = new ChartController(*chartModel_, ui_->TradeChart);
    chart_->setObjectName(QStringLiteral("TradeChartView"));
    chart_->setLanguage(context.language());
    chart_->followTick(context.clientModel());
    ui_->chartLayout->addWidget(chart_);
}

void TicketDepthDrawer::detach() {
    delete chart_;
    chart_ = nullptr;
    chartModel_.reset();
    delete buyDepth_;
    buyDepth_ = nullptr;
    delete sellDepth_;
    sellDepth_ = nullptr;
}

void TicketDepthDrawer::setInstrument(const std::string& code) {
    if (chart_)
        chart_->setValue(QString::fromStdString(code), QString::fromLatin1(kChartStartKey));
    for (MarketDepthTableController* ladder : {buyDepth_, sellDepth_})
        if (ladder)
            ladder->setValue(code);
}

void TicketDepthDrawer::setSeriesTitles(const QString& bid, const QString& ask) {
    if (chart_)
        chart_->setSeriesTitles(bid, ask);
}

void TicketDepthDrawer::applyTheme(int theme) {
    if (chart_)
        chart_->applyChartTheme(theme);
}

} // namespace tc::gui
