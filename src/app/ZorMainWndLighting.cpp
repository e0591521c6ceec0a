// The main window's part of the lighting page, the colour picker and the DPI pop-up: building
// them, handing them the model, and the messages that reach them (2025, 2040, 2031 and 2069).
#include "app/AppMessages.h"
#include "app/ZorMainWnd.h"
#include "app/ZorMainWndNames.h"
#include "common/Debug.h"
#include "common/IniFile.h"
#include "settings/PopColor.h"
#include "settings/gui/PopColorWnd.h"

namespace zor::app {

void CZorMainWnd::CreateLightingParts() {
    LightingPage::Hooks hooks;
    hooks.requestApply = [this](int kind, int profile, bool sync) {
        if (sync)
            SendMessageTo(this, kMsgApply, kind, profile);
        else
            PostMessageTo(this, kMsgApply, kind, profile);
    };
    hooks.busy = [this] { return m_scheduler->RunInProgress() || m_scheduler->Flags().profileChanged; };
    hooks.chooseColour = [this](std::uint32_t colour) -> std::optional<std::uint32_t> {
        if (!ChooseColour(colour)) return std::nullopt;
        return colour;
    };
    hooks.text = [this](const QString& id) { return m_language.QueryControlText(id, {}); };
    m_light = std::make_unique<LightingPage>(m_pm, m_model.doc, std::move(hooks));
}

void CZorMainWnd::LoadLightingModel() {
    m_light->SetModel(m_model.feature.ledModes, LoadLightingLayout(m_model.ModelFolder()));
}

void CZorMainWnd::RefreshLighting() {
    m_light->SetProfile(m_model.Profile());
    m_light->Refresh();
    const int deviceMode = m_light->CurrentDeviceMode();
    m_hub->View().Update([deviceMode](DeviceViewState& view) { view.lightingMode = deviceMode - 1; });
}

bool CZorMainWnd::ChooseColour(std::uint32_t& colour) {
    // The picker answers with message 2025; Cancel sends nothing.
    m_pickedColour.reset();
    CPopColorWnd::Choose(this, PopColorPath(m_model.ModelFolder()), colour, 1);
    if (!m_pickedColour) return false;
    colour = *m_pickedColour;
    return true;
}

long long CZorMainWnd::OnPopColour(qintptr wParam, qintptr lParam, bool& handled) {
    handled = true;
    if (wParam == 1) m_pickedColour = static_cast<std::uint32_t>(lParam) & 0xFFFFFFu;
    return 0;
}

long long CZorMainWnd::OnDeviceLightChanged(qintptr wParam, qintptr, bool&) {
    const int deviceMode = static_cast<int>(wParam & 0x3F);
    if (!m_light->ShowDeviceMode(deviceMode))
        DebugF("the mouse chose lighting mode %d, which this model's page does not offer\n", deviceMode);
    m_hub->View().Update([deviceMode](DeviceViewState& view) { view.lightingMode = deviceMode - 1; });
    return 0;
}

void CZorMainWnd::ShowDpiPop(int gear) {
    if (IniFile(SetIniPath()).GetInt("Set", "DpiPopEn") == 0) return;
    if (gear < 0 || gear >= kDpiGearCount) return;
    const int profile = m_model.Profile();
    const auto& adv = m_model.doc.adv[static_cast<std::size_t>(profile)];
    const int value = static_cast<std::size_t>(gear) < adv.gears.size()
                          ? adv.gears[static_cast<std::size_t>(gear)].value
                          : 0;
    auto text = [this](const char* id, const char* fallback) {
        const QString t = m_language.QueryControlText(QLatin1String(id), {});
        return t.isEmpty() ? QString::fromLatin1(fallback) : t;
    };
    PopPushInfo info;
    info.level = gear + 1;
    info.dpi = value;
    info.dpiValue = QString::fromStdString(m_dpi->Table().Label(value));
    info.dpiText = text("PopDpiText", "DPI");
    info.modeText = QStringLiteral("%1 %2").arg(text("ProfileItem", "Profile")).arg(profile + 1);
    if (const DeviceEntry* entry = m_hub->SelectedEntry())
        info.deviceName = QString::fromStdString(entry->displayName);
    if (!m_popPush) {
        // Built when first needed: most sessions never see it.
        m_popPush = std::make_unique<CPopPush>();
        m_popPush->CreatePopup();
    }
    m_popPush->SetSliderMax(m_dpi->Table().Max());
    m_popPush->Show(info);
}

}  // namespace zor::app
