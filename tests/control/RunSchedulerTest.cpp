// The control layer without Qt: the run scheduler over the virtual mouse (one device job at a
// time, requests dropped or kept while the device is busy, the outcome put back into the model),
// the factory reset shared by both programs, and the power options of the settings file in every
// push.
#include <gtest/gtest.h>

#include <map>

#include "common/IniFile.h"
#include "common/ProgramPaths.h"
#include "common/Sleeper.h"
#include "control/DeviceStack.h"
#include "control/ModelSession.h"
#include "control/RunScheduler.h"
#include "device/BleBridge.h"
#include "device/RecordingMessageSink.h"
#include "device/virtual/VirtualMouse.h"
#include "support/TempDir.h"

namespace zor::control::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// The scheduler's events, recorded as messages of these numbers.
constexpr unsigned kRunEnded = 1;
constexpr unsigned kStateReadEnded = 2;

class RecordedEvents final : public ControlEvents {
public:
    explicit RecordedEvents(RecordingMessageSink& sink) : m_sink(sink) {}
    void RunEnded() override { m_sink.post(kRunEnded, 0, 0); }
    void StateReadEnded() override { m_sink.post(kStateReadEnded, 0, 0); }
    void ChargeCounterReadEnded() override {}
    void MacroLibrarySaved() override {}

private:
    RecordingMessageSink& m_sink;
};

constexpr std::uint8_t kCmdProfile = 0x02;
constexpr std::uint8_t kCmdDpi = 0x06;
constexpr std::uint8_t kCmdParams = 0x0A;

class SchedulerTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = dir.path() / "zor";
        fs::create_directories(root);
        fs::copy(zor::test::BuildDir() / "res", root / "res", fs::copy_options::recursive);
        zor::test::WriteFile(paths::SetIni(root),
                             "[Set]\nSleepTime=7\nShortPress=9\nLODHeight=1\n"
                             "StraightLineCorrectEn=1\nRippleCtrlEn=1\nMoveWakeEn=1\n");
        DeviceStackOptions options;
        options.programFolder = root;
        options.virtualMouse = true;
        options.virtualKind = VirtualLinkKind::Cable;
        options.sleeper = &sleeper;
        options.watchHotplug = false;
        stack = std::make_unique<DeviceStack>(options, sink);
        model = std::make_unique<ModelSession>(root);
        scheduler = std::make_unique<RunScheduler>(*stack, *model, events);
        ASSERT_TRUE(stack->LoadAndSelect());
        model->LoadSources();
        ASSERT_TRUE(model->LoadModel(stack->SelectedEntry(), false, [] { return 6; }).load.ok);
        stack->Commands().SetModel(model->Model());
    }
    void TearDown() override {
        scheduler.reset();
        stack->Shutdown();
    }

    VirtualMouse& Mouse() { return *stack->Mouse(); }
    int Frames(std::uint8_t command, int argument = -1) const {
        int n = 0;
        for (const Report& r : stack->Mouse()->Frames())
            if (r[3] == command && (argument < 0 || r[5] == argument)) ++n;
        return n;
    }
    // Waits for the worker's report and collects the run, as the window does on the message.
    RunResult FinishRun() {
        EXPECT_TRUE(sink.WaitForCount(kRunEnded, ++runsEnded, 5s));
        return scheduler->FinishRun();
    }

    zor::test::TempDir dir;
    fs::path root;
    RecordingSleeper sleeper;
    RecordingMessageSink sink;
    RecordedEvents events{sink};
    std::unique_ptr<DeviceStack> stack;
    std::unique_ptr<ModelSession> model;
    std::unique_ptr<RunScheduler> scheduler;
    std::size_t runsEnded = 0;
};

// The two device reads the main window asks for outside a run go through the stack.
TEST_F(SchedulerTest, TheStackReadsTheChargeCounterAndTheBatteryOfABleStatusReply) {
    VirtualMouseState state = Mouse().State();
    state.chargeCounter = 37;
    Mouse().SetState(state);
    EXPECT_EQ(stack->ReadChargeCounter(), 37);
    Mouse().SetReplyMode(ReplyMode::Fail);
    EXPECT_EQ(stack->ReadChargeCounter(), -1);

    const std::string status = "06 00 00 81 05 00 00 00 03 01 B7 0C";
    EXPECT_EQ(stack->BleReplyBattery(kBleEventReplyBase + kOpStatus, status), 0xB7);
    EXPECT_FALSE(stack->BleReplyBattery(kBleEventBattery, status));
    EXPECT_FALSE(stack->BleReplyBattery(kBleEventReplyBase + kOpProfile, "06 00 00 82 05 02 00 00 01 02"));
}

