#include "gui/app/language.h"
#include "gui/app/theme_manager.h"
#include "gui/app/window_shake.h"
#include "gui/controls/chart_drop_area.h"
#include "gui/controls/decimal_text_field.h"
#include "gui/controls/entry_marks.h"
#include "gui/controls/entry_refusal.h"
#include "gui/controls/header_editor.h"
#include "gui/controls/input_filters.h"
#include "gui/controls/input_rules.h"
#include "gui/controls/text_entry_rules.h"
#include "gui/gui_test_support.h"
#include "gui/texts.h"
#include "platform/user_defaults.h"

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

namespace texts = tc::gui::texts;

// What a numeric field says of `text`, in English, as every window words it.
QString refusalOf(const QString& text, std::string_view fieldKey, tc::platform::EntryRules rules = {}) {
    const auto entry = tc::platform::readNumberEntry(text.toStdString(), rules);
    return tc::gui::refusalWords(0, tc::gui::numberEntryRefusal(entry, rules), fieldKey);
}

TEST(InputFilters, TextThatIsNoNumberStaysAsTypedAndIsRefusedWithItsReason) {
    // A dropped comma or letter left another number ("0,5" became 5 lots): the text stays whole.
    for (const char* typed : {"0,5", "1.5.a7", "1e5", "1 000", "-1"}) {
        SCOPED_TRACE(typed);
        QLineEdit quantity;
        tc::gui::installDecimalFilter(&quantity);
        quantity.show();
        guitest::typeOver(&quantity, typed);
        EXPECT_EQ(quantity.text(), typed);
        EXPECT_FALSE(quantity.hasAcceptableInput());
        EXPECT_FALSE(refusalOf(quantity.text(), texts::kQuantity).isEmpty());
    }
    EXPECT_EQ(refusalOf("0,5", texts::kQuantity),
              "Quantity holds a comma. Numbers take a point for decimals and no thousands separators: "
              "type 1000.5, not 1,000.5 or 1000,5.");
    EXPECT_EQ(refusalOf("abc", texts::kQuantity),
              "Quantity is not a number. Type digits with at most one point, for example 1000.5.");
    EXPECT_EQ(refusalOf("0.5", texts::kQuantity), "");

    QLineEdit pasted;
    tc::gui::installDecimalFilter(&pasted);
    QApplication::clipboard()->setText("1.2.3");
    pasted.paste();
    EXPECT_EQ(pasted.text(), "1.2.3");
    EXPECT_FALSE(pasted.hasAcceptableInput());
    pasted.clear();
    // Past any number's length: kept whole, not dropped, and refused as too long.
    QApplication::clipboard()->setText(QString(320, '9'));
    pasted.paste();
    EXPECT_EQ(pasted.text(), QString(320, '9'));
    EXPECT_FALSE(pasted.hasAcceptableInput());
    EXPECT_EQ(refusalOf(pasted.text(), texts::kQuantity),
              "Quantity is longer than 64 characters. Enter at most 64 characters.");
    pasted.clear();
    QApplication::clipboard()->setText("12.5");
    pasted.paste();
    EXPECT_EQ(pasted.text(), "12.5");
    EXPECT_TRUE(pasted.hasAcceptableInput());

    QLineEdit port;
    tc::gui::installPortFilter(&port);
    port.show();
    guitest::typeOver(&port, "51x0099");
    EXPECT_EQ(port.text(), "51x0099"); // not 51009
    EXPECT_FALSE(port.hasAcceptableInput());
    port.clear();
    QApplication::clipboard()->setText(QString(70, '5'));
    port.paste();
    EXPECT_EQ(port.text(), QString(70, '5')); // kept, not dropped
    EXPECT_FALSE(port.hasAcceptableInput());
    port.setText("5100");
    EXPECT_TRUE(port.hasAcceptableInput());

    QComboBox quantity;
    quantity.setEditable(true);
    tc::gui::installDecimalFilter(&quantity);
    quantity.show();
    guitest::typeOver(quantity.lineEdit(), "0.1.");
    EXPECT_EQ(quantity.currentText(), "0.1.");
    EXPECT_FALSE(quantity.lineEdit()->hasAcceptableInput());
}

TEST(DecimalTextField, DecimalsPastTheLimitStayAndAreRefusedNotCut) {
    tc::gui::DecimalTextField amount;
    amount.show();
    guitest::typeOver(&amount, "12.507");
    EXPECT_EQ(amount.text(), "12.507"); // not 12.50: the third decimal is shown and refused
    EXPECT_FALSE(amount.hasAcceptableInput());
    EXPECT_EQ(refusalOf(amount.text(), texts::kAmount, {false, 2}),
              "Amount has too many decimals. Type at most 2 digits after the point.");
    guitest::pressKey(Qt::Key_Backspace);
    EXPECT_EQ(amount.text(), "12.50");
    EXPECT_TRUE(amount.hasAcceptableInput());

    amount.clear();
    QApplication::clipboard()->setText("1,000");
    amount.paste();
    EXPECT_EQ(amount.text(), "1,000");
    EXPECT_FALSE(amount.hasAcceptableInput());

    amount.clear();
    amount.setMaximumDecimals(5); // a price at the instrument's decimals
    QApplication::clipboard()->setText("1.23456");
    amount.paste();
    EXPECT_EQ(amount.text(), "1.23456");
    EXPECT_TRUE(amount.hasAcceptableInput());
}

