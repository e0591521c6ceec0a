// One window message as the main window's message table hands it to the part that handles it.
#pragma once

#include <QVariant>
#include <QtGlobal>

namespace zor::app {

struct WindowMessage {
    unsigned id = 0;
    qintptr wParam = 0;
    qintptr lParam = 0;
    const QVariant& payload;  // the text a message carries, if any
    bool& handled;
};

}  // namespace zor::app