TEST_F(SchedulerTest, AnEditRunSendsItsWriteAndARenewedIdentifierAndTheOutcomeIsKept) {
    Mouse().ClearFrames();
    ASSERT_TRUE(scheduler->RequestApply(ApplyKind::Dpi, false, 0, true));
    EXPECT_TRUE(scheduler->RunInProgress());
    const RunResult result = FinishRun();
    EXPECT_TRUE(result.ran);
    EXPECT_TRUE(result.saved.ok);
    EXPECT_FALSE(scheduler->RunInProgress());
    EXPECT_EQ(Frames(kCmdDpi), 1);         // cable: each write once
    EXPECT_EQ(Frames(kCmdProfile, 1), 1);  // the current profile's new identifier
    const std::uint16_t id = model->doc.ProfileId(0);
    EXPECT_EQ(Mouse().State().profileIds[0], id);  // the mouse and the document agree
    DeviceFeatureRecord feature;
    LoadDeviceFeature(feature, model->ModelFolder(), 6);
    EXPECT_EQ(feature.profileIds[0], id);  // and the description keeps it
}

// A model whose description was refused has no document loaded: a run would push defaults the
// user never set, so none starts.
TEST_F(SchedulerTest, NothingIsPushedForAModelWhoseDescriptionWasRefused) {
    const fs::path description = paths::ModelDescription(model->ModelFolder());
    const std::string good = zor::test::ReadFile(description);
    zor::test::WriteFile(description, "[KEYMAP]\nKeyNum=99999999999\n");
    EXPECT_FALSE(model->LoadModel(stack->SelectedEntry(), false, [] { return 6; }).load.ok);
    EXPECT_EQ(model->Description().fault, DescriptionFault::OutOfRange);
    Mouse().ClearFrames();
    EXPECT_FALSE(scheduler->RequestApply(ApplyKind::Dpi, false, 0, true));
    EXPECT_EQ(scheduler->StartRun(RunMode::Synchronise), RunScheduler::Start::NoModel);
    EXPECT_FALSE(scheduler->RunInProgress());
    EXPECT_TRUE(Mouse().Frames().empty());

    zor::test::WriteFile(description, good);
    ASSERT_TRUE(model->LoadModel(stack->SelectedEntry(), false, [] { return 6; }).load.ok);
    ASSERT_EQ(scheduler->StartRun(RunMode::Synchronise), RunScheduler::Start::Started);
    EXPECT_TRUE(FinishRun().ran);
}

TEST_F(SchedulerTest, RequestsAreDroppedDuringAStateReadOrWithoutADeviceAndRunsWaitForTheRead) {
    scheduler->Flags().profileChanged = true;
    EXPECT_FALSE(scheduler->RequestApply(ApplyKind::Dpi, false, 0, false));  // no device connected
    EXPECT_FALSE(scheduler->Flags().profileChanged);

    ASSERT_EQ(scheduler->StartStateRead({false, true}), RunScheduler::ReadStart::Started);
    EXPECT_FALSE(scheduler->RequestApply(ApplyKind::Dpi, false, 0, true));  // dropped while the read runs
    EXPECT_EQ(scheduler->StartRun(RunMode::Synchronise), RunScheduler::Start::Waiting);
    EXPECT_EQ(scheduler->StartStateRead({true, true}), RunScheduler::ReadStart::Deferred);
    EXPECT_FALSE(scheduler->TakePendingRun());  // the device is still busy

    ASSERT_TRUE(sink.WaitForCount(kStateReadEnded, 1, 5s));
    const StateReadResult read = scheduler->FinishStateRead();
    EXPECT_TRUE(read.read.ok);
    EXPECT_EQ(read.read.battery & 0x7F, 80);
    EXPECT_TRUE(read.synchronise);  // the first answer of a mouse in reach
    EXPECT_EQ(scheduler->TakePendingRun(), std::optional<RunMode>(RunMode::Synchronise));
    const auto deferred = scheduler->TakePendingRead();
    ASSERT_TRUE(deferred);
    EXPECT_EQ(*deferred, (StateReadCause{true, true}));
    EXPECT_FALSE(scheduler->TakePendingRead());  // taken once
}

