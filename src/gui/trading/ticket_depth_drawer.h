#pragma once
// The ticket's depth drawer: the instrument's buy and sell ladders over a small bid and ask chart.
#include <QFrame>

#include <memory>
#include <string>

namespace Ui {
class TicketDepthDrawer;
}

namespace tc::gui {

class ChartController;
class ChartModel;
class GuiContext;
class MarketDepthTableController;

class TicketDepthDrawer : public QFrame {
    Q_OBJECT
public:
    // The drawer chart: mini ticks, bid and ask lines.
    static constexpr char kChartStartKey[] = "9#4";

    explicit TicketDepthDrawer(QWidget* parent = nullptr);
    ~TicketDepthDrawer() override;

    // The ladders and the chart on the context's session (none without one).
    void attach(GuiContext& context);
    // They read the session: they go with it.
    void detach();
    void setInstrument(const std::string& code);
    void setSeriesTitles(const QString& bid, const QString& ask);
    void applyTheme(int theme);

    ChartController* chart() const { return chart_; }
    MarketDepthTableController* buyDepth() const { return buyDepth_; }
    MarketDepthTableController* sellDepth() const { return sellDepth_; }

private:
    std::unique_ptr<Ui::TicketDepthDrawer> ui_;
    std::unique_ptr<ChartModel> chartModel_;
    ChartController* chart_ = nullptr;
    MarketDepthTableController* buyDepth_ = nullptr;
    MarketDepthTableController* sellDepth_ = nullptr;
};

} // namespace tc::gui
