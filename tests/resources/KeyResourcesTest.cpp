// The key page's resources agree with the key function catalog and with each other: every built-in
// function is an item of its category's popup list in both skins, every item names a function of
// the catalog by the list's naming rule, the wheel list is the wheel's functions, and the model's
// position files place controls that both skins declare, with pictures both skins have.
#include <gtest/gtest.h>

#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>

#include "config/KeyFunctionCatalog.h"
#include "settings/KeyAssign.h"
#include "support/TempDir.h"

using namespace zor;
namespace fs = std::filesystem;
using zor::test::ReadFile;
using zor::test::SourceDir;

namespace {

constexpr const char* kSkins[] = {"res_black", "res_white"};

// List name -> item names, from the popup skin (items carry their list as their option group).
std::map<std::string, std::vector<std::string>> PopupItems(const std::string& skin) {
    const std::string xml = ReadFile(SourceDir() / "res" / skin / "PopMouseKeySel.xml");
    std::map<std::string, std::vector<std::string>> lists;
    const std::regex item(R"re(<Option name="(ItemValue[^"]*)" group="([^"]*)")re");
    for (auto it = std::sregex_iterator(xml.begin(), xml.end(), item); it != std::sregex_iterator(); ++it)
        lists[(*it)[2]].push_back((*it)[1]);
    return lists;
}

std::set<std::string> ControlNames(const fs::path& file) {
    const std::string xml = ReadFile(file);
    std::set<std::string> names;
    const std::regex name(R"re(\sname="([^"]+)")re");
    for (auto it = std::sregex_iterator(xml.begin(), xml.end(), name); it != std::sregex_iterator(); ++it)
        names.insert((*it)[1]);
    return names;
}

KeyCategory CategoryOfList(const std::string& list) {
    for (KeyCategory c : {KeyCategory::Mouse, KeyCategory::Shortcut, KeyCategory::Dpi, KeyCategory::Lighting,
                          KeyCategory::Mode, KeyCategory::Media, KeyCategory::Wheel})
        if (CategoryList(c) == list) return c;
    ADD_FAILURE() << "unknown list " << list;
    return KeyCategory::Macro;
}

}  // namespace

TEST(KeyResources, EveryCatalogFunctionIsAnItemOfItsCategoryListInBothSkins) {
    KeyFunctionCatalog catalog;
    ASSERT_TRUE(catalog.LoadFile(SourceDir() / kLanguageTextPath));
    ASSERT_GT(catalog.size(), 40u);
    for (const char* skin : kSkins) {
        const auto lists = PopupItems(skin);
        ASSERT_EQ(lists.size(), 7u) << skin;
        std::map<std::string, std::set<int>> codes;
        for (const auto& [list, items] : lists) {
            const KeyCategory category = CategoryOfList(list);
            for (const std::string& item : items) {
                const int code = KeyFunctionCatalog::CodeOfListItem(item, category);
                EXPECT_TRUE(catalog.Has(code)) << skin << ": " << item << " names no function";
                EXPECT_TRUE(codes[list].insert(code).second) << skin << ": " << item << " twice in " << list;
                if (category != KeyCategory::Wheel) {
                    EXPECT_EQ(KeyFunctionCatalog::Category(code), category)
                        << skin << ": " << item << " in " << list;
                }
            }
        }
        for (int code : catalog.Codes()) {
            if (code >= kMacroFunction) continue;
            const std::string list(CategoryList(KeyFunctionCatalog::Category(code)));
            EXPECT_TRUE(codes[list].count(code))
                << skin << ": function " << code << " is missing from " << list;
        }
        const std::set<int> wheel(std::begin(kWheelFunctions), std::end(kWheelFunctions));
        EXPECT_EQ(codes["list_ScrollKey_Base"], wheel) << skin;
        EXPECT_TRUE(std::count(lists.at("list_MouseKey_Mouse").begin(), lists.at("list_MouseKey_Mouse").end(),
                               "ItemValue10_ReportRate"))
            << skin;
    }
}

TEST(KeyResources, BothSkinsDeclareTheSameKeyPageAndPopupControls) {
    for (const char* file : {"page_keys.xml", "PopMouseKeySel.xml"}) {
        const auto black = ControlNames(SourceDir() / "res" / "res_black" / file);
        const auto white = ControlNames(SourceDir() / "res" / "res_white" / file);
        EXPECT_EQ(black, white) << file;
    }
    const auto popup = ControlNames(SourceDir() / "res" / "res_black" / "PopMouseKeySel.xml");
    for (const char* name :
         {"PopMouseKeySel", "MouseKey_switch", "opt_MouseKey_Mouse", "opt_MouseKey_ShortCut",
          "opt_KBSet_Macro", "opt_MouseKey_Media", "opt_MouseKey_DPI", "opt_MouseKey_Mode",
          "opt_MouseKey_Led", "opt_ScrollKey_Base", "btn_MouseKey_MacroGroupVal", "macrogrp_list_layout",
          "btn_MouseKey_MacroVal", "macro_list_layout", "SetRecordKey", "BtnRecordConfirm", "PopSoftKB",
          "btn_MouseKey_Apply", "btn_MouseKey_Cancel"})
        EXPECT_TRUE(popup.count(name)) << name;
}

TEST(KeyResources, PositionFilesPlaceDeclaredControlsWithPicturesOfBothSkins) {
    const fs::path model = SourceDir() / "res" / "MouseVarn" / "MouseA";
    const auto page = ControlNames(SourceDir() / "res" / "res_black" / "page_keys.xml");
    for (const char* file : {"mousekey.json", "mousekey2.json"}) {
        const auto doc = nlohmann::json::parse(ReadFile(model / "Position" / file));
        const auto& info = doc.at("Containerinfo");
        EXPECT_TRUE(page.count(info.at("containname").get<std::string>())) << file;
        for (const char* picture : {"bkimage", "normalimage", "overimage", "downimage"})
            for (const char* skin : kSkins)
                EXPECT_TRUE(fs::exists(SourceDir() / "res" / skin / info.at(picture).get<std::string>()))
                    << file << " " << picture << " in " << skin;
        const int width = info.at("width").get<int>(), height = info.at("height").get<int>();
        std::set<int> slots;
        for (const auto& entry : doc.at("Controlinfo")) {
            const std::string name = entry.at("ctrlname").get<std::string>();
            EXPECT_TRUE(page.count(name)) << file << ": " << name;
            const auto pos = entry.at("pos");
            EXPECT_TRUE(pos[0] >= 0 && pos[1] >= 0 && pos[2] <= width && pos[3] <= height &&
                        pos[0] < pos[2] && pos[1] < pos[3])
                << file << ": " << name;
            if (name.find("_Click") != std::string::npos) slots.insert(SlotOfKeyControl(name));
        }
        // Every key of the model (KeyNum=8) has its control.
        EXPECT_EQ(slots, (std::set<int>{0, 1, 2, 3, 4, 5, 6, 7})) << file;
    }
}
