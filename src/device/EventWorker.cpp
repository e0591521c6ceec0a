#include "device/EventWorker.h"

#include "common/Debug.h"
#include "device/DeviceMessages.h"

namespace zor {

void DeliverDeviceEvent(const DeviceEvent& e, const DeviceView& view, MessageSink& sink) {
    if (e.kind == kEventDpiValue) {
        sink.post(kMsgDeviceStageSwitch, 0, e.device);
        return;
    }
    if (e.kind < kEventDpiGear || e.kind > kEventReportRate) return;
    // Events of keys the model does not map are dropped.
    if (e.key < 0 || e.key >= kKeyStateCount) return;
    const auto uiKey = view.UiKeyForSlot(e.key + 1);
    if (!uiKey) {
        DebugF("device event of unmapped key slot %d dropped\n", e.key + 1);
        return;
    }
    const std::intptr_t m = *uiKey;
    switch (e.kind) {
        case kEventDpiGear:
            if (e.value != 0) sink.post(kMsgDeviceDpiChanged, e.value + 256 * m, e.device);
            break;
        case kEventProfile:
            sink.post(kMsgDeviceProfileChanged, e.value + 256 * m, e.device);
            break;
        case kEventLighting:
            if (e.catalogType == 1) sink.send(kMsgDeviceLightChanged, (m << 8) | (e.value & 0xBF), e.device);
            break;
        case kEventReportRate:
            if (e.catalogType == 1) sink.send(kMsgDeviceRateChanged, e.value + 256 * m, e.device);
            break;
        default:
            break;
    }
}

void EventWorker::Start() {
    if (m_thread.joinable()) return;
    m_thread = std::thread([this] { Run(); });
}

void EventWorker::Stop() {
    if (!m_thread.joinable()) return;
    m_queue.Stop();
    m_thread.join();
}

void EventWorker::Run() {
    while (const auto event = m_queue.WaitPop()) {
        DeliverDeviceEvent(*event, m_view, m_sink);
        m_queue.Done();
    }
}

}  // namespace zor
