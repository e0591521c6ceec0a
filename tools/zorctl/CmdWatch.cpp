// zorctl watch: prints, one line each, the messages the program's main window would receive from
// the device layer (button changes, device-state reads, DPI pop-ups, BLE events) until
// interrupted. With --virtual, --script FILE drives the virtual mouse and ends after the script.
#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <nlohmann/json.hpp>
#include <ostream>
#include <sstream>
#include <thread>

#include "Command.h"
#include "ServiceClient.h"
#include "WatchScript.h"
#include "catalog/FindDev.h"
#include "common/DataFile.h"
#include "common/Sleeper.h"
#include "common/Text.h"
#include "config/DeviceFeature.h"
#include "device/CommandSet.h"
#include "device/DeviceMatch.h"
#include "device/DeviceMessages.h"
#include "device/DevicePresence.h"
#include "device/HidapiBus.h"
#include "device/HidrawBleBridge.h"
#include "device/UdevHotplugMonitor.h"
#include "device/VirtualBus.h"
#include "device/virtual/VirtualBleBridge.h"
#include "device/virtual/VirtualMouse.h"

namespace zor::ctl {
namespace {

using namespace std::chrono_literals;

// After each script step the output settles: the step is done once no message came for this
// long (bounded, in case the mouse keeps talking). A build with the run-time checkers runs every
// thread several times slower, so its threads get as many times longer to speak up.
#if defined(__SANITIZE_THREAD__)
constexpr int kCheckerSlowdown = 8;
#elif defined(__SANITIZE_ADDRESS__)
constexpr int kCheckerSlowdown = 3;
#else
constexpr int kCheckerSlowdown = 1;
#endif
constexpr auto kQuietPeriod = 100ms * kCheckerSlowdown;
constexpr auto kSettleLimit = 2s * kCheckerSlowdown;

const char* MessageName(unsigned message) {
    if (const char* name = DeviceEventName(message)) return name;
    return message == kMsgReadDeviceState ? "device-state" : "message";
}

// One message as watch prints it.
std::string WatchLine(unsigned message, std::intptr_t wParam, std::intptr_t lParam,
                      const std::string& payload, bool json) {
    const bool keyed = message == kMsgDeviceDpiChanged || message == kMsgDeviceProfileChanged ||
                       message == kMsgDeviceLightChanged || message == kMsgDeviceRateChanged;
    if (json) {
        nlohmann::json j{
            {"message", message}, {"name", MessageName(message)}, {"wParam", wParam}, {"lParam", lParam}};
        if (keyed) {
            j["value"] = wParam & 0xFF;
            j["key"] = (wParam >> 8) & 0xFF;
        }
        if (message == kMsgBleEvent) j["text"] = payload;
        return j.dump();
    }
    std::string line = Format("%u %s wParam=%d lParam=%d", message, MessageName(message),
                              static_cast<long long>(wParam), static_cast<long long>(lParam));
    if (keyed)
        line += Format(" value=%d key=%d", static_cast<int>(wParam & 0xFF),
                       static_cast<int>((wParam >> 8) & 0xFF));
    if (message == kMsgBleEvent)
        line += Format(" event=0x%X text=\"%s\"", static_cast<long long>(lParam), payload);
    return line;
}

// Prints every message, follows the reported changes as the main window does, and hands BLE
// events back to presence.
class PrintingSink final : public MessageSink {
public:
    PrintingSink(std::ostream& out, bool json, DeviceView& view) : m_out(out), m_json(json), m_view(view) {}

    void SetBleHandler(std::function<void(int, const std::string&)> handler) { m_ble = std::move(handler); }

    void post(unsigned message, std::intptr_t wParam, std::intptr_t lParam, std::string payload) override {
        Deliver(message, wParam, lParam, payload);
    }
    std::intptr_t send(unsigned message, std::intptr_t wParam, std::intptr_t lParam,
                       std::string payload) override {
        Deliver(message, wParam, lParam, payload);
        return 1;
    }

