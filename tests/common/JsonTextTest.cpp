// JSON from outside: nesting beyond the bound is refused before parsing, everything else parses
// as the JSON library parses it.
#include "common/JsonText.h"

#include <gtest/gtest.h>

#include <string>

using namespace zor;

namespace {

std::string Nested(int levels, const std::string& open = "[", const std::string& close = "]") {
    std::string text;
    for (int i = 0; i < levels; ++i) text += open;
    text += "1";
    for (int i = 0; i < levels; ++i) text += close;
    return text;
}

}  // namespace

TEST(JsonText, DepthCountsArraysAndObjectsButNotBracketsInStrings) {
    EXPECT_EQ(JsonNestingDepth("1"), 0);
    EXPECT_EQ(JsonNestingDepth("{\"a\":[1,{\"b\":[]}]}"), 4);
    EXPECT_EQ(JsonNestingDepth("[\"[[[{{{\", \"\\\"[[[\"]"), 1);
    EXPECT_EQ(JsonNestingDepth("[[1],[2],[3]]"), 2);
    // Counting stops once the limit is passed.
    EXPECT_EQ(JsonNestingDepth(Nested(100000), 64), 65);
}

TEST(JsonText, DeepDocumentsAreRefusedWithTheLibrarysErrorKind) {
    EXPECT_EQ(ParseJson(Nested(kMaxJsonDepth)).dump().size(), Nested(kMaxJsonDepth).size());
    for (int levels : {kMaxJsonDepth + 1, 10000, 200000}) {
        EXPECT_THROW(ParseJson(Nested(levels)), nlohmann::json::exception) << levels;
        EXPECT_THROW(ParseJson("{\"MouseName\":[1],\"x\":" + Nested(levels, "{\"a\":", "}") + "}"),
                     nlohmann::json::exception)
            << levels;
        EXPECT_FALSE(AcceptJson(Nested(levels)));
    }
    try {
        ParseJson(Nested(500));
        FAIL() << "no error";
    } catch (const nlohmann::json::exception& e) {
        EXPECT_NE(std::string(e.what()).find("nested deeper than 64 levels"), std::string::npos) << e.what();
    }
    // Ordinary errors are still the parser's own.
    EXPECT_THROW(ParseJson("{\"a\": "), nlohmann::json::parse_error);
    EXPECT_TRUE(AcceptJson("{\"a\": [1, 2, {\"b\": null}]}"));
    EXPECT_FALSE(AcceptJson("{\"a\": "));
}
