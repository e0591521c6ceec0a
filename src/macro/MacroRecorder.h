// The macro recorder: turns key presses and releases into the events of the working macro of
// the store, with the time between them as delays. The keyboard capture itself belongs to the
// GUI, which hands every key event to RecordKey.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "macro/MacroStore.h"

namespace zor {

class MacVkAndText;

// The key messages the GUI forwards.
inline constexpr std::uint32_t kMsgKeyDown = 0x100;
inline constexpr std::uint32_t kMsgKeyUp = 0x101;
inline constexpr std::uint32_t kMsgSysKeyDown = 0x104;
inline constexpr std::uint32_t kMsgSysKeyUp = 0x105;

inline constexpr std::uint32_t kSyntheticAltGrControl = 541;  // 0x21D
inline constexpr std::size_t kHeldKeysMax = 9;
inline constexpr std::int64_t kMaxGapMs = 50000;
inline constexpr std::uint32_t kTrailingDelayMs = 20;
inline constexpr std::int64_t kDayMs = 86400000;
inline constexpr int kRecordStreamLimit = 500;

enum class RecordKind { Error, Over, Added };

struct RecordResult {
    RecordKind kind = RecordKind::Error;
    std::u16string text;  // the key's display text for Added
};

// Loop-mode option position kept while recording: 0 until release, 1 until click, 2 times.
std::string_view LoopOptionOfPosition(int position);

class MacroRecorder {
public:
    using Clock = std::function<std::chrono::system_clock::time_point()>;

    MacroRecorder(MacroStore& store, const MacVkAndText& keys, Clock clock = &std::chrono::system_clock::now);

    // Starts recording into macro m of group g: its events are cleared and the loop-mode option
    // position is kept in rptType until the stop. False when the macro does not exist or a
    // recording is running (the GUI stops it instead).
    bool Start(int g, int m, int optionPosition);
    RecordResult RecordKey(std::uint32_t scanCode, std::uint32_t message);

    struct StopOutcome {
        bool bound = false;  // the macro is bound to device keys: it must be sent again
        MacroResult saved;
    };
    // Stores the recorded events, turns the kept position into the loop mode (count 1) and saves.
    StopOutcome Stop();

    bool recording() const { return m_recording; }
    int recorded() const { return m_recorded; }
    const std::vector<std::uint32_t>& held() const { return m_held; }

private:
    MacroStore& m_store;
    const MacVkAndText& m_keys;
    Clock m_clock;
    bool m_recording = false;
    int m_group = -1;
    int m_macro = -1;
    int m_recorded = 0;
    std::vector<std::uint32_t> m_held;
    // The previous accepted event; kept across recordings.
    std::uint32_t m_lastScan = 0;
    std::uint32_t m_lastMessage = 0;
    std::int64_t m_lastTime = 0;
};

}  // namespace zor
