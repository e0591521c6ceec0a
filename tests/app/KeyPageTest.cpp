// The key page of the running program against the virtual mouse, driven as a
// user drives it: presses on the window at the controls' places, keystrokes
// through the window system. A button gets a function of each kind, a macro and
// a recorded key, and the mouse holds exactly that; the last left click stays;
// the keyboard grab of recording ends on every way out; the wheel edits its own
// slots; over BLE the popup offers less. Screenshots of both skins go to
// <build>/screenshots.
#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QWindow>

#include "MainWindowFixture.h"
#include "app/VirtualMouseWindow.h"
#include "config/MouseConfig.h"
#include "support/UserInput.h"
#include "support/Wait.h"
#include "ui/Language.h"
#include "ui/Messages.h"

namespace zor::app::test {
namespace {

using ui::CCheckBoxUI;
using ui::CControlUI;
using ui::COptionUI;
using zor::test::ClickControl;

constexpr std::uint8_t kKeyWrite = 0x04;
constexpr std::uint8_t kComboKeyWrite = 0x05;
constexpr quint32 kNative = 8;  // native key codes are evdev codes + 8
constexpr quint32 kEvdevA = 30, kEvdevRightCtrl = 97, kEvdevRightAlt = 100;

class KeyPageTest : public MainWindowTest {
protected:
    // The picture layout (Set/OnlyOnePageVersion non-zero) unless a test asks for the list.
    void UseLayout(bool picture) {
        zor::test::WriteFile(folder / "res" / "Set.ini",
                             std::string("[Set]\nLanguage=1\nDpiPopEn=0\nOnlyOnePageVersion=") +
                                 (picture ? "1" : "0") + "\n[CloseConfig]\nCloseOption=0\nRemind=0\n");
    }
    void StartOnKeys(VirtualLinkKind kind = VirtualLinkKind::Cable, bool picture = true) {
        UseLayout(picture);
        Start(kind);
        ASSERT_TRUE(ClickControl(Find<COptionUI>("opt_nav_keys")));
        ASSERT_TRUE(Find<CControlUI>("page_keys")->isVisible());
    }
    CControlUI* Page(const char* name) {
        CControlUI* page = Find<CControlUI>("page_keys");
        return window->PaintManager().FindSubControlByName(page, QLatin1String(name));
    }
    CControlUI* Popup(const char* name) {
        CControlUI* popup = Find<CControlUI>("PopMouseKeySel");
        return window->PaintManager().FindSubControlByName(popup, QLatin1String(name));
    }
    bool PopupOpen() { return Find<CControlUI>("PopMouseKeySel")->isVisible(); }
    void OpenKey(const char* control) {
        ASSERT_TRUE(ClickControl(Page(control)));
        ASSERT_TRUE(PopupOpen());
    }
    bool Selected(const char* name) {
        auto* option = qobject_cast<COptionUI*>(Popup(name));
        return option != nullptr && option->IsSelected();
    }
    const doc::KeyAssignment& Key(int slot) {
        return window->Document().keyTables[static_cast<std::size_t>(window->PagesProfile())].at(
            SlotName(slot));
    }
    std::array<std::uint8_t, 4> MouseKey(int slot) {
        const VirtualMouseState s = Mouse().State();
        const std::uint8_t* bytes = slot >= 16 ? s.comboKeys.data() : s.keys.data();
        const std::size_t at = 4u * static_cast<std::size_t>(slot >= 16 ? slot - 16 : slot);
        return {bytes[at], bytes[at + 1], bytes[at + 2], bytes[at + 3]};
    }
    // A key pressed and released on the keyboard: the window system delivers it.
    void Type(int key, quint32 evdev) {
        // As the window system hands a keystroke to the window: the window passes it on to the
        // widget that grabbed the keyboard, or else to the focus widget.
        for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
            QKeyEvent event(type, key, Qt::NoModifier, evdev + kNative, 0, 0);
            QCoreApplication::sendEvent(window->windowHandle(), &event);
        }
    }
    QWidget* RecordGrab() { return QWidget::keyboardGrabber(); }
    void StartRecording() {
        ASSERT_TRUE(ClickControl(Popup("opt_KBSet_Macro")));
        ASSERT_TRUE(ClickControl(Popup("SetRecordKey")));
        ASSERT_EQ(RecordGrab(), Find<CControlUI>("PopMouseKeySel"));
    }
    // The pictures go to ZOR_SCREENSHOT_DIR when set, else to <build>/screenshots.
    void Shot(const QString& name) {
        QString dirName = qEnvironmentVariable("ZOR_SCREENSHOT_DIR");
        if (dirName.isEmpty())
            dirName = QString::fromStdString((zor::test::BuildDir() / "screenshots").string());
        QDir().mkpath(dirName);
        window->grab().save(dirName + QStringLiteral("/keys_") + name + QStringLiteral(".png"));
    }
};

}  // namespace

