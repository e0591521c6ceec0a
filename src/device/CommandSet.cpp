#include "device/CommandSet.h"

#include <algorithm>
#include <numeric>

#include "common/Colour.h"
#include "common/Debug.h"
#include "device/BleBridge.h"
#include "device/MacroStream.h"

namespace zor {
namespace {

constexpr std::uint8_t kCmdStatus = 0x01;
constexpr std::uint8_t kCmdProfile = 0x02;
constexpr std::uint8_t kCmdReportRate = 0x03;
constexpr std::uint8_t kCmdKey = 0x04;
constexpr std::uint8_t kCmdComboKey = 0x05;
constexpr std::uint8_t kCmdDpi = 0x06;
constexpr std::uint8_t kCmdDpiColours = 0x07;
constexpr std::uint8_t kCmdLighting = 0x09;
constexpr std::uint8_t kCmdParams = 0x0A;
constexpr int kDpiPayload = 20;
constexpr int kDpiColoursPayload = 24;

std::uint16_t Le16(std::span<const std::uint8_t> d, std::size_t at) {
    return static_cast<std::uint16_t>(d[at] | (d[at + 1] << 8));
}

std::uint16_t Be16(std::span<const std::uint8_t> d, std::size_t at) {
    return static_cast<std::uint16_t>((d[at] << 8) | d[at + 1]);
}

std::uint16_t Seconds(int minutes) {
    return static_cast<std::uint16_t>(std::clamp(minutes * 60, 0, 0xFFFF));
}

void PutColour(std::uint8_t* out, std::uint32_t rgb) {
    const WireColour wire = ColourToWire(rgb);
    std::copy(wire.begin(), wire.end(), out);
}

std::uint32_t GetColour(std::span<const std::uint8_t> d, std::size_t at) {
    return ColourFromWire(WireColour{d[at], d[at + 1], d[at + 2]});
}

}  // namespace

std::vector<int> CommandSet::DefaultKeyList() {
    std::vector<int> keys(kKeyCount);
    std::iota(keys.begin(), keys.end(), 0);
    return keys;
}

int CommandSet::WriteSimple(std::uint8_t command, std::uint8_t argument, int offset,
                            std::span<const std::uint8_t> payload) {
    return m_transport.SendCommand(command, argument, offset, static_cast<int>(payload.size()),
                                   payload.data());
}

int CommandSet::WriteRequest() {
    DeviceRequest& r = m_request;
    LinkState& link = m_transport.Link();
    switch (r.op) {
        case kOpStatus:
            if (link.bleStatus == 0 && link.ble != nullptr) link.ble->BleConnect(r.bleDeviceNames);
            return 0;
        case kOpProfile:
            switch (r.subOp) {
                case kSubProfileId: {
                    if (r.profileIdIndex < 0 || r.profileIdIndex >= kProfileCount) return 0;
                    const std::uint16_t id = r.profileIds[static_cast<std::size_t>(r.profileIdIndex)];
                    const std::uint8_t payload[] = {static_cast<std::uint8_t>(id >> 8),
                                                    static_cast<std::uint8_t>(id & 0xFF)};
                    return WriteSimple(kCmdProfile, kSubProfileId, 2 * r.profileIdIndex, payload);
                }
                case kSubActiveProfile: {
                    const std::uint8_t payload[] = {r.activeProfile};
                    return WriteSimple(kCmdProfile, kSubActiveProfile, 0, payload);
                }
                case kSubSleepTime: {
                    const std::uint8_t payload[] = {static_cast<std::uint8_t>(r.sleepTime & 0xFF),
                                                    static_cast<std::uint8_t>(r.sleepTime >> 8)};
                    return WriteSimple(kCmdProfile, kSubSleepTime, 0, payload);
                }
                case kSubOptionA: {
                    const std::uint8_t payload[] = {r.optionA};
                    return WriteSimple(kCmdProfile, kSubOptionA, 0, payload);
                }
                case kSubOptionB: {
                    const std::uint8_t payload[] = {r.optionB};
                    return WriteSimple(kCmdProfile, kSubOptionB, 0, payload);
                }
                default:
                    return 0;  // 2/4 and the read-only sub-ops are not written
            }
        case kOpReportRate: {
            const std::uint8_t payload[] = {r.reportRate};
            return WriteSimple(kCmdReportRate, 0, 0, payload);
        }
        case kOpKey:
        case kOpComboKey:
            return WriteSimple(r.tableSelector != 0 ? kCmdComboKey : kCmdKey, 0, 4 * r.keyIndex, r.keyCode);
        case kOpDpi: {
            std::array<std::uint8_t, kDpiPayload> payload{};
            payload[0] = r.gearMask;
            payload[1] = r.currentGear;
            for (std::size_t g = 0; g < kDpiGears; ++g) {
                payload[2 + 2 * g] = static_cast<std::uint8_t>(r.dpi[g] & 0xFF);
                payload[3 + 2 * g] = static_cast<std::uint8_t>((r.dpi[g] >> 8) & 0xFF);
            }
            payload[18] = static_cast<std::uint8_t>(r.dpiAttributes & 0xFF);
            payload[19] = static_cast<std::uint8_t>(r.dpiAttributes >> 8);
            return WriteSimple(kCmdDpi, 0, 0, payload);
        }
        case kOpDpiColours: {
            std::array<std::uint8_t, kDpiColoursPayload> payload{};
            for (std::size_t g = 0; g < kDpiGears; ++g) PutColour(&payload[3 * g], r.dpiColours[g]);
            return WriteSimple(kCmdDpiColours, 0, 0, payload);
        }
        case kOpMacro:
            return WriteMacro();
        case kOpLighting:
            return WriteLighting();
        case kOpParams: {
            std::uint8_t value = 0;
            switch (r.subOp) {
                case 1:
                    value = r.valueA;
                    break;
                case 2:
                    value = r.valueB;
                    break;
                case 5:
                    value = r.valueC;
                    break;
                case 6:
                    value = r.valueD;
                    break;
                default:
                    return 0;
            }
            const std::uint8_t payload[] = {value};
            return WriteSimple(kCmdParams, r.subOp, 0, payload);
        }
        case kOpBleQuery: {
            if (link.bleStatus != 0 || link.ble == nullptr) return 0;
            const auto value = link.ble->BleQuery();
            return value ? *value : 0;
        }
        default:
            return 0;
    }
}

int CommandSet::WriteMacro() {
    const int limit = m_request.firstTwoSlotsOnly != 0 ? 2 : kMacroSlots;
    if (m_request.macroSlot >= limit) return 0;
    return EncodeMacro(m_transport, m_request.macroSlot, m_request.macro);
}

int CommandSet::WriteLighting() {
    const DeviceRequest& r = m_request;
    std::array<std::uint8_t, kLightingBlockSize> header{};
    header[0] = r.modeByte;
    header[1] = static_cast<std::uint8_t>(r.headerValue & 0xFF);
    header[2] = static_cast<std::uint8_t>(r.headerValue >> 8);
    WriteSimple(kCmdLighting, 0, 0, header);

    const int mode = r.modeByte & kModeNumberMask;
    if (mode < 1 || mode > 8) return 0;  // modes without a parameter block: header only
    std::array<std::uint8_t, kLightingBlockSize> block{};
    std::copy(r.modeParams.begin(), r.modeParams.end(), block.begin());
    for (std::size_t c = 0; c < kModeColours; ++c) PutColour(&block[4 + 3 * c], r.modeColours[c]);
    return WriteSimple(kCmdLighting, 0, kLightingBlockSize * mode, block);
}

int CommandSet::ReadExchange(std::uint8_t command, std::uint8_t argument, int offset, int length,
                             std::array<std::uint8_t, kMaxPayload>& data) {
    auto lock = m_transport.LockExchange();
    for (int attempt = 0; attempt < kReadTries; ++attempt) {
        m_transport.SendCommand(command, argument, offset, length, nullptr);
        Report reply{};
        const int ok = m_transport.ReadReport(reply);
        if (reply[kPosLength] == 0) continue;
        if (ok == 0) return 0;
        std::copy_n(reply.begin() + kPosPayload, kMaxPayload, data.begin());
        return 1;
    }
    return 0;
}

int CommandSet::ReadOp(std::uint8_t command, std::uint8_t argument, int offset, int length, bool alwaysHid,
                       int blePauseMs) {
    if (BleMode() && !alwaysHid) {
        // Over BLE the reply arrives later as a bridge event; the caller decodes it then.
        m_transport.SendCommand(command, argument, offset, length, nullptr);
        m_transport.GetSleeper().SleepMs(blePauseMs);
        return 1;
    }
    std::array<std::uint8_t, kMaxPayload> data{};
    if (ReadExchange(command, argument, offset, length, data) == 0) return 0;
    StoreReply(static_cast<std::uint8_t>(command & ~kReadBit), argument, offset, data);
    return 1;
}

int CommandSet::ReadRequest() {
    DeviceRequest& r = m_request;
    switch (r.op) {
        case kOpStatus:
            return ReadOp(kCmdStatus | kReadBit, 0, 0, 3, false);
        case kOpProfile:
            switch (r.subOp) {
                case kSubProfileId:
                    return ReadOp(kCmdProfile | kReadBit, kSubProfileId, 0, 8, false,
                                  kBleProfileIdReadPauseMs);
                case kSubActiveProfile:
                    return ReadOp(kCmdProfile | kReadBit, kSubActiveProfile, 0, 1, false);
                case kSubChargeCounter:
                    return ReadOp(kCmdProfile | kReadBit, kSubChargeCounter, 0, 1, true);
                default:
                    return 0;
            }
        case kOpReportRate:
            // A failed read stores 0 and still counts as done; 0 is no valid rate code, which is
            // how ReadCurrentState tells the failure apart.
            if (ReadOp(kCmdReportRate | kReadBit, 0, 0, 1, true) == 0) r.reportRate = 0;
            return 1;
        case kOpDpi:
            return ReadOp(kCmdDpi | kReadBit, 0, 0, kDpiPayload, false);
        case kOpLighting: {
            if (ReadOp(kCmdLighting | kReadBit, 0, 0, kLightingBlockSize, false) == 0) return 0;
            if (BleMode()) return 1;
            // The parameter block lies where the write put it: at 25 x the mode number, the
            // lighting switch bit 6 not included.
            const int mode = r.modeByte & kModeNumberMask;
            if (mode < 1 || mode > 8) return 1;
            return ReadOp(kCmdLighting | kReadBit, 0, kLightingBlockSize * mode, kLightingBlockSize, false);
        }
        case kOpMacro:
            if (BleMode()) return 0;
            r.macro = DecodeMacro(m_transport, r.macroSlot);
            return 1;
        default:
            return 0;
    }
}

void CommandSet::StoreReply(std::uint8_t op, std::uint8_t subOp, int offset,
                            std::span<const std::uint8_t> data) {
    if (data.size() < kMaxPayload) return;
    DeviceRequest& r = m_request;
    switch (op) {
        case kOpStatus:
            r.connectionState = data[0];
            r.battery = data[1];
            r.chip = data[2];
            break;
        case kOpProfile:
            switch (subOp) {
                case kSubProfileId:
                    for (std::size_t i = 0; i < kProfileCount; ++i) r.profileIds[i] = Be16(data, 2 * i);
                    break;
                case kSubActiveProfile:
                    r.activeProfile = data[0];
                    break;
                case kSubSleepTime:
                    r.sleepTime = Le16(data, 0);
                    break;
                case kSubOptionA:
                    r.optionA = data[0];
                    break;
                case kSubOptionB:
                    r.optionB = data[0];
                    break;
                case kSubChargeCounter:
                    r.chargeCounter = data[0];
                    break;
                default:
                    break;
            }
            break;
        case kOpReportRate:
            r.reportRate = data[0];
            break;
        case kOpKey:
        case kOpComboKey:
            std::copy_n(data.begin(), 4, r.keyCode.begin());
            break;
        case kOpDpi:
            r.gearMask = data[0];
            r.currentGear = data[1];
            for (std::size_t g = 0; g < kDpiGears; ++g) r.dpi[g] = Le16(data, 2 + 2 * g);
            r.dpiAttributes = Le16(data, 18);
            break;
        case kOpLighting:
            if (offset == 0) {
                r.modeByte = data[0];
                r.headerValue = Le16(data, 1);
            } else {
                std::copy_n(data.begin(), 4, r.modeParams.begin());
                for (std::size_t c = 0; c < kModeColours; ++c) r.modeColours[c] = GetColour(data, 4 + 3 * c);
            }
            break;
        case kOpParams:
            switch (subOp) {
                case 1:
                    r.valueA = data[0];
                    break;
                case 2:
                    r.valueB = data[0];
                    break;
                case 5:
                    r.valueC = data[0];
                    break;
                case 6:
                    r.valueD = data[0];
                    break;
                default:
                    break;
            }
            break;
        default:
            break;
    }
}

int CommandSet::WriteKeyCode(int keyIndex, const std::array<std::uint8_t, 4>& bytes) {
    const bool combo = keyIndex >= kFirstComboKey;
    m_request.op = combo ? kOpComboKey : kOpKey;
    m_request.tableSelector = combo ? 1 : 0;
    m_request.keyIndex = static_cast<std::uint8_t>(combo ? keyIndex - kFirstComboKey : keyIndex);
    m_request.keyCode = bytes;
    return WriteRequest();
}

int CommandSet::WriteKey(int keyIndex, const KeyAssignment& key) {
    KeyCode code = EncodeKeyFunction(key.function);
    const bool combo = keyIndex >= kFirstComboKey;
    std::optional<MacroDeviceBlock> block;
    if (code.macro == KeyMacroKind::Predefined && m_predefined != nullptr) {
        block = m_predefined->PredefinedMacro(code.predefinedIndex);
    } else if (code.macro == KeyMacroKind::User && m_library != nullptr) {
        block = m_library->FindMacro(key.groupGuid, key.macroGuid);
    }
    if (code.macro != KeyMacroKind::None) {
        // A macro that cannot be found, or has no events, leaves the key without a function
        // rather than pointing it at whatever its slot held before.
        if (!block || block->num == 0) return WriteKeyCode(keyIndex, {0, 0, 0, 0});
        if (code.macro == KeyMacroKind::User) {
            code.bytes[1] = combo ? 0 : MacroPlayMode(block->rptType);
            if (combo) block->macRpt = 1;
        }
        code.bytes[2] = static_cast<std::uint8_t>(keyIndex);  // each key owns the slot of its index
    }
    const int keyResult = WriteKeyCode(keyIndex, code.bytes);
    if (!block || keyIndex >= kMacroSlots) return keyResult;

    m_request.op = kOpMacro;
    m_request.macroSlot = static_cast<std::uint8_t>(keyIndex);
    m_request.firstTwoSlotsOnly = 0;
    m_request.macro = TranslateCodes(*block);
    return WriteRequest();
}

int CommandSet::WriteSetting(int op, int profile, int subOp) {
    if (m_settings == nullptr || profile < 0 || profile >= kProfileCount) return 0;
    const ProfileSettings settings = m_settings->Profile(profile);
    const PowerSettings power = m_settings->Power();
    DeviceRequest& r = m_request;
    r.op = static_cast<std::uint8_t>(op);
    r.subOp = static_cast<std::uint8_t>(subOp);

    switch (op) {
        case kOpProfile:
            switch (subOp) {
                case kSubProfileId:
                    for (int i = 0; i < kProfileCount; ++i)
                        r.profileIds[static_cast<std::size_t>(i)] = m_settings->ProfileId(i);
                    r.profileIdIndex = profile;
                    break;
                case kSubActiveProfile:
                    r.activeProfile = static_cast<std::uint8_t>(profile);
                    break;
                case kSubSleepTime:
                    r.sleepTime = Seconds(power.sleepMinutes);
                    break;
                case kSubSecondTime:
                    r.secondTime = Seconds(power.secondTimeMinutes);
                    break;
                case kSubOptionA:
                    r.optionA = PackOptionA(power.straightLineCorrectEn, power.rippleCtrlEn,
                                            power.jitterCorrectEn, power.smoothLineEn, m_model.chip);
                    break;
                case kSubOptionB:
                    r.optionB = PackOptionB(power.lodHeight, m_model.chip);
                    break;
                default:
                    return 0;
            }
            return WriteRequest();
        case kOpReportRate:
            r.reportRate = ReportRateCode(m_model.matchedName, settings.reportRateIndex);
            if (r.reportRate == 0) return 0;  // no rate of this model: nothing to send
            return WriteRequest();
        case kOpKey:
            if (currentKey < 0 || currentKey > kHighestKeyForKeyTable) return 0;
            return WriteKey(currentKey, settings.keys[static_cast<std::size_t>(currentKey)]);
        case kOpComboKey:
            if (currentKey < kFirstComboKey || currentKey >= kKeyCount) return 0;
            return WriteKey(currentKey, settings.keys[static_cast<std::size_t>(currentKey)]);
        case kOpDpi: {
            r.gearMask = 0;
            r.dpiAttributes = 0;
            for (std::size_t g = 0; g < kDpiGears; ++g) {
                const DpiGear& gear = settings.gears[g];
                if (gear.enabled) r.gearMask = static_cast<std::uint8_t>(r.gearMask | (1u << g));
                r.dpi[g] = static_cast<std::uint32_t>(gear.value);
                r.dpiAttributes =
                    static_cast<std::uint16_t>(r.dpiAttributes | ((gear.attribute & 0x3) << (2 * g)));
            }
            r.currentGear = static_cast<std::uint8_t>(settings.currentGear + 1);
            return WriteRequest();
        }
        case kOpDpiColours:
            for (std::size_t g = 0; g < kDpiGears; ++g) r.dpiColours[g] = settings.gears[g].colour;
            return WriteRequest();
        case kOpLighting: {
            const LightingSettings& lighting = settings.lighting;
            const auto mode = static_cast<std::uint8_t>(lighting.modeNumber & ~kLightingSwitchBit);
            r.modeByte = static_cast<std::uint8_t>(mode | (power.lightingSwitch ? kLightingSwitchBit : 0));
            r.headerValue = lighting.headerValue;
            r.modeParams = lighting.params;
            r.modeColours = lighting.colours;
            return WriteRequest();
        }
        case kOpParams:
            switch (subOp) {
                case 1:
                    r.valueA = static_cast<std::uint8_t>(power.valueA);
                    break;
                case 2:
                    r.valueB = static_cast<std::uint8_t>(power.shortPress);
                    break;
                case 6:
                    r.valueD = static_cast<std::uint8_t>(power.moveWakeEn);
                    break;
                default:
                    break;  // 10/5 sends value C as it stands; 10/3 and 10/4 send nothing
            }
            return WriteRequest();
        default:
            return 0;
    }
}

int CommandSet::ApplyAll(int profile) {
    DebugLine("InitApply应用应用应用应用应用应用应用应用应用应用。。。。\n");
    const int n = m_model.writeTimes >= 1 ? m_model.writeTimes : 4;
    const int failuresBefore = m_transport.FailedSends();
    auto repeat = [&](int op, int subOp) {
        for (int i = 0; i < n; ++i) WriteSetting(op, profile, subOp);
    };
    auto comboKeys = [&] {
        for (int key : {kFirstComboKey, kFirstComboKey + 1}) {
            currentKey = key;
            WriteSetting(kOpComboKey, profile, 0);
        }
    };

    const ProfileSettings settings = m_settings != nullptr ? m_settings->Profile(profile) : ProfileSettings{};
    auto keys = [&](bool skipUserMacros) {
        for (int key : keyList) {
            if (key < 0 || key >= kKeyCount) continue;
            const int function = settings.keys[static_cast<std::size_t>(key)].function;
            if (skipUserMacros && function >= kFirstUserMacro && function <= kLastUserMacro) continue;
            currentKey = key;
            repeat(kOpKey, 0);
        }
    };

    if (keysOnly) {
        keys(false);
        comboKeys();
    } else {
        const bool ble = BleMode();
        repeat(kOpProfile, kSubActiveProfile);
        repeat(kOpProfile, kSubProfileId);
        if (!ble) repeat(kOpReportRate, 0);
        keys(ble);  // macro streams are not sent over BLE
        comboKeys();
        repeat(kOpDpi, 0);
        repeat(kOpDpiColours, 0);
        repeat(kOpLighting, 0);
        repeat(kOpProfile, kSubSleepTime);
        repeat(kOpProfile, kSubOptionA);
        repeat(kOpProfile, kSubOptionB);
        repeat(kOpParams, 2);
        repeat(kOpParams, 6);
    }
    // Reports whether every frame of the run reached the mouse.
    return m_transport.FailedSends() == failuresBefore ? 1 : 0;
}

CurrentState CommandSet::ReadCurrentState() {
    CurrentState state;
    // Over BLE the lighting and DPI reads are only sent: their replies arrive later as bridge
    // events, so nothing of them is known here and the record's old values must not pass as read.
    const bool replyNow = !BleMode();
    m_request.op = kOpLighting;
    if (ReadRequest() == 1 && replyNow) {
        const int mode = m_request.modeByte & ~kLightingSwitchBit;
        for (std::size_t slot = 0; slot < m_model.lightingMap.size(); ++slot) {
            if (mode != 0 && m_model.lightingMap[slot] == mode) {
                state.lightingSlot = static_cast<int>(slot);
                state.lightingParam2 = m_request.modeParams[1];
                break;
            }
        }
    }
    m_request.op = kOpDpi;
    if (ReadRequest() == 1 && replyNow) state.currentGear = m_request.currentGear - 1;
    m_request.op = kOpReportRate;
    ReadRequest();
    if (m_request.reportRate != 0)
        state.reportRateIndex = ReportRateIndex(m_model.matchedName, m_request.reportRate);
    return state;
}

}  // namespace zor
