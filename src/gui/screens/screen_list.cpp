// Every window and sheet of the program, as the screenshot tool shows them. One line per screen.
#include "gui/app/about_window_controller.h"
#include "gui/app/app_delegate.h"
#include "gui/app/common_alert.h"
#include "gui/app/font_size_settings_window_controller.h"
#include "gui/app/gui_context.h"
#include "gui/app/gui_objects.h"
#include "gui/app/idle_timeout_window_controller.h"
#include "gui/app/in_app_notification_center.h"
#include "gui/app/login_registration_window_controller.h"
#include "gui/app/login_window_controller.h"
#include "gui/app/qt_shell.h"
#include "gui/app/remembered_users.h"
#include "gui/app/settings_window_controller.h"
#include "gui/app/unlock_window_controller.h"
#include "gui/funding/account_access_setting_window_controller.h"
#include "gui/funding/change_password_window_controller.h"
#include "gui/screens/screen_registry.h"
#include "platform/user_defaults.h"

#include "gui/app/language.h"
#include "gui/app/main_window_controller.h"
#include "gui/app/theme_manager.h"
#include "gui/charts/chart_analysis_view_controller.h"
#include "gui/charts/chart_controller.h"
#include "gui/charts/chart_view_controller.h"
#include "gui/charts/chart_window_controller.h"
#include "gui/charts/pie_chart_controller.h"
#include "gui/charts/pie_chart_view_controller.h"
#include "gui/chat/chat_message_window_controller.h"
#include "gui/chat/chat_transcript_view.h"
#include "gui/chat/chat_window_controller.h"
#include "gui/chat/messages_window_controller.h"
#include "gui/chat/recent_conversation_window_controller.h"
#include "gui/controls/grid_table.h"
#include "gui/funding/deposit_request_window_controller.h"
#include "gui/funding/deposits_withdrawals_window_controller.h"
#include "gui/funding/withdrawal_request_window_controller.h"
#include "gui/grid/grid_model.h"
#include "gui/grid/grid_pane.h"
#include "gui/market/add_remove_window_controller.h"
#include "gui/market/advanced_detail_window_controller.h"
#include "gui/market/advanced_watchlist_table_controller.h"
#include "gui/market/detail_window_controller.h"
#include "gui/market/market_depth_table_controller.h"
#include "gui/market/watchlist_table_controller.h"
#include "gui/models/chart_model.h"
#include "gui/models/client_model.h"
#include "gui/news/news_table_controller.h"
#include "gui/resources/resources_view_controller.h"
#include "gui/statements/account_statement_window_controller.h"
#include "gui/texts.h"
#include "gui/trading/close_all_window_controller.h"
#include "gui/trading/close_position_status_window_controller.h"
#include "gui/trading/closend_cancel_position_window_controller.h"
#include "gui/trading/modify_position_window_controller.h"
#include "gui/trading/multi_account_model.h"
#include "gui/trading/offset_position_window_controller.h"
#include "gui/trading/position_dialogs.h"
#include "gui/trading/trade_ticket_window_controller.h"
#include "model/account_figures.h"
#include "model/records/account_details.h"
#include "model/records/order.h"
#include "model/session_queries.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <memory>
#include <optional>

