// tradegui_soak: the program signed in for minutes, offscreen, against the in-process test server,
// printing the process's resident memory as it goes.
//   tradegui_soak [--minutes N] [--rate QUOTES_PER_SECOND] [--sample-seconds S] [--warmup-seconds W]
//                 [--limit-kib K]
// The login window signs the demo user in as a person would, the main window opens and runs (the
// idle time-out is off, as it is by default; settings are kept in a scratch folder, secrets in
// memory). After the warm-up (default 60 s) RSS is sampled every S seconds (default 60); at the end
// it prints RSS after the warm-up and at the end, the growth between them and its slope per hour, the
// same for the allocator's bytes in use, and exits 1 when either grows by K KiB (default 1024).
#include "gui/app/app_delegate.h"
#include "gui/app/gui_context.h"
#include "gui/app/main_queue_pump.h"
#include "gui/app/qt_shell.h"
#include "gui/login/login_window_controller.h"
#include "gui/login/remembered_users.h"
#include "gui/main/main_window_controller.h"
#include "gui/screens/offscreen_desktop.h"
#include "market.h"
#include "options.h"
#include "platform/bundle.h"
#include "platform/user_defaults.h"
#include "test_server.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <malloc.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

struct Settings {
    double minutes = 10;
    double rate = 1000;
    int sampleSeconds = 60;
    int warmupSeconds = 60;
    long limitKib = 1024;
};

bool parse(const QStringList& args, Settings& s) {
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (i + 1 >= args.size())
            return false;
        bool ok = false;
        const QString value = args[++i];
        if (arg == QLatin1String("--minutes"))
            s.minutes = value.toDouble(&ok);
        else if (arg == QLatin1String("--rate"))
            s.rate = value.toDouble(&ok);
        else if (arg == QLatin1String("--sample-seconds"))
            s.sampleSeconds = value.toInt(&ok);
        else if (arg == QLatin1String("--warmup-seconds"))
            s.warmupSeconds = value.toInt(&ok);
        else if (arg == QLatin1String("--limit-kib"))
            s.limitKib = value.toLong(&ok);
        if (!ok)
            return false;
    }
    return s.minutes > 0 && s.rate >= 0 && s.sampleSeconds > 0 && s.warmupSeconds >= 0 &&
           s.minutes * 60 > s.warmupSeconds;
}

long residentKib() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

// The allocator's bytes in use: growth there is the program's, not the allocator's caching.
long heapKib() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<long>((info.uordblks + info.hblkhd) / 1024);
}

class MemorySecrets : public tc::gui::SecretStore {
public:
    void write(const std::string& key, const std::string& secret, WriteDone done) override {
        secrets_[key] = secret;
        done(true, {});
    }
    void read(const std::string& key, ReadDone done) override {
        auto it = secrets_.find(key);
        done(it == secrets_.end() ? std::nullopt : std::optional(it->second));
    }
    void remove(const std::string& key, RemoveDone done) override {
        secrets_.erase(key);
        done(true, {});
    }

private:
    std::map<std::string, std::string> secrets_;
};

struct Sample {
    double hours;
    long rssKib;
    long heapKib;
};

// Least-squares slope of one figure over time, KiB an hour.
double slopePerHour(const std::vector<Sample>& samples, long Sample::*figure) {
    if (samples.size() < 2)
        return 0;
    double mt = 0, mr = 0;
    for (const Sample& s : samples) {
        mt += s.hours;
        mr += static_cast<double>(s.*figure);
    }
    mt /= static_cast<double>(samples.size());
    mr /= static_cast<double>(samples.size());
    double num = 0, den = 0;
    for (const Sample& s : samples) {
        num += (s.hours - mt) * (static_cast<double>(s.*figure) - mr);
        den += (s.hours - mt) * (s.hours - mt);
    }
    return den > 0 ? num / den : 0;
}

} // namespace

