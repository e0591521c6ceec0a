// A user macro on a mouse key through the running program: Apply records where the macro is
// used in the macro library on disk, a push sends the macro itself, and Reset drops the
// profile's usage entry of the model's description file.
#include <nlohmann/json.hpp>

#include "MainWindowFixture.h"
#include "common/IniFile.h"
#include "common/Text.h"
#include "config/DeviceFeature.h"
#include "device/DeviceRequest.h"
#include "macro/MacroStore.h"
#include "support/MacroTree.h"
#include "support/UserInput.h"
#include "support/Wait.h"

namespace zor::app::test {
namespace {

using nlohmann::json;

constexpr int kSlot = 3;

// Puts the library's first macro on key slot kSlot of key table 0; returns the macro.
const MacroRecord& AssignFirstMacro(CZorMainWnd& window) {
    const MacroGroup& group = window.Macros().groups().at(0);
    const MacroRecord& macro = group.macros.at(0);
    doc::KeyAssignment& key = window.Document().keyTables.at(0)[SlotName(kSlot)];
    key.code = 120;
    key.grpGuid = group.guid;
    key.macGuid = macro.guid;
    return macro;
}

json SavedMacro(const std::filesystem::path& file, const std::string& guid) {
    const json doc = json::parse(zor::test::ReadFile(file));
    for (const json& group : doc.at("MacroGrpInfo"))
        for (const json& macro : group.at("MacroInfo"))
            if (macro.at("MacroGuid") == guid) return macro;
    return {};
}

std::u16string Units(const json& array) {
    std::u16string text;
    for (const json& unit : array) text += static_cast<char16_t>(unit.get<int>());
    return text;
}

TEST_F(MainWindowTest, ApplyListsTheMacrosKeysInTheLibraryAndAPushSendsTheMacro) {
    Start();
    ASSERT_FALSE(window->Macros().groups().empty());
    const MacroRecord& macro = AssignFirstMacro(*window);
    const std::string guid = macro.guid;
    const std::u16string model = Utf8ToUtf16(window->Stack().SelectedEntry()->matchedName);

    EXPECT_TRUE(zor::test::ClickControl(Find<ui::CButtonUI>("btn_Mouse_Apply")));
    ASSERT_TRUE(WaitApply());
    const json saved = SavedMacro(folder / kMacroLivePath, guid);
    ASSERT_FALSE(saved.is_null());
    std::vector<std::string> configs;
    for (const json& info : saved.at("BindKeysInfo"))
        if (Units(info.at("BindDeviceName")) == model)
            for (const json& data : info.at("BindKeysData")) {
                configs.push_back(data.at("Config"));
                EXPECT_FALSE(data.at("KeyName").get<std::string>().empty());
            }
    EXPECT_EQ(configs, std::vector<std::string>{"MouseProfile1"});
    EXPECT_GE(saved.at("BindKeys").get<int>(), 1);

    // The macro's card names the profile as the user knows it, all of it.
    ASSERT_TRUE(zor::test::ClickControl(Find<ui::COptionUI>("btn_Mac")));
    ASSERT_TRUE(zor::test::ClickControl(
        zor::test::MacroTreeNode(Find<ui::CTreeViewUI>("tre_Macro_GroupDisplay"), 0, 0)));
    ui::CControlUI* card = nullptr;
    ZOR_TRY_VERIFY((card = Find<ui::CControlUI>("DeviceConfig")) != nullptr && card->isVisible());
    EXPECT_EQ(card->GetText(), QStringLiteral("Profile 1"));
    const QFont font = window->PaintManager().GetFont(card->GetFont());
    EXPECT_GE(card->width(), QFontMetrics(font).horizontalAdvance(card->GetText()));
    ASSERT_TRUE(zor::test::ClickControl(Find<ui::COptionUI>("btn_Null")));

    // Applying again does not count the same key twice.
    const int bound = saved.at("BindKeys").get<int>();
    EXPECT_TRUE(zor::test::ClickControl(Find<ui::CButtonUI>("btn_Mouse_Apply")));
    ASSERT_TRUE(WaitApply());
    EXPECT_EQ(SavedMacro(folder / kMacroLivePath, guid).at("BindKeys").get<int>(), bound);

    // A full push writes the key as a macro key and the macro's events into its slot.
    Mouse().ClearFrames();
    window->PushWithNewProfileIds();
    ASSERT_TRUE(WaitApply());
    EXPECT_GT(Frames(kOpMacro), 0);
    const VirtualMouseState state = Mouse().State();
    EXPECT_NE(state.keys[kSlot * 4], 0);
    const auto& events = state.macros[kSlot];
    EXPECT_TRUE(std::any_of(events.begin(), events.end(), [](std::uint8_t b) { return b != 0; }));

    // Taking the macro off the key removes the model's entry.
    window->Document().keyTables.at(0)[SlotName(kSlot)] = {};
    window->SaveAndAnnounce();
    // The library is written behind the window's back: once handed over, waited for.
    ZOR_TRY_VERIFY(!window->Macros().Unwritten());
    ASSERT_TRUE(window->Macros().Flush().ok);
    // Kept in a variable: a range-for over a member of the returned temporary reads freed memory.
    const json unbound = SavedMacro(folder / kMacroLivePath, guid);
    ASSERT_TRUE(unbound.contains("BindKeysInfo"));
    for (const json& info : unbound.at("BindKeysInfo")) EXPECT_NE(Units(info.at("BindDeviceName")), model);
}

TEST_F(MainWindowTest, ResetDropsTheProfilesMacroUsageEntryOnly) {
    Start();
    const std::filesystem::path feature = DeviceFeaturePath(window->ModelFolder());
    IniFile ini(feature);
    ASSERT_TRUE(ini.WriteString("MacUsed", "0", "1"));
    ASSERT_TRUE(ini.WriteString("MacUsed", "1", "1"));
    AssignFirstMacro(*window);
    window->SaveAndAnnounce();
    ASSERT_EQ(window->PagesProfile(), 0);

    ui::CControlUI opener;
    ui::TNotifyUI reset;
    reset.sType = QStringLiteral("MyMenuClick");
    reset.pSender = &opener;
    reset.sText = QStringLiteral("Reset");
    window->Notify(reset);
    ASSERT_TRUE(WaitApply());
    EXPECT_EQ(ini.GetString("MacUsed", "0"), "");
    EXPECT_EQ(ini.GetString("MacUsed", "1"), "1");
}

}  // namespace
}  // namespace zor::app::test
