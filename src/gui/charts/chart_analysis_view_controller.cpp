#include "gui/charts/chart_analysis_view_controller.h"

#include "gui/app/gui_context.h"
#include "gui/app/language.h"
#include "gui/controls/entry_marks.h"
#include "gui/controls/entry_refusal.h"
#include "gui/controls/input_filters.h"
#include "gui/controls/input_rules.h"
#include "gui/texts.h"
#include "platform/number_entry.h"
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
#include <limits>

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
            // Any text is kept as typed, to be judged whole and refused with its reason.
            installDecimalFilter(field);
            row.fields.push_back(field);
            row.names.push_back(nullptr);
            connect(field, &QLineEdit::textEdited, this, [this, study] {
                rows_[static_cast<std::size_t>(study)].touched = true;
                showRow(study);
            });
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
    for (QLabel* label : findChildren<QLabel*>())
        for (Row& row : rows_)
            for (std::size_t f = 0; f < row.fields.size(); ++f)
                if (label->buddy() == row.fields[f])
                    row.names[f] = label;
    bindLanguage(this, context_.language(), [this] { updateLanguageStrings(); });
}

ChartAnalysisViewController::~ChartAnalysisViewController() = default;

void ChartAnalysisViewController::updateLanguageStrings() {
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        Row& row = rows_[i];
        for (QToolButton* button : row.colourButtons)
            button->setAccessibleName(button->toolTip());
        showRow(static_cast<Study>(i));
    }
}

void ChartAnalysisViewController::setBarCounter(std::function<std::size_t()> counter) {
    barCounter_ = std::move(counter);
}

ChartAnalysisViewController::Verdict ChartAnalysisViewController::judge(Study study) const {
    const Row& row = rows_[static_cast<std::size_t>(study)];
    const auto name = [&row](std::size_t i) { return row.names[i] ? row.names[i]->text() : QString(); };
    Verdict verdict;
    for (std::size_t i = 0; i < row.fields.size(); ++i) {
        const QString text = row.fields[i]->text();
        // A sign or too many digits is a number all the same: its range says what to type.
        const platform::IntegerEntry entry = platform::readIntegerEntry(text.toStdString(), true);
        if (entry.ok() || entry.fault == platform::EntryFault::TooLarge) {
            verdict.values.push_back(entry.value.value_or(std::numeric_limits<long long>::max()));
            continue;
        }
        const Refusal refusal{std::string(wholeNumberFaultKey(text.toStdString(), entry.fault)),
                              entryFaultLimit(entry.fault)};
        verdict.text = refusalNaming(context_.language().selected(), refusal, name(i));
        verdict.wrongFields = {i};
        verdict.entryFault = true;
        return verdict;
    }
    const std::size_t bars = barCounter_ ? barCounter_() : std::numeric_limits<std::size_t>::max();
    const tc::charts::StudyCheck check = tc::charts::checkStudyParams(study, verdict.values, bars);
    const QString held = QString::number(bars);
    using Fault = tc::charts::StudyCheck::Fault;
    switch (check.fault) {
    case Fault::None:
        return verdict;
    case Fault::OutOfRange:
        verdict.wrongFields = {check.param};
        verdict.text =
            check.rangeFollowsBars
                ? filledIn(context_.text(texts::kMustFromBarsChartHolds),
                           {name(check.param), QString::number(check.min), QString::number(check.max), held})
                : filledIn(context_.text(texts::kMustFrom),
                           {name(check.param), QString::number(check.min), QString::number(check.max)});
        return verdict;
    case Fault::TooFewBars:
    case Fault::PeriodsTooLong:
        for (std::size_t i = 0; i < row.fields.size(); ++i)
            verdict.wrongFields.push_back(i);
        verdict.text =
            filledIn(context_.text(check.fault == Fault::TooFewBars ? texts::kNeedsLeastBarsChartHolds
                                                                    : texts::kNeedsBarsWithThesePeriods),
                     {title(study), QString::number(check.needed), held});
        return verdict;
    }
    return verdict;
}

void ChartAnalysisViewController::recheck() {
    for (std::size_t i = 0; i < rows_.size(); ++i)
        showRow(static_cast<Study>(i));
}

bool ChartAnalysisViewController::showRow(Study study) {
    Row& row = rows_[static_cast<std::size_t>(study)];
    Verdict verdict = judge(study);
    // A range depends on the bars held: it is said once the trader has touched the row, while a
    // text that is no number is said at once.
    if (!row.touched && !verdict.entryFault)
        verdict = {};
    QString text = verdict.text;
    if (text.isEmpty() && row.error == tc::charts::StudyError::PeriodBelowOne)
        text = context_.text(texts::kPeriodMust1OrMore);
    else if (text.isEmpty() && row.error == tc::charts::StudyError::DeviationNotFinite)
        text = context_.text(texts::kDeviationMustNumber);
    if (row.refusal)
        row.refusal->setText(text);
    for (std::size_t i = 0; i < row.fields.size(); ++i) {
        const bool marked =
            std::find(verdict.wrongFields.begin(), verdict.wrongFields.end(), i) != verdict.wrongFields.end();
        markEntry(row.fields[i], marked ? verdict.text : QString(), context_.themes());
        row.fields[i]->setProperty("refused", marked);
    }
    return !verdict.text.isEmpty();
}

void ChartAnalysisViewController::checkBoxChanged(Study study) {
    Row& row = rows_[static_cast<std::size_t>(study)];
    if (!row.box->isChecked()) {
        Q_EMIT studySwitchedOff(study);
        return;
    }
    row.touched = true;
    row.error = tc::charts::StudyError::None;
    if (showRow(study)) {
        // Refused before anything changes: the oscillator shown stays, and so does its box.
        const QSignalBlocker quiet(row.box);
        row.box->setChecked(false);
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
    std::vector<long long> values;
    // A field that is no number gives 0, which the study refuses.
    for (const QLineEdit* field : row.fields)
        values.push_back(platform::readIntegerEntry(field->text().toStdString(), true).value.value_or(0));
    return tc::charts::studyParamsFrom(study, values);
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
    rows_[static_cast<std::size_t>(study)].error = error;
    showRow(study);
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
