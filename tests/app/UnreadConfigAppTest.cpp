// The main window over a MouseConfig.json it cannot use (random bytes, cut short, a value of the
// wrong type, or no file at all): nothing is written to the mouse, a damaged file is kept as
// .bad, the notice names the file, and each of its two ways on does what it says.
#include <nlohmann/json.hpp>
#include <optional>
#include <random>

#include "MainWindowFixture.h"
#include "common/AtomicFile.h"
#include "common/Colour.h"
#include "common/IniFile.h"
#include "config/MouseConfig.h"
#include "device/CommandFrame.h"
#include "device/KeyCode.h"
#include "support/UserInput.h"
#include "ui/Dialogs.h"

namespace zor::app::test {
namespace {

using nlohmann::json;
using zor::test::ClickControl;
using zor::test::ReadFile;
using zor::test::WriteFile;

class UnreadConfigAppTest : public MainWindowTest {
protected:
    void TearDown() override {
        ui::CMsgWnd::SetModalHook(nullptr);
        MainWindowTest::TearDown();
    }
    std::filesystem::path LiveFile() const { return folder / "res/MouseVarn/MouseA/Config/MouseConfig.json"; }
    std::filesystem::path FactoryFile() const {
        return folder / "res/MouseVarn/MouseA/Config/ResetMouseConfig.json";
    }
    // Every modal box has its text noted and is answered with a click on button (null: its close
    // button), after beforeClick has run.
    void Answer(const char* button, std::function<void()> beforeClick = {}) {
        ui::CMsgWnd::SetModalHook([this, button, beforeClick](ui::CMsgWnd& box) {
            ui::CControlUI* text = box.FindControl(QStringLiteral("MessageText"));
            boxes.push_back(text != nullptr ? text->GetText() : QString());
            if (beforeClick) beforeClick();
            ClickControl(box.FindControl(QLatin1String(button != nullptr ? button : "closebtn")));
        });
    }
    // Frames that wrote something into the mouse (every command without the read bit).
    int WriteFrames() const {
        int n = 0;
        for (const Report& r : window->Stack().Mouse()->Frames())
            if ((r[3] & kReadBit) == 0) ++n;
        return n;
    }
    QString Text(const char* id) const {
        return QString::fromStdString(
            IniFile(folder / "res" / "Language" / "lan_en.ini").GetString("OthersUI", id));
    }
    std::vector<QString> boxes;
};

TEST_F(UnreadConfigAppTest, AnUnusableFileIsKeptNamedAndNothingIsSentUntilTheUserChooses) {
    const std::string valid = ReadFile(LiveFile());
    json wrongType = json::parse(valid);
    wrongType["mouseconfig"]["mouseadv"][0]["firevalue"] = "fast";
    std::string noise(700, '\0');
    std::mt19937 generator(7);
    for (char& c : noise) c = static_cast<char>(generator());
    const struct {
        const char* name;
        std::optional<std::string> bytes;  // none: no file
    } cases[] = {{"random bytes", noise},
                 {"cut short", valid.substr(0, valid.size() / 2)},
                 {"wrong type", wrongType.dump(4)},
                 {"absent", std::nullopt}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        window.reset();
        boxes.clear();
        std::filesystem::remove(BadCopyPath(LiveFile()));
        if (c.bytes)
            WriteFile(LiveFile(), *c.bytes);
        else
            std::filesystem::remove(LiveFile());
        Answer(nullptr);
        Launch();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.empty(); }, 10000)) << "no notice";
        // The mouse was found and read, and the synchronisation that follows sent nothing.
        ASSERT_TRUE(WaitStateRead());
        EXPECT_FALSE(window->ApplyRunning());
        EXPECT_GT(window->Stack().Mouse()->Frames().size(), 0u);
        EXPECT_EQ(WriteFrames(), 0);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_TRUE(boxes[0].contains(QString::fromStdString(LiveFile().string()))) << boxes[0].toStdString();
        if (c.bytes) {
            EXPECT_TRUE(boxes[0].startsWith(Text("ConfigDamaged"))) << boxes[0].toStdString();
            EXPECT_TRUE(boxes[0].contains(Text("ConfigKeptAs") + QStringLiteral(" MouseConfig.json.bad")));
            EXPECT_EQ(ReadFile(BadCopyPath(LiveFile())), *c.bytes);
            EXPECT_EQ(ReadFile(LiveFile()), *c.bytes);
        } else {
            EXPECT_TRUE(boxes[0].startsWith(Text("ConfigMissing"))) << boxes[0].toStdString();
            EXPECT_FALSE(std::filesystem::exists(BadCopyPath(LiveFile())));
            EXPECT_FALSE(std::filesystem::exists(LiveFile()));
        }
        // Apply is refused with the same notice: the defaults in memory are neither sent nor saved.
        ASSERT_TRUE(ClickControl(Find<ui::CControlUI>("btn_Mouse_Apply")));
        ASSERT_TRUE(QTest::qWaitFor([&] { return boxes.size() == 2; }, 5000));
        EXPECT_EQ(boxes[1], boxes[0]);
        EXPECT_FALSE(window->ApplyRunning());
        EXPECT_EQ(WriteFrames(), 0);
        if (c.bytes) {
            EXPECT_EQ(ReadFile(LiveFile()), *c.bytes);
        }
    }
}

