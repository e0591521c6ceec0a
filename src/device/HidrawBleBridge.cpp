#include "device/HidrawBleBridge.h"

#include <algorithm>
#include <filesystem>
#include <vector>

#include "common/Debug.h"
#include "common/Text.h"
#include "device/BleText.h"
#include "device/CommandFrame.h"
#include "device/DeviceMatch.h"
#include "device/Transport.h"

namespace zor {

HidrawBleBridge::HidrawBleBridge(HidBus& bus, Sleeper& sleeper) : m_bus(bus), m_sleeper(sleeper) {}

HidrawBleBridge::~HidrawBleBridge() {
    Disconnect(false);
}

bool HidrawBleBridge::BluetoothPresent() {
    std::error_code error;
    const std::filesystem::path adapters = "/sys/class/bluetooth";
    return std::filesystem::is_directory(adapters, error) &&
           std::filesystem::directory_iterator(adapters, error) != std::filesystem::directory_iterator();
}

bool HidrawBleBridge::Registered() const {
    return BluetoothPresent();
}

bool HidrawBleBridge::BleConnect(const std::string& deviceNames) {
    {
        std::lock_guard lock(m_mutex);
        m_names = deviceNames;
    }
    if (!Link(deviceNames)) Emit(kBleEventConnectFailed, "");
    return true;
}

bool HidrawBleBridge::Link(const std::string& deviceNames) {
    std::vector<std::string> names;
    for (const auto& name : Split(deviceNames, ',')) {
        if (!Trim(name).empty()) names.push_back(Trim(name));
    }
    Disconnect(false);

    std::shared_ptr<HidHandle> feature;
    std::shared_ptr<HidHandle> input;
    for (const HidInterfaceInfo& info : m_bus.Enumerate()) {
        if (info.busType != HidBusType::Bluetooth) continue;
        if (std::find(names.begin(), names.end(), info.productString) == names.end()) continue;
        if (info.usage != kVendorUsage) continue;
        if (info.usagePage == kFeatureUsagePage && !feature) {
            feature = m_bus.Open(info.path, HidAccess::Write);
        } else if (info.usagePage == kInputUsagePage && !input) {
            input = m_bus.Open(info.path, HidAccess::Read);
        }
    }
    if (!feature) {
        if (input) input->Close();
        DebugLine("BLE: no linked device of the BLE list\n");
        return false;
    }
    {
        std::lock_guard lock(m_mutex);
        m_feature = feature;
        m_featurePath = feature->Path();
        m_input = input;
        m_inputPath = input ? input->Path() : std::string();
        m_stopReader = false;
        m_readerWake.Clear();
        if (input) m_reader = std::thread([this, input] { ReadInput(input); });
    }
    Emit(kBleEventLinkUp, "");
    ReportBattery();
    return true;
}

std::optional<std::int16_t> HidrawBleBridge::BleQuery() {
    return static_cast<std::int16_t>(Linked() ? 1 : 0);
}

std::optional<std::int16_t> HidrawBleBridge::BleSend(const std::string& frameText) {
    const auto bytes = ParseBleText(frameText);
    if (!bytes || bytes->size() != kReportSize || (*bytes)[0] != kCommandReportId) {
        DebugLine("BLE: frame text refused\n");
        return static_cast<std::int16_t>(0);
    }
    std::shared_ptr<HidHandle> feature;
    {
        std::lock_guard lock(m_mutex);
        feature = m_feature;
    }
    if (!feature || feature->SetFeature(*bytes) <= 0) return static_cast<std::int16_t>(0);

    const std::uint8_t command = (*bytes)[kPosCommand];
    if ((command & kReadBit) != 0) {
        // The reply is ready after the protocol's read pause; it travels as an event, as the
        // program expects of a BLE link.
        m_sleeper.SleepMs(kPauseBeforeReadMs);
        Report reply{};
        reply[0] = kCommandReportId;
        if (feature->GetFeature(reply) > 0 && reply[kPosLength] != 0) {
            Emit(kBleEventReplyBase + (command & 0x0F), ToBleEventText(reply));
        }
    }
    return static_cast<std::int16_t>(1);
}

void HidrawBleBridge::ReportBattery() {
    std::shared_ptr<HidHandle> feature;
    {
        std::lock_guard lock(m_mutex);
        feature = m_feature;
    }
    if (!feature) return;
    Report query{};
    query[0] = kCommandReportId;
    query[kPosCommand] = 0x81;
    query[kPosLength] = 3;
    if (feature->SetFeature(query) <= 0) return;
    m_sleeper.SleepMs(kPauseBeforeReadMs);
    Report reply{};
    reply[0] = kCommandReportId;
    if (feature->GetFeature(reply) > 0 && reply[kPosLength] != 0)
        Emit(kBleEventBattery, ToBleEventText(reply));
}

void HidrawBleBridge::SetEventHandler(BleEventHandler handler) {
    std::lock_guard lock(m_mutex);
    m_handler = std::move(handler);
}

bool HidrawBleBridge::Linked() const {
    std::lock_guard lock(m_mutex);
    return m_feature != nullptr;
}

void HidrawBleBridge::OnHotplug(const HotplugEvent& event) {
    if (event.kind == HotplugKind::Removal) {
        bool ours = false;
        {
            std::lock_guard lock(m_mutex);
            ours = m_feature && (event.path == m_featurePath || event.path == m_inputPath);
        }
        if (ours) Disconnect(true);
    } else if (event.busType == HidBusType::Bluetooth && !Linked()) {
        // A Bluetooth device came: the mouse asked for before may be back. Without an earlier
        // request the program is asked to connect.
        std::string names;
        {
            std::lock_guard lock(m_mutex);
            names = m_names;
        }
        if (names.empty()) {
            Emit(kBleEventReconnect, "");
        } else {
            Link(names);  // another Bluetooth device is no failure worth reporting
        }
    }
}

void HidrawBleBridge::ReadInput(std::shared_ptr<HidHandle> input) {
    std::vector<std::uint8_t> report(64);
    while (!m_stopReader.load()) {
        const int got = input->ReadUntil(report, m_readerWake);
        if (got > 0) {
            Emit(kBleEventInputBase + report[0],
                 ToBleEventText(std::span<const std::uint8_t>(report.data(), static_cast<std::size_t>(got))));
        } else if (got < 0) {
            // The node is gone or broken; the removal (or Disconnect) tidies up.
            if (!input->IsOpen()) return;
            std::unique_lock lock(m_mutex);
            m_readerStop.wait_for(lock, std::chrono::milliseconds(100), [&] { return m_stopReader.load(); });
        }
    }
}

void HidrawBleBridge::Disconnect(bool announce) {
    std::shared_ptr<HidHandle> feature;
    std::shared_ptr<HidHandle> input;
    std::thread reader;
    {
        std::lock_guard lock(m_mutex);
        feature = std::move(m_feature);
        input = std::move(m_input);
        m_featurePath.clear();
        m_inputPath.clear();
        m_stopReader = true;
        m_readerWake.Raise();
        reader = std::move(m_reader);
    }
    m_readerStop.notify_all();
    if (reader.joinable()) reader.join();
    if (feature) feature->Close();
    if (input) input->Close();
    if (announce && feature) Emit(kBleEventLinkDown, "");
}

void HidrawBleBridge::Emit(int code, const std::string& text) {
    BleEventHandler handler;
    {
        std::lock_guard lock(m_mutex);
        handler = m_handler;
    }
    if (handler) handler(code, text);
}

}  // namespace zor