    // One hot-plug event as the main window receives it (537), with what handling it left:
    // whether a catalog entry changed, the entries found and the listeners running.
    void DeviceChange(const HotplugEvent& e, bool changed, const std::vector<int>& found, int listeners) {
        const char* kind = e.kind == HotplugKind::Arrival ? "arrival" : "removal";
        std::string line;
        if (m_json) {
            line =
                nlohmann::json{
                    {"message", kMsgDeviceChange}, {"name", "device-change"},  {"event", kind},
                    {"vendorId", e.vendorId},      {"productId", e.productId}, {"path", e.path},
                    {"changed", changed},          {"found", found},           {"listeners", listeners}}
                    .dump();
        } else {
            std::string foundText;
            for (int index : found) foundText += (foundText.empty() ? "" : ",") + std::to_string(index);
            line = Format("%u device-change %s %04X:%04X %s changed=%d found=%s listeners=%d",
                          kMsgDeviceChange, kind, e.vendorId, e.productId, e.path, changed ? 1 : 0,
                          foundText.empty() ? "-" : foundText, listeners);
        }
        std::lock_guard lock(m_printMutex);
        m_out << line << std::endl;
    }

    // Waits until no message has arrived for the quiet period.
    void WaitQuiet() {
        std::unique_lock lock(m_mutex);
        const auto limit = std::chrono::steady_clock::now() + kSettleLimit;
        for (;;) {
            const auto last = m_last;
            if (m_changed.wait_for(lock, kQuietPeriod, [&] { return m_last != last; })) {
                if (std::chrono::steady_clock::now() < limit) continue;
            }
            return;
        }
    }

private:
    void Deliver(unsigned message, std::intptr_t wParam, std::intptr_t lParam, const std::string& payload) {
        Print(message, wParam, lParam, payload);
        const int value = static_cast<int>(wParam & 0xFF);
        m_view.Update([&](DeviceViewState& s) {
            if (message == kMsgDeviceDpiChanged) s.currentGear = value - 1;
            if (message == kMsgDeviceProfileChanged) s.activeProfile = value;
            if (message == kMsgDeviceLightChanged) s.lightingMode = (value & 0x3F) - 1;
            if (message == kMsgDeviceRateChanged) s.reportRateCode = value;
        });
        if (message == kMsgBleEvent && m_ble) m_ble(static_cast<int>(lParam), payload);
        {
            std::lock_guard lock(m_mutex);
            ++m_last;
        }
        m_changed.notify_all();
    }

    void Print(unsigned message, std::intptr_t wParam, std::intptr_t lParam, const std::string& payload) {
        const std::string line = WatchLine(message, wParam, lParam, payload, m_json);
        std::lock_guard lock(m_printMutex);
        m_out << line << std::endl;
    }

