// The main window over the virtual mouse in a private copy of the program folder, with the
// protocol's pauses recorded instead of waited for. Start() returns once the first
// synchronisation with the mouse has finished.
#pragma once

#include <gtest/gtest.h>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <memory>

#include "app/ZorMainWnd.h"
#include "common/Sleeper.h"
#include "support/TempDir.h"
#include "ui/Controls.h"

namespace zor::app::test {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // The Set.ini the window reads at start.
    void WriteSetIni(int closeOption, int remind, int autoOpen = 0, int autoHide = 0);
    void Start(VirtualLinkKind kind = VirtualLinkKind::Cable, const QString& commandLine = {});
    // Creates the window as Start does, without waiting for anything.
    void Launch(VirtualLinkKind kind = VirtualLinkKind::Cable, const QString& commandLine = {});

    VirtualMouse& Mouse() { return *window->Stack().Mouse(); }
    template <typename T>
    T* Find(const char* name) {
        return window->Find<T>(QLatin1String(name));
    }
    // Frames the mouse received with this command (and argument, when given).
    int Frames(std::uint8_t command, int argument = -1) const;
    bool WaitApply(int timeoutMs = 10000);
    bool WaitStateRead(int timeoutMs = 10000);
    // RANDOM/Profile0..3 of the model's description file.
    std::array<std::uint16_t, 4> LoadDeviceFeatureIds() const;

    zor::test::TempDir dir;
    std::filesystem::path folder;
    RecordingSleeper sleeper;
    std::unique_ptr<CZorMainWnd> window;
    std::unique_ptr<QSignalSpy> applied;
    std::unique_ptr<QSignalSpy> stateRead;
    qsizetype appliesSeen = 0;  // runs and reads already returned by WaitApply / WaitStateRead
    qsizetype readsSeen = 0;
    int quits = 0;
    int bleRetryMs = 10000;      // the window's pause before a failed BLE attempt is tried again
    int batteryTimerMs = 20000;  // how often the window reads the battery again
    std::function<bool(const QUrl&)> openUrl;  // web addresses the window opens
    bool assumeTray = true;                    // the desktop has a notification area
};

}  // namespace zor::app::test
