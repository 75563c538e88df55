// The window tests' entry point: one QApplication on the offscreen platform, and the GUI thread as
// the platform's main queue, for every test.
#include "gui/app/main_queue_pump.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    gui::MainQueuePump pump;
    return RUN_ALL_TESTS();
}
