#include "app/QuitOnSignal.h"

#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <array>
#include <cstdint>

namespace zor::app {
namespace {

constexpr std::array<int, 3> kSignals = {SIGTERM, SIGINT, SIGHUP};
int g_wakeFd = -1;
struct sigaction g_previous[kSignals.size()];

void OnSignal(int) {
    const std::uint64_t one = 1;
    // write() is async-signal-safe; a full counter means a wake-up is pending anyway.
    [[maybe_unused]] const ssize_t n = ::write(g_wakeFd, &one, sizeof one);
}

}  // namespace

QuitOnSignal::QuitOnSignal(std::function<void()> quit) : m_quit(std::move(quit)) {
    if (g_wakeFd >= 0) return;  // another instance is active
    g_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (g_wakeFd < 0) return;
    m_notifier = std::make_unique<QSocketNotifier>(g_wakeFd, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] {
        std::uint64_t value = 0;
        [[maybe_unused]] const ssize_t n = ::read(g_wakeFd, &value, sizeof value);
        if (m_quit) m_quit();
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &action, &g_previous[i]);
    m_installed = true;
}

QuitOnSignal::~QuitOnSignal() {
    if (!m_installed) return;
    for (std::size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &g_previous[i], nullptr);
    m_notifier.reset();
    ::close(g_wakeFd);
    g_wakeFd = -1;
}

}  // namespace zor::app
