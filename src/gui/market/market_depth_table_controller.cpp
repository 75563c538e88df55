#include "gui/market/market_depth_table_controller.h"

#include "gui/app/column_gap.h"
#include "gui/app/gui_context.h"
#include "gui/app/language.h"
#include "gui/app/theme_manager.h"
#include "gui/grid/grid_model.h"
#include "gui/market/ladder_cell_delegate.h"
#include "gui/models/client_model.h"
#include "gui/texts.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

namespace tc::gui {

MarketDepthTableController::MarketDepthTableController(GuiContext& context, DepthSide side, QWidget* parent)
    : FilledGridTableView(parent), context_(context) {
    const bool buy = side == DepthSide::Buy;
    setObjectName(buy ? QStringLiteral("BuyMarketDepthTableView")
                      : QStringLiteral("SellMarketDepthTableView"));
    model_ = new GridModel(*context.clientModel(), buy ? Grid::BuyDepth : Grid::SellDepth, this);
    model_->setTheme(context.themes().getThemeForKey());
    setModel(model_);
    // It repaints on every tick: a cell that did not change is shown as it was drawn.
    setItemDelegate(new LadderCellDelegate(this));
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFocusPolicy(Qt::NoFocus);
    setAlternatingRowColors(true);
    setWordWrap(false);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    horizontalHeader()->setHighlightSections(false);
    // Five levels and the header, no scrolling.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFixedHeight(horizontalHeader()->sizeHint().height() +
                   static_cast<int>(kLadderLevels) * verticalHeader()->defaultSectionSize() +
                   2 * frameWidth());
    setHeaderTitles();
    connect(&context.language(), &Language::changed, this, &MarketDepthTableController::setHeaderTitles);
    connect(&context.themes(), &ThemeManager::themeChanged, this,
            [this](std::int64_t theme) { model_->setTheme(theme); });
}

MarketDepthTableController::~MarketDepthTableController() = default;

void MarketDepthTableController::setHeaderTitles() {
    model_->setLanguage(context_.language().selected());
    setAccessibleName(context_.text(gridNameKey(model_->grid())));
    // The columns share the width evenly: each gets room for the widest title, none is cut, and for
    // a figure of eight digits (a price or a quantity of the ladder) where the titles are short.
    const QHeaderView& header = *horizontalHeader();
    const int margin = header.style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, &header);
    const int cellMargin = cellTextMargin(*this);
    int widest = fontMetrics().horizontalAdvance(QStringLiteral("00000000")) + 2 * cellMargin - 2 * margin;
    for (int column = 0; column < model_->columnCount(); ++column)
        widest = std::max(widest, header.fontMetrics().horizontalAdvance(
                                      model_->headerData(column, Qt::Horizontal).toString()));
    setMinimumWidth(model_->columnCount() * (widest + 2 * margin + 2) + 2 * frameWidth());
}

void MarketDepthTableController::setValue(const std::string& code) {
    setHeaderTitles();
    if (!code.empty())
        model_->setInstrument(code);
}

const std::string& MarketDepthTableController::itemCode() const {
    return model_->instrument();
}

MarketDepthPane::MarketDepthPane(GuiContext& context, QWidget* parent) : QWidget(parent), context_(context) {
    setObjectName(QStringLiteral("marketDepthPane"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 2, 0, 0);
    column->setSpacing(2);
    title_ = new QLabel(this);
    title_->setObjectName(QStringLiteral("marketDepthTitle"));
    column->addWidget(title_);
    auto* row = new QHBoxLayout;
    row->setSpacing(4);
    buy_ = new MarketDepthTableController(context, DepthSide::Buy, this);
    sell_ = new MarketDepthTableController(context, DepthSide::Sell, this);
    row->addWidget(buy_);
    row->addWidget(sell_);
    column->addLayout(row);
    retitle();
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    connect(&context.language(), &Language::changed, this, &MarketDepthPane::retitle);
}

void MarketDepthPane::setInstrument(const QString& code) {
    buy_->setValue(code.toStdString());
    sell_->setValue(code.toStdString());
    retitle();
}

void MarketDepthPane::retitle() {
    const std::string& code = buy_->itemCode();
    title_->setText(code.empty() ? context_.text(texts::kMarketDepth)
                                 : context_.text(texts::kMarketDepth) + QStringLiteral(": ") +
                                       QString::fromStdString(code));
}

} // namespace tc::gui
