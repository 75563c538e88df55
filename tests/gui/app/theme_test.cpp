#include "gui/app/gui_objects.h"
#include "gui/app/in_app_notification_center.h"
#include "gui/app/language.h"
#include "gui/app/theme_manager.h"
#include "gui/app/theme_table.h"
#include "gui/gui_test_support.h"
#include "gui/settings/settings_window_controller.h"

#include "gui/screens/layout_check.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QImage>
#include <QPushButton>
#include <QSignalSpy>

namespace {

// Counts the repaints of a window.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* w) { w->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override {
        paints += e->type() == QEvent::Paint;
        return false;
    }
    int paints = 0;
};

QColor windowColour(int theme) {
    const tc::gui::Rgba c = tc::gui::colourOf(theme, tc::gui::ThemeRole::Window);
    return QColor(c.r, c.g, c.b);
}

class Themes : public guitest::ShellTest {};

TEST_F(Themes, AFirstStartIsDarkAndASwitchRepaintsEveryOpenWindow) {
    EXPECT_EQ(defaults->integerForKey("Theme"), 0);
    EXPECT_TRUE(defaults->objectForKey("Theme"));

    auto* settings = new tc::gui::SettingsWindowController(*context);
    settings->show();
    context->guiObjects().showAbout(nullptr);
    QWidget* about = context->guiObjects().aboutWindowController();
    QWidget* banner = context->banners().deliverNotification(interfaces::InAppNotification{});
    QList<QWidget*> windows{settings, about, banner};
    std::vector<std::unique_ptr<PaintCounter>> counters;
    for (QWidget* w : windows) {
        ASSERT_TRUE(guitest::waitForExposed(w));
        EXPECT_EQ(w->palette().color(QPalette::Window), windowColour(0));
        counters.push_back(std::make_unique<PaintCounter>(w));
    }
    QSignalSpy changed(&context->themes(), &tc::gui::ThemeManager::themeChanged);

    settings->findChild<QCheckBox*>("themeButton")->click(); // off: light
    EXPECT_EQ(defaults->integerForKey("Theme"), 1);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.front().front().toLongLong(), 1);
    for (int i = 0; i < windows.size(); ++i) {
        EXPECT_EQ(windows[i]->palette().color(QPalette::Window), windowColour(1)) << i;
        EXPECT_TRUE(guitest::waitFor([&] { return counters[i]->paints > 0; })) << i;
    }
}

TEST_F(Themes, AnUnknownStoredThemeLeavesTheLookAsItIs) {
    const QColor before = QApplication::palette().color(QPalette::Window);
    context->themes().saveTheme(2);
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), before);
}

// A button's icon stands before its text as the window reads, the pair centred: at the text's left
// in English, at its right in Arabic.
TEST_F(Themes, AButtonsIconAndTextAreMirroredTogether) {
    QPixmap square(16, 16);
    square.fill(Qt::magenta);
    QPushButton button(QIcon(square), QStringLiteral("\u0648\u0636\u0639 \u0623\u0645\u0631"));
    QPalette blue = button.palette();
    blue.setColor(QPalette::ButtonText, Qt::blue);
    button.setPalette(blue);
    button.resize(300, 32);
    for (const std::int64_t language : {0, 5}) { // English, Arabic
        ASSERT_TRUE(context->language().select(language));
        const QImage shot = button.grab().toImage();
        const auto icon =
            guitest::columnsWhere(shot, [](const QColor& c) { return c.red() > 200 && c.green() < 60; });
        const auto text =
            guitest::columnsWhere(shot, [](const QColor& c) { return c.blue() > c.red() + 80; });
        ASSERT_TRUE(icon.first < icon.second && text.first < text.second) << language;
        EXPECT_EQ(icon.first > text.second, language == 5) << language;
        EXPECT_NEAR(std::min(icon.first, text.first) + std::max(icon.second, text.second), button.width() - 1,
                    8)
            << language;
    }
    ASSERT_TRUE(context->language().select(0));
}

TEST_F(Themes, AButtonWithTextKeepsTheStylesMarginBesideIt) {
    QWidget window;
    auto* layout = new QHBoxLayout(&window);
    for (const char* text : {"Close #300001 (Sell 1.5 EURUSD @ Market Rate)", "डेमो खाता खोल्नुहोस्",
                             "⁦<< ⁨عمق السوق والرسم البياني⁩⁩", "OK"}) {
        auto* button = new QPushButton(QString::fromUtf8(text), &window);
        button->setDefault(std::string_view(text) == "OK");
        layout->addWidget(button);
    }
    window.show();
    window.resize(window.sizeHint());
    tc::gui::settleLayout();
    QStringList faults;
    for (const tc::gui::LayoutFault& fault : tc::gui::layoutFaults(&window))
        faults << fault.widget + QStringLiteral(": ") + fault.detail;
    EXPECT_EQ(faults.join(QLatin1Char('\n')).toStdString(), "");
}

} // namespace
