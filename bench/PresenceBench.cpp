// The cost of watching a mouse: how often the listener and worker threads wake while nothing
// happens, and how long a button release takes from the mouse to the message sink.
#include <benchmark/benchmark.h>

#include <condition_variable>
#include <mutex>
#include <string>

#include "common/ProcessStats.h"
#include "device/DeviceMessages.h"
#include "device/DevicePresence.h"
#include "device/RecordingMessageSink.h"
#include "device/VirtualBus.h"
#include "device/virtual/VirtualMouse.h"

namespace zor {
namespace {

using namespace std::chrono_literals;

// One virtual mouse by cable, found, selected, with its listener and the event worker running.
struct Watched {
    Watched() {
        DeviceEntry cable;
        cable.devType = 1;
        cable.isUsb = 1;
        cable.vendorIds = {kVirtualVendorId};
        cable.productIds = {kVirtualCableProductId};
        entries.push_back(cable);
        view.SetKeySlotMap({{7, 6}});  // the profile key
        bus.Attach(mouse);
        presence.OnArrival(kVirtualVendorId, kVirtualCableProductId);
        presence.StartWorker();
        presence.AutoSelect();
        presence.StartListeners();
    }
    ~Watched() { presence.Shutdown(); }

    VirtualBus bus;
    std::shared_ptr<VirtualMouse> mouse = std::make_shared<VirtualMouse>();
    std::vector<DeviceEntry> entries;
    LinkState link;
    RecordingMessageSink sink;
    DeviceView view;
    DevicePresence presence{bus, link, entries, sink, view};
};

void BM_IdleWakeups(benchmark::State& state) {
    Watched watched;
    const auto window = std::chrono::seconds(state.range(0));
    long long switches = 0;
    for (auto _ : state) {
        const long long before = VoluntaryContextSwitches();
        std::mutex m;
        std::condition_variable never;
        std::unique_lock lock(m);
        never.wait_for(lock, window, [] { return false; });  // the idle window itself
        switches = VoluntaryContextSwitches() - before;
    }
    state.counters["switches"] = static_cast<double>(switches);
    state.counters["per_second"] = static_cast<double>(switches) / static_cast<double>(state.range(0));
}
BENCHMARK(BM_IdleWakeups)->Arg(10)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_ReleaseToSink(benchmark::State& state) {
    Watched watched;
    std::size_t count = 0;
    double worst = 0;
    for (auto _ : state) {
        watched.mouse->Press(MouseButton::Profile);
        const auto start = std::chrono::steady_clock::now();
        watched.mouse->Release(MouseButton::Profile);
        if (!watched.sink.WaitForCount(kMsgDeviceProfileChanged, ++count, 2s)) {
            state.SkipWithError("no message");
            break;
        }
        const auto latency =
            std::chrono::duration<double>(watched.sink.MessagesOf(kMsgDeviceProfileChanged).back().at - start).count();
        worst = std::max(worst, latency);
        state.SetIterationTime(latency);
        // The window follows the profile, as the main window does.
        watched.view.Update([&](DeviceViewState& s) { s.activeProfile = watched.mouse->State().activeProfile; });
    }
    state.counters["worst_ms"] = worst * 1000;
}
BENCHMARK(BM_ReleaseToSink)->Iterations(200)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace zor
