// The colour picker and the DPI pop-up on both shipped skins, driven by clicks on their windows
// and typing into their fields as a user does; the pop-up's hide timer is a manual one.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QDBusConnection>
#include <QLineEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include "UiTestSupport.h"
#include "settings/gui/PopColorWnd.h"
#include "settings/gui/PopPush.h"
#include "support/TempDir.h"
#include "support/UserInput.h"
#include "ui/Controls.h"

namespace zor {
namespace {

using test::ClickControl;

// A click at a point of a control away from its centre (a slider's end, a corner of the
// palette), delivered to its top-level window.
void ClickAtOffset(QWidget* control, QPoint offset) {
    QWidget* top = control->window();
    test::ClickWindowAt(top, control->mapTo(top, control->rect().center() + offset));
}

using ui::test::UseSkin;

// Receives the messages the picker sends to its opener.
class Opener : public QWidget {
public:
    std::vector<std::pair<qintptr, qintptr>> received;

protected:
    bool event(QEvent* e) override {
        if (e->type() == ui::MessageEvent::EventType()) {
            auto* m = static_cast<ui::MessageEvent*>(e);
            if (m->message == ui::kMsgPopColor) received.emplace_back(m->wParam, m->lParam);
            return true;
        }
        return QWidget::event(e);
    }
};

// Clicks the field and types the text, then Enter.
void TypeInto(ui::CControlUI* field, const QString& text) {
    ClickControl(field);
    auto* line = qobject_cast<ui::CEditUI*>(field)->LineEdit();
    line->setFocus();
    line->selectAll();
    QTest::keyClicks(line, text);
    QTest::keyClick(line, Qt::Key_Return);
}

class ColourPicker : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        UseSkin(QString::fromLatin1(GetParam()));
        ini = dir / "PopColor.ini";
        test::WriteFile(
            ini,
            "[Default]\n0=16711680\n1=65280\n2=255\n3=16776960\n4=65535\n5=16711935\n6=0\n7=16777215\n"
            "[SelfDefine]\n0=1193046\n1=0\n2=0\n3=0\n4=0\n5=0\n6=0\n7=0\n");
        opener.resize(600, 500);
        opener.show();
        picker = CPopColorWnd::Open(&opener, ini, 0xFF102030u);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(picker));
    }
    void TearDown() override {
        if (picker) delete picker.data();
    }
    ui::CControlUI* Control(const char* name) { return picker->FindControl(QLatin1String(name)); }
    QString Text(const char* name) { return Control(name)->GetText(); }

    test::TempDir dir;
    std::filesystem::path ini;
    Opener opener;
    QPointer<CPopColorWnd> picker;
};

TEST_P(ColourPicker, ShowsTheOpenersColourAndTheSwatchesOfTheFile) {
    EXPECT_EQ(picker->CurrentColour(), 0x102030u);  // alpha removed
    EXPECT_EQ(Text("colorHex"), "102030");
    EXPECT_EQ(Text("colorR"), "16");
    EXPECT_EQ(Text("colorG"), "32");
    EXPECT_EQ(Text("colorB"), "48");
    EXPECT_EQ(Control("def_color1")->GetBkColor(), QColor(0, 255, 0));
    EXPECT_EQ(Control("cust_color0")->GetBkColor(), QColor(0x12, 0x34, 0x56));
    QApplication::processEvents();
    const QImage shot = picker->grab().toImage();
    shot.save(QStringLiteral("%1/screenshots/popcolor_%2.png")
                  .arg(ui::test::BuildDir(), QLatin1String(GetParam())));
}

TEST_P(ColourPicker, SwatchesSelectOneAtATimeAndAUserColourFollowsTheFields) {
    ClickControl(Control("def_color2"));
    EXPECT_EQ(picker->SelectedDefault(), 2);
    EXPECT_EQ(picker->SelectedUser(), -1);
    EXPECT_EQ(Text("colorHex"), "0000FF");
    ClickControl(Control("cust_color0"));
    EXPECT_EQ(picker->SelectedDefault(), -1);
    EXPECT_EQ(picker->SelectedUser(), 0);
    EXPECT_EQ(picker->CurrentColour(), 0x123456u);

    TypeInto(Control("colorR"), QStringLiteral("300"));
    EXPECT_EQ(Text("colorR"), "255");
    EXPECT_EQ(picker->CurrentColour(), 0xFF3456u);
    EXPECT_EQ(picker->Colours().user[0], 0xFF3456u);
    EXPECT_EQ(Control("cust_color0")->GetBkColor(), QColor(0xFF, 0x34, 0x56));
    EXPECT_EQ(Text("colorHex"), "FF3456");

    TypeInto(Control("colorHex"), QStringLiteral("a0b1c2"));
    EXPECT_EQ(picker->CurrentColour(), 0xA0B1C2u);
    EXPECT_EQ(Text("colorHex"), "A0B1C2");
    EXPECT_EQ(Text("colorG"), "177");
}

