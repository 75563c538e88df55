#pragma once
// The QApplication of the drawing and window benchmarks, offscreen unless a platform is set. Made
// once and never destroyed: torn down at exit, after Qt's own globals, it would crash.
#include <QApplication>

inline void ensureApplication() {
    static int argc = 1;
    static char name[] = "tradecore_bench";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        new QApplication(argc, argv);
    }
}
