// Languages (index table, files in either encoding, text lookup, applying), the Controls list,
// fonts, the skin switch and re-skinning open windows.
#include <gtest/gtest.h>
#include <QFontDatabase>
#include <QMenu>
#include <QSystemTrayIcon>
#include <cstdlib>
#include <map>
#include <optional>

#include "support/Wait.h"
#include "UiTestSupport.h"
#include "common/IniFile.h"
#include "support/TempDir.h"
#include "ui/Language.h"
#include "ui/MenuTray.h"

using namespace zor::ui;
using namespace zor::ui::test;

namespace {

std::filesystem::path Lang(const char* name) {
    return zor::test::SourceDir() / "res/Language" / name;
}

}  // namespace

TEST(LanguageTable, IndexNameConversionsFallBackToEnglish) {
    EXPECT_EQ(LanguageFileName(0), "lan_cn");
    EXPECT_EQ(LanguageFileName(1), "lan_en");
    EXPECT_EQ(LanguageFileName(12), "lan_jp");
    EXPECT_EQ(LanguageFileName(28), "lan_gr");
    EXPECT_EQ(LanguageFileName(29), "lan_en");
    EXPECT_EQ(LanguageFileName(-1), "lan_en");
    EXPECT_EQ(LanguageName(19), "lan_cntw");
    EXPECT_EQ(LanguageFilePath(99), "res/Language/lan_en.ini");
    int index = 7;
    EXPECT_TRUE(LanguageIndexFromName("LAN_DE", index));
    EXPECT_EQ(index, 4);
    EXPECT_FALSE(LanguageIndexFromName("lan_xx", index));
    EXPECT_EQ(index, 4);
    for (int i = 0; i < kLanguageCount; ++i) {
        int back = -1;
        ASSERT_TRUE(LanguageIndexFromName(LanguageName(i), back));
        EXPECT_EQ(back, i);
    }
}

TEST(LanguageTable, WithoutAChoiceTheDesktopLanguageIsShownAndAChoiceIsKept) {
    using Env = std::map<std::string, std::string>;
    auto desktop = [](const Env& env) {
        return DesktopLanguage([&env](const char* name) -> const char* {
            auto it = env.find(name);
            return it == env.end() ? nullptr : it->second.c_str();
        });
    };
    EXPECT_EQ(desktop({}), kEnglishIndex);
    EXPECT_EQ(desktop({{"LANG", "C.UTF-8"}}), kEnglishIndex);
    EXPECT_EQ(desktop({{"LANG", "de_DE.UTF-8"}}), 4);
    EXPECT_EQ(desktop({{"LANG", "pt_BR.UTF-8"}}), 18);
    EXPECT_EQ(desktop({{"LANG", "pt_PT.UTF-8"}}), 9);
    EXPECT_EQ(desktop({{"LANG", "zh_TW.UTF-8"}}), 19);
    EXPECT_EQ(desktop({{"LANG", "zh_CN.UTF-8"}}), 0);
    EXPECT_EQ(desktop({{"LANG", "fr_BE@euro"}}), 25);
    EXPECT_EQ(desktop({{"LANG", "uk_UA"}}), 24);
    EXPECT_EQ(desktop({{"LANG", "eo.UTF-8"}}), kEnglishIndex);  // no file for it
    EXPECT_EQ(desktop({{"LANG", "de_DE.UTF-8"}, {"LC_MESSAGES", "ja_JP.UTF-8"}}), 12);
    EXPECT_EQ(desktop({{"LANG", "de_DE"}, {"LC_MESSAGES", "ja_JP"}, {"LANGUAGE", "eo:sv:da"}}), 16);
    EXPECT_EQ(desktop({{"LANG", "de_DE"}, {"LANGUAGE", "eo"}}), 4);  // nothing listed matches
    EXPECT_EQ(desktop({{"LANG", "de_DE"}, {"LANGUAGE", "sv"}, {"LC_ALL", "ko_KR.UTF-8"}}), 11);
    EXPECT_EQ(desktop({{"LANG", "de_DE"}, {"LC_ALL", "C"}}), kEnglishIndex);
    EXPECT_EQ(desktop({{"LANG", "de_DE"}, {"LC_ALL", ""}}), 4);  // set but empty: not set

    zor::test::TempDir dir;
    const auto ini = dir / "Set.ini";
    const char* names[] = {"LC_ALL", "LANGUAGE", "LC_MESSAGES", "LANG"};
    std::map<std::string, std::optional<std::string>> saved;
    for (const char* name : names) {
        const char* v = std::getenv(name);
        saved[name] = v ? std::optional<std::string>(v) : std::nullopt;
        ::unsetenv(name);
    }
    ::setenv("LANG", "it_IT.UTF-8", 1);
    EXPECT_EQ(ProgramLanguage(ini), 6);  // no Set.ini at all: not Chinese (entry 0)
    zor::test::WriteFile(ini, "[Set]\nDpiPopEn=1\n");
    EXPECT_EQ(ProgramLanguage(ini), 6);
    zor::test::WriteFile(ini, "\x01\xFF[Set\nLanguage\n");
    EXPECT_EQ(ProgramLanguage(ini), 6);
    zor::test::WriteFile(ini, "[Set]\nLanguage=\n");
    EXPECT_EQ(ProgramLanguage(ini), 6);
    zor::test::WriteFile(ini, "[Set]\nLanguage=0\n");
    EXPECT_EQ(ProgramLanguage(ini), 0);  // the user's choice stays
    zor::test::WriteFile(ini, "[Set]\nLanguage=28\n");
    EXPECT_EQ(ProgramLanguage(ini), 28);
    ::unsetenv("LANG");
    for (const auto& [name, value] : saved)
        if (value) ::setenv(name.c_str(), value->c_str(), 1);
}

