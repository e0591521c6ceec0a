#include "settings/gui/LightingPage.h"

#include "common/Debug.h"
#include "settings/gui/LightPreview.h"
#include "ui/Controls.h"

namespace zor {
namespace {

using ui::CButtonUI;
using ui::CCheckBoxUI;
using ui::CComboUI;
using ui::COptionUI;
using ui::CSliderUI;

const QString kModeList = QStringLiteral("btn_MouseLed_LedMode");
const QString kColour = QStringLiteral("btn_MouseLed_ColVal");
const QString kEnable = QStringLiteral("chk_MouseLed_ColEn");
const QString kSingle = QStringLiteral("opt_MouseLed_Single");
const QString kBright = QStringLiteral("slider_MouseLed_BrightVal");
const QString kSpeed = QStringLiteral("slider_MouseLed_SpeedVal");
const std::array<QString, kLightDirections> kDirections = {
    QStringLiteral("opt_MouseLed_BackwardVal"), QStringLiteral("opt_MouseLed_PositiveVal"),
    QStringLiteral("opt_MouseLed_TwowayVal"), QStringLiteral("opt_MouseLed_CoverVal")};

QString Argb(std::uint32_t rgb) {
    return QStringLiteral("#FF%1").arg(rgb & 0xFFFFFFu, 6, 16, QLatin1Char('0'));
}

int IndexAfter(const QString& name, const QString& prefix) {
    if (!name.startsWith(prefix) || name.size() != prefix.size() + 1) return -1;
    const int digit = name.at(prefix.size()).digitValue();
    return digit >= 0 && digit < kLedColourSlots ? digit : -1;
}

bool IsChange(const ui::TNotifyUI& msg) {
    return msg.sType == QLatin1String("selectchanged");
}

}  // namespace

LightingPage::LightingPage(ui::CPaintManagerUI& pm, MouseConfigDocument& document, Hooks hooks)
    : m_pm(pm), m_doc(document), m_hooks(std::move(hooks)) {}

ui::CControlUI* LightingPage::CreateControl(const QString& className) {
    if (className == QLatin1String("LightPreview")) return new LightPreview();
    return nullptr;
}

void LightingPage::SetModel(const std::map<int, int>& ledModes, LightingLayout layout) {
    m_ledModes = ledModes;
    m_layout = std::move(layout);
    if (!m_layout.error.empty()) DebugF("lighting rows: %s\n", m_layout.error);
    m_offered = OfferedLightingModes(m_ledModes, m_layout);
}

int LightingPage::CurrentDeviceMode() const {
    auto it = m_ledModes.find(CurrentMode());
    return it == m_ledModes.end() ? 0 : it->second;
}

doc::LedModeSettings& LightingPage::Mode() {
    return LightingModeRecord(m_doc, m_profile, CurrentMode());
}

void LightingPage::FillModeList() {
    auto* list = m_pm.Find<CComboUI>(kModeList);
    if (list == nullptr) return;
    // One item per offered mode; an item's data is its mode index.
    list->RemoveAll();
    for (int mode = 0; mode < kLedModes; ++mode) {
        if (!m_offered[static_cast<std::size_t>(mode)]) continue;
        const QString id = QString::fromStdString(m_layout.Row(mode)->Item());
        QString name = m_hooks.text ? m_hooks.text(id) : QString();
        list->AddItem(name.isEmpty() ? id : name, QString::number(mode));
    }
    for (int i = 0; i < list->GetCount(); ++i)
        if (list->GetItemData(i).toInt() == CurrentMode()) list->SelectItem(i, false);
}

void LightingPage::Refresh() {
    m_refreshing = true;
    FillModeList();
    m_refreshing = false;
    ShowValues();
}

void LightingPage::ShowValues() {
    const bool was = m_refreshing;
    m_refreshing = true;
    ShowSlots();
    auto& mode = Mode();
    auto level = [this](const QString& slider, const char* label, int value) {
        if (auto* s = m_pm.Find<CSliderUI>(slider)) s->SetValue(value);
        if (auto* l = Control(QLatin1String(label))) l->SetText(QString::number(value));
    };
    level(kBright, "label_MouseLed_BrightValText", mode.brightnessvalue);
    level(kSpeed, "label_MouseLed_SpeedValText", mode.frequencyvalue);
    if (mode.directionsel >= 0 && mode.directionsel < kLightDirections)
        if (auto* option = m_pm.Find<COptionUI>(kDirections[static_cast<std::size_t>(mode.directionsel)]))
            option->Selected(true, false);
    ApplyRow();
    UpdatePreview();
    m_refreshing = was;
}

void LightingPage::ShowSlots() {
    auto& mode = Mode();
    const int single = SingleLightColour(mode);
    for (int k = 0; k < kLedColourSlots; ++k) {
        const auto& slot = mode.colours[static_cast<std::size_t>(k)];
        const QString n = QString::number(k);
        if (auto* button = Control(kColour + n)) {
            button->SetAttribute(QStringLiteral("bkcolor"), Argb(slot.colour));
            button->SetEnabled(slot.enabled != 0 || IsSingleMode());
        }
        if (auto* box = m_pm.Find<CCheckBoxUI>(kEnable + n)) box->SetCheck(slot.enabled != 0, false);
        if (auto* option = m_pm.Find<COptionUI>(kSingle + n))
            if (k == single) option->Selected(true, false);
    }
}

bool LightingPage::IsSingleMode() const {
    const LightingRow* row = m_layout.Row(CurrentMode());
    return row != nullptr && row->singleColour;
}

void LightingPage::ApplyRow() {
    const LightingRow* row = m_layout.Row(CurrentMode());
    if (row == nullptr || !row->Applicable()) return;
    const auto& controls = LightingRowControls();
    for (int i = 0; i < kLightingRowControls; ++i)
        if (auto* c = Control(QLatin1String(controls[static_cast<std::size_t>(i)])))
            c->SetVisible(row->Flag(i));
    // The single-colour options stand where the enable boxes stand, in the modes that have them.
    for (int k = 0; k < kLedColourSlots; ++k)
        if (auto* option = Control(kSingle + QString::number(k)))
            option->SetVisible(row->singleColour && row->Shows("btn_MouseLed_ColVal" + std::to_string(k)));
    if (auto* symmetry = Control(QStringLiteral("LedSymmetryBox")))
        symmetry->SetVisible(row->Shows("Chk_MouseLed_SymnetryVal") ||
                             row->Shows("label_MouseLed_SymmeText"));
}

void LightingPage::UpdatePreview(const doc::LedModeSettings* shown) {
    const LightingRow* row = m_layout.Row(CurrentMode());
    const doc::LedModeSettings& mode = shown != nullptr ? *shown : Mode();
    PreviewInput input;
    input.effect = PreviewEffectByName(row != nullptr ? row->Preview() : std::string());
    for (const auto& slot : mode.colours)
        if (slot.enabled != 0) input.colours.push_back(slot.colour);
    if (input.effect == PreviewEffect::DpiColour) {
        // The light shows the colour of the current DPI gear.
        const auto& adv = m_doc.adv[static_cast<std::size_t>(std::clamp(m_profile, 0, kConfigProfiles - 1))];
        const int gear = std::clamp(adv.cruseldpi, 0, kDpiGearCount - 1);
        input.colours = {static_cast<std::size_t>(gear) < adv.gears.size()
                             ? adv.gears[static_cast<std::size_t>(gear)].colour
                             : 0xFFFFFFu};
    }
    input.brightness = std::clamp(mode.brightnessvalue, 1, kLightBrightnessMax);
    input.speed = std::clamp(mode.frequencyvalue, 1, kLightSpeedMax);
    input.direction = mode.directionsel;
    for (const char* name : {"gif_light", "gif_key"})
        if (auto* preview = m_pm.Find<LightPreview>(QLatin1String(name))) preview->SetInput(input);
}

void LightingPage::Edit(const LightingEdit& edit) {
    if (m_hooks.edit) {
        const control::OpResult r = m_hooks.edit(m_profile, edit);
        if (r.outcome == control::OpResult::Outcome::Refused)
            DebugF("lighting page: not changed: %s\n", r.reason);
    }
    ShowValues();
}

bool LightingPage::ShowDeviceMode(int deviceMode) {
    const int mode = UiModeForDeviceMode(m_ledModes, deviceMode);
    if (mode < 0 || !m_offered[static_cast<std::size_t>(mode)]) return false;
    LightingModeRecord(m_doc, m_profile, 0).curselmode = mode;
    Refresh();
    return true;
}

bool LightingPage::Notify(ui::TNotifyUI& msg) {
    if (msg.pSender == nullptr) return false;
    const QString name = msg.pSender->GetName();

    if (name == kModeList) {
        if (msg.sType != QLatin1String("itemselect") || m_refreshing) return true;
        auto* list = qobject_cast<CComboUI*>(msg.pSender);
        LightingEdit edit;
        edit.mode = list->GetItemData(static_cast<int>(msg.wParam)).toInt();
        if (m_hooks.edit) {
            const control::OpResult r = m_hooks.edit(m_profile, edit);
            if (r.outcome == control::OpResult::Outcome::Refused)
                DebugF("lighting page: mode not chosen: %s\n", r.reason);
        }
        Refresh();
        return true;
    }
    if (name == kBright || name == kSpeed) {
        if (m_refreshing) return true;
        if (msg.sType != QLatin1String("movevaluechanged") && msg.sType != QLatin1String("valuechanged"))
            return true;
        auto* slider = qobject_cast<CSliderUI*>(msg.pSender);
        const bool bright = name == kBright;
        if (msg.sType == QLatin1String("valuechanged")) {
            LightingEdit edit;
            (bright ? edit.brightness : edit.speed) = slider->GetValue();
            Edit(edit);
            return true;
        }
        // While the slider is dragged the label and the preview follow; nothing is stored yet.
        doc::LedModeSettings shown = Mode();
        const int value =
            LightLevelFromPosition(slider->GetValue(), bright ? kLightBrightnessMax : kLightSpeedMax);
        (bright ? shown.brightnessvalue : shown.frequencyvalue) = value;
        if (slider->GetValue() != value) {
            m_refreshing = true;
            slider->SetValue(value);
            m_refreshing = false;
        }
        if (auto* label = Control(bright ? QStringLiteral("label_MouseLed_BrightValText")
                                         : QStringLiteral("label_MouseLed_SpeedValText")))
            label->SetText(QString::number(value));
        UpdatePreview(&shown);
        return true;
    }
    if (const int k = IndexAfter(name, kEnable); k >= 0) {
        if (!IsChange(msg) || m_refreshing) return true;
        LightingEdit edit;
        edit.enables.emplace_back(k, qobject_cast<CCheckBoxUI*>(msg.pSender)->GetCheck());
        Edit(edit);
        return true;
    }
    if (const int k = IndexAfter(name, kSingle); k >= 0) {
        if (!IsChange(msg) || m_refreshing || !qobject_cast<COptionUI*>(msg.pSender)->IsSelected())
            return true;
        LightingEdit edit;
        edit.enables.emplace_back(k, true);  // a single-colour mode: the one enabled slot
        Edit(edit);
        return true;
    }
    if (const int k = IndexAfter(name, kColour); k >= 0) {
        if (msg.sType != QLatin1String("click") || !m_hooks.chooseColour) return true;
        const std::optional<std::uint32_t> chosen =
            m_hooks.chooseColour(Mode().colours[static_cast<std::size_t>(k)].colour);
        if (!chosen || m_refreshing) return true;
        LightingEdit edit;
        edit.colours.emplace_back(k, *chosen & 0xFFFFFFu);
        Edit(edit);
        return true;
    }
    for (int d = 0; d < kLightDirections; ++d) {
        if (name != kDirections[static_cast<std::size_t>(d)]) continue;
        if (!IsChange(msg) || m_refreshing || !qobject_cast<COptionUI*>(msg.pSender)->IsSelected())
            return true;
        LightingEdit edit;
        edit.direction = d;
        Edit(edit);
        return true;
    }
    return false;
}

}  // namespace zor