TEST_F(KeyPageTest, AFunctionOfEveryCategoryReachesTheMouse) {
    StartOnKeys();
    EXPECT_EQ(Page("btn_MouseKey_Click3")->GetText(), QString::fromStdString(Key(3).text));
    struct Case {
        const char* category;
        const char* item;
        int code;
        std::array<std::uint8_t, 4> bytes;
    };
    const Case cases[] = {
        {"opt_MouseKey_Mouse", "ItemValue3_RightClick", 3, {0x01, 0x02, 0, 0}},
        {"opt_MouseKey_ShortCut", "ItemValue104_Cut", 104, {0x0A, 0x00, 3, 0}},
        {"opt_MouseKey_Media", "ItemValue36_Mute", 36, {0x04, 0xE2, 0, 0}},
        {"opt_MouseKey_DPI", "ItemValue06_DPICycle", 6, {0x08, 0x03, 0, 0}},
        {"opt_MouseKey_Mode", "ItemValue25_Profile3", 25, {0x09, 0x04, 0x02, 0}},
        {"opt_MouseKey_Led", "ItemValue16_LightingModeSwitch", 16, {0x07, 0x04, 0, 0}},
    };
    for (const Case& c : cases) {
        OpenKey("btn_MouseKey_Click3");
        // The title names the button from the first opening on.
        EXPECT_EQ(Popup("lab_PopMouseKey_Key")->GetText(), QStringLiteral("Forward button")) << c.item;
        ASSERT_TRUE(ClickControl(Popup(c.category))) << c.category;
        Mouse().ClearFrames();
        ASSERT_TRUE(ClickControl(Popup(c.item))) << c.item;
        ASSERT_TRUE(WaitApply()) << c.item;
        EXPECT_EQ(Key(3).code, c.code);
        EXPECT_EQ(MouseKey(3), c.bytes) << c.item;
        EXPECT_EQ(Frames(kKeyWrite), 1) << c.item;  // cable: written once
        EXPECT_EQ(Page("btn_MouseKey_Click3")->GetText(), QString::fromStdString(Key(3).text));
        ASSERT_TRUE(ClickControl(Popup("btn_MouseKey_Apply")));
        EXPECT_FALSE(PopupOpen());
    }
}

