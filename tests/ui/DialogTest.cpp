// The message box, the close dialog and the tip: their buttons, the messages they send to their
// owner, and a screenshot of each in both skins (build/screenshots).
#include <gtest/gtest.h>
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QTimer>

#include "UiTestSupport.h"
#include "support/TempDir.h"
#include "support/Wait.h"
#include "ui/Dialogs.h"
#include "ui/Language.h"
#include "ui/MenuTray.h"

using namespace zor::ui;
using namespace zor::ui::test;

namespace {

// An owner window that records the messages the dialogs send it.
RecordingWindow* MakeOwner() {
    auto* owner = new RecordingWindow(QStringLiteral("poptip.xml"));
    owner->Create(nullptr, QStringLiteral("owner"), kWsPopup | kWsVisible);
    return owner;
}

class Dialogs : public ::testing::Test {
protected:
    void SetUp() override {
        UseSkin("res_black");
        quits = 0;
        SetQuitHandler([this](int) { ++quits; });
        owner.reset(MakeOwner());
    }
    void TearDown() override {
        SetQuitHandler(nullptr);
        owner.reset();
    }
    // Runs action on the open message box once the modal loop is running.
    static void OnBox(std::function<void(CMsgWnd*)> action) {
        QTimer::singleShot(0, [action] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* box = qobject_cast<CMsgWnd*>(w);
                    box && box->objectName() == "msgwnd" && box->isVisible()) {
                    action(box);
                    return;
                }
            ADD_FAILURE() << "no message box open";
        });
    }
    std::unique_ptr<RecordingWindow> owner;
    int quits = 0;
};

}  // namespace

TEST_F(Dialogs, MessageBoxTypesUseTheirSkinsAndReturnTheChoice) {
    OnBox([](CMsgWnd* box) {
        EXPECT_EQ(box->GetSkinFile(), "msg.xml");
        EXPECT_EQ(box->FindControl("MessageTitle")->GetText(), "Question");
        EXPECT_EQ(box->FindControl("MessageText")->GetText(), "Delete it?");
        EXPECT_EQ(box->FindControl("confirm_btn")->GetText(), "Yes");
        EXPECT_EQ(box->FindControl("cancel_btn")->GetText(), "Cancel");  // empty text keeps the skin's
        Click(box->FindControl("confirm_btn"));
    });
    EXPECT_EQ(CMsgWnd::ShowMessageBox(owner.get(), "Question", "Delete it?", CMsgWnd::kConfirm, "Yes", ""),
              1);
    OnBox([](CMsgWnd* box) { Click(box->FindControl("cancel_btn")); });
    EXPECT_EQ(CMsgWnd::ShowMessageBox(owner.get(), "Q", "M", CMsgWnd::kConfirm), 0);
    OnBox([](CMsgWnd* box) {
        EXPECT_EQ(box->GetSkinFile(), "msg2.xml");
        Click(box->FindControl("closebtn"));
    });
    EXPECT_EQ(CMsgWnd::ShowMessageBox(owner.get(), "Tip", "Saved", CMsgWnd::kInfo), 0);
    EXPECT_EQ(quits, 0);
    EXPECT_TRUE(owner->messages.empty());
}

