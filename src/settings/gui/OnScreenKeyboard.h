// The desktop's on-screen keyboard, for typing a key into the key popup without a keyboard: the
// first on-screen keyboard program found on PATH, or GNOME's own keyboard switched on.
#pragma once

#include <QString>
#include <QStringList>

namespace zor {

// The programs tried, in order.
QStringList OnScreenKeyboardPrograms();
// Starts one; false (nothing started) when none is installed.
bool StartOnScreenKeyboard();

}  // namespace zor
