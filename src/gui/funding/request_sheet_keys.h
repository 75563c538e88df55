#pragma once

#include <QKeySequence>
#include <QPushButton>
#include <QShortcut>
#include <QStackedWidget>
#include <QWidget>

namespace tc::gui {

// Return presses the page's default button (the form's on the first page, the result's on the
// other).
inline void installRequestSheetKeys(QWidget* window, QStackedWidget* pages, QPushButton* formButton,
                                    QPushButton* resultButton) {
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* shortcut = new QShortcut(QKeySequence(key), window);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        QObject::connect(shortcut, &QShortcut::activated, window, [pages, formButton, resultButton] {
            QPushButton* button = pages->currentIndex() == 0 ? formButton : resultButton;
            if (button->isEnabled())
                button->click();
        });
    }
}

} // namespace tc::gui
