#pragma once
// Texts a window shows together that read the same in a language where their English texts differ:
// two rows of a form, two buttons or two columns under one name leave the trader guessing which is
// which. Read without painting, from the widgets a window shows: labels, buttons, group titles,
// tabs, column titles, table cells, the menu bar and the window title as one group; the items of
// each list box and of each menu as a group of their own, since they show together when it opens.
//   tradegui_screens --check-texts [--languages FOLDER,...] [SCREEN...]
#include <QString>
#include <QStringList>

#include <vector>

class QTextStream;
class QWidget;

namespace tc::gui {

struct ShownScreen;

struct ShownText {
    QString group; // "window", or the list box or menu whose items these are
    QString place; // the control and the part of it, the same in every language
    QString text;
};

// What the window shows, in the order met; texts without a letter (figures, dates) are left out.
std::vector<ShownText> shownTexts(QWidget* window);

struct TextClash {
    QString group;
    QString text;        // as the language reads it
    QStringList english; // the different English texts that read so
    QStringList places;  // each with its English text
};

// The texts of `other` that read the same in one group while the same places read differently in
// `english`. Case, mnemonic marks, a closing colon or ellipsis and blanks do not make texts differ.
std::vector<TextClash> textClashes(const std::vector<ShownText>& english,
                                   const std::vector<ShownText>& other);

// Reads each screen shown to it, in English first (each screen's English texts are kept until the
// next screen: walk screen by screen), and reports every clash on `log`.
class TextCheck {
public:
    explicit TextCheck(QTextStream& log) : log_(log) {}
    void visit(const ShownScreen& shown);
    // The number of clashes, and of screens that could not be read in English.
    int faults() const { return faults_; }

private:
    QTextStream& log_;
    int faults_ = 0;
    QString englishScreen_; // the screen `english` was read from; empty when it gave nothing
    std::vector<ShownText> english_;
};

} // namespace tc::gui