TEST(EntryRefusal, OneWordingNamesTheFieldAndItsLimitOrFillsTheFigureOfARefusalNamingNoField) {
    using tc::gui::refusalWords;
    EXPECT_EQ(refusalWords(0, {texts::kTooManyDigits, "5"}, texts::kDeviation),
              "Deviation has too many digits. Type at most 5 digits.");
    EXPECT_EQ(refusalWords(0, {}, texts::kQuantity), "");
    // The amount cap names no field: its figure fills {0}; a text without figure stands as it is.
    EXPECT_EQ(refusalWords(0, {texts::kAmountAboveMostOneRequest, "1,000.00"}, {}),
              "The amount is above 1,000.00, the most one request can carry. Please enter a smaller amount.");
    EXPECT_EQ(refusalWords(0, {texts::kEnterAmountGreaterThanZero, {}}, {}),
              "Please enter an amount greater than zero.");
    // A field named by its label; a placeholder in the name stays as it is.
    const std::string decimals(tc::gui::wholeNumberFaultKey("2.5", tc::platform::EntryFault::NotANumber));
    EXPECT_EQ(tc::gui::refusalNaming(0, {decimals, {}}, "Period {1}"),
              "Period {1} holds decimals. Type a whole number, without a point.");
    // A whole number too large is told so with a whole number for its example, never a point.
    const std::string tooLarge(
        tc::gui::wholeNumberFaultKey(std::string(16, '9'), tc::platform::EntryFault::TooLarge));
    EXPECT_EQ(refusalWords(0, {tooLarge, {}, texts::kAccount}),
              "Account is too large. Type a whole number of at most 15 digits, for example 20001.");
    // A text the wire cannot carry is worded alike.
    EXPECT_EQ(refusalWords(0, tc::gui::Refusal{texts::kLongerThanCharacters, "4000", texts::kMessage}),
              "Message is longer than 4000 characters. Enter at most 4000 characters.");
    EXPECT_EQ(refusalWords(0, tc::gui::Refusal{texts::kEnterName}),
              tc::gui::lookupText(0, texts::kEnterName));
}

// A field that holds a refused text is painted as the ticket paints a refused price, a combo box on
// its field; both come back to the field's own look.
TEST(EntryMarks, RefusedEntriesAndCheckedPricesShareOnePaintAndClearToTheFieldsOwnLook) {
    using tc::gui::ThemeRole;
    auto defaults = tc::platform::UserDefaults::inMemory();
    tc::gui::ThemeManager themes(*defaults);
    QLineEdit amount;
    QLineEdit price;
    QComboBox quantity;
    quantity.setEditable(true);
    for (QWidget* field :
         {static_cast<QWidget*>(&amount), static_cast<QWidget*>(&price), static_cast<QWidget*>(&quantity)}) {
        field->resize(120, 30);
        field->show();
    }
    const auto ground = [](QWidget* field) {
        return field->grab().toImage().pixelColor(field->width() / 2, field->height() / 2);
    };
    const QColor own = ground(&amount);
    const QColor red = themes.colour(ThemeRole::PriceInvalidGround);
    ASSERT_NE(own, red);

    tc::gui::markEntry(&amount, "Amount holds a comma.", themes);
    tc::gui::markEntry(&quantity, "Quantity is empty.", themes);
    tc::gui::paintEntry(&price, false, themes);
    EXPECT_EQ(ground(&amount), red);
    EXPECT_EQ(ground(quantity.lineEdit()), red);
    EXPECT_EQ(ground(&price), red);
    EXPECT_EQ(amount.toolTip(), "Amount holds a comma.");
    EXPECT_EQ(quantity.accessibleDescription(), "Quantity is empty.");
    EXPECT_TRUE(price.toolTip().isEmpty()); // the colour alone
    tc::gui::paintEntry(&price, true, themes);
    EXPECT_EQ(ground(&price), themes.colour(ThemeRole::PriceValidGround));

    tc::gui::markEntry(&amount, {}, themes);
    tc::gui::paintEntry(&price, std::nullopt, themes);
    EXPECT_EQ(ground(&amount), own);
    EXPECT_EQ(ground(&price), own);
    EXPECT_TRUE(amount.toolTip().isEmpty());
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

TEST(HeaderEditor, EditsTheNumberOfAHeaderAndReportsTheFinalTextWhateverItHolds) {
    QStandardItemModel model(1, 3);
    model.setHorizontalHeaderLabels({"Symbol", "1.5", "2 lots"});
    QTableView table;
    table.setModel(&model);
    table.show();
    tc::gui::HeaderEditor editor(table.horizontalHeader());
    QSignalSpy edited(&editor, &tc::gui::HeaderEditor::edited);
    // The trader is at the table before a header is edited.
    ASSERT_TRUE(guitest::clickInto(table.viewport(), table.visualRect(model.index(0, 0)).center()));

    editor.edit(1);
    auto* field = table.horizontalHeader()->findChild<QLineEdit*>("headerEditor");
    ASSERT_TRUE(field && field->isVisible());
    EXPECT_EQ(field->text(), "1.5");
    // The field opens with the focus and its text selected: what is typed replaces it.
    ASSERT_EQ(QApplication::focusWidget(), field);
    guitest::typeKeys("2,5");
    EXPECT_EQ(field->text(), "2,5"); // kept as typed, not read as 25
    // Return ends the edit with the text as it stands, for the owner to read whole or refuse.
    guitest::pressKey(Qt::Key_Return);
    ASSERT_EQ(edited.count(), 1);
    EXPECT_EQ(edited.back().front().toString(), "2,5");
    EXPECT_FALSE(field->isVisible());

    // A title that is no number starts the field empty: no digits are picked out of it.
    editor.edit(2);
    EXPECT_EQ(field->text(), "");
    ASSERT_EQ(QApplication::focusWidget(), field);
    guitest::pressKey(Qt::Key_Return);
    ASSERT_EQ(edited.count(), 2);
    EXPECT_EQ(edited.back().front().toString(), "");
}

} // namespace
