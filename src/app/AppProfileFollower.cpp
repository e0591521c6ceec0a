#include "app/AppProfileFollower.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <algorithm>

#include "app/X11FocusWatch.h"
#include "common/Debug.h"
#include "common/Text.h"
#include "control/AppProfiles.h"

namespace zor::app {

AppProfileFollower::AppProfileFollower(std::filesystem::path rulesFile, Hooks hooks)
    : m_rulesFile(std::move(rulesFile)), m_hooks(std::move(hooks)) {
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettleMs);
    connect(&m_settle, &QTimer::timeout, this, [this] { Decide(); });
}

AppProfileFollower::~AppProfileFollower() = default;

void AppProfileFollower::WatchX11() {
    if (m_x11 || QGuiApplication::platformName() != QLatin1String("xcb")) return;
    m_x11 = std::make_unique<X11FocusWatch>([this](const std::vector<std::string>& ids) { OnFocus(ids); });
    if (!m_x11->Available()) m_x11.reset();
}

void AppProfileFollower::FocusedApplication(const std::string& appId) {
    m_toldByDesktop = true;
    if (!control::AppIdProblem(appId).empty()) return;
    // The program itself, as a Wayland desktop names it: where the user edits any profile, the
    // last application's profile stays (as for the program's own X11 windows).
    const std::string id = control::NormalAppId(appId);
    for (const QString& own : {QGuiApplication::desktopFileName(), QCoreApplication::applicationName(),
                               QFileInfo(QCoreApplication::applicationFilePath()).fileName()})
        if (!own.isEmpty() && control::NormalAppId(own.toStdString()) == id) return;
    OnFocus({appId});
}

bool AppProfileFollower::SourceAvailable() const {
    return m_x11 != nullptr || m_toldByDesktop;
}

std::vector<std::string> AppProfileFollower::KnownApplications() const {
    std::vector<std::string> known = m_recent;
    if (m_x11)
        for (std::string& name : m_x11->RunningApplications())
            if (std::find(known.begin(), known.end(), name) == known.end()) known.push_back(std::move(name));
    return known;
}

void AppProfileFollower::OnFocus(const std::vector<std::string>& appIds) {
    m_focused = appIds;
    // The class name of an X11 window (the last id) names the application best.
    const std::string& name = appIds.back();
    std::erase(m_recent, name);
    m_recent.insert(m_recent.begin(), name);
    if (m_recent.size() > kRecentApplications) m_recent.pop_back();
    // The first change starts the wait; the ones within it only replace what is looked up.
    if (!m_settle.isActive()) m_settle.start();
}

void AppProfileFollower::RulesChanged() {
    m_handled.clear();
    if (!m_focused.empty() && !m_settle.isActive()) m_settle.start();
}

void AppProfileFollower::RunEnded() {
    if (!m_waitingForRun) return;
    m_waitingForRun = false;
    // After the window has started what waited for the device, so that busy() sees it.
    QTimer::singleShot(0, this, [this] { Decide(); });
}

void AppProfileFollower::Decide() {
    std::vector<std::string> normal;
    for (const std::string& id : m_focused) normal.push_back(control::NormalAppId(id));
    const std::string application = Join(normal, "\n");
    // The same application again (another of its windows): a profile chosen on the mouse holds.
    if (application.empty() || application == m_handled) return;
    if (m_hooks.busy()) {
        m_waitingForRun = true;
        return;
    }
    m_handled = application;
    const control::AppProfilesRead read = control::LoadAppProfiles(m_rulesFile);
    if (!read.ok) {
        DebugLine("profiles per application not applied: " + read.error + "\n");
        return;
    }
    const int profile = read.rules.ProfileFor(m_focused);
    if (profile == control::kNoAppProfile || profile == m_hooks.activeProfile()) return;
    DebugF("focus on %s: profile %d\n", PrintableText(m_focused.front(), 80), profile);
    m_hooks.select(profile);
}

}  // namespace zor::app
