// The order ticket against the in-process test server, signed in as demo: it opens for the watch
// list's first instrument, places market orders through its confirmation and limit orders straight
// away, shows the order rules' refusals on itself, sends one order over three accounts, and says what
// became of an order the line lost before its answer.
#include "gui/app/common_alert.h"
#include "gui/app/gui_objects.h"
#include "gui/app/language.h"
#include "gui/charts/chart_controller.h"
#include "gui/controls/decimal_text_field.h"
#include "gui/controls/price_stepper.h"
#include "gui/funding/withdrawal_request_window_controller.h"
#include "gui/grid/grid_cells.h"
#include "gui/main/main_window_controller.h"
#include "gui/market/advanced_watchlist_table_controller.h"
#include "gui/market/market_depth_table_controller.h"
#include "gui/models/session_fixture.h"
#include "gui/texts.h"
#include "gui/trading/multi_account_model.h"
#include "gui/trading/trade_ticket_window_controller.h"
#include "model/data_service_collections.h"
#include "model/records/account_details.h"
#include "model/records/item_details.h"
#include "model/records/order.h"
#include "model/session_queries.h"

#include <QAbstractItemModelTester>
#include <QAbstractScrollArea>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QToolButton>
#include <QWindow>

#include <algorithm>
#include <functional>
#include <iterator>
#include <set>

namespace texts = tc::gui::texts;

namespace {

using guitest::waitFor;
using tc::gui::MultiAccountTableModel;
using tc::gui::TradeTicketWindowController;

class TradeTicketTest : public guitest::SessionTest {
protected:
    // The ticket's account (20001) may send a price deviation, so the deviation box is offered.
    void seedMarket(testserver::Market& market) override {
        for (auto& account : market.accounts)
            if (account.id == 20001)
                account.settings |= 2;
    }
    void SetUp() override {
        holdPrices = true;
        SessionTest::SetUp();
        context->setClientModel(session.get());
        ASSERT_TRUE(signIn());
        // The login's lists in, so that the records a test counts before hold what the server had.
        ASSERT_TRUE(waitFor([&] {
            const auto& queries = session->client().queries();
            return queries.getOpenOrderCollection().size() >= 2 &&
                   !queries.getSettledOrderCollection().empty() &&
                   !queries.getCancelledOrderCollection().empty();
        }));
        ASSERT_TRUE(waitFor([&] {
            const auto list = session->client().watchList();
            if (list.empty())
                return false;
            const auto* item = session->client().model().ItemCollection.get(list.front());
            return item && *item && (*item)->Bid.toDouble() > 0;
        }));
    }
    void TearDown() override {
        delete ticket.data();
        SessionTest::TearDown();
    }

    TradeTicketWindowController& open() {
        context->guiObjects().showTradeTicket(nullptr);
        ticket = context->guiObjects().tradeTicketWindowController();
        return *ticket;
    }
    template <class T>
    T* child(const char* name) const {
        return ticket->findChild<T*>(QString::fromLatin1(name));
    }
    std::size_t countOf(const tc::OrderView& orders, std::int32_t account) const {
        std::size_t n = 0;
        for (const auto& o : orders)
            if (o->AccountNumber == std::to_string(account) && o->ItemCode == ticket->itemCode())
                ++n;
        return n;
    }
    std::size_t positions(std::int32_t account) const {
        return countOf(session->client().queries().getOpenOrderCollection(), account);
    }
    std::size_t pendingOrders(std::int32_t account) const {
        return countOf(session->client().queries().getPendingOrderCollection(), account);
    }
    void chooseOrderType(const char* name) {
        auto* box = child<QComboBox>("OrderTypeComboBox");
        const int at = box->findText(QString::fromLatin1(name));
        ASSERT_GE(at, 0) << name;
        box->setCurrentIndex(at);
        Q_EMIT box->activated(at);
    }
    void setQuantity(const QString& quantity) {
        auto* box = child<QComboBox>("QuantityComboBox");
        box->setEditText(quantity);
    }
    QMessageBox* refusal() const {
        return tc::gui::CommonAlert::showing(ticket, QStringLiteral("ticketRefusal"));
    }
    // A field's refusal as the ticket words it: the fault's text naming the field.
    QString words(const char* key, const char* field, const QString& limit = {}) const {
        return context->text(key).replace("{0}", context->text(field)).replace("{1}", limit);
    }
    // Clicked into, all of it selected and typed over, as a trader does.
    static void typeInto(QLineEdit* field, const QString& text) { guitest::typeOver(field, text); }
    // Clicked into, all of it selected and the clipboard pasted over it with Ctrl+V.
    static void pasteInto(QLineEdit* field, const QString& text) {
        QApplication::clipboard()->setText(text);
        ASSERT_TRUE(guitest::clickInto(field));
        guitest::pressKey(Qt::Key_A, Qt::ControlModifier);
        guitest::pressKey(Qt::Key_V, Qt::ControlModifier);
    }
    // The button's refusal, then the alert gone; empty when none showed.
    QString refusedBy(QAbstractButton* button) {
        QTest::mouseClick(button, Qt::LeftButton);
        QMessageBox* alert = refusal();
        if (!alert)
            return {};
        const QString text = alert->informativeText();
        alert->close();
        return text;
    }

