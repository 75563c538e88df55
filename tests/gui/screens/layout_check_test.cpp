// The layout check: what it calls a fault on plain widgets laid out offscreen.
#include "gui/gui_test_support.h"
#include "gui/screens/layout_check.h"

#include <QCheckBox>
#include <QDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QScrollArea>
#include <QStandardItemModel>
#include <QStyleFactory>
#include <QStyleOptionViewItem>
#include <QTabWidget>
#include <QTableView>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

using tc::gui::LayoutFault;
using tc::gui::layoutFaults;

std::vector<LayoutFault> faultsOf(QWidget& window, LayoutFault::Kind kind) {
    tc::gui::settleLayout();
    std::vector<LayoutFault> out;
    for (const LayoutFault& fault : layoutFaults(&window))
        if (fault.kind == kind)
            out.push_back(fault);
    return out;
}

QString widgets(const std::vector<LayoutFault>& faults) {
    QStringList names;
    for (const LayoutFault& fault : faults)
        names << fault.widget;
    return names.join(QLatin1Char(','));
}

TEST(LayoutCheck, TextsThatDoNotFitTheirLabelsAndButtonsAreCut) {
    QWidget window;
    window.resize(400, 200);
    auto* label = new QLabel(QStringLiteral("A caption far too long for its room"), &window);
    label->setObjectName(QStringLiteral("caption"));
    auto* button = new QPushButton(QStringLiteral("Scroll to End"), &window);
    button->setObjectName(QStringLiteral("scroll"));
    auto* box = new QCheckBox(QStringLiteral("Show confirmations as alerts"), &window);
    box->setObjectName(QStringLiteral("confirm"));
    auto* low = new QLabel(QStringLiteral("Glyphs"), &window);
    low->setObjectName(QStringLiteral("low"));
    window.show();

    // Each at its natural size: nothing is cut.
    label->setGeometry(QRect(QPoint(0, 0), label->sizeHint()));
    // The plain style's size leaves half the margin beside the text; the program's style the whole.
    const int margin = button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button);
    button->setGeometry(QRect(QPoint(0, 40), button->sizeHint() + QSize(margin, 0)));
    box->setGeometry(QRect(QPoint(0, 80), box->sizeHint()));
    low->setGeometry(QRect(QPoint(0, 120), low->sizeHint()));
    EXPECT_EQ(widgets(faultsOf(window, LayoutFault::Kind::TextCut)), "");

    // Narrower than their texts, and a label too low for its letters.
    label->resize(label->sizeHint().width() / 2, label->height());
    button->resize(button->sizeHint().width() / 2, button->height());
    box->resize(box->sizeHint().width() - 20, box->height());
    low->resize(low->width(), low->fontMetrics().height() / 3);
    EXPECT_EQ(widgets(faultsOf(window, LayoutFault::Kind::TextCut)), "caption,scroll,confirm,low");
}

TEST(LayoutCheck, AButtonWhoseTextLeavesLessThanTheStylesMarginBesideItIsCut) {
    QWidget window;
    window.resize(600, 100);
    auto* button = new QPushButton(QStringLiteral("Close #300001 (Sell 1.5 EURUSD @ Market Rate)"), &window);
    button->setObjectName(QStringLiteral("close"));
    window.show();
    const QStyle* style = button->style();
    const int margin = style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button);
    const int frame = style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button);
    const QRect ink = button->fontMetrics().boundingRect(button->text());
    const int text = std::max(ink.right() + 1, button->fontMetrics().horizontalAdvance(button->text())) -
                     std::min(0, ink.left());
    const int height = button->sizeHint().height();

    // The whole margin beside the text on both sides inside the frame.
    button->setGeometry(0, 0, text + 2 * (frame + margin), height);
    EXPECT_EQ(widgets(faultsOf(window, LayoutFault::Kind::TextCut)), "");
    // Half of it, as the letters' room alone would allow: edge to edge.
    button->setGeometry(0, 0, text + 2 * frame + margin, height);
    const auto faults = faultsOf(window, LayoutFault::Kind::TextCut);
    EXPECT_EQ(widgets(faults), "close");
    ASSERT_EQ(faults.size(), 1u);
    EXPECT_TRUE(faults.front().detail.contains(QStringLiteral("beside it")))
        << faults.front().detail.toStdString();
}

