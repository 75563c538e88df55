#include "gui/app/qt_shell.h"

#include "gui/app/browser.h"
#include "gui/app/common_alert.h"
#include "gui/app/gui_context.h"
#include "gui/app/gui_objects.h"
#include "gui/app/in_app_notification_center.h"
#include "gui/app/language.h"
#include "gui/app/sound_notification.h"
#include "gui/app/system_notifier.h"
#include "gui/app/theme_manager.h"
#include "gui/app/window_shake.h"
#include "gui/texts.h"
#include "platform/dispatch.h"
#include "platform/log.h"

#include <QApplication>
#include <QMessageBox>
#include <QUrl>

#include <chrono>

namespace tc::gui {
namespace {

QString fromStd(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

QtShell::QtShell(GuiContext& context, QObject* parent)
    : QObject(parent), context_(context), applicationName_(kApplicationName), opener_(openInBrowser) {
    interfaces::installProductTexts();
}

QtShell::~QtShell() = default;

std::int64_t QtShell::selectedLanguage() const {
    return context_.language().selected();
}

bool QtShell::showConfirmationAlert() const {
    return context_.guiObjects().showConfirmationAlert();
}

QString QtShell::text(std::string_view key) const {
    return context_.text(key);
}

void QtShell::showAlert(const AlertSpec& spec, std::function<void(int)> done) {
    CommonAlert::open(primaryWindow(), spec, std::move(done));
}

void QtShell::onConnectionLost(const std::vector<std::string>& unanswered) {
    playSound("connectionLost");
    Q_EMIT connectionLost();
    if (connectionFailureFollowUp_)
        platform::MainQueue::after(std::chrono::duration_cast<platform::Clock::duration>(
                                       std::chrono::duration<double>(kConnectionFailureFollowUpSeconds)),
                                   guard_.bind(connectionFailureFollowUp_));
    // The requests the server never answered are named, so the trader checks each before sending
    // it again: it may have been carried out.
    QString message = text(texts::kConnectionTradingServerLost);
    if (!unanswered.empty()) {
        message += QStringLiteral("\n\n") + text(texts::kUnansweredRequestsAlert);
        for (const std::string& request : unanswered)
            message += QStringLiteral("\n- ") + fromStd(request);
        // Once the alert is read the trader must still find the list: the same user's next session
        // keeps the journal, where each request has its line.
        message += QStringLiteral("\n\n") + text(texts::kUnansweredListInJournal);
    }
    showAlert(
        {text(texts::kConnectionLost), message, AlertSpec::Critical, {}, QStringLiteral("connectionLost")});
}

void QtShell::onSignedInElsewhere(const std::string& text) {
    // The server names where the other login came from; without a name the sentence stands alone.
    const QString message =
        text.empty()
            ? this->text(texts::kSignedFromAnotherLocation)
            : QStringLiteral("%1 : %2 !").arg(this->text(texts::kSignedFromAnotherLocation), fromStd(text));
    showAlert({fromStd(applicationName_), message, AlertSpec::Critical, {}, QStringLiteral("loginElsewhere")},
              [this](int) { quit(); });
}

void QtShell::onLoginRefused(const interfaces::LoginMessageAlert& alert) {
    shakeWindow(primaryWindow());
    Q_EMIT loginRefused();
    AlertSpec spec{fromStd(applicationName_), fromStd(alert.message), AlertSpec::Critical, {}, {}};
    if (alert.tag == "3") {
        // A client version the server no longer takes: update now, or stay at the login window.
        spec.buttons = {text(texts::kUpdateNow), text(texts::kLater)};
        showAlert(spec, [this, url = alert.url.value_or("")](int button) {
            if (button != 0)
                return;
            openAddress(url);
            quit();
        });
        return;
    }
    spec.buttons = {text(texts::kOK)};
    showAlert(spec);
}

void QtShell::showMessageAlert(const std::string& message, const std::string& title) {
    if (messageAlerts_.add({title, message}))
        showNextMessageAlert();
}

void QtShell::showNextMessageAlert() {
    const std::optional<MessageAlert> next = messageAlerts_.next();
    if (!next)
        return;
    QMessageBox* box = CommonAlert::open(
        primaryWindow(), {fromStd(next->title), fromStd(next->message), AlertSpec::Informational, {}, {}});
    messageBox_ = box;
    // Closed by a button, or gone with its window: the next one opens from the main loop, never from
    // inside a window's destructor.
    auto closed = [this, box] {
        if (box != messageBox_)
            return;
        messageBox_ = nullptr;
        messageAlerts_.closed();
        QMetaObject::invokeMethod(
            this, [this] { showNextMessageAlert(); }, Qt::QueuedConnection);
    };
    connect(box, &QDialog::finished, this, closed);
    connect(box, &QObject::destroyed, this, closed);
}

void QtShell::showMessageBanner(const std::string& message, const std::string& title) {
    showBanner(interfaces::makeCommonBanner(applicationName_, message, title));
}

void QtShell::showBanner(const interfaces::InAppNotification& notification) {
    context_.banners().deliverNotification(notification);
}

void QtShell::setBannerDelegate(BannerActivation onActivate) {
    context_.banners().setDelegate(std::move(onActivate));
}

void QtShell::showSystemNotification(const std::string& title, const std::string& subTitle) {
    context_.systemNotifier().notify(fromStd(title), fromStd(subTitle));
}

void QtShell::playSound(std::string_view name) {
    context_.sounds().playSoundNamed(name);
}

void QtShell::openAddress(const std::string& url) {
    const QUrl address(fromStd(url), QUrl::StrictMode);
    const QString scheme = address.scheme().toLower();
    if (!address.isValid() || address.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        platform::Log::warning("not opened, not an http or https address: {}", url.substr(0, 200));
        return;
    }
    if (!opener_ || !opener_(address)) {
        platform::Log::warning("Failed to open url: {}", url.substr(0, 200));
        // No browser took it: said, so the user can open it by hand.
        showAlert(addressNotOpenedAlert(context_, url, QStringLiteral("addressNotOpened")));
    }
}

void QtShell::quit() {
    Q_EMIT terminating();
    if (terminationHandler_) {
        terminationHandler_();
        return;
    }
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

} // namespace tc::gui