TEST_F(KeyPageTest, TheKeysNameTheirFunctionsInTheLanguageInUse) {
    StartOnKeys();
    ui::SendMessageTo(window.get(), ui::kMsgLanguageChanged, 0, 0, QStringLiteral("lan_de"));
    ui::LanguageFile german;
    ASSERT_TRUE(german.Load(folder / "res/Language/lan_de.ini"));
    const auto text = [&german](const char* id) {
        return german.Find(QStringLiteral("MouseUI"), QLatin1String(id)).value_or(QStringLiteral("?"));
    };
    EXPECT_EQ(Key(0).code, 1);
    EXPECT_EQ(Page("btn_MouseKey_Click0")->GetText(), text("ItemValue1_LeftClick"));
    EXPECT_EQ(Page("btn_MouseKey_Click1")->GetText(), text("ItemValue3_RightClick"));
    EXPECT_EQ(Page("btn_MouseKey_Click2")->GetText(), text("ItemValue2_MiddleClick"));
    const QString wheel = Page("displaytext")->GetText();
    EXPECT_TRUE(wheel.contains(text("ItemValue27_WheelUp"))) << wheel.toStdString();
    std::filesystem::create_directories(zor::test::BuildDir() / "screenshots");
    window->grab().save(
        QString::fromStdString((zor::test::BuildDir() / "screenshots" / "keys_lan_de.png").string()));
    // A function chosen now is named in German at once.
    OpenKey("btn_MouseKey_Click3");
    ASSERT_TRUE(ClickControl(Popup("opt_MouseKey_Media")));
    ASSERT_TRUE(ClickControl(Popup("ItemValue36_Mute")));
    ASSERT_TRUE(WaitApply());
    EXPECT_EQ(Page("btn_MouseKey_Click3")->GetText(), text("ItemValue36_Mute"));
    ASSERT_TRUE(ClickControl(Popup("btn_MouseKey_Apply")));
    // Back in English the keys show the catalog's short names again.
    ui::SendMessageTo(window.get(), ui::kMsgLanguageChanged, 0, 0, QStringLiteral("lan_en"));
    EXPECT_EQ(Page("btn_MouseKey_Click0")->GetText(), QString::fromStdString(Key(0).text));
}

TEST_F(KeyPageTest, TheListLayoutShowsTheSameKeysAndOpensThePopupToo) {
    StartOnKeys(VirtualLinkKind::Cable, false);
    EXPECT_FALSE(Page("ver_mousekeysel")->isVisible());
    ASSERT_TRUE(Page("ver_mousehid")->isVisible());
    EXPECT_TRUE(Page("lab_MouseKey2_Name1")->isVisible());
    EXPECT_EQ(Page("btn_MouseKey2_Click1")->GetText(), QString::fromStdString(Key(1).text));
    OpenKey("btn_MouseKey2_Click1");
    EXPECT_TRUE(Selected("ItemValue3_RightClick"));
    ASSERT_TRUE(ClickControl(Popup("ItemValue2_MiddleClick")));
    ASSERT_TRUE(WaitApply());
    EXPECT_EQ(MouseKey(1), (std::array<std::uint8_t, 4>{0x01, 0x04, 0, 0}));
    EXPECT_EQ(Page("btn_MouseKey2_Click1")->GetText(), QString::fromStdString(Key(1).text));
}

TEST_F(KeyPageTest, TheOnlyLeftClickStaysAndASecondOneLetsItGo) {
    StartOnKeys();
    OpenKey("btn_MouseKey_Click0");
    EXPECT_TRUE(Selected("ItemValue1_LeftClick"));
    ASSERT_TRUE(ClickControl(Popup("ItemValue3_RightClick")));
    ZOR_TRY_VERIFY_WITH_TIMEOUT(window->MessageBox() != nullptr, 5000);
    EXPECT_EQ(Key(0).code, 1);
    EXPECT_TRUE(Selected("ItemValue1_LeftClick"));
    EXPECT_FALSE(Selected("ItemValue3_RightClick"));
    ASSERT_TRUE(ClickControl(window->MessageBox()->FindControl(QStringLiteral("confirm_btn"))));
    ZOR_TRY_VERIFY_WITH_TIMEOUT(window->MessageBox() == nullptr, 5000);
    ASSERT_TRUE(ClickControl(Popup("btn_MouseKey_Apply")));

    // Button 4 becomes a left click; then button 0 may change.
    OpenKey("btn_MouseKey_Mark4");
    ASSERT_TRUE(ClickControl(Popup("ItemValue1_LeftClick")));
    ASSERT_TRUE(WaitApply());
    ASSERT_TRUE(ClickControl(Popup("btn_MouseKey_Apply")));
    OpenKey("btn_MouseKey_Click0");
    ASSERT_TRUE(ClickControl(Popup("ItemValue3_RightClick")));
    ASSERT_TRUE(WaitApply());
    EXPECT_EQ(Key(0).code, 3);
    EXPECT_EQ(MouseKey(0), (std::array<std::uint8_t, 4>{0x01, 0x02, 0, 0}));
    EXPECT_EQ(MouseKey(4), (std::array<std::uint8_t, 4>{0x01, 0x01, 0, 0}));
}