TEST_P(ColourPicker, AHexEntryThatIsNoColourBringsBackTheChosenSwatch) {
    ClickControl(Control("def_color0"));
    TypeInto(Control("colorHex"), QStringLiteral("12G456"));
    EXPECT_EQ(picker->CurrentColour(), 0xFF0000u);
    EXPECT_EQ(Text("colorHex"), "FF0000");
    EXPECT_EQ(picker->Colours().defaults[0], 0xFF0000u);
}

TEST_P(ColourPicker, ThePaletteGivesTheColourUnderThePointer) {
    auto* palette = Control("Pallet");
    ClickAtOffset(palette, QPoint(-palette->width() / 2 + 2, -palette->height() / 2 + 2));
    const std::uint32_t picked = picker->CurrentColour();
    EXPECT_NE(picked, 0x102030u);
    EXPECT_EQ(Text("colorHex").toStdString(), HexColourText(picked));
}

TEST_P(ColourPicker, OkSendsTheColourAndWritesTheUserColoursCancelSendsNothing) {
    ClickControl(Control("cust_color3"));
    TypeInto(Control("colorHex"), QStringLiteral("00ff80"));
    ClickControl(Control("popok"));
    ASSERT_EQ(opener.received.size(), 1u);
    EXPECT_EQ(opener.received[0], (std::pair<qintptr, qintptr>{1, 0x00FF80}));
    EXPECT_EQ(LoadPopColours(ini).user[3], 0x00FF80u);
    ASSERT_TRUE(QTest::qWaitFor([&] { return picker.isNull() || !picker->isVisible(); }));

    picker = CPopColorWnd::Open(&opener, ini, 0x123456u);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(picker));
    ClickControl(Control("cust_color4"));
    TypeInto(Control("colorHex"), QStringLiteral("abcdef"));
    ClickControl(Control("popcancel"));
    EXPECT_EQ(opener.received.size(), 1u);
    EXPECT_EQ(LoadPopColours(ini).user[4], 0u);  // nothing written on Cancel
}

INSTANTIATE_TEST_SUITE_P(Skins, ColourPicker, ::testing::Values("res_black", "res_white"));

TEST(ColourPickerFile, AMissingPresetsFileGivesBlackSwatches) {
    UseSkin(QStringLiteral("res_black"));
    test::TempDir dir;
    Opener opener;
    QPointer<CPopColorWnd> picker = CPopColorWnd::Open(&opener, dir / "PopColor.ini", 0xFFFFFF);
    for (int k = 0; k < kPopColourCount; ++k) {
        EXPECT_EQ(picker->FindControl(QStringLiteral("def_color%1").arg(k))->GetBkColor(), QColor(Qt::black));
        EXPECT_EQ(picker->FindControl(QStringLiteral("cust_color%1").arg(k))->GetBkColor(),
                  QColor(Qt::black));
    }
    delete picker.data();
}

// ---------------------------------------------------------------- the DPI pop-up

class ManualTimer : public PopTimer {
public:
    void Start(int ms) override {
        remaining = ms;
        active = true;
    }
    void Stop() override { active = false; }
    bool IsActive() const override { return active; }
    // Lets ms pass; fires when the time runs out.
    void Advance(int ms) {
        if (!active) return;
        remaining -= ms;
        if (remaining <= 0) {
            active = false;
            if (onTimeout) onTimeout();
        }
    }
    int remaining = 0;
    bool active = false;
};

