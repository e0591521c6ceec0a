// The 41-byte feature report (report id 6) that carries every command to the mouse and every
// reply back.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace zor {

inline constexpr std::uint8_t kCommandReportId = 0x06;
inline constexpr std::size_t kReportSize = 41;
inline constexpr std::size_t kMaxPayload = 32;
// A read command is its write command with this bit set.
inline constexpr std::uint8_t kReadBit = 0x80;

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
inline constexpr std::size_t kPosCommand = 3;
inline constexpr std::size_t kPosSequence = 4;
inline constexpr std::size_t kPosArgument = 5;
inline constexpr std::size_t kPosOffsetLow = 6;
inline constexpr std::size_t kPosOffsetHigh = 7;
inline constexpr std::size_t kPosLength = 8;
inline constexpr std::size_t kPosPayload = 9;

using Report = std::array<std::uint8_t, kReportSize>;

}  // namespace zor
