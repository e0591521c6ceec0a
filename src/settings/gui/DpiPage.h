// The DPI and report-rate page: eight gears (enable, value, colour), the DPI slider and the
// edit box of the current gear, the fire slider and the report-rate group. Every edit is one
// call of the control layer's operation (SetDpiGear, SetFireValue, SetReportRate), which checks
// it, stores it in the configuration document and sends it; a refused edit shows the stored
// values again.
#pragma once

#include <QString>
#include <functional>
#include <string>

#include "control/SettingsOperations.h"
#include "settings/DpiRules.h"
#include "ui/PaintManager.h"

namespace zor {

class DpiPage {
public:
    struct Hooks {
        // The operations: a gear's edit and the fire value for the profile.
        std::function<control::OpResult(int profile, const control::DpiGearEdit& edit)> setGear;
        std::function<control::OpResult(int profile, int value)> setFire;
        // Opens a colour choice on the colour; answers false when cancelled.
        std::function<bool(std::uint32_t& colour)> chooseColour;
        std::function<void()> openSystemMouseSettings;
        // A report-rate option chosen for the profile: the shared operation checks, stores and
        // sends it.
        std::function<void(int profile, int option)> setReportRate;
    };

    DpiPage(ui::CPaintManagerUI& pm, MouseConfigDocument& document, Hooks hooks);

    void SetTable(const DpiTable& table) { m_table = table; }
    const DpiTable& Table() const { return m_table; }
    void SetConnection(RateConnection connection, std::string model);
    void SetProfile(int profile) { m_profile = profile; }
    int Profile() const { return m_profile; }

    // Shows the document's values of the current profile.
    void Refresh();
    // The mouse reported a new current gear (0-based).
    void ShowCurrentGear(int gear);
    // The mouse reported a new report-rate option.
    void ShowReportRate(int option);
    // Handles the page's notifications; false for those of other pages.
    bool Notify(ui::TNotifyUI& msg);

private:
    doc::MouseAdvSettings& Adv();
    void ShowGearValue(int gear);
    void ShowSlider();
    void SelectCurrentOption();
    // The slider's label while it is dragged; nothing is stored before it is released.
    void ShowDraggedValue(int value);
    // Runs a gear's edit; a refused one shows the stored values again.
    void EditGear(const control::DpiGearEdit& edit);
    static int IndexAfter(const QString& name, const QString& prefix);

    ui::CPaintManagerUI& m_pm;
    MouseConfigDocument& m_doc;
    Hooks m_hooks;
    DpiTable m_table;
    RateConnection m_connection = RateConnection::Cable;
    std::string m_model;
    int m_profile = 0;
    bool m_refreshing = false;
};

}  // namespace zor
