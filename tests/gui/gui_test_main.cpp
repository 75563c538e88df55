// The window tests run real widgets: one QApplication for the whole binary, offscreen unless a
// platform is chosen, with the GUI thread as the platform's main queue.
#include "gui/app/main_queue_pump.h"

#include <QApplication>
#include <QStyle>

#include <gtest/gtest.h>

namespace {

// Each test starts in the look the binary started with. The program's context applies its theme
// (style, palette, style sheet) and a language its direction to the whole application; left so, a
// test run after it in the same process was judged in that look, which ctest, running each test on
// its own, never shows.
class KeepApplicationLook : public ::testing::EmptyTestEventListener {
public:
    KeepApplicationLook()
        : style_(QApplication::style()), styleName_(style_->name()), palette_(QApplication::palette()),
          font_(QApplication::font()), direction_(QGuiApplication::layoutDirection()) {}

    void OnTestEnd(const ::testing::TestInfo&) override {
        if (!qApp->styleSheet().isEmpty())
            qApp->setStyleSheet(QString());
        if (QApplication::style() != style_) {
            QApplication::setStyle(styleName_);
            style_ = QApplication::style();
        }
        if (QApplication::palette() != palette_)
            QApplication::setPalette(palette_);
        if (QApplication::font() != font_)
            QApplication::setFont(font_);
        QGuiApplication::setLayoutDirection(direction_);
    }

private:
    const QStyle* style_;
    QString styleName_;
    QPalette palette_;
    QFont font_;
    Qt::LayoutDirection direction_;
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new KeepApplicationLook);
    tc::gui::MainQueuePump pump;
    return RUN_ALL_TESTS();
}
