#include "gui/market/advanced_watchlist_table_controller.h"

#include "gui/app/gui_context.h"
#include "gui/app/images.h"
#include "gui/app/language.h"
#include "gui/controls/chart_drop_area.h"
#include "gui/controls/input_rules.h"
#include "gui/controls/price_text.h"
#include "gui/grid/grid_cells.h"
#include "gui/market/row_menu_rules.h"
#include "gui/market/ticket_opening.h"
#include "gui/models/client_model.h"
#include "gui/texts.h"
#include "model/records/item_details.h"
#include "model/session_model.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QVBoxLayout>

namespace tc::gui {
namespace {

constexpr int kArrowSize = 14;

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

void setArrow(QLabel* view, Tick tick) {
    if (tick == Tick::Same) {
        view->clear();
        view->setProperty("tick", 0);
        return;
    }
    view->setPixmap(
        image(tick == Tick::Up ? "banner_green_arrow" : "banner_red_arrow").pixmap(kArrowSize, kArrowSize));
    view->setProperty("tick", tick == Tick::Up ? 1 : -1);
}

PriceTextStyle priceStyle(const QFont& font, const QColor& colour) {
    PriceTextStyle style;
    style.font = font;
    style.colour = colour;
    style.bigGrowth = 8;
    return style;
}

} // namespace

void PriceButton::setPrice(const QString& price, std::size_t bigDigits, std::size_t smallDigits) {
    if (price == price_ && bigDigits == bigDigits_ && smallDigits == smallDigits_)
        return;
    price_ = price;
    bigDigits_ = bigDigits;
    smallDigits_ = smallDigits;
    setAccessibleName(price);
    update();
}

QSize PriceButton::sizeHint() const {
    const QSizeF size = priceTextSize(priceHighlight("0.00000", 2, 1),
                                      priceStyle(font(), palette().color(QPalette::ButtonText)));
    return {qCeil(size.width()) + 16, qCeil(size.height()) + 8};
}

void PriceButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);
    // A disabled button's price still reads well; a stale one is greyed.
    const QColor colour =
        palette().color(stale_ ? QPalette::Disabled : QPalette::Active, QPalette::ButtonText);
    drawPriceText(painter, rect(), priceHighlight(price_.toStdString(), bigDigits_, smallDigits_),
                  priceStyle(font(), colour));
}

void PriceButton::setStale(bool stale) {
    if (stale == stale_)
        return;
    stale_ = stale;
    update();
}

AdvancedTableCell::AdvancedTableCell(GuiContext& context, QWidget* parent)
    : QFrame(parent), context_(context) {
    setObjectName(QStringLiteral("AdvancedTableCell"));
    setFrameShape(QFrame::StyledPanel);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    setFixedHeight(static_cast<int>(kAdvancedTileHeight));
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(8, 6, 8, 6);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(4);
    const auto label = [this](const char* name) {
        auto* l = new QLabel(this);
        l->setObjectName(QString::fromLatin1(name));
        return l;
    };
    symbolTextLabel = label("symbolTextLabel");
    QFont bold = symbolTextLabel->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() + 2);
    symbolTextLabel->setFont(bold);
    timeTextLabel = label("timeTextLabel");
    lowTextLabel = label("lowTextLabel");
    highTextLabel = label("highTextLabel");
    spreadTextLabel = label("spreadTextLabel");
    spreadTextLabel->setAlignment(Qt::AlignCenter);
    buyIndicatorImageView = label("buyIndicatorImageView");
    sellIndicatorImageView = label("sellIndicatorImageView");
    for (QLabel* arrow : {buyIndicatorImageView, sellIndicatorImageView}) {
        arrow->setFixedSize(kArrowSize, kArrowSize);
        arrow->setProperty("tick", 0);
    }
    buyTitle = label("buyTitle");
    sellTitle = label("sellTitle");
    buyButton = new PriceButton(this);
    buyButton->setObjectName(QStringLiteral("buyButton"));
    sellButton = new PriceButton(this);
    sellButton->setObjectName(QStringLiteral("sellButton"));
    for (PriceButton* button : {sellButton, buyButton}) {
        button->setMinimumHeight(52);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    }

    grid->addWidget(symbolTextLabel, 0, 0, 1, 2);
    grid->addWidget(timeTextLabel, 0, 2, 1, 2, Qt::AlignRight);
    auto* sellHead = new QHBoxLayout;
    sellHead->addWidget(sellTitle);
    sellHead->addWidget(sellIndicatorImageView);
    sellHead->addStretch();
    auto* buyHead = new QHBoxLayout;
    buyHead->addStretch();
    buyHead->addWidget(buyIndicatorImageView);
    buyHead->addWidget(buyTitle);
    grid->addLayout(sellHead, 1, 0, 1, 2);
    grid->addLayout(buyHead, 1, 2, 1, 2);
    grid->addWidget(sellButton, 2, 0, 1, 2);
    grid->addWidget(buyButton, 2, 2, 1, 2);
    setTabOrder(sellButton, buyButton); // as they read: sell, then buy
    grid->addWidget(lowTextLabel, 3, 0);
    grid->addWidget(spreadTextLabel, 3, 1, 1, 2);
    grid->addWidget(highTextLabel, 3, 3, Qt::AlignRight);
    grid->setRowStretch(2, 1);
    for (int column = 0; column < 4; ++column)
        grid->setColumnStretch(column, 1);
    retitle();
}

