#pragma once
// Shared helpers of the window tests.
#include "gui/app/gui_context.h"
#include "gui/app/qt_shell.h"
#include "platform/log.h"
#include "platform/user_defaults.h"
#include "support/log_capture.h"

#include <QApplication>
#include <QPointer>
#include <QProcess>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace guitest {

// Runs the event loop until `done` (true) or a generous limit (false).
inline bool waitFor(const std::function<bool()>& done, int timeoutMs = 15000) {
    return QTest::qWaitFor(done, timeoutMs);
}

using LogCapture = tc::testing_support::LogCapture;

// The text of a PDF as pdftotext reads it (poppler-utils), in reading order; empty when it cannot.
inline QString pdfText(const QString& path) {
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    if (!pdftotext.waitForFinished(30000) || pdftotext.exitCode() != 0)
        return {};
    return QString::fromUtf8(pdftotext.readAllStandardOutput());
}

// The program's context and shell over settings kept in memory; quitting is counted instead of done.
class ShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        context = std::make_unique<tc::gui::GuiContext>(*defaults);
        shell = std::make_unique<tc::gui::QtShell>(*context);
        shell->setTerminationHandler([this] { ++terminations; });
    }
    void TearDown() override {
        shell.reset();
        context.reset();
        QList<QPointer<QWidget>> windows;
        for (QWidget* w : QApplication::topLevelWidgets())
            windows << w;
        for (const auto& w : windows)
            delete w.data(); // a parent may already have taken its children along
    }

    std::unique_ptr<tc::platform::UserDefaults> defaults = tc::platform::UserDefaults::inMemory();
    std::unique_ptr<tc::gui::GuiContext> context;
    std::unique_ptr<tc::gui::QtShell> shell;
    int terminations = 0;
};

} // namespace guitest
