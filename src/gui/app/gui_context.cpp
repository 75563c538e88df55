#include "gui/app/gui_context.h"

#include "gui/app/font_sizes.h"
#include "gui/app/grid_tab_keys.h"
#include "gui/app/gui_objects.h"
#include "gui/app/in_app_notification_center.h"
#include "gui/app/label_line_height.h"
#include "gui/app/language.h"
#include "gui/app/sound_notification.h"
#include "gui/app/system_notifier.h"
#include "gui/app/theme_manager.h"

#include <QApplication>
#include <QIcon>

static void initTradeclientResources() {
    Q_INIT_RESOURCE(tradeclient);
}

namespace tc::gui {

void initResources() {
    static const bool once = (initTradeclientResources(), true);
    (void)once;
}

GuiContext::GuiContext(platform::UserDefaults& defaults, QObject* parent)
    : QObject(parent), defaults_(defaults) {
    initResources();
    QGuiApplication::setApplicationDisplayName(QString::fromLatin1(kApplicationName));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/images/AppIcon.svg")));

    lineHeights_ = std::make_unique<LabelLineHeight>();
    gridTabKeys_ = std::make_unique<GridTabKeys>();
    language_ = std::make_unique<Language>(defaults_);
    themes_ = std::make_unique<ThemeManager>(defaults_);
    sounds_ = std::make_unique<SoundNotification>(defaults_);
    notifier_ = std::make_unique<SystemNotifier>();
    banners_ = std::make_unique<InAppNotificationCenter>(*language_, *sounds_);
    guiObjects_ = std::make_unique<GUIObjects>(*this);

    themes_->applyStoredTheme();
    PreferenceManager::setDefaultFontSize(defaults_);
}

GuiContext::~GuiContext() = default;

QString GuiContext::text(std::string_view key) const {
    return language_->text(key);
}

void GuiContext::setClientModel(ClientModel* model) {
    if (model == clientModel_)
        return;
    clientModel_ = model;
    Q_EMIT clientModelChanged(model);
}

} // namespace tc::gui
