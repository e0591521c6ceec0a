#include "device/BleText.h"

#include <algorithm>

#include "common/Debug.h"
#include "device/CommandFrame.h"

namespace zor {
namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

constexpr std::size_t kPosBattery = 10;  // payload byte 1 of a reply frame

}  // namespace

std::optional<std::vector<std::uint8_t>> ParseBleText(std::string_view text) {
    std::vector<std::uint8_t> bytes;
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (pos + 2 > text.size() || bytes.size() >= kMaxBleTextBytes) return std::nullopt;
        const int high = HexDigit(text[pos]);
        const int low = HexDigit(text[pos + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
        pos += 2;
        if (pos < text.size()) {
            if (text[pos] != ' ') return std::nullopt;
            ++pos;
        }
    }
    return bytes;
}

std::string ToBleEventText(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i != 0) text += ' ';
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0F];
    }
    return text;
}

std::optional<BleReply> ParseBleReply(std::string_view text) {
    const auto bytes = ParseBleText(text);
    const std::size_t length = bytes && bytes->size() > kPosLength ? (*bytes)[kPosLength] : 0;
    if (!bytes || bytes->size() <= kPosLength || (*bytes)[0] != kCommandReportId || length == 0 ||
        length > kMaxPayload || bytes->size() < kPosPayload + length) {
        DebugLine("BLE reply text dropped: malformed or short\n");
        return std::nullopt;
    }
    BleReply reply;
    reply.command = (*bytes)[kPosCommand];
    reply.argument = (*bytes)[kPosArgument];
    reply.offset = (*bytes)[kPosOffsetLow] | ((*bytes)[kPosOffsetHigh] << 8);
    std::copy_n(bytes->begin() + kPosPayload, length, reply.data.begin());
    return reply;
}

std::optional<int> BatteryFromEventText(std::string_view text) {
    const auto bytes = ParseBleText(text);
    if (!bytes || bytes->size() <= kPosBattery) {
        DebugLine("BLE battery text dropped: malformed or short\n");
        return std::nullopt;
    }
    return (*bytes)[kPosBattery];
}

}  // namespace zor
