// tradeclient: the desktop trading client.
//   tradeclient [--simulation]
// --simulation starts with the simulation mode's form (the loopback test server) instead of the
// live one.
#include "gui/app/app_delegate.h"
#include "gui/app/gui_context.h"
#include "gui/app/main_queue_pump.h"
#include "gui/app/qt_shell.h"
#include "interfaces/client.h"
#include "platform/user_defaults.h"

#include <QApplication>
#include <QTextStream>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    bool simulation = false;
    for (const QString& arg : QApplication::arguments().mid(1)) {
        if (arg == QLatin1String("--simulation")) {
            simulation = true;
            continue;
        }
        QTextStream(stderr) << "usage: tradeclient [--simulation]\n";
        return 2;
    }

    int code = 0;
    {
        tc::gui::MainQueuePump pump;
        tc::gui::GuiContext context(tc::platform::UserDefaults::standard());
        tc::gui::QtShell shell(context);

        tc::gui::AppDelegate::Options options;
        options.simulation = simulation;
        options.clients = [&shell] { return interfaces::MakeClient(shell); };
        tc::gui::AppDelegate delegate(context, shell, std::move(options));
        delegate.applicationDidFinishLaunching();
        code = QApplication::exec();
    }
    // After the windows, whose going may still change a setting: what a failed save left and what
    // waits for another program's lock get a last try and a moment more.
    tc::platform::UserDefaults::standard().finishSaves(tc::platform::UserDefaults::kLockWait);
    return code;
}
