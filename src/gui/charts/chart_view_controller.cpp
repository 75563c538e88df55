#include "gui/charts/chart_view_controller.h"

#include "gui/app/gui_context.h"
#include "gui/app/images.h"
#include "gui/app/language.h"
#include "gui/app/theme_manager.h"
#include "gui/charts/chart_controller.h"
#include "gui/charts/chart_window_controller.h"
#include "gui/models/chart_model.h"
#include "gui/texts.h"
#include "ui_chart_view_controller.h"

#include <QMenu>
#include <QToolButton>

namespace tc::gui {

namespace {

constexpr const char* kTypeKeys[] = {texts::kLineChart, texts::kBarChart, texts::kCandleChart};
constexpr const char* kTypeImages[] = {"linechart", "ohlcchart", "candlestickchart"};

} // namespace

ChartViewController::ChartViewController(GuiContext& context, QObject* parent,
                                         tc::charts::ChartSource* source)
    : QObject(parent), context_(context),
      ownSource_(source ? nullptr : std::make_unique<ChartModel>(*context.clientModel())),
      source_(source ? *source : *ownSource_) {
    connect(&context_.themes(), &ThemeManager::themeChanged, this, [this] { applyTheme(); });
}

ChartViewController::~ChartViewController() {
    // The chart (and with it its timer and requests) goes with the controller, wherever the view is.
    delete view_.data();
}

void ChartViewController::setValue(const ChartSlotConfig& config) {
    itemCode_ = QString::fromStdString(config.code);
    currentInterval_ = static_cast<unsigned>(config.interval);
    chartType_ = static_cast<unsigned>(config.type);
    configured_ = true;
    if (view_)
        loadChart();
}

ChartController* ChartViewController::chartController() const {
    return chart_.data();
}

std::optional<ChartSlotConfig> ChartViewController::configuration() const {
    if (!configured_)
        return std::nullopt;
    return ChartSlotConfig{itemCode_.toStdString(), static_cast<int>(currentInterval_),
                           static_cast<int>(chartType_)};
}

QWidget* ChartViewController::view() {
    if (view_)
        return view_;
    auto* view = new QWidget;
    view_ = view;
    ui_ = std::make_unique<Ui::ChartViewController>();
    ui_->setupUi(view);
    chart_ = new ChartController(source_, ui_->chartPane);
    chart_->setHeaderHidden(false);
    chart_->setLanguage(context_.language());
    chart_->followTick(context_.clientModel());
    ui_->chartPaneLayout->addWidget(chart_);

    auto* types = new QMenu(ui_->chartTypeButton);
    for (int tag = 0; tag < 3; ++tag) {
        QAction* item = types->addAction(image(kTypeImages[tag]), QString());
        item->setProperty(kLangKeyProperty, QString::fromLatin1(kTypeKeys[tag]));
        connect(item, &QAction::triggered, this, [this, tag] { chartTypeSelected(tag); });
    }
    ui_->chartTypeButton->setMenu(types);
    auto* intervals = new QMenu(ui_->chartIntervalButton);
    const auto& titles = ChartWindowController::intervalTitles();
    for (int tag = 0; tag < static_cast<int>(titles.size()); ++tag)
        connect(intervals->addAction(titles[static_cast<std::size_t>(tag)]), &QAction::triggered, this,
                [this, tag] { intervalSelected(tag); });
    ui_->chartIntervalButton->setMenu(intervals);
    auto* themes = new QMenu(ui_->chartThemeButton);
    for (const auto& [key, tag] :
         {std::pair{texts::kChartThemeDark, 0}, std::pair{texts::kChartThemeLight, 1}}) {
        QAction* item = themes->addAction(QString());
        item->setProperty(kLangKeyProperty, QString::fromLatin1(key));
        connect(item, &QAction::triggered, this, [this, tag = tag] { chartThemeMenuClicked(tag); });
    }
    ui_->chartThemeButton->setMenu(themes);
    // Pictures, not words: the slot's row stays whole at the narrowest slot, in every language.
    ui_->crosshairButton->setIcon(image("crosshair"));
    ui_->scrollToEndButton->setIcon(image("scroll_to_end"));
    ui_->chartThemeButton->setIcon(image("chart_theme"));
    // A menu first turns the crosshair off.
    for (QMenu* menu : {types, intervals, themes})
        connect(menu, &QMenu::aboutToShow, this, &ChartViewController::resetCrosshair);
    connect(ui_->crosshairButton, &QToolButton::toggled, this, [this](bool on) {
        if (chart_ && chart_->crosshairMode() != on)
            crosshairButtonClicked();
    });
    connect(ui_->scrollToEndButton, &QToolButton::clicked, this, &ChartViewController::chartScrollToEnd);

    bindLanguage(view, context_.language(), [this] { updateLanguageStrings(); });
    applyTheme();
    if (configured_)
        loadChart();
    return view;
}

void ChartViewController::loadChart() {
    if (!view_)
        return;
    ui_->chartTypeButton->setIcon(image(kTypeImages[std::clamp<unsigned>(chartType_, 1, 3) - 1]));
    const auto& titles = ChartWindowController::intervalTitles();
    if (currentInterval_ >= 1 && currentInterval_ <= titles.size())
        ui_->chartIntervalButton->setText(titles[currentInterval_ - 1]);
    chart_->setValue(itemCode_, QStringLiteral("%1#%2").arg(currentInterval_).arg(chartType_));
}

void ChartViewController::chartTypeSelected(int tag) {
    if (tag < 0 || tag > 2)
        return;
    chartType_ = static_cast<unsigned>(tag) + 1;
    if (view_) {
        ui_->chartTypeButton->setIcon(image(kTypeImages[tag]));
        chart_->setChartType(static_cast<int>(chartType_)); // in place, nothing asked of the server
    }
    Q_EMIT configurationChanged();
}

void ChartViewController::intervalSelected(int tag) {
    if (tag < 0 || tag >= static_cast<int>(ChartWindowController::intervalTitles().size()))
        return;
    currentInterval_ = static_cast<unsigned>(tag) + 1;
    loadChart();
    Q_EMIT configurationChanged();
}

void ChartViewController::chartThemeMenuClicked(int tag) {
    chartTheme_ = tag;
    applyTheme();
}

void ChartViewController::crosshairButtonClicked() {
    if (chart_)
        chart_->crosshairToggleSelection();
}

void ChartViewController::chartScrollToEnd() {
    if (chart_)
        chart_->chartScrollToEnd();
}

void ChartViewController::resetCrosshair() {
    if (!view_)
        return;
    chart_->resetCrosshairToggle();
    ui_->crosshairButton->setChecked(false);
}

void ChartViewController::applyTheme() {
    if (chart_)
        chart_->applyChartTheme(chartTheme_ >= 0 ? chartTheme_
                                                 : static_cast<int>(context_.themes().getThemeForKey()));
}

void ChartViewController::updateLanguageStrings() {
    if (!view_)
        return;
    for (QToolButton* button : {ui_->chartTypeButton, ui_->chartIntervalButton, ui_->chartThemeButton})
        for (QAction* item : button->menu()->actions())
            if (const QString key = item->property(kLangKeyProperty).toString(); !key.isEmpty())
                item->setText(context_.text(key.toStdString()));
    // Buttons showing an image or a code are read out by their tooltips.
    for (QToolButton* button : {ui_->chartTypeButton, ui_->chartIntervalButton, ui_->crosshairButton,
                                ui_->scrollToEndButton, ui_->chartThemeButton})
        button->setAccessibleName(button->toolTip());
}

} // namespace tc::gui
