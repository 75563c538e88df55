#pragma once
// Small helpers the ticket's parts share.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QString>
#include <QStringList>

#include <string_view>

namespace tc::gui {

inline QString ticketText(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Lists a combo box's entries without announcing them as the user's choice.
inline void fillQuietly(QComboBox* box, const QStringList& entries, const QString& current) {
    const QSignalBlocker quiet(box);
    box->clear();
    box->addItems(entries);
    const int at = box->findText(current);
    if (at >= 0)
        box->setCurrentIndex(at);
    else if (box->isEditable())
        box->setEditText(current);
    else
        box->setCurrentIndex(entries.isEmpty() ? -1 : 0);
}

// Sets a text only when it changed: a field keeps its cursor, a label does not lay out again.
template <class Widget>
void showChanged(Widget* widget, const QString& text) {
    if (widget->text() != text)
        widget->setText(text);
}

} // namespace tc::gui
