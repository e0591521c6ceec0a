// The lighting page, the colour picker and the DPI pop-up in the main window over the virtual
// mouse: the mouse's own buttons, the picker's answer (message 2025) and the lighting master
// switch of the settings in every push.
#include "MainWindowFixture.h"

#include "PickerAnswer.h"
#include "support/UserInput.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QMenu>
#include <QTimer>
#include <mutex>

#include "common/IniFile.h"
#include "settings/gui/PopColorWnd.h"

namespace zor::app::test {
namespace {

using zor::test::ClickControl;

// The mode byte of every op-9 header frame the mouse received.
std::vector<std::uint8_t> LightingHeaders(VirtualMouse& mouse) {
    std::vector<std::uint8_t> bytes;
    for (const Report& r : mouse.Frames())
        if (r[3] == 0x09 && r[6] == 0 && r[7] == 0) bytes.push_back(r[9]);
    return bytes;
}

TEST_F(MainWindowTest, TheMousesLightingButtonMovesTheLightingPage) {
    Start();
    const int before = window->Document().led[0][0].curselmode;
    ASSERT_EQ(before, 0);
    Mouse().Click(MouseButton::Lighting);  // device mode 1 -> 2, the page's mode 1
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->Document().led[0][0].curselmode == 1; }, 5000));
    EXPECT_EQ(window->Light().CurrentDeviceMode(), 2);
}

// The power options decide the switch (PowerOptions::Device); every push carries it.
TEST_F(MainWindowTest, TheLightingSwitchOfTheSettingsReachesEveryPush) {
    IniFile(folder / "res" / "Set.ini").WriteString("Set", "SavePowerSelect", "1");
    Start();
    const auto atStart = LightingHeaders(Mouse());
    ASSERT_FALSE(atStart.empty());
    for (std::uint8_t b : atStart) EXPECT_EQ(b & 0x40, 0x40);
    EXPECT_EQ(Mouse().State().lighting[0] & 0x40, 0x40);

    IniFile(folder / "res" / "Set.ini").WriteString("Set", "SavePowerSelect", "0");
    Mouse().ClearFrames();
    ui::PostMessageTo(window.get(), ui::kMsgApply, 9, 0);
    ASSERT_TRUE(WaitApply());
    const auto edit = LightingHeaders(Mouse());
    ASSERT_FALSE(edit.empty());
    for (std::uint8_t b : edit) EXPECT_EQ(b & 0x40, 0);
    EXPECT_EQ(Mouse().State().lighting[0], 1);
}

TEST_F(MainWindowTest, AGearColourComesBackFromThePickerAsMessage2025AndIsSent) {
    zor::test::WriteFile(folder / "res" / "MouseVarn" / "MouseA" / "Config" / "PopColor.ini",
                         "[Default]\n0=65408\n1=255\n");
    Start();
    Mouse().ClearFrames();
    {
        PickerAnswer answer("def_color0", "popok");
        ClickControl(Find<ui::CControlUI>("btn_MouseAdv_Color2"));  // returns when the picker has closed
        EXPECT_TRUE(answer.answered);
    }
    ASSERT_TRUE(WaitApply());
    EXPECT_EQ(window->Document().adv[0].gears[2].colour, 0x00FF80u);
    EXPECT_GT(Frames(0x07), 0);
    const auto stored = Mouse().State().dpiColours;
    EXPECT_EQ((std::array<std::uint8_t, 3>{stored[6], stored[7], stored[8]}),
              (std::array<std::uint8_t, 3>{0xFF, 0x80, 0x00}));

    // Cancelled: nothing changes and nothing is sent.
    Mouse().ClearFrames();
    const std::uint32_t before = window->Document().adv[0].gears[3].colour;
    {
        PickerAnswer answer("def_color1", "popcancel");
        ClickControl(Find<ui::CControlUI>("btn_MouseAdv_Color3"));
        EXPECT_TRUE(answer.answered);
    }
    QCoreApplication::processEvents();
    EXPECT_FALSE(window->ApplyRunning());
    EXPECT_EQ(window->Document().adv[0].gears[3].colour, before);
    EXPECT_EQ(Frames(0x07), 0);
}

// A notification service on the session bus that records each Notify call, made without moc.
// Qt hands it the calls on its D-Bus thread.
class NotificationRecorder : public QDBusVirtualObject {
public:
    struct Call {
        uint replaces;
        QString summary, body;
    };
    static constexpr uint kId = 7;  // the id each new notification gets
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.member() != QLatin1String("Notify")) return false;
        const QVariantList args = message.arguments();
        if (args.size() != 8) return false;
        const uint replaces = args[1].toUInt();
        {
            std::lock_guard lock(m_mutex);
            m_calls.push_back({replaces, args[3].toString(), args[4].toString()});
        }
        connection.send(message.createReply(QVariant::fromValue(replaces != 0 ? replaces : kId)));
        return true;
    }
    QString introspect(const QString&) const override { return {}; }
    std::vector<Call> Calls() {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }

private:
    std::mutex m_mutex;
    std::vector<Call> m_calls;
};

