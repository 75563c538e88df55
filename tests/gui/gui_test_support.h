#pragma once
// Shared helpers of the window tests.
#include "gui/app/qt_shell.h"
#include "platform/log.h"
#include "platform/user_defaults.h"
#include "support/log_capture.h"

#include <QApplication>
#include <QPointer>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace guitest {

// Runs the event loop until `done` (true) or a generous limit (false).
inline bool waitFor(const std::function<bool()>& done, int timeoutMs = 5000) {
    return QTest::qWaitFor(done, timeoutMs);
}

using LogCapture = tc::testing_support::LogCapture;

// A shell over settings kept in memory; quitting is counted instead of done.
class ShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        shell = std::make_unique<tc::gui::QtShell>(*defaults);
        shell->setTerminationHandler([this] { ++terminations; });
    }
    void TearDown() override {
        shell.reset();
        QList<QPointer<QWidget>> windows;
        for (QWidget* w : QApplication::topLevelWidgets())
            windows << w;
        for (const auto& w : windows)
            delete w.data(); // a parent may already have taken its children along
    }

    std::unique_ptr<tc::platform::UserDefaults> defaults = tc::platform::UserDefaults::inMemory();
    std::unique_ptr<tc::gui::QtShell> shell;
    int terminations = 0;
};

} // namespace guitest
