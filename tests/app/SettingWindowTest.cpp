// The settings window of the running program, opened with the gear button and answered with
// clicks: what it shows, the autostart entry it writes and removes, the close behaviour, the
// links, the update button, the language switch, and its end when the mouse goes away.
#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QTimer>

#include "MainWindowFixture.h"
#include "app/Setting.h"
#include "common/Debug.h"
#include "common/IniFile.h"
#include "common/ProgramPaths.h"
#include "control/AppProfiles.h"
#include "device/MacroDeviceBlock.h"
#include "support/MacroTree.h"
#include "support/UserInput.h"
#include "support/Wait.h"
#include "ui/Dialogs.h"
#include "ui/Language.h"

namespace zor::app::test {
namespace {

using ui::CCheckBoxUI;
using ui::CComboUI;
using ui::CControlUI;
using ui::COptionUI;

Setting* OpenSetting() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* setting = qobject_cast<Setting*>(w);
            setting && setting->isVisible() && !setting->IsClosed())
            return setting;
    return nullptr;
}

class SettingWindowTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        openUrl = [this](const QUrl& url) {
            opened.push_back(url);
            return true;
        };
    }
    IniFile Set() const { return IniFile(folder / "res" / "Set.ini"); }
    std::filesystem::path Entry() const { return dir.path() / "autostart" / "ZorMouse.desktop"; }

    // Opens the settings window with the gear button and runs action on it inside its modal
    // run; the action ends by closing it (or leaves that to the test's events).
    void WithSetting(const std::function<void(Setting&)>& action) {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            Setting* setting = nullptr;
            if (!QTest::qWaitFor([&] { return (setting = OpenSetting()) != nullptr; }, 5000)) {
                ADD_FAILURE() << "no settings window open";
                return;
            }
            ran = true;
            EXPECT_TRUE(Find<CControlUI>("tranWnd_setting")->IsVisible());
            action(*setting);
        });
        EXPECT_TRUE(zor::test::ClickControl(Find<ui::CButtonUI>("btn_set")));
        EXPECT_TRUE(ran);
        EXPECT_TRUE(QTest::qWaitFor([] { return OpenSetting() == nullptr; }, 5000));
        EXPECT_FALSE(Find<CControlUI>("tranWnd_setting")->IsVisible());
    }
    static bool Click(Setting& s, const char* name) {
        return zor::test::ClickControl(s.FindControl(QLatin1String(name)));
    }
    static bool Checked(Setting& s, const char* name) {
        return s.Find<COptionUI>(QLatin1String(name))->IsSelected();
    }
    void SaveScreenshot(QWidget* w, const char* name) {
        const QByteArray shots = qgetenv("ZOR_SCREENSHOT_DIR");
        if (!shots.isEmpty())
            w->grab().save(QString::fromLocal8Bit(shots) + '/' + QLatin1String(name) + ".png");
    }

    std::vector<QUrl> opened;
};

TEST_F(SettingWindowTest, ShowsTheStoredPreferencesAndTheChargeCounterAndClosesWithItsButton) {
    WriteSetIni(1, 1, 1, 1);
    Set().WriteString("Set", "SoftName", "ZorMouse");
    Start();
    auto state = Mouse().State();
    state.chargeCounter = 37;
    Mouse().SetState(state);
    WithSetting([&](Setting& s) {
        EXPECT_TRUE(Checked(s, "opt_automaticallyOpen"));
        EXPECT_TRUE(Checked(s, "opt_automaticallyHide"));
        EXPECT_TRUE(s.FindControl(QStringLiteral("opt_automaticallyHide"))->IsEnabled());
        EXPECT_FALSE(Checked(s, "opt_dpipopck"));
        EXPECT_TRUE(Checked(s, "Exit"));
        EXPECT_FALSE(Checked(s, "Minimize"));
        EXPECT_TRUE(Checked(s, "RemindAgain"));
        auto* language = s.Find<CComboUI>(QStringLiteral("btn_language"));
        EXPECT_EQ(language->GetCount(), 29);
        EXPECT_EQ(language->GetItemData(language->GetCurSel()), QStringLiteral("lan_en"));
        SaveScreenshot(&s, "setting-general");
        EXPECT_TRUE(Click(s, "opt_more"));
        // Read on the device worker: shown once it has come.
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                return s.FindControl(QStringLiteral("ChargeCntLabel"))->GetText() == QStringLiteral("37");
            },
            5000))
            << s.FindControl(QStringLiteral("ChargeCntLabel"))->GetText().toStdString();
        SaveScreenshot(&s, "setting-more");
        EXPECT_TRUE(Click(s, "opt_about"));
        SaveScreenshot(&s, "setting-about");
        EXPECT_TRUE(Click(s, "btn_close"));
    });
}

