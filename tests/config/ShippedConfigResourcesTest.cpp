// The shipped configuration, catalog and macro files load with the program's own readers and
// agree with each other.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <optional>
#include <thread>
#include <vector>

#include "config/KeyFunctionCatalog.h"
#include "config/MouseConfig.h"
#include "device/MacroStream.h"
#include "macro/MacroStore.h"
#include "support/TempDir.h"

using namespace zor;
using zor::test::ReadFile;
using zor::test::SourceDir;

namespace {

std::filesystem::path Res() {
    return SourceDir() / "res";
}
std::filesystem::path ModelA() {
    return Res() / "MouseVarn" / "MouseA";
}

KeyFunctionCatalog Catalog() {
    KeyFunctionCatalog catalog;
    EXPECT_TRUE(catalog.LoadFile(SourceDir() / kLanguageTextPath));
    return catalog;
}

}  // namespace

TEST(ShippedConfig, BothDocumentsLoadAndSaveBackUnchanged) {
    for (const auto& file : {MouseConfigPath(ModelA()), ResetMouseConfigPath(ModelA())}) {
        MouseConfigDocument doc;
        ConfigResult r = doc.LoadFile(file);
        ASSERT_TRUE(r.ok && r.found) << file << ": " << r.error;
        EXPECT_EQ(doc.ToJson(), nlohmann::json::parse(ReadFile(file))) << file;
        // Three distinct profiles.
        EXPECT_NE(doc.adv[0], doc.adv[1]);
        EXPECT_NE(doc.adv[1], doc.adv[2]);
        EXPECT_NE(doc.keyTables[0], doc.keyTables[2]);
    }
}

TEST(ShippedConfig, EveryAssignedAndDefaultCodeHasItsTexts) {
    KeyFunctionCatalog catalog = Catalog();
    PredefinedMacroLists lists;
    ASSERT_TRUE(lists.Load(SourceDir() / kShortCutMacPath, SourceDir() / kOtherKeyMacPath).ok);
    DeviceFeatureRecord feature;
    ASSERT_TRUE(LoadDeviceFeature(feature, ModelA(), 0));
    MouseConfigDocument doc;
    doc.SetDeviceFacts(feature);
    ASSERT_TRUE(doc.Load(ModelA()).ok);
    for (const auto& table : doc.keyTables) {
        for (const auto& [slot, key] : table) {
            for (int code : {key.code, doc.DefaultCodeOfSlot(SlotNumber(slot))}) {
                if (code >= kMacroFunction) continue;
                EXPECT_TRUE(catalog.Has(code)) << slot << " code " << code;
            }
        }
    }
    // Every predefined function the catalog offers has its macro, with events.
    for (int code = 100; code <= 115; ++code) {
        if (!catalog.Has(code)) continue;
        const MacroRecord* rec = lists.MacroForCode(code);
        ASSERT_NE(rec, nullptr) << code;
        EXPECT_GT(rec->device.num, 0) << code;
    }
}

TEST(ShippedConfig, CatalogCoversEveryCategoryWithReadableLabels) {
    KeyFunctionCatalog catalog = Catalog();
    std::map<KeyCategory, int> perCategory;
    for (int code = 0; code < kMacroFunction; ++code) {
        if (!catalog.Has(code)) continue;
        ++perCategory[KeyFunctionCatalog::Category(code)];
        EXPECT_FALSE(catalog.ListLabel(code).empty()) << code;
        EXPECT_FALSE(catalog.ButtonLabel(code).empty()) << code;
    }
    for (KeyCategory c : {KeyCategory::Mouse, KeyCategory::Shortcut, KeyCategory::Dpi, KeyCategory::Lighting,
                          KeyCategory::Mode, KeyCategory::Media})
        EXPECT_GT(perCategory[c], 0) << CategoryList(c);
}

TEST(ShippedMacros, LibraryAndFactoryCopyLoadAndFitTheDevice) {
    for (const auto& path :
         {std::filesystem::path(kMacroLivePath), std::filesystem::path(kMacroFactoryPath),
          std::filesystem::path(kShortCutMacPath), std::filesystem::path(kOtherKeyMacPath)}) {
        MacroStore store;
        MacroResult r = store.Load(SourceDir() / path);
        ASSERT_TRUE(r.ok) << path << ": " << r.message;
        ASSERT_FALSE(store.groups().empty()) << path;
        std::set<std::string> guids;
        for (const MacroGroup& g : store.groups()) {
            EXPECT_TRUE(guids.insert(g.guid).second) << path;
            for (const MacroRecord& m : g.macros) {
                EXPECT_TRUE(guids.insert(m.guid).second) << path;
                EXPECT_GT(m.device.num, 0);
                EXPECT_LE(EstimateStreamLength(m.device), 500) << path;
                // Presses and releases pair up so that no key stays down after playing.
                int balance = 0;
                for (int i = 0; i < m.device.num; ++i) balance += m.device.macSta[i] == 1 ? 1 : -1;
                EXPECT_EQ(balance, 0) << path;
            }
        }
    }
    EXPECT_EQ(ReadFile(SourceDir() / kMacroLivePath), ReadFile(SourceDir() / kMacroFactoryPath));
}

// Lists named for first use are read then, once, whichever thread asks first, and give what an
// eager load gives; until then the files are not touched.
TEST(ShippedMacros, PredefinedListsReadOnFirstUseMatchAnEagerLoad) {
    test::TempDir dir;
    std::filesystem::copy_file(SourceDir() / kShortCutMacPath, dir / "short.json");
    std::filesystem::copy_file(SourceDir() / kOtherKeyMacPath, dir / "other.json");
    PredefinedMacroLists eager;
    ASSERT_TRUE(eager.Load(dir / "short.json", dir / "other.json").ok);

    PredefinedMacroLists lazy;
    lazy.LoadOnFirstUse(dir / "missing.json", dir / "other.json");
    lazy.LoadOnFirstUse(dir / "short.json", dir / "other.json");  // the last naming counts
    std::filesystem::rename(dir / "other.json", dir / "moved.json");
    EXPECT_EQ(lazy.MacroForCode(101), nullptr);  // read at first use: the other-keys file is gone

    lazy.LoadOnFirstUse(dir / "short.json", dir / "moved.json");
    std::vector<std::thread> askers;
    std::vector<std::optional<MacroDeviceBlock>> got(4);
    for (std::size_t t = 0; t < got.size(); ++t)
        askers.emplace_back([&, t] { got[t] = lazy.PredefinedMacro(static_cast<int>(t)); });
    for (std::thread& asker : askers) asker.join();
    for (int code = 100; code <= 115; ++code) {
        const MacroRecord* a = eager.MacroForCode(code);
        const MacroRecord* b = lazy.MacroForCode(code);
        ASSERT_EQ(a == nullptr, b == nullptr) << code;
        if (a != nullptr) {
            EXPECT_EQ(a->guid, b->guid) << code;
        }
    }
    for (std::size_t t = 0; t < got.size(); ++t) {
        ASSERT_TRUE(got[t].has_value()) << t;
        EXPECT_EQ(got[t]->num, eager.PredefinedMacro(static_cast<int>(t))->num) << t;
    }
}