    std::ostream& m_out;
    bool m_json;
    DeviceView& m_view;
    std::function<void(int, const std::string&)> m_ble;
    std::mutex m_printMutex;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    long long m_last = 0;
};

// Hot-plug events wait here for the main thread, which owns the catalog entries.
class ChangeQueue {
public:
    void Push(const HotplugEvent& e) {
        {
            std::lock_guard lock(m_mutex);
            m_events.push_back(e);
        }
        m_ready.notify_all();
    }
    void Stop() {
        {
            std::lock_guard lock(m_mutex);
            m_stopped = true;
        }
        m_ready.notify_all();
    }
    // Blocks until there are events or the queue is stopped (then returns false).
    bool Wait(std::deque<HotplugEvent>& out) {
        std::unique_lock lock(m_mutex);
        m_ready.wait(lock, [&] { return m_stopped || !m_events.empty(); });
        out.swap(m_events);
        return !m_stopped;
    }
    std::deque<HotplugEvent> Take() {
        std::lock_guard lock(m_mutex);
        std::deque<HotplugEvent> out;
        out.swap(m_events);
        return out;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<HotplugEvent> m_events;
    bool m_stopped = false;
};

// The window's starting state is the mouse's: the virtual mouse's own state, or a real mouse's
// read once through the command set. The key map is the model's.
void SeedView(LinkState& link, const DeviceEntry* entry, const VirtualMouse* mouse, DeviceView& view) {
    DeviceViewState s = view.Get();
    if (mouse != nullptr) {
        const InputStatus status = ParseInputStatus(mouse->CurrentStatusReport()).value_or(InputStatus{});
        s.activeProfile = status.activeProfile;
        s.reportRateCode = status.reportRate;
        s.currentGear = status.gear - 1;
        s.lightingMode = (status.lighting & kModeNumberMask) - 1;
        s.gearMask = mouse->State().dpi[0];
    } else if (entry != nullptr && entry->found) {
        RealSleeper sleeper;
        Transport transport(link, sleeper);
        CommandSet commands(transport);
        DeviceRequest& r = commands.Request();
        r.op = kOpProfile;
        r.subOp = kSubActiveProfile;
        if (commands.ReadRequest() == 1) s.activeProfile = r.activeProfile;
        r.op = kOpDpi;
        if (commands.ReadRequest() == 1) {
            s.currentGear = r.currentGear - 1;
            s.gearMask = r.gearMask;
        }
        r.op = kOpReportRate;
        if (commands.ReadRequest() == 1) s.reportRateCode = r.reportRate;
        r.op = kOpLighting;
        if (commands.ReadRequest() == 1) s.lightingMode = (r.modeByte & kModeNumberMask) - 1;
    }
    view.Set(s);
    if (entry == nullptr) return;
    const std::filesystem::path model = std::filesystem::path(kModelsFolder) / entry->devFolder;
    auto loader = [model] {
        std::map<int, int> keys;
        std::map<int, int> leds;
        LoadKeySlotMap(model, keys, leds);
        return keys;
    };
    view.SetKeySlotMap(loader());
    view.SetKeyMapLoader(loader);
}

struct WatchArgs {
    std::string script;
    bool receiver = false;
    bool ble = false;
};

int Usage(CommandContext& ctx, const std::string& why) {
    ctx.err << "zorctl: " << PrintableText(why)
            << "\nusage: zorctl [--virtual] watch [--script FILE] [--receiver] [--ble]\n";
    return 2;
}

int RunWatch(CommandContext& ctx) {
    WatchArgs args;
    const auto& a = ctx.options.args;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] == "--script" && i + 1 < a.size()) {
            args.script = a[++i];
        } else if (a[i] == "--receiver") {
            args.receiver = true;
        } else if (a[i] == "--ble") {
            args.ble = true;
        } else {
            return Usage(ctx, "unknown argument \"" + a[i] + "\"");
        }
    }
    const bool virtualMouse = ctx.options.virtualMouse;
    if (!virtualMouse && (!args.script.empty() || args.receiver || args.ble))
        return Usage(ctx, "--script, --receiver and --ble drive the virtual mouse: add --virtual");
    // The mouse's listeners are the running program's: its reports come from there (unless this
    // watch drives a virtual mouse of its own).
    if (args.script.empty() && !args.receiver && !args.ble)
        if (const auto code = WatchProgram(ctx, [&ctx](const ProgramEvent& e) {
                ctx.out << WatchLine(e.message, e.wParam, e.lParam, e.text, ctx.options.json) << std::endl;
            }))
            return *code;

    ScriptResult script;
    if (!args.script.empty()) {
        // A device or a FIFO named as the script is refused, never read until it ends.
        std::string text;
        if (const ReadFault fault = ReadDataFile(UserPath(ctx, args.script), text, kMaxWatchScriptBytes);
            fault != ReadFault::None)
            return Fail(ctx, "cannot read the script: " +
                                 DescribeReadFault(args.script, fault, kMaxWatchScriptBytes));
        script = ParseWatchScript(text);
        if (!script.error.empty()) return Fail(ctx, args.script + ": " + script.error);
    }

    // Interrupts are taken by one thread with sigwait; every other thread inherits the mask.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    std::unique_ptr<HidBus> bus;
    VirtualBus* virtualBus = nullptr;
    VirtualBus bleSide;  // over BLE the virtual mouse is powered but on no watched bus
    std::shared_ptr<VirtualMouse> mouse;
    if (virtualMouse) {
        auto vbus = std::make_unique<VirtualBus>();
        virtualBus = vbus.get();
        mouse = std::make_shared<VirtualMouse>(args.receiver ? VirtualLinkKind::Receiver
                                                             : VirtualLinkKind::Cable);
        (args.ble ? bleSide : *vbus).Attach(mouse);
        bus = std::move(vbus);
    } else {
        bus = std::make_unique<HidapiBus>();
    }

    LinkState link;
    FindDev finder(ctx.options.home);
    finder.setMatchHook(MatchHookFor(*bus, link));
    finder.LoadDeviceList();
    if (!finder.listLoaded()) return Fail(ctx, "cannot read the device list: " + finder.listError());

    DeviceView view;
    PrintingSink sink(ctx.out, ctx.options.json, view);
    RealSleeper sleeper;
    std::unique_ptr<BleBridge> bridge;
    HidrawBleBridge* hidrawBridge = nullptr;
    if (virtualMouse && args.ble) {
        bridge = std::make_unique<VirtualBleBridge>(mouse);
    } else if (!virtualMouse && HidrawBleBridge::BluetoothPresent()) {
        auto hidraw = std::make_unique<HidrawBleBridge>(*bus, sleeper);
        hidrawBridge = hidraw.get();
        bridge = std::move(hidraw);
    }

