#include "gui/login/unlock_window_controller.h"

#include "gui/app/gui_context.h"
#include "gui/app/in_app_notification_center.h"
#include "gui/app/language.h"
#include "gui/app/qt_shell.h"
#include "gui/app/window_shake.h"
#include "gui/controls/entry_refusal.h"
#include "gui/models/client_model.h"
#include "gui/texts.h"
#include "ui_unlock_window_controller.h"

#include <QApplication>
#include <QCloseEvent>

#include <utility>

namespace tc::gui {

UnlockWindowController::UnlockWindowController(GuiContext& context, QtShell& shell, ClientModel& session,
                                               QWidget* parent)
    : ProgramDialog(context, shell, session, parent), ui_(std::make_unique<Ui::UnlockWindowController>()) {
    ui_->setupUi(this);
    ui_->unlockErrorLabel->hide();
    // A refusal is said in words as well as by the shake; typing again takes it away.
    connect(ui_->lockPasswordTextField, &QLineEdit::textEdited, ui_->unlockErrorLabel, &QWidget::hide);
    bindLanguage(this, context_.language(), [this] { updateLanguageStrings(); });
    connect(ui_->unlockButton, &QPushButton::clicked, this, &UnlockWindowController::unLockButtonClicked);
    connect(ui_->quitButton, &QPushButton::clicked, this, &UnlockWindowController::quitButtonClicked);
}

UnlockWindowController::~UnlockWindowController() = default;

void UnlockWindowController::updateLanguageStrings() {
    ui_->lockPasswordTitleTextField->setText(
        QStringLiteral("%1 :").arg(context_.text(texts::kUnlockPassword)));
    ui_->unlockErrorLabel->setText(refusalText());
    if (ui_->unlockErrorLabel->isVisible())
        ui_->lockPasswordTextField->setAccessibleDescription(ui_->unlockErrorLabel->text());
    setWindowTitle(QStringLiteral("%1 %2").arg(context_.text(texts::kUnlock), lockedUserName_));
}

void UnlockWindowController::lock(QWidget* mainWindow) {
    if (mainWindow && mainWindow->isVisible()) {
        mainWindow_ = mainWindow;
        lockedUser_ = session_.signedInUser();
        lockedUserName_ = QString::fromStdString(session_.client().userName());
        // Its own windows stand apart from it on screen: they hide with it.
        hiddenWindows_.clear();
        for (QWidget* child : mainWindow->findChildren<QWidget*>())
            if (child->isWindow() && child->isVisible())
                hiddenWindows_.append(child);
        QWidget* active = QApplication::activeWindow();
        activeAtLock_ = hiddenWindows_.contains(active) ? active : nullptr;
        mainWindow->hide();
        for (const auto& window : hiddenWindows_)
            window->hide();
        context_.banners().setHeld(true);
        ui_->lockPasswordTextField->clear();
        ui_->unlockErrorLabel->hide();
        show();
        raise();
        activateWindow();
        ui_->lockPasswordTextField->setFocus();
    }
    updateLanguageStrings();
}

QString UnlockWindowController::refusalText() const {
    return refusal_ ? refusalWords(context_.language().selected(), *refusal_)
                    : context_.text(texts::kPasswordNotCorrect);
}

void UnlockWindowController::refuse(std::optional<Refusal> refusal) {
    refusal_ = refusal;
    shakeWindow(this);
    ui_->unlockErrorLabel->setText(refusalText());
    ui_->unlockErrorLabel->show();
    ui_->lockPasswordTextField->setAccessibleDescription(ui_->unlockErrorLabel->text());
    ui_->lockPasswordTextField->selectAll();
}

void UnlockWindowController::unLockButtonClicked() {
    // Compared exactly, as typed: the password is not trimmed. A text no password field takes is
    // said to be so, not to be wrong: the field holds it whole, and the trader sees why.
    const std::string typed = ui_->lockPasswordTextField->text().toStdString();
    if (const auto refusal = firstTextRefusal({{texts::kUnlockPassword, typed, kMaxPasswordLength}})) {
        refuse(refusal);
        return;
    }
    // Only the password the server accepted for the locker opens it: a sign-in under way, or one the
    // server refused, is nobody's proof.
    if (!lockedUser_ || !session_.isAcceptedPassword(*lockedUser_, typed)) {
        refuse(std::nullopt);
        return;
    }
    ui_->unlockErrorLabel->hide();
    ui_->lockPasswordTextField->setAccessibleDescription(QString());
    ui_->lockPasswordTextField->clear();
    hide();
    // The main window first, its own windows over it (a sheet over its window, as they were opened),
    // then the banners held over them all: raised later, the main window would come back over them,
    // hiding them (a window manager that does not keep a window over its owner, or none). The one
    // in use at the lock is in use again.
    if (mainWindow_) {
        mainWindow_->show();
        mainWindow_->raise();
        for (const auto& window : std::exchange(hiddenWindows_, {}))
            if (window) {
                window->show();
                window->raise();
            }
    }
    context_.banners().setHeld(false);
    if (mainWindow_) {
        QWidget* active =
            activeAtLock_ && activeAtLock_->isVisible() ? activeAtLock_.data() : mainWindow_.data();
        active->activateWindow();
    }
    activeAtLock_ = nullptr;
    Q_EMIT unlocked();
}

QString UnlockWindowController::endForAnotherUser() {
    for (const auto& window : std::exchange(hiddenWindows_, {}))
        if (window)
            window->close();
    activeAtLock_ = nullptr;
    mainWindow_ = nullptr;
    lockedUser_.reset();
    refusal_.reset();
    ui_->unlockErrorLabel->hide();
    ui_->lockPasswordTextField->setAccessibleDescription(QString());
    ui_->lockPasswordTextField->clear();
    hide();
    const QString locker = std::exchange(lockedUserName_, QString());
    updateLanguageStrings();
    return locker;
}

void UnlockWindowController::quitButtonClicked() {
    shell_.quit();
}

void UnlockWindowController::closeEvent(QCloseEvent* event) {
    // Closing the lock is quitting, never unlocking.
    event->ignore();
    quitButtonClicked();
}

} // namespace tc::gui
