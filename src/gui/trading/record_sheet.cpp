#include "gui/trading/record_sheet.h"

#include "gui/app/common_alert.h"
#include "gui/app/gui_context.h"
#include "gui/app/language.h"
#include "gui/app/qt_text.h"
#include "gui/app/theme_manager.h"
#include "gui/controls/entry_marks.h"
#include "gui/controls/entry_refusal.h"
#include "gui/models/client_model.h"
#include "gui/trading/position_dialog_rules.h"
#include "gui/trading/trade_entries.h"
#include "interfaces/client.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

namespace tc::gui {

RecordSheet::RecordSheet(GuiContext& context, QWidget* parent) : SheetController(parent), context_(context) {
    askBeforeDroppingTyped(context_.language());
}

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

bool RecordSheet::openRecord(const std::string& id, const std::function<bool(interfaces::Client&)>& view,
                             std::initializer_list<QWidget*> focusOrder) {
    follow(id);
    interfaces::Client* c = client();
    if (!c || !view(*c)) {
        closeAsGone();
        return false;
    }
    fill();
    openWithFocus(focusOrder);
    return true;
}

void RecordSheet::showTitles(const RecordFields& fields, const RecordLines& lines) {
    fields.box->setTitle(qt(lines.boxTitle));
    setWindowTitle(qt(lines.boxTitle));
    fields.button->setText(qt(lines.buttonTitle));
}

void RecordSheet::showRecordLines(const RecordFields& fields, const RecordLines& lines) {
    showTitles(fields, lines);
    fields.account->setText(qt(lines.account));
    fields.symbol->setText(qt(lines.symbol));
    fields.name->setText(qt(lines.name));
    {
        const QSignalBlocker block(fields.quantity);
        fields.quantity->clear();
        for (const std::string& entry : lines.quantityList)
            fields.quantity->addItem(qt(entry));
        fields.quantity->setEditText(qt(lines.quantity));
    }
    fields.quantity->setEnabled(lines.quantityEditable);
    fields.quantityDescription->setText(qt(lines.quantityDescription));
    fields.orderType->setText(qt(lines.orderType));
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
    CommonAlert::open(parentWidget(), {refusalText({std::string(kRecordGoneKey), id}),
                                       {},
                                       AlertSpec::Informational,
                                       {},
                                       QStringLiteral("dialogRecordGone")});
}

QString RecordSheet::refusalText(const Refusal& refusal) const {
    return refusalWords(context_.language().selected(), refusal);
}

void RecordSheet::markField(QWidget* field, const TradeEntry& entry, std::string_view fieldKey) const {
    markEntry(field,
              entry.ok() ? QString() : refusalWords(context_.language().selected(), entry.refusal, fieldKey),
              context_.themes());
}

void RecordSheet::markRefusal(QWidget* field, const std::optional<Refusal>& refusal) const {
    markEntry(field, refusal ? refusalText(*refusal) : QString(), context_.themes());
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