TEST_F(SettingWindowTest, AMouseThatDoesNotAnswerTheChargeCounterNeverHoldsTheWindowUp) {
    WriteSetIni(1, 1, 1, 1);
    Start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->Scheduler().DeviceBusy(); }, 10000));
    // A hung mouse: every transfer stalls for a second before it fails.
    Mouse().SetStallMs(1000);
    Mouse().InjectFault(MouseFault::StopAnswering, 0);
    QElapsedTimer clock;
    clock.start();
    WithSetting([&](Setting& s) {
        // The window is up and answers while the read still waits for the mouse.
        EXPECT_LT(clock.elapsed(), 900);
        EXPECT_EQ(s.FindControl(QStringLiteral("ChargeCntLabel"))->GetText(), QStringLiteral("--"));
        EXPECT_TRUE(Click(s, "opt_more"));
        // Closed before the read has ended: its late answer finds no window to fill.
        EXPECT_TRUE(Click(s, "btn_close"));
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->Scheduler().DeviceBusy(); }, 10000));
    Mouse().InjectFault(MouseFault::None);
    // The next opening reads it again, from a mouse that answers.
    auto state = Mouse().State();
    state.chargeCounter = 5;
    Mouse().SetState(state);
    WithSetting([&](Setting& s) {
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return s.FindControl(QStringLiteral("ChargeCntLabel"))->GetText() == QStringLiteral("5"); },
            5000));
        EXPECT_TRUE(Click(s, "btn_close"));
    });
}

TEST_F(SettingWindowTest, TheAutostartEntryFollowsBothSwitches) {
    WriteSetIni(0, 1, 0, 0);
    Set().WriteString("Set", "SoftName", "ZorMouse");
    Start();
    const std::string exe = "\"" + QCoreApplication::applicationFilePath().toStdString() + "\"";
    WithSetting([&](Setting& s) {
        EXPECT_FALSE(s.FindControl(QStringLiteral("opt_automaticallyHide"))->IsEnabled());
        ASSERT_TRUE(Click(s, "opt_automaticallyOpen"));
        EXPECT_EQ(Set().GetInt("Set", "AutomaticallyOpenEn"), 1);
        ASSERT_TRUE(std::filesystem::exists(Entry()));
        EXPECT_NE(zor::test::ReadFile(Entry()).find("Exec=" + exe + "\n"), std::string::npos);
        EXPECT_TRUE(s.FindControl(QStringLiteral("opt_automaticallyHide"))->IsEnabled());

        ASSERT_TRUE(Click(s, "opt_automaticallyHide"));
        EXPECT_EQ(Set().GetInt("Set", "AutomaticallyHideEn"), 1);
        EXPECT_NE(zor::test::ReadFile(Entry()).find("Exec=" + exe + " -silent\n"), std::string::npos);
        ASSERT_TRUE(Click(s, "opt_automaticallyHide"));
        EXPECT_NE(zor::test::ReadFile(Entry()).find("Exec=" + exe + "\n"), std::string::npos);
        ASSERT_TRUE(Click(s, "opt_automaticallyHide"));

        // Off again: hidden start goes with it, and so does the entry.
        ASSERT_TRUE(Click(s, "opt_automaticallyOpen"));
        EXPECT_FALSE(std::filesystem::exists(Entry()));
        EXPECT_EQ(Set().GetInt("Set", "AutomaticallyOpenEn"), 0);
        EXPECT_EQ(Set().GetInt("Set", "AutomaticallyHideEn"), 0);
        EXPECT_FALSE(Checked(s, "opt_automaticallyHide"));
        EXPECT_FALSE(s.FindControl(QStringLiteral("opt_automaticallyHide"))->IsEnabled());
        EXPECT_TRUE(Click(s, "btn_close"));
    });
}