    QPointer<TradeTicketWindowController> ticket;
};

TEST_F(TradeTicketTest, OpensForTheFirstWatchedInstrumentWithItsAccountsQuoteAndDrawers) {
    open();
    ASSERT_TRUE(ticket);
    EXPECT_TRUE(ticket->isVisible());
    EXPECT_EQ(ticket->itemCode(), session->client().watchList().front());
    EXPECT_FALSE(ticket->isAdvancedMode());
    EXPECT_GT(child<QComboBox>("AccountComboBox")->count(), 0);
    EXPECT_EQ(child<QComboBox>("AccountComboBox")->currentText().toInt(), ticket->accountId());
    // Choosing another account in the box trades on it.
    auto* accounts = child<QComboBox>("AccountComboBox");
    ASSERT_GT(accounts->count(), 1);
    const int last = accounts->count() - 1;
    accounts->setCurrentIndex(last);
    Q_EMIT accounts->activated(last);
    EXPECT_EQ(ticket->accountId(), accounts->itemText(last).toInt());
    accounts->setCurrentIndex(0);
    Q_EMIT accounts->activated(0);
    EXPECT_GT(child<QComboBox>("QuantityComboBox")->count(), 1);
    EXPECT_EQ(child<QComboBox>("QuantityComboBox")->itemText(0), "0");
    EXPECT_FALSE(child<tc::gui::PriceButton>("buyButton")->price().isEmpty());
    EXPECT_FALSE(child<QLabel>("SpreadTextLabel")->text().isEmpty());
    EXPECT_FALSE(child<QWidget>("AdvancedTradeTicketBox")->isEnabled());
    for (const QObject* o : ticket->findChildren<QObject*>()) {
        const QString key = o->property("langKey").toString();
        if (key.isEmpty())
            continue;
        EXPECT_NE(context->text(key.toStdString()), key) << "English text missing for " << key.toStdString();
    }

    // The right drawer: both ladders and the bid and ask chart follow the instrument.
    const int narrow = ticket->width();
    ticket->toggleRightDrawer();
    EXPECT_TRUE(ticket->isMarketDepthOpen());
    EXPECT_TRUE(ticket->buyDepth()->isVisible());
    EXPECT_EQ(ticket->buyDepth()->itemCode(), ticket->itemCode());
    EXPECT_EQ(ticket->sellDepth()->itemCode(), ticket->itemCode());
    EXPECT_EQ(ticket->tradeChart()->chart().code(), ticket->itemCode());
    EXPECT_GT(ticket->width(), narrow);

    // Closing lets both drawers go and stops the refresh; the next opening starts them again.
    ticket->close();
    EXPECT_FALSE(ticket->isMarketDepthOpen());
    context->guiObjects().showTradeTicket(nullptr);
    EXPECT_EQ(context->guiObjects().tradeTicketWindowController(), ticket.data()); // one ticket
    EXPECT_TRUE(ticket->isVisible());

    // Signed out: the ticket lets go of the session and goes; the next sign-in makes a new one.
    context->setClientModel(nullptr);
    EXPECT_FALSE(ticket->isVisible());
    EXPECT_TRUE(waitFor([&] { return ticket.isNull(); }));
    EXPECT_FALSE(context->guiObjects().getTradeTicketWindowController());
}

TEST_F(TradeTicketTest, TheMainWindowAndTheTilesOpenItAndAnEmptiedWatchListClosesIt) {
    const auto watched = session->client().watchList();
    ASSERT_GE(watched.size(), 2u);
    auto* window = new tc::gui::MainWindowController(*context);
    window->show();
    auto* action = window->findChild<QAction*>(QStringLiteral("actionTradeTicket"));
    ASSERT_TRUE(action);
    ASSERT_TRUE(action->isEnabled());
    action->trigger();
    ticket = context->guiObjects().tradeTicketWindowController();
    ASSERT_TRUE(ticket);
    EXPECT_TRUE(ticket->isVisible());
    EXPECT_EQ(ticket->itemCode(), watched.front());
    EXPECT_EQ(ticket->parentWidget(), window); // above its owner

    // A tile's sell button: the ticket for that tile's instrument.
    auto* tiles = window->findChild<tc::gui::AdvancedWatchlistTableController*>();
    ASSERT_TRUE(tiles);
    ASSERT_GE(tiles->tileCount(), 2);
    tiles->tile(1)->sellButton->click();
    EXPECT_EQ(ticket->itemCode(), watched[1]);
    EXPECT_EQ(child<QComboBox>("SymbolComboBox")->currentText().toStdString(), watched[1]);

    session->client().setWatchList({});
    ticket->updateItemsInSymbolComboBox();
    EXPECT_FALSE(ticket->isVisible());
    action->trigger(); // nothing to trade
    EXPECT_FALSE(ticket->isVisible());
}

// While the server is silent its prices are not current: the ticket's price buttons grey and start
// nothing, as the tiles' do, until it answers again.
TEST_F(TradeTicketTest, ASilentServerGreysThePriceButtonsUntilItAnswers) {
    open();
    auto* buy = child<tc::gui::PriceButton>("buyButton");
    auto* sell = child<tc::gui::PriceButton>("sellButton");
    ASSERT_TRUE(buy && sell);
    ASSERT_TRUE(buy->isEnabled() && !buy->isStale());
    server->pauseStream(true);
    ASSERT_TRUE(waitFor([&] { return !session->isLive(); }, 15000));
    EXPECT_TRUE(waitFor([&] { return buy->isStale() && sell->isStale(); }));
    EXPECT_FALSE(buy->isEnabled());
    EXPECT_FALSE(sell->isEnabled());
    server->pauseStream(false);
    EXPECT_TRUE(waitFor([&] { return !buy->isStale() && buy->isEnabled() && sell->isEnabled(); }, 15000));
}

TEST_F(TradeTicketTest, SimpleModePlacesAMarketOrderThroughTheConfirmationAndStaysOpen) {
    open();
    const std::int32_t account = ticket->accountId();
    const std::size_t before = positions(account);
    setQuantity("1");
    QSignalSpy sent(ticket.data(), &TradeTicketWindowController::orderSent);
    QTest::mouseClick(child<QPushButton>("buyButton"), Qt::LeftButton);
    QMessageBox* sheet = ticket->confirmationSheet();
    ASSERT_TRUE(sheet);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_TRUE(sheet->informativeText().startsWith(context->text(texts::kBuy) + " 1 ("));
    EXPECT_TRUE(sheet->informativeText().contains(QString::fromStdString(ticket->itemCode())));
    // A second click while it shows stacks nothing.
    QTest::mouseClick(child<QPushButton>("sellButton"), Qt::LeftButton);
    EXPECT_EQ(ticket->confirmationSheet(), sheet);
    sheet->findChild<QPushButton*>("confirmButton")->click();
    EXPECT_EQ(sent.count(), 1);
    EXPECT_TRUE(waitFor([&] { return positions(account) == before + 1; }));
    EXPECT_TRUE(ticket->isVisible());

    // "Do not ask again": the next simple-mode order goes out without a sheet.
    QTest::mouseClick(child<QPushButton>("sellButton"), Qt::LeftButton);
    ASSERT_TRUE(
        waitFor([&] { return ticket->confirmationSheet() && ticket->confirmationSheet()->isVisible(); }));
    auto* suppress = ticket->confirmationSheet()->findChild<QCheckBox*>("suppressionCheckBox");
    // It says how long the choice holds.
    EXPECT_EQ(suppress->text().toStdString(), "Do not ask again until the program closes");
    suppress->setChecked(true);
    ticket->confirmationSheet()->findChild<QPushButton*>("confirmButton")->click();
    EXPECT_EQ(sent.count(), 2);
    EXPECT_TRUE(context->guiObjects().dontShowOrderConfirmation());
    QTest::mouseClick(child<QPushButton>("buyButton"), Qt::LeftButton);
    EXPECT_EQ(sent.count(), 3);
    EXPECT_TRUE(waitFor([&] { return positions(account) >= before + 2; }));
}

TEST_F(TradeTicketTest, SimpleModeRefusesWhatTheRulesWouldBeforeAnyConfirmation) {
    open();
    const std::int32_t account = ticket->accountId();
    ASSERT_EQ(account, 20001); // the Standard group: 0.01 to 50 lots in steps of 0.01
    QSignalSpy sent(ticket.data(), &TradeTicketWindowController::orderSent);
    const std::pair<const char*, const char*> refused[] = {{"0", texts::kEnterQuantityGreaterThanZero},
                                                           {"51", texts::kQuantityAboveMaximumLots},
                                                           {"0.015", texts::kQuantityMustMultipleLots}};
    for (const auto& [quantity, key] : refused) {
        setQuantity(QString::fromLatin1(quantity));
        QTest::mouseClick(child<QPushButton>("buyButton"), Qt::LeftButton);
        EXPECT_FALSE(ticket->confirmationSheet() && ticket->confirmationSheet()->isVisible()) << quantity;
        ASSERT_TRUE(refusal()) << quantity;
        EXPECT_TRUE(
            refusal()->informativeText().startsWith(context->text(key).section(QLatin1Char('{'), 0, 0)))
            << quantity << ": " << refusal()->informativeText().toStdString();
        refusal()->close();
    }
    EXPECT_EQ(sent.count(), 0);

    // A quantity it takes is confirmed as the number the order carries, its units worked from it as
    // the ticket's contract value is.
    setQuantity("01.50");
    QTest::mouseClick(child<QPushButton>("sellButton"), Qt::LeftButton);
    QMessageBox* sheet = ticket->confirmationSheet();
    ASSERT_TRUE(sheet && sheet->isVisible());
    const double contract =
        session->client().model().ItemCollection.get(ticket->itemCode())->get()->ContractSize.toDouble();
    EXPECT_TRUE(child<QLabel>("QuantityDescriptionTextField")
                    ->text()
                    .endsWith(QString::number(1.5 * contract, 'f', 2)));
    EXPECT_TRUE(sheet->informativeText().startsWith(
        context->text(texts::kSell) +
        QStringLiteral(" 1.5 (%1) ").arg(QString::number(1.5 * contract, 'f', 0))))
        << sheet->informativeText().toStdString();
    sheet->findChild<QPushButton*>("cancelButton")->click();
    EXPECT_EQ(sent.count(), 0);
}

TEST_F(TradeTicketTest, AdvancedModeSendsALimitOrderAtOnceAndShowsRefusalsOnTheTicket) {
    open();
    ticket->setMode(TradeTicketWindowController::kAdvancedMode);
    EXPECT_TRUE(child<QWidget>("AdvancedTradeTicketBox")->isEnabled());
    EXPECT_TRUE(child<QCheckBox>("BuyCheckBox")->isChecked());
    chooseOrderType("Limit");
    auto* price = child<tc::gui::DecimalTextField>("PriceTextField");
    ASSERT_TRUE(price->isEnabled());
    ASSERT_FALSE(price->text().isEmpty()); // the nearest level the rules allow
    EXPECT_TRUE(child<QLabel>("contingentPriceSuggestionLabel")->text().startsWith("<= "));
    ticket->UpdateValuesInTimer();
    EXPECT_EQ(price->property("priceCheck").toInt(), static_cast<int>(tc::gui::PriceCheck::Valid));

    const std::int32_t account = ticket->accountId();
    const std::size_t before = pendingOrders(account);
    setQuantity("1");
    QSignalSpy sent(ticket.data(), &TradeTicketWindowController::orderSent);
    // A buy limit above its limit: red, and the rules refuse it on the ticket.
    child<tc::gui::PriceStepper>("PriceStepper")->upButton()->click();
    ticket->UpdateValuesInTimer();
    EXPECT_EQ(price->property("priceCheck").toInt(), static_cast<int>(tc::gui::PriceCheck::Invalid));
    child<QPushButton>("PlaceOrderButton")->click();
    ASSERT_TRUE(refusal());
    EXPECT_FALSE(refusal()->informativeText().isEmpty());
    EXPECT_EQ(sent.count(), 0);
    refusal()->close();

    child<tc::gui::PriceStepper>("PriceStepper")->downButton()->click();
    // Return typed to end the price places nothing, nor Enter on the keypad in the quantity; on the
    // place button, reached with Tab, Return places the order.
    ASSERT_TRUE(guitest::clickInto(price));
    guitest::pressKey(Qt::Key_Return);
    ASSERT_TRUE(guitest::clickInto(child<QComboBox>("QuantityComboBox")->lineEdit()));
    guitest::pressKey(Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(sent.count(), 0);
    EXPECT_EQ(pendingOrders(account), before);
    auto* place = child<QPushButton>("PlaceOrderButton");
    ASSERT_TRUE(guitest::tabTo(place));
    guitest::pressKey(Qt::Key_Return);
    EXPECT_FALSE(ticket->confirmationSheet()); // limit orders are not confirmed
    EXPECT_EQ(sent.count(), 1);
    EXPECT_TRUE(waitFor([&] { return pendingOrders(account) == before + 1; }));

    // A deviation box on with an empty field stops the place button.
    chooseOrderType("Market");
    auto* deviation = child<QCheckBox>("DeviationCheckBox");
    ASSERT_TRUE(deviation->isVisibleTo(ticket));
    deviation->click();
    child<QLineEdit>("DeviationTextField")->clear();
    child<QPushButton>("PlaceOrderButton")->click();
    ASSERT_TRUE(refusal());
    EXPECT_EQ(refusal()->informativeText(), context->text(texts::kEnterPriceDeviationAllowed));
    EXPECT_EQ(sent.count(), 1);
}

// Every box, radio and drawer button acts on its state, so a screen reader's toggle, a key or
// setChecked() does what a click does.
TEST_F(TradeTicketTest, TogglesActOnTheirStateWhateverChangedIt) {
    using guitest::accessibleToggle;
    open();
    auto* advanced = child<QRadioButton>("advancedRadioButton");
    ASSERT_TRUE(accessibleToggle(advanced));
    EXPECT_TRUE(ticket->isAdvancedMode());
    EXPECT_TRUE(child<QWidget>("AdvancedTradeTicketBox")->isEnabled());
    EXPECT_TRUE(child<QCheckBox>("BuyCheckBox")->isVisibleTo(ticket));

    // The side pair: toggling Sell chooses sell; toggling the chosen side off keeps it.
    ASSERT_TRUE(accessibleToggle(child<QCheckBox>("SellCheckBox")));
    EXPECT_TRUE(child<QCheckBox>("SellCheckBox")->isChecked());
    EXPECT_FALSE(child<QCheckBox>("BuyCheckBox")->isChecked());
    child<QCheckBox>("SellCheckBox")->setChecked(false);
    EXPECT_TRUE(child<QCheckBox>("SellCheckBox")->isChecked());
    child<QCheckBox>("BuyCheckBox")->setChecked(true);
    EXPECT_FALSE(child<QCheckBox>("SellCheckBox")->isChecked());

    // Take profit and stop loss: the field opens with the nearest allowed level, and closes empty.
    chooseOrderType("Market");
    for (const auto& [boxName, fieldName] : {std::pair{"TakeProfitCheckBox", "TakeProfitPriceTextField"},
                                             std::pair{"StopLossCheckBox", "StopLossPriceTextField"}}) {
        auto* box = child<QCheckBox>(boxName);
        auto* field = child<QLineEdit>(fieldName);
        ASSERT_TRUE(box->isVisibleTo(ticket) && box->isEnabled()) << boxName;
        ASSERT_TRUE(accessibleToggle(box)) << boxName;
        EXPECT_TRUE(field->isEnabled()) << fieldName;
        EXPECT_FALSE(field->text().isEmpty()) << fieldName;
        // Space on the box, reached with Tab from its field.
        ASSERT_TRUE(guitest::clickInto(field)) << fieldName;
        ASSERT_TRUE(guitest::tabTo(box)) << boxName;
        guitest::pressKey(Qt::Key_Space);
        EXPECT_FALSE(box->isChecked()) << boxName;
        EXPECT_FALSE(field->isEnabled()) << fieldName;
        EXPECT_TRUE(field->text().isEmpty()) << fieldName;
    }
    auto* deviation = child<QCheckBox>("DeviationCheckBox");
    ASSERT_TRUE(deviation->isVisibleTo(ticket));
    deviation->setChecked(true);
    EXPECT_TRUE(child<QLineEdit>("DeviationTextField")->isEnabled());
    EXPECT_EQ(child<QLineEdit>("DeviationTextField")->text(), "0");

    // Back to simple mode by the simple radio's toggle.
    ASSERT_TRUE(accessibleToggle(child<QRadioButton>("simpleRadioButton")));
    EXPECT_FALSE(ticket->isAdvancedMode());
    EXPECT_FALSE(child<QWidget>("AdvancedTradeTicketBox")->isEnabled());

    // The drawers open and close with their buttons' state, and "Select all" ticks every row.
    auto* depthButton = child<QPushButton>("marketDepthChartButton");
    ASSERT_TRUE(accessibleToggle(depthButton));
    EXPECT_TRUE(ticket->isMarketDepthOpen());
    EXPECT_TRUE(ticket->buyDepth()->isVisible());
    depthButton->setChecked(false);
    EXPECT_FALSE(ticket->isMarketDepthOpen());
    auto* multiButton = child<QPushButton>("multiTradeButton");
    ASSERT_TRUE(multiButton->isVisibleTo(ticket));
    ASSERT_TRUE(accessibleToggle(multiButton));
    ASSERT_TRUE(ticket->isMultiAccountMode());
    EXPECT_TRUE(child<QWidget>("leftDrawer")->isVisible());
    EXPECT_FALSE(child<QComboBox>("AccountComboBox")->isEnabled());
    auto* all = child<QCheckBox>("multiAccountSelectAllCheckBox");
    ASSERT_TRUE(accessibleToggle(all));
    EXPECT_EQ(ticket->multiAccountModel().tickedCount(), ticket->multiAccountModel().rowCount());
    EXPECT_GT(ticket->multiAccountModel().tickedCount(), 0);
    // A row unticked turns "Select all" off and leaves the other rows ticked.
    ticket->multiAccountModel().setTicked(0, false);
    EXPECT_FALSE(all->isChecked());
    EXPECT_EQ(ticket->multiAccountModel().tickedCount(), ticket->multiAccountModel().rowCount() - 1);
    all->setChecked(true);
    all->setChecked(false);
    EXPECT_EQ(ticket->multiAccountModel().tickedCount(), 0);
    multiButton->setChecked(false);
    EXPECT_FALSE(ticket->isMultiAccountMode());
    EXPECT_TRUE(child<QComboBox>("AccountComboBox")->isEnabled());

    // The confirmation switch follows its state too.
    auto* confirm = child<QCheckBox>("showConfirmationCheckBox");
    const bool was = context->guiObjects().showConfirmationAlert();
    confirm->setChecked(!was);
    EXPECT_EQ(context->guiObjects().showConfirmationAlert(), !was);
    confirm->setChecked(was);
}

// The lists' names and the day's range read in the language chosen; the choice made stays, and
// English comes back.
TEST_F(TradeTicketTest, NamesFollowTheLanguageAndTheChoiceStays) {
    open();
    ticket->setMode(TradeTicketWindowController::kAdvancedMode);
    chooseOrderType("Limit");
    ticket->UpdateValuesInTimer();
    const auto items = [&](const char* name) {
        auto* box = child<QComboBox>(name);
        QStringList out;
        for (int i = 0; i < box->count(); ++i)
            out << box->itemText(i);
        return out;
    };
    const auto shown = [&] {
        return QStringList{items("OrderTypeComboBox").join(','), items("TimeInForceComboBox").join(','),
                           child<QComboBox>("OrderTypeComboBox")->currentText(),
                           child<QLabel>("LowTextLabel")->text().section(" : ", 0, 0),
                           child<QLabel>("HighTextLabel")->text().section(" : ", 0, 0)};
    };
    const QStringList english = shown();
    EXPECT_TRUE(english[0].startsWith("Market,Limit")) << english[0].toStdString();
    EXPECT_EQ(english.mid(1), (QStringList{"Day,GTF,GTC", "Limit", "Low", "High"}));

    ASSERT_TRUE(context->language().select(7)); // French
    const QStringList french = shown();
    EXPECT_TRUE(french[0].startsWith(QString::fromUtf8("Marché,Limite"))) << french[0].toStdString();
    EXPECT_EQ(french.mid(1), (QStringList{"Jour,GTF,GTC", "Limite", "Bas", "Haut"}));
    EXPECT_EQ(child<QComboBox>("ValidityComboBox")->placeholderText(), "Normal");

    ASSERT_TRUE(context->language().select(0));
    EXPECT_EQ(shown(), english);
    EXPECT_EQ(child<QComboBox>("ValidityComboBox")->placeholderText(), "Regular");
}

// Both drawer buttons point to where their panels open, mirrored in Dari, in the text itself (what
// a screen reader reads) and as painted.
TEST_F(TradeTicketTest, DrawerButtonsPointWhereTheirPanelsOpenInEitherDirection) {
    for (const std::int64_t language : {3, 0}) {
        SCOPED_TRACE(language);
        ASSERT_TRUE(context->language().select(language));
        open();
        ASSERT_EQ(ticket->isRightToLeft(), language == 3);
        for (const auto& [name, panel, key] :
             {std::tuple{"multiTradeButton", "leftDrawer", texts::kMultiAccount},
              std::tuple{"marketDepthChartButton", "rightDrawer", texts::kMarketDepthChart}}) {
            SCOPED_TRACE(name);
            auto* button = child<QPushButton>(name);
            auto* drawer = child<QWidget>(panel);
            button->click();
            ASSERT_TRUE(waitFor([&] { return drawer->isVisible() && drawer->width() > 0; }));
            const QPoint middle = drawer->mapTo(ticket, drawer->rect().center());
            const int side = middle.x() > button->mapTo(ticket, button->rect().center()).x() ? 1 : -1;
            const QString text = button->text();
            const qsizetype at = text.indexOf(QRegularExpression(QStringLiteral("<<|>>")));
            ASSERT_GE(at, 0) << text.toStdString();
            EXPECT_EQ(text[at] == '>' ? 1 : -1, side) << text.toStdString();
            // As painted in the button's direction: beside the label (its "&" doubled) on the panel's
            // side, and pointing there.
            const QString label = context->text(key).replace('&', "&&");
            const auto named = guitest::laidOut(text, button->font(), button->layoutDirection(),
                                                text.indexOf(label), label.size());
            const auto arrows = guitest::laidOut(text, button->font(), button->layoutDirection(), at, 2);
            EXPECT_EQ(arrows.first.center().x() > named.first.center().x() ? 1 : -1, side);
            EXPECT_EQ((text[at] == '>') != arrows.second ? 1 : -1, side);
            button->click();
        }
        ticket->close();
    }
}

// An account's free margin reads the same in the status bar, the ticket's account rows and the
// withdrawal window at every refresh; the withdrawal's own margin says it is the one-side margin.
TEST_F(TradeTicketTest, AnAccountsMarginReadsOneMomentInEveryWindow) {
    auto window = std::make_unique<tc::gui::MainWindowController>(*context);
    window->show();
    open();
    child<QPushButton>("multiTradeButton")->click();
    auto withdrawal = std::make_unique<tc::gui::WithdrawalRequestWindowController>(*context);
    withdrawal->show();
    withdrawal->windowDidAppear();
    const int row = ticket->multiAccountModel().rowOf(withdrawal->accountComboBox()->currentText().toInt());
    ASSERT_GE(row, 0);
    const auto number = [](QString text) {
        return text.remove(QRegularExpression(QStringLiteral("[^0-9.-]"))).toStdString();
    };
    const auto shown = [&] {
        return std::array{
            number(window->findChild<QLabel*>(QStringLiteral("AvailableMarginValueTextField"))->text()),
            number(ticket->multiAccountModel().index(row, MultiAccountTableModel::Margin).data().toString()),
            number(withdrawal->findChild<QLineEdit*>(QStringLiteral("availableMarginTextField"))->text())};
    };
    // The status bar shows no free margin until the session's positions are valued.
    ASSERT_TRUE(waitFor([&] { return session->figuresValued(); }, 15000));
    std::vector<std::array<std::string, 3>> seen; // as each refresh is announced, after every window had it
    QObject::connect(session.get(), &tc::gui::ClientModel::tablesChanged, window.get(), [&](auto tables) {
        if (tables.contains(interfaces::Table::Accounts))
            seen.push_back(shown());
    });
    const std::string before = shown()[0];
    ASSERT_TRUE(server->setQuote("EURUSD", "1.09100", "1.09112"));
    ASSERT_TRUE(waitFor([&] { return !seen.empty() && seen.back()[0] != before; }));
    // A position opened on the account brings the server's account summary, which rewrites the stored
    // record (its commission charged, no floating P/L in it): the margins still read this moment.
    const std::int32_t account = withdrawal->accountComboBox()->currentText().toInt();
    const auto storedBalance = [&] {
        for (const auto& held : session->client().queries().getAccountCollection())
            if (held && held->AccountId == account)
                return held->Balance.toString();
        return std::string();
    };
    const std::string balanceBefore = storedBalance();
    interfaces::OrderTicket order;
    order.instrument = "EURUSD";
    order.account = account;
    order.quantity = *interfaces::Decimal::fromString("1");
    ASSERT_TRUE(session->client().orders().placeOrder(order).sent());
    ASSERT_TRUE(waitFor([&] { return storedBalance() != balanceBefore; }));
    const std::size_t summarySeen = seen.size();
    ASSERT_TRUE(waitFor([&] { return seen.size() > summarySeen; }));
    for (const auto& figures : seen)
        EXPECT_EQ(figures, (std::array{figures[0], figures[0], figures[0]}));
    EXPECT_EQ(withdrawal->findChild<QLabel*>(QStringLiteral("marginLabel"))->text(), context->text("92200"));
}

TEST_F(TradeTicketTest, MultiAccountOrderOverThreeAccountsCountsTickedRowsOnly) {
    open();
    auto* button = child<QPushButton>("multiTradeButton");
    ASSERT_TRUE(button->isVisibleTo(ticket));
    button->click();
    ASSERT_TRUE(ticket->isMultiAccountMode());
    MultiAccountTableModel& rows = ticket->multiAccountModel();
    QAbstractItemModelTester tester(&rows, QAbstractItemModelTester::FailureReportingMode::Fatal);
    ASSERT_EQ(rows.rowCount(), 3);
    EXPECT_FALSE(child<QComboBox>("AccountComboBox")->isEnabled());

    // Nothing ticked: refused with kSelectLeastOneAccount.
    QTest::mouseClick(child<QPushButton>("buyButton"), Qt::LeftButton);
    ASSERT_TRUE(refusal());
    EXPECT_EQ(refusal()->informativeText(), context->text(texts::kSelectLeastOneAccount));
    refusal()->close();

    // Select all, one quantity for every ticked row through the header, then one row unticked: its
    // quantity is no longer ordered.
    child<QCheckBox>("multiAccountSelectAllCheckBox")->click();
    EXPECT_EQ(rows.tickedCount(), 3);
    auto* view = child<QTableView>("multiTradeTableView");
    Q_EMIT view->horizontalHeader()->sectionDoubleClicked(MultiAccountTableModel::Quantity);
    auto* header = view->horizontalHeader()->findChild<QLineEdit*>("headerEditor");
    ASSERT_TRUE(header && header->isVisible());
    header->setText("2");
    Q_EMIT header->editingFinished();
    EXPECT_EQ(child<QComboBox>("QuantityComboBox")->currentText(), "6");
    rows.setTicked(2, false);
    EXPECT_FALSE(child<QCheckBox>("multiAccountSelectAllCheckBox")->isChecked());
    EXPECT_EQ(child<QComboBox>("QuantityComboBox")->currentText(), "4");
    ASSERT_TRUE(rows.setQuantity(1, "1"));
    EXPECT_FALSE(rows.setQuantity(2, "1")); // an unticked row takes no quantity
    EXPECT_EQ(child<QComboBox>("QuantityComboBox")->currentText(), "3");

    // Tab and Ctrl+Tab leave the accounts' grid for the controls after it; they never step its cells.
    for (Qt::KeyboardModifiers modifiers :
         {Qt::KeyboardModifiers(), Qt::KeyboardModifiers(Qt::ControlModifier)}) {
        const QModelIndex account = rows.index(0, MultiAccountTableModel::Account);
        ASSERT_TRUE(guitest::clickInto(view->viewport(), view->visualRect(account).center()));
        ASSERT_TRUE(view->hasFocus());
        const QModelIndex current = view->currentIndex();
        guitest::pressKey(Qt::Key_Tab, modifiers);
        EXPECT_FALSE(view->hasFocus());
        EXPECT_EQ(view->currentIndex(), current);
    }

    std::vector<std::int32_t> accounts;
    std::vector<std::size_t> before;
    for (const auto& row : rows.rows()) {
        accounts.push_back(row.accountDet->AccountId);
        before.push_back(positions(row.accountDet->AccountId));
    }
    QSignalSpy sent(ticket.data(), &TradeTicketWindowController::orderSent);
    QTest::mouseClick(child<QPushButton>("buyButton"), Qt::LeftButton);
    ASSERT_TRUE(ticket->confirmationSheet());
    // The question names each ticked account with its share, and no other account.
    const QString question = ticket->confirmationSheet()->informativeText();
    EXPECT_TRUE(question.startsWith(context->text(texts::kBuy) + " 3 ("));
    const double contractSize =
        (*session->client().model().ItemCollection.get(ticket->itemCode()))->ContractSize.toDouble();
    const std::pair<std::int32_t, int> shares[] = {{accounts[0], 2}, {accounts[1], 1}};
    for (const auto& [account, lots] : shares)
        EXPECT_TRUE(question.contains(
            QStringLiteral("Account %1: %2 (%3)").arg(account).arg(lots).arg(lots * contractSize, 0, 'f', 0)))
            << question.toStdString();
    EXPECT_FALSE(question.contains(QString::number(accounts[2]))) << question.toStdString();
    ticket->confirmationSheet()->findChild<QPushButton*>("confirmButton")->click();
    EXPECT_EQ(sent.count(), 1);
    EXPECT_TRUE(waitFor(
        [&] { return positions(accounts[0]) == before[0] + 1 && positions(accounts[1]) == before[1] + 1; }));
    EXPECT_EQ(positions(accounts[2]), before[2]);

    // Simple mode never sends a limit order at a stale price: back in it the rows are for a market order.
    ticket->setMode(TradeTicketWindowController::kAdvancedMode);
    chooseOrderType("Limit");
    EXPECT_EQ(ticket->orderKind(), interfaces::OrderKind::Limit);
    ticket->setMode(TradeTicketWindowController::kSimpleMode);
    EXPECT_EQ(ticket->orderKind(), interfaces::OrderKind::Market);
    EXPECT_TRUE(child<tc::gui::DecimalTextField>("PriceTextField")->text().isEmpty());

    // A deviation keeps the rows to the accounts that allow one (20001 alone). Simple mode sends
    // none, so back in it every account has its row again, not the rows of the deviation dropped.
    ticket->setMode(TradeTicketWindowController::kAdvancedMode);
    child<QCheckBox>("DeviationCheckBox")->setChecked(true);
    ASSERT_EQ(rows.rowCount(), 1);
    // The accounts it left out are named under the rows.
    auto* note = child<QLabel>("multiAccountNoteLabel");
    EXPECT_TRUE(note->isVisibleTo(ticket));
    for (std::int32_t account : accounts)
        EXPECT_EQ(note->text().contains(QString::number(account)),
                  account != rows.rows()[0].accountDet->AccountId)
            << note->text().toStdString();
    ticket->setMode(TradeTicketWindowController::kSimpleMode);
    EXPECT_EQ(rows.rowCount(), 3);
    EXPECT_FALSE(note->isVisibleTo(ticket));
}

// A number is read whole or refused at once, in the field and at the button, with what is wrong and
// what to type; nothing typed is dropped into another number.
TEST_F(TradeTicketTest, NumbersAreReadWholeOrRefusedAtOnceWithTheirReason) {
    open();
    QSignalSpy sent(ticket.data(), &TradeTicketWindowController::orderSent);
    auto* quantity = child<QComboBox>("QuantityComboBox");
    auto* units = child<QLabel>("QuantityDescriptionTextField");
    const std::pair<const char*, const char*> quantities[] = {{"0,5", texts::kHoldsAComma},
                                                              {"1 000", texts::kHoldsSpaceInsideNumber},
                                                              {"1e5", texts::kNotNumber},
                                                              {"1.2.3", texts::kNotNumber},
                                                              {"-1", texts::kCannotBeNegative}};
    for (const auto& [typed, key] : quantities) {
        typeInto(quantity->lineEdit(), QString::fromLatin1(typed));
        EXPECT_EQ(quantity->currentText(), typed);
        EXPECT_EQ(quantity->toolTip(), words(key, texts::kQuantity)) << typed;
        EXPECT_TRUE(units->text().isEmpty()) << typed;
        EXPECT_EQ(refusedBy(child<QPushButton>("buyButton")), words(key, texts::kQuantity)) << typed;
        EXPECT_FALSE(ticket->confirmationSheet()) << typed;
    }
    typeInto(quantity->lineEdit(), "0.5");
    EXPECT_TRUE(quantity->toolTip().isEmpty());
    EXPECT_TRUE(units->text().startsWith("0.5 x "));
    // Digits past the lot step are refused with the step, however far past the sixth decimal.
    const QString offStep = context->text(texts::kQuantityMustMultipleLots).replace("{0}", "0.01");
    for (const char* typed : {"0.5000001", "0.500000001", "0.500000000000000000001"}) {
        typeInto(quantity->lineEdit(), QString::fromLatin1(typed));
        EXPECT_EQ(refusedBy(child<QPushButton>("buyButton")), offStep) << typed;
        EXPECT_FALSE(ticket->confirmationSheet()) << typed;
    }
    typeInto(quantity->lineEdit(), "0.5"); // the quantity is checked first: the prices below alone refuse

    // The prices: red with the reason, and refused by the place button.
    ticket->setMode(TradeTicketWindowController::kAdvancedMode);
    chooseOrderType("Limit");
    auto* price = child<QLineEdit>("PriceTextField");
    auto* place = child<QPushButton>("PlaceOrderButton");
    const auto check = [&] { return price->property("priceCheck").toInt(); };
    typeInto(price, "-1");
    EXPECT_EQ(check(), static_cast<int>(tc::gui::PriceCheck::Invalid));
    EXPECT_EQ(price->toolTip(), words(texts::kCannotBeNegative, texts::kPriceField));
    EXPECT_EQ(refusedBy(place), words(texts::kCannotBeNegative, texts::kPriceField));
    // No price above 0 is red: the order rules refuse it wherever the limit lies.
    typeInto(price, "0");
    EXPECT_EQ(check(), static_cast<int>(tc::gui::PriceCheck::Invalid));
    // A sell limit at ">=": a pasted price too large to hold is red and refused as too large.
    child<QCheckBox>("SellCheckBox")->click();
    ASSERT_TRUE(child<QLabel>("contingentPriceSuggestionLabel")->text().startsWith(">= "));
    pasteInto(price, QString(64, QLatin1Char('9')));
    EXPECT_EQ(price->text(), QString(64, QLatin1Char('9')));
    EXPECT_EQ(check(), static_cast<int>(tc::gui::PriceCheck::Invalid));
    EXPECT_EQ(refusedBy(place), words(texts::kIsTooLarge, texts::kPriceField));

    // The deviation keeps a comma or a point as typed and refuses it; whole points have five digits.
    chooseOrderType("Market");
    child<QCheckBox>("DeviationCheckBox")->click();
    auto* deviation = child<QLineEdit>("DeviationTextField");
    const std::tuple<const char*, const char*, const char*> deviations[] = {
        {"1,5", texts::kHoldsAComma92601, ""},
        {"1.5", texts::kHoldsDecimals, ""},
        {"-1", texts::kWholeNumberCannotBeNegative, ""},
        {"123456", texts::kTooManyDigits, "5"}};
    for (const auto& [typed, key, limit] : deviations) {
        typeInto(deviation, QString::fromLatin1(typed));
        EXPECT_EQ(deviation->text(), typed);
        EXPECT_EQ(deviation->toolTip(), words(key, texts::kDeviation, limit)) << typed;
        EXPECT_EQ(refusedBy(place), words(key, texts::kDeviation, limit)) << typed;
    }
    EXPECT_EQ(sent.count(), 0);
}

// A quantity Buy would refuse is marked as it is typed, with Buy's own reason; a paste past any
// number's length is kept, marked and refused as too long in the quantity and every price, never
// dropped for the field's old text (the prefilled price was then placed, or "Price is empty" said).
TEST_F(TradeTicketTest, WhatBuyOrPlaceWouldRefuseIsMarkedWithTheirReasonAndLongPastesStay) {
    open();
    ASSERT_EQ(ticket->accountId(), 20001); // the Standard group: 0.01 to 50 lots in steps of 0.01
    QSignalSpy sent(ticket.data(), &TradeTicketWindowController::orderSent);
    auto* quantity = child<QComboBox>("QuantityComboBox");
    auto* units = child<QLabel>("QuantityDescriptionTextField");
    EXPECT_TRUE(quantity->toolTip().isEmpty()) << "the ticket's own 0 waits for an entry";
    const auto rule = [&](const char* key, const char* limit) {
        return context->text(key).replace("{0}", QString::fromLatin1(limit));
    };
    const std::pair<const char*, QString> quantities[] = {
        {"0.00000001", rule(texts::kQuantityBelowMinimumLots, "0.01")},
        {"0.015", rule(texts::kQuantityMustMultipleLots, "0.01")},
        {"99999", rule(texts::kQuantityAboveMaximumLots, "50")},
        {"0", context->text(texts::kEnterQuantityGreaterThanZero)},
        // Typed as it stands, not completed to the listed 0.01 that begins with it.
        {"0.0", context->text(texts::kEnterQuantityGreaterThanZero)}};
    for (const auto& [typed, reason] : quantities) {
        typeInto(quantity->lineEdit(), QString::fromLatin1(typed));
        EXPECT_EQ(quantity->currentText(), typed);
        EXPECT_EQ(quantity->toolTip(), reason) << typed;
        EXPECT_TRUE(units->text().isEmpty()) << typed;
        EXPECT_EQ(refusedBy(child<QPushButton>("buyButton")), reason) << typed;
    }
    const auto paste = [](QLineEdit* field, const QString& text) {
        pasteInto(field, text);
        EXPECT_EQ(field->text(), text) << "kept whole";
    };
    const QString long70(70, QLatin1Char('1'));
    paste(quantity->lineEdit(), long70);
    EXPECT_EQ(quantity->toolTip(), words(texts::kLongerThanCharacters, texts::kQuantity, "64"));
    EXPECT_EQ(refusedBy(child<QPushButton>("sellButton")), quantity->toolTip());
    typeInto(quantity->lineEdit(), "0.5");
    EXPECT_TRUE(quantity->toolTip().isEmpty());

    ticket->setMode(TradeTicketWindowController::kAdvancedMode);
    chooseOrderType("Limit");
    auto* place = child<QPushButton>("PlaceOrderButton");
    auto* price = child<QLineEdit>("PriceTextField");
    ASSERT_FALSE(price->text().isEmpty()) << "prefilled";
    paste(price, QString(320, QLatin1Char('9')));
    EXPECT_EQ(price->toolTip(), words(texts::kLongerThanCharacters, texts::kPriceField, "64"));
    EXPECT_EQ(refusedBy(place), price->toolTip());
    chooseOrderType("Market");
    for (const auto& [box, name, key] :
         {std::tuple{"TakeProfitCheckBox", "TakeProfitPriceTextField", texts::kTakeProfit},
          std::tuple{"StopLossCheckBox", "StopLossPriceTextField", texts::kStopLoss}}) {
        child<QCheckBox>(box)->click();
        auto* field = child<QLineEdit>(name);
        paste(field, long70);
        EXPECT_EQ(field->toolTip(), words(texts::kLongerThanCharacters, key, "64")) << name;
        EXPECT_EQ(refusedBy(place), field->toolTip()) << name;
        child<QCheckBox>(box)->click();
    }
    EXPECT_EQ(sent.count(), 0);
}

// The ticket's own prices keep to the limits shown beside them as the quote moves; a price the
// trader set stays where it was put.
TEST_F(TradeTicketTest, AFilledPriceKeepsToItsLimitUntilTheTraderSetsIt) {
    open();
    ticket->setMode(TradeTicketWindowController::kAdvancedMode);
    chooseOrderType("Limit");
    auto* price = child<QLineEdit>("PriceTextField");
    auto* hint = child<QLabel>("contingentPriceSuggestionLabel");
    const auto check = [&] { return price->property("priceCheck").toInt(); };
    const tc::ItemDetails& item = **session->client().model().ItemCollection.get(ticket->itemCode());
    const auto tickDown = [&] {
        const auto tick = item.TickSize.toDecimal();
        const auto ask = item.Ask.toDecimal();
        ASSERT_TRUE(server->setQuote(ticket->itemCode(), (item.Bid.toDecimal() - tick).toString(),
                                     (ask - tick).toString()));
        ASSERT_TRUE(waitFor([&] { return item.Ask.toDecimal() < ask; }));
        ticket->UpdateValuesInTimer();
    };
    ASSERT_EQ(hint->text(), "<= " + price->text());
    tickDown();
    EXPECT_EQ(hint->text(), "<= " + price->text());
    EXPECT_EQ(check(), static_cast<int>(tc::gui::PriceCheck::Valid));

    child<tc::gui::PriceStepper>("PriceStepper")->downButton()->click();
    const QString set = price->text();
    tickDown();
    EXPECT_EQ(price->text(), set);
}

// Several accounts: a quantity that is no number is refused with its reason wherever it is typed,
// and no units line stands beside a row the group's rules refuse.
TEST_F(TradeTicketTest, SeveralAccountsRefuseWhatIsNoNumberAndShowNoUnitsForRefusedRows) {
    open();
    child<QPushButton>("multiTradeButton")->click();
    ASSERT_TRUE(ticket->isMultiAccountMode());
    MultiAccountTableModel& rows = ticket->multiAccountModel();
    child<QCheckBox>("multiAccountSelectAllCheckBox")->click();
    auto* view = child<QTableView>("multiTradeTableView");
    // A double click on the quantity's title opens its editor with the focus, where the keys go.
    QHeaderView* titles = view->horizontalHeader();
    const QPoint quantityTitle(titles->sectionViewportPosition(MultiAccountTableModel::Quantity) +
                                   titles->sectionSize(MultiAccountTableModel::Quantity) / 2,
                               titles->height() / 2);
    ASSERT_TRUE(guitest::clickInto(view->viewport(), view->visualRect(rows.index(0, 1)).center()));
    QTest::mouseDClick(titles->viewport(), Qt::LeftButton, {}, quantityTitle);
    auto* header = titles->findChild<QLineEdit*>("headerEditor");
    ASSERT_TRUE(header && header->isVisible());
    ASSERT_TRUE(waitFor([&] { return QApplication::focusWidget() == header; }));
    guitest::typeKeys("1,5");
    guitest::pressKey(Qt::Key_Return);
    ASSERT_TRUE(refusal());
    EXPECT_EQ(refusal()->informativeText(), words(texts::kHoldsAComma, texts::kQuantity));
    refusal()->close();
    EXPECT_EQ(tc::gui::tickedTotal(rows.rows()).toString(), "0");

    auto* units = child<QLabel>("QuantityDescriptionTextField");
    // A double click on the row's quantity cell opens its editor with the focus; all of it is typed
    // over and Return ends the edit.
    const auto typeRow = [&](int row, const char* text) {
        const QPoint cell = view->visualRect(rows.index(row, MultiAccountTableModel::Quantity)).center();
        ASSERT_TRUE(guitest::clickInto(view->viewport(), cell));
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell);
        QLineEdit* editor = nullptr;
        ASSERT_TRUE(waitFor([&] {
            editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
            return editor && view->viewport()->isAncestorOf(editor);
        }));
        guitest::pressKey(Qt::Key_A, Qt::ControlModifier);
        guitest::typeKeys(QString::fromLatin1(text));
        guitest::pressKey(Qt::Key_Return); // the view takes the edit from its event loop
    };
    typeRow(0, "abc");
    ASSERT_TRUE(waitFor([&] { return refusal() != nullptr; }));
    EXPECT_EQ(refusal()->informativeText(), words(texts::kNotNumber, texts::kQuantity));
    refusal()->close();
    // A refused cell keeps what was typed, with its reason, and the order says it again.
    EXPECT_EQ(rows.index(0, MultiAccountTableModel::Quantity).data().toString(), "abc");
    typeRow(0, "0,5");
    ASSERT_TRUE(waitFor([&] { return refusal() != nullptr; }));
    refusal()->close();
    const QModelIndex refusedCell = rows.index(0, MultiAccountTableModel::Quantity);
    EXPECT_EQ(refusedCell.data().toString(), "0,5");
    EXPECT_EQ(refusedCell.data(Qt::ToolTipRole).toString(), words(texts::kHoldsAComma, texts::kQuantity));
    EXPECT_EQ(refusedBy(child<QPushButton>("buyButton")), words(texts::kHoldsAComma, texts::kQuantity));
    EXPECT_FALSE(ticket->confirmationSheet());
    for (int row = 0; row < rows.rowCount(); ++row) {
        typeRow(row, "1");
        ASSERT_TRUE(
            waitFor([&] { return rows.rows()[static_cast<std::size_t>(row)].quantity.toString() == "1"; }));
    }
    EXPECT_TRUE(units->text().startsWith(QString::number(rows.rowCount()) + " x "));
    // Above every group's maximum: the rules refuse that row, so the total gets no units.
    typeRow(0, "250");
    ASSERT_TRUE(waitFor([&] { return rows.rows()[0].quantity.toString() == "250"; }));
    EXPECT_TRUE(units->text().isEmpty());
}

// Several accounts: the brackets the ticket filled stand on the limits of the moment the order is
// checked, so a quote that moved since the last refresh does not refuse prices the trader never set.
TEST_F(TradeTicketTest, FilledBracketsOfSeveralAccountsMeetTheQuoteOfTheCheck) {
    open();
    child<QPushButton>("multiTradeButton")->click();
    ticket->setMode(TradeTicketWindowController::kAdvancedMode);
    chooseOrderType("Market");
    child<QCheckBox>("TakeProfitCheckBox")->setChecked(true);
    child<QCheckBox>("StopLossCheckBox")->setChecked(true);
    child<QCheckBox>("multiAccountSelectAllCheckBox")->click();
    MultiAccountTableModel& rows = ticket->multiAccountModel();
    for (int row = 0; row < rows.rowCount(); ++row)
        ASSERT_TRUE(rows.setQuantity(row, "1"));
    const tc::ItemDetails& item = **session->client().model().ItemCollection.get(ticket->itemCode());
    const auto seven = item.TickSize.toDecimal() * tc::platform::Decimal::fromInt64(7);
    const auto bid = item.Bid.toDecimal();
    ASSERT_TRUE(server->setQuote(ticket->itemCode(), (bid - seven).toString(),
                                 (item.Ask.toDecimal() - seven).toString()));
    ASSERT_TRUE(waitFor([&] { return item.Bid.toDecimal() < bid; }));
    EXPECT_EQ(refusedBy(child<QPushButton>("PlaceOrderButton")), QString());
    ASSERT_TRUE(ticket->confirmationSheet());
    const auto now = QString::fromStdString(tc::gui::priceText(item.Bid.toDecimal(), &item));
    EXPECT_EQ(child<QLineEdit>("StopLossPriceTextField")->text(), now);
    EXPECT_EQ(child<QLineEdit>("TakeProfitPriceTextField")->text(), now);
}

// Escape closes the ticket: at once while nothing typed would be lost, and only once the trader
// agrees when it would ("Keep Editing" keeps the ticket as typed).
TEST_F(TradeTicketTest, EscapeAsksBeforeItDropsWhatWasTyped) {
    open();
    ASSERT_TRUE(guitest::waitForExposed(ticket));
    QLineEdit* quantity = child<QComboBox>("QuantityComboBox")->lineEdit();
    ASSERT_TRUE(quantity);
    guitest::typeOver(quantity, "0.3");
    EXPECT_TRUE(guitest::secondEscapeKeeps(ticket, context->text(texts::kKeepEditing)));
    EXPECT_EQ(quantity->text(), "0.3");
    EXPECT_TRUE(guitest::escapeAndDiscard(quantity, context->text(texts::kDiscard)));

    open(); // its fields filled afresh: nothing of the trader's
    ASSERT_TRUE(guitest::waitForExposed(ticket));
    ASSERT_TRUE(guitest::focusIn(ticket));
    guitest::pressKey(Qt::Key_Escape);
    EXPECT_FALSE(tc::gui::CommonAlert::showing(ticket, QStringLiteral("dropTypedText")));
    EXPECT_TRUE(waitFor([&] { return !ticket->isVisible(); }));
}

// Return ends an entry and places nothing: what it ended is still the trader's unsent text, and
// Escape asks before it drops it. The quantity (typed as one of its list's entries, and as none),
// a price, a multi-account row's quantity cell and the quantity column's title alike.
TEST_F(TradeTicketTest, ReturnEndsAnEntryAndEscapeStillAsksBeforeDroppingIt) {
    open();
    ASSERT_TRUE(guitest::waitForExposed(ticket));
    QSignalSpy sent(ticket.data(), &TradeTicketWindowController::orderSent);
    auto* quantityBox = child<QComboBox>("QuantityComboBox");
    ASSERT_GE(quantityBox->count(), 2);
    const QString listed = quantityBox->itemText(1);
    const auto endedThenAsked = [&](QLineEdit* field, const QString& text, Qt::Key key) {
        guitest::typeOver(field, text);
        guitest::pressKey(key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        EXPECT_TRUE(ticket->isVisible());
        EXPECT_EQ(field->text(), text);
        EXPECT_TRUE(guitest::secondEscapeKeeps(ticket, context->text(texts::kKeepEditing)))
            << text.toStdString();
        EXPECT_EQ(field->text(), text);
        EXPECT_TRUE(guitest::escapeAndDiscard(field, context->text(texts::kDiscard))) << text.toStdString();
        open();
        ASSERT_TRUE(guitest::waitForExposed(ticket));
    };
    endedThenAsked(quantityBox->lineEdit(), "0.2", Qt::Key_Return);
    endedThenAsked(child<QComboBox>("QuantityComboBox")->lineEdit(), listed, Qt::Key_Return);
    endedThenAsked(child<QComboBox>("QuantityComboBox")->lineEdit(), listed, Qt::Key_Enter);
    QTest::mouseClick(child<QRadioButton>("advancedRadioButton"), Qt::LeftButton);
    chooseOrderType("Limit");
    auto* price = child<QLineEdit>("PriceTextField");
    ASSERT_TRUE(price && price->isEnabled() && price->isVisible());
    endedThenAsked(price, "1.05", Qt::Key_Return);
    EXPECT_TRUE(sent.isEmpty());

    // A row's quantity cell, then the quantity column's title: each entry ended by Return.
    const auto multiAccount = [&] {
        child<QPushButton>("multiTradeButton")->click();
        ASSERT_TRUE(ticket->isMultiAccountMode());
        child<QCheckBox>("multiAccountSelectAllCheckBox")->click();
    };
    ASSERT_NO_FATAL_FAILURE(multiAccount());
    MultiAccountTableModel& rows = ticket->multiAccountModel();
    auto* view = child<QTableView>("multiTradeTableView");
    const QPoint cell = view->visualRect(rows.index(0, MultiAccountTableModel::Quantity)).center();
    ASSERT_TRUE(guitest::clickInto(view->viewport(), cell));
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell);
    QLineEdit* editor = nullptr;
    ASSERT_TRUE(waitFor([&] {
        editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        return editor && view->viewport()->isAncestorOf(editor);
    }));
    guitest::pressKey(Qt::Key_A, Qt::ControlModifier);
    guitest::typeKeys("0.2");
    guitest::pressKey(Qt::Key_Return); // the view takes the edit from its event loop
    ASSERT_TRUE(
        waitFor([&] { return rows.index(0, MultiAccountTableModel::Quantity).data().toString() == "0.2"; }));
    EXPECT_TRUE(guitest::secondEscapeKeeps(ticket, context->text(texts::kKeepEditing)));
    EXPECT_EQ(rows.index(0, MultiAccountTableModel::Quantity).data().toString(), "0.2");
    // The question gone, the trader clicks back into the grid and leaves.
    ASSERT_TRUE(guitest::clickInto(view->viewport(), view->visualRect(rows.index(0, 1)).center()));
    guitest::pressKey(Qt::Key_Escape);
    QMessageBox* ask = tc::gui::CommonAlert::showing(ticket, QStringLiteral("dropTypedText"));
    ASSERT_TRUE(ask);
    for (QAbstractButton* button : ask->buttons())
        if (button->text() == context->text(texts::kDiscard))
            button->click();
    ASSERT_TRUE(waitFor([&] { return !ticket->isVisible(); }));

    open(); // filled afresh: nothing of the trader's
    ASSERT_TRUE(guitest::waitForExposed(ticket));
    ASSERT_NO_FATAL_FAILURE(multiAccount());
    QHeaderView* titles = view->horizontalHeader();
    const QPoint quantityTitle(titles->sectionViewportPosition(MultiAccountTableModel::Quantity) +
                                   titles->sectionSize(MultiAccountTableModel::Quantity) / 2,
                               titles->height() / 2);
    ASSERT_TRUE(guitest::clickInto(view->viewport(), view->visualRect(rows.index(0, 1)).center()));
    QTest::mouseDClick(titles->viewport(), Qt::LeftButton, {}, quantityTitle);
    auto* header = titles->findChild<QLineEdit*>("headerEditor");
    ASSERT_TRUE(waitFor([&] { return header && QApplication::focusWidget() == header; }));
    guitest::typeKeys("0.3");
    guitest::pressKey(Qt::Key_Return);
    EXPECT_FALSE(header->isVisible());
    EXPECT_EQ(rows.index(1, MultiAccountTableModel::Quantity).data().toString(), "0.3");
    EXPECT_TRUE(guitest::secondEscapeKeeps(ticket, context->text(texts::kKeepEditing)));
    EXPECT_TRUE(sent.isEmpty());
}

} // namespace

