#pragma once
// The analysis panel: a check box per study with its periods and colours. It only collects: a box
// switched on reports the study with its parameters, one switched off reports that. Checking an
// oscillator unchecks the other oscillators without a word (the new one replaces them on the lower
// graph); the four price studies combine with each other and with one oscillator. Fields and colours
// keep their values while the panel lives. Each field takes a whole number in the range its study
// draws on the bars the chart holds: a field holding anything else is marked and its reason shows
// beside it as it is typed, and its box does not go on.
#include "charts/study_board.h"

#include <QColor>
#include <QList>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QToolButton;

namespace Ui {
class ChartAnalysisViewController;
}

namespace tc::gui {

class GuiContext;

class ChartAnalysisViewController : public QWidget {
    Q_OBJECT
public:
    explicit ChartAnalysisViewController(GuiContext& context, QWidget* parent = nullptr);
    ~ChartAnalysisViewController() override;

    // Unchecks every box, telling no one (a new instrument or interval: no study is drawn).
    void resetCheckBoxSelection();
    // How many bars the chart holds, asked whenever a period is judged.
    void setBarCounter(std::function<std::size_t()> counter);
    // The study's parameters as the fields read now (a box goes on only when they are sound).
    tc::charts::StudyParams params(tc::charts::Study study) const;
    // Judges again every row that showed or was touched (the bars held may have changed).
    void recheck();
    // The colours of the study's lines (the price studies; none for the others).
    QList<QColor> colours(tc::charts::Study study) const;
    void setColour(tc::charts::Study study, int index, const QColor& colour);
    // The study's name as its box reads.
    QString title(tc::charts::Study study) const;
    // Says beside the study's fields why it draws nothing; None clears it.
    void showRefusal(tc::charts::Study study, tc::charts::StudyError error);

    QCheckBox* checkBox(tc::charts::Study study) const;
    QLineEdit* field(tc::charts::Study study, int index) const;
    QToolButton* colourButton(tc::charts::Study study, int index) const;
    QLabel* refusalLabel(tc::charts::Study study) const;
    // Room for every row without scrolling (the owner may give less).
    QSize sizeHint() const override;

Q_SIGNALS:
    void studySwitchedOn(tc::charts::Study study);
    void studySwitchedOff(tc::charts::Study study);

private:
    struct Verdict {
        QString text;
        std::vector<std::size_t> wrongFields;
        bool entryFault = false; // the text itself is no whole number (shown untouched too)
        std::vector<long long> values;
    };
    struct Row {
        QCheckBox* box = nullptr;
        std::vector<QLineEdit*> fields;
        std::vector<QLabel*> names; // each field's label
        bool touched = false;       // edited or switched on: its range refusals show
        std::vector<QToolButton*> colourButtons;
        QList<QColor> colours;
        QLabel* refusal = nullptr;
        tc::charts::StudyError error = tc::charts::StudyError::None;
    };
    Verdict judge(tc::charts::Study study) const;
    // Shows the row's verdict; true when its fields are refused (a range only once it is touched).
    bool showRow(tc::charts::Study study);
    void checkBoxChanged(tc::charts::Study study);
    void chooseColour(tc::charts::Study study, int index);
    void paintColourButtons(Row& row);
    void updateLanguageStrings();

    std::unique_ptr<Ui::ChartAnalysisViewController> ui_;
    GuiContext& context_;
    std::vector<Row> rows_; // by study
    std::function<std::size_t()> barCounter_;
};

} // namespace tc::gui
