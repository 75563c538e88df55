#include "gui/charts/titled_graph.h"

#include <QLabel>
#include <QVBoxLayout>

namespace tc::gui {

TitledGraph addTitledGraph(QWidget& owner) {
    auto* layout = new QVBoxLayout(&owner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    TitledGraph out;
    out.title = new QLabel(&owner);
    out.title->setContentsMargins(6, 2, 6, 2);
    out.title->setAutoFillBackground(true);
    layout->addWidget(out.title);
    out.graph = new GraphView(&owner);
    out.graph->setMinimumSize(120, 80);
    layout->addWidget(out.graph, 1);
    return out;
}

void applyTitleTheme(QLabel& title, const PlotTheme& theme) {
    QPalette palette = title.palette();
    palette.setColor(QPalette::Window, theme.background);
    palette.setColor(QPalette::WindowText, theme.axis);
    title.setPalette(palette);
}

} // namespace tc::gui
