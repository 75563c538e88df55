#include "gui/controls/header_editor.h"

#include "gui/controls/input_filters.h"
#include "gui/controls/input_rules.h"

#include <QAbstractItemModel>
#include <QHeaderView>
#include <QLineEdit>

namespace tc::gui {

HeaderEditor::HeaderEditor(QHeaderView* header) : QObject(header), header_(header) {
    field_ = new QLineEdit(header->viewport());
    field_->setObjectName(QStringLiteral("headerEditor"));
    field_->setAlignment(Qt::AlignCenter);
    field_->hide();
    installDecimalFilter(field_);
    connect(field_, &QLineEdit::editingFinished, this, &HeaderEditor::finish);
}

void HeaderEditor::edit(int section) {
    if (!header_ || section < 0 || section >= header_->count())
        return;
    QString shown;
    if (header_->model())
        shown = header_->model()->headerData(section, header_->orientation()).toString();
    field_->setText(QString::fromStdString(sanitizeDecimal(shown.toStdString())));
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
