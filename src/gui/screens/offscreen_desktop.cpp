#include "gui/screens/offscreen_desktop.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

namespace tc::gui {

bool waitForEvents(const std::function<bool()>& done, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

void useDesktopSizedScreen(const QTemporaryDir& folder, int width, int height) {
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty() && platform != "offscreen")
        return;
    if (!folder.isValid())
        return;
    const QString config = folder.filePath(QStringLiteral("offscreen.json"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    file.write(QStringLiteral(R"({"screens": [{"name": "screen", "x": 0, "y": 0, "width": %1, "height": %2,
                 "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})")
                   .arg(width)
                   .arg(height)
                   .toUtf8());
    file.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.toLocal8Bit());
}

} // namespace tc::gui