TEST(LanguageFiles, ShippedFilesReadInBothEncodingsAndCarryTheSameIds) {
    LanguageFile en, cn;
    ASSERT_TRUE(en.Load(Lang("lan_en.ini")));  // UTF-8
    ASSERT_TRUE(cn.Load(Lang("lan_cn.ini")));  // UTF-16LE with BOM, CRLF
    EXPECT_EQ(en.WindowName(), "Zor Mouse");
    EXPECT_EQ(cn.WindowName(), QString::fromUtf8("Zor Mouse 鼠标驱动"));
    EXPECT_EQ(cn.Find("OthersUI", "minimize").value_or(""), QString::fromUtf8("最小化到通知区域"));
    ASSERT_FALSE(en.Controls().empty());
    EXPECT_EQ(en.Controls()[0].name, "CloseTitle");
    EXPECT_EQ(en.Controls()[0].kind, "label");
    for (const auto& [id, text] : en.Section("OthersUI")) {
        EXPECT_TRUE(cn.Find("OthersUI", id).has_value()) << id.toStdString();
        EXPECT_FALSE(text.isEmpty()) << id.toStdString();
    }
    EXPECT_EQ(en.Section("OthersUI").size(), cn.Section("OthersUI").size());
}

TEST(LanguageFiles, LoadingClearsTheOldTextsAndAMissingFileGivesNone) {
    LanguageFile file;
    ASSERT_TRUE(file.Load(Lang("lan_en.ini")));
    EXPECT_FALSE(file.Load(Lang("lan_none.ini")));
    EXPECT_TRUE(file.WindowName().isEmpty());
    EXPECT_FALSE(file.Find("OthersUI", "Tip").has_value());
    EXPECT_TRUE(file.Controls().empty());
}

TEST(LanguageFiles, LookupOrderFollowsThePageShown) {
    zor::test::TempDir dir;
    zor::test::WriteFile(dir / "l.ini",
                         "[OthersUI]\nShared=others\nshared=a second line\n[MacroUI]\nShared=macro\nmac_only=macro text\n"
                         "[MouseUI]\nmouse_only=mouse text=with equals\n");
    LanguageFile file;
    ASSERT_TRUE(file.Load(dir / "l.ini"));
    EXPECT_EQ(QueryLanguageText(file, "SHARED", 1, true), "others");
    EXPECT_EQ(QueryLanguageText(file, "mac_only", 1, true), "macro text");
    EXPECT_EQ(QueryLanguageText(file, "mac_only", 0, true), "");
    EXPECT_EQ(QueryLanguageText(file, "mouse_only", 0, true), "mouse text=with equals");
    EXPECT_EQ(QueryLanguageText(file, "mouse_only", 0, false), "");
    EXPECT_EQ(QueryLanguageText(file, "mouse_only", 1, true), "");  // the macro page does not look at MouseUI
}

