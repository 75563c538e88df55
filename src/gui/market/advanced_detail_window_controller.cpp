#include "gui/market/advanced_detail_window_controller.h"

#include "gui/app/escape_close.h"
#include "gui/app/gui_context.h"
#include "gui/app/language.h"
#include "gui/app/theme_manager.h"
#include "gui/charts/chart_controller.h"
#include "gui/grid/grid_cells.h"
#include "gui/market/detail_window_controller.h"
#include "gui/models/chart_model.h"
#include "gui/models/client_model.h"
#include "gui/texts.h"
#include "model/records/item_details.h"
#include "ui_advanced_detail_window_controller.h"

#include <QGroupBox>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tc::gui {

namespace {

// The instrument detail windows' chart: the bid and ask of mini ticks.
const QString kDetailChartKey = QStringLiteral("9#4");

} // namespace

AdvancedDetailWindowController::AdvancedDetailWindowController(GuiContext& context, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint),
      ui_(std::make_unique<Ui::AdvancedDetailWindowController>()), context_(context),
      source_(std::make_unique<ChartModel>(*context.clientModel())) {
    ui_->setupUi(this);
    EscapeClose::install(this, context_.language());
    const std::array<QGroupBox*, kPanes> boxes{ui_->symbolSpecificationBox, ui_->contractSpecificationBox,
                                               ui_->marginRequirementBox,   ui_->dailyPriceLimitBox,
                                               ui_->marketSessionBox,       ui_->storageBox,
                                               ui_->relatedDatesBox};
    for (std::size_t i = 0; i < kPanes; ++i) {
        // A pane controller is never shown: its table moves into this window's box.
        panes_[i] = new DetailWindowController(context_, this);
        panes_[i]->setDetailViewType(
            static_cast<DetailType>(static_cast<int>(DetailType::SymbolSpecification) + int(i)));
        QTableWidget* table = panes_[i]->detailTableView();
        table->setAccessibleName(boxes[i]->title());
        boxes[i]->layout()->addWidget(table);
    }
    chart_ = new ChartController(*source_, ui_->chartPane);
    chart_->setSeriesTitles(context_.text(texts::kBid), context_.text(texts::kAsk));
    chart_->setLanguage(context_.language());
    chart_->followTick(context_.clientModel());
    ui_->chartPaneLayout->addWidget(chart_);
    connect(&context_.themes(), &ThemeManager::themeChanged, this,
            [this](std::int64_t theme) { chart_->applyChartTheme(static_cast<int>(theme)); });
    chart_->applyChartTheme(static_cast<int>(context_.themes().getThemeForKey()));
    // The instrument's description may come after the window opened.
    connect(context_.clientModel(), &ClientModel::tick, this, [this] {
        if (isVisible() && !code_.empty())
            showDescription();
    });
    bindLanguage(this, context_.language(), [this, boxes] {
        for (std::size_t i = 0; i < kPanes; ++i)
            panes_[i]->detailTableView()->setAccessibleName(boxes[i]->title());
    });
}

AdvancedDetailWindowController::~AdvancedDetailWindowController() {
    // The panes first: their tables sit in this window's boxes.
    for (DetailWindowController*& pane : panes_) {
        delete pane->detailTableView();
        delete pane;
        pane = nullptr;
    }
}

QTableWidget* AdvancedDetailWindowController::paneTable(std::size_t index) const {
    return panes_.at(index)->detailTableView();
}

QString AdvancedDetailWindowController::description() const {
    return ui_->descriptionLabel->text();
}

void AdvancedDetailWindowController::runModalWindowForItem(const std::string& code) {
    code_ = code;
    show();
    raise();
    activateWindow();
    loadDetails();
}

void AdvancedDetailWindowController::loadDetails() {
    setWindowTitle(QString::fromStdString(code_));
    for (DetailWindowController* pane : panes_)
        pane->setRecord(code_); // each pane asks for what it needs (the market's sessions) itself
    showDescription();
    chart_->setValue(QString::fromStdString(code_), kDetailChartKey);
}

void AdvancedDetailWindowController::showDescription() {
    const ItemDetails* item = instrumentOf(context_.clientModel()->client().model(), code_);
    const QString text = item ? QString::fromStdString(item->descriptions) : QString();
    if (ui_->descriptionLabel->text() != text)
        ui_->descriptionLabel->setText(text);
}

AdvancedDetailWindowController* openAdvancedDetail(GuiContext& context, QWidget* owner,
                                                   const std::string& code) {
    if (!context.clientModel())
        return nullptr;
    const QString name = QStringLiteral("advancedDetailWindow");
    auto* window =
        owner ? owner->findChild<AdvancedDetailWindowController*>(name, Qt::FindDirectChildrenOnly) : nullptr;
    if (!window) {
        window = new AdvancedDetailWindowController(context, owner);
        window->setObjectName(name);
    }
    window->runModalWindowForItem(code);
    return window;
}

} // namespace tc::gui
