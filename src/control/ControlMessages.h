// The window messages the control layer posts to its owner (the same numbers as the main
// window's table), and the parameters of the apply request.
#pragma once

#include "device/DeviceMessages.h"

namespace zor::control {

inline constexpr unsigned kMsgMacroReload = 2047;  // post: 1, 0 — the macro library was saved
inline constexpr unsigned kMsgApply = 2051;        // kind (bits 0-6) + sync flag (bit 7), profile
inline constexpr unsigned kMsgApplyEnd = 2054;     // post: a run has ended
// Program-internal: the device-state read has finished. Outside the range 2025-2074.
inline constexpr unsigned kMsgStateReadDone = 2090;
// Program-internal: the charge counter read has finished.
inline constexpr unsigned kMsgChargeCounterRead = 2091;

inline constexpr int kApplyKindMask = 0x7F;
inline constexpr int kApplySyncFlag = 0x80;

}  // namespace zor::control
