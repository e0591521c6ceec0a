// The power and sensor page: sleep, power-down and short-press times (slider, entry and value
// label each), the lift-off distance and the sensor switches. Every change is written to
// Set.ini at once and announced to the main window with its change message, which the window
// turns into the single write of that value.
#pragma once

#include <QString>
#include <functional>
#include <string>

#include "settings/PowerOptions.h"
#include "ui/PaintManager.h"

namespace zor {

class PowerPage {
public:
    struct Hooks {
        // Sends a change message (2060..2074) to the main window with wParam.
        std::function<void(int message, int wParam)> announce;
        // True while an apply runs or a profile change waits to be sent.
        std::function<bool()> busy;
    };

    PowerPage(ui::CPaintManagerUI& pm, std::filesystem::path setIni, Hooks hooks);

    // The model the options are shown for: sensor chip number, matched name and the
    // description's power-saving flag (Config/KeySelLedVis).
    void SetModel(int chip, std::string model, bool powerSavingFlag);
    // Applies the model's visibility, then shows the values of Set.ini, kept within the
    // sliders' ranges.
    void Refresh();
    // Handles the page's notifications; false for those of other pages.
    bool Notify(ui::TNotifyUI& msg);

    // The options as the page reads them: Set.ini with the sliders' ranges.
    PowerOptions Options() const;

private:
    struct Timer {
        PowerKey key;
        QString slider, edit, value;
    };
    static const std::array<Timer, 3>& Timers();
    void ShowTimer(const Timer& timer, int value);
    void StoreTimer(const Timer& timer, int value, bool announce);
    void StoreSwitch(PowerKey key, bool on);
    void StoreSensorSwitches();
    void Announce(PowerKey key, int wParam);
    void ApplyVisibility();

    ui::CPaintManagerUI& m_pm;
    std::filesystem::path m_setIni;
    Hooks m_hooks;
    int m_chip = 0;
    std::string m_model;
    bool m_powerSavingFlag = true;
    bool m_refreshing = false;
};

}  // namespace zor
