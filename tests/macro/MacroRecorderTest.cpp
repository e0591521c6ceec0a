#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "macro/MacVkAndText.h"
#include "macro/MacroRecorder.h"
#include "support/TempDir.h"

using namespace zor;
using nlohmann::json;
using namespace std::chrono;
using zor::test::ReadFile;
using zor::test::TempDir;
using zor::test::WriteFile;

namespace {

constexpr std::uint32_t kA = 30;
constexpr std::uint32_t kB = 48;

struct RecorderFixture : ::testing::Test {
    TempDir dir;
    MacroStore store;
    MacVkAndText keys{KeyboardLayout::FromNames({"", "", "us", "", ""})};
    // Noon of some day, UTC; tests move it forward.
    system_clock::time_point now = system_clock::time_point(milliseconds(20000LL * 86400000 + 43200000));
    MacroRecorder recorder{store, keys, [this] { return now; }};

    RecorderFixture() {
        MacroDeviceBlock old;
        old.num = 3;
        old.macVal = {};
        old.macVal[0] = 9;
        old.rptType = 0xF0;
        json m = {{"MacroName", {65}}, {"MacroGuid", "M"}, {"macData", MacroStore::MacDataToJson(old)}};
        WriteFile(dir / "macro.json",
                  json{{"MacroGrpInfo", {{{"GrpName", {71}}, {"GrpGuid", "G"}, {"MacroInfo", {m}}}}}}.dump());
        EXPECT_TRUE(store.Load(dir / "macro.json").ok);
    }
    RecordResult Key(std::uint32_t scan, std::uint32_t message, int afterMs = 0) {
        now += milliseconds(afterMs);
        return recorder.RecordKey(scan, message);
    }
    const MacroDeviceBlock& Block() { return store.working().device; }
};

}  // namespace

TEST_F(RecorderFixture, PressAndReleaseCarryTheGapAndTheTrailingDelay) {
    ASSERT_TRUE(recorder.Start(0, 0, 2));
    EXPECT_EQ(Block().num, 0);  // the previous events are gone
    EXPECT_FALSE(store.InsertEvent(0, 0, 0, {kMacStatePress, 5, 0, 0, 10}).ok);  // not while recording
    RecordResult r = Key(kA, kMsgKeyDown, 5);
    EXPECT_EQ(r.kind, RecordKind::Added);
    EXPECT_EQ(r.text, u"A");
    EXPECT_EQ(Block().macDly[0], 20u);
    r = Key(kA, kMsgKeyUp, 150);
    EXPECT_EQ(r.kind, RecordKind::Added);
    const MacroDeviceBlock& b = Block();
    EXPECT_EQ(b.num, 2);
    EXPECT_EQ(b.macVal[0], 4);
    EXPECT_EQ(b.macSta[0], kMacStatePress);
    EXPECT_EQ(b.macDly[0], 150u);
    EXPECT_EQ(b.macVal[1], 4);
    EXPECT_EQ(b.macSta[1], kMacStateRelease);
    EXPECT_EQ(b.macDly[1], 20u);
    EXPECT_EQ(b.macVal[2], 0);
}

TEST_F(RecorderFixture, RepeatsAndStrayReleasesAreIgnored) {
    ASSERT_TRUE(recorder.Start(0, 0, 2));
    EXPECT_EQ(Key(kA, kMsgKeyDown).kind, RecordKind::Added);
    EXPECT_EQ(Key(kA, kMsgKeyDown, 30).kind, RecordKind::Error);  // auto-repeat
    EXPECT_EQ(Key(kA, kMsgKeyDown, 30).kind, RecordKind::Error);
    EXPECT_EQ(Key(kB, kMsgKeyUp).kind, RecordKind::Error);  // never pressed
    EXPECT_EQ(Key(kA, 0x200).kind, RecordKind::Error);      // not a key message
    EXPECT_EQ(Key(kA, kMsgKeyUp, 10).kind, RecordKind::Added);
    EXPECT_EQ(recorder.recorded(), 2);
    // The time of ignored events does not count: 70 ms from the press to the release.
    EXPECT_EQ(Block().macDly[0], 70u);
}

