// tradegui_screens: renders every window and sheet offscreen to PNG files, signed in as the demo
// user to the in-process test server so that every window shows live data, and checks their
// layout, tab order and texts. How to run it is kUsage below, which --help prints.
#include "gui/app/font_sizes.h"
#include "gui/app/gui_context.h"
#include "gui/app/language.h"
#include "gui/app/language_list.h"
#include "gui/app/main_queue_pump.h"
#include "gui/app/qt_shell.h"
#include "gui/models/client_model.h"
#include "gui/screens/offscreen_desktop.h"
#include "gui/screens/screen_checks.h"
#include "gui/screens/screen_registry.h"
#include "market.h"
#include "model/session_queries.h"
#include "model/text/language_string.h"
#include "options.h"
#include "platform/bundle.h"
#include "platform/user_defaults.h"
#include "test_server.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>
#include <vector>

namespace {

constexpr char kUsage[] = R"(Usage:
  tradegui_screens [DIR] [--languages all|FOLDER,...] [--font-size N] [SCREEN...]
    Renders every screen (or those named) offscreen, in the dark and the light theme, to
    DIR/<screen>-dark.png and -light.png (DIR defaults to build/screenshots). With --languages, the
    screens named (the login and the main window when none is) are written once per language, as
    <screen>-<folder>-dark.png and -light.png. --font-size sets the quotes board and the order grids
    in one of the sizes the settings offer (10, 12, 16 or 20), as a user would.
  tradegui_screens --check-layout [--languages FOLDER,...] [--font-size N[,N...]] [SCREEN...]
    Lays every screen (or those named) out at its first-run and its smallest size, in English and
    Arabic unless --languages names others, at each font size named in turn, and fails on a cut,
    elided or overlapping control.
  tradegui_screens --check-texts [--languages FOLDER,...] [SCREEN...]
    Reads every screen (or those named) in English and in each language (all unless --languages
    names some), and fails where texts shown together read the same while their English texts
    differ.
  tradegui_screens --check-tabs [--languages FOLDER,...] [SCREEN...]
    Walks every screen's tab chain with the Tab key, in English and Arabic unless --languages names
    others, and fails where Tab misses a control, stays in one or runs against reading order.
  The checks combine (--check-layout --check-texts --check-tabs): each screen is then built once per
    language and font size for all of them, in the languages of --languages (all by default with
    --check-texts); the text and the tab check read the first font size only.
  tradegui_screens --help
    Prints this.
Exit status: 0 when all went well, 1 on a fault or a screen that could not be shown, 2 on a wrong
option.
)";

// The loopback server with the default market on free ports, and the demo user signed in to it with
// the accounts, positions and a quote of every watched instrument loaded.
struct DemoSession {
    std::unique_ptr<testserver::TestServer> server;
    std::unique_ptr<tc::gui::ClientModel> session;
    std::string error;

