#include "gui/funding/account_access_setting_window_controller.h"

#include "gui/app/common_alert.h"
#include "gui/app/connect_each.h"
#include "gui/app/gui_context.h"
#include "gui/app/language.h"
#include "gui/app/waiting_answer.h"
#include "gui/models/client_model.h"
#include "gui/texts.h"
#include "ui_account_access_setting_window_controller.h"

#include <QMessageBox>
#include <QSignalBlocker>

namespace tc::gui {
namespace {

constexpr char kUnansweredNotice[] = "accessChangeUnanswered";

QString idText(std::uint64_t id) {
    return QString::number(id);
}

} // namespace

AccountAccessSettingWindowController::AccountAccessSettingWindowController(GuiContext& context,
                                                                           QWidget* parent)
    : SheetController(parent), ui_(std::make_unique<Ui::AccountAccessSettingWindowController>()),
      context_(context) {
    ui_->setupUi(this);
    askBeforeDroppingTyped(context_.language());
    bindLanguage(this, context_.language());
    for (const AccessRight& right : kAccessRights)
        ui_->rightsComboBox->addItem(
            QString::fromUtf8(right.text.data(), static_cast<qsizetype>(right.text.size())));
    connectEach(&QComboBox::activated, this,
                std::pair{ui_->accountComboBox, &AccountAccessSettingWindowController::accountChosen},
                std::pair{ui_->userComboBox, &AccountAccessSettingWindowController::userChosen},
                std::pair{ui_->rightsComboBox, &AccountAccessSettingWindowController::rightChosen});
    connect(ui_->applyButton, &QPushButton::clicked, this,
            &AccountAccessSettingWindowController::applyButtonClicked);
    connect(ui_->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(&context_.language(), &Language::changed, this, [this] { showWaiting(); });
}

AccountAccessSettingWindowController::~AccountAccessSettingWindowController() = default;

void AccountAccessSettingWindowController::onWindowLoad() {
    editRequest_ = 0;
    showWaiting();
    mapRequest_ = 0;
    unansweredEdit_ = false;
    ClientModel* session = context_.clientModel();
    if (!session) {
        form_.loadAccounts({}, 0);
    } else {
        follow();
        const interfaces::Client& client = session->client();
        const auto& user = client.model().userInfo;
        form_.loadAccounts(client.queries().getAccountCollection(),
                           user && user->UserId > 0 ? static_cast<std::uint64_t>(user->UserId) : 0);
    }
    {
        const QSignalBlocker block(ui_->accountComboBox);
        ui_->accountComboBox->clear();
        for (const AccessAccount& account : form_.accounts())
            ui_->accountComboBox->addItem(idText(account.id));
    }
    loadUsers();
    requestMaps();
    updateValuesInViews();
    ui_->applyButton->setEnabled(false);
    ui_->accountComboBox->setFocus();
}

void AccountAccessSettingWindowController::follow() {
    ClientModel* session = context_.clientModel();
    follow_.start(this, session);
    follow_.add(connect(session, &ClientModel::userAccessArrived, this,
                        &AccountAccessSettingWindowController::mapsArrived));
    follow_.add(connect(session, &ClientModel::userAccessEdited, this,
                        [this](const interfaces::UserAccessEdit& edit) {
                            if (editRequest_ != 0 && edit.id == editRequest_)
                                editAnswered(edit.accepted);
                        }));
    follow_.add(connect(session, &ClientModel::requestFailed, this,
                        [this](const interfaces::RequestFailure& failure) {
                            if (editRequest_ != 0 && failure.id == editRequest_)
                                editUnanswered();
                            else if (mapRequest_ != 0 && failure.id == mapRequest_)
                                mapRequest_ = 0;
                        }));
    // After an edit without an answer, what the server holds is asked again as soon as it answers.
    // An edit waiting says whether the server is answering: a silence is no loss, and nothing is sent
    // again meanwhile.
    follow_.add(connect(session, &ClientModel::answeringChanged, this, [this](bool answering) {
        showWaiting();
        if (answering && unansweredEdit_ && mapRequest_ == 0)
            requestMaps();
    }));
}

void AccountAccessSettingWindowController::done(int result) {
    follow_.drop();
    editRequest_ = 0;
    showWaiting();
    mapRequest_ = 0;
    unansweredEdit_ = false;
    // The notice of an edit without an answer goes with the sheet it stands on: left behind, it would
    // hold the settings window for a sheet no longer there.
    if (QMessageBox* notice = CommonAlert::showing(this, QString::fromLatin1(kUnansweredNotice)))
        notice->done(0);
    SheetController::done(result);
}

void AccountAccessSettingWindowController::requestMaps() {
    mapRequest_ = 0;
    ClientModel* session = context_.clientModel();
    const AccessAccount* account = form_.account();
    // Nothing goes out for no account.
    if (!session || !account)
        return;
    mapRequest_ = session->client().requestUserMapWithAccount(static_cast<std::int32_t>(account->id));
}

void AccountAccessSettingWindowController::loadUsers() {
    ClientModel* session = context_.clientModel();
    if (session && form_.account())
        form_.setUsers(form_.account()->id,
                       session->client().queries().getUserMappedWithAccount(form_.account()->id));
    const QSignalBlocker block(ui_->userComboBox);
    ui_->userComboBox->clear();
    for (const UserAccountMaps& map : form_.users())
        ui_->userComboBox->addItem(idText(map.userId));
}

void AccountAccessSettingWindowController::updateValuesInViews() {
    const AccessAccount* account = form_.account();
    const UserAccountMaps* user = form_.user();
    {
        const QSignalBlocker block(ui_->accountComboBox);
        ui_->accountComboBox->setCurrentIndex(account ? ui_->accountComboBox->findText(idText(account->id))
                                                      : -1);
    }
    ui_->accountComboBox->setEnabled(!form_.accounts().empty());
    ui_->accountNameLabel->setText(account ? QString::fromStdString(account->name) : QString());
    {
        const QSignalBlocker block(ui_->userComboBox);
        ui_->userComboBox->setCurrentIndex(user ? ui_->userComboBox->findText(idText(user->userId)) : -1);
    }
    ui_->userComboBox->setEnabled(!form_.users().empty());
    ui_->userNameLabel->setText(user ? QString::fromStdString(user->userName) : QString());
    ui_->rightsComboBox->setEnabled(form_.rightsEnabled());
    if (const auto text = accessRightText(form_.right())) {
        const QSignalBlocker block(ui_->rightsComboBox);
        ui_->rightsComboBox->setCurrentText(
            QString::fromUtf8(text->data(), static_cast<qsizetype>(text->size())));
    }
    // With no user of the chosen account there is nothing to send.
    if (!form_.edit())
        ui_->applyButton->setEnabled(false);
}

void AccountAccessSettingWindowController::accountChosen(int index) {
    const QString text = ui_->accountComboBox->itemText(index);
    if (!form_.chooseAccount(text.toULongLong()))
        return;
    loadUsers();
    requestMaps();
    ui_->applyButton->setEnabled(false);
    updateValuesInViews();
}

void AccountAccessSettingWindowController::userChosen(int index) {
    form_.chooseUser(ui_->userComboBox->itemText(index).toULongLong());
    ui_->applyButton->setEnabled(false);
    updateValuesInViews();
}

void AccountAccessSettingWindowController::rightChosen(int index) {
    if (index < 0 || index >= static_cast<int>(kAccessRights.size()))
        return;
    form_.chooseRight(kAccessRights[static_cast<std::size_t>(index)].text);
    ui_->applyButton->setEnabled(editRequest_ == 0 && form_.edit().has_value());
    updateValuesInViews();
}

void AccountAccessSettingWindowController::mapsArrived(const interfaces::UserAccessArrival& arrival) {
    const AccessAccount* account = form_.account();
    if (!account || arrival.accountId <= 0 || static_cast<std::uint64_t>(arrival.accountId) != account->id)
        return;
    if (arrival.id == mapRequest_) {
        mapRequest_ = 0;
        unansweredEdit_ = false;
    }
    // A right being picked for the user who is still listed stays picked.
    const std::uint64_t picked = form_.right();
    const bool pending = ui_->applyButton->isEnabled();
    loadUsers();
    if (pending && form_.user())
        form_.chooseRight(*accessRightText(picked));
    ui_->applyButton->setEnabled(pending && form_.edit().has_value());
    updateValuesInViews();
}

void AccountAccessSettingWindowController::applyButtonClicked() {
    ClientModel* session = context_.clientModel();
    const std::optional<UserAccountMaps> edit = form_.edit();
    if (!session || !edit || editRequest_ != 0)
        return;
    ui_->applyButton->setEnabled(false);
    editRequest_ = session->client().requestEditUserAccess(*edit);
    showWaiting();
    if (editRequest_ == 0) {
        CommonAlert::open(this, {context_.text(texts::kValidation),
                                 context_.text(texts::kNoConnectionTradingServer),
                                 AlertSpec::Warning,
                                 {},
                                 {}});
        ui_->applyButton->setEnabled(true);
    }
}

void AccountAccessSettingWindowController::editUnanswered() {
    // No answer is no refusal: the change may have been made. The sheet stays, shows the right the
    // server holds once its maps come again, and lets the trader choose again.
    editRequest_ = 0;
    unansweredEdit_ = true;
    showWaiting();
    ui_->applyButton->setEnabled(false);
    requestMaps();
    CommonAlert::open(this, {context_.text(texts::kValidation),
                             context_.text(texts::kAccessChangeOutcomeUnknown),
                             AlertSpec::Warning,
                             {},
                             QString::fromLatin1(kUnansweredNotice)});
}

QLabel* AccountAccessSettingWindowController::waitingLine() const {
    return ui_->waitingLabel;
}

void AccountAccessSettingWindowController::showWaiting() {
    const ClientModel* session = context_.clientModel();
    if (editRequest_ == 0 || !session) {
        ui_->waitingLabel->hide();
        return;
    }
    ui_->waitingLabel->setText(context_.text(waitingAnswerKey(session->client().networkSpeed().answering)));
    ui_->waitingLabel->show();
}

void AccountAccessSettingWindowController::editAnswered(bool accepted) {
    editRequest_ = 0;
    showWaiting();
    ClientModel* session = context_.clientModel();
    const AccessAccount* account = form_.account();
    // The stored maps follow the server: its answer to a new request replaces the account's maps.
    if (accepted && session && account)
        session->client().requestUserMapWithAccount(static_cast<std::int32_t>(account->id));
    QWidget* owner = parentWidget();
    accept();
    CommonAlert::open(
        owner, {context_.text(texts::kValidation),
                context_.text(accepted ? texts::kAccessRightChanged : texts::kServerRefusedChangeAccessRight),
                accepted ? AlertSpec::Informational : AlertSpec::Warning,
                {},
                {}});
}

} // namespace tc::gui