TEST_F(UnreadConfigAppTest, RestoringTheFactorySettingsWritesThemAndSendsThem) {
    const std::string factory = ReadFile(FactoryFile());
    const std::string cut = factory.substr(0, 120);
    WriteFile(LiveFile(), cut);
    Answer("confirm_btn");
    Launch();
    ASSERT_TRUE(WaitApply()) << "the factory settings were not sent";
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(ReadFile(BadCopyPath(LiveFile())), cut);

    MouseConfigDocument expected;
    ASSERT_TRUE(expected.LoadFile(FactoryFile()).ok);
    const MouseConfigDocument& document = window->Document();
    EXPECT_TRUE(document.adv == expected.adv);
    EXPECT_TRUE(document.led == expected.led);
    EXPECT_EQ(json::parse(ReadFile(LiveFile())), document.ToJson());

    // The run pushed everything: the mouse holds the profile's new identifier and its gears.
    const VirtualMouseState state = Mouse().State();
    const auto p = static_cast<std::size_t>(document.currentProfile);
    EXPECT_NE(document.ProfileId(document.currentProfile), 0);
    EXPECT_EQ(state.profileIds[p], document.ProfileId(document.currentProfile));
    for (std::size_t g = 0; g < document.adv[p].gears.size(); ++g) {
        EXPECT_EQ(state.dpi[2 + 2 * g] | (state.dpi[3 + 2 * g] << 8), document.adv[p].gears[g].value) << g;
        EXPECT_EQ((state.dpi[0] >> g) & 1, document.adv[p].gears[g].enabled != 0 ? 1 : 0) << g;
    }
}

