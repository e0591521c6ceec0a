// The full apply against the virtual mouse with the protocol's real pauses: how much longer it
// takes than the pauses it must make. The counters give the frames sent, the required pause
// time and the ratio of wall time to it.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>

#include "common/Sleeper.h"
#include "device/CommandSet.h"
#include "device/DeviceMatch.h"
#include "device/VirtualBus.h"
#include "device/virtual/VirtualMouse.h"

namespace zor {
namespace {

// Sleeps for real and adds up what was asked for.
class SummingSleeper final : public Sleeper {
public:
    void SleepMs(int ms) override {
        m_requested += ms;
        m_real.SleepMs(ms);
    }
    long long requested() const { return m_requested.load(); }
    void reset() { m_requested = 0; }

private:
    RealSleeper m_real;
    std::atomic<long long> m_requested{0};
};

SettingsRecord TypicalSettings() {
    SettingsRecord settings;
    ProfileSettings& p = settings.profiles[0];
    const int values[] = {400, 800, 1600, 3200, 6400, 12000, 16000, 26000};
    for (std::size_t g = 0; g < 8; ++g) {
        p.gears[g] = DpiGear{values[g], g < 5, 0, 0x00FF00};
    }
    for (std::size_t k = 0; k < kKeyCount; ++k) p.keys[k].function = static_cast<int>(k % 5) + 1;
    p.lighting.modeNumber = 3;
    return settings;
}

void BM_ApplyAllWithRealPauses(benchmark::State& state) {
    VirtualBus bus;
    auto mouse = std::make_shared<VirtualMouse>();
    bus.Attach(mouse);
    LinkState link;
    DeviceEntry entry;
    entry.devType = 2;
    entry.vendorIds = {kVirtualVendorId};
    entry.productIds = {kVirtualCableProductId};
    entry.names = {"MouseA"};
    if (!MatchDevice(bus, entry, link)) {
        state.SkipWithError("the virtual mouse was not matched");
        return;
    }
    SummingSleeper sleeper;
    Transport transport(link, sleeper);
    CommandSet commands(transport);
    const SettingsRecord settings = TypicalSettings();
    commands.SetSettings(&settings);

    double wallMs = 0;
    long long requiredMs = 0;
    std::size_t frames = 0;
    for (auto _ : state) {
        mouse->ClearFrames();
        sleeper.reset();
        const auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(commands.ApplyAll(0));
        const auto end = std::chrono::steady_clock::now();
        wallMs += std::chrono::duration<double, std::milli>(end - start).count();
        requiredMs += sleeper.requested();
        frames = mouse->Frames().size();
    }
    state.counters["frames"] = static_cast<double>(frames);
    state.counters["required_ms"] = static_cast<double>(requiredMs) / static_cast<double>(state.iterations());
    state.counters["wall_ms"] = wallMs / static_cast<double>(state.iterations());
    state.counters["ratio"] = wallMs / static_cast<double>(requiredMs);
}

BENCHMARK(BM_ApplyAllWithRealPauses)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace zor
