#include "device/virtual/VirtualMouse.h"

#include <algorithm>
#include <chrono>

#include "device/CommandPayloads.h"
#include "device/Report7.h"

namespace zor {
namespace {

constexpr int kInputInterface = 0;
constexpr int kFeatureInterface = 1;
constexpr std::array<std::uint8_t, 4> kRateCycle = {8, 4, 2, 1};

// The DPI table (op 6) as its layout.
wire::Dpi DpiTable(const VirtualMouseState& state) {
    return *wire::Load<wire::Dpi>(state.dpi);
}

}  // namespace

VirtualMouse::VirtualMouse(VirtualLinkKind kind) : m_kind(kind) {
    // Factory state: five gears enabled, gear 1 current, lighting mode 1.
    const std::uint16_t gears[] = {400, 800, 1600, 3200, 6400, 12000, 16000, 26000};
    wire::Dpi dpi{};
    dpi.gearMask = 0x1F;
    dpi.currentGear = 1;
    for (std::size_t g = 0; g < dpi.dpi.size(); ++g) dpi.dpi[g].Set(gears[g]);
    wire::Store(dpi, m_state.dpi);
    m_state.lighting[0] = 1;
    m_state.params[1] = 21;
    m_state.params[2] = 1;
    m_state.reportRate = 1;
}

std::vector<HidInterfaceInfo> VirtualMouse::Interfaces() const {
    const bool receiver = m_kind == VirtualLinkKind::Receiver;
    HidInterfaceInfo input;
    input.vendorId = kVirtualVendorId;
    input.productId = receiver ? kVirtualReceiverProductId : kVirtualCableProductId;
    input.productString = receiver ? kVirtualReceiverProduct : kVirtualCableProduct;
    input.usagePage = 0xFF00;
    input.usage = 1;
    input.busType = HidBusType::Usb;
    input.interfaceNumber = 0;
    input.inputReportLength = kStatusReportLength;
    HidInterfaceInfo feature = input;
    feature.usagePage = 0xFF01;
    feature.interfaceNumber = 1;
    feature.inputReportLength = 0;
    return {input, feature};
}

int VirtualMouse::SetFeature(int interfaceIndex, std::span<const std::uint8_t> report) {
    if (interfaceIndex != kFeatureInterface) return -1;
    std::function<void()> unplug;
    {
        std::unique_lock lock(m_mutex);
        if (!m_attached) return -1;
        if (StallLocked(lock, unplug)) {
            lock.unlock();
            if (unplug) unplug();
            return -1;
        }
        if (report.empty() || report[0] != kCommandReportId) {
            ++m_badFrames;  // an unknown report id is stalled by the device
            return -1;
        }
        HandleLocked(report);
        if (CountFrameLocked()) unplug = m_unplug;
    }
    // The frame was taken; the cable comes out before the next one.
    if (unplug) unplug();
    return static_cast<int>(report.size());
}

bool VirtualMouse::CountFrameLocked() {
    if (m_framesToFault < 0 || --m_framesToFault > 0) return false;
    m_framesToFault = -1;
    m_fault = m_pendingFault;
    if (m_fault == MouseFault::Garbage) m_replyMode = ReplyMode::Garbage;
    return m_fault == MouseFault::Unplug;
}

bool VirtualMouse::StallLocked(std::unique_lock<std::mutex>& lock, std::function<void()>& unplug) {
    // A fault due at once; an unplug due at once takes the transfer with it.
    if (m_framesToFault == 0 && CountFrameLocked()) {
        unplug = m_unplug;
        return true;
    }
    if (m_fault != MouseFault::StopAnswering) return false;
    // A hung firmware answers nothing: the host's transfer times out.
    m_stallEnd.wait_for(lock, std::chrono::milliseconds(m_stallMs), [this] { return !m_attached; });
    return true;
}

void VirtualMouse::InjectFault(MouseFault fault, int afterFrames) {
    std::lock_guard lock(m_mutex);
    if (m_fault == MouseFault::Garbage || fault == MouseFault::None) m_replyMode = ReplyMode::Normal;
    m_fault = MouseFault::None;
    m_pendingFault = fault;
    m_framesToFault = fault == MouseFault::None ? -1 : std::max(afterFrames, 0);
}

MouseFault VirtualMouse::Fault() const {
    std::lock_guard lock(m_mutex);
    return m_fault;
}

void VirtualMouse::SetStallMs(int ms) {
    std::lock_guard lock(m_mutex);
    m_stallMs = std::max(ms, 0);
}

void VirtualMouse::SetUnplugAction(std::function<void()> action) {
    std::lock_guard lock(m_mutex);
    m_unplug = std::move(action);
}

void VirtualMouse::FloodInput(int count) {
    {
        std::lock_guard lock(m_mutex);
        if (!m_attached) return;
        const std::uint16_t held = m_keyBits;
        for (int i = 0; i < count; ++i) {
            m_keyBits = static_cast<std::uint16_t>(
                i % 2 == 0 ? held | (1u << static_cast<int>(MouseButton::Dpi)) : held);
            m_input.push_back(StatusLocked());
        }
        m_keyBits = held;
        m_inputWake.Raise();
    }
    m_inputReady.notify_all();
}

int VirtualMouse::PendingInput() const {
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_input.size());
}