TEST_F(RecorderFixture, LongGapsAreCappedAndMidnightIsCrossed) {
    ASSERT_TRUE(recorder.Start(0, 0, 2));
    Key(kA, kMsgKeyDown);
    Key(kA, kMsgKeyUp, 60000);
    EXPECT_EQ(Block().macDly[0], 50000u);
    // 300 ms before midnight to 200 ms after it.
    const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count();
    now = system_clock::time_point(milliseconds(ms - ms % 86400000 + 86400000 - 300));
    Key(kB, kMsgKeyDown);
    Key(kB, kMsgKeyUp, 500);
    EXPECT_EQ(Block().macDly[2], 500u);
    // A clock set back by an hour is a wrap too, and still capped.
    Key(kA, kMsgSysKeyDown);
    now -= hours(1);
    Key(kA, kMsgSysKeyUp);
    EXPECT_EQ(Block().macDly[4], 50000u);
}

TEST_F(RecorderFixture, HeldListStopsAtNineKeys) {
    ASSERT_TRUE(recorder.Start(0, 0, 2));
    for (std::uint32_t k = 0; k < 9; ++k) EXPECT_EQ(Key(16 + k, kMsgKeyDown, 10).kind, RecordKind::Added);
    EXPECT_EQ(recorder.held().size(), 9u);
    EXPECT_EQ(Key(30, kMsgKeyDown, 10).kind, RecordKind::Error);
    EXPECT_EQ(recorder.held().size(), 9u);
    EXPECT_EQ(Key(30, kMsgKeyUp, 10).kind, RecordKind::Error);  // its release has no press
    EXPECT_EQ(Key(16, kMsgKeyUp, 10).kind, RecordKind::Added);
    EXPECT_EQ(recorder.held().size(), 8u);
    EXPECT_EQ(recorder.held().front(), 17u);
}

TEST_F(RecorderFixture, RightShiftWithoutExtendedFlagRecordsNoUsageAndAltGrOnlyRightAlt) {
    ASSERT_TRUE(recorder.Start(0, 0, 2));
    RecordResult r = Key(54, kMsgKeyDown);
    EXPECT_EQ(r.kind, RecordKind::Added);
    EXPECT_EQ(Block().macVal[0], 255);
    EXPECT_EQ(Key(kSyntheticAltGrControl, kMsgSysKeyDown, 5).kind, RecordKind::Error);
    EXPECT_EQ(Key(0xE038, kMsgSysKeyDown).kind, RecordKind::Added);
    EXPECT_EQ(Block().macVal[1], 230);
    EXPECT_EQ(Block().num, 2);
}

TEST_F(RecorderFixture, FullStreamSaysOverAndKeepsTheEvent) {
    ASSERT_TRUE(recorder.Start(0, 0, 2));
    RecordResult r;
    int added = 0;
    // Alternating keys with long gaps: 6 bytes per event.
    for (int i = 0; i < 200; ++i) {
        r = Key(i % 2 ? kA : kB, i % 4 < 2 ? kMsgKeyDown : kMsgKeyUp, 1000);
        if (r.kind != RecordKind::Added) break;
        ++added;
    }
    EXPECT_EQ(r.kind, RecordKind::Over);
    EXPECT_EQ(recorder.recorded(), added + 1);
    EXPECT_GT(added, 60);
}

TEST_F(RecorderFixture, StopStoresTheEventsAndTheLoopModeOfTheKeptOption) {
    for (int position : {0, 1, 2, -1}) {
        ASSERT_TRUE(recorder.Start(0, 0, position));
        Key(kA, kMsgKeyDown, 10);
        Key(kA, kMsgKeyUp, 10);
        store.working().device.numXY = 5;
        MacroRecorder::StopOutcome out = recorder.Stop();
        EXPECT_TRUE(out.saved.ok);
        EXPECT_FALSE(out.bound);
        const MacroDeviceBlock& stored = store.groups()[0].macros[0].device;
        EXPECT_EQ(stored.num, 2);
        EXPECT_EQ(stored.numXY, 0);
        EXPECT_EQ(stored.macRpt, 1);
        EXPECT_EQ(stored.rptType, position == 0 ? 1 : position == 1 ? 2 : 0) << position;
        json saved = json::parse(ReadFile(dir / "macro.json"))["MacroGrpInfo"][0]["MacroInfo"][0]["macData"];
        EXPECT_EQ(saved["num"], 2);
        EXPECT_EQ(saved["macVal"][1], 4);
    }
    EXPECT_FALSE(recorder.recording());
    EXPECT_FALSE(store.busy());
    EXPECT_EQ(recorder.RecordKey(kB, kMsgKeyDown).kind, RecordKind::Error);
    EXPECT_FALSE(recorder.Start(0, 3, 0));
}