int main(int argc, char** argv) {
    // The user's settings, secrets and data folder are neither read nor changed.
    QTemporaryDir scratch(QDir::temp().filePath(QStringLiteral("tradegui-soak-XXXXXX")));
    tc::gui::useDesktopSizedScreen(scratch, 1600, 1000);
    qputenv("XDG_DATA_HOME", scratch.path().toLocal8Bit());
    // The program's own settings file, kept in the scratch folder.
    qputenv("XDG_CONFIG_HOME", scratch.path().toLocal8Bit());
    QApplication app(argc, argv);
    Settings settings;
    if (!parse(QApplication::arguments().mid(1), settings)) {
        std::fprintf(stderr, "usage: tradegui_soak [--minutes N] [--rate QUOTES_PER_SECOND] "
                             "[--sample-seconds S] [--warmup-seconds W] [--limit-kib K]\n");
        return 2;
    }

    auto loaded = testserver::loadMarketFile(testserver::defaultMarketPath());
    if (!loaded.market) {
        std::fprintf(stderr, "tradegui_soak: no market: %s\n", loaded.error.c_str());
        return 1;
    }
    testserver::TestServer server(std::move(*loaded.market));
    testserver::ServerOptions serverOptions;
    serverOptions.port = serverOptions.feedPort = serverOptions.dataPort = 0;
    serverOptions.newsPort = serverOptions.newsHttpPort = 0;
    serverOptions.rate = settings.rate;
    const testserver::ServerPorts ports = server.start(serverOptions);

    tc::platform::UserDefaults& defaults = tc::platform::UserDefaults::standard();
    int status = 0;
    {
        tc::gui::MainQueuePump pump;
        tc::gui::GuiContext context(defaults);
        tc::gui::QtShell shell(context);
        shell.setTerminationHandler([] {});
        MemorySecrets secrets;
        tc::gui::AppDelegate::Options options;
        options.secrets = &secrets;
        options.simulation = true;
        options.clients = [&shell, &defaults] {
            interfaces::ClientOptions client;
            client.userDefaults = &defaults;
            return interfaces::MakeClient(shell, client);
        };
        tc::gui::AppDelegate delegate(context, shell, std::move(options));
        delegate.applicationDidFinishLaunching();

        // The news desk of this server, its certificate pinned.
        const auto certificate = tc::platform::Bundle::pathForResource("news-simulation", "pem");
        delegate.session().client().news().setSource(
            {"https", "127.0.0.1", ports.news, certificate ? certificate->string() : std::string()});

        // The form filled in and its button pressed, as a person signs in.
        tc::gui::LoginWindowController& login = delegate.loginWindow();
        if (!login.isDrawerOpen())
            login.toggleRightDrawer();
        const std::pair<const char*, QString> fields[] = {{"serverTextField", QStringLiteral("127.0.0.1")},
                                                          {"portTextField", QString::number(ports.stream)},
                                                          {"usernameTextField", QStringLiteral("demo")},
                                                          {"passwordTextField", QStringLiteral("demo1234")}};
        for (const auto& [name, text] : fields)
            if (auto* field = login.findChild<QLineEdit*>(QLatin1String(name)))
                field->setText(text);
        login.loginButtonClicked();
        if (!tc::gui::waitForEvents(
                [&] { return delegate.mainWindow() && delegate.mainWindow()->isVisible(); }, 30000)) {
            std::fprintf(stderr, "tradegui_soak: the demo user did not sign in within 30 s\n");
            status = 1;
        } else {
            std::printf("signed in; %.0f quotes/s for %g minute(s), sampling every %d s after %d s\n",
                        settings.rate, settings.minutes, settings.sampleSeconds, settings.warmupSeconds);
            std::fflush(stdout);
            QElapsedTimer clock;
            clock.start();
            const qint64 endMs = static_cast<qint64>(settings.minutes * 60000);
            std::vector<Sample> samples;
            QTimer sampler;
            auto sample = [&] {
                const qint64 ms = clock.elapsed();
                const long rss = residentKib();
                const long heap = heapKib();
                std::printf("%7.1f min  rss %7ld KiB  heap %7ld KiB\n", static_cast<double>(ms) / 60000.0,
                            rss, heap);
                std::fflush(stdout);
                samples.push_back({static_cast<double>(ms) / 3.6e6, rss, heap});
                // exit(), not quit(): quit() closes the windows first.
                if (ms + 500 >= endMs || !delegate.mainWindow()->isVisible())
                    QCoreApplication::exit(0);
            };
            QObject::connect(&sampler, &QTimer::timeout, &app, [&] {
                sample();
                sampler.start(static_cast<int>(std::min<qint64>(
                    settings.sampleSeconds * 1000LL, std::max<qint64>(endMs - clock.elapsed(), 1))));
            });
            sampler.setSingleShot(true);
            sampler.start(settings.warmupSeconds * 1000);
            QApplication::exec();

            const bool stillIn = delegate.mainWindow() && delegate.mainWindow()->isVisible();
            if (samples.size() < 2 || !stillIn) {
                std::fprintf(stderr, "tradegui_soak: %s\n",
                             stillIn ? "too few samples" : "the main window closed during the run");
                status = 1;
            } else {
                // RSS lags a growing heap that refills pages freed earlier: both are held to the goal.
                for (const auto& [name, figure] :
                     {std::pair{"rss", &Sample::rssKib}, std::pair{"heap", &Sample::heapKib}}) {
                    const long first = samples.front().*figure, last = samples.back().*figure;
                    std::printf(
                        "%-4s after warm-up %ld KiB, at the end %ld KiB, growth %ld KiB, slope %.0f KiB/h\n",
                        name, first, last, last - first, slopePerHour(samples, figure));
                    if (last - first >= settings.limitKib) {
                        std::printf("FAIL: %s grew by %ld KiB, the limit is %ld KiB\n", name, last - first,
                                    settings.limitKib);
                        status = 1;
                    }
                }
                if (status == 0)
                    std::printf("ok: growth under %ld KiB\n", settings.limitKib);
            }
        }
    }
    server.stop();
    return status;
}