TEST_F(Dialogs, ConfirmingTheNoDeviceNoticeEndsTheProgramItsCloseButtonHidesToTray) {
    OnBox([](CMsgWnd* box) {
        EXPECT_EQ(box->GetSkinFile(), "msg3.xml");
        EXPECT_TRUE(box->FindControl("MessageTextNoDevice")->IsVisible());
        EXPECT_FALSE(box->FindControl("MessageTextWirelessUnconnect")->IsVisible());
        EXPECT_EQ(box->FindControl("MessageTextNoDevice")->GetText(), "No mouse");
        Click(box->FindControl("confirm_btn"));
    });
    EXPECT_EQ(CMsgWnd::ShowMessageBox(owner.get(), "Tip", "No mouse", CMsgWnd::kNoDevice, "", "",
                                      CMsgWnd::kSubNoDevice),
              1);
    EXPECT_EQ(quits, 1);

    auto* box = CMsgWnd::ShowMessageBoxNonModal(owner.get(), "Tip", "", "", CMsgWnd::kNoDevice);
    box->SetSubType(CMsgWnd::kSubReceiverNotLinked);
    box->SetMsg("wake it");
    EXPECT_TRUE(box->FindControl("MessageTextWirelessUnconnect")->IsVisible());
    EXPECT_FALSE(box->FindControl("MessageTextNoDevice")->IsVisible());
    Click(box->FindControl("closebtn"));
    ASSERT_EQ(owner->messages.size(), 1u);
    EXPECT_EQ(owner->messages[0].msg, unsigned(kMsgMsgBoxHideToTray));
    EXPECT_FALSE(box->IsClosed());  // the owner closes it
    box->Close();

    // Without an owner to hide, the notice closes itself instead of staying on screen for good.
    auto* orphan = CMsgWnd::ShowMessageBoxNonModal(nullptr, "Tip", "No mouse", "", CMsgWnd::kNoDevice);
    Click(orphan->FindControl("closebtn"));
    EXPECT_TRUE(orphan->IsClosed());
}

TEST_F(Dialogs, QuitOnConfirmIsUsedOnceAndSubtypeTwoDoesNotQuit) {
    OnBox([](CMsgWnd* box) {
        EXPECT_TRUE(box->GetQuitOnConfirm());
        Click(box->FindControl("confirm_btn"));
        EXPECT_FALSE(box->GetQuitOnConfirm());
    });
    EXPECT_EQ(CMsgWnd::ShowMessageBox(owner.get(), "", "BLE failed", CMsgWnd::kInfo, "", "", 0, true), 1);
    EXPECT_EQ(quits, 1);
    OnBox([](CMsgWnd* box) { Click(box->FindControl("confirm_btn")); });
    CMsgWnd::ShowMessageBox(owner.get(), "", "link", CMsgWnd::kNoDevice, "", "",
                            CMsgWnd::kSubReceiverNotLinked);
    EXPECT_EQ(quits, 1);
}

TEST_F(Dialogs, EmptyTitleAndMessageKeepTheSkinTexts) {
    auto* box = CMsgWnd::ShowMessageBoxNonModal(owner.get(), "", "", "");
    EXPECT_EQ(box->FindControl("MessageTitle")->GetText(), "Tip");
    box->SetTitle("Error");
    box->SetTitle("");
    EXPECT_EQ(box->FindControl("MessageTitle")->GetText(), "Error");
    box->Close();
}

TEST_F(Dialogs, CloseDialogStartsFromTheStoredChoiceAndReportsOnOk) {
    auto* dlg = new CCloseWnd(1, 1, 1);
    dlg->Create(owner.get(), "CloseWnd", kWsPopup | kWsVisible, kWsExToolWindow);
    auto* exitOpt = dlg->Find<COptionUI>("Exit");
    auto* minimize = dlg->Find<COptionUI>("Minimize");
    auto* notRemind = dlg->Find<CCheckBoxUI>("NotRemindAgain");
    EXPECT_TRUE(exitOpt->IsSelected());
    EXPECT_FALSE(minimize->IsSelected());
    EXPECT_FALSE(notRemind->GetCheck());  // remind 1: "do not ask again" is off
    Click(minimize);
    EXPECT_EQ(dlg->GetCloseOption(), 0);
    EXPECT_TRUE(minimize->IsSelected());
    Click(notRemind);  // now checked: do not remind
    EXPECT_TRUE(notRemind->GetCheck());
    EXPECT_EQ(dlg->GetRemind(), 0);
    Click(dlg->FindControl("OkButton"));
    ASSERT_GE(owner->messages.size(), 3u);
    EXPECT_EQ(owner->messages[0].msg, unsigned(kMsgCloseConfig));
    EXPECT_EQ(owner->messages[0].wParam, 0);
    EXPECT_EQ(owner->messages[0].lParam, -1);
    EXPECT_EQ(owner->messages[1].wParam, -1);
    EXPECT_EQ(owner->messages[1].lParam, 0);  // Remind = 0: the next close acts at once
    EXPECT_EQ(owner->messages[2].msg, unsigned(kMsgCloseAct));
    EXPECT_TRUE(dlg->IsClosed());
    ZOR_TRY_COMPARE(owner->messages.size(), size_t(4));  // 2070 posted when it went away
    EXPECT_EQ(owner->messages[3].msg, unsigned(kMsgCloseWndGone));
}