TEST_F(KeyPageTest, ARecordedKeyIsStoredAsItsVirtualKeyAndTypedAsItsUsage) {
    StartOnKeys();
    OpenKey("btn_MouseKey_Click5");
    StartRecording();
    Type(Qt::Key_Control, kEvdevRightCtrl);
    ZOR_TRY_COMPARE_WITH_TIMEOUT(Popup("SetRecordKey")->GetText(), QStringLiteral("R-Ctrl"), 5000);
    Type(Qt::Key_AltGr, kEvdevRightAlt);
    ZOR_TRY_COMPARE_WITH_TIMEOUT(Popup("SetRecordKey")->GetText(), QStringLiteral("R-Alt"), 5000);
    Type(Qt::Key_A, kEvdevA);
    ZOR_TRY_COMPARE_WITH_TIMEOUT(Popup("SetRecordKey")->GetText(), QStringLiteral("A"), 5000);
    Mouse().ClearFrames();
    ASSERT_TRUE(ClickControl(Popup("BtnRecordConfirm")));
    EXPECT_EQ(RecordGrab(), nullptr);
    ASSERT_TRUE(WaitApply());
    EXPECT_EQ(Key(5).code, 256 + 0x41);
    EXPECT_EQ(Key(5).text, "A");
    EXPECT_EQ(MouseKey(5), (std::array<std::uint8_t, 4>{0x02, 0x04, 0, 0}));
    EXPECT_EQ(Page("btn_MouseKey_Click5")->GetText(), QStringLiteral("A"));

    // Opened again, the popup shows the key in the record field.
    ASSERT_TRUE(ClickControl(Popup("btn_MouseKey_Apply")));
    OpenKey("btn_MouseKey_Click5");
    EXPECT_EQ(Popup("SetRecordKey")->GetText(), QStringLiteral("A"));
    EXPECT_TRUE(Selected("opt_KBSet_Macro"));
}

TEST_F(KeyPageTest, TheKeyboardGrabEndsOnEveryWayOut) {
    StartOnKeys();
    OpenKey("btn_MouseKey_Click6");
    const int code = Key(6).code;
    // Another category.
    StartRecording();
    ASSERT_TRUE(ClickControl(Popup("opt_MouseKey_Media")));
    EXPECT_EQ(RecordGrab(), nullptr);
    // Done, Cancel, and the popup hidden by the program (the window going to the
    // tray).
    for (const char* way : {"btn_MouseKey_Apply", "btn_MouseKey_Cancel"}) {
        if (!PopupOpen()) OpenKey("btn_MouseKey_Click6");
        StartRecording();
        Type(Qt::Key_A, kEvdevA);
        ASSERT_TRUE(ClickControl(Popup(way))) << way;
        EXPECT_EQ(RecordGrab(), nullptr) << way;
        EXPECT_FALSE(PopupOpen());
    }
    OpenKey("btn_MouseKey_Click6");
    StartRecording();
    window->HideToTray();
    EXPECT_EQ(RecordGrab(), nullptr);
    EXPECT_EQ(Key(6).code, code);  // nothing confirmed, nothing stored
}

TEST_F(KeyPageTest, CancelPutsBackWhatTheKeyDidAndSendsItAgain) {
    StartOnKeys();
    const doc::KeyAssignment before = Key(7);
    OpenKey("btn_MouseKey_Click7");
    ASSERT_TRUE(ClickControl(Popup("opt_MouseKey_Media")));
    ASSERT_TRUE(ClickControl(Popup("ItemValue32_VolumeUp")));
    ASSERT_TRUE(WaitApply());
    EXPECT_EQ(MouseKey(7), (std::array<std::uint8_t, 4>{0x04, 0xE9, 0, 0}));
    ASSERT_TRUE(ClickControl(Popup("btn_MouseKey_Cancel")));
    ASSERT_TRUE(WaitApply());
    EXPECT_EQ(Key(7), before);
    EXPECT_EQ(MouseKey(7), (std::array<std::uint8_t, 4>{0x09, 0x03, 0, 0}));  // profile cycle again
}

