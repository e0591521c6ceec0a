// zorctl while the program runs: its commands go to the program's service on the session bus
// (a private one: the test runs under dbus-run-session) and work on the window's own document,
// with the texts, exit codes and frames of the in-process way, which a second copy of the
// program folder gives for comparison. The window's Apply afterwards keeps the change.
#include <QApplication>
#include <QDBusConnection>
#include <QProcess>
#include <QVariantMap>
#include <nlohmann/json.hpp>
#include <sstream>

#include "../MainWindowFixture.h"
#include "app/ControlService.h"
#include "common/Text.h"
#include "config/MouseConfig.h"
#include "control/ServiceNames.h"
#include "device/DeviceMessages.h"
#include "settings/LightingRules.h"
#include "settings/PowerOptions.h"
#include "support/UserInput.h"

namespace zor::app::test {

// Collects the service's PropertiesChanged signals.
class PropertyListener : public QObject {
    Q_OBJECT
public:
    QVariantMap changed;
public slots:
    void OnChanged(const QString&, const QVariantMap& values, const QStringList&) {
        for (auto it = values.cbegin(); it != values.cend(); ++it) changed.insert(it.key(), it.value());
    }
};

namespace {

struct ZorctlRun {
    int code = -1;
    std::string out;
    std::string err;
};

// zorctl on home, the event loop running meanwhile: the service it calls lives in this process.
ZorctlRun Zorctl(const std::filesystem::path& home, const QStringList& args) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("ZOR_DEBUG"));
    process.setProcessEnvironment(env);
    process.start(QString::fromStdString((zor::test::BuildDir() / "tools" / "zorctl" / "zorctl").string()),
                  QStringList{QStringLiteral("--home"), QString::fromStdString(home.string())} + args);
    ZorctlRun run;
    if (!process.waitForStarted(5000) ||
        !QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 60000))
        return run;
    run.code = process.exitCode();
    run.out = process.readAllStandardOutput().toStdString();
    run.err = process.readAllStandardError().toStdString();
    return run;
}

// The trace lines of a run with the two bytes that differ between any two runs of the same
// change masked: the transport's frame counter and a freshly drawn profile identifier.
std::vector<std::string> TraceFrames(const std::string& err) {
    std::vector<std::string> frames;
    std::istringstream lines(err);
    for (std::string line; std::getline(lines, line);) {
        if (line.size() < 2 || (line[0] != '>' && line[0] != '<')) continue;
        std::vector<std::string> bytes;
        std::istringstream words(line);
        for (std::string word; words >> word;) bytes.push_back(word);
        if (bytes.size() > 11) {
            bytes[5] = "..";
            if (bytes[4] == "02" && bytes[6] == "01") bytes[10] = bytes[11] = "..";
        }
        std::string masked;
        for (const std::string& b : bytes) masked += (masked.empty() ? "" : " ") + b;
        frames.push_back(masked);
    }
    return frames;
}

// The <interface> element of name in an introspection text, one line per tag, without comments.
std::string InterfaceElement(const std::string& xml, const std::string& name) {
    const std::size_t begin = xml.find("<interface name=\"" + name + "\"");
    const std::size_t end = xml.find("</interface>", begin);
    if (begin == std::string::npos || end == std::string::npos) return {};
    std::istringstream lines(xml.substr(begin, end - begin));
    std::string element;
    for (std::string line; std::getline(lines, line);) {
        const std::size_t start = line.find_first_not_of(' ');
        if (start != std::string::npos) element += line.substr(start) + '\n';
    }
    return element;
}

QString TextOf(const ui::CEditUI* edit) {
    return edit != nullptr ? edit->GetText() : QStringLiteral("(no such box)");
}

int StoredUsbRate(const std::filesystem::path& modelFolder) {
    const auto doc = nlohmann::json::parse(zor::test::ReadFile(MouseConfigPath(modelFolder)));
    return doc["mouseconfig"]["mouseadv"][0]["rateusbvalue"].get<int>();
}

