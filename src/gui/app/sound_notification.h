#pragma once
// Named sounds, shipped as short WAV files in the resources. Silent when the user switched sounds
// off ("SoundKey" YES), for a name the program does not ship, and when there is no audio output.
#include <QObject>
#include <QString>

#include <map>
#include <string_view>

class QSoundEffect;

namespace tc::platform {
class UserDefaults;
}

namespace tc::gui {

class SoundNotification : public QObject {
    Q_OBJECT
public:
    explicit SoundNotification(platform::UserDefaults& defaults, QObject* parent = nullptr);
    ~SoundNotification() override;

    bool isSoundDisabled() const;
    void playSoundNamed(std::string_view name);
    // The resource address of a shipped sound; empty for an unknown name.
    static QString soundUrl(std::string_view name);

Q_SIGNALS:
    // A sound that is to be heard (not muted, shipped); emitted whether or not an output exists.
    void soundRequested(const QString& name);

private:
    platform::UserDefaults& defaults_;
    std::map<QString, QSoundEffect*> effects_;
};

} // namespace tc::gui
