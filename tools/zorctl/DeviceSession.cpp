#include "DeviceSession.h"

#include <ostream>

#include "config/DeviceFeature.h"
#include "device/DeviceMatch.h"
#include "device/HidapiBus.h"
#include "device/VirtualBus.h"
#include "device/virtual/VirtualMouse.h"

namespace zor::ctl {

DeviceSession::DeviceSession(const Options& options, std::ostream& err) : m_finder(options.home) {
    if (options.virtualMouse) {
        auto bus = std::make_unique<VirtualBus>();
        m_mouse = std::make_shared<VirtualMouse>();
        bus->Attach(m_mouse);
        m_bus = std::move(bus);
    } else {
        m_bus = std::make_unique<HidapiBus>();
    }
    if (options.trace) {
        m_transport.SetTraceSink([&err](TraceDirection direction, std::span<const std::uint8_t> bytes) {
            err << TraceLine(direction, bytes) << '\n';
        });
    }
    m_finder.setMatchHook(MatchHookFor(*m_bus, m_link));
    m_finder.LoadDeviceList();

    auto& entries = m_finder.entries();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].found) {
            m_selected = static_cast<int>(i);
            break;
        }
    }
    if (m_selected < 0) return;
    const DeviceEntry& entry = entries[static_cast<std::size_t>(m_selected)];
    SelectDevice(entry, m_link);

    DeviceModel model;
    model.matchedName = entry.matchedName;
    DeviceFeatureRecord feature;
    if (LoadDeviceFeature(feature, options.home / "res" / "MouseVarn" / entry.devFolder, 0)) {
        model.writeTimes = feature.writeTimes;
        for (const auto& [slot, mode] : feature.ledModes) {
            if (slot >= 0 && slot < kLightingSlots) model.lightingMap[static_cast<std::size_t>(slot)] = mode;
        }
    }
    m_commands.SetModel(model);
}

DeviceSession::~DeviceSession() {
    for (DeviceEntry& entry : m_finder.entries()) {
        if (entry.found) ReleaseDevice(entry, m_link);
    }
}

const DeviceEntry* DeviceSession::Selected() const {
    if (m_selected < 0) return nullptr;
    return &m_finder.entries()[static_cast<std::size_t>(m_selected)];
}

}  // namespace zor::ctl
