#pragma once
// The frame both chart views share: a title line over a graph that takes the rest of the view.
#include "gui/plot/graph_view.h"

class QLabel;
class QWidget;

namespace tc::gui {

struct TitledGraph {
    QLabel* title = nullptr;
    GraphView* graph = nullptr;
};

// Lays the title and a new graph out in `owner`, which has no layout yet.
TitledGraph addTitledGraph(QWidget& owner);
// The title line in the theme's ground and axis colours.
void applyTitleTheme(QLabel& title, const PlotTheme& theme);

} // namespace tc::gui