// The ticket opened with its multi-account rows and the first row's quantity cell typed over, the
// entry ended with Return as a trader ends it.
static void typeAnAccountCell(TradeTicketWindowController* ticket) {
    ASSERT_TRUE(guitest::waitForExposed(ticket));
    ticket->findChild<QPushButton*>("multiTradeButton")->click();
    ASSERT_TRUE(ticket->isMultiAccountMode());
    ticket->findChild<QCheckBox*>("multiAccountSelectAllCheckBox")->click();
    MultiAccountTableModel& rows = ticket->multiAccountModel();
    auto* view = ticket->findChild<QTableView*>("multiTradeTableView");
    const QPoint cell = view->visualRect(rows.index(0, MultiAccountTableModel::Quantity)).center();
    ASSERT_TRUE(guitest::clickInto(view->viewport(), cell));
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell);
    ASSERT_TRUE(waitFor([&] {
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        return editor && view->viewport()->isAncestorOf(editor);
    }));
    guitest::pressKey(Qt::Key_A, Qt::ControlModifier);
    guitest::typeKeys("0.2");
    guitest::pressKey(Qt::Key_Return);
    ASSERT_TRUE(
        waitFor([&] { return rows.index(0, MultiAccountTableModel::Quantity).data().toString() == "0.2"; }));
}

