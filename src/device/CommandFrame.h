// The 41-byte feature report (report id 6) that carries every command to the mouse and every
// reply back. The transport builds each command as a CommandFrame and reads replies into one.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>

namespace zor {

inline constexpr std::uint8_t kCommandReportId = 0x06;
inline constexpr std::size_t kReportSize = 41;
inline constexpr std::size_t kMaxPayload = 32;
// A read command is its write command with this bit set.
inline constexpr std::uint8_t kReadBit = 0x80;

using Report = std::array<std::uint8_t, kReportSize>;

struct CommandFrame {
    std::uint8_t reportId = kCommandReportId;
    std::uint8_t reserved1 = 0;
    std::uint8_t reserved2 = 0;
    std::uint8_t command = 0;
    std::uint8_t sequence = 0;
    std::uint8_t argument = 0;
    std::uint8_t offsetLow = 0;
    std::uint8_t offsetHigh = 0;
    std::uint8_t length = 0;  // payload bytes, 0..32
    std::array<std::uint8_t, kMaxPayload> payload{};

    // The 16-bit table offset, low byte first.
    constexpr int Offset() const { return offsetLow | (offsetHigh << 8); }
    constexpr void SetOffset(int offset) {
        offsetLow = static_cast<std::uint8_t>(offset & 0xFF);
        offsetHigh = static_cast<std::uint8_t>((offset >> 8) & 0xFF);
    }
    // The payload bytes the length byte announces (never more than the frame holds).
    std::span<const std::uint8_t> Data() const {
        return std::span<const std::uint8_t>(payload).first(std::min<std::size_t>(length, kMaxPayload));
    }

    Report Bytes() const { return std::bit_cast<Report>(*this); }
    static CommandFrame FromBytes(const Report& report) { return std::bit_cast<CommandFrame>(report); }
};

static_assert(sizeof(CommandFrame) == kReportSize);
static_assert(offsetof(CommandFrame, command) == 3);
static_assert(offsetof(CommandFrame, sequence) == 4);
static_assert(offsetof(CommandFrame, argument) == 5);
static_assert(offsetof(CommandFrame, offsetLow) == 6);
static_assert(offsetof(CommandFrame, offsetHigh) == 7);
static_assert(offsetof(CommandFrame, length) == 8);
static_assert(offsetof(CommandFrame, payload) == 9);

// Byte positions in a raw 41-byte report, report id at 0.
inline constexpr std::size_t kPosCommand = offsetof(CommandFrame, command);
inline constexpr std::size_t kPosSequence = offsetof(CommandFrame, sequence);
inline constexpr std::size_t kPosArgument = offsetof(CommandFrame, argument);
inline constexpr std::size_t kPosOffsetLow = offsetof(CommandFrame, offsetLow);
inline constexpr std::size_t kPosOffsetHigh = offsetof(CommandFrame, offsetHigh);
inline constexpr std::size_t kPosLength = offsetof(CommandFrame, length);
inline constexpr std::size_t kPosPayload = offsetof(CommandFrame, payload);

}  // namespace zor
