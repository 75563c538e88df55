#include "gui/charts/chart_window_controller.h"

#include "gui/app/connect_each.h"
#include "gui/app/escape_close.h"
#include "gui/app/gui_context.h"
#include "gui/app/images.h"
#include "gui/app/language.h"
#include "gui/app/theme_manager.h"
#include "gui/charts/chart_analysis_view_controller.h"
#include "gui/charts/chart_controller.h"
#include "gui/grid/grid_cells.h"
#include "gui/models/chart_model.h"
#include "gui/models/client_model.h"
#include "gui/texts.h"
#include "model/records/item_details.h"
#include "model/session_model.h"
#include "ui_chart_window_controller.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QSignalBlocker>
#include <QSplitter>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace tc::gui {

namespace {

// The type chooser's texts and images, types 1 to 3.
constexpr const char* kTypeKeys[] = {texts::kLineChart, texts::kBarChart, texts::kCandleChart};
constexpr const char* kTypeImages[] = {"linechart", "ohlcchart", "candlestickchart"};
constexpr int kCandleIndex = 2;

} // namespace

const std::vector<QString>& ChartWindowController::intervalTitles() {
    static const std::vector<QString> titles{"M1", "M5", "M10", "M15", "M30", "H1", "D1", "W1"};
    return titles;
}

ChartWindowController::ChartWindowController(GuiContext& context, QWidget* parent,
                                             tc::charts::ChartSource* source)
    : QWidget(parent, Qt::Window), ui_(std::make_unique<Ui::ChartWindowController>()), context_(context),
      ownSource_(source ? nullptr : std::make_unique<ChartModel>(*context.clientModel())),
      source_(source ? *source : *ownSource_) {
    ui_->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    EscapeClose::install(this, context_.language());
    chart_ = new ChartController(source_, ui_->chartPane);
    chart_->setSeriesTitles(context_.text(texts::kBid), context_.text(texts::kAsk));
    chart_->setLanguage(context_.language());
    chart_->followTick(context_.clientModel());
    ui_->chartPaneLayout->addWidget(chart_);
    ui_->indicatorPaneLayout->addWidget(&chart_->indicatorView());
    ui_->chartSplitView->setStretchFactor(0, 3);
    ui_->chartSplitView->setStretchFactor(1, 1);
    ui_->indicatorPane->hide(); // until an oscillator is shown

    auto* themes = new QMenu(ui_->chartThemeButton);
    for (const auto& [key, theme] :
         {std::pair{texts::kChartThemeDark, 0}, std::pair{texts::kChartThemeLight, 1}}) {
        QAction* item = themes->addAction(QString());
        item->setProperty(kLangKeyProperty, QString::fromLatin1(key));
        connect(item, &QAction::triggered, this, [this, theme = theme] { chartThemeMenuClicked(theme); });
    }
    ui_->chartThemeButton->setMenu(themes);
    // Every menu of the tool bar first turns the crosshair off.
    connect(themes, &QMenu::aboutToShow, this, [this] {
        chart_->resetCrosshairToggle();
        ui_->crosshairButton->setChecked(false);
    });

    connectEach(&QComboBox::activated, this,
                std::pair{ui_->symbolPopButton, &ChartWindowController::SymbolPopUpItemSelected},
                std::pair{ui_->intervalPopUpButton, &ChartWindowController::IntervalItemSelected},
                std::pair{ui_->chartTypePopButton, &ChartWindowController::ChartTypeControlSelected});
    connect(ui_->analysisButton, &QToolButton::clicked, this, &ChartWindowController::analysisButtonClicked);
    connect(ui_->crosshairButton, &QToolButton::toggled, this, [this](bool on) {
        if (chart_->crosshairMode() != on)
            crosshairButtonClicked();
    });
    connect(ui_->scrollToEndButton, &QToolButton::clicked, this, &ChartWindowController::chartScrollToEnd);
    connect(&context_.themes(), &ThemeManager::themeChanged, this, [this] { applyTheme(); });

    bindLanguage(this, context_.language(), [this] { updateLanguageStrings(); });
    applyTheme();
    windowDidAppear();
}

ChartWindowController::~ChartWindowController() = default;