// After Discard, or a close from the title bar (which asks nothing), with a multi-account row's
// quantity cell typed, the ticket opened again holds nothing of the trader's: Escape closes it at
// once, asking nothing.
TEST_F(TradeTicketTest, ATicketLeftWithATypedAccountCellHasNothingToAskAboutAtTheNextOpening) {
    for (const bool discard : {true, false}) {
        SCOPED_TRACE(discard ? "Discard" : "the title bar");
        open();
        ASSERT_NO_FATAL_FAILURE(typeAnAccountCell(ticket));
        if (discard) {
            // The quantity box is off beside the rows: the trader leaves from the grid.
            auto* view = child<QTableView>("multiTradeTableView");
            ASSERT_TRUE(guitest::escapeAndDiscard(view->viewport(), context->text(texts::kDiscard)));
        } else {
            // The window manager's close, as the title bar's button sends it.
            ticket->windowHandle()->close();
            ASSERT_TRUE(waitFor([&] { return !ticket->isVisible(); }));
        }

        open();
        ASSERT_TRUE(guitest::waitForExposed(ticket));
        ASSERT_TRUE(guitest::clickInto(child<QComboBox>("QuantityComboBox")->lineEdit()));
        guitest::pressKey(Qt::Key_Escape);
        EXPECT_FALSE(tc::gui::CommonAlert::showing(ticket, QStringLiteral("dropTypedText")));
        ASSERT_TRUE(waitFor([&] { return !ticket->isVisible(); }));
    }
}

