#include "common/Debug.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace zor {

namespace {

std::mutex& SinkMutex() {
    static std::mutex mutex;
    return mutex;
}

std::function<void(const std::string&)>& Sink() {
    static std::function<void(const std::string&)> sink;
    return sink;
}

bool EnvEnabled() {
    const char* value = std::getenv("ZOR_DEBUG");
    return value && value[0] == '1';
}

}  // namespace

bool DebugEnabled() {
    static const bool enabled = EnvEnabled();
    if (enabled) return true;
    std::lock_guard lock(SinkMutex());
    return static_cast<bool>(Sink());
}

void DebugLine(std::string_view text) {
    std::string line(text);
    if (line.empty() || line.back() != '\n') line += '\n';
    std::lock_guard lock(SinkMutex());
    if (Sink()) {
        Sink()(line);
        return;
    }
    static const bool enabled = EnvEnabled();
    if (!enabled) return;
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

void SetDebugSinkForTest(std::function<void(const std::string&)> sink) {
    std::lock_guard lock(SinkMutex());
    Sink() = std::move(sink);
}

}  // namespace zor