TEST_F(SettingWindowTest, SwitchesCloseBehaviourAndLinksDoWhatTheySay) {
    WriteSetIni(0, 1);
    Set().WriteString("Set", "link_manual", "http://www.zormouse.example/orvmanual/");
    Set().WriteString("Set", "link_home", "file:///etc/passwd");
    Start();
    WithSetting([&](Setting& s) {
        ASSERT_TRUE(Click(s, "opt_dpipopck"));
        EXPECT_EQ(Set().GetInt("Set", "DpiPopEn"), 1);
        ASSERT_TRUE(Click(s, "Exit"));
        EXPECT_EQ(Set().GetInt("CloseConfig", "CloseOption"), 1);
        EXPECT_EQ(window->CloseOption(), 1);
        ASSERT_TRUE(Click(s, "RemindAgain"));  // checked before: no more asking
        ZOR_TRY_COMPARE(Set().GetInt("CloseConfig", "Remind"), 0);

        ASSERT_TRUE(Click(s, "opt_more"));
        const int light = Set().GetInt("Set", "OverallLightControlEn");
        ASSERT_TRUE(Click(s, "opt_lightmode"));
        EXPECT_EQ(Set().GetInt("Set", "OverallLightControlEn"), light == 0 ? 1 : 0);

        ASSERT_TRUE(Click(s, "opt_about"));
        ASSERT_TRUE(Click(s, "link_manual"));
        ASSERT_TRUE(Click(s, "link_home"));   // not a web address: not opened
        ASSERT_TRUE(Click(s, "link_macro"));  // no address at all
        ASSERT_EQ(opened.size(), 1u);
        EXPECT_EQ(opened[0], QUrl(QStringLiteral("http://www.zormouse.example/orvmanual/")));
        EXPECT_TRUE(Click(s, "btn_close"));
    });
    EXPECT_EQ(window->Remind(), 0);
}

TEST_F(SettingWindowTest, TheUpdateButtonClosesTheWindow) {
    Start();
    WithSetting([&](Setting& s) {
        ASSERT_TRUE(Click(s, "opt_about"));
        EXPECT_TRUE(Click(s, "btn_update"));
    });
}

TEST_F(SettingWindowTest, ChoosingALanguageRetextsTheOpenWindows) {
    Start();
    WithSetting([&](Setting& s) {
        auto* combo = s.Find<CComboUI>(QStringLiteral("btn_language"));
        ASSERT_TRUE(zor::test::ClickControl(combo));
        ZOR_TRY_VERIFY(combo->DropDown() != nullptr);
        auto* menu = qobject_cast<QMenu*>(combo->DropDown());
        ASSERT_NE(menu, nullptr);
        QAction* chinese = menu->actions().at(0);
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(chinese).center());
        ZOR_TRY_COMPARE(Set().GetInt("Set", "Language"), 0);
        EXPECT_EQ(s.FindControl(QStringLiteral("SettingTitle"))->GetText(), QStringLiteral("设置"));
        EXPECT_EQ(Find<CControlUI>("btn_Null")->GetText(), QStringLiteral("鼠标"));
        SaveScreenshot(&s, "setting-chinese");
        EXPECT_TRUE(Click(s, "btn_close"));
    });
}

TEST_F(SettingWindowTest, EveryLanguageOfTheListRetextsTheSettingsAndTheMainWindow) {
    Start();
    WithSetting([&](Setting& s) {
        auto* combo = s.Find<CComboUI>(QStringLiteral("btn_language"));
        ASSERT_EQ(combo->GetCount(), ui::kLanguageCount);
        for (int item = 0; item < combo->GetCount(); ++item) {
            const QString name = combo->GetItemData(item);
            SCOPED_TRACE(name.toStdString());
            ASSERT_TRUE(zor::test::ClickControl(combo));
            ZOR_TRY_VERIFY(combo->DropDown() != nullptr && combo->DropDown()->isVisible());
            auto* menu = qobject_cast<QMenu*>(combo->DropDown());
            ASSERT_NE(menu, nullptr);
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(menu->actions().at(item)).center());
            ZOR_TRY_COMPARE(ui::LanguageName(Set().GetInt("Set", "Language")), name);
            ui::LanguageFile file;
            ASSERT_TRUE(file.Load(folder / "res/Language" / (name.toStdString() + ".ini")));
            EXPECT_EQ(s.FindControl(QStringLiteral("SettingTitle"))->GetText(), file.Find(QStringLiteral("OthersUI"), QStringLiteral("SettingTitle")).value_or(QString()));
            EXPECT_EQ(Find<CControlUI>("btn_Mouse_Apply")->GetText(), ui::QueryLanguageText(file, QStringLiteral("btn_Mouse_Apply"), 0, true));
            // The settings header keeps its last button inside the row in every language.
            CControlUI* more = Find<CControlUI>("btn_Mouse_More");
            EXPECT_LE(more->geometry().right(), more->parentWidget()->width() - 1) << "More is pushed out of its row";
            const QByteArray shots = qgetenv("ZOR_SCREENSHOT_DIR");
            if (!shots.isEmpty()) {
                s.grab().save(QString::fromLocal8Bit(shots) + QStringLiteral("/setting-%1.png").arg(name));
                window->grab().save(QString::fromLocal8Bit(shots) + QStringLiteral("/main-%1.png").arg(name));
            }
        }
        EXPECT_TRUE(Click(s, "btn_close"));
    });
}

