#pragma once

#include <QGridLayout>
#include <QLabel>
#include <QWidget>

#include <algorithm>
#include <vector>

namespace tc::gui {

// A form's groups are grids of their own: one width for every caption lines their fields up.
inline void alignCaptions(QWidget* page) {
    std::vector<QLabel*> captions;
    for (QGridLayout* grid : page->findChildren<QGridLayout*>())
        for (int row = 0; row < grid->rowCount(); ++row)
            if (QLayoutItem* item = grid->itemAtPosition(row, 0))
                if (auto* label = qobject_cast<QLabel*>(item->widget()))
                    captions.push_back(label);
    int width = 0;
    for (QLabel* label : captions) {
        label->setMinimumWidth(0);
        width = std::max(width, label->sizeHint().width());
    }
    for (QLabel* label : captions)
        label->setMinimumWidth(width);
}

} // namespace tc::gui
