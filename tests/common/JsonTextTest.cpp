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

TEST(JsonText, IntegersOutsideTheirTypeAreRefusedAndFractionsCutOff) {
    using nlohmann::json;
    EXPECT_EQ(JsonInteger<int>(json(2147483647)), 2147483647);
    EXPECT_EQ(JsonInteger<int>(json(-2147483648LL)), -2147483647 - 1);
    EXPECT_EQ(JsonInteger<int>(json::parse("12.9")), 12);
    EXPECT_EQ(JsonInteger<int>(json::parse("-12.9")), -12);
    EXPECT_EQ(JsonInteger<int>(json::parse("2147483647.5")), 2147483647);
    EXPECT_EQ(JsonInteger<std::uint32_t>(json(4294967295ULL)), 4294967295u);
    for (const char* text : {"2147483648", "-2147483649", "2147483648.0", "-2147483649.0", "2.66667e+59",
                             "-1e300", "18446744073709551615"}) {
        EXPECT_THROW(JsonInteger<int>(json::parse(text)), JsonRangeError) << text;
        EXPECT_THROW(JsonInteger<int>(json::parse(text)), nlohmann::json::exception) << text;
    }
    EXPECT_THROW(JsonInteger<std::uint32_t>(json(-1)), JsonRangeError);
    EXPECT_THROW(JsonInteger<std::uint32_t>(json(4294967296ULL)), JsonRangeError);
    // What is not a number fails as the library's get<T>() fails.
    EXPECT_THROW(JsonInteger<int>(json("12")), nlohmann::json::type_error);
    EXPECT_THROW(JsonInteger<int>(json()), nlohmann::json::type_error);
}
