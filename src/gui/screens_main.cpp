// tradegui_screens: renders every window and sheet offscreen, in both themes, to PNG files.
//   tradegui_screens [DIR] [SCREEN...]      (DIR defaults to build/screenshots)
#include "gui/app/gui_context.h"
#include "gui/app/main_queue_pump.h"
#include "gui/app/qt_shell.h"
#include "gui/screens/screen_registry.h"
#include "platform/user_defaults.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTextStream>

namespace {

// The offscreen platform's own screen is 800x600, where dialogs size themselves smaller than on a
// desktop; render on a full HD screen at 96 dpi instead.
void useDesktopSizedScreen() {
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty() && platform != "offscreen")
        return;
    const QString config = QDir::temp().filePath(QStringLiteral("tradegui-screens-offscreen.json"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    file.write(R"({"screens": [{"name": "screen", "x": 0, "y": 0, "width": 1920, "height": 1080,
                 "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    file.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.toLocal8Bit());
}

} // namespace

int main(int argc, char** argv) {
    useDesktopSizedScreen();
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments().mid(1);
    const QString dir = args.value(0, QStringLiteral("build/screenshots"));

    // The user's own settings are neither read nor changed.
    auto defaults = tc::platform::UserDefaults::inMemory();
    tc::gui::MainQueuePump pump;
    tc::gui::GuiContext context(*defaults);
    tc::gui::QtShell shell(context);
    shell.setTerminationHandler([] {});

    tc::gui::ScreenRegistry registry;
    tc::gui::registerScreens(registry);
    QTextStream out(stdout);
    const int failures = tc::gui::captureScreens(context, shell, registry, dir, out, args.mid(1));
    return failures == 0 ? 0 : 1;
}
