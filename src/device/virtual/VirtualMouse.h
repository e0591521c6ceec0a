// The virtual mouse: a model of the mouse firmware that speaks the command protocol on its
// feature collection, sends status reports on its input collection, and can be driven like the
// real mouse (buttons, battery, unplugging, a receiver losing its mouse, misbehaving replies).
#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "device/CommandFrame.h"
#include "device/StatusReport.h"
#include "device/VirtualBus.h"

namespace zor {

inline constexpr std::uint16_t kVirtualVendorId = 0x3A5C;
inline constexpr std::uint16_t kVirtualCableProductId = 0x1001;
inline constexpr std::uint16_t kVirtualReceiverProductId = 0x1002;
inline constexpr const char* kVirtualCableProduct = "Zor MouseA";
inline constexpr const char* kVirtualReceiverProduct = "Zor MouseA Receiver";

// The mouse's own buttons and the key bits they report.
enum class MouseButton { Dpi = 5, Profile = 6, Lighting = 7, ReportRate = 8 };

enum class VirtualLinkKind { Cable, Receiver };

enum class ReplyMode {
    Normal,
    Nothing,  // replies carry length 0
    Garbage,  // replies are noise with a non-zero length byte
    Fail,     // feature reads fail
};

// Faults of a misbehaving mouse, for seeing how the programs cope.
enum class MouseFault {
    None,
    StopAnswering,  // the firmware hangs: every transfer stalls, then fails (as a USB time-out)
    Garbage,        // every reply is noise
    Unplug,         // the cable is pulled (the unplug action runs) between two frames
};

// The firmware's memory. Tables are addressed by the command's offset field.
struct VirtualMouseState {
    std::array<std::uint16_t, 4> profileIds{};
    std::uint8_t activeProfile = 0;
    std::uint16_t sleepTime = 600;
    std::uint16_t secondTime = 0;
    std::uint8_t optionA = 0;
    std::uint8_t optionB = 0;
    std::uint8_t chargeCounter = 0;
    std::uint8_t reportRate = 1;
    std::array<std::uint8_t, 16 * 4> keys{};
    std::array<std::uint8_t, 4 * 4> comboKeys{};
    std::array<std::uint8_t, 20> dpi{};
    std::array<std::uint8_t, 24> dpiColours{};
    std::array<std::uint8_t, 9 * 25> lighting{};  // header block, then mode blocks 1..8
    std::array<std::uint8_t, 7> params{};         // op-10 values by sub-op 1..6
    std::array<std::array<std::uint8_t, 512>, 16> macros{};
    int batteryPercent = 80;
    bool charging = false;
    std::uint8_t chip = 6;
    std::uint16_t report7Value = 0x0203;
};

class VirtualMouse final : public VirtualHidDevice {
public:
    explicit VirtualMouse(VirtualLinkKind kind = VirtualLinkKind::Cable);

    // VirtualHidDevice: interface 0 is the input collection, interface 1 the feature collection.
    std::vector<HidInterfaceInfo> Interfaces() const override;
    int SetFeature(int interfaceIndex, std::span<const std::uint8_t> report) override;
    int GetFeature(int interfaceIndex, std::span<std::uint8_t> report) override;
    int Read(int interfaceIndex, std::span<std::uint8_t> report, int timeoutMs) override;
    int InputWaitFd(int interfaceIndex) const override;
    void WakeReaders() override;
    void SetAttached(bool attached) override;

    // One command frame (41 bytes, report id first) from any link. Returns false for a frame
    // the firmware refused; refused frames are counted and change nothing.
    bool ReceiveFrame(std::span<const std::uint8_t> report);
    // The reply to the last read command, taken once; nullopt when there is none.
    std::optional<Report> TakeReply();

    VirtualMouseState State() const;
    void SetState(const VirtualMouseState& state);
    // Every frame received, in order, refused ones included.
    std::vector<Report> Frames() const;
    void ClearFrames();
    int BadFrames() const;
    bool Attached() const;
    bool Linked() const;
    VirtualLinkKind Kind() const { return m_kind; }

    // Driving the mouse.
    void Press(MouseButton button);
    void Release(MouseButton button);  // performs the button's action, then reports
    void Click(MouseButton button);
    void SetBattery(int percent, bool charging);
    void SetChip(std::uint8_t chip);
    void DropLink();  // behind a receiver: the mouse leaves the receiver
    void RestoreLink();
    void SetReplyMode(ReplyMode mode);
    // The fault starts once afterFrames more command frames have been taken; with 0 it starts
    // with the next transfer (an unplug before the next frame reaches the mouse).
    // MouseFault::None ends a fault (and a garbage reply mode it set).
    void InjectFault(MouseFault fault, int afterFrames = 0);
    MouseFault Fault() const;
    // How long a transfer of a hung mouse stalls before it fails.
    void SetStallMs(int ms);
    // What MouseFault::Unplug does: the owner of the bus detaches the mouse. Runs on the thread
    // that sent the frame, outside the mouse's lock.
    void SetUnplugAction(std::function<void()> action);
    // Queues count status reports at once on the input collection, the mouse's buttons bouncing
    // (pressed and released in turn, each report otherwise the current state).
    void FloodInput(int count);
    // Status reports queued and not read yet.
    int PendingInput() const;
    // Queues a status report of the current state on the input collection.
    void EmitStatusReport();
    StatusReport CurrentStatusReport() const;

private:
    StatusReport StatusLocked() const;
    void EmitLocked();
    bool HandleLocked(std::span<const std::uint8_t> report);
    bool HandleWrite(std::uint8_t command, std::uint8_t argument, int offset,
                     std::span<const std::uint8_t> data);
    bool HandleRead(const CommandFrame& frame);
    std::span<std::uint8_t> TableFor(std::uint8_t command, std::uint8_t argument);
    void ApplyButton(MouseButton button);

    const VirtualLinkKind m_kind;
    mutable std::mutex m_mutex;
    std::condition_variable m_inputReady;
    WakeEvent m_inputWake;  // raised while m_input may hold reports (and on attach changes)
    VirtualMouseState m_state;
    std::vector<Report> m_frames;
    std::optional<Report> m_reply;
    std::deque<StatusReport> m_input;
    std::uint16_t m_keyBits = 0;
    int m_badFrames = 0;
    bool m_attached = false;
    bool m_linked = true;
    ReplyMode m_replyMode = ReplyMode::Normal;
    MouseFault m_fault = MouseFault::None;  // the fault in force
    MouseFault m_pendingFault = MouseFault::None;
    int m_framesToFault = -1;  // frames still taken before m_pendingFault starts
    int m_stallMs = 200;
    std::condition_variable m_stallEnd;  // a stalled transfer ends early on detach
    std::function<void()> m_unplug;
    // Counts a frame towards a pending fault; true when the mouse is to be unplugged now.
    bool CountFrameLocked();
    // True when a transfer fails because the mouse hangs (after its stall) or because a fault
    // due before any frame pulls the cable now: then unplug is set to the unplug action, which
    // the caller runs once it has let go of the lock.
    bool StallLocked(std::unique_lock<std::mutex>& lock, std::function<void()>& unplug);
    std::uint32_t m_noise = 0x2545F491;
};

}  // namespace zor
