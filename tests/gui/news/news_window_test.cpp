// The news view against the in-process test server's news desk over HTTPS, its test certificate
// pinned: a category's items, a quick change of category, a feed that is no feed, links opened or
// said not to open.
#include "gui/app/common_alert.h"
#include "gui/app/in_app_notification_center.h"
#include "gui/app/language.h"
#include "gui/models/session_fixture.h"
#include "gui/news/news_table_controller.h"
#include "gui/texts.h"
#include "platform/bundle.h"

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QTableView>

namespace texts = tc::gui::texts;

namespace {

using tc::gui::NewsTableController;

class NewsWindowTest : public guitest::SessionTest {
protected:
    void serverOptions(testserver::ServerOptions& options) override {
        options.newsPort = options.newsHttpPort = 0;
    }
    void SetUp() override {
        SessionTest::SetUp();
        const auto certificate = tc::platform::Bundle::pathForResource("news-simulation", "pem");
        ASSERT_TRUE(certificate);
        context->setClientModel(session.get());
        source = {"https", "127.0.0.1", ports.news, certificate->string()};
        session->client().news().setSource(source);
        ASSERT_TRUE(signIn());
        // The sign-in's notices banner comes first: the offscreen platform activates every window it
        // shows, the banner too (under X it shows without activating), and one coming after the view
        // took its focus away from the keys.
        ASSERT_TRUE(guitest::waitFor([&] {
            for (auto* banner : context->banners().banners())
                if (banner->notification().subtitle == "Notices" &&
                    banner->phase() != tc::gui::InAppNotificationBannerController::Phase::Prepared)
                    return true;
            return false;
        }));
        view = std::make_unique<NewsTableController>(*context);
        view->setUrlOpener([this](const QUrl& url) {
            opened.push_back(url.toString());
            return true;
        });
        QObject::connect(view.get(), &NewsTableController::newsShown,
                         [this] { shown.push_back(view->shownCategory()); });
        tester = std::make_unique<QAbstractItemModelTester>(
            view->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    }
    void TearDown() override {
        server->newsDesk()->release();
        tester.reset();
        view.reset();
        SessionTest::TearDown();
    }
    QString cell(int row, int column) const { return view->model()->index(row, column).data().toString(); }

    interfaces::NewsSource source;
    std::unique_ptr<NewsTableController> view;
    std::unique_ptr<QAbstractItemModelTester> tester;
    std::vector<QString> opened;
    std::vector<QString> shown;
};

TEST_F(NewsWindowTest, ShowingItLoadsTheFirstCategoryOverHttpsAndADoubleClickOpensTheLink) {
    EXPECT_EQ(view->categoryPopUp()->count(), 16);
    EXPECT_EQ(view->categoryPopUp()->itemText(0), "BreakingNews");
    EXPECT_EQ(view->model()->rowCount(), 0); // nothing is read before the view is looked at
    view->resize(900, 500);
    view->show();
    ASSERT_TRUE(guitest::waitFor([&] { return !shown.empty(); }));
    EXPECT_EQ(shown, std::vector<QString>{"BreakingNews"});
    EXPECT_FALSE(view->errorLabel()->isVisible());
    ASSERT_EQ(view->model()->rowCount(), 24);
    EXPECT_EQ(cell(0, 0), "BreakingNews desk: central banks & rates hold steady");
    EXPECT_EQ(cell(1, 0), "Dollar slips as BreakingNews traders weigh \"soft landing\" talk");
    EXPECT_EQ(cell(0, 1), "Mon, 07 Dec 2026 17:00:00 GMT");
    EXPECT_EQ(view->model()->headerData(0, Qt::Horizontal).toString(), context->text(texts::kSubject));
    EXPECT_EQ(view->model()->headerData(1, Qt::Horizontal).toString(), context->text(texts::kTimeColumn));
    EXPECT_NE(context->text(texts::kSubject), texts::kSubject);
    EXPECT_EQ(server->newsDesk()->answered("BreakingNews"), 1u);

    QTableView* table = view->newsTableView();
    ASSERT_TRUE(guitest::waitForExposed(view.get()));
    const QRect second = table->visualRect(view->model()->index(1, 0));
    ASSERT_TRUE(second.isValid());
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, second.center());
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, second.center());
    EXPECT_EQ(opened, std::vector<QString>{"https://news.example.invalid/BreakingNews/2?src=rss&lang=en"});

    // Keyboard: the chooser's next category, then Return on an item.
    ASSERT_TRUE(guitest::focusIn(view.get())) << "the window's opening focus";
    ASSERT_TRUE(guitest::tabTo(view->categoryPopUp()));
    guitest::pressKey(Qt::Key_Down);
    ASSERT_TRUE(guitest::waitFor([&] { return shown.size() == 2; }));
    EXPECT_EQ(shown.back(), "Business");
    EXPECT_EQ(cell(0, 0), "Business desk: central banks & rates hold steady");
    ASSERT_TRUE(
        guitest::clickInto(table->viewport(), table->visualRect(view->model()->index(0, 0)).center()));
    ASSERT_EQ(table->currentIndex().row(), 0);
    guitest::pressKey(Qt::Key_Return);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened.back(), "https://news.example.invalid/Business/1?src=rss&lang=en");
}

