#include "device/DeviceView.h"

namespace zor {

DeviceViewState DeviceView::Get() const {
    std::lock_guard lock(m_mutex);
    return m_state;
}

void DeviceView::Set(const DeviceViewState& state) {
    std::lock_guard lock(m_mutex);
    m_state = state;
}

void DeviceView::Update(const std::function<void(DeviceViewState&)>& change) {
    std::lock_guard lock(m_mutex);
    change(m_state);
}

void DeviceView::SetKeySlotMap(std::map<int, int> map) {
    std::lock_guard lock(m_mutex);
    m_keySlots = std::move(map);
}

std::optional<int> DeviceView::UiKeyForSlot(int slot) const {
    std::lock_guard lock(m_mutex);
    const auto it = m_keySlots.find(slot);
    if (it == m_keySlots.end()) return std::nullopt;
    return it->second;
}

void DeviceView::SetKeyMapLoader(KeyMapLoader loader) {
    std::lock_guard lock(m_mutex);
    m_loader = std::move(loader);
}

void DeviceView::OnKeyRelease() {
    KeyMapLoader loader;
    {
        std::lock_guard lock(m_mutex);
        ++m_releases;
        loader = m_loader;
    }
    if (!loader) return;
    auto map = loader();  // file access outside the lock
    std::lock_guard lock(m_mutex);
    m_keySlots = std::move(map);
}

int DeviceView::Releases() const {
    std::lock_guard lock(m_mutex);
    return m_releases;
}

}  // namespace zor
