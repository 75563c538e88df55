#include "gui/funding/change_password_window_controller.h"

#include "gui/app/common_alert.h"
#include "gui/app/gui_context.h"
#include "gui/app/language.h"
#include "gui/app/waiting_answer.h"
#include "gui/controls/entry_refusal.h"
#include "gui/controls/text_entry_rules.h"
#include "gui/models/client_model.h"
#include "gui/texts.h"
#include "ui_change_password_window_controller.h"

#include <QMessageBox>

#include <utility>

namespace tc::gui {
namespace {

// A server's reason is shown as plain text, cut to a length the sheet can hold.
constexpr int kMaxReasonChars = 300;

QString readableReason(const std::string& reason) {
    QString text = QString::fromUtf8(reason.data(), static_cast<qsizetype>(reason.size())).simplified();
    QString shown;
    for (const QChar c : text)
        if (c.isPrint())
            shown.append(c);
    if (shown.size() > kMaxReasonChars)
        shown = shown.left(kMaxReasonChars) + QChar(0x2026);
    return shown;
}

} // namespace

ChangePasswordWindowController::ChangePasswordWindowController(GuiContext& context, QWidget* parent)
    : SheetController(parent), ui_(std::make_unique<Ui::ChangePasswordWindowController>()),
      context_(context) {
    ui_->setupUi(this);
    askBeforeDroppingTyped(context_.language());
    bindLanguage(this, context_.language());
    connect(&context_.language(), &Language::changed, this, [this] {
        if (waiting_)
            showWaiting();
    });
    ui_->statusLabel->setTextFormat(Qt::PlainText);
    ui_->statusLabel->hide();
    replyTimer_.setSingleShot(true);
    replyTimer_.setInterval(kReplyTimeoutMs);
    connect(&replyTimer_, &QTimer::timeout, this, [this] {
        if (!waiting_)
            return;
        // The server may have made the change: the trader is told so, never to try again. A late
        // answer is still told here, and an acceptance still reaches the remembered password.
        SetWaiting(false);
        outcomeUnknown_ = true;
        ui_->changeButton->setEnabled(false);
        ui_->statusLabel->setText(context_.text(texts::kPasswordChangeOutcomeUnknown));
    });
    connect(ui_->changeButton, &QPushButton::clicked, this,
            &ChangePasswordWindowController::ChangePasswordButtonClicked);
    connect(ui_->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    // The answers of whichever client is signed in; a reply the sheet did not wait for is passed over.
    if (ClientModel* session = context_.clientModel()) {
        connect(session, &ClientModel::passwordChanged, this,
                &ChangePasswordWindowController::ShowStatusMessage);
        connect(session, &ClientModel::passwordRefused, this, &ChangePasswordWindowController::ShowRefusal);
        // A silent server is no loss: the change still waits (its limit runs on) and the sheet says so.
        connect(session, &ClientModel::answeringChanged, this, [this] {
            if (waiting_)
                showWaiting();
        });
        connect(session, &ClientModel::clientAboutToBeReplaced, this, [this] {
            // A change whose answer can no longer come may have been made all the same.
            const bool unknown = waiting_ || outcomeUnknown_;
            SetWaiting(false);
            outcomeUnknown_ = false;
            sentPassword_.clear();
            if (!isVisible())
                return;
            QWidget* owner = parentWidget();
            reject();
            if (unknown)
                unknownNotice_ =
                    CommonAlert::open(owner, {context_.text(texts::kValidation),
                                              context_.text(texts::kPasswordChangeOutcomeUnknown),
                                              AlertSpec::Warning,
                                              {},
                                              {}});
        });
        // Known at the sign-in: what the Notice said as possible is taken back, and a change made is
        // said as made.
        connect(session, &ClientModel::passwordChangeSettled, this, [this](bool made) {
            if (!unknownNotice_)
                return;
            QWidget* owner = unknownNotice_->parentWidget();
            unknownNotice_->close();
            unknownNotice_ = nullptr;
            if (made)
                CommonAlert::open(owner, {context_.text(texts::kValidation),
                                          context_.text(texts::kPasswordChanged),
                                          AlertSpec::Informational,
                                          {},
                                          {}});
        });
    }
}

ChangePasswordWindowController::~ChangePasswordWindowController() = default;

void ChangePasswordWindowController::onWindowLoad() {
    SetWaiting(false);
    outcomeUnknown_ = false;
    sentPassword_.clear();
    ui_->OldPasswordTextField->clear();
    ui_->NewPasswordField->clear();
    ui_->ConfirmPasswordField->clear();
    ui_->statusLabel->clear();
    ui_->statusLabel->hide();
    ui_->OldPasswordTextField->setFocus();
}

QString ChangePasswordWindowController::StatusText() const {
    return ui_->statusLabel->isHidden() ? QString() : ui_->statusLabel->text();
}

void ChangePasswordWindowController::ValidationAlert(const QString& text) {
    CommonAlert::open(this, {context_.text(texts::kValidation), text, AlertSpec::Warning, {}, {}});
}

void ChangePasswordWindowController::SetWaiting(bool waiting) {
    waiting_ = waiting;
    if (waiting)
        replyTimer_.start();
    else
        replyTimer_.stop();
    ui_->changeButton->setEnabled(!waiting);
    ui_->OldPasswordTextField->setReadOnly(waiting);
    ui_->NewPasswordField->setReadOnly(waiting);
    ui_->ConfirmPasswordField->setReadOnly(waiting);
    if (waiting)
        showWaiting();
}

void ChangePasswordWindowController::showWaiting() {
    const ClientModel* session = context_.clientModel();
    ui_->statusLabel->setText(
        context_.text(waitingAnswerKey(!session || session->client().networkSpeed().answering)));
    ui_->statusLabel->show();
}

void ChangePasswordWindowController::ChangePasswordButtonClicked() {
    ClientModel* session = context_.clientModel();
    if (waiting_ || !session)
        return;
    const std::string oldText = ui_->OldPasswordTextField->text().toStdString();
    const std::string newText = ui_->NewPasswordField->text().toStdString();
    const std::string confirmText = ui_->ConfirmPasswordField->text().toStdString();
    // Taken whole or refused: a password cut to fit would be confirmed as one never typed. A
    // character the wire cannot carry is said here; the core would only refuse the request.
    if (const auto refusal =
            firstTextRefusal({{texts::kCurrentPassword, oldText, kMaxPasswordLength},
                              {texts::kNewPassword, newText, kMaxPasswordLength},
                              {texts::kConfirmNewPassword, confirmText, kMaxPasswordLength}})) {
        ValidationAlert(refusalWords(context_.language().selected(), *refusal));
        return;
    }
    const interfaces::CommandResult sent = session->changePassword(oldText, newText, confirmText);
    if (!sent) {
        ValidationAlert(QString::fromStdString(sent.error));
        return;
    }
    sentPassword_ = newText;
    SetWaiting(true);
}

void ChangePasswordWindowController::ShowStatusMessage() {
    const std::string password = std::exchange(sentPassword_, std::string());
    if (!password.empty() && changed_)
        changed_(password);
    if (!waiting_ && !std::exchange(outcomeUnknown_, false))
        return;
    SetWaiting(false);
    QWidget* owner = parentWidget();
    accept();
    CommonAlert::open(owner, {context_.text(texts::kValidation),
                              context_.text(texts::kPasswordChanged),
                              AlertSpec::Informational,
                              {},
                              {}});
}

void ChangePasswordWindowController::ShowRefusal(const std::string& reason) {
    if (!waiting_ && !std::exchange(outcomeUnknown_, false))
        return;
    SetWaiting(false);
    sentPassword_.clear();
    ui_->statusLabel->setText(context_.text(texts::kServerRefusedNewPassword)
                                  .replace(QStringLiteral("{0}"), readableReason(reason)));
    ui_->statusLabel->show();
}

} // namespace tc::gui
