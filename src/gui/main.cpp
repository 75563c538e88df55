// tradeclient: the desktop trading client.
//   tradeclient [--simulation]
// --simulation starts with the simulation mode's form (the loopback test server) instead of the
// live one.
#include "connection/login_inputdata.h"
#include "gui/app/app_delegate.h"
#include "gui/app/gui_context.h"
#include "gui/app/language.h"
#include "gui/app/main_queue_pump.h"
#include "gui/app/qt_shell.h"
#include "platform/user_defaults.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QTextStream>

namespace {

// Until the main window exists: a window with the application menu (lock and quit) and the
// signed-in user's name.
QWidget* placeholderMainWindow(tc::gui::AppDelegate& delegate, tc::gui::GuiContext& context,
                               tc::gui::QtShell& shell) {
    auto* window = new QMainWindow;
    window->setWindowTitle(QString::fromStdString(shell.applicationName()));
    QMenu* menu = window->menuBar()->addMenu(QString::fromStdString(shell.applicationName()));
    menu->setProperty("tag", 1000);
    menu->addAction(delegate.lockAction());
    QObject::connect(menu, &QMenu::aboutToShow, &delegate, [&delegate] { delegate.menuNeedsUpdate(); });
    QAction* quit = menu->addAction(context.text("90307"));
    QObject::connect(quit, &QAction::triggered, &shell, [&shell] { shell.terminate(); });
    auto* label = new QLabel(QStringLiteral("%1 : %2").arg(
        context.text("0065"), QString::fromStdString(shell.logindata().userName().value_or(""))));
    label->setAlignment(Qt::AlignCenter);
    label->setMinimumSize(640, 400);
    window->setCentralWidget(label);
    return window;
}

} // namespace

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

    tc::gui::MainQueuePump pump;
    tc::gui::GuiContext context(tc::platform::UserDefaults::standard());
    tc::gui::QtShell shell(context);

    tc::gui::AppDelegate::Options options;
    options.simulation = simulation;
    options.mainWindow = [&context, &shell](tc::gui::AppDelegate& delegate) {
        return placeholderMainWindow(delegate, context, shell);
    };
    tc::gui::AppDelegate delegate(context, shell, std::move(options));
    delegate.applicationDidFinishLaunching();
    return QApplication::exec();
}