TEST_F(Dialogs, CancellingTheCloseDialogChangesNothing) {
    for (const char* button : {"CancelButton", "btn_close"}) {
        owner->messages.clear();
        auto* dlg = new CCloseWnd(0, 0, 1);
        dlg->Create(owner.get(), "CloseWnd", kWsPopup | kWsVisible, kWsExToolWindow);
        EXPECT_TRUE(dlg->Find<COptionUI>("Minimize")->IsSelected());
        EXPECT_TRUE(dlg->Find<CCheckBoxUI>("NotRemindAgain")->GetCheck());
        Click(dlg->FindControl("Exit"));
        Click(dlg->FindControl(button));
        EXPECT_TRUE(dlg->IsClosed());
        ZOR_TRY_COMPARE(owner->messages.size(), size_t(1));
        EXPECT_EQ(owner->messages[0].msg, unsigned(kMsgCloseWndGone)) << button;
    }
}

TEST_F(Dialogs, TipHidesWhenTheMouseMovesOntoIt) {
    auto* tip = new CPopTipWnd;
    tip->Create(owner.get(), "PopTipWnd", kWsPopup, kWsExToolWindow);
    EXPECT_FALSE(tip->isVisible());
    tip->ShowTip("Left button", QPoint(40, 40));
    ASSERT_TRUE(tip->isVisible());
    EXPECT_EQ(tip->FindControl("tip_text")->GetText(), "Left button");
    QTest::mouseMove(tip->FindControl("tip_text"), QPoint(5, 5));
    ZOR_TRY_VERIFY(!tip->isVisible());
    delete tip;
}