namespace tc::gui {
namespace {

// A laptop's screen, 1600 by 1000 free of panels: the main window's first-run size there.
const QRect kFirstRunScreen(0, 0, 1600, 1000);

SettingsWindowController* settingsWindow(ScreenContext& c) {
    auto* settings = c.own(new SettingsWindowController(c.context()));
    settings->setAccountCapabilities(true, true);
    settings->show();
    return settings;
}

QWidget* settingsSheet(ScreenContext& c, bool fontSize) {
    SettingsWindowController* settings = settingsWindow(c);
    if (fontSize)
        settings->fontSizeSettingButtonClicked();
    else
        settings->IdleTimeoutButtonClicked();
    QWidget* sheet =
        fontSize ? static_cast<QWidget*>(settings->fontSizeSheet()) : settings->idleTimeoutSheet();
    c.waitUntil([sheet] { return sheet->isVisible(); });
    return sheet;
}

// The settings window with the password or the account-access sheet open on it. The access sheet
// waits for the demo's maps of 20001 (trader may trade on it); the password sheet, with `refused`,
// has sent a new password the server finds too short and shows its answer.
QWidget* accountSheet(ScreenContext& c, bool access, bool refused) {
    c.session();
    SettingsWindowController* settings = settingsWindow(c);
    if (access) {
        auto* sheet = new AccountAccessSettingWindowController(c.context());
        settings->setAccountAccessSheet([sheet](QWidget*) { return sheet; });
        settings->accountAccessSettingButtonClicked();
        c.waitUntil([sheet] { return sheet->isVisible() && sheet->form().user() != nullptr; });
        return sheet;
    }
    auto* sheet = new ChangePasswordWindowController(c.context());
    settings->setChangePasswordSheet([sheet](QWidget*) { return sheet; });
    settings->ChangePasswordButtonClicked();
    c.waitUntil([sheet] { return sheet->isVisible(); });
    if (refused) {
        for (const auto& [field, text] :
             {std::pair{"OldPasswordTextField", "demo1234"}, std::pair{"NewPasswordField", "short"},
              std::pair{"ConfirmPasswordField", "short"}})
            if (auto* edit = sheet->findChild<QLineEdit*>(QString::fromLatin1(field)))
                edit->setText(QString::fromLatin1(text));
        sheet->ChangePasswordButtonClicked();
        c.waitUntil([sheet] { return !sheet->waiting(); });
    }
    return sheet;
}

QWidget* about(ScreenContext& c) {
    AboutWindowController* window = c.context().guiObjects().getAboutWindowController();
    c.context().guiObjects().showAbout(nullptr);
    return window;
}

QWidget* banner(ScreenContext& c, bool withButtons) {
    GuiContext& gui = c.context();
    interfaces::InAppNotification n;
    n.title = kApplicationName;
    if (withButtons) {
        n.subtitle = gui.text(texts::kUpdateNow).toStdString();
        n.informativeText = gui.text(texts::kVersionNoLongerSupported).toStdString();
        n.hasActionButton = true;
        n.feature.lineBreakMode = 0;
        n.feature.dismissDelayTime = -1;
    } else {
        n.subtitle = gui.text(texts::kNetwork).toStdString();
        n.informativeText = gui.text(texts::kNetworkConnectionNotAvailable).toStdString();
        n.feature.dismissDelayTime = -1;
    }
    auto* banner = gui.banners().deliverNotification(n);
    c.waitUntil([banner] { return banner->phase() == InAppNotificationBannerController::Phase::Shown; });
    return banner;
}

QWidget* alert(ScreenContext& c) {
    QtShell& shell = c.shell();
    auto* owner = c.own(new QWidget);
    owner->resize(480, 320);
    owner->show();
    shell.setPrimaryWindow(owner);
    shell.onConnectionLost();
    QMessageBox* box = CommonAlert::showing(owner, QStringLiteral("connectionLost"));
    c.waitUntil([box] { return box && box->isVisible(); });
    return box;
}

// Screens keep no passwords.
class NoSecrets : public SecretStore {
public:
    void write(const std::string&, const std::string&, WriteDone done) override {
        done(false, "the screenshot tool keeps no passwords");
    }
    void read(const std::string&, ReadDone done) override { done(std::nullopt); }
    void remove(const std::string&) override {}
};

// The login window in simulation mode with its connection drawer open, over the demo session (it
// signs in nowhere here).
LoginWindowController* loginWindow(ScreenContext& c) {
    auto defaults = std::shared_ptr<platform::UserDefaults>(platform::UserDefaults::inMemory());
    auto secrets = std::make_shared<NoSecrets>();
    auto remembered = std::make_shared<RememberedUsers>(*defaults, "", *secrets);
    c.keep(defaults);
    c.keep(secrets);
    c.keep(remembered);
    auto* login = c.own(new LoginWindowController(c.context(), c.shell(), c.session(), *remembered));
    login->selectConnectionMode(1);
    login->show();
    return login;
}

QWidget* login(ScreenContext& c) {
    LoginWindowController* window = loginWindow(c);
    window->toggleRightDrawer();
    return window;
}

QWidget* demoRegistration(ScreenContext& c) {
    LoginWindowController* window = loginWindow(c);
    window->createDemoUserButtonClicked();
    LoginRegistrationWindowController* sheet = window->registrationSheet();
    sheet->findChild<QLineEdit*>(QStringLiteral("NameTextField"))->setText(QStringLiteral("Ann Example"));
    sheet->findChild<QLineEdit*>(QStringLiteral("EmailTextField"))
        ->setText(QStringLiteral("ann@example.org"));
    c.waitUntil([sheet] { return sheet->isVisible(); });
    return sheet;
}

QWidget* unlock(ScreenContext& c) {
    auto* main = c.own(new QWidget);
    main->resize(640, 400);
    main->show();
    auto* window = c.own(new UnlockWindowController(c.context(), c.shell(), c.session()));
    window->lock(main);
    // The lock holds banners back; once captured they are let through again for later screens.
    GuiContext& gui = c.context();
    c.keep(std::shared_ptr<void>(nullptr, [&gui](void*) { gui.banners().setHeld(false); }));
    return window;
}

// Every shipped image on the window background, to judge them in both themes.
QWidget* images(ScreenContext& c) {
    auto* sheet = c.own(new QWidget);
    auto* grid = new QGridLayout(sheet);
    const QStringList files = QDir(QStringLiteral(":/images")).entryList(QDir::Files, QDir::Name);
    for (int i = 0; i < files.size(); ++i) {
        auto* picture = new QLabel(sheet);
        picture->setPixmap(QIcon(QStringLiteral(":/images/") + files[i]).pixmap(32, 32));
        auto* name = new QLabel(QFileInfo(files[i]).baseName(), sheet);
        grid->addWidget(picture, i / 3, (i % 3) * 2);
        grid->addWidget(name, i / 3, (i % 3) * 2 + 1);
    }
    sheet->show();
    return sheet;
}

// The price chart of the first watched instrument from the session's chart replies, in the theme in
// force; type 1 line, 2 OHLC bars, 3 candlesticks. With the crosshair held on the 25th visible bar.
QWidget* chart(ScreenContext& c, int type, bool crosshair) {
    auto source = std::make_shared<ChartModel>(c.session());
    c.keep(source);
    auto* view = c.own(new ChartController(*source));
    view->followTick(&c.session());
    view->resize(900, 520);
    view->setSeriesTitles(c.context().text(texts::kBid), c.context().text(texts::kAsk));
    view->applyChartTheme(static_cast<int>(c.context().themes().getThemeForKey()));
    QObject::connect(&c.context().themes(), &ThemeManager::themeChanged, view,
                     [view](std::int64_t theme) { view->applyChartTheme(static_cast<int>(theme)); });
    const std::string code = c.session().client().watchList().front();
    view->setValue(QString::fromStdString(code), QStringLiteral("1#%1").arg(type));
    view->show();
    c.waitUntil([view] { return !view->chart().bars().empty(); }, 15000);
    if (crosshair) {
        view->crosshairToggleSelection();
        GraphView& graph = view->graph();
        const PlotSpace& space = graph.defaultPlotSpace();
        const QPointF at =
            space.viewPoint(view->chart().viewport().from() + 24, space.yRange().location) - QPointF(0, 40);
        QMouseEvent press(QEvent::MouseButtonPress, at, graph.mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(&graph, &press);
    }
    return view;
}

// A chart window on the first watched instrument with the SMA, the Bollinger bands and MACD shown,
// as `type` (1 line, 2 OHLC bars, 3 candlesticks); with the analysis panel open when asked.
QWidget* chartWindow(ScreenContext& c, int type, bool panel) {
    auto* window = c.own(new ChartWindowController(c.context()));
    window->setAttribute(Qt::WA_DeleteOnClose, false); // the screenshot tool deletes it
    window->resize(1100, 680);
    window->show();
    window->NeedReload();
    ChartController& chart = window->chartController();
    c.waitUntil([&chart] { return !chart.chart().bars().empty(); }, 15000);
    window->ChartTypeControlSelected(type - 1);
    ChartAnalysisViewController& studies = window->analysisPanel();
    for (auto study :
         {tc::charts::Study::SimpleMovingAverage, tc::charts::Study::BollingerBands, tc::charts::Study::Macd})
        studies.checkBox(study)->setChecked(true);
    if (!panel)
        return window;
    window->analysisButtonClicked();
    c.waitUntil([window] { return window->analysisPopup()->isVisible(); });
    return window->analysisPopup();
}

// The margin pie of the demo's first account: the session's hedged figures per instrument.
QWidget* pie(ScreenContext& c) {
    interfaces::Client& client = c.session().client();
    const std::int32_t accountId = client.queries().getAccountCollection().front()->AccountId;
    client.setCurrentAccount(accountId);
    QStringList titles;
    QList<double> values;
    for (const auto& slice : accountPieSlices(client.model(), client.queries().getOpenOrderCollection(),
                                              accountId, PieMode::Margin))
        titles << QString::fromStdString(slice.title), values << slice.value;
    auto* view = c.own(new PieChartController);
    view->resize(420, 260);
    view->applyTheme(static_cast<int>(c.context().themes().getThemeForKey()));
    QObject::connect(&c.context().themes(), &ThemeManager::themeChanged, view,
                     [view](std::int64_t theme) { view->applyTheme(static_cast<int>(theme)); });
    view->titleLabel().hide(); // its owner (the account pie) writes it
    view->loadChart(titles, values);
    view->show();
    return view;
}

// A pie with nothing to show, as the statement's settled pie of a period without settlements.
QWidget* emptyPie(ScreenContext& c) {
    auto* view = c.own(new PieChartController);
    view->resize(420, 260);
    view->applyTheme(static_cast<int>(c.context().themes().getThemeForKey()));
    QObject::connect(&c.context().themes(), &ThemeManager::themeChanged, view,
                     [view](std::int64_t theme) { view->applyTheme(static_cast<int>(theme)); });
    view->titleLabel().setText(c.context().text(texts::kSettledPL));
    view->setEmptyText(c.context().text(texts::kNoSettledPositionsPeriod));
    view->loadChart({}, {});
    view->show();
    return view;
}

// The advanced detail window of the first watched instrument, its market sessions and chart in.
QWidget* advancedDetail(ScreenContext& c) {
    const std::string code = c.session().client().watchList().front();
    auto* window = c.own(new AdvancedDetailWindowController(c.context()));
    window->resize(1360, 860);
    window->runModalWindowForItem(code);
    c.waitUntil(
        [window] {
            for (std::size_t i = 0; i < AdvancedDetailWindowController::kPanes; ++i)
                if (window->paneTable(i)->rowCount() == 0)
                    return false;
            return !window->chartController().chart().bars().empty();
        },
        15000);
    return window;
}

// The quotes board with its ladders below, its first instrument selected.
QWidget* quotesBoard(ScreenContext& c) {
    auto* pane = c.own(new QWidget);
    auto* layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* board = new WatchlistTableController(c.context(), pane);
    auto* depth = new MarketDepthPane(c.context(), pane);
    layout->addWidget(board);
    layout->addWidget(depth);
    QObject::connect(board, &WatchlistTableController::instrumentSelected, depth,
                     &MarketDepthPane::setInstrument);
    pane->resize(1240, 420);
    pane->show();
    c.waitUntil([board] { return board->model()->rowCount() > 0; });
    board->selectRow(0);
    c.waitUntil([depth] {
        return depth->buyLadder().model()->rowCount() > 0 && depth->sellLadder().model()->rowCount() > 0;
    });
    return pane;
}

QWidget* quotesTiles(ScreenContext& c) {
    auto* tiles = c.own(new AdvancedWatchlistTableController(c.context()));
    tiles->resize(380, 560);
    tiles->show();
    // Two refreshes, so that the feed's moves show their arrows.
    c.session().tickNow();
    c.waitUntil([] { return false; }, 1100);
    c.session().tickNow();
    return tiles;
}

QWidget* symbolChooser(ScreenContext& c) {
    auto* owner = c.own(new QWidget);
    owner->resize(900, 600);
    owner->show();
    auto* chooser = new AddRemoveWindowController(c.context(), owner);
    chooser->openOn(owner);
    c.waitUntil([chooser] { return chooser->isVisible(); });
    return chooser;
}

// An account, position or order grid of the main window's tabs, with its totals, status line or
// search bar.
QWidget* gridPane(ScreenContext& c, Grid which) {
    auto* pane = c.own(new GridPane(c.context(), which));
    pane->resize(1400, 320);
    pane->show();
    c.session().tickNow();
    c.waitUntil([pane] { return pane->gridModel().rowCount() > 0; });
    return pane;
}

// The main window signed in as demo, as it first opens on a screen whose free room is `screen`.
QWidget* mainWindow(ScreenContext& c, const QRect& screen) {
    auto* window = c.own(new MainWindowController(c.context()));
    window->setUserName(QStringLiteral("demo"));
    fillScreen(window, screen);
    window->show();
    c.session().tickNow();
    GridTable* positions = window->gridTable(Grid::OpenPositions);
    auto* serverTime = window->findChild<QLabel*>(QStringLiteral("ServerTimeTextField"));
    // The demo's positions valued by the core's first refresh, not the sign-in's zeros.
    auto* profit = window->findChild<QLabel*>(QStringLiteral("ProfitLossValueTextField"));
    c.waitUntil([positions, serverTime, profit] {
        return positions->model()->rowCount() > 0 && !serverTime->text().isEmpty() &&
               profit->text() != QStringLiteral(": 0.00");
    });
    // The four slots' charts drawn, the account pie built.
    c.waitUntil(
        [window] {
            for (std::size_t i = 0; i < 4; ++i) {
                const ChartController* chart = window->chartSlot(i)->chartController();
                if (!chart || chart->chart().bars().empty())
                    return false;
            }
            return true;
        },
        15000);
    window->accountPie()->reloadData();
    return window;
}

QWidget* mainWindow(ScreenContext& c) {
    return mainWindow(c, kFirstRunScreen);
}

// A detail window as a sheet on a plain owner, filled from the demo's session.
QWidget* detail(ScreenContext& c, const std::function<DetailWindowController*(QWidget* owner)>& open) {
    auto* owner = c.own(new QWidget);
    owner->resize(900, 640);
    owner->show();
    DetailWindowController* window = open(owner);
    if (!window)
        return nullptr;
    c.waitUntil([window] { return window->isVisible() && window->detailTableView()->rowCount() > 0; });
    return window;
}

QWidget* receipt(ScreenContext& c) {
    const auto positions = c.session().client().queries().getOpenOrderCollection();
    if (positions.empty())
        return nullptr;
    QWidget* window = detail(c, [&](QWidget* owner) {
        return openDeliveryReceipt(c.context(), owner, positions.front()->OpenPositionId);
    });
    // The bank rows fill in with the account's bank details.
    auto* table = window->findChild<QTableWidget*>(QStringLiteral("detailTableView"));
    c.waitUntil([table] { return table->rowCount() > 2 && !table->item(2, 1)->text().isEmpty(); });
    return window;
}

QWidget* instrument(ScreenContext& c, DetailType type) {
    const std::string code = c.session().client().watchList().front();
    return detail(c, [&](QWidget* owner) { return openInstrumentDetail(c.context(), owner, code, type); });
}

// The lines of a bank deposit request as the server answers them.
QWidget* depositInfo(ScreenContext& c) {
    GuiContext& gui = c.context();
    const auto accounts = c.session().client().queries().getAccountCollection();
    const AccountDetails& account = *accounts.front();
    const std::vector<interfaces::LabelValue> lines{
        {gui.text(texts::kAccountNo).toStdString(), std::to_string(account.AccountId)},
        {gui.text(texts::kAccountName).toStdString(), account.AccountName},
        {"Amount", "2500.00"},
        {"Bank", "First Loopback Bank"},
        {"Remarks", "TT copy sent; the transfer reference is on the copy of the bank's advice"}};
    return detail(c, [&](QWidget* owner) { return openDepositWithdrawalInfo(gui, owner, lines); });
}

// The order ticket for the first watched instrument, its quote refreshed twice so that the moves
// show their arrows.
TradeTicketWindowController* ticket(ScreenContext& c) {
    c.context().guiObjects().showTradeTicket(nullptr);
    TradeTicketWindowController* window = c.own(c.context().guiObjects().tradeTicketWindowController());
    if (!window)
        return nullptr;
    window->findChild<QComboBox*>(QStringLiteral("QuantityComboBox"))->setEditText(QStringLiteral("2"));
    c.waitUntil([] { return false; }, 1100);
    window->UpdateValuesinTimer();
    return window;
}

// Advanced mode: a limit order with take profit and stop loss, the depth and chart drawer and the
// multi-account drawer open.
QWidget* ticketAdvanced(ScreenContext& c) {
    TradeTicketWindowController* window = ticket(c);
    if (!window)
        return nullptr;
    window->setMode(TradeTicketWindowController::kAdvancedMode);
    window->toggleRightDrawer();
    window->toggleLeftDrawer(); // reloads the order types
    window->selectOrderType(interfaces::OrderKind::Limit);
    for (const char* box : {"TakeProfitCheckBox", "StopLossCheckBox"})
        if (auto* check = window->findChild<QCheckBox*>(QString::fromLatin1(box));
            check && check->isEnabled())
            check->click();
    c.waitUntil(
        [window] {
            return !window->tradeChart()->chart().bars().empty() &&
                   window->buyDepth()->model()->rowCount() > 0;
        },
        15000);
    window->UpdateValuesinTimer();
    return window;
}

// The multi-account rows: two ticked with their quantities, the ticket's total below.
QWidget* ticketMultiAccount(ScreenContext& c) {
    TradeTicketWindowController* window = ticket(c);
    if (!window)
        return nullptr;
    window->toggleLeftDrawer();
    MultiAccountTableModel& rows = window->multiAccountModel();
    for (int row = 0; row < rows.rowCount() && row < 2; ++row) {
        rows.setTicked(row, true);
        rows.setQuantity(row, row == 0 ? QStringLiteral("1.5") : QStringLiteral("2"));
    }
    window->UpdateValuesinTimer();
    return window;
}

QWidget* ticketConfirmation(ScreenContext& c) {
    TradeTicketWindowController* window = ticket(c);
    if (!window)
        return nullptr;
    window->findChild<QPushButton*>(QStringLiteral("buyButton"))->click();
    QMessageBox* sheet = window->confirmationSheet();
    c.waitUntil([sheet] { return sheet && sheet->isVisible(); });
    return sheet;
}

// A position dialog as a sheet on a plain owner, for the first record of the demo's lists.
QWidget* positionSheet(ScreenContext& c, const std::function<QWidget*(QWidget* owner, ClientModel&)>& open) {
    auto* owner = c.own(new QWidget);
    owner->resize(1000, 700);
    owner->show();
    QWidget* sheet = open(owner, c.session());
    if (sheet)
        c.waitUntil([sheet] { return sheet->isVisible(); });
    return sheet;
}

std::string firstPosition(ClientModel& session) {
    const auto positions = session.client().queries().getOpenOrderCollection();
    return positions.empty() ? std::string() : positions.front()->OpenPositionId;
}

// The first limit or stop order: the grids offer modify and cancel for those.
std::string firstPendingOrder(ClientModel& session) {
    for (const auto& order : session.client().queries().getPendingOrderCollection())
        if (order->orderType == 2 || order->orderType == 3)
            return order->PendingOrderId;
    return {};
}

QWidget* offsetSheet(ScreenContext& c) {
    return positionSheet(c, [&](QWidget* owner, ClientModel& session) -> QWidget* {
        auto* sheet = openOffsetDialog(c.context(), owner, firstPosition(session));
        if (sheet && !sheet->state().rows().empty()) {
            sheet->hitCheckbox(0);
            sheet->QuantitySelectedAtIndex(0, QString::fromStdString(sheet->state().rows().front().totalQty));
        }
        return sheet;
    });
}

// The close-all window as a sheet on a plain owner; with `refused`, its check has run and the status
// sheet shows the refused position (nothing is sent).
QWidget* closeAll(ScreenContext& c, bool refused) {
    auto* owner = c.own(new QWidget);
    owner->resize(1100, 700);
    owner->show();
    CloseAllWindowController* window = openCloseAll(c.context(), owner);
    if (!window)
        return nullptr;
    c.waitUntil([window] { return window->isVisible(); });
    // The positions valued by the core's first refresh, not the sign-in's zeros.
    c.waitUntil([&c] {
        const auto positions = c.session().client().queries().getOpenOrderCollection();
        return !positions.empty() && positions.front()->UnrealisedPL != 0;
    });
    c.session().tickNow();
    if (!refused)
        return window;
    window->closeAllButtonClicked();
    QWidget* status = window->statusSheet();
    if (status)
        c.waitUntil([status] { return status->isVisible(); });
    return status;
}

} // namespace

// The statement window showing account 20001 from January 2024 to now: its positions, valued at the
// quotes of the moment as the header's floating credit is, and its settlement and transactions.
AccountStatementWindowController* statementWindow(ScreenContext& c) {
    c.session();
    auto* window = c.own(new AccountStatementWindowController(c.context()));
    window->resize(1240, 860);
    window->show();
    window->windowDidAppear();
    auto shown = std::make_shared<int>(0);
    c.keep(shown);
    QObject::connect(window, &AccountStatementWindowController::statementShown, window,
                     [shown] { ++*shown; });
    c.waitUntil([shown] { return *shown > 0; }, 10000);
    // The header's floating credit as the core's first refresh values the positions, not the
    // sign-in's zero.
    c.waitUntil([&c] {
        for (const auto& account : c.session().client().queries().getAccountCollection())
            if (account && account->AccountId == 20001)
                return account->Leverage != 0;
        return false;
    });
    window->setAccountText(QStringLiteral("20001"));
    window->setPeriod(QDateTime(QDate(2024, 1, 1), QTime(0, 0)), QDateTime::currentDateTime());
    window->showAccountStatement();
    c.waitUntil([shown] { return *shown > 1; }, 10000);
    return window;
}

QWidget* statement(ScreenContext& c, std::optional<StatementTable> details) {
    AccountStatementWindowController* window = statementWindow(c);
    if (details)
        window->showDetails(*details);
    else
        window->summaryButtonClicked();
    c.waitUntil([] { return false; }, 300); // the pies' first layout
    return window;
}

QWidget* statementPrintPreview(ScreenContext& c) {
    AccountStatementWindowController* window = statementWindow(c);
    auto printer = std::make_shared<QPrinter>();
    AccountStatementWindowController::setUpPrinter(*printer);
    c.keep(printer);
    auto* preview = c.own(new QPrintPreviewWidget(printer.get()));
    QObject::connect(preview, &QPrintPreviewWidget::paintRequested, window,
                     [window](QPrinter* target) { window->printTo(*target); });
    preview->resize(1100, 860);
    preview->setZoomMode(QPrintPreviewWidget::FitInView);
    preview->show();
    preview->updatePreview();
    c.waitUntil([preview] { return preview->pageCount() > 0; });
    return preview;
}

QWidget* journal(ScreenContext& c) {
    auto* window = static_cast<MainWindowController*>(mainWindow(c));
    auto* tabs = window->findChild<QTabWidget*>(QStringLiteral("mainTabView"));
    tabs->setCurrentWidget(window->findChild<QWidget*>(QStringLiteral("journalTab")));
    c.waitUntil([window] { return window->journalTable()->model()->rowCount() > 0; });
    return window;
}

namespace {

enum class DepositScreen { Bank, Online, GatewayResult };

// A deposit window of demo's first account: a bank transfer filled in, an online payment with its
// gateway chosen, or a gateway payment's result (the browser left closed).
QWidget* depositWindow(ScreenContext& c, DepositScreen screen) {
    c.session();
    auto* window = c.own(new DepositRequestWindowController(c.context()));
    window->setUrlOpener([](const QUrl&) { return true; });
    window->show();
    window->windowDidAppear();
    if (screen == DepositScreen::Bank) {
        window->chooseMode(1);
        window->amountTextField()->setText(QStringLiteral("1500"));
        window->remarksTextField()->setText(QStringLiteral("Transfer of 4 March"));
        return window;
    }
    window->chooseMode(2);
    c.waitUntil([window] { return window->paymentGatewayComboBox()->count() > 0; });
    window->chooseGateway(0);
    window->amountTextField()->setText(QStringLiteral("250"));
    window->emailTextField()->setText(QStringLiteral("demo@example.com"));
    if (screen == DepositScreen::GatewayResult) {
        window->sendRequest();
        c.waitUntil([window] { return window->okButton()->isEnabled() && window->currentPage() == 1; },
                    10000);
    }
    return window;
}

QWidget* withdrawalWindow(ScreenContext& c) {
    c.session();
    auto* window = c.own(new WithdrawalRequestWindowController(c.context()));
    window->show();
    window->windowDidAppear();
    window->amountTextField()->setText(QStringLiteral("750"));
    window->remarksTextField()->setText(QStringLiteral("To my bank account"));
    return window;
}

// Demo's March 2024 on account 20003.
QWidget* fundingHistory(ScreenContext& c) {
    c.session();
    auto* window = c.own(new DepositsWithdrawalsWindowController(c.context()));
    window->show();
    window->onWindowLoad();
    window->accountComboBox()->setEditText(QStringLiteral("20003"));
    window->setPeriod(QDateTime(QDate(2024, 3, 1), QTime(0, 0)),
                      QDateTime(QDate(2024, 3, 31), QTime(23, 59)));
    auto shown = std::make_shared<int>(0);
    c.keep(shown);
    QObject::connect(window, &DepositsWithdrawalsWindowController::historyShown, window,
                     [shown] { ++*shown; });
    window->searchButtonClicked();
    c.waitUntil([shown] { return *shown > 0; }, 10000);
    return window;
}

// The news view with the first category's items from the test server's desk.
QWidget* news(ScreenContext& c) {
    c.session();
    auto* view = c.own(new NewsTableController(c.context()));
    view->setWindowTitle(c.context().text(texts::kNews));
    view->resize(900, 520);
    auto shown = std::make_shared<bool>(false);
    c.keep(shown);
    QObject::connect(view, &NewsTableController::newsShown, view, [shown] { *shown = true; });
    view->show();
    c.waitUntil([shown] { return *shown; }, 10000);
    view->newsTableView()->selectRow(1);
    return view;
}

// The resources panel: the demo login's resource list.
QWidget* resourcesPanel(ScreenContext& c) {
    c.session();
    auto* panel = c.own(new ResourcesViewController(c.context()));
    panel->showBelow(nullptr);
    return panel;
}

// The chat window on the support queue's conversation: the agent's greeting and the user's answer.
QWidget* chatWindow(ScreenContext& c) {
    interfaces::Chat& chat = c.session().client().chat();
    const auto accepted = [&chat] {
        const auto* queue = chat.collections().ChatQueueCollection.get("1");
        const auto* room = chat.collections().ChatRoomCollection.get("1");
        return queue && *queue && (*queue)->chartRequestStatus == 2 && room && *room &&
               !(*room)->messages.empty();
    };
    if (!accepted()) {
        c.waitUntil([&chat] { return chat.collections().ChatQueueCollection.contains("1"); }, 10000);
        chat.requestChatQueue("1", "Hi");
        c.waitUntil(accepted, 10000);
    }
    auto* window = c.own(new ChatWindowController(c.context()));
    window->resize(860, 520);
    window->show();
    window->showWindow();
    window->chatQueueTableView()->selectRow(0);
    if (window->messageTableView()->transcript()->rowCount() < 2) {
        window->messageTextView()->setText(QStringLiteral("Thanks. Could you explain the margin I need for "
                                                          "one lot of EURUSD on my demo account?"));
        window->SendChatButtonClicked();
    }
    return window;
}

QWidget* chatQueueRequest(ScreenContext& c) {
    auto* window = c.own(new ChatWindowController(c.context()));
    window->show();
    auto* sheet = new QueueRequestSheet(c.context(), window);
    sheet->openOn(window);
    c.waitUntil([sheet] { return sheet->isVisible(); });
    return sheet;
}

MessagesWindowController* noticesWindow(ScreenContext& c) {
    auto* window = c.own(new MessagesWindowController(c.context()));
    window->show();
    window->showWindow();
    c.waitUntil([window] { return window->messagesTableView()->model()->rowCount() >= 2; }, 10000);
    return window;
}

int rowShowing(QAbstractItemModel* model, const QString& text) {
    for (int r = 0; r < model->rowCount(); ++r)
        if (model->index(r, 0).data().toString() == text)
            return r;
    return -1;
}

// The notice read already, so the notices screen keeps its unread one.
QWidget* noticePopup(ScreenContext& c) {
    MessagesWindowController* window = noticesWindow(c);
    window->doubleAction(rowShowing(window->messagesTableView()->model(), QStringLiteral("Welcome")));
    c.waitUntil([window] { return window->noticeWindow() && window->noticeWindow()->isVisible(); }, 10000);
    return window->noticeWindow();
}

RecentConversationWindowController* recentConversations(ScreenContext& c) {
    auto* chat = c.own(new ChatWindowController(c.context()));
    RecentConversationWindowController* window = chat->RecentConversationButtonClicked();
    c.waitUntil([window] { return window->recentconversationTableView()->model()->rowCount() > 0; }, 10000);
    return window;
}

QWidget* chatTranscript(ScreenContext& c) {
    RecentConversationWindowController* recent = recentConversations(c);
    recent->doubleAction(
        rowShowing(recent->recentconversationTableView()->model(), QStringLiteral("Trader Two")));
    c.waitUntil([recent] { return recent->transcriptWindow() && recent->transcriptWindow()->isVisible(); },
                10000);
    return recent->transcriptWindow();
}

} // namespace

void registerScreens(ScreenRegistry& r) {
    r.add("main-window", [](ScreenContext& c) { return mainWindow(c); });
    r.add("main-window-wide", [](ScreenContext& c) { return mainWindow(c, QRect(0, 0, 1920, 1050)); });
    r.add("settings", [](ScreenContext& c) { return settingsWindow(c); });
    r.add("settings-font-size", [](ScreenContext& c) { return settingsSheet(c, true); });
    r.add("settings-idle-timeout", [](ScreenContext& c) { return settingsSheet(c, false); });
    r.add("access-rights", [](ScreenContext& c) { return accountSheet(c, true, false); });
    r.add("change-password", [](ScreenContext& c) { return accountSheet(c, false, false); });
    r.add("change-password-refused", [](ScreenContext& c) { return accountSheet(c, false, true); });
    r.add("about", about);
    r.add("banner", [](ScreenContext& c) { return banner(c, false); });
    r.add("banner-buttons", [](ScreenContext& c) { return banner(c, true); });
    r.add("alert", alert);
    r.add("login", login);
    r.add("demo-registration", demoRegistration);
    r.add("unlock", unlock);
    r.add("images", images);
    r.add("chart-line", [](ScreenContext& c) { return chart(c, 1, false); });
    r.add("chart-ohlc", [](ScreenContext& c) { return chart(c, 2, false); });
    r.add("chart-candle", [](ScreenContext& c) { return chart(c, 3, false); });
    r.add("chart-crosshair", [](ScreenContext& c) { return chart(c, 3, true); });
    r.add("pie", pie);
    r.add("pie-empty", emptyPie);
    r.add("chart-window-line", [](ScreenContext& c) { return chartWindow(c, 1, false); });
    r.add("chart-window-ohlc", [](ScreenContext& c) { return chartWindow(c, 2, false); });
    r.add("chart-window-candle", [](ScreenContext& c) { return chartWindow(c, 3, false); });
    r.add("chart-analysis", [](ScreenContext& c) { return chartWindow(c, 3, true); });
    r.add("quotes-board", quotesBoard);
    r.add("quotes-tiles", quotesTiles);
    r.add("symbol-chooser", symbolChooser);
    r.add("grid-accounts", [](ScreenContext& c) { return gridPane(c, Grid::Accounts); });
    r.add("grid-open-positions", [](ScreenContext& c) { return gridPane(c, Grid::OpenPositions); });
    r.add("grid-pending-orders", [](ScreenContext& c) { return gridPane(c, Grid::PendingOrders); });
    r.add("grid-settled-positions", [](ScreenContext& c) { return gridPane(c, Grid::SettledPositions); });
    r.add("grid-executed-positions", [](ScreenContext& c) { return gridPane(c, Grid::ExecutedPositions); });
    r.add("grid-cancelled-orders", [](ScreenContext& c) { return gridPane(c, Grid::CancelledOrders); });
    r.add("detail-receipt", receipt);
    r.add("detail-instrument", [](ScreenContext& c) { return instrument(c, DetailType::InstrumentDetails); });
    r.add("detail-contract",
          [](ScreenContext& c) { return instrument(c, DetailType::ContractSpecification); });
    r.add("detail-market-sessions",
          [](ScreenContext& c) { return instrument(c, DetailType::MarketSessions); });
    r.add("detail-deposit-info", depositInfo);
    r.add("statement-summary", [](ScreenContext& c) { return statement(c, std::nullopt); });
    r.add("statement-open-positions",
          [](ScreenContext& c) { return statement(c, StatementTable::OpenPositions); });
    r.add("statement-settled-positions",
          [](ScreenContext& c) { return statement(c, StatementTable::SettledPositions); });
    r.add("statement-pending-orders",
          [](ScreenContext& c) { return statement(c, StatementTable::PendingOrders); });
    r.add("statement-cancelled-orders",
          [](ScreenContext& c) { return statement(c, StatementTable::CancelledOrders); });
    r.add("statement-instruments",
          [](ScreenContext& c) { return statement(c, StatementTable::Instruments); });
    r.add("statement-print-preview", statementPrintPreview);
    r.add("journal", journal);
    r.add("deposit-bank", [](ScreenContext& c) { return depositWindow(c, DepositScreen::Bank); });
    r.add("deposit-online", [](ScreenContext& c) { return depositWindow(c, DepositScreen::Online); });
    r.add("deposit-gateway-result",
          [](ScreenContext& c) { return depositWindow(c, DepositScreen::GatewayResult); });
    r.add("withdrawal", withdrawalWindow);
    r.add("funding-history", fundingHistory);
    r.add("news", news);
    r.add("resources", resourcesPanel);
    r.add("chat-window", chatWindow);
    r.add("chat-queue-request", chatQueueRequest);
    r.add("notices", [](ScreenContext& c) { return static_cast<QWidget*>(noticesWindow(c)); });
    r.add("notice-popup", noticePopup);
    r.add("recent-conversations",
          [](ScreenContext& c) { return static_cast<QWidget*>(recentConversations(c)); });
    r.add("chat-transcript", chatTranscript);
    r.add("ticket-simple", [](ScreenContext& c) { return static_cast<QWidget*>(ticket(c)); });
    r.add("ticket-advanced", ticketAdvanced);
    r.add("ticket-multi-account", ticketMultiAccount);
    r.add("ticket-confirmation", ticketConfirmation);
    r.add("advanced-detail", advancedDetail);
    r.add("close-position", [](ScreenContext& c) {
        return positionSheet(c, [&](QWidget* owner, ClientModel& session) -> QWidget* {
            return openCloseDialog(c.context(), owner, CloseJob::Close, firstPosition(session));
        });
    });
    r.add("cancel-order", [](ScreenContext& c) {
        return positionSheet(c, [&](QWidget* owner, ClientModel& session) -> QWidget* {
            return openCloseDialog(c.context(), owner, CloseJob::Cancel, firstPendingOrder(session));
        });
    });
    r.add("modify-position", [](ScreenContext& c) {
        return positionSheet(c, [&](QWidget* owner, ClientModel& session) -> QWidget* {
            return openModifyDialog(c.context(), owner, ModifyMode::PositionBrackets, firstPosition(session));
        });
    });
    r.add("modify-order", [](ScreenContext& c) {
        return positionSheet(c, [&](QWidget* owner, ClientModel& session) -> QWidget* {
            return openModifyDialog(c.context(), owner, ModifyMode::PendingOrder, firstPendingOrder(session));
        });
    });
    r.add("offset-position", offsetSheet);
    r.add("close-all", [](ScreenContext& c) { return closeAll(c, false); });
    r.add("close-all-status", [](ScreenContext& c) { return closeAll(c, true); });
}

} // namespace tc::gui
