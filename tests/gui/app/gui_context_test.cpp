#include "gui/app/gui_context.h"
#include "gui/app/language.h"
#include "gui/gui_test_support.h"
#include "gui/models/client_model.h"
#include "gui/settings/settings_window_controller.h"

#include <QCheckBox>
#include <QSignalSpy>

namespace {

class Context : public guitest::ShellTest {};

TEST_F(Context, AFirstStartStoresItsDefaultsAndAWindowFollowsTheContextsServices) {
    EXPECT_EQ(defaults->integerForKey("WatchlistFontSize"), 12);
    EXPECT_EQ(defaults->integerForKey("PositionsFontSize"), 12);
    EXPECT_EQ(&shell->context(), context.get());

    auto* settings = new tc::gui::SettingsWindowController(*context);
    auto* sounds = settings->findChild<QCheckBox*>("SoundsButton");
    sounds->click();
    EXPECT_TRUE(defaults->boolForKey("SoundKey")); // the context's defaults, not a copy
    const QString english = sounds->text();
    ASSERT_TRUE(context->language().select(7));
    EXPECT_EQ(shell->selectedLanguage(), 7); // the shell answers the core from the same language
    EXPECT_FALSE(sounds->text().isEmpty());
    ASSERT_TRUE(context->language().select(0));
    EXPECT_EQ(sounds->text(), english);
}

TEST_F(Context, TheClientModelIsAnnouncedOncePerChange) {
    EXPECT_EQ(context->clientModel(), nullptr);
    QSignalSpy changed(context.get(), &tc::gui::GuiContext::clientModelChanged);
    tc::gui::ClientModel session([this] {
        interfaces::ClientOptions options;
        options.userDefaults = defaults.get();
        options.watchNetwork = false;
        return interfaces::MakeClient(*shell, options);
    });
    context->setClientModel(&session);
    context->setClientModel(&session);
    EXPECT_EQ(context->clientModel(), &session);
    context->setClientModel(nullptr);
    ASSERT_EQ(changed.count(), 2);
    EXPECT_EQ(context->clientModel(), nullptr);
}

} // namespace