TEST(LanguageFiles, ALongSectionKeepsItsLastTexts) {
    // Translations run longer than English: a section of 400 texts (about 12 000 characters)
    // must arrive whole, its last line included.
    std::string text = "[MouseUI]\n";
    for (int i = 0; i < 400; ++i) text += "text_" + std::to_string(i) + "=a translated text of some length\n";
    zor::test::TempDir dir;
    zor::test::WriteFile(dir / "long.ini", text);
    LanguageFile file;
    ASSERT_TRUE(file.Load(dir / "long.ini"));
    EXPECT_EQ(QueryLanguageText(file, "text_399", 0, true), "a translated text of some length");
}

TEST(ControlsList, FixesWidthsAndSizesLabelsToTheirTextKeepingTheirCorner) {
    CPaintManagerUI::SetResourcePath(TestData());
    CMarkup markup;
    ASSERT_TRUE(
        markup.Load("<Window><Container name=\"r\"><Label name=\"lab\" float=\"true\" pos=\"10,20,15,40\" "
                    "text=\"A rather long label\"/><Option name=\"opt\" float=\"true\" pos=\"0,50,30,70\"/>"
                    "<Button name=\"btn\" float=\"true\" pos=\"0,80,30,100\"/></Container></Window>"));
    CPaintManagerUI pm;
    std::unique_ptr<CControlUI> root(CDialogBuilder().Create(markup, nullptr, &pm));
    pm.AttachDialog(root.get());
    root->resize(300, 200);
    ApplyControlsList(
        pm, {{"lab", "label", 0}, {"opt", "option", 77}, {"btn", "button", 0}, {"gone", "edit", 50}});
    const QRect lab = pm.FindControl("lab")->geometry();
    EXPECT_EQ(lab.topLeft(), QPoint(10, 20));
    EXPECT_GT(lab.width(), 60);
    EXPECT_EQ(lab.height(), 20);
    EXPECT_EQ(pm.FindControl("opt")->width(), 77);
    EXPECT_EQ(pm.FindControl("btn")->width(), 30);  // width 0 leaves buttons alone
}

TEST(LanguageApply, SetsTitleTrayTextsAndFontsAndStoresOnlyRealChanges) {
    UseSkin("res_black");
    zor::test::TempDir dir;
    LanguageManager language(zor::test::SourceDir());
    int pagesIndex = -1;
    language.SetHooks({[] { return 0; }, [] { return false; }, [&](int i) { pagesIndex = i; }});
    RecordingWindow wnd("ClosePop.xml");
    wnd.Create(nullptr, "main", kWsPopup);
    CTrayIcon tray;
    language.Apply(99, wnd.PaintManager(), &wnd, &tray, QIcon());
    EXPECT_EQ(language.AppliedIndex(), 99);
    EXPECT_EQ(wnd.windowTitle(), "Zor Mouse");
    EXPECT_EQ(tray.GetTooltipText(), "Zor Mouse");
    EXPECT_TRUE(tray.IsCreated());
    EXPECT_EQ(pagesIndex, 99);
    EXPECT_EQ(wnd.FindControl("OkButton")->GetText(), "OK");
    EXPECT_EQ(wnd.PaintManager().GetFontInfo(0)->name, "Noto Sans");

    language.Apply(40, wnd.PaintManager(), &wnd, &tray, QIcon());  // no such entry: English
    EXPECT_EQ(language.AppliedIndex(), 40);
    EXPECT_EQ(wnd.windowTitle(), "Zor Mouse");
    EXPECT_EQ(language.QueryControlText("CancelButton", {}), "Cancel");

    const auto setIni = dir / "Set.ini";
    EXPECT_FALSE(language.ChangeByName("lan_xx", setIni, wnd.PaintManager(), &wnd, &tray, QIcon()));
    language.Apply(1, wnd.PaintManager(), &wnd, &tray, QIcon());
    EXPECT_FALSE(language.ChangeByName("lan_en", setIni, wnd.PaintManager(), &wnd, &tray, QIcon()));
    EXPECT_FALSE(std::filesystem::exists(setIni));  // the language in use writes nothing
    EXPECT_TRUE(language.ChangeByName("LAN_CN", setIni, wnd.PaintManager(), &wnd, &tray, QIcon()));
    EXPECT_EQ(zor::IniFile(setIni).GetInt("Set", "Language"), 0);
    EXPECT_EQ(wnd.FindControl("OkButton")->GetText(), QString::fromUtf8("确定"));
    EXPECT_EQ(wnd.FindControl("btn_close")->toolTip(), QString::fromUtf8("关闭"));  // tooltips too
    EXPECT_EQ(wnd.windowTitle(), QString::fromUtf8("Zor Mouse 鼠标驱动"));
    EXPECT_EQ(wnd.PaintManager().GetFontInfo(1)->name, "Noto Sans CJK SC");
    CResourceManager::GetInstance().SetTextQueryInterface(nullptr);
}