TEST_F(KeyPageTest, AnOpenPopupFollowsTheMousesProfileChange) {
    StartOnKeys();
    const doc::KeyAssignment first = window->Document().keyTables[0].at(SlotName(3));
    OpenKey("btn_MouseKey_Click3");
    // The mouse's own button moves it to profile 2 while the popup is open.
    const qsizetype runs = applied->count();
    Mouse().Click(MouseButton::Profile);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->PagesProfile() == 1; }, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return applied->count() > runs; }, 5000));
    appliesSeen = applied->count();
    ASSERT_TRUE(PopupOpen());
    Mouse().ClearFrames();
    ASSERT_TRUE(ClickControl(Popup("opt_MouseKey_Media")));
    ASSERT_TRUE(ClickControl(Popup("ItemValue32_VolumeUp")));
    ASSERT_TRUE(WaitApply());
    // The choice is the new profile's, and it is sent; the old profile's key is untouched.
    EXPECT_EQ(window->Document().keyTables[1].at(SlotName(3)).code, 32);
    EXPECT_EQ(window->Document().keyTables[0].at(SlotName(3)), first);
    EXPECT_EQ(Frames(kKeyWrite), 1);
    EXPECT_EQ(MouseKey(3), (std::array<std::uint8_t, 4>{0x04, 0xE9, 0, 0}));
    EXPECT_EQ(Page("btn_MouseKey_Click3")->GetText(), QString::fromStdString(Key(3).text));
}

TEST_F(KeyPageTest, TheWheelDirectionsEditSlotsSixteenAndSeventeen) {
    StartOnKeys();
    ASSERT_TRUE(ClickControl(Page("btn_Mouse_Scr_Up")));
    ASSERT_TRUE(PopupOpen());
    EXPECT_TRUE(Popup("opt_ScrollKey_Base")->isVisible());
    EXPECT_FALSE(Popup("opt_MouseKey_Mouse")->isVisible());
    EXPECT_TRUE(Selected("ItemValue27_ScrollWheelUp"));
    Mouse().ClearFrames();
    ASSERT_TRUE(ClickControl(Popup("ItemValue32_ScrollVolumeUp")));
    ASSERT_TRUE(WaitApply());
    EXPECT_EQ(Key(16).code, 32);
    EXPECT_EQ(Frames(kComboKeyWrite), 1);
    EXPECT_EQ(Frames(kKeyWrite), 0);
    EXPECT_EQ(MouseKey(16), (std::array<std::uint8_t, 4>{0x04, 0xE9, 0, 0}));
    ASSERT_TRUE(ClickControl(Popup("btn_MouseKey_Apply")));

    ASSERT_TRUE(ClickControl(Page("btn_Mouse_Scr_Dn")));
    EXPECT_TRUE(Selected("ItemValue28_ScrollWheelDown"));
    EXPECT_TRUE(qobject_cast<CCheckBoxUI*>(Page("btn_Mouse_Scr_Dn"))->GetCheck());
    EXPECT_FALSE(qobject_cast<CCheckBoxUI*>(Page("btn_Mouse_Scr_Up"))->GetCheck());
    ASSERT_TRUE(ClickControl(Popup("ItemValue33_ScrollVolumeDown")));
    ASSERT_TRUE(WaitApply());
    EXPECT_EQ(MouseKey(17), (std::array<std::uint8_t, 4>{0x04, 0xEA, 0, 0}));
    ASSERT_TRUE(ClickControl(Popup("btn_MouseKey_Apply")));
    ASSERT_TRUE(zor::test::HoverControl(Page("btn_Mouse_Scr_Dn")));
    ZOR_TRY_COMPARE_WITH_TIMEOUT(Page("displaytext")->GetText(), QStringLiteral("Vol-"), 5000);
}

