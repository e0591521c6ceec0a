// The mouse's profile follows the focused application of a real X server (Xvfb): the test makes
// windows with chosen WM_CLASS values and names the active one in the root window's
// _NET_ACTIVE_WINDOW itself, as a window manager would, so no window manager is needed.
#include <xcb/xcb.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QWindow>
#include <algorithm>
#include <cstring>
#include <string_view>

#include "../MainWindowFixture.h"
#include "common/ProgramPaths.h"
#include "control/AppProfiles.h"
#include "device/CommandFrame.h"
#include "device/DeviceRequest.h"

namespace zor::app::test {
namespace {

// The test's own X client: windows of chosen classes and the root's active-window property.
class FakeDesktop {
public:
    FakeDesktop() {
        m_x = xcb_connect(nullptr, nullptr);
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_x)).data->root;
        constexpr std::string_view name = "_NET_ACTIVE_WINDOW";
        xcb_intern_atom_reply_t* atom =
            xcb_intern_atom_reply(m_x, xcb_intern_atom(m_x, 0, name.size(), name.data()), nullptr);
        m_active = atom->atom;
        std::free(atom);
    }
    ~FakeDesktop() { xcb_disconnect(m_x); }

    // A window of the application whose WM_CLASS is instance and className.
    xcb_window_t Window(std::string_view instance, std::string_view className) {
        const xcb_window_t window = xcb_generate_id(m_x);
        xcb_create_window(m_x, XCB_COPY_FROM_PARENT, window, m_root, 0, 0, 10, 10, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
        std::string value = std::string(instance) + '\0' + std::string(className) + '\0';
        xcb_change_property(m_x, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                            static_cast<std::uint32_t>(value.size()), value.data());
        xcb_flush(m_x);
        return window;
    }
    // The window manager's list of application windows.
    void Clients(const std::vector<xcb_window_t>& windows) {
        constexpr std::string_view name = "_NET_CLIENT_LIST";
        xcb_intern_atom_reply_t* atom =
            xcb_intern_atom_reply(m_x, xcb_intern_atom(m_x, 0, name.size(), name.data()), nullptr);
        xcb_change_property(m_x, XCB_PROP_MODE_REPLACE, m_root, atom->atom, XCB_ATOM_WINDOW, 32,
                            static_cast<std::uint32_t>(windows.size()), windows.data());
        std::free(atom);
        xcb_flush(m_x);
    }
    void Focus(xcb_window_t window) {
        xcb_change_property(m_x, XCB_PROP_MODE_REPLACE, m_root, m_active, XCB_ATOM_WINDOW, 32, 1, &window);
        xcb_flush(m_x);
    }

private:
    xcb_connection_t* m_x = nullptr;
    xcb_window_t m_root = 0;
    xcb_atom_t m_active = 0;
};

class FocusFollowTest : public MainWindowTest {
protected:
    int MouseProfile() { return Mouse().State().activeProfile; }
    // Nothing on its way to the mouse, and the window knows the mouse's profile.
    bool Settled() {
        return !window->ApplyRunning() && !window->Flags().profileChanged &&
               window->PagesProfile() == MouseProfile();
    }
    // The profiles the mouse was told to make active, in order.
    std::vector<int> ProfileWrites() {
        std::vector<int> profiles;
        for (const Report& r : Mouse().Frames())
            if (r[kPosCommand] == kOpProfile && r[kPosArgument] == kSubActiveProfile)
                profiles.push_back(r[9]);
        return profiles;
    }
};

TEST_F(FocusFollowTest, TheMouseProfileFollowsTheFocusedApplicationCoalescedAndYieldsToTheMouseButton) {
    control::AppProfileRules rules;
    rules.enabled = true;
    rules.defaultProfile = 1;
    ASSERT_TRUE(rules.Add("Editor", 1).Done());        // an instance name, another case
    ASSERT_TRUE(rules.Add("Game.desktop", 2).Done());  // a class name, as a desktop-file id
    ASSERT_TRUE(rules.Add("terminal", 0).Done());
    ASSERT_TRUE(rules.Add("viewer", 1).Done());
    ASSERT_TRUE(control::SaveAppProfiles(paths::AppProfiles(folder), rules, nullptr));
    FakeDesktop desktop;
    const xcb_window_t editor = desktop.Window("editor", "Texts");
    const xcb_window_t editor2 = desktop.Window("editor", "Texts");
    const xcb_window_t game = desktop.Window("launcher", "game");
    const xcb_window_t terminal = desktop.Window("terminal", "Term");
    const xcb_window_t viewer = desktop.Window("viewer", "Pictures");

    Start();
    ASSERT_TRUE(window->AppProfiles().SourceAvailable()) << "the X11 focus is not followed";
    ASSERT_EQ(MouseProfile(), 0);

    // One switch, within half a second of the focus change.
    Mouse().ClearFrames();
    QElapsedTimer clock;
    clock.start();
    desktop.Focus(editor);
    ASSERT_TRUE(QTest::qWaitFor([&] { return MouseProfile() == 1; }, 500))
        << "after " << clock.elapsed() << " ms the profile is " << MouseProfile();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Settled(); }, 5000));

    // The mouse's own button: its choice holds while the focus stays with the application,
    // here moving to another of its windows.
    Mouse().Click(MouseButton::Profile);
    ASSERT_TRUE(QTest::qWaitFor([&] { return MouseProfile() == 2 && Settled(); }, 5000));
    desktop.Focus(editor2);
    QTest::qWait(2 * AppProfileFollower::kSettleMs);
    EXPECT_EQ(MouseProfile(), 2) << "the button's choice was overridden";

    // Quick changes are taken together: only the last application's profile is written.
    ASSERT_TRUE(QTest::qWaitFor([&] { return Settled(); }, 5000));
    Mouse().ClearFrames();
    desktop.Focus(viewer);
    QTest::qWait(AppProfileFollower::kSettleMs / 3);  // seen by the program, within the settling time
    desktop.Focus(terminal);
    ASSERT_TRUE(QTest::qWaitFor([&] { return MouseProfile() == 0; }, 500));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Settled(); }, 5000));
    QTest::qWait(2 * AppProfileFollower::kSettleMs);  // nothing more follows
    EXPECT_EQ(MouseProfile(), 0);
    const std::vector<int> written = ProfileWrites();
    EXPECT_FALSE(written.empty());
    EXPECT_TRUE(std::all_of(written.begin(), written.end(), [](int p) { return p == 0; }))
        << "the passing application's profile was written too";

    // The program's own window, where any profile may be edited, leaves the profile alone.
    desktop.Focus(static_cast<xcb_window_t>(window->windowHandle()->winId()));
    QTest::qWait(2 * AppProfileFollower::kSettleMs);
    EXPECT_EQ(MouseProfile(), 0) << "the program's own window took the default profile";

    // A class name matches too, whatever its case or ".desktop".
    desktop.Focus(game);
    EXPECT_TRUE(QTest::qWaitFor([&] { return MouseProfile() == 2; }, 500));

    // Offered for a new rule: the applications focused lately, the latest first, then the other
    // application windows the window manager lists.
    desktop.Clients({editor, desktop.Window("mail", "Mail"), game});
    EXPECT_EQ(window->AppProfiles().KnownApplications(),
              (std::vector<std::string>{"game", "Term", "Pictures", "Texts", "Mail"}));
}

}  // namespace
}  // namespace zor::app::test

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