// The ticket's orders when the line goes before their answers, against the test server: the server
// carries an order out while no client of the user is signed in, or never reads it.
class TicketLostOrderTest : public TradeTicketTest {
protected:
    // The ticket's order goes out (`send`) and the line drops before its answer; then the same user
    // signs in again. `carriedOut`: the server holds the order and carries it out once the line is
    // gone; else it stands still and the order goes with the line, never read. While signed out the
    // ticket says the order had no answer and names it (`named`, when given), and `whileLost` runs.
    void sendThenLoseTheLine(const std::function<void()>& send, bool carriedOut, const QString& named = {},
                             const std::function<void()>& whileLost = {}) {
        if (carriedOut)
            server->holdOrders(true);
        else
            server->pauseStream(true);
        const int heldBefore = server->stats().heldOrderRequests;
        QSignalSpy sent(ticket.data(), &TradeTicketWindowController::orderSent);
        ASSERT_NO_FATAL_FAILURE(send());
        ASSERT_EQ(sent.count(), 1);
        if (carriedOut) {
            ASSERT_TRUE(waitFor([&] { return server->stats().heldOrderRequests == heldBefore + 1; }));
        }
        EXPECT_FALSE(ticket->lostOrderNote()->isVisible());
        server->dropStreams();
        ASSERT_TRUE(waitFor([&] { return signalledState != interfaces::LoginState::SignedIn; }));
        ASSERT_TRUE(waitFor([&] { return ticket->lostOrderNote()->isVisible(); }));
        if (!named.isEmpty()) {
            EXPECT_EQ(ticket->lostOrderNote()->text(),
                      tc::gui::filledIn(context->text(texts::kTicketOrderNoAnswer), {named}));
        }
        if (whileLost) {
            ASSERT_NO_FATAL_FAILURE(whileLost());
        }
        if (carriedOut) {
            ASSERT_TRUE(server->answerHeldOrders({0}));
            server->holdOrders(false);
        } else {
            server->pauseStream(false);
        }
        ASSERT_TRUE(signIn());
    }
    // Waits for the ticket's note to open with `key`'s text filled with the order's description.
    void noteSays(const char* key, const QString& order) {
        const QString opening = tc::gui::filledIn(context->text(key), {order});
        ASSERT_TRUE(waitFor([&] { return ticket->lostOrderNote()->text().startsWith(opening); }))
            << ticket->lostOrderNote()->text().toStdString();
    }
    // The ids of the account's records on the ticket's instrument that the server holds.
    std::set<std::string> serverRecords(std::int32_t account, bool positions) {
        return server->book().with([&](const testserver::Books& b) {
            std::set<std::string> ids;
            if (positions) {
                for (const auto& p : b.positions)
                    if (p.accountId == account)
                        ids.insert(std::to_string(p.positionId));
            } else {
                for (const auto& o : b.pendingOrders)
                    if (o.accountId == account && o.refPositionId == 0)
                        ids.insert(std::to_string(o.pendingOrderId));
            }
            return ids;
        });
    }
    static std::string newOne(const std::set<std::string>& before, const std::set<std::string>& after) {
        std::vector<std::string> added;
        std::set_difference(after.begin(), after.end(), before.begin(), before.end(),
                            std::back_inserter(added));
        return added.size() == 1 ? added.front() : std::string();
    }
    QMessageBox* question() const {
        return tc::gui::CommonAlert::showing(ticket, QStringLiteral("sendOrderAgain"));
    }
    static void press(QMessageBox* box, const QString& text) {
        for (QAbstractButton* button : box->buttons())
            if (button->text() == text)
                QTest::mouseClick(button, Qt::LeftButton);
    }
    // Simple mode's Buy pressed and its confirmation placed.
    void buyAtMarket() {
        QTest::mouseClick(child<QPushButton>("buyButton"), Qt::LeftButton);
        QMessageBox* sheet = ticket->confirmationSheet();
        ASSERT_TRUE(sheet && sheet->isVisible());
        sheet->findChild<QPushButton*>("confirmButton")->click();
    }
    // Advanced mode, a buy limit order a step below the nearest price the rules allow, `lots` typed.
    QString setUpBuyLimit(const QString& lots) {
        ticket->setMode(TradeTicketWindowController::kAdvancedMode);
        chooseOrderType("Limit");
        child<tc::gui::PriceStepper>("PriceStepper")->downButton()->click();
        setQuantity(lots);
        return child<tc::gui::DecimalTextField>("PriceTextField")->text();
    }
    QString describe(const char* kind, const QString& lots, const QString& price) const {
        return QStringLiteral("Buy %1 %2 %3 @ %4, account %5")
            .arg(QLatin1String(kind), lots, QString::fromStdString(ticket->itemCode()), price)
            .arg(ticket->accountId());
    }
};