    bool start(tc::gui::QtShell& shell, tc::platform::UserDefaults& defaults) {
        auto market = testserver::loadMarketFile(testserver::defaultMarketPath());
        if (!market.market) {
            error = "no market: " + market.error;
            return false;
        }
        // Two more demo positions for the position dialogs: one opposite the first, which it can be
        // offset against, and one bigger than the group lets one order close, which close-all refuses.
        if (!market.market->positions.empty()) {
            auto position = market.market->positions.front();
            position.positionId = 300901;
            position.isBuy = !position.isBuy;
            position.qty = position.initialQty = "0.5";
            position.commission = "0"; // none paid out of the market file's balance
            market.market->positions.push_back(position);
            position.positionId = 300902;
            position.accountId = 20002; // not the main window's account: its summary stays the demo's
            position.isBuy = !position.isBuy;
            position.qty = position.initialQty = "60";
            market.market->positions.push_back(position);
        }
        server = std::make_unique<testserver::TestServer>(std::move(*market.market));
        testserver::ServerOptions options;
        options.port = options.feedPort = options.dataPort = 0;
        options.newsPort = options.newsHttpPort = 0;
        // A lively feed: the screens that show quote moves wait for them (ScreenContext::waitForQuoteMoves).
        options.rate = 100;
        const testserver::ServerPorts ports = server->start(options);
        session = std::make_unique<tc::gui::ClientModel>([&shell, &defaults] {
            interfaces::ClientOptions client;
            client.userDefaults = &defaults;
            client.watchNetwork = false;
            client.dataRequestPass = std::chrono::milliseconds(20);
            return interfaces::MakeClient(shell, client);
        });
        // The news feed from this server's desk, over HTTPS with its certificate pinned.
        const auto certificate = tc::platform::Bundle::pathForResource("news-simulation", "pem");
        session->client().news().setSource(
            {"https", "127.0.0.1", ports.news, certificate ? certificate->string() : std::string()});
        const auto started = session->signIn(
            {interfaces::LoginMode::Simulation, "127.0.0.1", ports.stream, "demo", "demo1234"});
        if (!started) {
            error = "sign-in did not start: " + started.error;
            return false;
        }
        const bool loaded = tc::gui::waitForEvents(
            [this] {
                if (session->loginState() != interfaces::LoginState::SignedIn)
                    return false;
                const interfaces::Client& client = session->client();
                const auto watched = client.watchList();
                return !client.queries().getAccountCollection().empty() &&
                       !client.queries().getOpenOrderCollection().empty() &&
                       !client.queries().getPendingOrderCollection().empty() && !watched.empty();
            },
            30000);
        if (!loaded)
            error = "the demo user's session did not load within 30 s";
        return loaded;
    }
    ~DemoSession() {
        session.reset(); // signs out before the server goes
        if (server)
            server->stop();
    }
};

// The offscreen platform's own screen is 800x600, where dialogs size themselves smaller than on a
// desktop; render on a full HD screen at 96 dpi instead.
void useDesktopSizedScreen() {
    // A folder of this run's own: the layout check runs once per language at the same time.
    static QTemporaryDir folder(QDir::temp().filePath(QStringLiteral("tradegui-screens-XXXXXX")));
    tc::gui::useDesktopSizedScreen(folder, 1920, 1080);
}

// The folder names of the languages, by number.
QStringList languageFolders() {
    QStringList folders;
    for (std::int64_t n = 0; n < static_cast<std::int64_t>(tc::gui::kLanguageNames.size()); ++n)
        folders << QString::fromLatin1(tc::LanguageString::folderForLanguage(n));
    return folders;
}

// "all", or folder names apart by commas; false when one is not a language's folder.
bool pickLanguages(const QString& list, std::vector<std::int64_t>& out) {
    const QStringList folders = languageFolders();
    if (list == QStringLiteral("all")) {
        for (qsizetype n = 0; n < folders.size(); ++n)
            out.push_back(n);
        return true;
    }
    for (const QString& name : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const qsizetype n = folders.indexOf(name.trimmed());
        if (n < 0)
            return false;
        out.push_back(n);
    }
    return !out.empty();
}

// Takes "--NAME VALUE" or "--NAME=VALUE" out of the arguments; empty when not given.
QString takeOption(QStringList& args, const QString& name) {
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i].startsWith(name + QLatin1Char('='))) {
            const QString value = args[i].section(QLatin1Char('='), 1);
            args.removeAt(i);
            return value;
        }
        if (args[i] == name && i + 1 < args.size()) {
            const QString value = args[i + 1];
            args.remove(i, 2);
            return value;
        }
    }
    return {};
}

// The usage, then the language folders and the screens' names, each list wrapped to lines.
void printUsage(const QStringList& folders, const tc::gui::ScreenRegistry& registry) {
    QTextStream out(stdout);
    out << kUsage;
    const auto list = [&out](const QString& title, const QStringList& names) {
        out << title << ':';
        qsizetype column = title.size() + 1;
        for (const QString& name : names) {
            if (column + 1 + name.size() > 100) {
                out << "\n ";
                column = 1;
            }
            out << ' ' << name;
            column += 1 + name.size();
        }
        out << '\n';
    };
    list(QStringLiteral("Languages (FOLDER)"), folders);
    QStringList screens;
    for (const tc::gui::Screen& screen : registry.screens())
        screens << screen.name;
    list(QStringLiteral("Screens (SCREEN)"), screens);
}

} // namespace

