#include "gui/app/escape_close.h"

#include "gui/app/common_alert.h"
#include "gui/app/language.h"
#include "gui/texts.h"

#include <QAbstractSpinBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace tc::gui {
namespace {

const QString kTopic = QStringLiteral("dropTypedText");

bool ownField(const QWidget* window, const QWidget* field) {
    return field->window() == window && field->isVisibleTo(window) && field->isEnabled();
}

// A plain or rich text box of the window's own that holds text typed since it was last set.
template <class Box>
bool boxHoldsTypedText(const QWidget* window) {
    for (const Box* box : window->findChildren<Box*>())
        if (ownField(window, box) && !box->isReadOnly() && box->document()->isModified() &&
            !box->document()->isEmpty())
            return true;
    return false;
}

template <class Box>
void keepBoxText(QWidget* window) {
    for (Box* box : window->findChildren<Box*>())
        if (box->window() == window)
            box->document()->setModified(false);
}

} // namespace

bool holdsTypedText(const QWidget* window) {
    for (const QLineEdit* field : window->findChildren<QLineEdit*>()) {
        // A stepper's text is its value, set again at every step; its window keeps its own.
        if (qobject_cast<const QAbstractSpinBox*>(field->parentWidget()))
            continue;
        if (ownField(window, field) && !field->isReadOnly() && field->isModified() &&
            !field->text().isEmpty())
            return true;
    }
    return boxHoldsTypedText<QPlainTextEdit>(window) || boxHoldsTypedText<QTextEdit>(window);
}

void keepTypedText(QWidget* window) {
    for (QLineEdit* field : window->findChildren<QLineEdit*>())
        if (field->window() == window)
            field->setModified(false);
    keepBoxText<QPlainTextEdit>(window);
    keepBoxText<QTextEdit>(window);
}

EscapeClose::EscapeClose(QWidget* window, const Language& language, std::function<void()> close,
                         std::function<bool()> typed)
    : QObject(window), window_(window), language_(language), close_(std::move(close)),
      typed_(std::move(typed)) {
    if (!close_)
        close_ = [window] { window->close(); };
    if (!typed_)
        typed_ = [window] { return holdsTypedText(window); };
}

EscapeClose* EscapeClose::install(QWidget* window, const Language& language, std::function<void()> close,
                                  std::function<bool()> typed) {
    auto* escape = new EscapeClose(window, language, std::move(close), std::move(typed));
    window->installEventFilter(escape);
    return escape;
}

bool EscapeClose::eventFilter(QObject* watched, QEvent* event) {
    // A key a field left unused comes up to its window; one a field uses (a completer's list, an
    // open editor) never gets here.
    if (watched == window_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier) {
            escape();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void EscapeClose::escape() {
    if (!typed_()) {
        close_();
        return;
    }
    const auto text = [this](std::string_view key) { return language_.text(key); };
    CommonAlert::open(window_,
                      {text(texts::kDiscardWhatTyped),
                       text(texts::kClosingWindowDropsWhatTyped),
                       AlertSpec::Warning,
                       {text(texts::kKeepEditing), text(texts::kDiscard)},
                       kTopic,
                       // A second Escape is the trader's "no": what was typed stays.
                       0},
                      [this](int button) {
                          if (button != 1)
                              return;
                          // A kept window drops what was typed, so it opens again as new.
                          if (discard_)
                              discard_();
                          close_();
                      });
}

} // namespace tc::gui