TEST_F(MainWindowTest, ZorctlWorksThroughTheRunningProgramAsItWouldInProcessAndApplyKeepsTheChange) {
    // The in-process twin: the same files, its own virtual mouse.
    const std::filesystem::path twin = dir.path() / "twin";
    std::filesystem::copy(folder, twin, std::filesystem::copy_options::recursive);
    Start();
    ControlService service(*window);
    ASSERT_TRUE(service.Register(QDBusConnection::sessionBus()));
    PropertyListener listener;
    ASSERT_TRUE(QDBusConnection::sessionBus().connect(
        QLatin1String(control::kServiceName), QLatin1String(control::kServicePath),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"), &listener,
        SLOT(OnChanged(QString, QVariantMap, QStringList))));
    // The interface the program answers is the one its documentation gives.
    const QDBusMessage introspected = QDBusConnection::sessionBus().call(QDBusMessage::createMethodCall(
        QLatin1String(control::kServiceName), QLatin1String(control::kServicePath),
        QStringLiteral("org.freedesktop.DBus.Introspectable"), QStringLiteral("Introspect")));
    ASSERT_EQ(introspected.type(), QDBusMessage::ReplyMessage);
    const std::string documented = InterfaceElement(
        zor::test::ReadFile(zor::test::SourceDir() / "docs" / "example.zormouse.ZorMouse.xml"),
        control::kServiceInterface);
    ASSERT_FALSE(documented.empty());
    EXPECT_EQ(InterfaceElement(introspected.arguments().value(0).toString().toStdString(),
                               control::kServiceInterface),
              documented);

    // Both ways on the virtual mouse, as the window runs on it.
    const QStringList alone = {QStringLiteral("--standalone"), QStringLiteral("--virtual")};
    const QStringList program = {QStringLiteral("--virtual")};
    const std::filesystem::path modelFolder = window->ModelFolder();
    const std::filesystem::path twinModel = twin / modelFolder.lexically_relative(folder);

    // A read answers what the in-process way answers.
    const ZorctlRun get = Zorctl(folder, program + QStringList{QStringLiteral("--json"), QStringLiteral("get")});
    const ZorctlRun getAlone =
        Zorctl(twin, alone + QStringList{QStringLiteral("--json"), QStringLiteral("get")});
    EXPECT_EQ(get.code, 0) << get.err;
    EXPECT_EQ(get.out, getAlone.out);

    // A refusal: the same one line and exit code, nothing changed.
    const QStringList badRate = {QStringLiteral("set"), QStringLiteral("rate"), QStringLiteral("--profile"),
                                 QStringLiteral("0"), QStringLiteral("333")};
    const ZorctlRun refused = Zorctl(folder, program + badRate);
    EXPECT_EQ(refused.code, 1);
    EXPECT_EQ(refused.err, "zorctl: 333 Hz is not offered here; the rates are 125, 250, 500, 1000 Hz\n");
    EXPECT_EQ(refused.err, Zorctl(twin, alone + badRate).err);
    // Real devices asked for while the program runs on the virtual mouse: refused, not done beside it.
    const ZorctlRun mismatch = Zorctl(folder, badRate);
    EXPECT_EQ(mismatch.code, 1);
    EXPECT_EQ(mismatch.err,
              "zorctl: zormouse runs for this program folder with the virtual mouse: add --virtual, or give "
              "--standalone to work beside it\n");

    // The change reaches the window's document, its page, the file and the window's mouse at
    // once, with the frames the in-process way sends for it (after its own identity read).
    ASSERT_EQ(window->Document().adv[0].rateusbvalue, 0);
    Mouse().ClearFrames();
    const QStringList rate = {QStringLiteral("--trace"),   QStringLiteral("set"), QStringLiteral("rate"),
                              QStringLiteral("--profile"), QStringLiteral("0"),   QStringLiteral("500")};
    const ZorctlRun set = Zorctl(folder, program + rate);
    const ZorctlRun setAlone = Zorctl(twin, alone + rate);
    ASSERT_EQ(set.code, 0) << set.err;
    EXPECT_EQ(set.out, "report rate of profile 0 set to 500 Hz\n");
    EXPECT_EQ(set.out, setAlone.out);
    const std::vector<std::string> frames = TraceFrames(set.err), framesAlone = TraceFrames(setAlone.err);
    ASSERT_FALSE(frames.empty());
    ASSERT_GT(framesAlone.size(), frames.size());
    EXPECT_EQ(frames, std::vector<std::string>(framesAlone.end() - static_cast<long>(frames.size()),
                                               framesAlone.end()));
    EXPECT_EQ(window->Document().adv[0].rateusbvalue, 2);
    EXPECT_TRUE(Find<ui::COptionUI>("opt_MouseUsbRate2")->IsSelected());
    EXPECT_EQ(StoredUsbRate(modelFolder), 2);
    EXPECT_EQ(StoredUsbRate(twinModel), 2);
    EXPECT_EQ(Frames(0x03), 1);

    // The window's Apply saves the document it holds, which has the change.
    WaitApply(0);
    ASSERT_TRUE(zor::test::ClickControl(Find<ui::CButtonUI>("btn_Mouse_Apply")));
    ASSERT_TRUE(WaitApply());
    EXPECT_EQ(StoredUsbRate(modelFolder), 2);

    // A DPI gear, a power option and a lighting colour go through the program the same way:
    // the window's document, its page and the file show each at once, with the in-process frames;
    // the last edits another profile, which the program selects first, as zorctl does in-process.
    const int gear = 3;
    ASSERT_GT(window->Document().gearCount, gear);
    const auto& labels = window->Dpi().Table().Labels();
    const int dpi = std::prev(labels.end())->first == window->Document().adv[0].gears[gear].value
                        ? labels.begin()->first
                        : std::prev(labels.end())->first;
    const int mode = CurrentLightingMode(window->Document(), 1);
    ASSERT_GE(mode, 0);
    const auto stored = [&] {
        MouseConfigDocument document;
        EXPECT_TRUE(document.Load(modelFolder).ok);
        return document;
    };
    struct Edit {
        const char* page;  // the navigation option of the page that shows the edit
        QStringList args;
        std::string out;
        std::function<void()> shown;  // by the document, the page and the file
    };
    const std::vector<Edit> edits = {
        {"opt_nav_dpi",
         {QStringLiteral("set"), QStringLiteral("dpi"), QStringLiteral("--profile"), QStringLiteral("0"),
          QStringLiteral("--gear"), QString::number(gear), QStringLiteral("--value"), QString::number(dpi)},
         Format("gear %d of profile 0 set\n", gear),
         [&] {
             EXPECT_EQ(window->Document().adv[0].gears[gear].value, dpi);
             EXPECT_EQ(TextOf(Find<ui::CEditUI>(Format("MouseAdv_Edit%d", gear).c_str())),
                       QString::number(dpi));
             EXPECT_EQ(stored().adv[0].gears[gear].value, dpi);
         }},
        // Three single writes, each in a run of its own.
        {"opt_nav_power",
         {QStringLiteral("set"), QStringLiteral("power"), QStringLiteral("LODHeight=1"),
          QStringLiteral("PDTime=20"), QStringLiteral("SleepTime=7")},
         "SleepTime=7\nPDTime=20\nLODHeight=1\n",
         [&] {
             const PowerValues values = PowerOptions(folder / "res/Set.ini").Load();
             EXPECT_EQ(values.Get(PowerKey::SleepTime), 7);
             EXPECT_EQ(values.Get(PowerKey::PDTime), 20);
             EXPECT_EQ(values.Get(PowerKey::LODHeight), 1);
             EXPECT_EQ(TextOf(Find<ui::CEditUI>("Edit_Sleep_Time")), QStringLiteral("7"));
         }},
        {"opt_nav_light",
         {QStringLiteral("set"), QStringLiteral("lighting"), QStringLiteral("--profile"), QStringLiteral("1"),
          QString::number(mode), QStringLiteral("--colour"), QStringLiteral("0=FF8000")},
         "",
         [&] {
             const auto colour = [&](const MouseConfigDocument& d) {
                 return d.led[1][static_cast<std::size_t>(mode)].colours[0].colour;
             };
             EXPECT_EQ(window->PagesProfile(), 1);
             EXPECT_EQ(colour(window->Document()), 0xFF8000u);
             const auto* button = Find<ui::CControlUI>("btn_MouseLed_ColVal0");
             ASSERT_NE(button, nullptr);
             EXPECT_EQ(button->GetBkColor().rgb() & 0xFFFFFFu, 0xFF8000u);
             EXPECT_EQ(colour(stored()), 0xFF8000u);
         }},
        // A button, answered as --json prints it.
        {"opt_nav_keys",
         {QStringLiteral("--json"), QStringLiteral("set"), QStringLiteral("key"), QStringLiteral("--profile"),
          QStringLiteral("1"), QStringLiteral("3"), QStringLiteral("volume up")},
         "",
         [&] {
             const auto key = [](const MouseConfigDocument& d) { return d.keyTables[1].at(SlotName(3)); };
             EXPECT_EQ(key(window->Document()).text, "Vol+");
             EXPECT_EQ(key(stored()).code, key(window->Document()).code);
             // The page has a picture layout and a list; one of them shows.
             QStringList shown;
             for (const char* name : {"btn_MouseKey_Click3", "btn_MouseKey2_Click3"})
                 if (const ui::CControlUI* button = Find<ui::CControlUI>(name)) shown << button->GetText();
             EXPECT_TRUE(shown.contains(QStringLiteral("Vol+")))
                 << shown.join(QLatin1Char('|')).toStdString();
         }},
    };
    // What was sent; the replies tell the state of each mouse (they are two).
    const auto sentOnly = [](std::vector<std::string> lines) {
        std::erase_if(lines, [](const std::string& line) { return line[0] != '>'; });
        return lines;
    };
    for (const Edit& edit : edits) {
        SCOPED_TRACE(edit.args.join(QLatin1Char(' ')).toStdString());
        ASSERT_TRUE(zor::test::ClickControl(Find<ui::COptionUI>(edit.page)));
        const QStringList args = QStringList{QStringLiteral("--trace")} + edit.args;
        const ZorctlRun through = Zorctl(folder, program + args);
        const ZorctlRun inProcess = Zorctl(twin, alone + args);
        ASSERT_EQ(through.code, 0) << through.err;
        ASSERT_EQ(inProcess.code, 0) << inProcess.err;
        EXPECT_EQ(through.out, inProcess.out);
        if (!edit.out.empty()) {
            EXPECT_EQ(through.out, edit.out);
        }
        const std::vector<std::string> sent = sentOnly(TraceFrames(through.err)),
                                       sentAlone = sentOnly(TraceFrames(inProcess.err));
        ASSERT_FALSE(sent.empty());
        ASSERT_GE(sentAlone.size(), sent.size());
        EXPECT_EQ(sent, std::vector<std::string>(sentAlone.end() - static_cast<long>(sent.size()),
                                                 sentAlone.end()));
        edit.shown();
    }
    // A refused edit: the in-process line and exit code; nothing changed, no profile selected.
    const QStringList badDpi = {
        QStringLiteral("set"),    QStringLiteral("dpi"), QStringLiteral("--profile"), QStringLiteral("0"),
        QStringLiteral("--gear"), QString::number(gear), QStringLiteral("--value"),   QStringLiteral("1234")};
    const std::string file = zor::test::ReadFile(MouseConfigPath(modelFolder));
    Mouse().ClearFrames();
    const ZorctlRun refusedDpi = Zorctl(folder, program + badDpi);
    EXPECT_EQ(refusedDpi.code, 1);
    EXPECT_EQ(refusedDpi.err, "zorctl: 1234 DPI is not in this model's DPI table\n");
    EXPECT_EQ(refusedDpi.err, Zorctl(twin, alone + badDpi).err);
    EXPECT_EQ(window->PagesProfile(), 1);
    EXPECT_TRUE(Mouse().Frames().empty());
    EXPECT_EQ(zor::test::ReadFile(MouseConfigPath(modelFolder)), file);
    // The window's Apply keeps them all.
    WaitApply(0);
    ASSERT_TRUE(zor::test::ClickControl(Find<ui::CButtonUI>("btn_Mouse_Apply")));
    ASSERT_TRUE(WaitApply());
    EXPECT_EQ(stored().adv[0].gears[gear].value, dpi);
    EXPECT_EQ(stored().led[1][static_cast<std::size_t>(mode)].colours[0].colour, 0xFF8000u);
    EXPECT_EQ(PowerOptions(folder / "res/Set.ini").Load().Get(PowerKey::SleepTime), 7);

    // A profile chosen through the program is the window's and is announced on the bus.
    const ZorctlRun profile =
        Zorctl(folder, program + QStringList{QStringLiteral("set"), QStringLiteral("profile"), QStringLiteral("1")});
    EXPECT_EQ(profile.code, 0) << profile.err;
    EXPECT_EQ(profile.out, "profile 1 selected\n");
    EXPECT_EQ(window->PagesProfile(), 1);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return listener.changed.value(QStringLiteral("ActiveProfile")) == 1; }, 5000));

    // watch prints the mouse's own reports as the window receives them, in watch's words, and
    // ends with 0 on an interrupt.
    std::vector<std::string> expected;
    QObject::connect(
        window.get(), &CZorMainWnd::messageRouted, [&](unsigned message, qintptr wParam, qintptr lParam) {
            if (message == kMsgDeviceDpiChanged)
                expected.push_back(Format("%u dpi wParam=%d lParam=%d value=%d key=%d", message,
                                          static_cast<long long>(wParam), static_cast<long long>(lParam),
                                          static_cast<int>(wParam & 0xFF),
                                          static_cast<int>((wParam >> 8) & 0xFF)));
        });
    QProcess watch;
    watch.start(QString::fromStdString((zor::test::BuildDir() / "tools" / "zorctl" / "zorctl").string()),
                {QStringLiteral("--home"), QString::fromStdString(folder.string()), QStringLiteral("--virtual"),
                 QStringLiteral("watch")});
    ASSERT_TRUE(watch.waitForStarted(5000));
    std::string watched;
    // A click before watch has subscribed goes unseen: clicks until one is seen.
    for (int attempt = 0; attempt < 10 && watched.find(" dpi ") == std::string::npos; ++attempt) {
        Mouse().Click(MouseButton::Dpi);
        static_cast<void>(QTest::qWaitFor([&] { return watch.bytesAvailable() > 0; }, 1000));
        watched += watch.readAllStandardOutput().toStdString();
    }
    ASSERT_FALSE(expected.empty());
    EXPECT_NE(watched.find(expected.back() + "\n"), std::string::npos) << watched;
    watch.terminate();
    ASSERT_TRUE(QTest::qWaitFor([&] { return watch.state() == QProcess::NotRunning; }, 5000));
    EXPECT_EQ(watch.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(watch.exitCode(), 0) << watch.readAllStandardError().toStdString();
}

TEST_F(MainWindowTest, AMouseOutOfItsReceiversReachIsSaidThroughTheProgramAndNothingChanges) {
    Start(VirtualLinkKind::Receiver);
    ControlService service(*window);
    ASSERT_TRUE(service.Register(QDBusConnection::sessionBus()));
    Mouse().DropLink();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !service.Connected(); }, 5000));
    EXPECT_EQ(service.Link(), QString());
    const std::string before = zor::test::ReadFile(MouseConfigPath(window->ModelFolder()));
    const ZorctlRun set = Zorctl(folder, {QStringLiteral("--virtual"), QStringLiteral("set"), QStringLiteral("rate"),
                                          QStringLiteral("--profile"), QStringLiteral("0"), QStringLiteral("500")});
    EXPECT_EQ(set.code, 1);
    EXPECT_EQ(set.err, "zorctl: the mouse is not connected; nothing was changed\n");
    EXPECT_EQ(zor::test::ReadFile(MouseConfigPath(window->ModelFolder())), before);
    Mouse().RestoreLink();
}

}  // namespace
}  // namespace zor::app::test

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "ServiceTest.moc"