TEST(Fonts, ExtraFontsAreInstalledForTheRunAndRemovedAgain) {
    zor::test::TempDir dir;
    const std::filesystem::path font = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";
    if (!std::filesystem::exists(font)) GTEST_SKIP() << "no font file to install";
    std::filesystem::copy_file(font, dir / "mono.ttf");
    zor::test::WriteFile(
        dir / "ExFont.json",
        R"({"Font":[{"FontName":"mono.fot","FontPath":"mono.ttf"},{"FontName":"bad.fot","FontPath":"none.ttf"}]})");
    FontInstaller fonts;
    ASSERT_TRUE(fonts.LoadTable(dir / "ExFont.json"));
    EXPECT_EQ(fonts.Table().size(), 2u);
    EXPECT_EQ(fonts.InstallAll(dir.path()), 1);  // the missing file is skipped
    EXPECT_EQ(fonts.InstallAll(dir.path()), 0);  // no duplicates
    ASSERT_EQ(fonts.Installed().size(), 1u);
    EXPECT_EQ(fonts.Installed().begin()->first, "./res/Font/mono.fot");
    EXPECT_TRUE(fonts.InstalledFamilies().contains("DejaVu Sans Mono"));
    EXPECT_EQ(fonts.RemoveAll(), 1);
    EXPECT_TRUE(fonts.Installed().empty());

    zor::test::WriteFile(dir / "broken.json", R"({"Font":[{"FontName":1}]})");
    EXPECT_FALSE(fonts.LoadTable(dir / "broken.json"));
    EXPECT_TRUE(fonts.Table().empty());
    EXPECT_FALSE(fonts.LoadTable(dir / "absent.json"));
    std::filesystem::create_directories(dir / "folder.json");  // a folder: an empty table, no abort
    EXPECT_FALSE(fonts.LoadTable(dir / "folder.json"));
    EXPECT_TRUE(fonts.Table().empty());
    EXPECT_TRUE(fonts.LoadTable(Lang("ExFont.json")));  // the shipped list parses
}

TEST(SkinSwitch, AlternatesBetweenTheTwoFoldersAndRecordsTheOneInUse) {
    zor::test::TempDir dir;
    std::filesystem::create_directories(dir / "res_black");
    std::filesystem::create_directories(dir / "res_white");
    const auto ini = dir / "DeviceFeature.ini";
    zor::test::WriteFile(
        ini, "[Config]\r\nResPath=res_black\r\nPreResPath1=res_black\r\nPreResPath2=res_white\r\n");
    CPaintManagerUI::SetInstancePath(QString::fromStdString(dir.path().string()));
    SetResourcePrefix("./res_black");
    EXPECT_EQ(SwitchSkin(ini, "res_black", "res_white"), "res_white");
    EXPECT_EQ(GetResourcePrefix(), "./res_white");
    EXPECT_TRUE(CPaintManagerUI::GetResourcePath().endsWith("res_white/"));
    EXPECT_EQ(zor::IniFile(ini).GetString("Config", "ResPath"), "res_white");
    EXPECT_EQ(SwitchSkin(ini, "res_black", "res_white"), "res_black");
    EXPECT_EQ(zor::IniFile(ini).GetString("Config", "ResPath"), "res_black");
    // A folder that is not there is not switched to.
    bool switched = true;
    EXPECT_EQ(SwitchSkin(ini, "res_black", "res_gone", &switched), "res_black");
    EXPECT_FALSE(switched);
    EXPECT_EQ(GetResourcePrefix(), "./res_black");
    EXPECT_EQ(zor::IniFile(ini).GetString("Config", "ResPath"), "res_black");
    EXPECT_EQ(NextSkinFolder("res_white", "res_black", "res_white"), "res_black");
}

