#include "gui/charts/chart_analysis_view_controller.h"

#include "gui/app/gui_context.h"
#include "gui/app/language.h"
#include "gui/controls/input_filters.h"
#include "gui/texts.h"
#include "ui_chart_analysis_view_controller.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QSignalBlocker>
#include <QStyle>
#include <QToolButton>

#include <array>

namespace tc::gui {

namespace {

using tc::charts::Study;

struct RowNames {
    const char* box;
    std::vector<const char*> fields;
    std::vector<const char*> colours;
    std::vector<QColor> initial;
};

// Per study, in Study order: the box, its fields in the order of the study's parameters, its
// colour buttons and their first colours (readable on both chart grounds).
const std::array<RowNames, tc::charts::kStudyCount>& rowNames() {
    static const std::array<RowNames, tc::charts::kStudyCount> names{{
        {"smaCheckBox", {"smaPeriodTextField"}, {"smaColorWell"}, {QColor(0x2f, 0x7f, 0xe0)}},
        {"emaCheckBox", {"emaPeriodTextField"}, {"emaColorWell"}, {QColor(0xc0, 0x58, 0x00)}},
        {"bbCheckBox",
         {"bbPeriodTextField", "bbDeviationTextField"},
         {"bbColorWell"},
         {QColor(0x8a, 0x3c, 0xc0)}},
        {"macdCheckBox",
         {"macdFastPeriodTextField", "macdSlowPeriodTextField", "macdSignalPeriodTextField"},
         {},
         {}},
        {"macdHistogramCheckBox",
         {"macdHistogramFastPeriodTextField", "macdHistogramSlowPeriodTextField",
          "macdHistogramSignalPeriodTextField"},
         {},
         {}},
        {"rocCheckBox", {"rocPeriodTextField"}, {}, {}},
        {"stdDevCheckBox", {"stdDevPeriodTextField"}, {}, {}},
        {"cciCheckBox", {"cciPeriodTextField"}, {}, {}},
        {"rsiCheckBox", {"rsiPeriodTextField"}, {}, {}},
        {"stochasticOscillatorCheckBox",
         {"kStochasticTextField", "dStochasticTextField", "slowingTextField"},
         {},
         {}},
        {"deMarkerCheckBox", {"deMarkerPeriodTextField"}, {}, {}},
        {"momentumCheckBox", {"momentumPeriodTextField"}, {}, {}},
        {"williamsCheckBox", {"williamsPeriodTextField"}, {}, {}},
        {"bearspowerCheckBox", {"bearspowerPeriodTextField"}, {}, {}},
        {"bullspowerCheckBox", {"bullspowerPeriodTextField"}, {}, {}},
        {"rviCheckBox", {"rviPeriodTextField"}, {}, {}},
        {"trixCheckBox", {"trixPeriodTextField"}, {}, {}},
        {"atrCheckBox", {"atrPeriodTextField"}, {}, {}},
        {"awesomeOscillatorCheckBox", {}, {}, {}},
        {"acceleratorOscillatorCheckBox", {}, {}, {}},
        {"alligatorCheckBox",
         {"jawsTextField", "teethTextField", "lipsTextField"},
         {"jawsColorWell", "teethColorWell", "lipsColorWell"},
         {QColor(0x2f, 0x7f, 0xe0), QColor(0xe0, 0x30, 0x30), QColor(0x1a, 0x8a, 0x1a)}},
        {"aroonCheckBox", {"aroonPeriodTextField"}, {}, {}},
        {"aroonOscillatorCheckBox", {"aroonOscillatorPeriodTextField"}, {}, {}},
    }};
    return names;
}

// A field's whole number; empty is 0. Fields take at most five digits.
int number(const QLineEdit* field) {
    return field ? field->text().toInt() : 0;
}

} // namespace

ChartAnalysisViewController::ChartAnalysisViewController(GuiContext& context, QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::ChartAnalysisViewController>()), context_(context) {
    ui_->setupUi(this);
    rows_.resize(tc::charts::kStudyCount);
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const RowNames& names = rowNames()[i];
        const Study study = static_cast<Study>(i);
        Row& row = rows_[i];
        row.box = findChild<QCheckBox*>(QString::fromLatin1(names.box));
        for (const char* f : names.fields) {
            auto* field = findChild<QLineEdit*>(QString::fromLatin1(f));
            installPortFilter(field); // digits only, at most five
            row.fields.push_back(field);
        }
        for (std::size_t c = 0; c < names.colours.size(); ++c) {
            auto* button = findChild<QToolButton*>(QString::fromLatin1(names.colours[c]));
            row.colourButtons.push_back(button);
            row.colours.push_back(names.initial[c]);
            connect(button, &QToolButton::clicked, this, [this, study, c] { chooseColour(study, int(c)); });
        }
        paintColourButtons(row);
        // Row i of the grid is study i: its refusal stands in the last column.
        if (QLayoutItem* item = ui_->studyGrid->itemAtPosition(static_cast<int>(i), 2))
            row.refusal = qobject_cast<QLabel*>(item->widget());
        connect(row.box, &QCheckBox::toggled, this, [this, study] { checkBoxChanged(study); });
    }
    bindLanguage(this, context_.language(), [this] { updateLanguageStrings(); });
}

ChartAnalysisViewController::~ChartAnalysisViewController() = default;

void ChartAnalysisViewController::updateLanguageStrings() {
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        Row& row = rows_[i];
        for (QToolButton* button : row.colourButtons)
            button->setAccessibleName(button->toolTip());
        showRefusal(static_cast<Study>(i), row.error);
    }
}

