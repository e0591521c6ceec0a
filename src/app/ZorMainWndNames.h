// Names shared by the main window's source files and the parts it owns (not for other files): the
// skin layer's names, the window's message numbers, and the bits of an apply request's wParam.
#pragma once

#include "ui/Messages.h"

namespace zor::app {

using namespace zor::ui;
// The device layer keeps its own copies of these numbers; here the window's table is meant.
using ui::kMsgBleEvent;
using ui::kMsgDeviceDpiChanged;
using ui::kMsgDeviceLightChanged;
using ui::kMsgDeviceProfileChanged;
using ui::kMsgDeviceRateChanged;
using ui::kMsgDeviceStageSwitch;
using ui::kMsgLiftOffChanged;
using ui::kMsgMoveWakeChanged;
using ui::kMsgPdTimeChanged;
using ui::kMsgReadDeviceState;
using ui::kMsgSavePowerChanged;
using ui::kMsgSensorSwitchesChanged;
using ui::kMsgShortPressChanged;
using ui::kMsgSleepTimeChanged;

// wParam of an apply request: the kind of change in bits 0-6, bit 7 asks for a synchronisation.
inline constexpr int kApplyKindMask = 0x7F;
inline constexpr int kApplySyncFlag = 0x80;

}  // namespace zor::app
