#include "gui/app/sound_notification.h"

#include "interfaces/application_interface.h"
#include "platform/user_defaults.h"

#include <QAudioDevice>
#include <QFile>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

namespace tc::gui {

SoundNotification::SoundNotification(platform::UserDefaults& defaults, QObject* parent)
    : QObject(parent), defaults_(defaults) {}

SoundNotification::~SoundNotification() = default;

bool SoundNotification::isSoundDisabled() const {
    return defaults_.boolForKey(interfaces::kSoundKey);
}

QString SoundNotification::soundUrl(std::string_view name) {
    if (name.empty() || name.find_first_of("/\\.") != std::string_view::npos)
        return {};
    const QString path =
        QStringLiteral(":/sounds/%1.wav").arg(QString::fromUtf8(name.data(), qsizetype(name.size())));
    return QFile::exists(path) ? QStringLiteral("qrc") + path : QString();
}

void SoundNotification::playSoundNamed(std::string_view name) {
    if (isSoundDisabled())
        return;
    const QString url = soundUrl(name);
    if (url.isEmpty())
        return;
    const QString key = QString::fromUtf8(name.data(), qsizetype(name.size()));
    Q_EMIT soundRequested(key);
    if (QMediaDevices::defaultAudioOutput().isNull())
        return;
    QSoundEffect*& effect = effects_[key];
    if (!effect) {
        effect = new QSoundEffect(this);
        effect->setSource(QUrl(url));
    }
    effect->play();
}

} // namespace tc::gui
