#pragma once
// What every window is given: the signed-in session's client model, the language, the theme, the
// sounds, the banners, the window holder and the user defaults. One per program, made on the GUI
// thread after the QApplication and before any window; QtShell, the side the core calls back, works
// over the same services. Windows take the context instead of a set of arguments of their own.
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>
#include <string_view>

namespace tc::platform {
class UserDefaults;
}

namespace tc::gui {

class ClientModel;
class GUIObjects;
class InAppNotificationCenter;
class GridTabKeys;
class LabelLineHeight;
class Language;
class SoundNotification;
class SystemNotifier;
class ThemeManager;

// The program's name: the display name of its windows and the title of its banners.
inline constexpr char kApplicationName[] = "TradeClient";

class GuiContext : public QObject {
    Q_OBJECT
public:
    // Reads the language and the theme, applies the theme (dark on a first start) and stores the
    // default font sizes on a first start.
    explicit GuiContext(platform::UserDefaults& defaults, QObject* parent = nullptr);
    ~GuiContext() override;
    GuiContext(const GuiContext&) = delete;
    GuiContext& operator=(const GuiContext&) = delete;

    platform::UserDefaults& defaults() const { return defaults_; }
    Language& language() const { return *language_; }
    ThemeManager& themes() const { return *themes_; }
    SoundNotification& sounds() const { return *sounds_; }
    InAppNotificationCenter& banners() const { return *banners_; }
    SystemNotifier& systemNotifier() const { return *notifier_; }
    GUIObjects& guiObjects() const { return *guiObjects_; }
    // The selected language's text of a key.
    QString text(std::string_view key) const;
    // What the trader is told about the settings file in the selected language: that it could not be
    // read and where it was kept, or that changes will not be kept and why; empty while all is well.
    QString settingsNotice() const;

    // The session's model: null until a sign-in made one, and again once it is gone. The context
    // does not own it.
    ClientModel* clientModel() const { return clientModel_; }
    void setClientModel(ClientModel* model);

Q_SIGNALS:
    // Another client model (or none) is in force.
    void clientModelChanged(tc::gui::ClientModel* model);
    // A save of the settings failed where the last one had not, or failed otherwise, or succeeded
    // after trouble: settingsNotice() says what holds now.
    void settingsNoticeChanged();

private:
    platform::UserDefaults& defaults_;
    std::unique_ptr<LabelLineHeight> lineHeights_;
    std::unique_ptr<GridTabKeys> gridTabKeys_;
    std::unique_ptr<Language> language_;
    std::unique_ptr<ThemeManager> themes_;
    std::unique_ptr<SoundNotification> sounds_;
    std::unique_ptr<SystemNotifier> notifier_;
    std::unique_ptr<InAppNotificationCenter> banners_;
    std::unique_ptr<GUIObjects> guiObjects_;
    ClientModel* clientModel_ = nullptr;
};

// Registers the program's images, sounds and icon; called once before any window is made.
void initResources();

} // namespace tc::gui