TEST(LayoutCheck, OverlappingControlsAndControlsOutsideTheirPaneAreFound) {
    QWidget window;
    window.resize(300, 200);
    auto* pane = new QWidget(&window);
    pane->setObjectName(QStringLiteral("pane"));
    pane->setGeometry(0, 0, 150, 100);
    auto* first = new QPushButton(QStringLiteral("One"), pane);
    first->setObjectName(QStringLiteral("one"));
    auto* second = new QPushButton(QStringLiteral("Two"), pane);
    second->setObjectName(QStringLiteral("two"));
    window.show();
    first->setGeometry(0, 0, 70, 30);
    second->setGeometry(74, 0, 70, 30);
    EXPECT_TRUE(faultsOf(window, LayoutFault::Kind::Overlap).empty());
    EXPECT_TRUE(faultsOf(window, LayoutFault::Kind::CutByPane).empty());

    second->move(40, 10);
    const auto overlaps = faultsOf(window, LayoutFault::Kind::Overlap);
    ASSERT_EQ(overlaps.size(), 1u);
    EXPECT_EQ(overlaps.front().widget, "pane/one");
    EXPECT_TRUE(overlaps.front().detail.contains("pane/two")) << overlaps.front().detail.toStdString();

    second->move(120, 0); // its right half outside the pane
    EXPECT_EQ(widgets(faultsOf(window, LayoutFault::Kind::CutByPane)), "pane/two");
}

TEST(LayoutCheck, APageThatScrollsIsJudgedOnItsOwnNotByTheView) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* area = new QScrollArea(&window);
    layout->addWidget(area);
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("page"));
    auto* rows = new QVBoxLayout(page);
    for (int i = 0; i < 30; ++i)
        rows->addWidget(new QPushButton(QStringLiteral("Row %1").arg(i)));
    area->setWidget(page);
    area->setWidgetResizable(true);
    window.resize(200, 150);
    window.show();
    EXPECT_TRUE(layoutFaults(&window).empty()) << layoutFaults(&window).front().widget.toStdString();
}

TEST(LayoutCheck, HeaderTitlesAndTabsThatDoNotFitAreElided) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* table = new QTableView(&window);
    QStandardItemModel model(2, 2);
    model.setHorizontalHeaderLabels({QStringLiteral("Available Margin"), QStringLiteral("Id")});
    table->setModel(&model);
    layout->addWidget(table);
    auto* tabs = new QTabWidget(&window);
    for (const char* title : {"Open Positions", "Pending Orders", "Settled Positions", "Journal"})
        tabs->addTab(new QWidget, QString::fromLatin1(title));
    layout->addWidget(tabs);
    window.resize(900, 400);
    window.show();
    table->setColumnWidth(0, 200);
    EXPECT_TRUE(faultsOf(window, LayoutFault::Kind::Elided).empty());

    table->setColumnWidth(0, 30);
    tabs->setMinimumWidth(0);
    window.setMinimumWidth(0);
    window.resize(160, 400);
    const auto elided = faultsOf(window, LayoutFault::Kind::Elided);
    ASSERT_EQ(elided.size(), 2u) << widgets(elided).toStdString();
    EXPECT_TRUE(elided[0].detail.contains("Available Margin")) << elided[0].detail.toStdString();
    EXPECT_TRUE(elided[1].detail.contains("Journal")) << elided[1].detail.toStdString();
}

// A figure's cell is its column less the grid line on its last pixel: a column as wide as the
// figure needs, and no wider, elides it.
TEST(LayoutCheck, AFigureElidedByAPixelOfItsColumnIsFound) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* table = new QTableView(&window);
    table->setObjectName(QStringLiteral("prices"));
    QStandardItemModel model(1, 2);
    model.setItem(0, 0, new QStandardItem(QStringLiteral("164.076")));
    model.setItem(0, 1, new QStandardItem(QStringLiteral("EURUSD")));
    table->setModel(&model);
    layout->addWidget(table);
    window.resize(600, 200);
    window.show();
    QStyleOptionViewItem option;
    option.initFrom(table);
    option.font = table->font();
    const int needs = table->itemDelegate()->sizeHint(option, model.index(0, 0)).width();
    for (bool grid : {true, false}) {
        SCOPED_TRACE(grid);
        table->setShowGrid(grid);
        table->setColumnWidth(0, needs + (grid ? 1 : 0));
        EXPECT_TRUE(faultsOf(window, LayoutFault::Kind::Elided).empty());
        table->setColumnWidth(0, needs - (grid ? 0 : 1));
        const auto elided = faultsOf(window, LayoutFault::Kind::Elided);
        ASSERT_EQ(elided.size(), 1u);
        EXPECT_TRUE(elided[0].detail.contains("\"164.076\"")) << elided[0].detail.toStdString();
    }
}

