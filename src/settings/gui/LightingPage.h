// The lighting page: the mode selector (the modes the model offers), the seven colour slots with
// their enable boxes or, in the single-colour modes, their choice options, brightness, speed,
// direction, symmetry and the animated preview. Controls are shown per mode as the model's rows
// say. Every edit is one call of the control layer's lighting operation (SetLighting), which
// checks it on the model's rows, stores it in the configuration document and sends it.
#pragma once

#include <QString>
#include <functional>
#include <optional>

#include "control/Operations.h"
#include "settings/LightingRules.h"
#include "ui/PaintManager.h"

namespace zor {

class LightPreview;

class LightingPage {
public:
    struct Hooks {
        // The lighting operation for the profile.
        std::function<control::OpResult(int profile, const LightingEdit& edit)> edit;
        // Opens the colour picker on the colour; the chosen colour, nullopt when cancelled.
        std::function<std::optional<std::uint32_t>(std::uint32_t colour)> chooseColour;
        // The text of a language id (the mode names); empty: the id itself is shown.
        std::function<QString(const QString& id)> text;
    };

    LightingPage(ui::CPaintManagerUI& pm, MouseConfigDocument& document, Hooks hooks);

    // The skin's custom class of the preview controls ("LightPreview").
    static ui::CControlUI* CreateControl(const QString& className);

    // The model: its LEDMAP and its rows.
    void SetModel(const std::map<int, int>& ledModes, LightingLayout layout);
    const OfferedModes& Offered() const { return m_offered; }
    const LightingLayout& Layout() const { return m_layout; }
    void SetProfile(int profile) { m_profile = profile; }
    int Profile() const { return m_profile; }
    int CurrentMode() const { return CurrentLightingMode(m_doc, m_profile); }
    // The device mode number of the current mode (0 when the model has none).
    int CurrentDeviceMode() const;

    // Shows the document's lighting of the current profile.
    void Refresh();
    bool Refreshing() const { return m_refreshing; }
    // The mouse's lighting button chose a device mode: the page follows (nothing is sent).
    // False when the model offers no mode for it.
    bool ShowDeviceMode(int deviceMode);
    // Handles the page's notifications; false for those of other pages.
    bool Notify(ui::TNotifyUI& msg);

private:
    doc::LedModeSettings& Mode();
    void FillModeList();
    void ApplyRow();
    void ShowSlots();
    // The current mode's values (slots, levels, direction, row, preview), the mode list aside.
    void ShowValues();
    bool IsSingleMode() const;
    // shown: the record the preview shows (a slider being dragged); the stored one by default.
    void UpdatePreview(const doc::LedModeSettings* shown = nullptr);
    // Runs an edit, then shows what the document holds.
    void Edit(const LightingEdit& edit);
    ui::CControlUI* Control(const QString& name) const { return m_pm.FindControl(name); }

    ui::CPaintManagerUI& m_pm;
    MouseConfigDocument& m_doc;
    Hooks m_hooks;
    std::map<int, int> m_ledModes;
    LightingLayout m_layout;
    OfferedModes m_offered{};
    int m_profile = 0;
    bool m_refreshing = false;
};

}  // namespace zor
