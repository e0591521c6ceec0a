// The main window turns each power and sensor message into the single write of the value it
// names, with the values of Set.ini, and the virtual mouse receives exactly that frame.
#include "MainWindowFixture.h"
#include "common/IniFile.h"
#include "device/DeviceRequest.h"
#include "ui/Messages.h"

namespace zor::app::test {
namespace {

struct Expected {
    unsigned message;
    std::uint8_t command;
    std::uint8_t argument;
    int payload;  // first payload byte; -1: no frame at all
};

TEST_F(MainWindowTest, EachPowerMessageSendsTheWriteOfItsOwnValue) {
    Start();
    IniFile set(folder / "res" / "Set.ini");
    ASSERT_TRUE(set.WriteString("Set", "SleepTime", "3"));  // 180 s
    ASSERT_TRUE(set.WriteString("Set", "ShortPress", "11"));
    ASSERT_TRUE(set.WriteString("Set", "MoveWakeEn", "1"));
    ASSERT_TRUE(set.WriteString("Set", "StraightLineCorrectEn", "1"));
    ASSERT_TRUE(set.WriteString("Set", "LODHeight", "1"));
    ASSERT_TRUE(set.WriteString("Set", "SavePowerSelect", "1"));
    const std::vector<Expected> table = {
        {ui::kMsgSleepTimeChanged, 0x02, kSubSleepTime, 180},
        {ui::kMsgShortPressChanged, 0x0A, 2, 11},
        {ui::kMsgMoveWakeChanged, 0x0A, 6, 1},
        {ui::kMsgSensorSwitchesChanged, 0x02, kSubOptionA, 1},
        {ui::kMsgLiftOffChanged, 0x02, kSubOptionB, 2},  // the virtual mouse has chip 6: 1 -> code 2
        {ui::kMsgPdTimeChanged, 0, 0, -1},
    };
    for (const Expected& e : table) {
        SCOPED_TRACE(e.message);
        Mouse().ClearFrames();
        ui::SendMessageTo(window.get(), e.message, 0, 0);
        ASSERT_TRUE(WaitApply());
        std::vector<Report> frames = Mouse().Frames();
        ASSERT_FALSE(frames.empty());
        EXPECT_EQ(frames.back()[3], 0x02);  // the renewed profile identifier ends the run
        EXPECT_EQ(frames.back()[5], kSubProfileId);
        frames.pop_back();
        if (e.payload < 0) {
            EXPECT_TRUE(frames.empty());
            continue;
        }
        ASSERT_EQ(frames.size(), 1u);  // one write on a cable
        EXPECT_EQ(frames[0][3], e.command);
        EXPECT_EQ(frames[0][5], e.argument);
        EXPECT_EQ(frames[0][9], e.payload);
    }

    // The power-saving switch goes out as bit 6 of the lighting mode byte.
    Mouse().ClearFrames();
    ui::SendMessageTo(window.get(), ui::kMsgSavePowerChanged, 0, 0);
    ASSERT_TRUE(WaitApply());
    ASSERT_GE(Frames(0x09), 1);
    for (const Report& r : Mouse().Frames()) {
        if (r[3] == 0x09 && r[6] == 0 && r[7] == 0) {
            EXPECT_EQ(r[9] & 0x40, 0x40);
        }
    }
}

TEST_F(MainWindowTest, APowerMessageDuringARunIsDropped) {
    Start();
    Mouse().ClearFrames();
    ui::SendMessageTo(window.get(), ui::kMsgSleepTimeChanged, 0, 0);   // starts a run
    ui::SendMessageTo(window.get(), ui::kMsgShortPressChanged, 0, 0);  // arrives while it runs
    ASSERT_TRUE(WaitApply());
    EXPECT_EQ(Frames(0x02, kSubSleepTime), 1);
    EXPECT_EQ(Frames(0x0A), 0);
}

}  // namespace
}  // namespace zor::app::test
