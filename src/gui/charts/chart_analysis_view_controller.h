#pragma once
// The analysis panel: a check box per study with its periods and colours. It only collects: a box
// switched on reports the study with its parameters, one switched off reports that. Checking an
// oscillator unchecks the other oscillators without a word (the new one replaces them on the lower
// graph); the four price studies combine with each other and with one oscillator. Fields and colours
// keep their values while the panel lives; a study's refusal of its parameters shows beside them.
#include "charts/study_board.h"

#include <QColor>
#include <QList>
#include <QWidget>

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
    // The study's parameters as the fields read now; an empty field is 0, which the study refuses.
    tc::charts::StudyParams params(tc::charts::Study study) const;
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
    struct Row {
        QCheckBox* box = nullptr;
        std::vector<QLineEdit*> fields;
        std::vector<QToolButton*> colourButtons;
        QList<QColor> colours;
        QLabel* refusal = nullptr;
        tc::charts::StudyError error = tc::charts::StudyError::None;
    };
    void checkBoxChanged(tc::charts::Study study);
    void chooseColour(tc::charts::Study study, int index);
    void paintColourButtons(Row& row);
    void updateLanguageStrings();

    std::unique_ptr<Ui::ChartAnalysisViewController> ui_;
    GuiContext& context_;
    std::vector<Row> rows_; // by study
};

} // namespace tc::gui
