// GUID text "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X" from libuuid.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace zor {

// The 16 bytes of a GUID in the Windows memory layout: Data1 (LE u32), Data2 (LE u16),
// Data3 (LE u16), Data4[8].
using GuidBytes = std::array<std::uint8_t, 16>;

GuidBytes NewGuidBytes();
std::string GuidText(const GuidBytes& guid);
std::string NewGuidText();

}  // namespace zor