    ChangeQueue changes;
    std::unique_ptr<HotplugMonitor> monitor;
    if (virtualBus != nullptr)
        monitor = std::make_unique<VirtualHotplugMonitor>(*virtualBus);
    else
        monitor = std::make_unique<UdevHotplugMonitor>();
    if (!monitor->Start([&](const HotplugEvent& e) { changes.Push(e); }))
        ctx.err << "zorctl: warning: no hot-plug monitor; devices plugged in later are not seen\n";

    {
        DevicePresence presence(*bus, link, finder.entries(), sink, view);
        presence.AttachBle(bridge.get(), finder.bleNames());
        sink.SetBleHandler([&](int code, const std::string& text) { presence.HandleBleEvent(code, text); });
        presence.StartWorker();
        presence.AutoSelect();
        const auto& entries = finder.entries();
        const DeviceEntry* selected = presence.Selected() >= 0
                                          ? &entries[static_cast<std::size_t>(presence.Selected())]
                                      : entries.empty() ? nullptr
                                                        : &entries.front();
        SeedView(link, selected, mouse.get(), view);
        presence.StartListeners();
        if (args.ble) presence.ConnectBle();

        auto handleChanges = [&](const std::deque<HotplugEvent>& events) {
            std::vector<bool> changedBy;
            for (const auto& e : events) {
                if (hidrawBridge != nullptr) hidrawBridge->OnHotplug(e);
                changedBy.push_back(presence.OnDeviceChange(e));
            }
            if (std::find(changedBy.begin(), changedBy.end(), true) != changedBy.end()) {
                presence.AutoSelect();
                presence.StartListeners();
            }
            std::vector<int> found;
            for (std::size_t i = 0; i < entries.size(); ++i) {
                if (entries[i].found) found.push_back(static_cast<int>(i));
            }
            for (std::size_t i = 0; i < events.size(); ++i)
                sink.DeviceChange(events[i], changedBy[i], found, presence.RunningListeners());
        };

        if (!args.script.empty()) {
            sink.WaitQuiet();
            for (const ScriptStep& step : script.steps) {
                VirtualBus& home = args.ble ? bleSide : *virtualBus;
                switch (step.op) {
                    case ScriptOp::Press:
                        mouse->Press(step.button);
                        break;
                    case ScriptOp::Release:
                        mouse->Release(step.button);
                        break;
                    case ScriptOp::Click:
                        mouse->Click(step.button);
                        break;
                    case ScriptOp::Unplug:
                        home.Detach(mouse);
                        break;
                    case ScriptOp::Replug:
                        home.Attach(mouse);
                        if (args.ble) presence.ConnectBle();
                        break;
                    case ScriptOp::DropLink:
                        mouse->DropLink();
                        break;
                    case ScriptOp::RestoreLink:
                        mouse->RestoreLink();
                        break;
                    case ScriptOp::Battery:
                        mouse->SetBattery(step.value, step.charging);
                        if (auto* virtualBridge = dynamic_cast<VirtualBleBridge*>(bridge.get()))
                            virtualBridge->ReportBattery();
                        break;
                    case ScriptOp::Wait:
                        // The script asked for a pause, say to let a real-time effect show.
                        std::this_thread::sleep_for(std::chrono::milliseconds(step.value));
                        break;
                }
                handleChanges(changes.Take());
                presence.Queue().WaitIdle(kSettleLimit);
                sink.WaitQuiet();
            }
        } else {
            std::thread interrupt([&] {
                int signal = 0;
                sigwait(&signals, &signal);
                changes.Stop();
            });
            std::deque<HotplugEvent> events;
            while (changes.Wait(events)) {
                handleChanges(events);
                events.clear();
            }
            interrupt.join();
        }
        monitor->Stop();
        presence.Shutdown();
        presence.AttachBle(nullptr, "");
    }
    pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
    return 0;
}

const CommandRegistration kWatch("watch", "watch [--script FILE] [--receiver] [--ble]",
                                 "print the device events the program would receive, until interrupted "
                                 "(--virtual: --script drives the virtual mouse)",
                                 RunWatch);

}  // namespace
}  // namespace zor::ctl
