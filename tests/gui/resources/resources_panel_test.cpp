// The resources panel against the in-process test server: the login's resource list in natural order
// without hidden captions, the files its entries name downloaded once, an entry opened in the browser.
#include "gui/app/common_alert.h"
#include "gui/models/session_fixture.h"
#include "gui/resources/resources_view_controller.h"
#include "gui/texts.h"

#include <QListWidget>
#include <QMessageBox>
#include <QScopeGuard>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace {

using tc::gui::ResourcesViewController;

class ResourcesPanelTest : public guitest::SessionTest {
protected:
    void SetUp() override {
        home = std::filesystem::temp_directory_path() / ("tc_resources_panel_" + std::to_string(::getpid()));
        std::filesystem::remove_all(home);
        if (const char* before = std::getenv("XDG_DATA_HOME"))
            savedHome = before;
        ::setenv("XDG_DATA_HOME", home.c_str(), 1);
        SessionTest::SetUp();
        context->setClientModel(session.get());
        QObject::connect(session.get(), &tc::gui::ClientModel::resourceStored,
                         [this](const interfaces::ResourceStored& s) { stored.push_back(s); });
        ASSERT_TRUE(signIn());
        // The login's searches find the server's files.
        ASSERT_TRUE(guitest::waitFor([&] {
            return session->client().dataService().resourceSearchCollection.contains("holidays.ics");
        }));
        panel = std::make_unique<ResourcesViewController>(*context);
        panel->setUrlOpener([this](const QUrl& url) {
            opened.push_back(url.toString());
            return true;
        });
    }
    void TearDown() override {
        panel.reset();
        SessionTest::TearDown();
        if (savedHome.empty())
            ::unsetenv("XDG_DATA_HOME");
        else
            ::setenv("XDG_DATA_HOME", savedHome.c_str(), 1);
        std::filesystem::remove_all(home);
    }

    std::filesystem::path home;
    std::string savedHome;
    std::unique_ptr<ResourcesViewController> panel;
    std::vector<interfaces::ResourceStored> stored;
    std::vector<QString> opened;
};

TEST_F(ResourcesPanelTest, ListsTheServersEntriesDownloadsTheirFilesOnceAndOpensOne) {
    panel->showBelow(nullptr);
    QListWidget* list = panel->resourcesTableView();
    QStringList captions;
    for (int row = 0; row < list->count(); ++row)
        captions << list->item(row)->text();
    // The calendar's key is its file name; "Platform Guide 2" before "Platform Guide 10"; the caption
    // holding "#" is not listed.
    EXPECT_EQ(captions,
              (QStringList{"Economic Calendar", "Platform Guide 2", "Platform Guide 10", "Trading Hours"}));
    EXPECT_FALSE(list->item(0)->icon().isNull());

    // The calendar entry names the server's calendar file: downloaded once, into the data folder.
    EXPECT_EQ(panel->downloadsAsked(), 1u);
    ASSERT_TRUE(guitest::waitFor([&] { return !stored.empty(); }));
    EXPECT_EQ(stored[0].name, "holidays.ics");
    EXPECT_EQ(stored[0].error, "");
    EXPECT_TRUE(std::filesystem::exists(home / "tradeclient" / "Resources" / "holidays.ics"));
    panel->hide();
    panel->showBelow(nullptr);
    EXPECT_EQ(panel->downloadsAsked(), 1u);
    EXPECT_EQ(session->client().resources().requestFileResourceForExtension("holidays"), 0u);

    // A click opens the entry's address; one without a scheme as https.
    const auto click = [&](int row) {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(row)).center());
    };
    click(3);
    click(1);
    EXPECT_EQ(opened, (std::vector<QString>{"https://www.example.invalid/hours",
                                            "http://docs.example.invalid/guide/2"}));
    // Return on the current entry does the same; the open panel holds the focus on its list.
    ASSERT_TRUE(guitest::focusIn(panel.get()));
    ASSERT_EQ(QApplication::focusWidget(), list);
    guitest::pressKey(Qt::Key_Home);
    ASSERT_EQ(list->currentRow(), 0);
    guitest::pressKey(Qt::Key_Return);
    ASSERT_EQ(opened.size(), 3u);
    EXPECT_EQ(opened.back(), "https://calendar.example.invalid/week");
}

TEST_F(ResourcesPanelTest, AnEntryNoBrowserOpensIsSaidWithItsAddress) {
    QWidget owner;
    panel->setParent(&owner, Qt::Popup);
    const auto detach = qScopeGuard([&] { panel->setParent(nullptr); });
    panel->setUrlOpener([](const QUrl&) { return false; });
    panel->showBelow(nullptr);
    EXPECT_FALSE(panel->openResourceURL(3));
    QMessageBox* alert = tc::gui::CommonAlert::showing(&owner, QStringLiteral("resourceNotOpened"));
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->text(), context->text(tc::gui::texts::kLinkCouldNotOpenedWeb));
    EXPECT_EQ(alert->informativeText(), "https://www.example.invalid/hours");
    EXPECT_FALSE(panel->isVisible()); // the popup would take the alert with it
    alert->done(0);
}

} // namespace