int VirtualMouse::GetFeature(int interfaceIndex, std::span<std::uint8_t> report) {
    if (interfaceIndex != kFeatureInterface || report.empty()) return -1;
    std::unique_lock lock(m_mutex);
    if (!m_attached) return -1;
    std::function<void()> unplug;
    if (StallLocked(lock, unplug)) {
        lock.unlock();
        if (unplug) unplug();
        return -1;
    }
    if (report[0] == kReport7Id) {
        if (report.size() < kReport7Size) return -1;
        wire::Report7 answer{};
        answer.reportId = kReport7Id;
        answer.value.Set(m_state.report7Value);
        wire::Store(answer, report);
        return static_cast<int>(kReport7Size);
    }
    if (report[0] != kCommandReportId || report.size() < kReportSize) return -1;

    Report reply{};
    reply[0] = kCommandReportId;
    switch (m_replyMode) {
        case ReplyMode::Fail:
            return -1;
        case ReplyMode::Garbage:
            for (std::size_t i = 1; i < kReportSize; ++i) {
                m_noise = m_noise * 1664525u + 1013904223u;
                reply[i] = static_cast<std::uint8_t>(m_noise >> 24);
            }
            reply[kPosLength] = static_cast<std::uint8_t>(reply[kPosLength] | 0x80);
            break;
        case ReplyMode::Nothing:
            break;
        case ReplyMode::Normal:
            if (m_reply) reply = *m_reply;
            break;
    }
    m_reply.reset();
    std::copy(reply.begin(), reply.end(), report.begin());
    return static_cast<int>(kReportSize);
}

int VirtualMouse::InputWaitFd(int interfaceIndex) const {
    return interfaceIndex == kInputInterface ? m_inputWake.Fd() : -1;
}

void VirtualMouse::WakeReaders() {
    std::lock_guard lock(m_mutex);
    m_inputWake.Raise();
}

int VirtualMouse::Read(int interfaceIndex, std::span<std::uint8_t> report, int timeoutMs) {
    if (interfaceIndex != kInputInterface) return -1;
    std::unique_lock lock(m_mutex);
    const bool ready = m_inputReady.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)),
                                             [&] { return !m_attached || !m_input.empty(); });
    if (!m_attached) return -1;
    if (!ready) {
        m_inputWake.Clear();
        return 0;
    }
    const StatusReport status = m_input.front();
    m_input.pop_front();
    if (m_input.empty()) m_inputWake.Clear();
    const std::size_t n = std::min(report.size(), status.size());
    std::copy_n(status.begin(), n, report.begin());
    return static_cast<int>(n);
}

void VirtualMouse::SetAttached(bool attached) {
    {
        std::lock_guard lock(m_mutex);
        m_attached = attached;
        m_input.clear();
        m_reply.reset();
        // Readers waiting on the wake-up look again and find the device gone (or, after an
        // attach, an empty queue that clears it).
        m_inputWake.Raise();
    }
    m_inputReady.notify_all();
    m_stallEnd.notify_all();
}

bool VirtualMouse::ReceiveFrame(std::span<const std::uint8_t> report) {
    std::lock_guard lock(m_mutex);
    return HandleLocked(report);
}

std::optional<Report> VirtualMouse::TakeReply() {
    std::lock_guard lock(m_mutex);
    if (m_replyMode == ReplyMode::Nothing || m_replyMode == ReplyMode::Fail) {
        m_reply.reset();
        return std::nullopt;
    }
    auto reply = m_reply;
    m_reply.reset();
    return reply;
}

bool VirtualMouse::HandleLocked(std::span<const std::uint8_t> report) {
    Report bytes{};
    std::copy_n(report.begin(), std::min(report.size(), kReportSize), bytes.begin());
    m_frames.push_back(bytes);
    m_reply.reset();

    const CommandFrame frame = CommandFrame::FromBytes(bytes);
    const bool bad =
        report.size() < kReportSize || frame.reportId != kCommandReportId || frame.length > kMaxPayload;
    bool ok = false;
    if (!bad && m_linked) {
        if ((frame.command & kReadBit) != 0) {
            ok = HandleRead(frame);
        } else {
            ok = HandleWrite(frame.command, frame.argument, frame.Offset(), frame.Data());
        }
    } else if (!bad) {
        return true;  // a receiver without its mouse takes the frame and nothing answers
    }
    if (!ok) ++m_badFrames;
    return ok;
}