TEST_F(SettingWindowTest, ALanguageChangeRetextsAnOpenMessageBox) {
    Start();
    window->Stack().PlugVirtualMouse(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->MessageBox() != nullptr; }, 5000));
    auto* text = window->MessageBox()->FindControl(QStringLiteral("MessageTextNoDevice"));
    const QString english = text->GetText();
    ui::SendMessageTo(window.get(), ui::kMsgLanguageChanged, 0, 0, QStringLiteral("lan_cn"));
    EXPECT_NE(text->GetText(), english);
    EXPECT_TRUE(text->GetText().contains(QStringLiteral("鼠标")));
    EXPECT_EQ(window->MessageBox()->FindControl(QStringLiteral("confirm_btn"))->GetText(),
              QStringLiteral("退出"));
}

TEST_F(SettingWindowTest, ALanguageChosenWhileTheMacroPageIsShownReachesTheMousePages) {
    Start();
    ASSERT_TRUE(zor::test::ClickControl(Find<COptionUI>("opt_nav_light")));
    ASSERT_TRUE(zor::test::ClickControl(Find<COptionUI>("btn_Mac")));
    ui::SendMessageTo(window.get(), ui::kMsgLanguageChanged, 0, 0, QStringLiteral("lan_de"));
    ASSERT_TRUE(zor::test::ClickControl(Find<COptionUI>("btn_Null")));
    ui::LanguageFile german;
    ASSERT_TRUE(german.Load(folder / "res/Language/lan_de.ini"));
    auto* modes = Find<CComboUI>("btn_MouseLed_LedMode");
    ASSERT_NE(modes, nullptr);
    ASSERT_GT(modes->GetCount(), 0);
    EXPECT_EQ(modes->GetItemText(0), german.Find(QStringLiteral("MouseUI"), QStringLiteral("LedModeStatic")));
    for (int i = 0; i < modes->GetCount(); ++i)
        EXPECT_FALSE(modes->GetItemText(i).startsWith(QLatin1String("LedMode")))
            << modes->GetItemText(i).toStdString();

    // The macro page names the mouse buttons of its events in the language in use.
    ASSERT_TRUE(zor::test::ClickControl(Find<COptionUI>("btn_Mac")));
    ASSERT_TRUE(zor::test::ClickControl(
        zor::test::MacroTreeNode(Find<ui::CTreeViewUI>("tre_Macro_GroupDisplay"), 0, 0)));
    ASSERT_EQ(window->Macros().working().device.macVal[0], kMacCodeLeftButton);
    auto* events = Find<ui::CListUI>("list_Macro_KeyDisplay");
    ZOR_TRY_VERIFY(events->GetCount() > 0);
    const auto firstEvent = [&] {
        return window->PaintManager()
            .FindSubControlByName(events->GetItemAt(0), QStringLiteral("key"))
            ->GetText();
    };
    EXPECT_EQ(firstEvent(), german.Find(QStringLiteral("MouseUI"), QStringLiteral("ItemValue1_LeftClick")));
    // and follows a language chosen while it is shown.
    ui::SendMessageTo(window.get(), ui::kMsgLanguageChanged, 0, 0, QStringLiteral("lan_fr"));
    ui::LanguageFile french;
    ASSERT_TRUE(french.Load(folder / "res/Language/lan_fr.ini"));
    ZOR_TRY_VERIFY(events->GetCount() > 0);
    EXPECT_EQ(firstEvent(), french.Find(QStringLiteral("MouseUI"), QStringLiteral("ItemValue1_LeftClick")));
    ASSERT_TRUE(zor::test::ClickControl(Find<COptionUI>("btn_Null")));

    // Units are words of the language, too.
    ui::SendMessageTo(window.get(), ui::kMsgLanguageChanged, 0, 0, QStringLiteral("lan_ar"));
    ASSERT_TRUE(zor::test::ClickControl(Find<COptionUI>("opt_nav_power")));
    EXPECT_EQ(Find<CControlUI>("lab_Sleep_Unit")->GetText(), QStringLiteral("دقيقة"));
}

TEST_F(SettingWindowTest, UnpluggingTheMouseTakesTheWindowAway) {
    Start();
    WithSetting([&](Setting&) { window->Stack().PlugVirtualMouse(false); });
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->MessageBox() != nullptr; }, 5000));
}