// Screenshots of every dialog in both skins, with the English texts, for people to look at.
TEST(DialogScreenshots, EveryDialogInBothSkins) {
    const QString folder = BuildDir() + "/screenshots";
    QDir().mkpath(folder);
    LanguageManager language(zor::test::SourceDir());
    CPaintManagerUI scratch;
    language.Apply(kEnglishIndex, scratch, nullptr, nullptr, {});
    const LanguageFile& en = language.Current();
    auto text = [&](const char* id) { return en.Find("OthersUI", id).value_or(QString()); };
    for (const char* skin : {"res_black", "res_white"}) {
        UseSkin(skin);
        std::vector<std::pair<QString, WindowImplBase*>> shots;
        auto* info = CMsgWnd::ShowMessageBoxNonModal(nullptr, text("Tip"), text("ImportErr"), "",
                                                     CMsgWnd::kInfo, text("MessageOK"));
        shots.emplace_back("msg_info", info);
        auto* confirm =
            CMsgWnd::ShowMessageBoxNonModal(nullptr, text("Tip"), text("maxDataWarn"), text("MessageCancel"),
                                            CMsgWnd::kConfirm, text("MessageOK"));
        shots.emplace_back("msg_confirm", confirm);
        auto* none = new CMsgWnd(CMsgWnd::kNoDevice);
        none->SetSubType(CMsgWnd::kSubNoDevice);
        none->Create(nullptr, "msgwnd", kWsPopup | kWsVisible);
        none->SetTitle(text("Tip"));
        none->SetMsg(text("NoDevice"));
        none->SetButtonTexts(text("NoDeviceExit"), "");
        shots.emplace_back("msg_nodevice", none);
        auto* unlinked = new CMsgWnd(CMsgWnd::kNoDevice);
        unlinked->SetSubType(CMsgWnd::kSubReceiverNotLinked);
        unlinked->Create(nullptr, "msgwnd", kWsPopup | kWsVisible);
        unlinked->SetTitle(text("Tip"));
        unlinked->SetMsg(text("WirelessUnconnect1") + "\n" + text("WirelessUnconnect2") + "\n" +
                         text("WirelessUnconnect3"));
        unlinked->SetButtonTexts(text("MessageOK"), "");
        shots.emplace_back("msg_unlinked", unlinked);
        auto* closeDlg = new CCloseWnd(0, 1, kEnglishIndex);
        closeDlg->Create(nullptr, "CloseWnd", kWsPopup | kWsVisible);
        shots.emplace_back("close", closeDlg);
        auto* tip = new CPopTipWnd;
        tip->Create(nullptr, "PopTipWnd", kWsPopup);
        tip->ShowTip("Left button: click", QPoint(10, 10));
        shots.emplace_back("tip", tip);
        {
            auto* menuOwner = new RecordingWindow("poptip.xml");
            menuOwner->Create(nullptr, "owner", kWsPopup);
            CMenuWnd* menu = CMenuWnd::CreateMenu(menuOwner, "tray_menu.xml", QPoint(), nullptr,
                                                  CMenuWnd::Report::Message, false);
            ASSERT_NE(menu, nullptr);
            menu->Menu()->adjustSize();
            EXPECT_TRUE(menu->Menu()->grab().save(folder + "/" + skin + "_tray_menu.png"));
            delete menuOwner;
        }
        for (auto& [name, wnd] : shots) {
            ASSERT_TRUE(QTest::qWaitForWindowExposed(wnd));
            const QImage image = wnd->grab().toImage();
            EXPECT_FALSE(image.isNull());
            // A finished dialog is opaque in its middle (a missing background shows through).
            EXPECT_EQ(qAlpha(image.pixel(image.width() / 2, image.height() / 2)), 255) << name.toStdString();
            EXPECT_TRUE(image.save(folder + "/" + skin + "_" + name + ".png")) << name.toStdString();
            delete wnd;
        }
    }
    CResourceManager::GetInstance().SetTextQueryInterface(nullptr);
}

// The program icon holds its few drawn sizes, each showing the picture, and nothing for a file
// that is no picture.
TEST(ProgramIcon, HoldsTheSmallSizesDrawnFromTheSvg) {
    const QString svg =
        QString::fromStdString((zor::test::SourceDir() / "res/res_black/common/tray.svg").string());
    const QIcon icon = ProgramIcon(svg);
    const QList<QSize> sizes = icon.availableSizes();
    EXPECT_EQ(sizes.size(), 6);
    EXPECT_TRUE(sizes.contains(QSize(16, 16)));
    EXPECT_TRUE(sizes.contains(QSize(64, 64)));
    for (const QSize& size : sizes) {
        EXPECT_LE(size.width(), 64);
        const QImage picture = icon.pixmap(size).toImage();
        ASSERT_EQ(picture.size(), size);
        // The centre of the picture is the icon's blue plate or its white mark, never empty.
        EXPECT_GT(qAlpha(picture.pixel(size.width() / 2, size.height() / 4)), 200) << size.width();
    }
    zor::test::TempDir dir;
    zor::test::WriteFile(dir / "broken.svg", "<svg");
    EXPECT_TRUE(ProgramIcon(QString::fromStdString((dir / "broken.svg").string())).isNull());
    EXPECT_TRUE(ProgramIcon(QStringLiteral("/nonexistent/tray.svg")).isNull());
}