TEST_F(UnreadConfigAppTest, ReadingTheMouseRebuildsTheDocumentFromItAndSendsNothing) {
    WriteFile(LiveFile(), R"({"mouseconfig": 5})");
    const std::array<std::uint16_t, 4> ids{0x1111, 0x2222, 0x3333, 0x4444};
    const std::array<int, 8> dpi{400, 1600, 3200, 4000, 5000, 6000, 7000, 8000};
    const std::array<std::uint8_t, 4> params{180, 2, 1, 0x05};  // brightness, speed, direction, colours on
    const std::uint32_t colour0 = 0x112233, colour2 = 0xA0B0C0;
    constexpr int kSlot = 2, kMode = 3;  // lighting slot 2 is device mode 3 on this model
    constexpr std::uint8_t kRateCode = 2;
    Answer("cancel_btn", [&] {
        // What the mouse holds when the user asks for it: profile 1, its own identifiers,
        // three gears on with the second current, lighting mode 3 and another report rate.
        VirtualMouseState mouse = Mouse().State();
        mouse.activeProfile = 1;
        mouse.profileIds = ids;
        mouse.dpi.fill(0);
        mouse.dpi[0] = 0x07;
        mouse.dpi[1] = 2;
        for (std::size_t g = 0; g < dpi.size(); ++g) {
            mouse.dpi[2 + 2 * g] = static_cast<std::uint8_t>(dpi[g] & 0xFF);
            mouse.dpi[3 + 2 * g] = static_cast<std::uint8_t>(dpi[g] >> 8);
        }
        mouse.lighting.fill(0);
        mouse.lighting[0] = kMode;
        std::copy(params.begin(), params.end(), mouse.lighting.begin() + 25 * kMode);
        const WireColour wire0 = ColourToWire(colour0), wire2 = ColourToWire(colour2);
        std::copy(wire0.begin(), wire0.end(), mouse.lighting.begin() + 25 * kMode + 4);
        std::copy(wire2.begin(), wire2.end(), mouse.lighting.begin() + 25 * kMode + 4 + 6);
        mouse.reportRate = kRateCode;
        Mouse().SetState(mouse);
    });
    Launch();
    ASSERT_TRUE(WaitApply()) << "the mouse was not read";
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(WriteFrames(), 0);
    EXPECT_EQ(ReadFile(BadCopyPath(LiveFile())), R"({"mouseconfig": 5})");

    const MouseConfigDocument& document = window->Document();
    EXPECT_EQ(window->PagesProfile(), 1);
    EXPECT_EQ(document.currentProfile, 1);
    const doc::MouseAdvSettings& adv = document.adv[1];
    for (std::size_t g = 0; g < dpi.size(); ++g) {
        EXPECT_EQ(adv.gears[g].value, dpi[g]) << g;
        EXPECT_EQ(adv.gears[g].enabled, g < 3 ? 1 : 0) << g;
    }
    EXPECT_EQ(adv.cruseldpi, 1);
    EXPECT_EQ(adv.rateusbvalue, ReportRateIndex(window->Stack().SelectedEntry()->matchedName, kRateCode));
    EXPECT_EQ(document.led[1][0].curselmode, kSlot);
    const doc::LedModeSettings& mode = document.led[1][kSlot];
    EXPECT_EQ(mode.brightnessvalue, params[0]);
    EXPECT_EQ(mode.frequencyvalue, params[1]);
    EXPECT_EQ(mode.directionsel, params[2]);
    ASSERT_EQ(mode.colours.size(), 7u);
    EXPECT_EQ(mode.colours[0], (doc::LedColourSlot{1, colour0}));
    EXPECT_EQ(mode.colours[1].enabled, 0);
    EXPECT_EQ(mode.colours[2], (doc::LedColourSlot{1, colour2}));
    // What the mouse cannot report (the keys) is the factory's.
    MouseConfigDocument factory;
    ASSERT_TRUE(factory.LoadFile(FactoryFile()).ok);
    for (const auto& [slot, key] : factory.keyTables[1])
        EXPECT_EQ(document.keyTables[1].at(slot).code, key.code);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(document.ProfileId(i), ids[static_cast<std::size_t>(i)]);
    EXPECT_EQ(LoadDeviceFeatureIds(), ids);
    EXPECT_EQ(json::parse(ReadFile(LiveFile())), document.ToJson());

    // The mouse and the document are in step: the next synchronisation sends nothing either.
    window->StartRun(RunMode::Synchronise);
    ASSERT_TRUE(WaitApply());
    EXPECT_EQ(WriteFrames(), 0);
    EXPECT_EQ(document.adv[1].gears[1].value, 1600);
}

}  // namespace
}  // namespace zor::app::test
