#include "device/CommandSet.h"

#include <algorithm>
#include <numeric>

#include "common/Debug.h"
#include "device/BleBridge.h"
#include "device/BleText.h"
#include "device/CommandPayloads.h"
#include "device/MacroStream.h"

namespace zor {
namespace {

using wire::LayoutOf;
using wire::OneByte;

constexpr std::uint8_t kAnySubOp = 0xFF;

// What WriteSetting fills the record from: one profile's settings, the power options and the
// model.
struct SettingValues {
    const SettingsSource& source;
    int profileIndex;
    const ProfileSettings& profile;
    const PowerSettings& power;
    const DeviceModel& model;
};

std::uint16_t Seconds(int minutes) {
    return static_cast<std::uint16_t>(std::clamp(minutes * 60, 0, 0xFFFF));
}

// One operation of the request record: its command, its payload layouts, how it is read and how
// WriteSetting fills it.
struct Operation {
    std::uint8_t op = 0;
    std::uint8_t subOp = kAnySubOp;  // kAnySubOp: the op has no sub-ops
    std::uint8_t command = 0;        // the write command; its read command has kReadBit set
    std::uint8_t argument = 0;
    wire::Layout write{};          // size 0: never written (the write returns 0)
    wire::Layout reply{};          // the data of a reply; its size is what a read asks for
    bool read = false;             // the program reads the op back
    bool readOverHidOnly = false;  // the reply is awaited on the feature collection, BLE or not
    int blePauseMs = kBleReadPauseMs;
    // The write's table offset (null: 0), and whether the record may be written at all.
    int (*offset)(const DeviceRequest&) = nullptr;
    bool (*accepts)(const DeviceRequest&) = nullptr;
    // Op 9: the parameter block written and read at 25 x the mode number.
    wire::Layout block{};
    // WriteSetting: fills the record's fields of the op; false when there is nothing to send.
    // Null: no setting of its own.
    bool (*fill)(DeviceRequest&, const SettingValues&) = nullptr;
    // Ops 4 and 5: the keys whose assignment the op writes (WriteSetting takes the current key).
    int firstKey = 0;
    int lastKey = -1;
};

constexpr Operation Make(std::uint8_t op, std::uint8_t subOp, std::uint8_t command, std::uint8_t argument,
                         wire::Layout write, wire::Layout reply, bool read) {
    Operation o;
    o.op = op;
    o.subOp = subOp;
    o.command = command;
    o.argument = argument;
    o.write = write;
    o.reply = reply;
    o.read = read;
    return o;
}

constexpr Operation WithHidOnlyRead(Operation o) {
    o.readOverHidOnly = true;
    return o;
}

constexpr Operation Filled(Operation o, bool (*fill)(DeviceRequest&, const SettingValues&)) {
    o.fill = fill;
    return o;
}

constexpr Operation StatusOp() {
    // Written through the bridge's BleConnect, not as a frame.
    return Make(kOpStatus, kAnySubOp, 0x01, 0, {}, LayoutOf<wire::StatusReply>(), true);
}

constexpr Operation ProfileIdOp() {
    Operation o = Make(kOpProfile, kSubProfileId, 0x02, kSubProfileId, LayoutOf<wire::ProfileIdWrite>(),
                       LayoutOf<wire::ProfileIdsReply>(), true);
    o.blePauseMs = kBleProfileIdReadPauseMs;
    o.offset = [](const DeviceRequest& r) { return 2 * r.profileIdIndex; };
    o.accepts = [](const DeviceRequest& r) {
        return r.profileIdIndex >= 0 && r.profileIdIndex < kProfileCount;
    };
    o.fill = [](DeviceRequest& r, const SettingValues& v) {
        for (int i = 0; i < kProfileCount; ++i)
            r.profileIds[static_cast<std::size_t>(i)] = v.source.ProfileId(i);
        r.profileIdIndex = v.profileIndex;
        return true;
    };
    return o;
}

constexpr Operation KeyOp(std::uint8_t op) {
    // Ops 4 and 5 alike pick their command by the table selector.
    Operation o = Make(op, kAnySubOp, op == kOpComboKey ? 0x05 : 0x04, 0, LayoutOf<wire::KeyCodePayload>(),
                       LayoutOf<wire::KeyCodePayload>(), false);
    o.offset = [](const DeviceRequest& r) { return 4 * r.keyIndex; };
    o.firstKey = op == kOpComboKey ? kFirstComboKey : 0;
    o.lastKey = op == kOpComboKey ? kKeyCount - 1 : kHighestKeyForKeyTable;
    return o;
}

constexpr Operation LightingOp() {
    Operation o = Make(kOpLighting, kAnySubOp, 0x09, 0, LayoutOf<wire::LightingHeader>(),
                       LayoutOf<wire::LightingHeader>(), true);
    o.block = LayoutOf<wire::LightingBlock>();
    o.fill = [](DeviceRequest& r, const SettingValues& v) {
        const LightingSettings& lighting = v.profile.lighting;
        const auto mode = static_cast<std::uint8_t>(lighting.modeNumber & ~kLightingSwitchBit);
        r.modeByte = static_cast<std::uint8_t>(mode | (v.power.lightingSwitch ? kLightingSwitchBit : 0));
        r.headerValue = lighting.headerValue;
        r.modeParams = lighting.params;
        r.modeColours = lighting.colours;
        return true;
    };
    return o;
}

constexpr Operation DpiOp() {
    Operation o = Make(kOpDpi, kAnySubOp, 0x06, 0, LayoutOf<wire::Dpi>(), LayoutOf<wire::Dpi>(), true);
    o.fill = [](DeviceRequest& r, const SettingValues& v) {
        r.gearMask = 0;
        r.dpiAttributes = 0;
        for (std::size_t g = 0; g < kDpiGears; ++g) {
            const DpiGear& gear = v.profile.gears[g];
            if (gear.enabled) r.gearMask = static_cast<std::uint8_t>(r.gearMask | (1u << g));
            r.dpi[g] = static_cast<std::uint32_t>(gear.value);
            r.dpiAttributes =
                static_cast<std::uint16_t>(r.dpiAttributes | ((gear.attribute & 0x3) << (2 * g)));
        }
        r.currentGear = static_cast<std::uint8_t>(v.profile.currentGear + 1);
        return true;
    };
    return o;
}

template <auto Field>
constexpr wire::Layout Byte() {
    return LayoutOf<OneByte<Field>>();
}

using R = DeviceRequest;
using V = SettingValues;
const std::array kOperations{
    StatusOp(),
    ProfileIdOp(),
    Filled(Make(kOpProfile, kSubActiveProfile, 0x02, kSubActiveProfile, Byte<&R::activeProfile>(),
                Byte<&R::activeProfile>(), true),
           [](R& r, const V& v) {
               r.activeProfile = static_cast<std::uint8_t>(v.profileIndex);
               return true;
           }),
    Filled(Make(kOpProfile, kSubSleepTime, 0x02, kSubSleepTime, LayoutOf<wire::SleepTime>(),
                LayoutOf<wire::SleepTime>(), false),
           [](R& r, const V& v) {
               r.sleepTime = Seconds(v.power.sleepMinutes);
               return true;
           }),
    // Never written: the value is kept in the record only.
    Filled(Make(kOpProfile, kSubSecondTime, 0x02, kSubSecondTime, {}, {}, false),
           [](R& r, const V& v) {
               r.secondTime = Seconds(v.power.secondTimeMinutes);
               return true;
           }),
    Filled(Make(kOpProfile, kSubOptionA, 0x02, kSubOptionA, Byte<&R::optionA>(), Byte<&R::optionA>(), false),
           [](R& r, const V& v) {
               r.optionA = PackOptionA(v.power.straightLineCorrectEn, v.power.rippleCtrlEn,
                                       v.power.jitterCorrectEn, v.power.smoothLineEn, v.model.chip);
               return true;
           }),
    Filled(Make(kOpProfile, kSubOptionB, 0x02, kSubOptionB, Byte<&R::optionB>(), Byte<&R::optionB>(), false),
           [](R& r, const V& v) {
               r.optionB = PackOptionB(v.power.lodHeight, v.model.chip);
               return true;
           }),
    WithHidOnlyRead(
        Make(kOpProfile, kSubChargeCounter, 0x02, kSubChargeCounter, {}, Byte<&R::chargeCounter>(), true)),
    Filled(WithHidOnlyRead(
               Make(kOpReportRate, kAnySubOp, 0x03, 0, Byte<&R::reportRate>(), Byte<&R::reportRate>(), true)),
           [](R& r, const V& v) {
               r.reportRate = ReportRateCode(v.model.matchedName, v.profile.reportRateIndex);
               return r.reportRate != 0;  // no rate of this model: nothing to send
           }),
    KeyOp(kOpKey),
    KeyOp(kOpComboKey),
    DpiOp(),
    Filled(Make(kOpDpiColours, kAnySubOp, 0x07, 0, LayoutOf<wire::DpiColours>(), {}, false),
           [](R& r, const V& v) {
               for (std::size_t g = 0; g < kDpiGears; ++g) r.dpiColours[g] = v.profile.gears[g].colour;
               return true;
           }),
    LightingOp(),
    Filled(Make(kOpParams, 1, 0x0A, 1, Byte<&R::valueA>(), Byte<&R::valueA>(), false),
           [](R& r, const V& v) {
               r.valueA = static_cast<std::uint8_t>(v.power.valueA);
               return true;
           }),
    Filled(Make(kOpParams, 2, 0x0A, 2, Byte<&R::valueB>(), Byte<&R::valueB>(), false),
           [](R& r, const V& v) {
               r.valueB = static_cast<std::uint8_t>(v.power.shortPress);
               return true;
           }),
    // Value C is sent as it stands in the record.
    Filled(Make(kOpParams, 5, 0x0A, 5, Byte<&R::valueC>(), Byte<&R::valueC>(), false),
           [](R&, const V&) { return true; }),
    Filled(Make(kOpParams, 6, 0x0A, 6, Byte<&R::valueD>(), Byte<&R::valueD>(), false),
           [](R& r, const V& v) {
               r.valueD = static_cast<std::uint8_t>(v.power.moveWakeEn);
               return true;
           }),
};

const Operation* FindOperation(std::uint8_t op, std::uint8_t subOp) {
    for (const Operation& o : kOperations) {
        if (o.op == op && (o.subOp == kAnySubOp || o.subOp == subOp)) return &o;
    }
    return nullptr;
}

std::uint8_t WriteCommand(const Operation& o, const DeviceRequest& r) {
    if (o.op == kOpKey || o.op == kOpComboKey) return r.tableSelector != 0 ? 0x05 : 0x04;
    return o.command;
}

}  // namespace

std::vector<int> CommandSet::DefaultKeyList() {
    std::vector<int> keys(kKeyCount);
    std::iota(keys.begin(), keys.end(), 0);
    return keys;
}

int CommandSet::WriteLayout(std::uint8_t command, std::uint8_t argument, int offset,
                            const wire::Layout& layout) {
    std::array<std::uint8_t, kMaxPayload> payload{};
    layout.encode(m_request, payload.data());
    return m_transport.SendCommand(command, argument, offset, static_cast<int>(layout.size), payload.data());
}

int CommandSet::WriteRequest() {
    DeviceRequest& r = m_request;
    LinkState& link = m_transport.Link();
    switch (r.op) {
        case kOpStatus:
            if (link.bleStatus == 0 && link.ble != nullptr) link.ble->BleConnect(r.bleDeviceNames);
            return 0;
        case kOpMacro:
            return WriteMacro();
        case kOpBleQuery: {
            if (link.bleStatus != 0 || link.ble == nullptr) return 0;
            const auto value = link.ble->BleQuery();
            return value ? *value : 0;
        }
        default:
            break;
    }
    const Operation* o = FindOperation(r.op, r.subOp);
    if (o == nullptr || o->write.size == 0) return 0;
    if (o->accepts != nullptr && !o->accepts(r)) return 0;
    const int result = WriteLayout(WriteCommand(*o, r), o->argument, o->offset ? o->offset(r) : 0, o->write);
    if (o->block.size == 0) return result;

    // Lighting: the header, then the mode's parameter block where the mode number puts it.
    const int mode = r.modeByte & kModeNumberMask;
    if (mode < 1 || mode > 8) return 0;  // modes without a parameter block: header only
    return WriteLayout(o->command, o->argument, kLightingBlockSize * mode, o->block);
}

int CommandSet::WriteMacro() {
    const int limit = m_request.firstTwoSlotsOnly != 0 ? 2 : kMacroSlots;
    if (m_request.macroSlot >= limit) return 0;
    return EncodeMacro(m_transport, m_request.macroSlot, m_request.macro);
}

int CommandSet::ReadExchange(std::uint8_t command, std::uint8_t argument, int offset, int length,
                             std::array<std::uint8_t, kMaxPayload>& data) {
    auto lock = m_transport.LockExchange();
    for (int attempt = 0; attempt < kReadTries; ++attempt) {
        m_transport.SendCommand(command, argument, offset, length, nullptr);
        Report bytes{};
        const int ok = m_transport.ReadReport(bytes);
        const CommandFrame reply = CommandFrame::FromBytes(bytes);
        if (reply.length == 0) continue;
        if (ok == 0) return 0;
        // The mouse echoes the command and its argument: anything else is noise, never data.
        if (reply.command != command || reply.argument != argument) {
            m_transport.CountBadReply();
            continue;
        }
        data = reply.payload;
        return 1;
    }
    return 0;
}

int CommandSet::ReadPart(std::uint8_t op, std::uint8_t subOp, int offset, const wire::Layout& layout) {
    const Operation* o = FindOperation(op, subOp);
    const auto command = static_cast<std::uint8_t>(o->command | kReadBit);
    const int length = static_cast<int>(layout.size);
    m_replied = false;
    if (BleMode() && !o->readOverHidOnly) {
        // Over BLE the reply comes back as a bridge event, handed to StoreBleReply; it is taken
        // into the record when it has arrived by the end of the pause.
        {
            std::lock_guard lock(m_bleMutex);
            m_bleAwaited = BleAwaited{true, false, op, subOp, offset, {}};
            m_bleSubOps[op & 0x0F] = subOp;
        }
        m_transport.SendCommand(command, o->argument, offset, length, nullptr);
        m_transport.GetSleeper().SleepMs(o->blePauseMs);
        BleAwaited answer;
        {
            std::lock_guard lock(m_bleMutex);
            answer = m_bleAwaited;
            m_bleAwaited = BleAwaited{};
        }
        if (answer.answered) {
            StoreReply(op, subOp, offset, answer.data);
            m_replied = true;
        }
        return 1;
    }
    std::array<std::uint8_t, kMaxPayload> data{};
    if (ReadExchange(command, o->argument, offset, length, data) == 0) return 0;
    StoreReply(op, subOp, offset, data);
    m_replied = true;
    return 1;
}

int CommandSet::ReadRequest() {
    DeviceRequest& r = m_request;
    if (r.op == kOpMacro) {
        if (BleMode()) return 0;
        r.macro = DecodeMacro(m_transport, r.macroSlot);
        return 1;
    }
    const Operation* o = FindOperation(r.op, r.subOp);
    if (o == nullptr || !o->read) return 0;
    const int result = ReadPart(r.op, r.subOp, 0, o->reply);
    if (r.op == kOpReportRate) {
        // A failed read stores 0 and still counts as done; 0 is no valid rate code, which is how
        // ReadCurrentState tells the failure apart.
        if (!m_replied) r.reportRate = 0;
        return 1;
    }
    if (result == 0 || o->block.size == 0 || !m_replied) return result;
    // The parameter block lies where the write put it: at 25 x the mode number, the lighting
    // switch bit 6 not included.
    const int mode = r.modeByte & kModeNumberMask;
    if (mode < 1 || mode > 8) return 1;
    return ReadPart(r.op, r.subOp, kLightingBlockSize * mode, o->block);
}

void CommandSet::StoreReply(std::uint8_t op, std::uint8_t subOp, int offset,
                            std::span<const std::uint8_t> data) {
    DecodeReply(m_request, op, subOp, offset, data);
}

void CommandSet::DecodeReply(DeviceRequest& record, std::uint8_t op, std::uint8_t subOp, int offset,
                             std::span<const std::uint8_t> data) {
    if (data.size() < kMaxPayload) return;
    const Operation* o = FindOperation(op, subOp);
    if (o == nullptr) return;
    const wire::Layout& layout = offset != 0 && o->block.size != 0 ? o->block : o->reply;
    if (layout.size != 0) layout.decode(data.data(), record);
}

std::optional<BleReplyDecoded> CommandSet::StoreBleReply(int eventCode, std::string_view text) {
    return TakeBleReply(eventCode, text, true);
}

std::optional<BleReplyDecoded> CommandSet::DecodeBleReply(int eventCode, std::string_view text) {
    return TakeBleReply(eventCode, text, false);
}

std::optional<BleReplyDecoded> CommandSet::TakeBleReply(int eventCode, std::string_view text, bool store) {
    if (eventCode < kBleEventReplyBase || eventCode >= kBleEventReplyBase + 0x100) return std::nullopt;
    const auto reply = ParseBleReply(text);
    if (!reply) return std::nullopt;
    // The event code's low four bits name the op.
    const auto op = static_cast<std::uint8_t>(eventCode & 0x0F);
    BleReplyDecoded out;
    out.op = op;
    int offset = reply->offset;
    {
        std::lock_guard lock(m_bleMutex);
        out.subOp = m_bleSubOps[op];
        if (m_bleAwaited.waiting && m_bleAwaited.op == op) {
            // The reply of the read in progress is decoded with the sub-op and offset that read
            // asked for, as a reply on the cable is.
            out.subOp = m_bleAwaited.subOp;
            offset = m_bleAwaited.offset;
            if (store && !m_bleAwaited.answered) {
                m_bleAwaited.answered = true;
                m_bleAwaited.data = reply->data;
                out.awaited = true;
            }
        }
    }
    DecodeReply(out.values, op, out.subOp, offset, reply->data);
    return out;
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
    DeviceRequest& r = m_request;
    r.op = static_cast<std::uint8_t>(op);
    r.subOp = static_cast<std::uint8_t>(subOp);
    const Operation* o = FindOperation(r.op, r.subOp);
    if (o == nullptr) return 0;
    if (o->lastKey >= 0) {
        // A key's assignment: its key code and, for a macro, the macro's stream.
        if (currentKey < o->firstKey || currentKey > o->lastKey) return 0;
        return WriteKey(currentKey, settings.keys[static_cast<std::size_t>(currentKey)]);
    }
    if (o->fill == nullptr) return 0;
    const PowerSettings power = m_settings->Power();
    if (!o->fill(r, SettingValues{*m_settings, profile, settings, power, m_model})) return 0;
    return WriteRequest();
}

int CommandSet::ApplyAll(int profile) {
    DebugLine("InitApply: writing every setting of the profile\n");
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
    // Only what a reply actually brought counts: over BLE a read whose reply has not come back
    // in time leaves the record's old values, which must not pass as read.
    auto answered = [this, &state](const char* what) {
        if (m_replied) return true;
        state.unanswered.emplace_back(what);
        return false;
    };
    m_request.op = kOpLighting;
    if (const bool read = ReadRequest() == 1; answered("lighting") && read) {
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
    if (const bool read = ReadRequest() == 1; answered("DPI") && read)
        state.currentGear = m_request.currentGear - 1;
    m_request.op = kOpReportRate;
    ReadRequest();
    answered("report rate");
    if (m_request.reportRate != 0)
        state.reportRateIndex = ReportRateIndex(m_model.matchedName, m_request.reportRate);
    return state;
}

}  // namespace zor
