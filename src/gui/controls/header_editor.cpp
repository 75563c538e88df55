#include "gui/controls/header_editor.h"

#include "gui/controls/input_filters.h"
#include "platform/number_entry.h"

#include <QAbstractItemModel>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>

namespace tc::gui {

HeaderEditor::HeaderEditor(QHeaderView* header) : QObject(header), header_(header) {
    field_ = new QLineEdit(header->viewport());
    field_->setObjectName(QStringLiteral("headerEditor"));
    field_->setAlignment(Qt::AlignCenter);
    field_->hide();
    installDecimalFilter(field_);
    // Return and leaving the field end the edit whatever it holds: a text that is no number is the
    // owner's to refuse with its reason, not a key press that silently does nothing.
    field_->installEventFilter(this);
    connect(field_, &QLineEdit::editingFinished, this, &HeaderEditor::finish);
}

bool HeaderEditor::eventFilter(QObject* watched, QEvent* event) {
    if (watched == field_) {
        const bool enter =
            event->type() == QEvent::KeyPress && (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Return ||
                                                  static_cast<QKeyEvent*>(event)->key() == Qt::Key_Enter);
        if (enter || event->type() == QEvent::FocusOut) {
            finish();
            if (enter)
                return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void HeaderEditor::edit(int section) {
    if (!header_ || section < 0 || section >= header_->count())
        return;
    QString shown;
    if (header_->model())
        shown = header_->model()->headerData(section, header_->orientation()).toString();
    // A title that is no number starts the field empty; nothing is picked out of it.
    const bool number = platform::readNumberEntry(shown.toStdString()).ok();
    field_->setText(number ? shown.trimmed() : QString());
    const int x = header_->sectionViewportPosition(section);
    field_->setGeometry(x, 0, header_->sectionSize(section), header_->viewport()->height());
    field_->show();
    field_->selectAll();
    field_->setFocus();
}

bool HeaderEditor::isEditing() const {
    return field_->isVisible();
}

void HeaderEditor::finish() {
    if (!field_->isVisible())
        return;
    field_->hide();
    Q_EMIT edited(field_->text());
}

} // namespace tc::gui
