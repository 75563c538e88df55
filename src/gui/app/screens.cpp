// The shared services' own windows: banners, alerts, and the shipped images.
// Screenshot screens; the screen list (gui/screens/screen_list.cpp) calls registerAppScreens().
#include "gui/screens/screen_registry.h"

#include "gui/app/common_alert.h"
#include "gui/app/gui_context.h"
#include "gui/app/in_app_notification_center.h"
#include "gui/app/language.h"
#include "gui/app/qt_shell.h"
#include "gui/texts.h"

#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QMessageBox>

#include <string>

namespace tc::gui {
namespace {

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

// A burst of settlements gathered in one banner: its newest lines, then how many more came before.
QWidget* bannerBurst(ScreenContext& c) {
    GuiContext& gui = c.context();
    InAppNotificationBannerController* banner = nullptr;
    const int settled = int(InAppNotificationBannerController::kBannerLines) + 12;
    for (int i = 0; i < settled; ++i) {
        interfaces::InAppNotification n;
        n.title = kApplicationName;
        n.subtitle = gui.text(texts::kValidation).toStdString();
        n.informativeText = "#" + std::to_string(600300 + i) + "\n" +
                            gui.text(texts::kSettled).toStdString() + " EURUSD @1.08" +
                            std::to_string(10 + i) + " ";
        n.feature.dismissDelayTime = -1;
        n.soundName = std::string(interfaces::kInAppNotificationDefaultSound);
        InAppNotificationBannerController* delivered = gui.banners().deliverNotification(n);
        if (!banner)
            banner = delivered;
    }
    c.waitUntil([banner] { return banner->phase() == InAppNotificationBannerController::Phase::Shown; });
    return banner;
}

QWidget* alert(ScreenContext& c) {
    QtShell& shell = c.shell();
    auto* owner = c.own(new QWidget);
    owner->resize(480, 320);
    owner->show();
    shell.setPrimaryWindow(owner);
    shell.onConnectionLost({});
    QMessageBox* box = CommonAlert::showing(owner, QStringLiteral("connectionLost"));
    c.waitUntil([box] { return box && box->isVisible(); });
    return box;
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

} // namespace

void registerAppScreens(ScreenRegistry& r) {
    r.add("banner", [](ScreenContext& c) { return banner(c, false); });
    r.add("banner-buttons", [](ScreenContext& c) { return banner(c, true); });
    r.add("banner-burst", bannerBurst);
    r.add("alert", alert);
    r.add("images", images);
}

} // namespace tc::gui