TEST(SkinSwitch, ReloadSkinRepaintsOpenWindowsInTheNewSkinKeepingTheirState) {
    UseSkin("res_black");
    RecordingWindow wnd("ClosePop.xml");
    wnd.Create(nullptr, "close", kWsPopup | kWsVisible);
    auto* exitOpt = wnd.Find<COptionUI>("Exit");
    exitOpt->Selected(true);
    const QColor dark = wnd.PaintManager().GetRoot()->GetBkColor();
    UseSkin("res_white");
    CPaintManagerUI::ReloadSkin();
    EXPECT_NE(wnd.PaintManager().GetRoot()->GetBkColor(), dark);
    EXPECT_EQ(wnd.PaintManager().GetRoot()->GetBkColor(), QColor(Qt::white));
    EXPECT_TRUE(exitOpt->IsSelected());
    const QImage shot = wnd.grab().toImage();
    EXPECT_GT(QColor(shot.pixel(wnd.width() / 2, wnd.height() - 80)).lightness(), 200);
}

TEST(Menus, MenuSkinItemsNotifyTheOwnerOrPostTheMenuMessage) {
    UseSkin("res_black");
    RecordingWindow owner("poptip.xml");
    owner.Create(nullptr, "owner", kWsPopup | kWsVisible);
    CMenuWnd* menu = CMenuWnd::CreateMenu(&owner, "tray_menu.xml", QPoint(10, 10),
                                          owner.FindControl("tip_text"), CMenuWnd::Report::Notify, false);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->ItemNames(), QStringList({"show", "guide", "exit"}));
    ASSERT_TRUE(menu->TriggerItem("guide"));
    ASSERT_EQ(owner.Count("MyMenuClick", "tip_text"), 1);
    EXPECT_EQ(owner.notes.back().text, "guide");
    EXPECT_FALSE(menu->TriggerItem("nothing"));
    menu->Close();

    CMenuWnd* tray =
        CMenuWnd::CreateMenu(&owner, "tray_menu.xml", QPoint(), nullptr, CMenuWnd::Report::Message, false);
    tray->TriggerItem("exit");
    ZOR_TRY_COMPARE(owner.messages.size(), size_t(1));
    EXPECT_EQ(owner.messages[0].msg, unsigned(kMsgMenuClick));
    EXPECT_EQ(owner.messages[0].payload.toString(), "exit");
    EXPECT_EQ(
        CMenuWnd::CreateMenu(&owner, "missing_menu.xml", QPoint(), nullptr, CMenuWnd::Report::Notify, false),
        nullptr);
}

TEST(Menus, ItemTextsComeFromTheLanguage) {
    UseSkin("res_black");
    LanguageManager language(zor::test::SourceDir());
    CPaintManagerUI scratch;
    language.Apply(0, scratch, nullptr, nullptr, {});
    RecordingWindow owner("poptip.xml");
    owner.Create(nullptr, "owner", kWsPopup);
    CMenuWnd* menu =
        CMenuWnd::CreateMenu(&owner, "tray_menu.xml", QPoint(), nullptr, CMenuWnd::Report::Notify, false);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->Menu()->actions().at(0)->text(), QString::fromUtf8("显示主窗口"));
    CResourceManager::GetInstance().SetTextQueryInterface(nullptr);
}

TEST(Tray, ReportsAvailabilityAndForwardsClicksAsTheTrayMessage) {
    RecordingWindow owner("poptip.xml");
    UseSkin("res_black");
    owner.Create(nullptr, "owner", kWsPopup);
    CTrayIcon tray;
    const bool shown = tray.CreateTrayIcon(&owner, QIcon(), "Zor Mouse");
    EXPECT_EQ(shown, CTrayIcon::IsAvailable());
    ASSERT_TRUE(tray.IsCreated());
    EXPECT_TRUE(tray.SetTooltipText("new tip"));
    EXPECT_EQ(tray.Icon()->toolTip(), "new tip");
    emit tray.Icon()->activated(QSystemTrayIcon::Context);
    emit tray.Icon()->activated(QSystemTrayIcon::DoubleClick);
    ZOR_TRY_COMPARE(owner.messages.size(), size_t(2));
    EXPECT_EQ(owner.messages[0].msg, unsigned(kMsgTrayIcon));
    EXPECT_EQ(owner.messages[0].lParam, qintptr(kWmRButtonUp));
    EXPECT_EQ(owner.messages[1].lParam, qintptr(kWmLButtonDblClk));
    tray.DeleteTrayIcon();
    EXPECT_FALSE(tray.IsCreated());
    EXPECT_FALSE(tray.SetTooltipText("x"));
}