// A limit order the server carried out after the line went: signed in again, the ticket names the
// pending order that holds it, and the same order again asks first, naming it; Cancel sends nothing,
// "Send Again" sends it.
TEST_F(TicketLostOrderTest, ALimitOrderCarriedOutIsNamedAndAskedAboutBeforeItGoesAgain) {
    open();
    const std::int32_t account = ticket->accountId();
    const QString price = setUpBuyLimit("0.01");
    const QString order = describe("Limit", "0.01", price);
    const auto before = serverRecords(account, false);
    auto* place = child<QPushButton>("PlaceOrderButton");
    ASSERT_NO_FATAL_FAILURE(
        sendThenLoseTheLine([&] { QTest::mouseClick(place, Qt::LeftButton); }, true, order));
    const std::string held = newOne(before, serverRecords(account, false));
    ASSERT_FALSE(held.empty());
    ASSERT_NO_FATAL_FAILURE(noteSays(texts::kTicketOrderCarriedOut, order));
    EXPECT_EQ(
        ticket->lostOrderNote()->text(),
        tc::gui::filledIn(context->text(texts::kTicketOrderCarriedOut), {order}) + "\n" +
            QStringLiteral("Account %1: pending order #%2").arg(account).arg(QString::fromStdString(held)));

    const int requests = server->stats().orderRequests;
    ASSERT_TRUE(waitFor([&] { return place->isEnabled(); }));
    QTest::mouseClick(place, Qt::LeftButton);
    QMessageBox* ask = question();
    ASSERT_TRUE(ask);
    EXPECT_TRUE(ask->informativeText().contains(order)) << ask->informativeText().toStdString();
    EXPECT_TRUE(ask->informativeText().contains(
        QStringLiteral("pending order #%1").arg(QString::fromStdString(held))));
    EXPECT_EQ(ask->defaultButton()->text(), context->text(texts::kCancel));
    press(ask, context->text(texts::kCancel));
    ASSERT_TRUE(waitFor([&] { return !question(); }));
    EXPECT_EQ(server->stats().orderRequests, requests);
    EXPECT_EQ(serverRecords(account, false).size(), before.size() + 1);

    QTest::mouseClick(place, Qt::LeftButton);
    ASSERT_TRUE(question());
    press(question(), context->text(texts::kSendRequestAgain));
    EXPECT_TRUE(waitFor([&] { return serverRecords(account, false).size() == before.size() + 2; }));
    // Sent again, the earlier order is done with: the note goes, the next press asks nothing.
    EXPECT_FALSE(ticket->lostOrderNote()->isVisible());
    QTest::mouseClick(place, Qt::LeftButton);
    EXPECT_FALSE(question());
    EXPECT_TRUE(waitFor([&] { return serverRecords(account, false).size() == before.size() + 3; }));
}

// A buy limit order the line lost unread, while an older buy limit at a higher price, pending when
// it went out, fills during the loss: that fill opened above the lost order's price, where it never
// fills, so the lost order reads not carried out and goes again without a question.
TEST_F(TicketLostOrderTest, AnOlderLimitOrderFilledDuringTheLossIsNotTakenForTheLostOne) {
    open();
    const std::int32_t account = ticket->accountId();
    const QString older = setUpBuyLimit("0.01");
    auto* place = child<QPushButton>("PlaceOrderButton");
    const auto pending = serverRecords(account, false);
    QSignalSpy answered(session.get(), &tc::gui::ClientModel::requestAnswered);
    QTest::mouseClick(place, Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return !answered.isEmpty(); }));
    ASSERT_EQ(serverRecords(account, false).size(), pending.size() + 1);
    child<tc::gui::PriceStepper>("PriceStepper")->downButton()->click();
    const QString price = child<tc::gui::DecimalTextField>("PriceTextField")->text();
    ASSERT_NE(price, older);
    const QString order = describe("Limit", "0.01", price);
    const auto before = serverRecords(account, true);
    std::string fill;
    const auto fillTheOlder = [&] {
        // The market comes down to the older order's price and no further.
        ASSERT_TRUE(server->setQuote(ticket->itemCode(), older.toStdString(), older.toStdString()));
        ASSERT_TRUE(waitFor([&] { return !(fill = newOne(before, serverRecords(account, true))).empty(); }));
    };
    ASSERT_NO_FATAL_FAILURE(
        sendThenLoseTheLine([&] { QTest::mouseClick(place, Qt::LeftButton); }, false, order, fillTheOlder));
    ASSERT_NO_FATAL_FAILURE(noteSays(texts::kTicketOrderNotCarriedOut, order));
    EXPECT_FALSE(ticket->lostOrderNote()->text().contains(QString::fromStdString(fill)));

    // Its outcome is not known: sending it again asks first, naming it.
    const auto pendingBefore = serverRecords(account, false);
    ASSERT_TRUE(waitFor([&] { return place->isEnabled(); }));
    QTest::mouseClick(place, Qt::LeftButton);
    ASSERT_TRUE(question());
    EXPECT_EQ(question()->informativeText(),
              tc::gui::filledIn(context->text(texts::kTicketSendOrderAgainQuestion), {order}));
    press(question(), context->text(texts::kSendRequestAgain));
    EXPECT_TRUE(waitFor([&] { return serverRecords(account, false).size() == pendingBefore.size() + 1; }));
}

