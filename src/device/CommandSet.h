// The command set: every setting the program reads from or writes to the mouse is one op of the
// request record, turned here into command frames; on top sit the per-setting write, the full
// apply and the read-back of the mouse's current state.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "device/DeviceRequest.h"
#include "device/KeyCode.h"
#include "device/MacroSources.h"
#include "device/SettingsSource.h"
#include "device/Transport.h"

namespace zor {

namespace wire {
struct Layout;
}

inline constexpr int kReadTries = 5;
inline constexpr int kBleReadPauseMs = 80;
inline constexpr int kBleProfileIdReadPauseMs = 160;
inline constexpr int kHighestKeyForKeyTable = 11;  // op 4 writes are refused above this key
inline constexpr int kFirstComboKey = 16;

// What the mouse reports about its current state; -1 where the read failed.
struct CurrentState {
    int lightingSlot = -1;   // UI lighting slot of the mouse's mode
    int lightingParam2 = 0;  // the mode's second parameter
    int currentGear = -1;    // 0-based
    int reportRateIndex = -1;
    // The reads that brought no reply, named for a message ("lighting", "DPI", "report rate").
    std::vector<std::string> unanswered;
};

// A reply that came in over BLE, decoded on its own: the fields of its op in values.
struct BleReplyDecoded {
    std::uint8_t op = 0;
    std::uint8_t subOp = 0;
    bool awaited = false;  // it answered the read in progress, which has taken it into the record
    DeviceRequest values;
};

class CommandSet {
public:
    explicit CommandSet(Transport& transport) : m_transport(transport) {}

    void SetModel(const DeviceModel& model) { m_model = model; }
    const DeviceModel& Model() const { return m_model; }
    void SetSettings(const SettingsSource* settings) { m_settings = settings; }
    void SetMacroSources(const PredefinedMacros* predefined, const MacroLibrary* library) {
        m_predefined = predefined;
        m_library = library;
    }

    DeviceRequest& Request() { return m_request; }
    Transport& Link() { return m_transport; }

    // Sends the frames of the record's op. The last send's result, or the op's own result.
    int WriteRequest();
    // Reads the record's op back into the record. 1 when a valid reply was stored; over BLE 1
    // once the read is sent (LastReadReplied tells whether its reply came back in time).
    int ReadRequest();
    // Puts the data of a reply (payload from frame offset 9) into the record with the layouts
    // of the read commands.
    void StoreReply(std::uint8_t op, std::uint8_t subOp, int offset, std::span<const std::uint8_t> data);
    // The same decoding into any record.
    static void DecodeReply(DeviceRequest& record, std::uint8_t op, std::uint8_t subOp, int offset,
                            std::span<const std::uint8_t> data);
    // A reply frame of a BLE bridge event (codes 0x600 + op; the text as the bridge gives it),
    // decoded as a reply on the cable is: with the sub-op (and offset) of the read that asked for
    // it. The reply of a read in progress is handed to that read, which takes it into the record
    // at the end of its pause. Called on the bridge's thread as the event arrives (see
    // DevicePresence::AttachBle). nullopt for other codes and malformed text.
    std::optional<BleReplyDecoded> StoreBleReply(int eventCode, std::string_view text);
    // The same decoding without handing the reply to any read: for showing what a reply says.
    std::optional<BleReplyDecoded> DecodeBleReply(int eventCode, std::string_view text);
    // Whether the last read brought a reply into the record (over BLE: in time).
    bool LastReadReplied() const { return m_replied; }

    // Fills the record for one setting of one profile from the settings and writes it.
    int WriteSetting(int op, int profile, int subOp);
    // Writes everything of the profile: each write repeated WriteTimes times.
    int ApplyAll(int profile);
    CurrentState ReadCurrentState();

    // Writes one key's assignment: its key code (key table for keys 0-15, combination table for
    // 16-19), and for a predefined or user macro the macro's stream into the key's own slot.
    // A macro that cannot be found or has no events clears the key instead.
    int WriteKey(int keyIndex, const KeyAssignment& key);

    // Key assignment writes: the key the next op 4/5 WriteSetting uses, the keys the apply
    // walks, and the keys-only mode of the apply.
    int currentKey = 0;
    std::vector<int> keyList = DefaultKeyList();
    bool keysOnly = false;

    static std::vector<int> DefaultKeyList();

private:
    bool BleMode() const { return m_transport.Link().bleMode.load() != 0; }
    // Sends one frame whose payload is the record written in the layout.
    int WriteLayout(std::uint8_t command, std::uint8_t argument, int offset, const wire::Layout& layout);
    int WriteMacro();
    // One HID read exchange with retries. Returns 1 and the reply's data when a valid reply came.
    int ReadExchange(std::uint8_t command, std::uint8_t argument, int offset, int length,
                     std::array<std::uint8_t, kMaxPayload>& data);
    // Reads one part of an op (its data at offset, in the layout) into the record.
    int ReadPart(std::uint8_t op, std::uint8_t subOp, int offset, const wire::Layout& layout);
    std::optional<BleReplyDecoded> TakeBleReply(int eventCode, std::string_view text, bool store);
    int WriteKeyCode(int keyIndex, const std::array<std::uint8_t, 4>& bytes);

    Transport& m_transport;
    DeviceRequest m_request;
    DeviceModel m_model;
    const SettingsSource* m_settings = nullptr;
    const PredefinedMacros* m_predefined = nullptr;
    const MacroLibrary* m_library = nullptr;
    bool m_replied = false;

    // The BLE read waiting for its reply event, and the sub-op each op was last read with.
    struct BleAwaited {
        bool waiting = false;
        bool answered = false;
        std::uint8_t op = 0;
        std::uint8_t subOp = 0;
        int offset = 0;
        std::array<std::uint8_t, kMaxPayload> data{};
    };
    std::mutex m_bleMutex;
    BleAwaited m_bleAwaited;
    std::array<std::uint8_t, 16> m_bleSubOps{};
};

}  // namespace zor
