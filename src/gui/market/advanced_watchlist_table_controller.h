#pragma once
// The advanced watch list: the watch list as tiles, one per instrument, with its code, update time,
// day's low and high, spread in ticks, and two large price buttons (buy at the ask, sell at the bid),
// each with an arrow for the direction of the price's last tick. The ticks are this view's own, noted
// once per refresh (the session's tick). The buttons open the order ticket; a tile dragged by its
// face onto a chart slot charts its instrument there, as a board row does. While the session is not
// signed in the tiles are disabled and their prices greyed.
#include "gui/grid/tick_tracker.h"

#include <QFrame>
#include <QPushButton>
#include <QScrollArea>

#include <string>
#include <vector>

class QLabel;
class QVBoxLayout;

namespace tc::gui {

class GuiContext;
struct AdvancedTile;

// A price button: the price with its big figure enlarged.
class PriceButton : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;
    void setPrice(const QString& price, std::size_t bigDigits, std::size_t smallDigits);
    const QString& price() const { return price_; }
    // The price is what a session that is no longer signed in last heard: it is greyed.
    void setStale(bool stale);
    bool isStale() const { return stale_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString price_;
    std::size_t bigDigits_ = 0;
    std::size_t smallDigits_ = 0;
    bool stale_ = false;
};

class AdvancedTableCell : public QFrame {
    Q_OBJECT
public:
    explicit AdvancedTableCell(GuiContext& context, QWidget* parent = nullptr);
    void fill(const AdvancedTile& tile, std::size_t bigDigits, std::size_t smallDigits);
    void retitle();
    // The instrument the tile shows (dragged onto a chart slot, it charts there).
    const QString& code() const { return code_; }

    QLabel* symbolTextLabel = nullptr;
    QLabel* timeTextLabel = nullptr;
    QLabel* lowTextLabel = nullptr;
    QLabel* highTextLabel = nullptr;
    QLabel* spreadTextLabel = nullptr;
    PriceButton* buyButton = nullptr;
    PriceButton* sellButton = nullptr;
    QLabel* buyIndicatorImageView = nullptr;
    QLabel* sellIndicatorImageView = nullptr;
    QLabel* buyTitle = nullptr;
    QLabel* sellTitle = nullptr;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    GuiContext& context_;
    QString code_;
    QPoint pressedAt_;
    bool pressed_ = false;
};

class AdvancedWatchlistTableController : public QScrollArea {
    Q_OBJECT
public:
    explicit AdvancedWatchlistTableController(GuiContext& context, QWidget* parent = nullptr);
    ~AdvancedWatchlistTableController() override;

    // Reads the watch list and the quotes, notes this view's ticks and fills the tiles (while shown).
    void refreshTableView();
    int tileCount() const { return static_cast<int>(tiles_.size()); }
    AdvancedTableCell* tile(int row) const { return tiles_[static_cast<std::size_t>(row)]; }
    const QuoteTicks& ticks() const { return ticks_; }
    // The tile's buy and sell buttons: the order ticket for its instrument, or the alert
    // kInstrumentNotAvailableTradingAccount when the instrument cannot trade.
    void loadTradeTicketView(std::size_t row);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void fillTiles();

    GuiContext& context_;
    std::vector<std::string> codes_;
    QWidget* list_ = nullptr;
    QVBoxLayout* layout_ = nullptr;
    std::vector<AdvancedTableCell*> tiles_;
    QuoteTicks ticks_;
};

} // namespace tc::gui
