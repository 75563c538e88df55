#include "gui/app/window_shake.h"
#include "gui/controls/chart_drop_area.h"
#include "gui/controls/decimal_text_field.h"
#include "gui/controls/header_editor.h"
#include "gui/controls/input_filters.h"
#include "gui/gui_test_support.h"

#include <QClipboard>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QMimeData>
#include <QPropertyAnimation>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTableView>

namespace {

TEST(InputFilters, TypedAndPastedTextIsHeldToTheSameRule) {
    QLineEdit price;
    tc::gui::installDecimalFilter(&price);
    price.show();
    QTest::keyClicks(&price, "1.5.a7");
    EXPECT_EQ(price.text(), "1.57");

    QLineEdit empty;
    tc::gui::installDecimalFilter(&empty);
    QApplication::clipboard()->setText("1.2.3");
    empty.paste();
    EXPECT_EQ(empty.text(), "");
    QApplication::clipboard()->setText("12.5");
    empty.paste();
    EXPECT_EQ(empty.text(), "12.5");

    QLineEdit port;
    tc::gui::installPortFilter(&port);
    QTest::keyClicks(&port, "51x0099");
    EXPECT_EQ(port.text(), "51009");
    QTest::keyClick(&port, Qt::Key_Backspace);
    EXPECT_EQ(port.text(), "5100");

    QComboBox quantity;
    quantity.setEditable(true);
    tc::gui::installDecimalFilter(&quantity);
    QTest::keyClicks(quantity.lineEdit(), "0.1.");
    EXPECT_EQ(quantity.currentText(), "0.1");
}

TEST(DecimalTextField, TypingAndPastingStopAtTheDecimalLimit) {
    tc::gui::DecimalTextField amount;
    amount.show();
    QTest::keyClicks(&amount, "12.5.07");
    EXPECT_EQ(amount.text(), "12.50"); // the second point and the third decimal are refused
    EXPECT_EQ(amount.decimalPlaces(), 2);
    amount.setCursorPosition(0);
    QTest::keyClicks(&amount, "9");
    EXPECT_EQ(amount.text(), "912.50");
    amount.end(false);
    QTest::keyClick(&amount, Qt::Key_Backspace);
    EXPECT_EQ(amount.text(), "912.5");

    amount.clear();
    QApplication::clipboard()->setText("1.2.3");
    amount.paste();
    EXPECT_EQ(amount.text(), "");
    QApplication::clipboard()->setText("0.125");
    amount.paste();
    EXPECT_EQ(amount.text(), "");
    QApplication::clipboard()->setText("2x");
    amount.paste();
    EXPECT_EQ(amount.text(), "");

    amount.setMaximumDecimals(5); // a price at the instrument's decimals
    amount.paste();
    EXPECT_EQ(amount.text(), "");
    QApplication::clipboard()->setText("1.23456");
    amount.paste();
    EXPECT_EQ(amount.text(), "1.23456");
    QTest::keyClicks(&amount, "7");
    EXPECT_EQ(amount.text(), "1.23456");
}

TEST(WindowShake, TheWindowComesToRestWhereItWasAlsoWhenShakenAgainMidSwing) {
    QWidget window;
    window.setGeometry(200, 150, 300, 200);
    window.show();
    const QPoint rest = window.pos();
    tc::gui::shakeWindow(&window);
    ASSERT_TRUE(guitest::waitFor([&] { return window.pos() != rest; }));
    tc::gui::shakeWindow(&window); // a second refusal while swinging
    EXPECT_TRUE(guitest::waitFor([&] { return !window.findChild<QPropertyAnimation*>(); }));
    EXPECT_EQ(window.pos(), rest);
}

} // namespace

namespace {

TEST(ChartDropArea, TakesACopiedCodeAndRefusesOtherDrags) {
    tc::gui::ChartDropArea slot;
    slot.setObjectName("Chart3");
    QSignalSpy dropped(&slot, &tc::gui::ChartDropArea::symbolDropped);
    QMimeData code;
    code.setText("EURUSD");

    QDragEnterEvent moveOnly(QPoint(5, 5), Qt::MoveAction, &code, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&slot, &moveOnly);
    EXPECT_FALSE(moveOnly.isAccepted());
    QDragEnterEvent copy(QPoint(5, 5), Qt::CopyAction | Qt::MoveAction, &code, Qt::LeftButton,
                         Qt::NoModifier);
    QApplication::sendEvent(&slot, &copy);
    EXPECT_TRUE(copy.isAccepted());

    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &code, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&slot, &drop);
    ASSERT_EQ(dropped.count(), 1);
    EXPECT_EQ(dropped.front(), (QList<QVariant>{"EURUSD", "Chart3"}));
}

TEST(HeaderEditor, EditsTheNumberOfAHeaderAndReportsTheFinalTextEvenEmpty) {
    QStandardItemModel model(1, 2);
    model.setHorizontalHeaderLabels({"Symbol", "1.5 lots"});
    QTableView table;
    table.setModel(&model);
    table.show();
    tc::gui::HeaderEditor editor(table.horizontalHeader());
    QSignalSpy edited(&editor, &tc::gui::HeaderEditor::edited);

    editor.edit(1);
    auto* field = table.horizontalHeader()->findChild<QLineEdit*>("headerEditor");
    ASSERT_TRUE(field && field->isVisible());
    EXPECT_EQ(field->text(), "1.5");
    QTest::keyClicks(field, "2.5x");
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(edited.count(), 1);
    EXPECT_EQ(edited.front().front().toString(), "2.5");

    editor.edit(1);
    field->clear();
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(edited.back().front().toString(), "");
}

} // namespace
