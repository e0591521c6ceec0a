// Application values of the sample model's description file.
#include "config/AppFeature.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace zor {
namespace {

TEST(AppFeature, ShippedFileNamesTheLockAndBothSkins) {
    const AppFeature app = LoadAppFeature(test::SourceDir());
    EXPECT_EQ(app.mutexName, "ZorMouse");
    EXPECT_EQ(app.resPath, "res_black");
    EXPECT_EQ(app.preResPath1, "res_black");
    EXPECT_EQ(app.preResPath2, "res_white");
    EXPECT_EQ(app.keySelLedVis, 1);
}

TEST(AppFeature, KeySelLedVisDefaultsToShown) {
    test::TempDir dir;
    test::WriteFile(AppFeaturePath(dir.path()), "[Config]\r\nResPath=res_white\r\n");
    EXPECT_EQ(LoadAppFeature(dir.path()).keySelLedVis, 1);
    test::WriteFile(AppFeaturePath(dir.path()), "[Config]\r\nKeySelLedVis=0\r\n");
    EXPECT_EQ(LoadAppFeature(dir.path()).keySelLedVis, 0);
    // Nothing there at all: empty names, lighting item still shown.
    const AppFeature missing = LoadAppFeature(dir.path() / "elsewhere");
    EXPECT_EQ(missing.mutexName, "");
    EXPECT_EQ(missing.keySelLedVis, 1);
}

TEST(AppFeature, SkinChangeRewritesOnlyResPath) {
    test::TempDir dir;
    const auto path = AppFeaturePath(dir.path());
    test::WriteFile(path,
                    "[Init]\r\nMutexName=ZorMouse\r\n[Config]\r\nResPath=res_black\r\nWriteTimes=2\r\n");
    ASSERT_TRUE(SaveResPath(dir.path(), "res_white"));
    EXPECT_EQ(test::ReadFile(path),
              "[Init]\r\nMutexName=ZorMouse\r\n[Config]\r\nResPath=res_white\r\nWriteTimes=2\r\n");
    EXPECT_EQ(LoadAppFeature(dir.path()).resPath, "res_white");
}

}  // namespace
}  // namespace zor
