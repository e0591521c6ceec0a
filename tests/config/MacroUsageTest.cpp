#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "config/KeyFunctionCatalog.h"
#include "config/MouseConfig.h"
#include "macro/MacVkAndText.h"
#include "macro/MacroUsage.h"
#include "support/TempDir.h"

using namespace zor;
using nlohmann::json;
using zor::test::ReadFile;
using zor::test::TempDir;
using zor::test::WriteFile;

namespace {

json Macro(const std::string& guid) {
    return {
        {"MacroName", {77}}, {"MacroGuid", guid}, {"macData", MacroStore::MacDataToJson(MacroDeviceBlock{})}};
}

}  // namespace

TEST(MacroUsage, RebuildListsTheModelsKeysAndRecountsOnEverySave) {
    TempDir dir;
    json other = {{"BindDeviceName", {79}},
                  {"BindKeysData", {{{"KeyName", "Left"}, {"Config", "MouseProfile1"}}}}};
    json m1 = Macro("M1");
    m1["BindKeys"] = 9;
    m1["BindKeysInfo"] = {
        other,
        {{"BindDeviceName", {65}}, {"BindKeysData", {{{"KeyName", "Old"}, {"Config", "MouseProfile3"}}}}}};
    WriteFile(
        dir / "m.json",
        json{{"MacroGrpInfo", {{{"GrpName", {71}}, {"GrpGuid", "G"}, {"MacroInfo", {m1, Macro("M2")}}}}}}
            .dump());
    MacroStore store;
    ASSERT_TRUE(store.Load(dir / "m.json").ok);

    KeyFunctionCatalog catalog;
    catalog.Load(
        {{"MouseFunctionText", {{"2", {"", "Middle Click", "", "Middle"}}, {"3", {"", "", "", "Right"}}}}});
    MacVkAndText keys{nullptr};
    MouseConfigDocument doc;
    doc.keyTables.assign(kKeyTables, {});
    auto bind = [&](int table, int slot, int code, int defaultCode, const std::string& mac) {
        doc::KeyAssignment& k = doc.keyTables[table][SlotName(slot)];
        k = {defaultCode, code, "", mac, "G"};
    };
    bind(0, 1, 120, 3, "M1");
    bind(2, 2, 120, 2, "M1");
    bind(1, 4, 3, 3, "M1");    // ids left behind by a BLE write: not a use
    bind(3, 5, 121, 2, "M9");  // no such macro

    for (int save = 0; save < 3; ++save) RebuildMacroUsage(store, u"A", doc.MacroUses(catalog, keys));
    const MacroRecord& rec = store.groups()[0].macros[0];
    ASSERT_EQ(rec.bindings.size(), 2u);
    const auto& mine = rec.bindings.at(u"A");
    ASSERT_EQ(mine.size(), 2u);
    EXPECT_EQ(mine[0].config, "MouseProfile1");
    EXPECT_EQ(mine[0].keyName, "Right");
    EXPECT_EQ(mine[1].config, "MouseProfile3");
    EXPECT_EQ(mine[1].keyName, "Middle");
    EXPECT_EQ(rec.bindings.at(u"O").size(), 1u);  // other models keep theirs
    EXPECT_EQ(rec.bindCount, 3u);
    EXPECT_TRUE(store.groups()[0].macros[1].bindings.empty());

    // Unbinding every key of this model removes its entry.
    doc.keyTables.assign(kKeyTables, {});
    RebuildMacroUsage(store, u"A", doc.MacroUses(catalog, keys));
    EXPECT_EQ(rec.bindings.count(u"A"), 0u);
    EXPECT_EQ(rec.bindCount, 1u);
    ASSERT_TRUE(store.SaveAll().ok);
    json saved = json::parse(ReadFile(dir / "m.json"))["MacroGrpInfo"][0]["MacroInfo"][0];
    EXPECT_EQ(saved["BindKeys"], 1);
    EXPECT_EQ(saved["BindKeysInfo"].size(), 1u);
}