std::span<std::uint8_t> VirtualMouse::TableFor(std::uint8_t command, std::uint8_t argument) {
    switch (command & ~kReadBit) {
        case 0x04:
            return m_state.keys;
        case 0x05:
            return m_state.comboKeys;
        case 0x06:
            return m_state.dpi;
        case 0x07:
            return m_state.dpiColours;
        case 0x08:
            if (argument < m_state.macros.size()) return m_state.macros[argument];
            return {};
        case 0x09:
            return m_state.lighting;
        default:
            return {};
    }
}

bool VirtualMouse::HandleWrite(std::uint8_t command, std::uint8_t argument, int offset,
                               std::span<const std::uint8_t> data) {
    auto byte = [&](std::size_t i) -> std::uint8_t { return i < data.size() ? data[i] : 0; };
    switch (command) {
        case 0x02:
            switch (argument) {
                case 1: {
                    const auto write = wire::Load<wire::ProfileIdWrite>(data);
                    if (offset % 2 != 0 || offset / 2 >= 4 || !write) return false;
                    m_state.profileIds[static_cast<std::size_t>(offset / 2)] = write->id.Get();
                    return true;
                }
                case 2:
                    if (data.empty() || byte(0) > 3) return false;
                    m_state.activeProfile = byte(0);
                    return true;
                case 3:
                case 4: {
                    // The second time has the sleep time's layout: seconds, low byte first.
                    const auto write = wire::Load<wire::SleepTime>(data);
                    if (!write) return false;
                    (argument == 3 ? m_state.sleepTime : m_state.secondTime) = write->seconds.Get();
                    return true;
                }
                case 5:
                    m_state.optionA = byte(0);
                    return !data.empty();
                case 6:
                    m_state.optionB = byte(0);
                    return !data.empty();
                default:
                    return false;
            }
        case 0x03:
            if (data.empty()) return false;
            m_state.reportRate = byte(0);
            return true;
        case 0x0A:
            if (argument < 1 || argument > 6 || data.empty()) return false;
            m_state.params[argument] = byte(0);
            return true;
        default: {
            auto table = TableFor(command, argument);
            if (table.empty() || offset + data.size() > table.size()) return false;
            std::copy(data.begin(), data.end(), table.begin() + offset);
            return true;
        }
    }
}

bool VirtualMouse::HandleRead(const CommandFrame& frame) {
    const std::uint8_t command = frame.command;
    const std::uint8_t argument = frame.argument;
    const int offset = frame.Offset();
    const int length = frame.length;
    std::array<std::uint8_t, kMaxPayload> data{};
    switch (command) {
        case 0x81: {
            wire::StatusReply status{};
            status.connectionState = m_linked ? 1 : 0;
            status.battery = static_cast<std::uint8_t>(std::clamp(m_state.batteryPercent, 0, 100) |
                                                       (m_state.charging ? 0x80 : 0));
            status.chip = m_state.chip;
            wire::Store(status, data);
            break;
        }
        case 0x82:
            switch (argument) {
                case 1: {
                    wire::ProfileIdsReply ids{};
                    for (std::size_t i = 0; i < ids.ids.size(); ++i) ids.ids[i].Set(m_state.profileIds[i]);
                    wire::Store(ids, data);
                    break;
                }
                case 2:
                    data[0] = m_state.activeProfile;
                    break;
                case 3: {
                    wire::SleepTime sleep{};
                    sleep.seconds.Set(m_state.sleepTime);
                    wire::Store(sleep, data);
                    break;
                }
                case 5:
                    data[0] = m_state.optionA;
                    break;
                case 6:
                    data[0] = m_state.optionB;
                    break;
                case 7:
                    data[0] = m_state.chargeCounter;
                    break;
                default:
                    return false;
            }
            break;
        case 0x83:
            data[0] = m_state.reportRate;
            break;
        case 0x8A:
            if (argument < 1 || argument > 6) return false;
            data[0] = m_state.params[argument];
            break;
        default: {
            auto table = TableFor(command, argument);
            if (table.empty() || offset + length > static_cast<int>(table.size())) return false;
            std::copy_n(table.begin() + offset, length, data.begin());
        }
    }
    // The reply echoes the frame with the data asked for in its payload.
    CommandFrame reply = frame;
    reply.payload = {};
    std::copy_n(data.begin(), length, reply.payload.begin());
    m_reply = reply.Bytes();
    return true;
}

VirtualMouseState VirtualMouse::State() const {
    std::lock_guard lock(m_mutex);
    return m_state;
}

void VirtualMouse::SetState(const VirtualMouseState& state) {
    std::lock_guard lock(m_mutex);
    m_state = state;
}