// Two like market orders in flight, the first carried out before the line went, the second lost
// unread. The wire cannot tell them apart, so the first's report waits for the second's and both are
// lost; the one position then holds one of them, never both: the other reads not carried out.
TEST_F(TicketLostOrderTest, APositionThatAnsweredTheFirstOfTwoLikeOrdersIsNotTheSecondsToo) {
    open();
    const std::int32_t account = ticket->accountId();
    setQuantity("0.01");
    const QString order = describe("Market", "0.01", context->text(texts::kMarketRate));
    const auto before = serverRecords(account, true);
    server->holdOrders(true);
    ASSERT_NO_FATAL_FAILURE(buyAtMarket());
    ASSERT_TRUE(waitFor([&] { return server->stats().heldOrderRequests == 1; }));
    server->pauseStream(true);
    ASSERT_NO_FATAL_FAILURE(buyAtMarket());
    ASSERT_TRUE(server->answerHeldOrders({0}));
    const std::string first = newOne(before, serverRecords(account, true));
    ASSERT_FALSE(first.empty());
    // The client has the first's report.
    ASSERT_TRUE(waitFor([&] {
        const auto listed = session->client().queries().getOpenOrderCollection();
        return std::any_of(listed.begin(), listed.end(),
                           [&](const auto& p) { return p && p->OpenPositionId == first; });
    }));
    server->dropStreams();
    ASSERT_TRUE(waitFor([&] { return signalledState != interfaces::LoginState::SignedIn; }));
    ASSERT_TRUE(waitFor([&] { return ticket->lostOrderNote()->isVisible(); }));
    EXPECT_EQ(ticket->lostOrderNote()->text().count(
                  tc::gui::filledIn(context->text(texts::kTicketOrderNoAnswer), {order})),
              2);
    server->holdOrders(false);
    server->pauseStream(false);
    ASSERT_TRUE(signIn());
    const QString carriedOut = tc::gui::filledIn(context->text(texts::kTicketOrderCarriedOut), {order});
    const QString notCarriedOut = tc::gui::filledIn(context->text(texts::kTicketOrderNotCarriedOut), {order});
    QLabel* note = ticket->lostOrderNote();
    ASSERT_TRUE(waitFor([&] {
        return note->text().count(carriedOut) + note->text().count(notCarriedOut) == 2;
    })) << note->text().toStdString();
    EXPECT_EQ(note->text().count(carriedOut), 1) << note->text().toStdString();
    EXPECT_EQ(note->text().count(QString::fromStdString(first)), 1) << note->text().toStdString();
    EXPECT_EQ(serverRecords(account, true).size(), before.size() + 1);
}

// A market order the server carried out: the ticket names its position, and Buy asks first in place
// of the usual confirmation.
TEST_F(TicketLostOrderTest, AMarketOrderCarriedOutNamesItsPositionAndBuyAsksFirst) {
    open();
    const std::int32_t account = ticket->accountId();
    setQuantity("0.01");
    const QString order = describe("Market", "0.01", context->text(texts::kMarketRate));
    const auto before = serverRecords(account, true);
    ASSERT_NO_FATAL_FAILURE(sendThenLoseTheLine([&] { buyAtMarket(); }, true, order));
    const std::string held = newOne(before, serverRecords(account, true));
    ASSERT_FALSE(held.empty());
    ASSERT_NO_FATAL_FAILURE(noteSays(texts::kTicketOrderCarriedOut, order));
    EXPECT_TRUE(ticket->lostOrderNote()->text().endsWith(
        QStringLiteral("Account %1: position #%2").arg(account).arg(QString::fromStdString(held))));

    auto* buy = child<QPushButton>("buyButton");
    ASSERT_TRUE(waitFor([&] { return buy->isEnabled(); }));
    QTest::mouseClick(buy, Qt::LeftButton);
    ASSERT_TRUE(question());
    EXPECT_FALSE(ticket->confirmationSheet() && ticket->confirmationSheet()->isVisible());
    EXPECT_TRUE(question()->informativeText().contains(
        QStringLiteral("position #%1").arg(QString::fromStdString(held))));
    press(question(), context->text(texts::kSendRequestAgain));
    EXPECT_TRUE(waitFor([&] { return serverRecords(account, true).size() == before.size() + 2; }));
}

// A market order the line lost unread: the ticket says the lists hold nothing of it (not the position
// a like order opened before it) and that its outcome is not known; Buy asks first, naming it, in
// place of the usual confirmation, with Cancel the default.
TEST_F(TicketLostOrderTest, AMarketOrderTheListsHoldNothingOfIsAskedAboutBeforeItGoesAgain) {
    open();
    const std::int32_t account = ticket->accountId();
    setQuantity("0.01");
    const QString order = describe("Market", "0.01", context->text(texts::kMarketRate));
    QSignalSpy answered(session.get(), &tc::gui::ClientModel::requestAnswered);
    ASSERT_NO_FATAL_FAILURE(buyAtMarket());
    ASSERT_TRUE(waitFor([&] { return !answered.isEmpty(); }));
    const auto before = serverRecords(account, true);
    ASSERT_NO_FATAL_FAILURE(sendThenLoseTheLine([&] { buyAtMarket(); }, false, order));
    ASSERT_NO_FATAL_FAILURE(noteSays(texts::kTicketOrderNotCarriedOut, order));
    EXPECT_EQ(serverRecords(account, true), before);

    auto* buy = child<QPushButton>("buyButton");
    ASSERT_TRUE(waitFor([&] { return buy->isEnabled(); }));
    QTest::mouseClick(buy, Qt::LeftButton);
    ASSERT_TRUE(question());
    EXPECT_FALSE(ticket->confirmationSheet() && ticket->confirmationSheet()->isVisible());
    EXPECT_EQ(question()->informativeText(),
              tc::gui::filledIn(context->text(texts::kTicketSendOrderAgainQuestion), {order}));
    EXPECT_EQ(question()->defaultButton()->text(), context->text(texts::kCancel));
    press(question(), context->text(texts::kSendRequestAgain));
    EXPECT_TRUE(waitFor([&] { return serverRecords(account, true).size() == before.size() + 1; }));
    EXPECT_FALSE(ticket->lostOrderNote()->isVisible());
}

// A limit and a market order the server holds through the loss and carries out only once the user
// is signed in again: the ticket first says the lists hold nothing of them, then, as the pending
// order and the position come, names them, and the same limit order again asks naming its record.
TEST_F(TicketLostOrderTest, OrdersCarriedOutAfterTheSignInAreNamedOnceTheListsHoldThem) {
    open();
    const std::int32_t account = ticket->accountId();
    const QString price = setUpBuyLimit("0.01");
    const QString limit = describe("Limit", "0.01", price);
    const QString market = describe("Market", "0.01", context->text(texts::kMarketRate));
    const auto pendingBefore = serverRecords(account, false);
    const auto positionsBefore = serverRecords(account, true);
    server->holdOrders(true);
    auto* place = child<QPushButton>("PlaceOrderButton");
    QTest::mouseClick(place, Qt::LeftButton);
    ticket->setMode(TradeTicketWindowController::kSimpleMode);
    setQuantity("0.01");
    ASSERT_NO_FATAL_FAILURE(buyAtMarket());
    ASSERT_TRUE(waitFor([&] { return server->stats().heldOrderRequests == 2; }));
    server->dropStreams();
    ASSERT_TRUE(waitFor([&] { return signalledState != interfaces::LoginState::SignedIn; }));
    ASSERT_TRUE(signIn());
    const auto notCarriedOut = [&](const QString& order) {
        return tc::gui::filledIn(context->text(texts::kTicketOrderNotCarriedOut), {order});
    };
    ASSERT_TRUE(waitFor([&] {
        return ticket->lostOrderNote()->text() == notCarriedOut(limit) + "\n\n" + notCarriedOut(market);
    })) << ticket->lostOrderNote()->text().toStdString();

    ASSERT_TRUE(server->answerHeldOrders({0, 1}));
    server->holdOrders(false);
    const std::string pending = newOne(pendingBefore, serverRecords(account, false));
    const std::string position = newOne(positionsBefore, serverRecords(account, true));
    ASSERT_FALSE(pending.empty());
    ASSERT_FALSE(position.empty());
    const auto carriedOut = [&](const QString& order, const QString& record) {
        return tc::gui::filledIn(context->text(texts::kTicketOrderCarriedOut), {order}) +
               QStringLiteral("\nAccount %1: %2").arg(account).arg(record);
    };
    const QString pendingLine = QStringLiteral("pending order #%1").arg(QString::fromStdString(pending));
    EXPECT_TRUE(waitFor([&] {
        return ticket->lostOrderNote()->text() ==
               carriedOut(limit, pendingLine) + "\n\n" +
                   carriedOut(market, QStringLiteral("position #%1").arg(QString::fromStdString(position)));
    })) << ticket->lostOrderNote()->text().toStdString();

    // The same limit order again asks, naming the pending order that holds it.
    ticket->setMode(TradeTicketWindowController::kAdvancedMode);
    chooseOrderType("Limit");
    setQuantity("0.01");
    typeInto(child<tc::gui::DecimalTextField>("PriceTextField"), price);
    ASSERT_TRUE(waitFor([&] { return place->isEnabled(); }));
    QTest::mouseClick(place, Qt::LeftButton);
    ASSERT_TRUE(question());
    EXPECT_TRUE(question()->informativeText().contains(pendingLine))
        << question()->informativeText().toStdString();
    press(question(), context->text(texts::kCancel));
}

// Orders the line lost unread, each told at length over the form: the texts take the height they
// wrap to and the window grows, so the form keeps its fields' room; past ten lines they scroll within
// ten lines' height, and Tab reaches them.
class TicketLostOrderTextsTest : public TicketLostOrderTest {
protected:
    // `orders` limit orders, each a price step below the last, go into a server that stands still;
    // the line drops and the same user signs in again: the ticket tells each as not carried out.
    void loseLimitOrders(int orders) {
        open();
        ASSERT_TRUE(guitest::waitForExposed(ticket));
        setUpBuyLimit("0.01");
        auto* place = child<QPushButton>("PlaceOrderButton");
        QSignalSpy sent(ticket.data(), &TradeTicketWindowController::orderSent);
        server->pauseStream(true);
        for (int i = 0; i < orders; ++i) {
            if (i > 0)
                child<tc::gui::PriceStepper>("PriceStepper")->downButton()->click();
            QTest::mouseClick(place, Qt::LeftButton);
        }
        ASSERT_EQ(sent.count(), orders);
        server->dropStreams();
        ASSERT_TRUE(waitFor([&] { return signalledState != interfaces::LoginState::SignedIn; }));
        server->pauseStream(false);
        ASSERT_TRUE(signIn());
        const QString notCarriedOut =
            tc::gui::filledIn(context->text(texts::kTicketOrderNotCarriedOut), {{}}).left(20);
        ASSERT_TRUE(waitFor([&] { return note()->text().count(notCarriedOut) == orders; }));
    }
    QLabel* note() const { return ticket->lostOrderNote(); }
    QScrollArea* area() const { return child<QScrollArea>("lostOrderArea"); }
    int tenLines() const { return note()->fontMetrics().lineSpacing() * 10; }
    // The form's fields given less height than they ask for, as "name height of asked; ".
    QString squeezedFields() const {
        QString squeezed;
        for (const char* name :
             {"QuantityComboBox", "OrderTypeComboBox", "PriceTextField", "TakeProfitPriceTextField",
              "StopLossPriceTextField", "TimeInForceComboBox", "ValidityComboBox", "PlaceOrderButton"}) {
            const QWidget* field = child<QWidget>(name);
            if (field->height() < field->sizeHint().height())
                squeezed += QStringLiteral("%1 %2 of %3; ")
                                .arg(QLatin1String(name))
                                .arg(field->height())
                                .arg(field->sizeHint().height());
        }
        return squeezed;
    }
};

