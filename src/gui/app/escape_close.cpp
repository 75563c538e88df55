#include "gui/app/escape_close.h"

#include "gui/app/common_alert.h"
#include "gui/app/language.h"
#include "gui/texts.h"

#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextEdit>

namespace tc::gui {
namespace {

const QString kTopic = QStringLiteral("dropTypedText");
// The typed mark of a line edit or of a model whose cells the trader edits. A line edit's own
// modified flag is not enough: an editable box sets its text again when Return or leaving the field
// ends the entry (the same text, as the entry chosen), and a cell's editor goes with its entry.
constexpr char kTypedProperty[] = "tcTypedText";
constexpr char kWatchedProperty[] = "tcTypingWatched";

bool typedIn(const QLineEdit* field) {
    return field->isModified() || field->property(kTypedProperty).toBool();
}

// The view a field edits a cell or a title of, if it stands in one.
QAbstractItemView* viewOf(QWidget* field) {
    for (QWidget* w = field->parentWidget(); w && !w->isWindow(); w = w->parentWidget())
        if (auto* view = qobject_cast<QAbstractItemView*>(w))
            return view;
    return nullptr;
}

void markModel(QAbstractItemModel* model) {
    if (!model)
        return;
    if (!model->property(kWatchedProperty).toBool()) {
        model->setProperty(kWatchedProperty, true);
        // Filled afresh, its cells hold nothing of the trader's.
        QObject::connect(model, &QAbstractItemModel::modelReset, model,
                         [model] { model->setProperty(kTypedProperty, false); });
    }
    model->setProperty(kTypedProperty, true);
}

// Follows every line edit the trader gives the focus to (before the first key reaches it): its mark
// is set by the trader's edits, taken off by a text the program sets in its place, and left alone
// when only the same text is set again. An editor in a view that is put away with the trader's text
// (a cell's or a title's entry ended) leaves the mark on the view's model.
class TypingWatch : public QObject {
public:
    explicit TypingWatch(QObject* parent) : QObject(parent) {
        connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { watch(now); });
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // A field deleted is no longer a QLineEdit here; only one hidden by its view counts.
        if (event->type() == QEvent::Hide)
            if (auto* field = qobject_cast<QLineEdit*>(watched);
                field && field->isHidden() && typedIn(field) && !field->text().isEmpty())
                if (QAbstractItemView* view = viewOf(field))
                    markModel(view->model());
        return QObject::eventFilter(watched, event);
    }

private:
    void watch(QWidget* focus) {
        QLineEdit* field = qobject_cast<QLineEdit*>(focus);
        if (auto* box = qobject_cast<QComboBox*>(focus))
            field = box->lineEdit();
        if (!field || field->property(kWatchedProperty).toBool())
            return;
        field->setProperty(kWatchedProperty, true);
        connect(field, &QLineEdit::textChanged, field,
                [field] { field->setProperty(kTypedProperty, field->isModified()); });
        if (viewOf(field))
            field->installEventFilter(this);
    }
};

void watchTyping() {
    static QPointer<TypingWatch> watch;
    if (!watch && qApp)
        watch = new TypingWatch(qApp);
}

// The models of the window's own views.
template <class F>
void forEachOwnModel(const QWidget* window, F&& f) {
    for (const QAbstractItemView* view : window->findChildren<QAbstractItemView*>())
        if (view->window() == window && view->model())
            f(view->model());
}

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
        if (ownField(window, field) && !field->isReadOnly() && typedIn(field) && !field->text().isEmpty())
            return true;
    }
    bool cells = false;
    forEachOwnModel(window, [&](const QAbstractItemModel* model) {
        cells = cells || model->property(kTypedProperty).toBool();
    });
    return cells || boxHoldsTypedText<QPlainTextEdit>(window) || boxHoldsTypedText<QTextEdit>(window);
}

void keepTypedText(QWidget* window) {
    for (QLineEdit* field : window->findChildren<QLineEdit*>())
        if (field->window() == window) {
            field->setModified(false);
            field->setProperty(kTypedProperty, false);
        }
    forEachOwnModel(window, [](QAbstractItemModel* model) { model->setProperty(kTypedProperty, false); });
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
    watchTyping();
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
                          keepTypedText(window_);
                          close_();
                      });
}

} // namespace tc::gui
