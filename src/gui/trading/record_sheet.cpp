#include "gui/trading/record_sheet.h"

#include "gui/app/common_alert.h"
#include "gui/app/gui_context.h"
#include "gui/app/language.h"
#include "gui/models/client_model.h"
#include "gui/trading/position_dialog_rules.h"
#include "interfaces/client.h"
#include "model/text/positional_text.h"

#include <QPushButton>

namespace tc::gui {

RecordSheet::RecordSheet(GuiContext& context, QWidget* parent) : SheetController(parent), context_(context) {}

RecordSheet::~RecordSheet() = default;

interfaces::Client* RecordSheet::client() const {
    return session_ ? &session_->client() : nullptr;
}

QString RecordSheet::text(std::string_view key) const {
    return context_.text(key);
}

void RecordSheet::follow(const std::string& id) {
    dropSession();
    record_ = id;
    session_ = context_.clientModel();
    if (!session_)
        return;
    // The records belong to the old client: let go of them at once.
    follow_.start(this, session_, [this] { session_ = nullptr; });
    follow_.add(connect(session_, &ClientModel::tick, this, [this] {
        if (isVisible())
            refresh(true);
    }));
    follow_.add(connect(session_, &ClientModel::tablesChanged, this, [this] {
        if (isVisible())
            refresh(false);
    }));
}

bool RecordSheet::followRecord(const std::string& id, const std::function<bool(interfaces::Client&)>& view) {
    follow(id);
    interfaces::Client* c = client();
    if (!c || !view(*c)) {
        closeAsGone();
        return false;
    }
    return true;
}

void RecordSheet::connectButtons(QPushButton* request, std::function<void()> send, QPushButton* notNow) {
    connect(request, &QPushButton::clicked, this, std::move(send));
    connect(notNow, &QPushButton::clicked, this, &QDialog::reject);
}

void RecordSheet::openWithFocus(std::initializer_list<QWidget*> order) {
    openOn(parentWidget());
    for (QWidget* widget : order)
        if (widget == *(order.end() - 1) || (widget->isEnabled() && widget->isVisibleTo(this))) {
            widget->setFocus();
            return;
        }
}

void RecordSheet::dropSession() {
    follow_.drop();
    session_ = nullptr;
}

void RecordSheet::done(int result) {
    // A sheet that is not showing follows nothing; the next opening follows its record again.
    dropSession();
    SheetController::done(result);
}

void RecordSheet::closeAsGone() {
    const std::string id = record_;
    const bool wasShowing = isVisible();
    if (wasShowing)
        reject();
    dropSession();
    Q_EMIT recordGone();
    CommonAlert::open(parentWidget(), {refusalText(kRecordGoneKey, id),
                                       {},
                                       AlertSpec::Informational,
                                       {},
                                       QStringLiteral("dialogRecordGone")});
}

QString RecordSheet::refusalText(std::string_view key, std::string_view detail) const {
    const std::string base = context_.text(key).toStdString();
    if (detail.empty())
        return QString::fromStdString(base);
    if (base.find("{0}") != std::string::npos)
        return QString::fromStdString(fillPositional(base, {detail}));
    return QString::fromStdString(base + " " + std::string(detail));
}

void RecordSheet::showRefusal(const QString& message) {
    CommonAlert::open(this, {text(kRefusalTitleKey), message, AlertSpec::Warning, {}, {}});
}

bool RecordSheet::takeResult(const interfaces::OrderResult& result) {
    if (result.sent()) {
        accept();
        Q_EMIT requestSent();
        return true;
    }
    showRefusal(QString::fromStdString(result.refusalText.empty() ? result.refusalKey : result.refusalText));
    return false;
}

} // namespace tc::gui