TEST_F(SchedulerTest, ASecondStartWhileARunIsInProgressOnlyStoresTheMode) {
    ASSERT_EQ(scheduler->StartRun(RunMode::Push), RunScheduler::Start::Started);
    EXPECT_EQ(scheduler->StartRun(RunMode::Synchronise), RunScheduler::Start::AlreadyRunning);
    EXPECT_EQ(scheduler->Mode(), RunMode::Synchronise);
    EXPECT_EQ(scheduler->StartStateRead({}), RunScheduler::ReadStart::Deferred);
    FinishRun();
    EXPECT_FALSE(scheduler->TakePendingRead());  // a plain refresh is not kept
}

TEST_F(SchedulerTest, TheFullPushSendsThePowerOptionsOfTheSettingsFile) {
    Mouse().ClearFrames();
    scheduler->Flags().forcePush = true;
    ASSERT_EQ(scheduler->StartRun(RunMode::Synchronise), RunScheduler::Start::Started);
    FinishRun();
    const VirtualMouseState s = Mouse().State();
    EXPECT_EQ(s.sleepTime, 7 * 60);
    EXPECT_EQ(s.optionA, 1 | 2);  // straight line, ripple (chip 6)
    EXPECT_EQ(s.optionB, 2);      // lift-off index 1 on chip 6
    EXPECT_EQ(s.params[2], 9);    // short press
    EXPECT_EQ(s.params[6], 1);    // motion wake-up
    EXPECT_GT(Frames(kCmdParams, 2), 0);
}

TEST_F(SchedulerTest, AFactoryResetWithADamagedFactoryFileChangesNothing) {
    const fs::path folder = model->ModelFolder();
    const std::string live = zor::test::ReadFile(paths::MouseConfig(folder));
    const std::string set = zor::test::ReadFile(paths::SetIni(root));
    const std::string description = zor::test::ReadFile(paths::ModelDescription(folder));
    zor::test::WriteFile(paths::ResetMouseConfig(folder), "{\"mouseconfig\": {\"mousekey\": ");
    const auto ids = model->doc.ProfileId(0);

    const OperationResult reset = scheduler->FactoryReset();
    EXPECT_FALSE(reset.ok);
    EXPECT_NE(reset.error.find("ResetMouseConfig.json"), std::string::npos) << reset.error;
    EXPECT_EQ(zor::test::ReadFile(paths::MouseConfig(folder)), live);
    EXPECT_EQ(zor::test::ReadFile(paths::SetIni(root)), set);
    EXPECT_EQ(zor::test::ReadFile(paths::ModelDescription(folder)), description);
    EXPECT_EQ(model->doc.ProfileId(0), ids);
    EXPECT_FALSE(scheduler->Flags().forcePush);
}

TEST_F(SchedulerTest, AFactoryResetRestoresTheDocumentAndThePowerOptionsAndPushesEverything) {
    const fs::path folder = model->ModelFolder();
    model->doc.adv[0].gears[0].value = 12345;
    ASSERT_TRUE(model->Save().ok);
    IniFile(paths::ModelDescription(folder)).WriteString("MacUsed", "0", "something");
    zor::test::WriteFile(paths::SetIni(root), "[Set]\nLanguage=4\nPDTime=99\nSleepTime=1\n");

    ASSERT_TRUE(scheduler->FactoryReset().ok);
    EXPECT_TRUE(scheduler->Flags().forcePush);
    const IniFile set(paths::SetIni(root));
    EXPECT_EQ(set.GetInt("Set", "SleepTime"), 5);
    EXPECT_EQ(set.GetInt("Set", "ShortPress"), 8);
    EXPECT_EQ(set.GetInt("Set", "MoveWakeEn"), 1);
    EXPECT_EQ(set.GetInt("Set", "PDTime"), 99);   // not one of the reset values
    EXPECT_EQ(set.GetInt("Set", "Language"), 4);  // other preferences stay
    EXPECT_EQ(IniFile(paths::ModelDescription(folder)).GetString("MacUsed", "0"), "");
    EXPECT_NE(model->doc.adv[0].gears[0].value, 12345);

    Mouse().ClearFrames();
    ASSERT_EQ(scheduler->StartRun(RunMode::Synchronise), RunScheduler::Start::Started);
    const RunResult pushed = FinishRun();
    EXPECT_TRUE(pushed.fullWrite);
    EXPECT_EQ(Mouse().State().sleepTime, 5 * 60);
    EXPECT_EQ(Mouse().State().profileIds[0], model->doc.ProfileId(0));
}