TEST_F(SettingWindowTest, TheApplicationsPageEditsTheRulesThatTheFocusedApplicationThenFollows) {
    Start();
    const std::filesystem::path file = paths::AppProfiles(folder);
    WithSetting([&](Setting& s) {
        EXPECT_TRUE(Click(s, "opt_apps"));
        // Offscreen nothing has told the program which application has the focus.
        EXPECT_TRUE(s.FindControl(QStringLiteral("lab_appnosource"))->IsVisible());
        EXPECT_FALSE(s.FindControl(QStringLiteral("row_apprunning"))->IsVisible())
            << "nothing known to offer";
        EXPECT_FALSE(Checked(s, "opt_appprofiles"));
        auto* id = s.Find<ui::CEditUI>(QStringLiteral("edt_appid"));
        auto* profile = s.Find<CComboUI>(QStringLiteral("cmb_appprofile"));
        for (const auto& [app, index] : {std::pair{"Game.desktop", 2}, std::pair{"editor", 1}}) {
            id->SetText(QLatin1String(app));
            profile->SelectItem(index);
            EXPECT_TRUE(Click(s, "btn_appadd"));
            EXPECT_TRUE(id->GetText().isEmpty()) << app;
        }
        const std::string twoRules = zor::test::ReadFile(file);
        id->SetText(QStringLiteral("a=b"));
        EXPECT_TRUE(Click(s, "btn_appadd"));
        EXPECT_TRUE(s.FindControl(QStringLiteral("lab_apperror"))->IsVisible());
        EXPECT_EQ(zor::test::ReadFile(file), twoRules) << "a refused id was written";
        EXPECT_TRUE(Click(s, "opt_appprofiles"));
        s.Find<CComboUI>(QStringLiteral("cmb_appdefault"))->SelectItem(1);  // "Profile 1"
        auto* rows = s.Find<ui::CContainerUI>(QStringLiteral("lst_apprules"));
        EXPECT_EQ(rows->GetCount(), 2);
        if (rows->GetCount() == 2) {
            EXPECT_TRUE(zor::test::ClickControl(
                s.PaintManager().FindSubControlByName(rows->GetItemAt(1), QStringLiteral("AppRuleRemove"))));
        }
        EXPECT_EQ(rows->GetCount(), 1);
        EXPECT_TRUE(Click(s, "btn_close"));
    });
    const control::AppProfilesRead read = control::LoadAppProfiles(file);
    ASSERT_TRUE(read.ok) << read.error;
    EXPECT_TRUE(read.rules.enabled);
    EXPECT_EQ(read.rules.defaultProfile, 0);
    ASSERT_EQ(read.rules.rules.size(), 1u);
    EXPECT_EQ(read.rules.rules[0].appId, "Game.desktop");
    EXPECT_EQ(read.rules.rules[0].profile, 2);

    // A desktop that names the focused application itself (through the D-Bus service): the
    // mouse follows, and an application without a rule gets the default.
    window->FocusedApplication(QStringLiteral("game"));
    EXPECT_TRUE(window->AppProfiles().SourceAvailable());
    EXPECT_TRUE(QTest::qWaitFor([&] { return Mouse().State().activeProfile == 2; }, 5000));
    // The program itself is no application of the rules: the default does not apply to it.
    window->FocusedApplication(QCoreApplication::applicationName());
    QTest::qWait(2 * AppProfileFollower::kSettleMs);
    EXPECT_EQ(Mouse().State().activeProfile, 2);
    window->FocusedApplication(QStringLiteral("org.example.Other"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return Mouse().State().activeProfile == 0; }, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->ApplyRunning(); }, 5000));
    // Applications focused lately are offered for a new rule, the latest first.
    WithSetting([&](Setting& s) {
        EXPECT_TRUE(Click(s, "opt_apps"));
        EXPECT_FALSE(s.FindControl(QStringLiteral("lab_appnosource"))->IsVisible());
        auto* running = s.Find<CComboUI>(QStringLiteral("cmb_apprunning"));
        // Checked without leaving early: the window must close whatever it shows.
        EXPECT_TRUE(running->IsVisible());
        EXPECT_EQ(running->GetCount(), 3);
        running->SelectItem(2);
        EXPECT_EQ(s.Find<ui::CEditUI>(QStringLiteral("edt_appid"))->GetText(), QStringLiteral("game"));
        EXPECT_EQ(running->GetCurSel(), 0);
        EXPECT_TRUE(Click(s, "btn_close"));
    });
}

}  // namespace
}  // namespace zor::app::test
