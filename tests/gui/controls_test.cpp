#include "gui/app/window_shake.h"
#include "gui/controls/input_filters.h"
#include "gui_test_support.h"

#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QPropertyAnimation>

namespace {

TEST(InputFilters, TypedAndPastedTextIsHeldToTheSameRule) {
    QLineEdit price;
    gui::installDecimalFilter(&price);
    price.show();
    QTest::keyClicks(&price, "1.5.a7");
    EXPECT_EQ(price.text(), "1.57");

    QLineEdit empty;
    gui::installDecimalFilter(&empty);
    QApplication::clipboard()->setText("1.2.3");
    empty.paste();
    EXPECT_EQ(empty.text(), "");
    QApplication::clipboard()->setText("12.5");
    empty.paste();
    EXPECT_EQ(empty.text(), "12.5");

    QLineEdit port;
    gui::installPortFilter(&port);
    QTest::keyClicks(&port, "51x0099");
    EXPECT_EQ(port.text(), "51009");
    QTest::keyClick(&port, Qt::Key_Backspace);
    EXPECT_EQ(port.text(), "5100");

    QComboBox quantity;
    quantity.setEditable(true);
    gui::installDecimalFilter(&quantity);
    QTest::keyClicks(quantity.lineEdit(), "0.1.");
    EXPECT_EQ(quantity.currentText(), "0.1");
}

TEST(WindowShake, TheWindowComesToRestWhereItWasAlsoWhenShakenAgainMidSwing) {
    QWidget window;
    window.setGeometry(200, 150, 300, 200);
    window.show();
    const QPoint rest = window.pos();
    gui::shakeWindow(&window);
    ASSERT_TRUE(guitest::waitFor([&] { return window.pos() != rest; }));
    gui::shakeWindow(&window); // a second refusal while swinging
    EXPECT_TRUE(guitest::waitFor([&] { return !window.findChild<QPropertyAnimation*>(); }));
    EXPECT_EQ(window.pos(), rest);
}

} // namespace
