#pragma once
// What the page test programs share: the QApplication on the offscreen platform, a sheet that
// records the messages a page sends it, and waiting on the event loop.

#include "ui/CPropertyPageBase.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

namespace orv::page_test {

// The application lives from the first test that needs it until Google Test's tear-down, before
// the exit handlers run: torn down there, the offscreen platform's input devices crash.
inline std::unique_ptr<QApplication>& TheApp()
{
    static std::unique_ptr<QApplication> app;
    return app;
}

class AppEnvironment final : public ::testing::Environment
{
public:
    void TearDown() override { TheApp().reset(); }
};

[[maybe_unused]] inline ::testing::Environment* const kAppEnvironment =
    ::testing::AddGlobalTestEnvironment(new AppEnvironment);

inline QApplication& App()
{
    static int argc = 1;
    static char name[] = "page_test";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    if (!TheApp()) {
        TheApp() = std::make_unique<QApplication>(argc, argv);
    }
    return *TheApp();
}

class RecordingSheet final : public SheetLink
{
public:
    void SendToSheet(uint32_t message, uint64_t, int64_t) override { messages.push_back(message); }
    void SendCommandToSheet(int) override {}
    std::vector<uint32_t> messages;
};

// Runs the event loop until `done` holds or a minute has gone; false in the second case.
template <typename Done>
bool ProcessEventsUntil(Done done)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// Runs the event loop for `span`.
inline void ProcessEventsFor(std::chrono::milliseconds span)
{
    const auto until = std::chrono::steady_clock::now() + span;
    ProcessEventsUntil([until] { return std::chrono::steady_clock::now() >= until; });
}

}  // namespace orv::page_test