TEST_F(MainWindowTest, TheDpiButtonSlidesThePopupInOnlyWhenItIsSwitchedOn) {
    // Where windows may not place themselves (Wayland) the pop-up's content goes to the desktop's
    // notification service instead; the test's own service on the session bus records it.
    const bool wayland = QGuiApplication::platformName() == QLatin1String("wayland");
    const QString serviceName = QStringLiteral("zor-test-notifications");
    std::unique_ptr<NotificationRecorder> notifications;
    if (wayland) {
        QDBusConnection service = QDBusConnection::connectToBus(QDBusConnection::SessionBus, serviceName);
        ASSERT_TRUE(service.isConnected()) << "the Wayland run needs a session bus";
        notifications = std::make_unique<NotificationRecorder>();
        ASSERT_TRUE(service.registerVirtualObject(QStringLiteral("/org/freedesktop/Notifications"),
                                                  notifications.get()));
        ASSERT_TRUE(service.registerService(QStringLiteral("org.freedesktop.Notifications")));
    }
    struct Unregister {
        QString name;
        ~Unregister() { QDBusConnection::disconnectFromBus(name); }
    } unregister{serviceName};

    Start();
    const auto& adv = window->Document().adv[0];
    // The gear the mouse moves to (the mouse may start on any gear).
    const auto moved = [&](int from) { return QTest::qWaitFor([&] { return adv.cruseldpi != from; }, 5000); };
    const auto GearLabel = [&] {
        return QString::fromStdString(
            window->Dpi().Table().Label(adv.gears[static_cast<std::size_t>(adv.cruseldpi)].value));
    };
    const auto DeviceName = [&] {
        return QString::fromStdString(window->Stack().SelectedEntry()->displayName);
    };
    Mouse().Click(MouseButton::Dpi);
    ASSERT_TRUE(moved(adv.cruseldpi));
    EXPECT_EQ(window->DpiPopup(), nullptr);  // DpiPopEn=0

    IniFile(folder / "res" / "Set.ini").WriteString("Set", "DpiPopEn", "1");
    Mouse().Click(MouseButton::Dpi);
    ASSERT_TRUE(moved(adv.cruseldpi));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->DpiPopup() != nullptr; }, 5000));
    CPopPush* pop = window->DpiPopup();
    if (wayland) {
        // The mouse's reports that announce the gear make one notification, each later call
        // replacing the first, and the last one shows the gear the mouse is on.
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return pop->Notification().Answered() > 0 && !pop->Notification().Busy(); }, 5000));
        const auto calls = notifications->Calls();
        ASSERT_FALSE(calls.empty());
        for (std::size_t i = 0; i < calls.size(); ++i)
            EXPECT_EQ(calls[i].replaces, i == 0 ? 0u : NotificationRecorder::kId) << i;
        EXPECT_EQ(calls.back().summary, QStringLiteral("DPI ") + GearLabel());
        EXPECT_TRUE(calls.back().body.contains(DeviceName())) << calls.back().body.toStdString();
        EXPECT_FALSE(pop->isVisible());
        return;
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return pop->IsShown(); }, 5000));
    EXPECT_EQ(pop->FindControl(QStringLiteral("dpilevel"))->GetText(), QString::number(adv.cruseldpi + 1));
    EXPECT_EQ(pop->FindControl(QStringLiteral("dpivalue"))->GetText(), GearLabel());
    EXPECT_EQ(pop->FindControl(QStringLiteral("dev_name"))->GetText(), DeviceName());
    EXPECT_TRUE(pop->TimerActive());
}

}  // namespace
}  // namespace zor::app::test

namespace zor::app::test {
namespace {

// Picks the item carrying `data` in a drop-down as a user does: open it, click the item.
void PickItem(ui::CComboUI* list, int data) {
    ClickControl(list);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return list->DropDown() != nullptr && list->DropDown()->isVisible(); }));
    int index = -1;
    for (int i = 0; i < list->GetCount() && index < 0; ++i)
        if (list->GetItemData(i).toInt() == data) index = i;
    ASSERT_GE(index, 0) << "no item for " << data;
    auto* menu = qobject_cast<QMenu*>(list->DropDown());
    ASSERT_NE(menu, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
    QTest::mouseClick(menu->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                      menu->actionGeometry(menu->actions().at(index)).center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->GetCurSel() == index; }));
}

TEST_F(MainWindowTest, AModeItsColoursAndLevelsChosenOnThePageReachTheVirtualMouse) {
    Start();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    ClickControl(Find<ui::CControlUI>("opt_nav_light"));
    auto* list = Find<ui::CComboUI>("btn_MouseLed_LedMode");
    ASSERT_NE(list, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->isVisible(); }));
    PickItem(list, 7);  // neon
    ASSERT_TRUE(WaitApply());
    std::filesystem::create_directories(zor::test::BuildDir() / "screenshots");
    window->grab().save(QString::fromStdString((zor::test::BuildDir() / "screenshots" / "main_light.png").string()));
    EXPECT_EQ(window->Document().led[0][0].curselmode, 7);
    EXPECT_EQ(Mouse().State().lighting[0] & 0x3F, 8);

    ClickControl(Find<ui::CControlUI>("chk_MouseLed_ColEn3"));
    ASSERT_TRUE(WaitApply());
    ClickControl(Find<ui::CControlUI>("opt_MouseLed_TwowayVal"));
    ASSERT_TRUE(WaitApply());
    ClickControl(Find<ui::CControlUI>("btn_Mouse_Apply"));
    ASSERT_TRUE(WaitApply());

    // The block of device mode 8 holds the page's values.
    const auto& mode = window->Document().led[0][7];
    const auto state = Mouse().State().lighting;
    const std::size_t block = 25 * 8;
    EXPECT_EQ(state[block + 0], mode.brightnessvalue);
    EXPECT_EQ(state[block + 1], mode.frequencyvalue);
    EXPECT_EQ(state[block + 2], 2);
    EXPECT_EQ(state[block + 3] & 0x08, 0);
    EXPECT_EQ(state[block + 3], window->Document().Profile(0).lighting.params[3]);
}

}  // namespace
}  // namespace zor::app::test
