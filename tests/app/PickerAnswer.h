// Answers the program's colour picker once it is open: a preset colour, then OK or Cancel.
#pragma once

#include <QApplication>
#include <QTimer>

#include "settings/gui/PopColorWnd.h"
#include "support/UserInput.h"

namespace zor::app::test {

class PickerAnswer : public QObject {
public:
    PickerAnswer(const char* swatch, const char* button) : m_swatch(swatch), m_button(button) {
        connect(&m_poll, &QTimer::timeout, this, [this] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* picker = qobject_cast<CPopColorWnd*>(w);
                if (picker == nullptr || !picker->isVisible() || !picker->windowHandle() ||
                    !picker->windowHandle()->isExposed())
                    continue;
                m_poll.stop();
                zor::test::ClickControl(picker->FindControl(QLatin1String(m_swatch)));
                zor::test::ClickControl(picker->FindControl(QLatin1String(m_button)));
                answered = true;
                return;
            }
        });
        m_poll.start(10);
    }
    bool answered = false;

private:
    const char* m_swatch;
    const char* m_button;
    QTimer m_poll;
};

}  // namespace zor::app::test
