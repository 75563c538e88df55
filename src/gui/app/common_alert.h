#pragma once
// Alerts: window-modal message boxes opened with open(), so no event loop is ever nested; the
// pressed button arrives through a callback. An alert already showing for the same topic on the
// same window is not opened a second time. Texts are shown as plain text, never as markup.
#include <QString>
#include <QStringList>

#include <functional>

class QMessageBox;
class QWidget;

namespace tc::gui {

class GuiContext;

struct AlertSpec {
    enum Style { Warning = 0, Informational = 1, Critical = 2 };
    QString title;   // the alert's bold message
    QString message; // the informative text below it
    int style = Informational;
    QStringList buttons;   // the default button first; empty: one "OK" button
    QString topic;         // empty: title and message
    int escapeButton = -1; // the button Escape presses; -1: the last (a Cancel or Later)
};

class CommonAlert {
public:
    // `done` gets the index of the pressed button (0 the default one), or -1 when the alert closed
    // otherwise. Without a parent the alert is modal to the whole program. Returns the alert on
    // screen: a new one, or the one that was already showing for the topic.
    static QMessageBox* open(QWidget* parent, const AlertSpec& spec, std::function<void(int)> done = {});
    // The alert showing for a topic on a window, or nullptr.
    static QMessageBox* showing(QWidget* parent, const QString& topic);
    // Asks before sending again what may have been carried out already (an order, money): Cancel
    // is the default and what Escape does, so Return never sends twice. `send` runs on Yes only.
    static QMessageBox* askSendAgain(QWidget* parent, const GuiContext& context, const QString& title,
                                     const QString& question, const QString& topic,
                                     std::function<void()> send);
    // Keeps a message box's texts at the side its window reads from (the right, right to left),
    // whatever script they start with, now and after a change of direction. Once per box.
    static void keepTextsAtReadingSide(QMessageBox* box);
};

} // namespace tc::gui
