#include "device/MacroStream.h"

#include <algorithm>

#include "device/Transport.h"

namespace zor {
namespace {

constexpr std::uint32_t kMax24 = 0xFFFFFF;
constexpr int kChunkReadTries = 5;

int EventCount(const MacroDeviceBlock& block) {
    return std::min<int>(block.num, kMacroMaxEvents);
}

bool IsKeyOrButton(std::uint8_t code) {
    return code >= 4 && code <= 236;
}

std::uint8_t DeviceCode(std::uint8_t appCode) {
    switch (appCode) {
        case kMacCodeLeftButton:
            return kDevCodeLeftButton;
        case kMacCodeMiddleButton:
            return kDevCodeMiddleButton;
        case kMacCodeRightButton:
            return kDevCodeRightButton;
        case kMacCodeFourthButton:
            return kDevCodeFourthButton;
        case kMacCodeFifthButton:
            return kDevCodeFifthButton;
        case kMacCodeMove:
            return kDevCodeMove;
        case kMacCodeDpi:
            return kDevCodeDpi;
        default:
            return appCode;
    }
}

void Put16(std::vector<std::uint8_t>& out, int value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

// Delays beyond what 24 bits carry are held at the largest one rather than wrapped.
void Put24(std::vector<std::uint8_t>& out, std::uint32_t value) {
    value = std::min(value, kMax24);
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
    out.push_back(static_cast<std::uint8_t>((value >> 16) & 0xFF));
}

void AppendEvent(std::vector<std::uint8_t>& out, std::uint8_t code, std::uint8_t state,
                 const std::array<std::int16_t, 2>& ext, std::uint32_t delay) {
    if (IsKeyOrButton(code)) {
        const bool press = state == kMacStatePress;
        out.push_back(code);
        if (delay <= 127) {
            out.push_back(static_cast<std::uint8_t>(delay + (press ? 0 : 0x80)));
        } else {
            out.push_back(press ? 0x7F : 0xFF);
            out.push_back(0xFF);
            Put24(out, delay - 127);
        }
    } else if (code == kDevCodeDpi) {
        out.push_back(code);
        out.push_back(static_cast<std::uint8_t>(ext[0] & 0xFF));
        out.push_back(0x00);
        if (delay <= 255) {
            out.push_back(static_cast<std::uint8_t>(delay));
        } else {
            out.push_back(0xFF);
            out.push_back(0xFF);
            Put24(out, delay - 255);
        }
    } else if (code == kDevCodeMove) {
        // The magnitudes get their signs from the quadrant: positive x right, positive y down.
        int x = ext[0];
        int y = ext[1];
        if (state == 3) {
            x = -x;
            y = -y;
        } else if (state == 4) {
            x = -x;
        } else if (state == 5) {
            y = -y;
        }
        out.push_back(code);
        out.push_back(delay <= 255 ? static_cast<std::uint8_t>(delay) : 0xFF);
        Put16(out, x);
        Put16(out, y);
        if (delay > 255) {
            out.push_back(0xFF);
            Put24(out, delay - 255);
        }
    } else {
        // Lighting and the other carried event types have no form of their own: they travel as
        // two bytes, which is how the mouse's read-back steps over them.
        out.push_back(code);
        out.push_back(0x00);
    }
}

std::uint32_t Get24(std::span<const std::uint8_t> s, std::size_t at) {
    return s[at] | (static_cast<std::uint32_t>(s[at + 1]) << 8) |
           (static_cast<std::uint32_t>(s[at + 2]) << 16);
}

std::int16_t GetI16(std::span<const std::uint8_t> s, std::size_t at) {
    return static_cast<std::int16_t>(s[at] | (s[at + 1] << 8));
}

// One chunk read with retries; false when no valid reply came.
bool ReadChunk(Transport& transport, int slot, int offset, std::span<std::uint8_t> out) {
    auto lock = transport.LockExchange();
    for (int attempt = 0; attempt < kChunkReadTries; ++attempt) {
        transport.SendCommand(kCmdMacroRead, static_cast<std::uint8_t>(slot), offset,
                              static_cast<int>(kMacroChunk), nullptr);
        Report reply{};
        const int ok = transport.ReadReport(reply);
        if (reply[kPosLength] == 0) continue;
        if (ok == 0) return false;
        std::copy_n(reply.begin() + kPosPayload, kMacroChunk, out.begin());
        return true;
    }
    return false;
}

}  // namespace

MacroDeviceBlock TranslateCodes(const MacroDeviceBlock& block) {
    MacroDeviceBlock copy = block;
    const int count = EventCount(copy);
    for (int i = 0; i < count; ++i)
        copy.macVal[static_cast<std::size_t>(i)] = DeviceCode(copy.macVal[static_cast<std::size_t>(i)]);
    return copy;
}

std::optional<std::vector<std::uint8_t>> BuildMacroStream(const MacroDeviceBlock& block) {
    std::vector<std::uint8_t> stream;
    stream.reserve(kMacroStreamMax + 16);
    Put16(stream, block.macRpt);
    Put16(stream, 0);
    const int count = EventCount(block);
    for (int i = 0; i < count; ++i) {
        const auto e = static_cast<std::size_t>(i);
        AppendEvent(stream, block.macVal[e], block.macSta[e], block.extVal[e], block.macDly[e]);
        if (stream.size() > kMacroStreamMax) return std::nullopt;
    }
    const auto eventBytes = static_cast<int>(stream.size() - 4);
    stream[2] = static_cast<std::uint8_t>(eventBytes & 0xFF);
    stream[3] = static_cast<std::uint8_t>((eventBytes >> 8) & 0xFF);
    return stream;
}

int EncodeMacro(Transport& transport, int slot, const MacroDeviceBlock& block) {
    if (slot < 0 || slot >= kMacroSlots) return 0;
    const auto stream = BuildMacroStream(block);
    if (!stream) return -1;
    int result = 0;
    // A failed chunk does not stop the rest: the device keeps what arrived.
    for (std::size_t offset = 0; offset < stream->size(); offset += kMacroChunk) {
        const std::size_t length = std::min(kMacroChunk, stream->size() - offset);
        result =
            transport.SendCommand(kCmdMacroWrite, static_cast<std::uint8_t>(slot), static_cast<int>(offset),
                                  static_cast<int>(length), stream->data() + offset);
    }
    return result;
}

MacroDeviceBlock ParseMacroStream(std::span<const std::uint8_t> stream) {
    MacroDeviceBlock block{};
    if (stream.size() < 4) return block;
    const std::size_t eventBytes = stream[2] | (stream[3] << 8);
    const std::size_t end = 4 + eventBytes;
    if (end > stream.size() || end > kMacroStreamMax) return MacroDeviceBlock{};
    block.macRpt = static_cast<std::uint16_t>(stream[0] | (stream[1] << 8));

    std::size_t pos = 4;
    int count = 0;
    // Every form is bounds-checked against the event area; a form cut short ends the walk.
    auto fits = [&](std::size_t n) { return pos + n <= end; };
    while (pos < end && count < kMacroMaxEvents) {
        const std::uint8_t code = stream[pos];
        const auto e = static_cast<std::size_t>(count);
        if (IsKeyOrButton(code)) {
            if (!fits(2)) break;
            const std::uint8_t second = stream[pos + 1];
            std::uint32_t delay = second & 0x7Fu;
            std::size_t size = 2;
            if (fits(6) && stream[pos + 2] == 0xFF) {
                delay += Get24(stream, pos + 3);
                size = 6;
            }
            block.macVal[e] = code;
            block.macSta[e] = second >= 0x80 ? kMacStateRelease : kMacStatePress;
            block.macDly[e] = delay;
            pos += size;
        } else if (code == kDevCodeDpi) {
            // A DPI event is read back in the two forms the encoder writes: code, DPI code, 0,
            // then either the delay in one byte, or 0xFF 0xFF and the delay less 255 in 24 bits.
            // (A one-byte delay of exactly 255 followed by an event coded 0xFF reads as the long
            // form; the encoder never writes such an event code.)
            if (!fits(4)) break;
            std::uint32_t delay = stream[pos + 3];
            std::size_t size = 4;
            if (fits(8) && stream[pos + 3] == 0xFF && stream[pos + 4] == 0xFF) {
                delay = 255 + Get24(stream, pos + 5);
                size = 8;
            }
            block.macVal[e] = code;
            block.extVal[e] = {static_cast<std::int16_t>(stream[pos + 1]), 0};
            block.macDly[e] = delay;
            ++block.numCpi;
            pos += size;
        } else if (code == kDevCodeMove) {
            if (!fits(6)) break;
            std::uint32_t delay = stream[pos + 1];
            std::size_t size = 6;
            if (fits(10) && stream[pos + 6] == 0xFF) {
                delay = 255 + Get24(stream, pos + 7);
                size = 10;
            }
            const int x = GetI16(stream, pos + 2);
            const int y = GetI16(stream, pos + 4);
            // The signs go back into the quadrant so that the block encodes to the same bytes.
            block.macSta[e] = x < 0 ? (y < 0 ? 3 : 4) : (y < 0 ? 5 : 6);
            block.extVal[e] = {static_cast<std::int16_t>(x < 0 ? -x : x),
                               static_cast<std::int16_t>(y < 0 ? -y : y)};
            block.macVal[e] = code;
            block.macDly[e] = delay;
            ++block.numXY;
            pos += size;
        } else {
            pos += 2;
            continue;
        }
        ++count;
    }
    block.num = static_cast<std::uint16_t>(count);
    return block;
}

MacroDeviceBlock DecodeMacro(Transport& transport, int slot) {
    if (slot < 0 || slot >= kMacroSlots) return MacroDeviceBlock{};
    std::vector<std::uint8_t> stream(kMacroStreamMax, 0);
    if (!ReadChunk(transport, slot, 0, std::span(stream).first(kMacroChunk))) return MacroDeviceBlock{};
    const std::size_t eventBytes = stream[2] | (stream[3] << 8);
    const std::size_t chunks = (eventBytes + 4 + kMacroChunk - 1) / kMacroChunk;
    if (chunks == 0 || chunks > kMacroSlots) return MacroDeviceBlock{};
    for (std::size_t c = 1; c < chunks; ++c) {
        if (!ReadChunk(transport, slot, static_cast<int>(c * kMacroChunk),
                       std::span(stream).subspan(c * kMacroChunk, kMacroChunk))) {
            return MacroDeviceBlock{};
        }
    }
    return ParseMacroStream(stream);
}

int EstimateStreamLength(const MacroDeviceBlock& block) {
    const MacroDeviceBlock translated = TranslateCodes(block);
    if (EventCount(translated) == 0) return 2;
    const auto stream = BuildMacroStream(translated);
    if (stream) return static_cast<int>(stream->size());
    // Over the limit: the exact figure no longer matters, only that it is over.
    return static_cast<int>(kMacroStreamMax) + 1;
}

}  // namespace zor