int main(int argc, char** argv) {
    useDesktopSizedScreen();
    QApplication app(argc, argv);
    QStringList args = QApplication::arguments().mid(1);
    tc::gui::ScreenRegistry registry;
    tc::gui::registerScreens(registry);
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        printUsage(languageFolders(), registry);
        return 0;
    }
    const QString languagesArg = takeOption(args, QStringLiteral("--languages"));
    const QString fontSizeArg = takeOption(args, QStringLiteral("--font-size"));
    const bool checkLayout = args.removeAll(QStringLiteral("--check-layout")) > 0;
    const bool checkTexts = args.removeAll(QStringLiteral("--check-texts")) > 0;
    const bool checkTabs = args.removeAll(QStringLiteral("--check-tabs")) > 0;
    // Whatever else starts with "-" is no folder or screen: an option mistyped, or one without its value.
    for (const QString& arg : args)
        if (arg.startsWith(QLatin1Char('-'))) {
            if (arg == QLatin1String("--languages") || arg == QLatin1String("--font-size"))
                std::fprintf(stderr, "tradegui_screens: %s needs a value\n", qPrintable(arg));
            else
                std::fprintf(stderr, "tradegui_screens: unknown option %s (--help lists them)\n",
                             qPrintable(arg));
            return 2;
        }
    std::vector<std::int64_t> languages;
    if (!languagesArg.isEmpty() && !pickLanguages(languagesArg, languages)) {
        std::fprintf(stderr, "tradegui_screens: unknown language in --languages %s (all, or folders: %s)\n",
                     qPrintable(languagesArg), qPrintable(languageFolders().join(QLatin1Char(','))));
        return 2;
    }
    // One size, or for the layout check several apart by commas, each checked in turn.
    std::vector<std::int64_t> fontSizes;
    for (const QString& size : fontSizeArg.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        fontSizes.push_back(size.trimmed().toLongLong());
        if (!tc::gui::fontSizeChoiceIndex(fontSizes.back())) {
            std::fprintf(
                stderr,
                "tradegui_screens: --font-size %s is not a size the settings offer (10, 12, 16, 20)\n",
                qPrintable(size));
            return 2;
        }
    }
    if (fontSizes.size() > 1 && !checkLayout) {
        std::fprintf(stderr, "tradegui_screens: several font sizes are for --check-layout only\n");
        return 2;
    }
    const QString dir = args.value(0, QStringLiteral("build/screenshots"));

    // The user's own settings are neither read nor changed, nor the resource files in the data folder:
    // the resources panel downloads into a folder of its own.
    auto defaults = tc::platform::UserDefaults::inMemory();
    QTemporaryDir dataFolder(QDir::temp().filePath(QStringLiteral("tradegui-screens-data-XXXXXX")));
    const QString data = dataFolder.path();
    qputenv("XDG_DATA_HOME", data.toLocal8Bit());
    tc::gui::MainQueuePump pump;
    tc::gui::GuiContext context(*defaults);
    tc::gui::QtShell shell(context);
    shell.setTerminationHandler([] {});
    DemoSession demo;
    if (!demo.start(shell, *defaults)) {
        std::fprintf(stderr, "tradegui_screens: %s\n", demo.error.c_str());
        return 1;
    }
    context.setClientModel(demo.session.get());

    QTextStream out(stdout);
    tc::gui::ScreenWalk walk;
    walk.languages = languages;
    walk.fontSizes = fontSizes;
    walk.only = args;
    if (checkLayout || checkTexts || checkTabs) {
        if (walk.languages.empty())
            pickLanguages(checkTexts ? QStringLiteral("all") : QStringLiteral("en,ar"), walk.languages);
        const int faults =
            tc::gui::checkScreens(context, shell, registry, walk, {checkLayout, checkTexts, checkTabs}, out);
        return faults == 0 ? 0 : 1;
    }
    walk.only = args.mid(1);
    if (!walk.languages.empty() && walk.only.isEmpty())
        walk.only = {QStringLiteral("login"), QStringLiteral("main-window")};
    const int failures = tc::gui::captureScreens(context, shell, registry, walk, dir, out);
    return failures == 0 ? 0 : 1;
}
