// The byte stream that carries one macro into a macro slot of the mouse, and its read-back.
//
// Stream: repeat count (u16), L = length of the event area (u16), then the events; at most 512
// bytes, written in 32-byte chunks with the macro-write command.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "device/MacroDeviceBlock.h"

namespace zor {

class Transport;

inline constexpr int kMacroSlots = 16;
inline constexpr std::size_t kMacroStreamMax = 512;
inline constexpr std::size_t kMacroChunk = 32;
inline constexpr std::uint8_t kCmdMacroWrite = 0x08;
inline constexpr std::uint8_t kCmdMacroRead = 0x88;

// Device event codes.
inline constexpr std::uint8_t kDevCodeLeftButton = 232;
inline constexpr std::uint8_t kDevCodeRightButton = 233;
inline constexpr std::uint8_t kDevCodeMiddleButton = 234;
inline constexpr std::uint8_t kDevCodeFourthButton = 235;
inline constexpr std::uint8_t kDevCodeFifthButton = 236;
inline constexpr std::uint8_t kDevCodeDpi = 253;
inline constexpr std::uint8_t kDevCodeMove = 254;

// A copy of the block with the events' application codes turned into device codes.
MacroDeviceBlock TranslateCodes(const MacroDeviceBlock& block);

// The stream of a translated block; nullopt when it would exceed 512 bytes.
std::optional<std::vector<std::uint8_t>> BuildMacroStream(const MacroDeviceBlock& block);

// Builds the stream and writes it into the slot. -1 when it would exceed 512 bytes (nothing
// sent), 0 for a slot of 16 or more, otherwise the result of the last chunk write.
int EncodeMacro(Transport& transport, int slot, const MacroDeviceBlock& block);

// Turns a stream read back from the mouse into a block (device codes). A stream whose length
// field is impossible gives an all-zero block.
MacroDeviceBlock ParseMacroStream(std::span<const std::uint8_t> stream);

// Reads the slot back: the first chunk, then as many as its length asks for, each tried up to
// five times. Any failure gives an all-zero block.
MacroDeviceBlock DecodeMacro(Transport& transport, int slot);

// The stream length of a block in application codes, which the recorder keeps below its limit:
// 2 for a macro without events, otherwise the exact size BuildMacroStream will produce.
int EstimateStreamLength(const MacroDeviceBlock& block);

}  // namespace zor
