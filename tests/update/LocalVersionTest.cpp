// The version window's files: LocalVersion.json and the server's SeverVersion.json.
#include <gtest/gtest.h>

#include "support/TempDir.h"
#include "update/LocalVersion.h"
#include "update/UpdatePaths.h"

namespace zor::update {
namespace {

TEST(LocalVersionTest, ReadsTheVersionAndBothAddresses) {
    test::TempDir dir;
    test::WriteFile(
        dir / "l.json",
        R"({"LocalVersion":{"CurVersion":"1.0.3","SeverCenterURL":"https://s/v.json","InstallerURL":"https://s/z.deb"}})");
    const auto local = LoadLocalVersion(dir / "l.json");
    ASSERT_TRUE(local);
    EXPECT_EQ(local->curVersion, "1.0.3");
    EXPECT_EQ(local->serverUrl, "https://s/v.json");
    EXPECT_EQ(local->installerUrl, "https://s/z.deb");
    test::WriteFile(dir / "l.json", R"({"LocalVersion":{"CurVersion":"1.0.3","SeverCenterURL":"u"}})");
    EXPECT_EQ(LoadLocalVersion(dir / "l.json")->installerUrl, kDefaultInstallerUrl);
}

TEST(LocalVersionTest, MissingOrMalformedFilesAreReportedNotGuessed) {
    test::TempDir dir;
    std::string error;
    EXPECT_FALSE(LoadLocalVersion(dir / "none.json", &error));
    EXPECT_NE(error.find("cannot read"), std::string::npos);
    for (const char* text : {"", "{", R"({"LocalVersion":1})", R"({"LocalVersion":{"CurVersion":"1"}})",
                             R"({"LocalVersion":{"CurVersion":1,"SeverCenterURL":"u"}})"}) {
        test::WriteFile(dir / "l.json", text);
        EXPECT_FALSE(LoadLocalVersion(dir / "l.json")) << text;
    }
    for (const char* text : {"", "[]", R"({"SeverVersion":{}})", R"({"SeverVersion":{"MaxVersion":2}})"})
        EXPECT_FALSE(ParseServerMaxVersion(text)) << text;
    EXPECT_EQ(ParseServerMaxVersion(R"({"SeverVersion":{"MaxVersion":"2.0.1"}})").value_or(""), "2.0.1");
}

TEST(UpdatePathsTest, FileNamesFromAddressesAreSafe) {
    EXPECT_EQ(FileNameFromAddress("https://a/b/zormouse_1.2_amd64.deb?x=1#f"), "zormouse_1.2_amd64.deb");
    EXPECT_EQ(FileNameFromAddress("https://a/b/zormouse-1.2.tar.gz"), "zormouse-1.2.tar.gz");
    for (const char* bad : {"https://a/b/", "https://a/b/..", "https://a/.hidden", "https://a/a%2F..",
                            "https://a/a b", "https://a/b/\xC3\xA9.deb"})
        EXPECT_EQ(FileNameFromAddress(bad), "") << bad;
}

}  // namespace
}  // namespace zor::update
