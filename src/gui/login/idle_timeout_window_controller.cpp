#include "gui/login/idle_timeout_window_controller.h"

#include "gui/app/gui_context.h"
#include "gui/app/language.h"
#include "gui/login/idle_time.h"
#include "platform/user_defaults.h"
#include "ui_idle_timeout_window_controller.h"

namespace tc::gui {

IdleTimeoutWindowController::IdleTimeoutWindowController(GuiContext& context, QWidget* parent)
    : SheetController(parent), ui_(std::make_unique<Ui::IdleTimeoutWindowController>()),
      language_(context.language()), defaults_(context.defaults()) {
    ui_->setupUi(this);
    askBeforeDroppingTyped(language_);
    bindLanguage(this, language_, [this] { loadTimeoutCombo(); });
    connect(ui_->timeoutComboBox, &QComboBox::activated, this,
            [this] { ui_->applyButton->setEnabled(true); });
    connect(ui_->applyButton, &QPushButton::clicked, this, &IdleTimeoutWindowController::applyButtonClicked);
    connect(ui_->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

IdleTimeoutWindowController::~IdleTimeoutWindowController() = default;

void IdleTimeoutWindowController::loadTimeoutCombo() {
    const int current = ui_->timeoutComboBox->currentIndex();
    ui_->timeoutComboBox->clear();
    for (const IdleChoice& choice : kIdleChoices) {
        ui_->timeoutComboBox->addItem(choice.minutes == 0
                                          ? language_.text(kIdleNeverKey)
                                          : QStringLiteral("%1 %2").arg(QString::number(choice.minutes),
                                                                        language_.text(kIdleMinutesKey)));
    }
    ui_->timeoutComboBox->setCurrentIndex(current);
}

void IdleTimeoutWindowController::onWindowLoad() {
    ui_->applyButton->setEnabled(false);
    ui_->timeoutComboBox->setCurrentIndex(
        static_cast<int>(idleChoiceIndex(defaults_.integerForKey(kIdleTimeKey))));
}

void IdleTimeoutWindowController::applyButtonClicked() {
    const int index = ui_->timeoutComboBox->currentIndex();
    if (index < 0 || index >= static_cast<int>(kIdleChoices.size()))
        return;
    defaults_.set(kIdleTimeKey, kIdleChoices[static_cast<std::size_t>(index)].seconds);
    defaults_.synchronize();
    accept();
}

} // namespace tc::gui
