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