ChartAnalysisViewController& ChartWindowController::analysisPanel() {
    if (!panel_) {
        // Made once, so its boxes, periods and colours last as long as the window.
        popup_ = new QFrame(this, Qt::Popup);
        popup_->setObjectName(QStringLiteral("analysisPopover"));
        popup_->setFrameShape(QFrame::StyledPanel);
        auto* layout = new QVBoxLayout(popup_);
        layout->setContentsMargins(4, 4, 4, 4);
        panel_ = new ChartAnalysisViewController(context_, popup_);
        panel_->setBarCounter([this] { return chart_->chart().bars().size(); });
        layout->addWidget(panel_);
        connect(panel_, &ChartAnalysisViewController::studySwitchedOn, this,
                &ChartWindowController::studySwitchedOn);
        connect(panel_, &ChartAnalysisViewController::studySwitchedOff, this,
                &ChartWindowController::studySwitchedOff);
    }
    return *panel_;
}

void ChartWindowController::NeedReload() {
    applyTheme();
    updateLanguageStrings();
    if (context_.clientModel()->client().watchList() != backupSymbols_)
        windowDidAppear();
}

void ChartWindowController::windowDidAppear() {
    const QSignalBlocker a(ui_->symbolPopButton), b(ui_->intervalPopUpButton), c(ui_->chartTypePopButton);
    ui_->symbolPopButton->clear();
    ui_->intervalPopUpButton->clear();
    ui_->chartTypePopButton->clear();
    for (const QString& title : intervalTitles())
        ui_->intervalPopUpButton->addItem(title);
    for (int i = 0; i < 3; ++i)
        ui_->chartTypePopButton->addItem(image(kTypeImages[i]), context_.text(kTypeKeys[i]));
    const interfaces::Client& client = context_.clientModel()->client();
    backupSymbols_ = client.watchList();
    for (const std::string& code : backupSymbols_) {
        const ItemDetails* item = instrumentOf(client.model(), code);
        const QString type =
            item ? QString::fromStdString(
                       client.model().getInstrumentTypeName(item->InstrumentTypeId).value_or(""))
                 : QString();
        ui_->symbolPopButton->addItem(instrumentTypeImage(type), QString::fromStdString(code));
    }
    itemCode_ = ui_->symbolPopButton->currentText();
    ui_->intervalPopUpButton->setCurrentIndex(0);
    intervalIndex_ = 1;
    intervalTitle_ = ui_->intervalPopUpButton->currentText();
    ui_->chartTypePopButton->setCurrentIndex(kCandleIndex);
    chartTypeIndex_ = kCandleIndex + 1;
    restartWithoutStudies();
}

void ChartWindowController::restartWithoutStudies() {
    chart_->resetCrosshairToggle();
    ui_->crosshairButton->setChecked(false);
    // The restart drops every study: no box may say one is drawn.
    if (panel_) {
        panel_->resetCheckBoxSelection();
        for (std::size_t s = 0; s < tc::charts::kStudyCount; ++s)
            panel_->showRefusal(static_cast<tc::charts::Study>(s), tc::charts::StudyError::None);
    }
    ui_->indicatorPane->hide();
    // A theme chosen from the menu lasts until the next instrument or interval.
    chartTheme_ = -1;
    applyTheme();
    LoadChart();
}

void ChartWindowController::LoadChart() {
    chart_->setValue(itemCode_, QStringLiteral("%1#%2").arg(intervalIndex_).arg(chartTypeIndex_));
    setWindowTitle(QStringLiteral("%1, %2").arg(itemCode_, intervalTitle_));
}

bool ChartWindowController::showInstrument(const QString& code) {
    const int index = ui_->symbolPopButton->findText(code);
    if (index < 0)
        return false;
    SymbolPopUpItemSelected(index);
    return true;
}

void ChartWindowController::SymbolPopUpItemSelected(int index) {
    if (index < 0 || index >= ui_->symbolPopButton->count())
        return;
    ui_->symbolPopButton->setCurrentIndex(index);
    itemCode_ = ui_->symbolPopButton->itemText(index);
    restartWithoutStudies();
}

