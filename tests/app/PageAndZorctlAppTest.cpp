// One change made on a page of the running program and the same change made with zorctl on a copy
// of the same program folder: both go through one operation of the control layer, so they leave
// the same files and put the same frames on the virtual mouse.
#include <QLineEdit>
#include <QTest>
#include <sstream>

#include "MainWindowFixture.h"
#include "PickerAnswer.h"
#include "common/IniFile.h"
#include "device/DeviceRequest.h"
#include "device/Transport.h"
#include "settings/PowerOptions.h"
#include "support/UserInput.h"

namespace zor::app::test {
namespace {

using zor::test::ClickControl;
using zor::test::ReadFile;

const char* kConfig = "res/MouseVarn/MouseA/Config/MouseConfig.json";

// A frame as the trace shows it ("> " and the bytes), with what differs by design between two
// runs masked: the sequence byte, and the identifiers of the identifier write (drawn at random).
std::string Normalised(const std::string& line) {
    std::istringstream in(line.substr(2));
    std::vector<std::string> bytes;
    for (std::string byte; in >> byte;) bytes.push_back(byte);
    if (bytes.size() > 4) bytes[4] = "..";
    char subId[3];
    std::snprintf(subId, sizeof subId, "%02x", kSubProfileId);
    if (bytes.size() > 9 && bytes[3] == "02" && bytes[5] == subId)
        for (std::size_t i = 9; i < bytes.size(); ++i) bytes[i] = "..";
    std::string out = ">";
    for (const std::string& byte : bytes) out += " " + byte;
    return out;
}

class PageAndZorctlTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        IniFile(folder / "res/Set.ini").WriteString("Set", "PDTime", "30");
        twin = dir.path() / "twin";
        std::filesystem::create_directories(twin);
        std::filesystem::copy(folder / "res", twin / "res", std::filesystem::copy_options::recursive);
    }

    // zorctl --virtual --trace ARGS on the twin folder: the frames it sent after the read of the
    // mouse's identity, which the window made at its start.
    std::vector<std::string> Zorctl(const std::string& args) {
        const auto err = dir.path() / "zorctl.err";
        const int status = zor::test::RunShell("timeout -s KILL 60 '" + std::string(ZORCTL_PATH) +
                                               "' --home '" + twin.string() + "' --virtual --trace " + args +
                                               " >/dev/null 2>'" + err.string() + "'");
        EXPECT_EQ(status, 0) << args << "\n" << ReadFile(err);
        std::vector<std::string> frames;
        std::istringstream lines(ReadFile(err));
        for (std::string line; std::getline(lines, line);)
            if (line.rfind("> ", 0) == 0) frames.push_back(Normalised(line));
        // The read of the mouse's status (command 0x80 | op 1) comes first.
        while (!frames.empty() && frames.front().rfind("> 06 00 00 81 ", 0) == 0)
            frames.erase(frames.begin());
        return frames;
    }
    std::vector<std::string> PageFrames() {
        std::vector<std::string> frames;
        for (const Report& r : Mouse().Frames())
            frames.push_back(Normalised(TraceLine(TraceDirection::Sent, r)));
        return frames;
    }
    void ShowPage(const char* navigation, const char* page) {
        ASSERT_TRUE(ClickControl(Find<ui::COptionUI>(navigation)));
        ASSERT_TRUE(QTest::qWaitFor([&] {
            auto* control = Find<ui::CControlUI>(page);
            return control != nullptr && control->isVisible();
        }));
    }

    std::filesystem::path twin;
};

TEST_F(PageAndZorctlTest, ADpiGearALightingColourAndAPowerOptionLeaveTheSameFilesAndFrames) {
    zor::test::WriteFile(folder / "res/MouseVarn/MouseA/Config/PopColor.ini", "[Default]\n0=65408\n1=255\n");
    Start();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));

    // A DPI value typed into the current gear's box.
    const int gear = window->Document().adv[0].cruseldpi;
    const int before = window->Document().adv[0].gears[static_cast<std::size_t>(gear)].value;
    const auto& labels = window->Dpi().Table().Labels();
    const int value =
        std::prev(labels.end())->first == before ? labels.begin()->first : std::prev(labels.end())->first;
    Mouse().ClearFrames();
    auto* edit = Find<ui::CEditUI>(QStringLiteral("MouseAdv_Edit%1").arg(gear).toLatin1().constData());
    edit->SetText(QString::number(value));
    QTest::keyClick(edit->LineEdit(), Qt::Key_Return);
    ASSERT_TRUE(WaitApply());
    ASSERT_EQ(window->Document().adv[0].gears[static_cast<std::size_t>(gear)].value, value);
    EXPECT_EQ(
        Zorctl("set dpi --profile 0 --gear " + std::to_string(gear) + " --value " + std::to_string(value)),
        PageFrames());
    EXPECT_EQ(ReadFile(twin / kConfig), ReadFile(folder / kConfig));

    // A colour of the lighting mode, chosen in the picker.
    ShowPage("opt_nav_light", "btn_MouseLed_LedMode");
    const int mode = window->Light().CurrentMode();
    Mouse().ClearFrames();
    {
        PickerAnswer answer("def_color0", "popok");
        ClickControl(Find<ui::CControlUI>("btn_MouseLed_ColVal0"));
        ASSERT_TRUE(answer.answered);
    }
    ASSERT_TRUE(WaitApply());
    ASSERT_EQ(window->Document().led[0][static_cast<std::size_t>(mode)].colours[0].colour, 0x00FF80u);
    EXPECT_EQ(Zorctl("set lighting --profile 0 " + std::to_string(mode) + " --colour 0=00FF80"),
              PageFrames());
    EXPECT_EQ(ReadFile(twin / kConfig), ReadFile(folder / kConfig));

    // A sleep time typed into its box.
    ShowPage("opt_nav_power", "page_power");
    Mouse().ClearFrames();
    auto* sleep = Find<ui::CEditUI>("Edit_Sleep_Time");
    sleep->SetText(QStringLiteral("7"));
    QTest::keyClick(sleep->LineEdit(), Qt::Key_Return);
    ASSERT_TRUE(WaitApply());
    EXPECT_EQ(Zorctl("set power SleepTime=7"), PageFrames());
    const PowerValues page = PowerOptions(folder / "res/Set.ini").Load();
    EXPECT_EQ(page.Get(PowerKey::SleepTime), 7);
    EXPECT_EQ(PowerOptions(twin / "res/Set.ini").Load(), page);
    EXPECT_EQ(ReadFile(twin / kConfig), ReadFile(folder / kConfig));
}

}  // namespace
}  // namespace zor::app::test