TEST_F(KeyPageTest, HoveringAKeyLightsUpItsMarkAndTheReverse) {
    StartOnKeys();
    ASSERT_TRUE(zor::test::HoverControl(Page("btn_MouseKey_Click1")));
    ZOR_TRY_VERIFY_WITH_TIMEOUT(Page("btn_MouseKey_Mark1")->GetAttribute("normalimage").contains("key1_over"),
                             5000);
    ASSERT_TRUE(zor::test::HoverControl(Page("btn_MouseKey_Mark2")));
    ZOR_TRY_VERIFY_WITH_TIMEOUT(Page("btn_MouseKey_Click2")->GetAttribute("normalimage").contains("key1_over"),
                             5000);
    EXPECT_TRUE(Page("btn_MouseKey_Mark1")->GetAttribute("normalimage").contains("key1_normal"));
}

TEST_F(KeyPageTest, AMacroOfTheLibraryIsPlayedFromTheKeysOwnSlot) {
    StartOnKeys();
    MacroStore& macros = window->Macros();
    int group = -1, macro = -1;
    ASSERT_TRUE(macros.NewGroup(0, u"Games", &group).ok);
    ASSERT_TRUE(macros.NewMacro(group, 0, u"Reload", &macro).ok);
    ASSERT_TRUE(macros.InsertEvent(group, macro, 0, {kMacStatePress, 0x15, 0, 0, 20}).ok);
    ASSERT_TRUE(macros.InsertEvent(group, macro, 1, {kMacStateRelease, 0x15, 0, 0, 20}).ok);
    OpenKey("btn_MouseKey_Click4");
    ASSERT_TRUE(ClickControl(Popup("opt_KBSet_Macro")));
    ASSERT_TRUE(ClickControl(Popup("btn_MouseKey_MacroGroupVal")));
    ZOR_TRY_VERIFY_WITH_TIMEOUT(Popup("macrogrp_list_layout")->isVisible(), 5000);
    ASSERT_TRUE(ClickControl(Popup("mac_grp_list_items")));
    ASSERT_TRUE(ClickControl(Popup("btn_MouseKey_MacroVal")));
    ZOR_TRY_VERIFY_WITH_TIMEOUT(Popup("macro_list_layout")->isVisible(), 5000);
    Mouse().ClearFrames();
    ASSERT_TRUE(ClickControl(Popup("mac_list_items")));
    ASSERT_TRUE(WaitApply());
    EXPECT_EQ(Key(4).code, 120);
    EXPECT_EQ(Key(4).text, "M:Reload");
    EXPECT_EQ(macros.macro(group, macro)->bindCount, 1u);
    EXPECT_EQ(MouseKey(4)[0], 0x0A);
    EXPECT_EQ(MouseKey(4)[2], 4);
    EXPECT_GT(Frames(0x08, 4), 0);
    // Replaced by a plain function, the macro's counter goes back.
    ASSERT_TRUE(ClickControl(Popup("opt_MouseKey_Mouse")));
    ASSERT_TRUE(ClickControl(Popup("ItemValue2_MiddleClick")));
    ASSERT_TRUE(WaitApply());
    EXPECT_EQ(macros.macro(group, macro)->bindCount, 0u);
    EXPECT_TRUE(Key(4).grpGuid.empty());
}

TEST_F(KeyPageTest, OverBleTheRateSwitchIsHiddenAndMacrosCannotBeChosen) {
    UseLayout(true);
    Start();
    VirtualMouseWindow control(window->Stack());
    control.findChild<QPushButton*>(QStringLiteral("vm_ble"))->click();
    ZOR_TRY_VERIFY_WITH_TIMEOUT(window->Stack().Link().bleMode.load() == 1 && !window->ApplyRunning(), 5000);
    ASSERT_TRUE(ClickControl(Find<COptionUI>("opt_nav_keys")));
    OpenKey("btn_MouseKey_Click3");
    EXPECT_FALSE(Popup("ItemValue10_ReportRate")->isVisible());
    ASSERT_TRUE(ClickControl(Popup("opt_KBSet_Macro")));
    EXPECT_FALSE(Popup("btn_MouseKey_MacroGroupVal")->isEnabled());
    EXPECT_FALSE(Popup("btn_MouseKey_MacroVal")->isEnabled());
    ASSERT_TRUE(ClickControl(Popup("btn_MouseKey_Apply")));
    control.findChild<QPushButton*>(QStringLiteral("vm_ble"))->click();
    // Back on the cable the program synchronises (under its overlay) before the page is free again.
    ZOR_TRY_VERIFY_WITH_TIMEOUT(window->Stack().Link().bleMode.load() == 0 && !window->ApplyRunning() &&
                                    zor::test::Reachable(Page("btn_MouseKey_Click3")),
                                10000);
    OpenKey("btn_MouseKey_Click3");
    EXPECT_TRUE(Popup("ItemValue10_ReportRate")->isVisible());
    EXPECT_TRUE(Popup("btn_MouseKey_MacroGroupVal")->isEnabled());
}