// The view's edge through a column of prices: the part in sight shows the price or its title in
// part, or not at all. Columns wholly out of sight are scrolled to, not cut.
TEST(LayoutCheck, AColumnThatTheViewsEdgeCutsShowsItsTitleAndFiguresInPart) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* table = new QTableView(&window);
    table->setObjectName(QStringLiteral("board"));
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(false);
    table->horizontalHeader()->setDefaultAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QStandardItemModel model(3, 5);
    model.setHorizontalHeaderLabels({"Symbol", "Bid", "Ask", "Open", "High"});
    for (int row = 0; row < model.rowCount(); ++row)
        for (int column = 0; column < model.columnCount(); ++column) {
            model.setItem(row, column, new QStandardItem(QStringLiteral("1.08511")));
            model.item(row, column)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        }
    table->setModel(&model);
    layout->addWidget(table);
    window.show();
    for (int column = 0; column < model.columnCount(); ++column)
        table->setColumnWidth(column, 100);
    const int frame = 2 * table->frameWidth();
    for (Qt::LayoutDirection direction : {Qt::LeftToRight, Qt::RightToLeft}) {
        window.setLayoutDirection(direction);
        window.resize(300 + frame, 200); // three columns whole, the rest past a scroll bar
        EXPECT_TRUE(faultsOf(window, LayoutFault::Kind::CutByPane).empty()) << direction;
        window.resize(240 + frame, 200); // the edge 40 px into the ask column
        const auto cut = faultsOf(window, LayoutFault::Kind::CutByPane);
        ASSERT_EQ(widgets(cut), "board") << direction;
        EXPECT_TRUE(cut[0].detail.contains("column 2: its title \"Ask\"")) << cut[0].detail.toStdString();
    }
    // A title that starts where the part in sight does: the prices alone are cut.
    table->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    window.setLayoutDirection(Qt::LeftToRight);
    const auto prices = faultsOf(window, LayoutFault::Kind::CutByPane);
    ASSERT_EQ(widgets(prices), "board");
    EXPECT_TRUE(prices[0].detail.contains("column 2: row 0, \"1.08511\"")) << prices[0].detail.toStdString();
}

TEST(LayoutCheck, ToolbarItemsBehindTheExtensionArrowAreOutOfSight) {
    QMainWindow window;
    auto* toolbar = window.addToolBar(QStringLiteral("tools"));
    toolbar->setObjectName(QStringLiteral("tools"));
    toolbar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    for (const char* text : {"New Order", "Account Statement", "Deposits and Withdrawals", "News"})
        toolbar->addAction(QString::fromLatin1(text));
    toolbar->addSeparator();
    toolbar->addAction(QStringLiteral("Hidden"))->setVisible(false);
    window.setCentralWidget(new QWidget);
    window.resize(900, 200);
    window.show();
    EXPECT_TRUE(faultsOf(window, LayoutFault::Kind::Elided).empty());

    window.resize(200, 200);
    const auto elided = faultsOf(window, LayoutFault::Kind::Elided);
    ASSERT_EQ(elided.size(), 1u) << widgets(elided).toStdString();
    EXPECT_EQ(elided[0].widget, "tools");
    EXPECT_TRUE(elided[0].detail.contains("\"News\"")) << elided[0].detail.toStdString();
    EXPECT_FALSE(elided[0].detail.contains("Hidden"));
    EXPECT_FALSE(elided[0].detail.contains("New Order")) << "the first item fits";
}

TEST(LayoutCheck, TheSmallestSizeIsTheLayoutsMinimumOrTheSizeOfAWindowThatCannotResize) {
    QDialog sheet;
    auto* layout = new QHBoxLayout(&sheet);
    auto* button = new QPushButton(QStringLiteral("A button of some width"), &sheet);
    button->setMinimumHeight(60);
    layout->addWidget(button);
    sheet.resize(600, 300);
    const QSize least = tc::gui::smallestSize(&sheet);
    EXPECT_EQ(least, layout->totalMinimumSize());
    EXPECT_LT(least.width(), 600);
    EXPECT_GE(least.height(), 60);

    QDialog fixed;
    fixed.setFixedSize(320, 180);
    EXPECT_EQ(tc::gui::smallestSize(&fixed), QSize(320, 180));
}

} // namespace