TEST_F(NewsWindowTest, SwitchingCategoriesQuicklyShowsOnlyTheLast) {
    server->newsDesk()->hold("BreakingNews");
    server->newsDesk()->hold("Business");
    view->show();
    // Each load is under way at the server when the next category is chosen.
    ASSERT_TRUE(guitest::waitFor([&] { return server->newsDesk()->asked("BreakingNews") == 1; }));
    ASSERT_TRUE(guitest::focusIn(view.get())) << "the window's opening focus";
    ASSERT_TRUE(guitest::tabTo(view->categoryPopUp()));
    guitest::pressKey(Qt::Key_Down);
    ASSERT_TRUE(guitest::waitFor([&] { return server->newsDesk()->asked("Business") == 1; }));
    guitest::pressKey(Qt::Key_Down);
    ASSERT_TRUE(guitest::waitFor([&] { return !shown.empty(); }));
    EXPECT_EQ(shown, std::vector<QString>{"Commodities"});
    EXPECT_EQ(cell(0, 0), "Commodities desk: central banks & rates hold steady");
    // The held replies go out late; the view keeps the category chosen.
    server->newsDesk()->release();
    ASSERT_TRUE(guitest::waitFor([&] {
        return server->newsDesk()->answered("BreakingNews") == 1 &&
               server->newsDesk()->answered("Business") == 1;
    }));
    ASSERT_TRUE(view->LoadNews("Sports"));
    ASSERT_TRUE(guitest::waitFor([&] { return shown.size() == 2; }));
    EXPECT_EQ(shown, (std::vector<QString>{"Commodities", "Sports"}));
    EXPECT_EQ(view->categoryPopUp()->currentText(), "Sports");
    EXPECT_EQ(cell(0, 0), "Sports desk: central banks & rates hold steady");
}

TEST_F(NewsWindowTest, AFeedThatIsNoFeedShowsWhyAndOnlyHttpLinksOpen) {
    server->newsDesk()->setReply("Health", "Service temporarily unavailable");
    server->newsDesk()->setReply(
        "Science", "<rss><channel><item><title>Script</title><link>javascript:alert(1)</link></item>"
                   "<item><title>Local</title><link>file:///etc/passwd</link></item></channel></rss>");
    view->show();
    ASSERT_TRUE(guitest::waitFor([&] { return shown.size() == 1; }));
    ASSERT_TRUE(view->LoadNews("Health"));
    ASSERT_TRUE(guitest::waitFor([&] { return shown.size() == 2; }));
    EXPECT_TRUE(view->errorLabel()->isVisible());
    EXPECT_TRUE(view->errorLabel()->text().startsWith("The news could not be loaded: "))
        << view->errorLabel()->text().toStdString();
    EXPECT_EQ(view->model()->rowCount(), 0);

    // While the next category is read the error is gone and the line says it loads.
    server->newsDesk()->hold("Science");
    ASSERT_TRUE(view->LoadNews("Science"));
    EXPECT_TRUE(view->errorLabel()->isVisible());
    EXPECT_EQ(view->errorLabel()->text(), context->text(texts::kLoadingTheNews));
    server->newsDesk()->release();
    ASSERT_TRUE(guitest::waitFor([&] { return shown.size() == 3; }));
    EXPECT_FALSE(view->errorLabel()->isVisible());
    ASSERT_EQ(view->model()->rowCount(), 2);
    EXPECT_FALSE(view->openItem(0));
    EXPECT_FALSE(view->openItem(1));
    EXPECT_TRUE(opened.empty());
    EXPECT_TRUE(tc::gui::CommonAlert::showing(view.get(), QStringLiteral("newsLink"))); // said, not opened
    EXPECT_FALSE(view->LoadNews("NoSuchCategory"));
}

TEST_F(NewsWindowTest, ALinkNoBrowserTakesIsSaidInTheChosenLanguage) {
    view->setUrlOpener([this](const QUrl& url) {
        opened.push_back(url.toString());
        return false;
    });
    ASSERT_TRUE(context->language().select(7)); // French
    view->show();
    ASSERT_TRUE(guitest::waitFor([&] { return shown.size() == 1; }));
    ASSERT_GT(view->model()->rowCount(), 0);
    EXPECT_FALSE(view->openItem(0));
    ASSERT_EQ(opened.size(), 1u);
    QMessageBox* alert = tc::gui::CommonAlert::showing(view.get(), QStringLiteral("newsLink"));
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->text(), context->text(texts::kLinkCouldNotOpenedWeb));
    EXPECT_NE(alert->text(), tc::gui::lookupText(0, texts::kLinkCouldNotOpenedWeb));
    EXPECT_EQ(alert->informativeText(), opened.front());
    ASSERT_TRUE(context->language().select(0));
}

TEST_F(NewsWindowTest, ASecondSignInReadsTheChosenCategoryAgainFromItsNewClient) {
    view->show();
    ASSERT_TRUE(guitest::waitFor([&] { return shown.size() == 1; }));
    ASSERT_TRUE(view->LoadNews("Forex"));
    ASSERT_TRUE(guitest::waitFor([&] { return shown.size() == 2; }));
    // Every new client reads this server's desk, as the first one does; a new client is made for the
    // second sign-in.
    QObject::connect(session.get(), &tc::gui::ClientModel::clientReplaced,
                     [this] { session->client().news().setSource(source); });
    ASSERT_TRUE(session->signIn(loginOf()));
    ASSERT_TRUE(guitest::waitFor([&] { return signalledState == interfaces::LoginState::SignedIn; }));
    ASSERT_TRUE(guitest::waitFor([&] { return shown.size() == 3; }));
    EXPECT_EQ(shown.back(), "Forex");
    EXPECT_EQ(view->categoryPopUp()->currentText(), "Forex");
    EXPECT_EQ(server->newsDesk()->answered("Forex"), 2u);
    EXPECT_FALSE(view->errorLabel()->isVisible());
    EXPECT_EQ(cell(0, 0), "Forex desk: central banks & rates hold steady");
}

} // namespace
