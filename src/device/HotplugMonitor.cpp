#include "device/HotplugMonitor.h"

#include <charconv>

#include "device/VirtualBus.h"

namespace zor {
namespace {

std::optional<std::uint32_t> ParseHexField(std::string_view text) {
    if (text.empty() || text.size() > 8) return std::nullopt;
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

HidBusType BusTypeFromHidBus(std::uint32_t bus) {
    // Linux input bus numbers (BUS_USB, BUS_BLUETOOTH, BUS_I2C, BUS_SPI).
    switch (bus) {
        case 0x03:
            return HidBusType::Usb;
        case 0x05:
            return HidBusType::Bluetooth;
        case 0x18:
            return HidBusType::I2c;
        case 0x1C:
            return HidBusType::Spi;
        default:
            return HidBusType::Unknown;
    }
}

}  // namespace

std::optional<HidId> ParseHidId(std::string_view text) {
    const auto first = text.find(':');
    if (first == std::string_view::npos) return std::nullopt;
    const auto second = text.find(':', first + 1);
    if (second == std::string_view::npos) return std::nullopt;
    const auto bus = ParseHexField(text.substr(0, first));
    const auto vendor = ParseHexField(text.substr(first + 1, second - first - 1));
    const auto product = ParseHexField(text.substr(second + 1));
    if (!bus || !vendor || !product || *vendor > 0xFFFF || *product > 0xFFFF) return std::nullopt;
    return HidId{BusTypeFromHidBus(*bus), static_cast<std::uint16_t>(*vendor),
                 static_cast<std::uint16_t>(*product)};
}

bool VirtualHotplugMonitor::Start(HotplugHandler handler) {
    if (!handler) return false;
    m_bus.SetHotplugHook([handler = std::move(handler)](bool arrived, const HidInterfaceInfo& info) {
        handler(HotplugEvent{arrived ? HotplugKind::Arrival : HotplugKind::Removal, info.vendorId,
                             info.productId, info.busType, info.path});
    });
    return true;
}

void VirtualHotplugMonitor::Stop() {
    m_bus.SetHotplugHook(nullptr);
}

}  // namespace zor
