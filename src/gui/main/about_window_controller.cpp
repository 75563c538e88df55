#include "gui/main/about_window_controller.h"

#include "gui/app/gui_context.h"
#include "gui/app/language.h"
#include "gui/texts.h"
#include "model/text/positional_text.h"
#include "platform/bundle.h"
#include "ui_about_window_controller.h"

#include <QApplication>
#include <QIcon>
#include <QLayout>

namespace tc::gui {

AboutWindowController::AboutWindowController(GuiContext& context, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::AboutWindowController>()), language_(context.language()) {
    ui_->setupUi(this);
    // As big as its texts in the language shown, and no smaller: wrapped lines are never cut.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    QFont name = ui_->appNameLabel->font();
    name.setBold(true);
    name.setPointSizeF(name.pointSizeF() * 1.4);
    ui_->appNameLabel->setFont(name);
    ui_->iconLabel->setPixmap(QIcon(QStringLiteral(":/images/AppIcon.svg")).pixmap(64, 64));
    bindLanguage(this, language_, [this] { loadData(); });
}

AboutWindowController::~AboutWindowController() = default;

void AboutWindowController::windowDidAppear() {
    setWindowTitle(QApplication::applicationDisplayName());
    loadData();
}

void AboutWindowController::loadData() {
    ui_->appNameLabel->setText(QApplication::applicationDisplayName());
    ui_->versionLabel->setText(QStringLiteral("%1 %2").arg(
        language_.text(texts::kVersion), QString::fromStdString(platform::Bundle::shortVersionString())));
    const std::string disclaimer =
        language_.text(texts::kTradingForeignExchangeContractsDifference).toStdString();
    ui_->disclaimerLabel->setText(QString::fromStdString(fillPositional(disclaimer, {"\n\n"})));
}

} // namespace tc::gui
