#include "macro/MacroRecorder.h"

#include <algorithm>

#include "device/MacroStream.h"
#include "macro/MacVkAndText.h"
#include "macro/MacroUsage.h"

namespace zor {

namespace {

std::int64_t MillisecondsSinceMidnightUtc(std::chrono::system_clock::time_point now) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
    return ((ms % kDayMs) + kDayMs) % kDayMs;
}

}  // namespace

std::string_view LoopOptionOfPosition(int position) {
    if (position == 0) return kOptCycleUntilRelease;
    if (position == 1) return kOptCycleUntilClick;
    return kOptCycleTimes;
}

MacroRecorder::MacroRecorder(MacroStore& store, const MacVkAndText& keys, Clock clock)
    : m_store(store), m_keys(keys), m_clock(std::move(clock)) {}

bool MacroRecorder::Start(int g, int m, int optionPosition) {
    if (m_recording || !m_store.SelectMacro(g, m)) return false;
    m_group = g;
    m_macro = m;
    MacroDeviceBlock& b = m_store.working().device;
    if (optionPosition < 0 || optionPosition > 2) optionPosition = 2;
    b.rptType = static_cast<std::uint8_t>(optionPosition);
    // A new recording replaces the macro's events; the columns beyond num stay zero.
    b.num = 0;
    b.macSta.fill(0);
    b.macVal.fill(0);
    b.extVal.fill({0, 0});
    b.macDly.fill(0);
    m_held.clear();
    m_recorded = 0;
    m_recording = true;
    m_store.SetBusy(true);
    return true;
}

RecordResult MacroRecorder::RecordKey(std::uint32_t scan, std::uint32_t message) {
    if (!m_recording) return {};
    // The left Control that some systems send along with AltGr is not a key the user pressed.
    if (scan == kSyntheticAltGrControl) return {};
    if (scan == m_lastScan && message == m_lastMessage) return {};  // auto-repeat
    const bool press = message == kMsgKeyDown || message == kMsgSysKeyDown;
    const bool release = message == kMsgKeyUp || message == kMsgSysKeyUp;
    if (!press && !release) return {};
    MacroDeviceBlock& b = m_store.working().device;
    const int i = m_recorded;
    if (i >= kMacroMaxEvents) return {RecordKind::Over, {}};

    if (press) {
        // The held list never grows beyond nine keys: a tenth press is not recorded.
        if (m_held.size() >= kHeldKeysMax) return {};
        m_held.push_back(scan);
    } else {
        auto it = std::find(m_held.begin(), m_held.end(), scan);
        if (it == m_held.end()) return {};  // release of a press that was not recorded
        m_held.erase(it);
    }
    const auto idx = static_cast<std::size_t>(i);
    b.macVal[idx] = MacVkAndText::ScanToUsage(scan);
    b.macSta[idx] = press ? kMacStatePress : kMacStateRelease;

    const std::int64_t t = MillisecondsSinceMidnightUtc(m_clock());
    std::int64_t d = t - m_lastTime;
    if (d < 0) d += kDayMs;  // the clock passed midnight
    // Long pauses are capped, also across midnight and after the clock was set back.
    d = std::min(d, kMaxGapMs);
    m_lastTime = t;

    if (i == 0) {
        b.macDly[0] = kTrailingDelayMs;
    } else {
        b.macDly[idx - 1] = static_cast<std::uint32_t>(d);
        b.macDly[idx] = kTrailingDelayMs;
    }
    b.extVal[idx] = {0, 0};
    b.num = static_cast<std::uint16_t>(i + 1);
    m_recorded = i + 1;

    if (EstimateStreamLength(b) > kRecordStreamLimit) return {RecordKind::Over, {}};
    m_lastScan = scan;
    m_lastMessage = message;
    return {RecordKind::Added, m_keys.ScanToText(scan)};
}

MacroRecorder::StopOutcome MacroRecorder::Stop() {
    StopOutcome outcome;
    if (!m_recording) return outcome;
    m_recording = false;
    m_store.SetBusy(false);
    MacroDeviceBlock& b = m_store.working().device;
    b.num = static_cast<std::uint16_t>(m_recorded);
    b.numXY = b.numWhl = b.numCpi = b.numMedia = 0;
    b.macRpt = 1;
    m_store.StoreWorking(m_group, m_macro);
    outcome.saved = m_store.SetLoopMode(m_group, m_macro, LoopOptionOfPosition(b.rptType), 1);
    if (const MacroRecord* rec = m_store.macro(m_group, m_macro)) outcome.bound = MacroIsBound(*rec);
    m_held.clear();
    return outcome;
}

}  // namespace zor