TEST(PopPushPlacement, TheCornerOfTheWorkAreaOfTheScreenWithThePointer) {
    const std::vector<ScreenArea> screens = {
        {QRect(0, 0, 1920, 1080), QRect(0, 0, 1920, 1040)},               // panel at the bottom
        {QRect(1920, -200, 1280, 1024), QRect(1984, -200, 1216, 1024)}};  // panel on the left
    const QSize size(300, 132);
    EXPECT_EQ(PopPushPosition(screens, QPoint(100, 100), size), QPoint(1620, 908));
    EXPECT_EQ(PopPushPosition(screens, QPoint(2500, 0), size), QPoint(2900, 692));
    // A pointer outside every screen: the first one.
    EXPECT_EQ(PopPushPosition(screens, QPoint(-50, -50), size), QPoint(1620, 908));
    EXPECT_EQ(PopPushPosition({}, QPoint(), size), QPoint());
}

class DpiPopup : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        UseSkin(QString::fromLatin1(GetParam()));
        auto owned = std::make_unique<ManualTimer>();
        timer = owned.get();
        pop = std::make_unique<CPopPush>(std::move(owned));
        pop->SetUseNotification(false);
        pop->CreatePopup();
        pop->SetScreensForTest(
            [] {
                return std::vector<ScreenArea>{{QRect(0, 0, 1280, 800), QRect(0, 0, 1280, 760)}};
            },
            [] { return QPoint(10, 10); });
        pop->SetSliderMax(26000);
    }
    PopPushInfo Info(int level, const char* value) {
        PopPushInfo info;
        info.level = level;
        info.dpiValue = QString::fromLatin1(value);
        info.dpiText = QStringLiteral("DPI");
        info.modeText = QStringLiteral("Profile 1");
        info.deviceName = QStringLiteral("Zor MouseA");
        info.dpi = info.dpiValue.toInt();
        return info;
    }
    QString Text(const char* name) { return pop->FindControl(QLatin1String(name))->GetText(); }

    ManualTimer* timer = nullptr;
    std::unique_ptr<CPopPush> pop;
};

TEST_P(DpiPopup, ShowsTheValuesInTheCornerWithoutTakingTheFocus) {
    pop->Show(Info(3, "1600"));
    EXPECT_TRUE(pop->isVisible());
    EXPECT_TRUE(pop->IsShown());
    EXPECT_EQ(pop->geometry().bottomRight(), QPoint(1279, 759));
    EXPECT_EQ(Text("dpilevel"), "3");
    EXPECT_EQ(Text("dpivalue"), "1600");
    EXPECT_EQ(Text("curmode"), "Profile 1");
    EXPECT_EQ(Text("dev_name"), "Zor MouseA");
    EXPECT_EQ(pop->Find<ui::CSliderUI>(QStringLiteral("slider_dpi"))->GetValue(), 1600);
    // The window system is told never to give it the keyboard (the offscreen platform of the
    // tests activates every window it shows, so the flags are what can be checked here).
    EXPECT_TRUE(pop->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(pop->windowFlags().testFlag(Qt::Tool));
    EXPECT_TRUE(pop->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_EQ(pop->focusPolicy(), Qt::NoFocus);
    pop->grab().save(
        QStringLiteral("%1/screenshots/poppush_%2.png").arg(ui::test::BuildDir(), QLatin1String(GetParam())));

    // A second change while shown only refills it and starts the two seconds again.
    timer->Advance(1500);
    pop->Show(Info(4, "3200"));
    EXPECT_EQ(Text("dpivalue"), "3200");
    timer->Advance(1500);
    EXPECT_TRUE(pop->isVisible());
    timer->Advance(500);
    EXPECT_FALSE(pop->isVisible());
    EXPECT_FALSE(pop->IsShown());
}

TEST_P(DpiPopup, StaysWhileThePointerRestsOnItAndGoesTwoSecondsAfterItLeaves) {
    QCursor::setPos(QPoint(5, 5));
    pop->Show(Info(2, "800"));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(pop.get()));
    // The pointer comes to rest on the pop-up: the two seconds stop.
    QCursor::setPos(pop->mapToGlobal(QPoint(40, 60)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !timer->IsActive(); }));
    timer->Advance(10000);
    EXPECT_TRUE(pop->isVisible());
    // It leaves: two seconds later the pop-up goes.
    QCursor::setPos(QPoint(5, 5));
    ASSERT_TRUE(QTest::qWaitFor([&] { return timer->IsActive(); }));
    EXPECT_EQ(timer->remaining, CPopPush::kHideMs);
    timer->Advance(1999);
    EXPECT_TRUE(pop->isVisible());
    timer->Advance(1);
    EXPECT_FALSE(pop->isVisible());
}

