// The program's window-message numbers: the custom messages 2025-2074 that pages, pop-ups and
// worker threads send to the main window, the tray and menu messages of the UI library, and the
// standard window-message numbers that WindowImplBase translates Qt events into.
#pragma once

namespace zor::ui {

enum Message : unsigned {
    // Standard window messages (delivered to HandleCustomMessage).
    kWmMove = 3,
    kWmActivate = 6,
    kWmClose = 16,
    kWmMouseActivate = 33,
    kWmInputLangChange = 81,
    kWmKeyDown = 256,
    kWmKeyUp = 257,
    kWmSysKeyDown = 260,
    kWmSysKeyUp = 261,
    kWmSysCommand = 274,
    kWmTimer = 275,
    kWmMouseMove = 512,
    kWmLButtonDown = 513,
    kWmLButtonUp = 514,
    kWmLButtonDblClk = 515,
    kWmRButtonDown = 516,
    kWmRButtonUp = 517,
    kWmMouseWheel = 522,
    kWmDeviceChange = 537,

    // UI library messages.
    kMsgTrayIcon = 1025,   // lParam = mouse message (514 click, 515 double click, 517 menu)
    kMsgMenuClick = 1027,  // payload = item name (QString)

    kMsgUser = 1024,
    kMsgPopColor = 2025,
    kMsgMacroEventSet = 2027,
    kMsgKeyPopSetValue = 2028,
    kMsgRecorderKeyUp = 2029,
    kMsgDeviceDpiChanged = 2031,
    kMsgDeviceProfileChanged = 2032,
    kMsgDeviceConfig = 2034,
    kMsgMacroEventCancel = 2035,
    kMsgStartUpdater = 2037,
    kMsgLanguageChanged = 2039,  // payload = language name (QString)
    kMsgDeviceLightChanged = 2040,
    kMsgDeviceRateChanged = 2041,
    kMsgSilentStart = 2042,
    kMsgMaxDataWarn = 2045,
    kMsgMacroReload = 2047,
    kMsgApply = 2051,
    kMsgReadDeviceState = 2053,
    kMsgApplyEnd = 2054,
    kMsgSettingClosed = 2056,
    kMsgApplyOverlay = 2057,
    kMsgMsgBoxHideToTray = 2058,
    kMsgApplyProgress = 2059,
    kMsgSavePowerChanged = 2060,
    kMsgSleepTimeChanged = 2061,
    kMsgSensorSwitchesChanged = 2062,
    kMsgLiftOffChanged = 2063,
    kMsgRefreshDevicePages = 2064,
    kMsgBleEvent = 2065,  // payload = event text (QString)
    kMsgPdTimeChanged = 2066,
    kMsgRecordKey = 2067,
    kMsgMoveWakeChanged = 2068,
    kMsgDeviceStageSwitch = 2069,
    kMsgCloseWndGone = 2070,
    kMsgCloseConfig = 2071,
    kMsgCloseAct = 2072,
    kMsgMacroKeyTexts = 2073,
    kMsgShortPressChanged = 2074,
};

// The first and last numbers of the program's own messages.
inline constexpr unsigned kFirstAppMessage = 2025;
inline constexpr unsigned kLastAppMessage = 2074;

}  // namespace zor::ui
