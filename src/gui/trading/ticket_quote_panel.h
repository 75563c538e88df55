#pragma once
// The ticket's quote: the instrument's code and time, the sell and buy prices as buttons with their
// tick arrows, the day's low, the spread and the high. The state's quote says what to show.
#include <QFrame>

#include <memory>

namespace Ui {
class TicketQuotePanel;
}

namespace tc::gui {

class PriceButton;
struct TicketQuote;

class TicketQuotePanel : public QFrame {
    Q_OBJECT
public:
    explicit TicketQuotePanel(QWidget* parent = nullptr);
    ~TicketQuotePanel() override;

    // The low and high are shown after their words ("Low : 1.2345").
    void showQuote(const TicketQuote& quote, const QString& lowWord, const QString& highWord);
    void showRange(const TicketQuote& quote, const QString& lowWord, const QString& highWord);
    // Signed out: the prices stay, greyed, and the buttons are off.
    void setLive(bool live);
    void setSideNames(const QString& buy, const QString& sell);

Q_SIGNALS:
    void buyClicked();
    void sellClicked();

private:
    std::unique_ptr<Ui::TicketQuotePanel> ui_;
};

} // namespace tc::gui
