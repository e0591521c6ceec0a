#include "device/KeyState.h"

#include "common/Debug.h"

namespace zor {

int KeyState::ProcessStatusReport(std::span<const std::uint8_t> report, int device, int catalogType,
                                  DeviceView& view, EventQueue& queue) {
    const auto status = ParseInputStatus(report);
    if (!status) return 0;
    const std::uint32_t bits = status->keyBits;
    const int profile = status->activeProfile;
    const int rate = status->reportRate;
    const int gear = status->gear;
    const int lighting = status->lighting;

    int queued = 0;
    auto queueEvent = [&](int kind, int key, int value) {
        if (queue.Push(DeviceEvent{device, kind, key, value, catalogType})) ++queued;
    };

    // Several listeners and the BLE path share the table: one report is handled at a time.
    std::lock_guard lock(m_mutex);
    for (int i = 0; i < kKeyStateCount; ++i) {
        const int bit = i < 16 ? static_cast<int>((bits >> i) & 1u) : 0;
        if (bit == m_keys[static_cast<std::size_t>(i)]) continue;
        m_keys[static_cast<std::size_t>(i)] = bit;
        if (bit != 0) continue;  // a press changes nothing; the release carries the change

        view.OnKeyRelease();
        const DeviceViewState shown = view.Get();
        // While the window ignores device events, releases are only recorded.
        if (shown.suppressEvents) continue;
        if (profile != shown.activeProfile) queueEvent(kEventProfile, i, profile);
        const bool gearEnabled = gear >= 1 && gear <= 8 && (shown.gearMask & (1u << (gear - 1))) != 0;
        if (gear != shown.currentGear + 1 && gearEnabled) queueEvent(kEventDpiGear, i, gear);
        if (lighting != 0 && lighting != ((shown.lightingMode + 1) | 0x80))
            queueEvent(kEventLighting, i, lighting);
        DebugF("curRptRate:%d,input7:%d\n", shown.reportRateCode, rate);
        if (rate != shown.reportRateCode) queueEvent(kEventReportRate, i, rate);
    }

    const int dpi = status->dpiValue;
    m_second = status->secondValue;
    if (dpi != 0 && dpi != m_lastDpi) {
        // The first value after start-up is only remembered: it is no change the user made.
        if (m_lastDpi != 0) queueEvent(kEventDpiValue, 0, 0);
        m_lastDpi = dpi;
    }
    return queued;
}

int KeyState::KeyBit(int i) const {
    std::lock_guard lock(m_mutex);
    return i >= 0 && i < kKeyStateCount ? m_keys[static_cast<std::size_t>(i)] : 0;
}

int KeyState::LastDpiValue() const {
    std::lock_guard lock(m_mutex);
    return m_lastDpi;
}

int KeyState::SecondValue() const {
    std::lock_guard lock(m_mutex);
    return m_second;
}

}  // namespace zor