std::vector<Report> VirtualMouse::Frames() const {
    std::lock_guard lock(m_mutex);
    return m_frames;
}

void VirtualMouse::ClearFrames() {
    std::lock_guard lock(m_mutex);
    m_frames.clear();
    m_badFrames = 0;
}

int VirtualMouse::BadFrames() const {
    std::lock_guard lock(m_mutex);
    return m_badFrames;
}

bool VirtualMouse::Attached() const {
    std::lock_guard lock(m_mutex);
    return m_attached;
}

bool VirtualMouse::Linked() const {
    std::lock_guard lock(m_mutex);
    return m_linked;
}

void VirtualMouse::Press(MouseButton button) {
    {
        std::lock_guard lock(m_mutex);
        m_keyBits = static_cast<std::uint16_t>(m_keyBits | (1u << static_cast<int>(button)));
        EmitLocked();
    }
    m_inputReady.notify_all();
}

void VirtualMouse::Release(MouseButton button) {
    {
        std::lock_guard lock(m_mutex);
        ApplyButton(button);
        m_keyBits = static_cast<std::uint16_t>(m_keyBits & ~(1u << static_cast<int>(button)));
        EmitLocked();
    }
    m_inputReady.notify_all();
}

void VirtualMouse::Click(MouseButton button) {
    Press(button);
    Release(button);
}

void VirtualMouse::ApplyButton(MouseButton button) {
    switch (button) {
        case MouseButton::Profile:
            m_state.activeProfile = static_cast<std::uint8_t>((m_state.activeProfile + 1) % 3);
            break;
        case MouseButton::Dpi: {
            // The next enabled gear, wrapping round.
            const int mask = m_state.dpi[0];
            if (mask == 0) break;
            int gear = std::clamp<int>(m_state.dpi[1], 1, 8);
            do {
                gear = gear % 8 + 1;
            } while ((mask & (1 << (gear - 1))) == 0);
            m_state.dpi[1] = static_cast<std::uint8_t>(gear);
            break;
        }
        case MouseButton::Lighting: {
            const int mode = m_state.lighting[0] & 0x3F;
            m_state.lighting[0] = static_cast<std::uint8_t>((m_state.lighting[0] & 0x40) | (mode % 8 + 1));
            break;
        }
        case MouseButton::ReportRate: {
            const auto it = std::find(kRateCycle.begin(), kRateCycle.end(), m_state.reportRate);
            const std::size_t next =
                it == kRateCycle.end()
                    ? 0
                    : static_cast<std::size_t>(it - kRateCycle.begin() + 1) % kRateCycle.size();
            m_state.reportRate = kRateCycle[next];
            break;
        }
    }
}

void VirtualMouse::SetBattery(int percent, bool charging) {
    std::lock_guard lock(m_mutex);
    m_state.batteryPercent = percent;
    m_state.charging = charging;
}

void VirtualMouse::SetChip(std::uint8_t chip) {
    std::lock_guard lock(m_mutex);
    m_state.chip = chip;
}

void VirtualMouse::DropLink() {
    {
        std::lock_guard lock(m_mutex);
        m_linked = false;
        m_reply.reset();
        EmitLocked();
    }
    m_inputReady.notify_all();
}

void VirtualMouse::RestoreLink() {
    {
        std::lock_guard lock(m_mutex);
        m_linked = true;
        EmitLocked();
    }
    m_inputReady.notify_all();
}

void VirtualMouse::SetReplyMode(ReplyMode mode) {
    std::lock_guard lock(m_mutex);
    m_replyMode = mode;
}

void VirtualMouse::EmitStatusReport() {
    {
        std::lock_guard lock(m_mutex);
        EmitLocked();
    }
    m_inputReady.notify_all();
}

StatusReport VirtualMouse::CurrentStatusReport() const {
    std::lock_guard lock(m_mutex);
    return StatusLocked();
}

void VirtualMouse::EmitLocked() {
    if (!m_attached) return;
    m_input.push_back(StatusLocked());
    m_inputWake.Raise();
}

StatusReport VirtualMouse::StatusLocked() const {
    const wire::Dpi dpi = DpiTable(m_state);
    InputStatus status;
    status.link = m_linked ? 1 : 0;
    status.keyBits = m_keyBits;
    status.activeProfile = m_state.activeProfile;
    status.reportRate = m_state.reportRate;
    status.gear = dpi.currentGear;
    const int mode = m_state.lighting[0] & kModeNumberMask;
    status.lighting = mode != 0 ? static_cast<std::uint8_t>(mode | 0x80) : 0;
    const auto gear = static_cast<std::size_t>(std::clamp<int>(dpi.currentGear, 1, kDpiGears));
    status.dpiValue = dpi.dpi[gear - 1].Get();
    return EncodeInputStatus(status);
}

}  // namespace zor