// Pictures of the page and of the popup on every category, in both looks.
TEST_F(KeyPageTest, ScreenshotsOfBothSkins) {
    for (const char* skin : {"res_black", "res_white"}) {
        const QString home = QString::fromStdString(folder.string()) + '/';
        ui::CPaintManagerUI::SetResourcePath(home + QLatin1String(skin) + '/');
        ui::SetResourcePrefix(QStringLiteral("./") + QLatin1String(skin));
        window.reset();
        StartOnKeys();
        window->show();
        Shot(QLatin1String(skin) + QStringLiteral("_page"));
        OpenKey("btn_MouseKey_Click1");
        for (const char* category :
             {"opt_MouseKey_Mouse", "opt_MouseKey_ShortCut", "opt_KBSet_Macro", "opt_MouseKey_Media",
              "opt_MouseKey_DPI", "opt_MouseKey_Mode", "opt_MouseKey_Led"}) {
            ASSERT_TRUE(ClickControl(Popup(category)));
            Shot(QLatin1String(skin) + '_' + QLatin1String(category));
        }
        ASSERT_TRUE(ClickControl(Popup("btn_MouseKey_Apply")));
        ASSERT_TRUE(ClickControl(Page("btn_Mouse_Scr_Up")));
        Shot(QLatin1String(skin) + QStringLiteral("_wheel"));
        ASSERT_TRUE(ClickControl(Popup("btn_MouseKey_Apply")));
        // The list layout of the same page.
        window.reset();
        StartOnKeys(VirtualLinkKind::Cable, false);
        window->show();
        Shot(QLatin1String(skin) + QStringLiteral("_list"));
    }
}

}  // namespace zor::app::test

namespace zor::app::test {

TEST_F(KeyPageTest, TheOnScreenKeyboardStartsWhereOneIsInstalledAndOtherwiseTheUserIsTold) {
    StartOnKeys();
    const QByteArray path = qgetenv("PATH");
    const std::filesystem::path bin = dir.path() / "bin";
    std::filesystem::create_directories(bin);
    const std::filesystem::path started = dir.path() / "started";
    zor::test::WriteFile(bin / "onboard", "#!/bin/sh\n: > '" + started.string() + "'\n");
    std::filesystem::permissions(bin / "onboard", std::filesystem::perms::owner_all);

    qputenv("PATH", QByteArray::fromStdString((dir.path() / "empty").string()));
    OpenKey("btn_MouseKey_Click3");
    ASSERT_TRUE(ClickControl(Popup("opt_KBSet_Macro")));
    ASSERT_TRUE(ClickControl(Popup("PopSoftKB")));
    ZOR_TRY_VERIFY_WITH_TIMEOUT(window->MessageBox() != nullptr, 5000);
    EXPECT_TRUE(
        window->MessageBox()->FindControl(QStringLiteral("MessageText"))->GetText().contains("Onboard"));
    ASSERT_TRUE(ClickControl(window->MessageBox()->FindControl(QStringLiteral("confirm_btn"))));
    ZOR_TRY_VERIFY_WITH_TIMEOUT(window->MessageBox() == nullptr, 5000);

    qputenv("PATH", QByteArray::fromStdString(bin.string()));
    ASSERT_TRUE(ClickControl(Popup("PopSoftKB")));
    qputenv("PATH", path);
    ZOR_TRY_VERIFY_WITH_TIMEOUT(std::filesystem::exists(started), 5000);
    EXPECT_EQ(window->MessageBox(), nullptr);
}

}  // namespace zor::app::test