TEST_P(DpiPopup, TheCloseButtonHidesItAtOnce) {
    pop->Show(Info(1, "400"));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(pop.get()));
    ClickControl(pop->FindControl(QStringLiteral("btn_close")));
    EXPECT_FALSE(pop->isVisible());
    EXPECT_FALSE(timer->IsActive());
    pop->Show(Info(1, "400"));
    EXPECT_TRUE(pop->isVisible());
}

INSTANTIATE_TEST_SUITE_P(Skins, DpiPopup, ::testing::Values("res_black", "res_white"));

// A notification service of our own on a private bus records what the pop-up sends.
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public slots:
    unsigned Notify(const QString& app, unsigned replaces, const QString& icon, const QString& summary,
                    const QString& body, const QStringList& actions, const QVariantMap& hints, int timeout) {
        Q_UNUSED(app);
        Q_UNUSED(icon);
        Q_UNUSED(actions);
        Q_UNUSED(hints);
        calls.push_back({replaces, summary, body, timeout});
        return replaces != 0 ? replaces : ++next;
    }

public:
    struct Call {
        unsigned replaces;
        QString summary, body;
        int timeout;
    };
    std::vector<Call> calls;
    unsigned next = 40;
};

TEST(DpiNotification, OnWaylandTheContentGoesToANotificationThatReplacesThePreviousOne) {
    QProcess daemon;
    daemon.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                 QStringLiteral("--print-address")});
    if (!daemon.waitForStarted(5000)) GTEST_SKIP() << "dbus-daemon is not installed";
    ASSERT_TRUE(daemon.waitForReadyRead(5000));
    const QString address = QString::fromUtf8(daemon.readLine()).trimmed();
    {
        QDBusConnection service = QDBusConnection::connectToBus(address, QStringLiteral("zor-test-service"));
        QDBusConnection client = QDBusConnection::connectToBus(address, QStringLiteral("zor-test-client"));
        ASSERT_TRUE(service.isConnected());
        FakeNotifications fake;
        ASSERT_TRUE(service.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &fake,
                                           QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(service.registerService(QStringLiteral("org.freedesktop.Notifications")));

        UseSkin(QStringLiteral("res_black"));
        CPopPush pop(std::make_unique<ManualTimer>(), client);
        pop.SetUseNotification(true);
        pop.CreatePopup();
        PopPushInfo info;
        info.level = 2;
        info.dpiValue = QStringLiteral("1600");
        info.dpiText = QStringLiteral("DPI");
        info.modeText = QStringLiteral("Profile 1");
        info.deviceName = QStringLiteral("Zor MouseA");
        pop.Show(info);
        ASSERT_TRUE(QTest::qWaitFor([&] { return pop.Notification().Answered() == 1; }));
        EXPECT_FALSE(pop.isVisible());
        ASSERT_EQ(fake.calls.size(), 1u);
        EXPECT_EQ(fake.calls[0].replaces, 0u);
        EXPECT_EQ(fake.calls[0].summary, "DPI 1600");
        EXPECT_TRUE(fake.calls[0].body.contains(QStringLiteral("Zor MouseA")));
        EXPECT_EQ(fake.calls[0].timeout, CPopPush::kHideMs);
        info.dpiValue = QStringLiteral("3200");
        pop.Show(info);
        ASSERT_TRUE(QTest::qWaitFor([&] { return pop.Notification().Answered() == 2; }));
        ASSERT_EQ(fake.calls.size(), 2u);
        EXPECT_EQ(fake.calls[1].replaces, 41u);
        EXPECT_EQ(fake.calls[1].summary, "DPI 3200");
        // A burst while a call waits for its answer: the repeat adds nothing and only the newest
        // of the rest follows, replacing the same notification.
        for (const char* value : {"6400", "6400", "800", "1600"}) {
            info.dpiValue = QString::fromLatin1(value);
            pop.Show(info);
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return !pop.Notification().Busy(); }));
        ASSERT_EQ(fake.calls.size(), 4u);
        EXPECT_EQ(fake.calls[2].summary, "DPI 6400");
        EXPECT_EQ(fake.calls[3].summary, "DPI 1600");
        EXPECT_EQ(fake.calls[3].replaces, 41u);
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("zor-test-service"));
    QDBusConnection::disconnectFromBus(QStringLiteral("zor-test-client"));
    daemon.kill();
    daemon.waitForFinished(5000);
}

}  // namespace
}  // namespace zor

#include "PopWindowsTest.moc"
