#pragma once
// Escape closes a window or a sheet as its Close or Cancel would, the same in every one: at once
// when nothing typed in it would be lost, else only once the trader agrees to drop what was typed
// (an alert on the window, "Keep Editing" its default). What was typed is a field the trader
// edited since it was last filled or sent that still holds text, or a cell of a view the trader
// edited since its rows were last filled or sent. Ending an entry (Return, leaving the field, a
// cell's editor closing) keeps it typed: only a send or a fill does not.
#include <QObject>

#include <functional>
#include <utility>

class QWidget;

namespace tc::gui {

class Language;

// Whether the window holds typed text that closing it would drop: a line edit or text box of its
// own (not of another window opened on it, nor a date or number stepper's), shown and open to
// typing, that the trader edited since the program last set another text in it and that is not
// empty; or one of its own views whose cells the trader edited since its model was last reset.
bool holdsTypedText(const QWidget* window);
// Takes the window's typed text as kept (sent, or saved): Escape then closes without asking until
// the trader types again.
void keepTypedText(QWidget* window);

class EscapeClose : public QObject {
    Q_OBJECT
public:
    // Escape on `window` (wherever its focus is, unless a field uses the key itself) runs `close`
    // (the window's close() when empty), after asking when `typed` (holdsTypedText when empty) says
    // something would be lost.
    static EscapeClose* install(QWidget* window, const Language& language, std::function<void()> close = {},
                                std::function<bool()> typed = {});

    // What Escape does: closes, or asks first.
    void escape();
    // Runs before the close when the trader chose to discard: a window kept for its next opening puts
    // its fields back as a new one's, so nothing discarded comes back.
    void setDiscard(std::function<void()> discard) { discard_ = std::move(discard); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    EscapeClose(QWidget* window, const Language& language, std::function<void()> close,
                std::function<bool()> typed);

    QWidget* window_;
    const Language& language_;
    std::function<void()> close_;
    std::function<bool()> typed_;
    std::function<void()> discard_;
};

} // namespace tc::gui