void ChartWindowController::IntervalItemSelected(int index) {
    if (index < 0 || index >= ui_->intervalPopUpButton->count())
        return;
    ui_->intervalPopUpButton->setCurrentIndex(index);
    intervalIndex_ = index + 1;
    intervalTitle_ = ui_->intervalPopUpButton->itemText(index);
    restartWithoutStudies();
}

void ChartWindowController::ChartTypeControlSelected(int index) {
    if (index < 0 || index >= ui_->chartTypePopButton->count())
        return;
    chart_->resetCrosshairToggle();
    ui_->crosshairButton->setChecked(false);
    ui_->chartTypePopButton->setCurrentIndex(index);
    chartTypeIndex_ = index + 1;
    chart_->setChartType(chartTypeIndex_); // in place: no request, the studies stay
}

void ChartWindowController::analysisButtonClicked() {
    chart_->resetCrosshairToggle();
    ui_->crosshairButton->setChecked(false);
    // The bars held may have changed since the panel last judged its periods.
    analysisPanel().recheck();
    // Under the button, its right edges on the button's, kept on the screen. Before its first showing
    // the panel's hint is some 60 pixels short (its rows not yet laid out), cutting the reasons
    // beside the fields: it is measured again once it shows.
    QToolButton* button = ui_->analysisButton;
    const auto place = [this, button] {
        const QSize size = popup_->sizeHint().boundedTo(QSize(960, 720)).expandedTo(QSize(420, 200));
        popup_->resize(size);
        QPoint at = button->mapToGlobal(QPoint(button->width() - size.width(), button->height()));
        if (const QScreen* screen = button->screen()) {
            const QRect room = screen->availableGeometry();
            at.setX(std::clamp(at.x(), room.left(), std::max(room.left(), room.right() - size.width())));
            at.setY(std::clamp(at.y(), room.top(), std::max(room.top(), room.bottom() - size.height())));
        }
        popup_->move(at);
    };
    place();
    popup_->show();
    place();
}

void ChartWindowController::crosshairButtonClicked() {
    chart_->crosshairToggleSelection();
}

void ChartWindowController::chartScrollToEnd() {
    chart_->chartScrollToEnd();
}

void ChartWindowController::chartThemeMenuClicked(int theme) {
    chartTheme_ = theme;
    chart_->applyChartTheme(theme);
}

bool ChartWindowController::lowerPaneShown() const {
    return !ui_->indicatorPane->isHidden();
}

void ChartWindowController::studySwitchedOn(tc::charts::Study study) {
    ChartAnalysisViewController& panel = analysisPanel();
    const tc::charts::StudyError error =
        chart_->loadStudy(study, panel.params(study), panel.colours(study), panel.title(study));
    panel.showRefusal(study, error);
    if (error != tc::charts::StudyError::None) {
        // Refused: nothing is drawn, and the box does not say otherwise.
        const QSignalBlocker quiet(panel.checkBox(study));
        panel.checkBox(study)->setChecked(false);
    }
    ui_->indicatorPane->setVisible(chart_->studies().lowerPaneShown());
}

void ChartWindowController::studySwitchedOff(tc::charts::Study study) {
    chart_->removeStudy(study);
    analysisPanel().showRefusal(study, tc::charts::StudyError::None);
    ui_->indicatorPane->setVisible(chart_->studies().lowerPaneShown());
}

void ChartWindowController::applyTheme() {
    chart_->applyChartTheme(chartTheme_ >= 0 ? chartTheme_
                                             : static_cast<int>(context_.themes().getThemeForKey()));
}

void ChartWindowController::updateLanguageStrings() {
    for (int i = 0; i < ui_->chartTypePopButton->count() && i < 3; ++i)
        ui_->chartTypePopButton->setItemText(i, context_.text(kTypeKeys[i]));
    for (QAction* item : ui_->chartThemeButton->menu()->actions())
        item->setText(context_.text(item->property(kLangKeyProperty).toString().toStdString()));
}

ChartWindowController* openChartWindow(GuiContext& context, QWidget* parent, const QString& code) {
    auto* window = new ChartWindowController(context, parent);
    window->show();
    window->NeedReload();
    if (!code.isEmpty())
        window->showInstrument(code);
    window->raise();
    window->activateWindow();
    return window;
}

} // namespace tc::gui
