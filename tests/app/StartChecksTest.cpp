// Damaged start-up resources: every variant of a damaged description file or main skin file is
// found before a window is shown, with a message that names the file; a skin that builds but
// lacks the window's controls is found after building.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "app/StartChecks.h"
#include "support/TempDir.h"
#include "ui/WindowImplBase.h"

namespace zor::app::test {
namespace {

using zor::test::ReadFile;
using zor::test::TempDir;
using zor::test::WriteFile;

struct Variant {
    const char* name;
    std::function<void(const std::filesystem::path& file)> damage;
};

std::string Nested(int levels) {
    std::string text = "<Window>";
    for (int i = 0; i < levels; ++i) text += "<Container>";
    for (int i = 0; i < levels; ++i) text += "</Container>";
    return text + "</Window>";
}

// The variants every resource file is put through.
std::vector<Variant> CommonDamage() {
    return {
        {"missing", [](const auto& f) { std::filesystem::remove(f); }},
        {"a folder",
         [](const auto& f) {
             std::filesystem::remove(f);
             std::filesystem::create_directories(f);
         }},
        {"empty", [](const auto& f) { WriteFile(f, ""); }},
        {"binary garbage",
         [](const auto& f) { WriteFile(f, std::string("\x00\xff\xfe\x01garbage\x80\x81", 14)); }},
        {"too large", [](const auto& f) { std::filesystem::resize_file(f, 17u * 1024u * 1024u); }},
    };
}

class StartChecks : public ::testing::Test {
protected:
    StartChecks() {
        const auto build = zor::test::BuildDir();
        std::filesystem::create_directories(AppFeaturePath(home.path()).parent_path());
        std::filesystem::copy_file(AppFeaturePath(build), AppFeaturePath(home.path()));
        std::filesystem::create_directories(home / "res_black");
        std::filesystem::copy_file(build / "res_black" / kMainSkinFile, skin());
    }
    std::filesystem::path description() const { return AppFeaturePath(home.path()); }
    std::filesystem::path skin() const { return home / "res_black" / kMainSkinFile; }
    QString Check() const { return CheckSkinResources(home.path(), LoadAppFeature(home.path())); }

    TempDir home;
};

TEST_F(StartChecks, TheShippedFilesPass) {
    EXPECT_EQ(Check(), QString());
}

TEST_F(StartChecks, EveryDamagedDescriptionIsNamed) {
    const std::string good = ReadFile(description());
    auto variants = CommonDamage();
    variants.push_back({"truncated before ResPath",
                        [&](const auto& f) { WriteFile(f, good.substr(0, good.find("ResPath="))); }});
    variants.push_back(
        {"no Config section", [](const auto& f) { WriteFile(f, "[Init]\nMutexName=ZorMouse\n"); }});
    variants.push_back({"empty ResPath", [](const auto& f) { WriteFile(f, "[Config]\nResPath=\n"); }});
    variants.push_back(
        {"ResPath leaves the folder", [](const auto& f) { WriteFile(f, "[Config]\nResPath=../..\n"); }});
    variants.push_back(
        {"ResPath is a path", [](const auto& f) { WriteFile(f, "[Config]\nResPath=res/Home\n"); }});
    variants.push_back(
        {"ResPath names no folder", [](const auto& f) { WriteFile(f, "[Config]\nResPath=res_none\n"); }});
    variants.push_back({"ResPath very long", [](const auto& f) {
                            WriteFile(f, "[Config]\nResPath=" + std::string(100000, 'a') + "\n");
                        }});
    for (const Variant& v : variants) {
        SCOPED_TRACE(v.name);
        std::filesystem::remove_all(description());
        WriteFile(description(), good);
        v.damage(description());
        const QString problem = Check();
        EXPECT_TRUE(problem.contains(QStringLiteral("DeviceFeature.ini"))) << problem.toStdString();
    }
}

TEST_F(StartChecks, EveryDamagedMainSkinIsNamed) {
    const std::string good = ReadFile(skin());
    auto variants = CommonDamage();
    variants.push_back({"truncated", [&](const auto& f) { WriteFile(f, good.substr(0, good.size() / 2)); }});
    variants.push_back({"not XML", [](const auto& f) { WriteFile(f, "{\"Window\": []}"); }});
    variants.push_back({"another root", [](const auto& f) { WriteFile(f, "<Dialog size=\"990,690\"/>"); }});
    variants.push_back({"nested 100000 deep", [](const auto& f) { WriteFile(f, Nested(100000)); }});
    variants.push_back(
        {"unclosed element", [](const auto& f) { WriteFile(f, "<Window><Container></Window>"); }});
    variants.push_back({"two roots", [](const auto& f) { WriteFile(f, "<Window/><Window/>"); }});
    for (const Variant& v : variants) {
        SCOPED_TRACE(v.name);
        std::filesystem::remove_all(skin());
        WriteFile(skin(), good);
        v.damage(skin());
        const QString problem = Check();
        EXPECT_TRUE(problem.contains(QStringLiteral("MainWnd.xml"))) << problem.toStdString();
    }
}

class SkinWindow : public ui::WindowImplBase {
public:
    explicit SkinWindow(QString file) : m_file(std::move(file)) {}
    QString GetSkinFile() override { return m_file; }
    QString GetWindowClassName() const override { return QStringLiteral("SkinWindow"); }

private:
    QString m_file;
};

TEST_F(StartChecks, ASkinWithoutTheWindowsControlsIsFoundOnceBuilt) {
    const std::string good = ReadFile(skin());
    const QString file = QString::fromStdString(skin().string());
    struct Case {
        const char* name;
        std::string text;
        bool usable;
    };
    std::string hidden = good;
    hidden.replace(hidden.find("name=\"main_root\""), 16, "name=\"main_root\" visible=\"false\"");
    std::string noClose = good;
    noClose.replace(noClose.find("name=\"btn_close\""), 16, "name=\"btn_gone\"");
    const Case cases[] = {
        {"the shipped skin", good, true},
        {"no controls", "<Window size=\"990,690\"/>", false},
        {"everything hidden", hidden, false},
        {"no close button", noClose, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(skin(), c.text);
        EXPECT_EQ(Check(), QString());  // well-formed: only building tells
        auto window = std::make_unique<SkinWindow>(file);
        window->Create(nullptr, QStringLiteral("skin"), ui::kWsPopup, 0, QRect(0, 0, 990, 690));
        const QString problem = CheckMainWindowControls(*window, file);
        if (c.usable) {
            EXPECT_EQ(problem, QString()) << problem.toStdString();
        } else {
            EXPECT_TRUE(problem.contains(QStringLiteral("MainWnd.xml"))) << problem.toStdString();
        }
    }
}

}  // namespace
}  // namespace zor::app::test