TEST_F(TicketLostOrderTextsTest, TwoLostOrdersTextsShowWholeAndLeaveTheFormItsRoom) {
    ASSERT_NO_FATAL_FAILURE(loseLimitOrders(2));
    ASSERT_LE(note()->heightForWidth(area()->viewport()->width()), tenLines()) << "more than ten lines";
    QString wrong;
    const auto fits = [&] {
        wrong = squeezedFields();
        if (area()->verticalScrollBar()->maximum() > 0)
            wrong += QStringLiteral("the texts scroll, %1 of %2")
                         .arg(area()->viewport()->height())
                         .arg(note()->heightForWidth(area()->viewport()->width()));
        return wrong.isEmpty();
    };
    EXPECT_TRUE(waitFor(fits)) << wrong.toStdString();
    EXPECT_FALSE(area()->focusPolicy() & Qt::TabFocus) << "nothing to scroll to";
}

TEST_F(TicketLostOrderTextsTest, PastTenLinesTheLostOrdersTextsScrollWithinTenLines) {
    ASSERT_NO_FATAL_FAILURE(loseLimitOrders(6));
    ASSERT_GT(note()->heightForWidth(area()->viewport()->width()), tenLines()) << "ten lines or fewer";
    QString wrong;
    const auto fits = [&] {
        wrong = squeezedFields();
        if (area()->height() > tenLines())
            wrong += QStringLiteral("the texts take %1, over ten lines' %2; ")
                         .arg(area()->height())
                         .arg(tenLines());
        if (area()->verticalScrollBar()->maximum() == 0)
            wrong += QStringLiteral("the texts do not scroll");
        return wrong.isEmpty();
    };
    EXPECT_TRUE(waitFor(fits)) << wrong.toStdString();
    ASSERT_TRUE(guitest::clickInto(child<QWidget>("advancedRadioButton")));
    EXPECT_TRUE(guitest::tabTo(area())) << "the scrolled texts are not reached by Tab";
}

// The usual case: an order answered before the line goes is no lost order. Nothing is said of it
// after a sign-in again, and the same order goes through the usual confirmation.
TEST_F(TicketLostOrderTest, AnOrderAnsweredBeforeTheLossIsNeitherToldNorAskedAbout) {
    open();
    const std::int32_t account = ticket->accountId();
    setQuantity("0.01");
    const auto before = serverRecords(account, true);
    QSignalSpy answered(session.get(), &tc::gui::ClientModel::requestAnswered);
    ASSERT_NO_FATAL_FAILURE(buyAtMarket());
    ASSERT_TRUE(waitFor([&] { return !answered.isEmpty(); }));
    EXPECT_EQ(serverRecords(account, true).size(), before.size() + 1);
    server->dropStreams();
    ASSERT_TRUE(waitFor([&] { return signalledState != interfaces::LoginState::SignedIn; }));
    ASSERT_TRUE(signIn());
    auto* buy = child<QPushButton>("buyButton");
    ASSERT_TRUE(waitFor([&] {
        const auto& lists = session->client().dataService();
        return lists.openPositionsListed && lists.pendingOrdersListed && buy->isEnabled();
    }));
    EXPECT_FALSE(ticket->lostOrderNote()->isVisible());
    QTest::mouseClick(buy, Qt::LeftButton);
    EXPECT_FALSE(question());
    EXPECT_TRUE(ticket->confirmationSheet() && ticket->confirmationSheet()->isVisible());
}

// An order over several accounts is told account by account: the position that holds each share.
TEST_F(TicketLostOrderTest, AnOrderOverSeveralAccountsNamesEachAccountsPosition) {
    open();
    child<QPushButton>("multiTradeButton")->click();
    ASSERT_TRUE(ticket->isMultiAccountMode());
    MultiAccountTableModel& rows = ticket->multiAccountModel();
    ASSERT_GE(rows.rowCount(), 2);
    rows.setTicked(0, true);
    rows.setTicked(1, true);
    ASSERT_TRUE(rows.setQuantity(0, "0.02"));
    ASSERT_TRUE(rows.setQuantity(1, "0.01"));
    const std::int32_t first = rows.rows()[0].accountDet->AccountId;
    const std::int32_t second = rows.rows()[1].accountDet->AccountId;
    const auto firstBefore = serverRecords(first, true);
    const auto secondBefore = serverRecords(second, true);
    ASSERT_NO_FATAL_FAILURE(sendThenLoseTheLine([&] { buyAtMarket(); }, true));
    const QString order =
        QStringLiteral("Buy Market %1 @ %2, accounts %3: 0.02 lots, %4: 0.01 lots")
            .arg(QString::fromStdString(ticket->itemCode()), context->text(texts::kMarketRate))
            .arg(first)
            .arg(second);
    ASSERT_NO_FATAL_FAILURE(noteSays(texts::kTicketOrderCarriedOut, order));
    const std::string firstHeld = newOne(firstBefore, serverRecords(first, true));
    const std::string secondHeld = newOne(secondBefore, serverRecords(second, true));
    EXPECT_TRUE(ticket->lostOrderNote()->text().endsWith(
        QStringLiteral("\nAccount %1: position #%2\nAccount %3: position #%4")
            .arg(first)
            .arg(QString::fromStdString(firstHeld))
            .arg(second)
            .arg(QString::fromStdString(secondHeld))))
        << ticket->lostOrderNote()->text().toStdString();
}

// An order over several accounts whose first account was answered before the line went, the other
// not: the answered part is done with; the other is told as an order of its own (the position that
// holds it), and the whole order again asks first.
TEST_F(TicketLostOrderTest, AnOrderOverSeveralAccountsTellsOnlyThePartsWithoutAnAnswer) {
    open();
    child<QPushButton>("multiTradeButton")->click();
    ASSERT_TRUE(ticket->isMultiAccountMode());
    MultiAccountTableModel& rows = ticket->multiAccountModel();
    ASSERT_GE(rows.rowCount(), 2);
    rows.setTicked(0, true);
    rows.setTicked(1, true);
    ASSERT_TRUE(rows.setQuantity(0, "0.02"));
    ASSERT_TRUE(rows.setQuantity(1, "0.01"));
    const std::int32_t first = rows.rows()[0].accountDet->AccountId;
    const std::int32_t second = rows.rows()[1].accountDet->AccountId;
    const auto firstBefore = serverRecords(first, true);
    const auto secondBefore = serverRecords(second, true);
    server->loseMultiAccountReportsOf(second);
    QSignalSpy answered(session.get(), &tc::gui::ClientModel::requestAnswered);
    ASSERT_NO_FATAL_FAILURE(buyAtMarket());
    ASSERT_TRUE(waitFor([&] { return !answered.isEmpty(); }));
    ASSERT_TRUE(waitFor([&] {
        return serverRecords(first, true).size() == firstBefore.size() + 1 &&
               serverRecords(second, true).size() == secondBefore.size() + 1;
    }));
    server->loseMultiAccountReportsOf(0);
    const std::string secondHeld = newOne(secondBefore, serverRecords(second, true));
    ASSERT_FALSE(secondHeld.empty());
    EXPECT_FALSE(ticket->lostOrderNote()->isVisible());

    server->dropStreams();
    ASSERT_TRUE(waitFor([&] { return signalledState != interfaces::LoginState::SignedIn; }));
    const QString part =
        QStringLiteral("Buy Market 0.01 %1 @ %2, account %3")
            .arg(QString::fromStdString(ticket->itemCode()), context->text(texts::kMarketRate))
            .arg(second);
    ASSERT_TRUE(waitFor([&] { return ticket->lostOrderNote()->isVisible(); }));
    EXPECT_EQ(ticket->lostOrderNote()->text(),
              tc::gui::filledIn(context->text(texts::kTicketOrderNoAnswer), {part}));
    ASSERT_TRUE(signIn());
    ASSERT_NO_FATAL_FAILURE(noteSays(texts::kTicketOrderCarriedOut, part));
    EXPECT_EQ(
        ticket->lostOrderNote()->text(),
        tc::gui::filledIn(context->text(texts::kTicketOrderCarriedOut), {part}) + "\n" +
            QStringLiteral("Account %1: position #%2").arg(second).arg(QString::fromStdString(secondHeld)));

    // The same order over both accounts (ticked again: the new sign-in's rows are fresh) would send
    // that part again: the trader is asked first.
    auto* buy = child<QPushButton>("buyButton");
    ASSERT_TRUE(waitFor([&] { return buy->isEnabled(); }));
    ASSERT_TRUE(ticket->isMultiAccountMode());
    ASSERT_GE(rows.rowCount(), 2);
    rows.setTicked(0, true);
    rows.setTicked(1, true);
    ASSERT_TRUE(rows.setQuantity(0, "0.02"));
    ASSERT_TRUE(rows.setQuantity(1, "0.01"));
    const int requests = server->stats().orderRequests;
    QTest::mouseClick(buy, Qt::LeftButton);
    ASSERT_TRUE(question());
    EXPECT_TRUE(question()->informativeText().contains(
        QStringLiteral("position #%1").arg(QString::fromStdString(secondHeld))));
    press(question(), context->text(texts::kCancel));
    ASSERT_TRUE(waitFor([&] { return !question(); }));
    EXPECT_EQ(server->stats().orderRequests, requests);
}

// An order waiting while the server is silent: the ticket says the server is not answering and that
// the order still waits, nothing sent again (the sheets' line); its answer ends the line, and a
// silence with no order waiting says nothing.
TEST_F(TicketLostOrderTest, AnOrderWaitingThroughASilenceSaysTheServerIsNotAnswering) {
    open();
    const std::int32_t account = ticket->accountId();
    setQuantity("0.01");
    const auto before = serverRecords(account, true);
    QSignalSpy answering(session.get(), &tc::gui::ClientModel::answeringChanged);
    QSignalSpy answered(session.get(), &tc::gui::ClientModel::requestAnswered);
    server->pauseStream(true);
    ASSERT_NO_FATAL_FAILURE(buyAtMarket());
    EXPECT_FALSE(ticket->waitingLine()->isVisible());
    ASSERT_TRUE(waitFor([&] { return !answering.isEmpty(); }, 30000));
    EXPECT_FALSE(answering.takeFirst().at(0).toBool());
    EXPECT_TRUE(answered.isEmpty());
    EXPECT_TRUE(ticket->waitingLine()->isVisible());
    EXPECT_EQ(ticket->waitingLine()->text(), context->text(texts::kSheetServerNotAnswering));
    EXPECT_FALSE(ticket->lostOrderNote()->isVisible());
    server->pauseStream(false);
    ASSERT_TRUE(waitFor([&] { return !answered.isEmpty(); }));
    EXPECT_FALSE(ticket->waitingLine()->isVisible());
    EXPECT_EQ(serverRecords(account, true).size(), before.size() + 1);

    ASSERT_TRUE(waitFor([&] { return !answering.isEmpty(); }));
    EXPECT_TRUE(answering.takeFirst().at(0).toBool());
    server->pauseStream(true);
    ASSERT_TRUE(waitFor([&] { return !answering.isEmpty(); }, 30000));
    EXPECT_FALSE(ticket->waitingLine()->isVisible());
    server->pauseStream(false);
    EXPECT_TRUE(waitFor([&] { return answering.count() == 2; }));
}
