#include "gui/controls/grid_table.h"

#include "gui/app/gui_context.h"
#include "gui/app/language.h"
#include "gui/app/theme_manager.h"
#include "gui/models/grid_model.h"
#include "gui/models/grid_view_proxy.h"

#include <QHeaderView>

namespace tc::gui {

GridTable::GridTable(GuiContext& context, Grid grid, QWidget* parent) : QTableView(parent) {
    model_ = new GridModel(*context.clientModel(), grid, this);
    proxy_ = new GridViewProxy(*model_, this);
    model_->setLanguage(context.language().selected());
    model_->setTheme(context.themes().getThemeForKey());
    setModel(proxy_);
    setSortingEnabled(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAlternatingRowColors(true);
    setWordWrap(false);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(true);
    for (int column = 0; column < model_->columnCount(); ++column) {
        const ColumnSpec& spec = model_->columnSpec(column);
        setColumnWidth(column, spec.width);
        setColumnHidden(column, spec.hiddenByDefault);
    }
    // No sort until the user picks a column: the session's order stands.
    horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    connect(&context.language(), &Language::changed, this,
            [this, &context] { model_->setLanguage(context.language().selected()); });
    connect(&context.themes(), &ThemeManager::themeChanged, this,
            [this](std::int64_t theme) { model_->setTheme(theme); });
    model_->refresh();
}

GridTable::~GridTable() = default;

} // namespace tc::gui
