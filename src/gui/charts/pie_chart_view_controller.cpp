#include "gui/charts/pie_chart_view_controller.h"

#include "gui/app/gui_context.h"
#include "gui/app/language.h"
#include "gui/app/theme_manager.h"
#include "gui/charts/pie_chart_controller.h"
#include "gui/models/client_model.h"
#include "gui/texts.h"
#include "ui_pie_chart_view_controller.h"

#include <QLabel>
#include <QToolButton>

namespace tc::gui {

PieChartViewController::PieChartViewController(GuiContext& context, QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::PieChartViewController>()), context_(context) {
    ui_->setupUi(this);
    pie_ = new PieChartController(ui_->piePane);
    pie_->setMinimumSize(160, 120);
    ui_->piePaneLayout->addWidget(pie_);
    ui_->emptyPieLabel->hide();
    connect(ui_->profitLossSegment, &QToolButton::toggled, this, [this](bool on) {
        if (on)
            pieSegementButtonClicked(0);
    });
    connect(ui_->marginSegment, &QToolButton::toggled, this, [this](bool on) {
        if (on)
            pieSegementButtonClicked(1);
    });

    ClientModel& session = *context_.clientModel();
    // The session's second, not a timer of the pie's own: nothing runs once the pie is gone.
    connect(&session, &ClientModel::tick, this, &PieChartViewController::reloadData);
    connect(&session, &ClientModel::tablesChanged, this, [this](interfaces::TableSet tables) {
        if (pie_->isGraphConstructed() && (tables.contains(interfaces::Table::OpenPositions) ||
                                           tables.contains(interfaces::Table::Accounts)))
            reloadData();
    });
    connect(&context_.themes(), &ThemeManager::themeChanged, this, [this] { applyTheme(); });
    bindLanguage(this, context_.language(), [this] { updateLanguageStrings(); });
    applyTheme();
    pieSegementButtonClicked(ui_->marginSegment->isChecked() ? 1 : 0);
}

PieChartViewController::~PieChartViewController() = default;

void PieChartViewController::updateLanguageStrings() {
    pie_->titleLabel().setText(
        context_.text(mode_ == PieMode::Margin ? texts::kMargin : texts::kFloatingPLPie));
    // The margin pie without equity has its own text below.
    pie_->setEmptyText(mode_ == PieMode::Margin ? QString() : context_.text(texts::kNoOpenPositions));
}

void PieChartViewController::applyTheme() {
    pie_->applyTheme(static_cast<int>(context_.themes().getThemeForKey()));
}

void PieChartViewController::pieSegementButtonClicked(int segment) {
    if (segment != 0 && segment != 1)
        return;
    mode_ = segment == 1 ? PieMode::Margin : PieMode::ProfitLoss;
    (segment == 1 ? ui_->marginSegment : ui_->profitLossSegment)->setChecked(true);
    updateLanguageStrings();
}

void PieChartViewController::reloadData() {
    const interfaces::Client& client = context_.clientModel()->client();
    const auto slices =
        accountPieSlices(client.model(), client.queries().getOpenOrderCollection(), client.currentAccount(),
                         mode_, !context_.clientModel()->figuresValued());
    QStringList titles;
    QList<double> values;
    for (const auto& slice : slices) {
        titles << QString::fromStdString(slice.title);
        values << slice.value;
    }
    pie_->loadChart(titles, values);
    // A margin pie without equity has nothing to share out: it says so.
    ui_->emptyPieLabel->setVisible(mode_ == PieMode::Margin && slices.empty());
}

bool PieChartViewController::showsEmptyText() const {
    return !ui_->emptyPieLabel->isHidden();
}

} // namespace tc::gui
