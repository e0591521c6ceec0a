// The power and sensor page: sleep, power-down and short-press times (slider, entry and value
// label each), the lift-off distance and the sensor switches. Every change is one call of the
// control layer's power operation (SetPowerOptions), which writes it to Set.ini at once and sends
// the single write of that value.
#pragma once

#include <QString>
#include <functional>
#include <string>

#include "control/Operations.h"
#include "settings/PowerOptions.h"
#include "ui/PaintManager.h"

namespace zor {

class PowerPage {
public:
    struct Hooks {
        // The power operation, with the ranges of the page's sliders.
        std::function<control::OpResult(const std::vector<std::pair<PowerKey, int>>& values,
                                        const PowerRanges& ranges)>
            set;
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
    void StoreTimer(const Timer& timer, int value, bool store);
    void StoreSwitch(PowerKey key, bool on);
    void StoreSensorSwitches();
    // Runs the operation; a refused change shows the stored values again.
    void Set(const std::vector<std::pair<PowerKey, int>>& values);
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
