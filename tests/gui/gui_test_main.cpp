// The window tests run real widgets: one QApplication for the whole binary, offscreen unless a
// platform is chosen, with the GUI thread as the platform's main queue.
#include "gui/app/main_queue_pump.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    tc::gui::MainQueuePump pump;
    return RUN_ALL_TESTS();
}
