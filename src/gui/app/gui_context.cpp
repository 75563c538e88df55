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
#include "gui/texts.h"
#include "platform/user_defaults.h"

#include <QApplication>
#include <QIcon>
#include <QStringList>

static void initTradeclientResources() {
    Q_INIT_RESOURCE(tradeclient);
}

namespace tc::gui {
namespace {

using platform::SettingsTrouble;

QString pathText(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

// Why: the sentence after the headline; empty for a file whose content is at fault.
QString reasonText(const GuiContext& context, const SettingsTrouble& trouble) {
    switch (trouble.cause) {
    case SettingsTrouble::Cause::Damaged:
        return {};
    case SettingsTrouble::Cause::ReadOnly:
        return context.text(texts::kSettingsFolderReadOnly)
            .replace(QStringLiteral("{0}"), pathText(trouble.where));
    case SettingsTrouble::Cause::DiskFull:
        return context.text(texts::kSettingsDiskFull);
    case SettingsTrouble::Cause::NotAFolder:
        return context.text(texts::kSettingsNotAFolder)
            .replace(QStringLiteral("{0}"), pathText(trouble.where));
    case SettingsTrouble::Cause::NoPermission:
        return context.text(texts::kSettingsNoPermission)
            .replace(QStringLiteral("{0}"), pathText(trouble.where));
    case SettingsTrouble::Cause::Locked:
    case SettingsTrouble::Cause::Other:
        break;
    }
    return context.text(texts::kSettingsSystemReports)
        .replace(QStringLiteral("{0}"), QString::fromStdString(trouble.detail));
}

} // namespace

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
    notifier_ = std::make_unique<SystemNotifier>(*language_);
    banners_ = std::make_unique<InAppNotificationCenter>(*language_, *sounds_);
    guiObjects_ = std::make_unique<GUIObjects>(*this);

    // A save may fail, or succeed again, on any thread; the windows hear of it on this one.
    defaults_.setTroubleHandler([this](const std::optional<SettingsTrouble>&) {
        QMetaObject::invokeMethod(
            this, [this] { Q_EMIT settingsNoticeChanged(); }, Qt::QueuedConnection);
    });
    themes_->applyStoredTheme();
    PreferenceManager::setDefaultFontSize(defaults_);
}

GuiContext::~GuiContext() {
    defaults_.setTroubleHandler({});
}

QString GuiContext::settingsNotice() const {
    QStringList sentences;
    const auto loaded = defaults_.loadTrouble();
    if (loaded) {
        switch (loaded->kind) {
        case SettingsTrouble::Kind::SetAside:
            sentences
                << text(texts::kSettingsSetAside).replace(QStringLiteral("{0}"), pathText(loaded->where));
            break;
        case SettingsTrouble::Kind::NotSetAside:
            sentences << text(texts::kSettingsUnreadableNotKept)
                             .replace(QStringLiteral("{0}"), pathText(loaded->file))
                      << reasonText(*this, *loaded);
            break;
        case SettingsTrouble::Kind::CannotOpen:
            sentences
                << text(texts::kSettingsCannotOpen).replace(QStringLiteral("{0}"), pathText(loaded->file))
                << reasonText(*this, *loaded);
            break;
        case SettingsTrouble::Kind::NotSaved:
            break;
        }
    }
    // A file left alone at load already says that changes are not kept.
    if (const auto unsaved = defaults_.trouble();
        unsaved && (!loaded || loaded->kind == SettingsTrouble::Kind::SetAside)) {
        // Changes that wait for another program's lock are saved once it lets go.
        if (unsaved->cause == SettingsTrouble::Cause::Locked)
            sentences << text(texts::kSettingsWaitingForLock)
                             .replace(QStringLiteral("{0}"), pathText(unsaved->where));
        else
            sentences << text(texts::kSettingsNotKept) << reasonText(*this, *unsaved);
    }
    sentences.removeAll(QString());
    return sentences.join(QLatin1Char(' '));
}

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