void AdvancedTableCell::retitle() {
    sellTitle->setText(context_.text(texts::kSell));
    buyTitle->setText(context_.text(texts::kBuy));
    sellButton->setAccessibleName(context_.text(texts::kSell));
    buyButton->setAccessibleName(context_.text(texts::kBuy));
}

void AdvancedTableCell::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    pressedAt_ = event->position().toPoint();
    QFrame::mousePressEvent(event);
}

void AdvancedTableCell::mouseMoveEvent(QMouseEvent* event) {
    if (!pressed_ || !(event->buttons() & Qt::LeftButton) ||
        (event->position().toPoint() - pressedAt_).manhattanLength() < QApplication::startDragDistance()) {
        QFrame::mouseMoveEvent(event);
        return;
    }
    pressed_ = false;
    dragInstrumentCode(this, code_);
}

void AdvancedTableCell::fill(const AdvancedTile& tile, std::size_t bigDigits, std::size_t smallDigits) {
    code_ = text(tile.code);
    symbolTextLabel->setText(text(tile.code));
    timeTextLabel->setText(text(tile.time));
    lowTextLabel->setText(text(tile.low));
    highTextLabel->setText(text(tile.high));
    spreadTextLabel->setText(text(tile.spread));
    buyButton->setPrice(text(tile.buyPrice), bigDigits, smallDigits);
    sellButton->setPrice(text(tile.sellPrice), bigDigits, smallDigits);
    setArrow(buyIndicatorImageView, tile.buyTick);
    setArrow(sellIndicatorImageView, tile.sellTick);
}

AdvancedWatchlistTableController::AdvancedWatchlistTableController(GuiContext& context, QWidget* parent)
    : QScrollArea(parent), context_(context) {
    setObjectName(QStringLiteral("advancedWatchlistTableView"));
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_ = new QWidget;
    layout_ = new QVBoxLayout(list_);
    layout_->setContentsMargins(4, 4, 4, 4);
    layout_->setSpacing(4);
    layout_->addStretch();
    setWidget(list_);
    ClientModel& session = *context.clientModel();
    connect(&session, &ClientModel::tick, this, &AdvancedWatchlistTableController::refreshTableView);
    connect(&session, &ClientModel::loginStateChanged, this,
            &AdvancedWatchlistTableController::refreshTableView);
    connect(&session, &ClientModel::clientAboutToBeReplaced, this, [this] { ticks_ = {}; });
    connect(&session, &ClientModel::clientReplaced, this,
            &AdvancedWatchlistTableController::refreshTableView);
    setAccessibleName(context.text(texts::kTiles));
    connect(&context.language(), &Language::changed, this, [this, &context] {
        setAccessibleName(context.text(texts::kTiles));
        for (AdvancedTableCell* tile : tiles_)
            tile->retitle();
    });
    refreshTableView();
}

AdvancedWatchlistTableController::~AdvancedWatchlistTableController() = default;

void AdvancedWatchlistTableController::refreshTableView() {
    const interfaces::Client& client = context_.clientModel()->client();
    const SessionModel& model = client.model();
    const std::vector<std::string> codes = client.watchList();
    // Ticks are noted here, once per refresh, never while painting.
    refreshQuoteTicks(ticks_, model, codes);
    while (tiles_.size() > codes.size()) {
        delete tiles_.back();
        tiles_.pop_back();
    }
    while (tiles_.size() < codes.size()) {
        auto* tile = new AdvancedTableCell(context_, list_);
        const std::size_t row = tiles_.size();
        for (PriceButton* button : {tile->buyButton, tile->sellButton})
            connect(button, &PriceButton::clicked, this, [this, row] { loadTradeTicketView(row); });
        layout_->insertWidget(static_cast<int>(tiles_.size()), tile);
        tiles_.push_back(tile);
    }
    codes_ = codes;
    // Signed out, or the server not answering, the tiles keep the last prices, greyed, and their
    // buttons start no order.
    const bool live = context_.clientModel()->isLive();
    for (AdvancedTableCell* tile : tiles_) {
        tile->setEnabled(live);
        tile->buyButton->setStale(!live);
        tile->sellButton->setStale(!live);
    }
    // The tiles are filled while they are on screen; a hidden board only keeps its ticks.
    if (isVisible())
        fillTiles();
}

void AdvancedWatchlistTableController::loadTradeTicketView(std::size_t row) {
    if (row >= codes_.size())
        return;
    openTicketFor(context_, window(), codes_[row]);
}

void AdvancedWatchlistTableController::showEvent(QShowEvent* event) {
    QScrollArea::showEvent(event);
    fillTiles();
}

void AdvancedWatchlistTableController::fillTiles() {
    const SessionModel& model = context_.clientModel()->client().model();
    const std::vector<std::string>& codes = codes_;
    for (std::size_t row = 0; row < codes.size() && row < tiles_.size(); ++row) {
        const ItemDetails* item = instrumentOf(model, codes[row]);
        tiles_[row]->fill(advancedTile(codes[row], item, ticks_),
                          item ? static_cast<std::size_t>(item->mostSignificantDigitLength) : 0,
                          item ? static_cast<std::size_t>(item->leastSignificantDigitLength) : 0);
    }
}

} // namespace tc::gui
