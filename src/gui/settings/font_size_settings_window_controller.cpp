#include "gui/settings/font_size_settings_window_controller.h"

#include "gui/app/font_sizes.h"
#include "gui/app/gui_context.h"
#include "gui/app/language.h"
#include "ui_font_size_settings_window_controller.h"

namespace tc::gui {

FontSizeSettingsWindowController::FontSizeSettingsWindowController(GuiContext& context, QWidget* parent)
    : SheetController(parent), ui_(std::make_unique<Ui::FontSizeSettingsWindowController>()),
      language_(context.language()), defaults_(context.defaults()) {
    ui_->setupUi(this);
    bindLanguage(this, language_, [this] { fillNames(); });
    for (QComboBox* box : {ui_->watchlistComboBox, ui_->positionsComboBox}) {
        connect(box, &QComboBox::activated, this, [this, box](int index) {
            ui_->applyButton->setEnabled(true);
            if (index < 0 || index >= static_cast<int>(kFontSizeChoices.size()))
                return; // keeps the size it had
            const std::int64_t size = kFontSizeChoices[static_cast<std::size_t>(index)].size;
            (box == ui_->watchlistComboBox ? wlFontSize_ : poFontSize_) = size;
        });
    }
    connect(ui_->applyButton, &QPushButton::clicked, this,
            &FontSizeSettingsWindowController::applyButtonClicked);
    connect(ui_->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

FontSizeSettingsWindowController::~FontSizeSettingsWindowController() = default;

void FontSizeSettingsWindowController::onWindowLoad() {
    ui_->applyButton->setEnabled(false);
    loadData();
}

void FontSizeSettingsWindowController::fillNames() {
    for (QComboBox* box : {ui_->watchlistComboBox, ui_->positionsComboBox}) {
        const int current = box->currentIndex();
        box->clear();
        for (const FontSizeChoice& choice : kFontSizeChoices)
            box->addItem(language_.text(choice.nameKey));
        box->setCurrentIndex(current);
    }
}

void FontSizeSettingsWindowController::loadData() {
    wlFontSize_ = PreferenceManager::getFontSizeInfoForKey(defaults_, kWatchlistFontSizeKey);
    poFontSize_ = PreferenceManager::getFontSizeInfoForKey(defaults_, kPositionsFontSizeKey);
    wlShown_ = wlFontSize_;
    poShown_ = poFontSize_;
    // A size outside the list shows an empty choice.
    const auto show = [](QComboBox* box, std::int64_t size) {
        const auto index = fontSizeChoiceIndex(size);
        box->setCurrentIndex(index ? static_cast<int>(*index) : -1);
    };
    show(ui_->watchlistComboBox, wlFontSize_);
    show(ui_->positionsComboBox, poFontSize_);
}

void FontSizeSettingsWindowController::applyButtonClicked() {
    // A size left as it was is not written: another program on the same home may have changed it.
    if (wlFontSize_ != wlShown_)
        PreferenceManager::saveFontSizeInfo(defaults_, wlFontSize_, kWatchlistFontSizeKey);
    if (poFontSize_ != poShown_)
        PreferenceManager::saveFontSizeInfo(defaults_, poFontSize_, kPositionsFontSizeKey);
    accept();
}

} // namespace tc::gui