void ChartAnalysisViewController::checkBoxChanged(Study study) {
    Row& row = rows_[static_cast<std::size_t>(study)];
    if (!row.box->isChecked()) {
        Q_EMIT studySwitchedOff(study);
        return;
    }
    if (!tc::charts::isPriceStudy(study)) {
        // One oscillator at a time: the others go quietly, the new one replaces them.
        for (std::size_t i = 0; i < rows_.size(); ++i) {
            const Study other = static_cast<Study>(i);
            if (other == study || tc::charts::isPriceStudy(other) || !rows_[i].box->isChecked())
                continue;
            const QSignalBlocker quiet(rows_[i].box);
            rows_[i].box->setChecked(false);
        }
    }
    Q_EMIT studySwitchedOn(study);
}

tc::charts::StudyParams ChartAnalysisViewController::params(Study study) const {
    const Row& row = rows_[static_cast<std::size_t>(study)];
    auto at = [&row](std::size_t i) { return i < row.fields.size() ? number(row.fields[i]) : 0; };
    tc::charts::StudyParams p;
    switch (study) {
    case Study::Macd:
    case Study::MacdHistogram:
        p.fastPeriod = at(0), p.slowPeriod = at(1), p.signalPeriod = at(2);
        break;
    case Study::StochasticOscillator:
        p.kPeriod = at(0), p.dPeriod = at(1), p.slowing = at(2);
        break;
    case Study::Alligator:
        p.jawsPeriod = at(0), p.teethPeriod = at(1), p.lipsPeriod = at(2);
        break;
    case Study::BollingerBands:
        p.period = at(0), p.deviation = at(1);
        break;
    case Study::AwesomeOscillator:
    case Study::AcceleratorOscillator:
        break;
    default:
        p.period = at(0);
        break;
    }
    return p;
}

QList<QColor> ChartAnalysisViewController::colours(Study study) const {
    return rows_[static_cast<std::size_t>(study)].colours;
}

void ChartAnalysisViewController::setColour(Study study, int index, const QColor& colour) {
    Row& row = rows_[static_cast<std::size_t>(study)];
    if (index < 0 || index >= row.colours.size() || !colour.isValid())
        return;
    row.colours[index] = colour;
    paintColourButtons(row);
}

QString ChartAnalysisViewController::title(Study study) const {
    return rows_[static_cast<std::size_t>(study)].box->text();
}

void ChartAnalysisViewController::chooseColour(Study study, int index) {
    // Window-modal on the chart's window (the popup holding the panel closes at the next click
    // outside it); the choice arrives by signal.
    QWidget* owner = window();
    if ((owner->windowFlags() & Qt::Popup) == Qt::Popup && owner->parentWidget())
        owner = owner->parentWidget()->window();
    auto* dialog = new QColorDialog(colours(study).value(index), owner);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    connect(dialog, &QColorDialog::colorSelected, this,
            [this, study, index](const QColor& colour) { setColour(study, index, colour); });
    dialog->open();
}

void ChartAnalysisViewController::paintColourButtons(Row& row) {
    for (int i = 0; i < static_cast<int>(row.colourButtons.size()); ++i) {
        QPixmap swatch(18, 12);
        swatch.fill(row.colours.value(i));
        QPainter frame(&swatch);
        frame.setPen(palette().color(QPalette::WindowText));
        frame.drawRect(swatch.rect().adjusted(0, 0, -1, -1));
        row.colourButtons[static_cast<std::size_t>(i)]->setIcon(QIcon(swatch));
    }
}

void ChartAnalysisViewController::showRefusal(Study study, tc::charts::StudyError error) {
    Row& row = rows_[static_cast<std::size_t>(study)];
    row.error = error;
    if (!row.refusal)
        return;
    switch (error) {
    case tc::charts::StudyError::None:
        row.refusal->clear();
        break;
    case tc::charts::StudyError::PeriodBelowOne:
        row.refusal->setText(context_.text(texts::kPeriodMust1OrMore));
        break;
    case tc::charts::StudyError::DeviationNotFinite:
        row.refusal->setText(context_.text(texts::kDeviationMustNumber));
        break;
    }
}

void ChartAnalysisViewController::resetCheckBoxSelection() {
    for (Row& row : rows_) {
        const QSignalBlocker quiet(row.box);
        row.box->setChecked(false);
    }
}

QSize ChartAnalysisViewController::sizeHint() const {
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    return ui_->contentView->sizeHint() + QSize(bar + 8, 8);
}

QCheckBox* ChartAnalysisViewController::checkBox(Study study) const {
    return rows_[static_cast<std::size_t>(study)].box;
}

QLineEdit* ChartAnalysisViewController::field(Study study, int index) const {
    const auto& fields = rows_[static_cast<std::size_t>(study)].fields;
    return index >= 0 && index < static_cast<int>(fields.size()) ? fields[static_cast<std::size_t>(index)]
                                                                 : nullptr;
}

QToolButton* ChartAnalysisViewController::colourButton(Study study, int index) const {
    const auto& buttons = rows_[static_cast<std::size_t>(study)].colourButtons;
    return index >= 0 && index < static_cast<int>(buttons.size()) ? buttons[static_cast<std::size_t>(index)]
                                                                  : nullptr;
}

QLabel* ChartAnalysisViewController::refusalLabel(Study study) const {
    return rows_[static_cast<std::size_t>(study)].refusal;
}

} // namespace tc::gui
