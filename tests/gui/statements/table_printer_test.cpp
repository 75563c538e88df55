// Tables printed to PDF and read back, and on-screen tables copied for printing.
#include "gui/grid/grid_model.h"
#include "gui/gui_test_support.h"
#include "gui/statements/table_printer.h"
#include "gui/texts.h"

#include <QHeaderView>
#include <QPrinter>
#include <QRegularExpression>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace texts = tc::gui::texts;

namespace {

using tc::gui::GridModel;
using tc::gui::PrintRows;
using tc::gui::TablePrinter;

TEST(TablePrinter, CopiesTheVisibleColumnsInDisplayOrder) {
    QStandardItemModel model(2, 3);
    const char* identifiers[] = {texts::kAccount, texts::kSymbol, "27"};
    for (int c = 0; c < 3; ++c) {
        model.setHeaderData(c, Qt::Horizontal, QString::number(c), Qt::DisplayRole);
        model.setHeaderData(c, Qt::Horizontal, identifiers[c], GridModel::IdentifierRole);
        for (int r = 0; r < 2; ++r)
            model.setItem(r, c, new QStandardItem(QStringLiteral("r%1c%2").arg(r).arg(c)));
    }
    // The quantity's figures stand right, the account's cells say nothing.
    for (int r = 0; r < 2; ++r)
        model.item(r, 2)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QTableView view;
    view.setModel(&model);
    view.setColumnHidden(1, true);
    view.horizontalHeader()->moveSection(2, 0); // the quantity column first
    EXPECT_EQ(tc::gui::printRowsOf(view, 0, GridModel::IdentifierRole),
              (PrintRows{{"Quantity", "Account"}, {"r0c2", "r0c0"}, {"r1c2", "r1c0"}}));
    EXPECT_EQ(
        tc::gui::printAlignmentsOf(view),
        (std::vector<tc::gui::CellAlignment>{tc::gui::CellAlignment::Right, tc::gui::CellAlignment::Left}));
    // Without identifiers a column is titled by its header's text.
    EXPECT_EQ(tc::gui::printRowsOf(view, 0, Qt::UserRole + 99).front(), (std::vector<std::string>{"2", "0"}));
}

TEST(TablePrinter, EveryRowReachesPaperUnderItsHeadingAndARepeatedHeader) {
    QTemporaryDir dir;
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath("table.pdf"));

    PrintRows rows{{"Ticket", "Narration"}};
    for (int i = 1; i <= 150; ++i)
        rows.push_back(
            {"T" + std::to_string(1000 + i), i % 10 ? "deposit" : std::string(60, 'w') + " wrapped"});
    TablePrinter table(QStringLiteral("Account Statement"));
    table.addHeading(QStringLiteral("Transactions"));
    table.addTable(rows);
    ASSERT_TRUE(table.print(printer));
    const std::size_t pages = table.pagesPrinted();
    ASSERT_GT(pages, 2u);

    const QString text = guitest::pdfText(printer.outputFileName());
    ASSERT_FALSE(text.isEmpty());
    for (int i = 1; i <= 150; ++i)
        EXPECT_EQ(text.count(QStringLiteral("T%1").arg(1000 + i)), 1) << "row " << i;
    EXPECT_EQ(text.count("Transactions"), 1);
    EXPECT_EQ(text.count("Narration"), static_cast<int>(pages)) << "the header heads every page";
    EXPECT_EQ(text.count("Account Statement"), static_cast<int>(pages));
    EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("\\b%1 ?/ ?%1\\b").arg(pages))))
        << "the last page's footer counts the pages";
}

TEST(TablePrinter, TablesOfDifferentWidthsPrintTheirOwnColumns) {
    QTemporaryDir dir;
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath("tables.pdf"));
    TablePrinter tables(QStringLiteral("Statement"));
    tables.addTable({{"Alpha", "Beta", "Gamma"}, {"a1", "b1", "c1"}});
    tables.addHeading(QStringLiteral("Totals"));
    // A value the page's "MM/dd/yyyy HH:mm" stamp cannot hold: "42" is in it at minute 42.
    tables.addTable({{"Sum"}, {"42.50"}});
    tables.addTable({}); // nothing to print: left out
    ASSERT_TRUE(tables.print(printer));
    EXPECT_EQ(tables.pagesPrinted(), 1u);
    const QStringList lines = guitest::pdfText(printer.outputFileName()).split('\n', Qt::SkipEmptyParts);
    const auto lineOf = [&](const QString& text) {
        for (int i = 0; i < lines.size(); ++i)
            if (lines[i].contains(text))
                return i;
        return -1;
    };
    ASSERT_GE(lineOf("Alpha"), 0);
    EXPECT_TRUE(lines[lineOf("Alpha")].contains(QRegularExpression("Alpha +Beta +Gamma")));
    EXPECT_TRUE(lines[lineOf("a1")].contains(QRegularExpression("a1 +b1 +c1")));
    EXPECT_LT(lineOf("c1"), lineOf("Totals"));
    EXPECT_LT(lineOf("Totals"), lineOf("Sum"));
    EXPECT_EQ(lines[lineOf("Sum")].simplified(), "Sum") << "the second table has its one column";
    EXPECT_LT(lineOf("Sum"), lineOf("42.50"));
}

} // namespace
