#include "MainWindowFixture.h"

#include "config/DeviceFeature.h"
#include "ui/Messages.h"
#include "ui/PaintManager.h"
#include "ui/WindowImplBase.h"

namespace zor::app::test {

void MainWindowTest::SetUp() {
    folder = dir.path() / "zor";
    std::filesystem::create_directories(folder);
    const auto build = zor::test::BuildDir();
    for (const char* part : {"res", "res_black", "res_white"})
        std::filesystem::copy(build / part, folder / part, std::filesystem::copy_options::recursive);
    WriteSetIni(0, 0);
    const QString home = QString::fromStdString(folder.string()) + '/';
    ui::CPaintManagerUI::SetInstancePath(home);
    ui::CPaintManagerUI::SetResourcePath(home + QStringLiteral("res_black/"));
    ui::SetResourcePrefix(QStringLiteral("./res_black"));
    ui::SetQuitHandler([this](int) { ++quits; });
}

void MainWindowTest::TearDown() {
    window.reset();
    ui::SetQuitHandler(nullptr);
}

void MainWindowTest::WriteSetIni(int closeOption, int remind, int autoOpen, int autoHide) {
    zor::test::WriteFile(folder / "res" / "Set.ini",
                         "[Set]\nLanguage=1\nDpiPopEn=0\nAutomaticallyOpenEn=" + std::to_string(autoOpen) +
                             "\nAutomaticallyHideEn=" + std::to_string(autoHide) +
                             "\n[CloseConfig]\nCloseOption=" + std::to_string(closeOption) +
                             "\nRemind=" + std::to_string(remind) + "\n");
}

void MainWindowTest::Start(VirtualLinkKind kind, const QString& commandLine) {
    Launch(kind, commandLine);
    ASSERT_TRUE(WaitApply()) << "the first synchronisation did not finish";
    readsSeen = stateRead->count();  // reads of the start-up are not what a test waits for
}

void MainWindowTest::Launch(VirtualLinkKind kind, const QString& commandLine) {
    AppContext context;
    context.programFolder = folder;
    context.instanceName = QStringLiteral("ZorMouseTest");
    context.commandLine = commandLine;
    context.virtualMouse = true;
    context.virtualKind = kind;
    context.sleeper = &sleeper;
    context.hotplugSettleMs = 0;
    context.assumeTray = assumeTray;
    context.bleRetryMs = bleRetryMs;
    context.batteryTimerMs = batteryTimerMs;
    context.openUrl = openUrl;
    context.autostartFolder = dir.path() / "autostart";
    window = std::make_unique<CZorMainWnd>(context);
    applied = std::make_unique<QSignalSpy>(window.get(), &CZorMainWnd::applyFinished);
    stateRead = std::make_unique<QSignalSpy>(window.get(), &CZorMainWnd::deviceStateRead);
    appliesSeen = 0;
    readsSeen = 0;
    window->Create(nullptr, context.instanceName, ui::kWsDialog | ui::kWsMinimizeBox, 0,
                   QRect(0, 0, 990, 690));
}

int MainWindowTest::Frames(std::uint8_t command, int argument) const {
    int n = 0;
    for (const Report& r : window->Stack().Mouse()->Frames())
        if (r[3] == command && (argument < 0 || r[5] == argument)) ++n;
    return n;
}

bool MainWindowTest::WaitApply(int timeoutMs) {
    // A run can finish while the click that started it is still being delivered, so a run
    // counts as awaited when it ended after the previous wait, not only after this call.
    const bool ended = applied->count() > appliesSeen ||
                       QTest::qWaitFor([&] { return applied->count() > appliesSeen; }, timeoutMs);
    appliesSeen = applied->count();
    return ended;
}

std::array<std::uint16_t, 4> MainWindowTest::LoadDeviceFeatureIds() const {
    DeviceFeatureRecord record;
    LoadDeviceFeature(record, window->ModelFolder(), 6);
    return record.profileIds;
}

bool MainWindowTest::WaitStateRead(int timeoutMs) {
    const bool ended = stateRead->count() > readsSeen ||
                       QTest::qWaitFor([&] { return stateRead->count() > readsSeen; }, timeoutMs);
    readsSeen = stateRead->count();
    return ended;
}

}  // namespace zor::app::test
