#pragma once
// A grid of the session in a table view (its lines filled, see FilledGridTableView): its own GridModel over
// the context's client model, a GridViewProxy of its own (sort order, tick colours), the columns' default
// widths (grown with the cells' font, widened to their header titles, and a sorting column's to its title
// beside the sort arrow) and hidden columns from the grid's column specs, and the language and theme of the
// context, followed when they change. A header that does not sort takes no arrow, and rows that come or go
// above the rows in sight leave those where they stand, but at the top of the list, where the view stays
// at the top. Made only once a client model is set on the context.
#include "gui/controls/filled_grid_table_view.h"
#include "gui/grid/grid_spec.h"

#include <QPersistentModelIndex>

namespace tc::gui {

class GridModel;
class GridViewProxy;
class GuiContext;

class GridTable : public FilledGridTableView {
    Q_OBJECT
public:
    GridTable(GuiContext& context, Grid grid, QWidget* parent = nullptr);
    ~GridTable() override;

    GridModel& gridModel() const { return *model_; }
    GridViewProxy& proxy() const { return *proxy_; }
    // The width of a column's header title in the header's font.
    int titleWidth(int column) const;
    // The width a column's title takes with the header's margins (and its sort arrow, when it sorts).
    int titleRoom(int column) const;
    // Sets the cells in a font of `size` pixels; rows and columns grow with it.
    void setCellFontSize(int size);

private:
    void fitColumns();
    // The header's arrow on a column that sorts, else back where it was.
    void followSortIndicator(int section, Qt::SortOrder order);
    // The first row in sight and where it stands, before rows come or go; put back after.
    void noteRowInSight();
    void keepRowInSight();

    GridModel* model_ = nullptr;
    GridViewProxy* proxy_ = nullptr;
    int fontSize_ = 0;
    QPersistentModelIndex rowInSight_;
    int rowInSightAt_ = 0;    // its place in the viewport, in pixels
    int rowInSightPlace_ = 0; // its place among the rows shown
    int scrolledTo_ = 0;      // the scroll bar's value
    bool atEnd_ = false;      // the scroll bar at its end
    bool atTop_ = false;      // the scroll bar at its start
};

} // namespace tc::gui
