// What the main window currently shows of the selected mouse, as far as the listeners compare
// the mouse's reports with it, and the key slot map that names the key behind an event. The
// window writes it on the UI thread; listeners and the event worker read it from theirs.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>

namespace zor {

inline constexpr int kKeyStateCount = 20;  // key bits 0..19 of the status report

struct DeviceViewState {
    int activeProfile = 0;
    int currentGear = 0;           // 0-based
    std::uint8_t gearMask = 0xFF;  // bit g: gear g + 1 is enabled
    int lightingMode = 0;          // device mode number - 1
    int reportRateCode = 0;
    bool suppressEvents = false;  // the window ignores device events (an apply is running)
};

class DeviceView {
public:
    using KeyMapLoader = std::function<std::map<int, int>()>;

    DeviceViewState Get() const;
    void Set(const DeviceViewState& state);
    void Update(const std::function<void(DeviceViewState&)>& change);

    // Device key slot (1-based) -> UI key index.
    void SetKeySlotMap(std::map<int, int> map);
    std::optional<int> UiKeyForSlot(int slot) const;
    // The model's map is read again on every key release, so that an edited model file counts.
    void SetKeyMapLoader(KeyMapLoader loader);
    void OnKeyRelease();
    int Releases() const;

private:
    mutable std::mutex m_mutex;
    DeviceViewState m_state;
    std::map<int, int> m_keySlots;
    KeyMapLoader m_loader;
    int m_releases = 0;
};

}  // namespace zor