// Every file under the program folder with its bytes.
std::map<fs::path, std::string> Files(const fs::path& root) {
    std::map<fs::path, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file()) files[entry.path()] = zor::test::ReadFile(entry.path());
    return files;
}

TEST_F(SchedulerTest, SavingWritesOnlyADocumentThatWasReadFromItsFile) {
    // An exit during start-up saves before any model is loaded: nothing may be written.
    const auto before = Files(root);
    ModelSession early(root);
    EXPECT_FALSE(early.Save().ok);
    EXPECT_EQ(Files(root), before);

    // A document that could not be read is not replaced by the defaults in memory.
    const fs::path config = paths::MouseConfig(model->ModelFolder());
    const std::string good = zor::test::ReadFile(config);
    zor::test::WriteFile(config, "{\"damaged\": ");
    ModelSession damaged(root);
    damaged.LoadSources();
    damaged.LoadModel(stack->SelectedEntry(), false, [] { return 6; });
    EXPECT_FALSE(damaged.Save().ok);
    EXPECT_EQ(zor::test::ReadFile(config), "{\"damaged\": ");

    // Nor is a file another writer changed since the document was read: the document is read
    // again first, then saved as before.
    const ConfigResult stale = model->Save();
    EXPECT_FALSE(stale.ok);
    EXPECT_TRUE(stale.changedOnDisk);
    EXPECT_EQ(zor::test::ReadFile(config), "{\"damaged\": ");
    zor::test::WriteFile(config, good);
    model->LoadModel(stack->SelectedEntry(), false, [] { return 6; });
    EXPECT_TRUE(model->Save().ok);
    EXPECT_NE(zor::test::ReadFile(config), "{\"damaged\": ");
}

TEST_F(SchedulerTest, ARunOnTheCallingThreadSendsWhatTheWorkerSends) {
    Mouse().ClearFrames();
    EXPECT_TRUE(scheduler->RunNow(RunMode::Push, ApplyKind::Dpi).saved.ok);
    const auto byWorker = Mouse().Frames().size();
    Mouse().ClearFrames();
    ASSERT_TRUE(scheduler->RequestApply(ApplyKind::Dpi, false, 0, true));
    FinishRun();
    EXPECT_EQ(Mouse().Frames().size(), byWorker);
    EXPECT_EQ(Frames(kCmdDpi), 1);
}

TEST_F(SchedulerTest, IdentifiersDrawnWhileARunRenewsItsOwnAreAllValid) {
    // The worker draws the run's new identifier while this thread (as the window does on an
    // import) draws a full push's: the one generator is shared (ThreadSanitizer checks that
    // it is shared safely).
    ASSERT_TRUE(scheduler->RequestApply(ApplyKind::Dpi, false, 0, true));
    int draws = 0;
    do {
        scheduler->PrepareFullPush();
        ++draws;
        for (int p = 0; p < kProfileCount; ++p) ASSERT_NE(model->doc.ProfileId(p), 0);
    } while (sink.MessagesOf(kRunEnded).size() <= runsEnded && draws < 2000);
    const RunResult result = FinishRun();
    EXPECT_TRUE(result.ran);
    EXPECT_NE(model->doc.ProfileId(0), 0);
    EXPECT_EQ(Mouse().State().profileIds[0], model->doc.ProfileId(0));
}

}  // namespace
}  // namespace zor::control::test