namespace {

// A quantity to the right of its column beside a side to the left of its own, under titles set so:
// the texts of the two columns stand only the cells' and titles' margins apart.
struct TouchingColumns {
    explicit TouchingColumns(QStyle* style = nullptr) : model(2, 3) {
        model.setHorizontalHeaderLabels({"Quantity", "Side", "Account"});
        for (int column = 0; column < 3; ++column)
            model.setHeaderData(
                column, Qt::Horizontal,
                QVariant::fromValue(Qt::Alignment(column == 1 ? Qt::AlignLeft : Qt::AlignRight)),
                Qt::TextAlignmentRole);
        for (int row = 0; row < 2; ++row)
            for (const auto& [column, text] : {std::pair{0, "1.5"}, {1, "B"}, {2, "20001"}}) {
                model.setItem(row, column, new QStandardItem(QString::fromLatin1(text)));
                model.item(row, column)
                    ->setTextAlignment((column == 1 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
            }
        auto* layout = new QVBoxLayout(&window);
        table = new QTableView(&window);
        table->setObjectName(QStringLiteral("positions"));
        if (style) {
            table->setStyle(style);
            table->horizontalHeader()->setStyle(style);
        }
        table->verticalHeader()->hide();
        table->setModel(&model);
        layout->addWidget(table);
        window.resize(600, 200);
        window.show();
        // The side column wide, so that its text stands far from the account's figures.
        table->setColumnWidth(1, 200);
    }
    QWidget window;
    QStandardItemModel model;
    QTableView* table = nullptr;
};

// The plain style keeps a few pixels beside a cell's or a title's text: neighbours read as one
// phrase. Found for the titles first, then for the cells, in either direction.
TEST(LayoutCheck, NeighbouringColumnsWhoseTextsTouchAreFound) {
    std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
    TouchingColumns columns(fusion.get());
    for (Qt::LayoutDirection direction : {Qt::LeftToRight, Qt::RightToLeft}) {
        SCOPED_TRACE(direction);
        columns.window.setLayoutDirection(direction);
        columns.table->horizontalHeader()->show();
        auto touching = faultsOf(columns.window, LayoutFault::Kind::ColumnsTouch);
        ASSERT_EQ(widgets(touching), "positions");
        EXPECT_TRUE(touching[0].detail.startsWith("columns 0 and 1: the titles \"Quantity\" and \"Side\"") ||
                    touching[0].detail.startsWith("columns 1 and 0: the titles \"Side\" and \"Quantity\""))
            << touching[0].detail.toStdString();
        columns.table->horizontalHeader()->hide();
        touching = faultsOf(columns.window, LayoutFault::Kind::ColumnsTouch);
        ASSERT_EQ(widgets(touching), "positions");
        EXPECT_TRUE(touching[0].detail.contains("row 0, \"1.5\" and \"B\"") ||
                    touching[0].detail.contains("row 0, \"B\" and \"1.5\""))
            << touching[0].detail.toStdString();
    }
}

class ProgramStyleColumns : public guitest::ShellTest {};

// The program's style keeps a column gap between any two neighbours, whatever their alignments,
// in the default font and in a large one.
TEST_F(ProgramStyleColumns, KeepAColumnGapBetweenTheTextsOfNeighbours) {
    TouchingColumns columns;
    for (int size : {0, 20}) {
        if (size > 0) {
            QFont large = columns.table->font();
            large.setPointSize(size);
            columns.table->setFont(large);
            columns.table->horizontalHeader()->setFont(large);
        }
        for (int column = 0; column < 3; ++column)
            columns.table->resizeColumnToContents(column);
        for (Qt::LayoutDirection direction : {Qt::LeftToRight, Qt::RightToLeft}) {
            columns.window.setLayoutDirection(direction);
            EXPECT_EQ(widgets(faultsOf(columns.window, LayoutFault::Kind::ColumnsTouch)), "")
                << size << ' ' << direction;
        }
    }
}

} // namespace
