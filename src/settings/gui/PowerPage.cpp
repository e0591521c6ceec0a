#include "settings/gui/PowerPage.h"

#include <utility>

#include "common/Debug.h"

namespace zor {
namespace {

using ui::CControlUI;
using ui::COptionUI;
using ui::CSliderUI;

const QString kSavePower = QStringLiteral("intell_save_power");
const QString kMoveWake = QStringLiteral("MoveWakeOption");
const QString kLod1 = QStringLiteral("LODHeight1");
const QString kLod2 = QStringLiteral("LODHeight2");

struct SwitchControl {
    PowerKey key;
    const char* name;
};
// The switches that travel together in option byte A.
constexpr std::array<SwitchControl, 4> kSensorSwitches{{
    {PowerKey::StraightLineCorrectEn, "StraightLineCorrection"},
    {PowerKey::RippleCtrlEn, "RippleControlEn"},
    {PowerKey::SmoothLineEn, "SmoothLineOption"},
    {PowerKey::JitterCorrectEn, "JitterCorrectEn"},
}};

bool IsValueChange(const QString& type) {
    return type == QLatin1String("movevaluechanged") || type == QLatin1String("valuechanged");
}

}  // namespace

PowerPage::PowerPage(ui::CPaintManagerUI& pm, std::filesystem::path setIni, Hooks hooks)
    : m_pm(pm), m_setIni(std::move(setIni)), m_hooks(std::move(hooks)) {}

const std::array<PowerPage::Timer, 3>& PowerPage::Timers() {
    static const std::array<Timer, 3> timers{{
        {PowerKey::SleepTime, QStringLiteral("Slider_Sleep_Time"), QStringLiteral("Edit_Sleep_Time"),
         QStringLiteral("Value_Sleep_Time")},
        {PowerKey::PDTime, QStringLiteral("Slider_PD_Time"), QStringLiteral("Edit_PD_Time"),
         QStringLiteral("Value_PD_Time")},
        {PowerKey::ShortPress, QStringLiteral("Slider_ShortPress_Time"),
         QStringLiteral("Edit_ShortPress_Time"), QStringLiteral("Value_ShortPress_Time")},
    }};
    return timers;
}

void PowerPage::SetModel(int chip, std::string model, bool powerSavingFlag) {
    m_chip = chip;
    m_model = std::move(model);
    m_powerSavingFlag = powerSavingFlag;
}

PowerOptions PowerPage::Options() const {
    PowerRanges ranges;
    for (const Timer& timer : Timers()) {
        auto* slider = m_pm.Find<CSliderUI>(timer.slider);
        if (slider == nullptr || slider->GetMaxValue() < slider->GetMinValue()) continue;
        const PowerRange range{slider->GetMinValue(), slider->GetMaxValue()};
        if (timer.key == PowerKey::SleepTime) ranges.sleepTime = range;
        if (timer.key == PowerKey::PDTime) ranges.pdTime = range;
        if (timer.key == PowerKey::ShortPress) ranges.shortPress = range;
    }
    return PowerOptions(m_setIni, ranges);
}

void PowerPage::ApplyVisibility() {
    const PowerVisibility v = VisibilityFor(m_chip, m_model, m_powerSavingFlag);
    const auto apply = [this](const char* name, RowVisibility row) {
        CControlUI* control = m_pm.FindControl(QLatin1String(name));
        if (control == nullptr || row == RowVisibility::Keep) return;
        control->SetVisible(row == RowVisibility::Show);
    };
    apply("IntellSavePower_Ver", v.savePower);
    apply("StraightLine_Ver", v.straightLine);
    apply("RippleCtrl_Ver", v.rippleCtrl);
    apply("LODHeight_Ver", v.lodHeight);
    apply("JitterCorrect_Ver", v.jitterCorrect);
    apply("SmoothLineVer", v.smoothLine);
    if (!v.lodText1.empty())
        if (auto* option = m_pm.FindControl(kLod1)) option->SetText(QString::fromStdString(v.lodText1));
    if (!v.lodText2.empty())
        if (auto* option = m_pm.FindControl(kLod2)) option->SetText(QString::fromStdString(v.lodText2));
}

void PowerPage::Refresh() {
    m_refreshing = true;
    ApplyVisibility();
    const PowerValues values = Options().Load();
    for (const Timer& timer : Timers()) ShowTimer(timer, values.Get(timer.key));
    const auto check = [this](const QString& name, bool on) {
        if (auto* box = m_pm.Find<COptionUI>(name)) box->Selected(on, false);
    };
    check(kSavePower, values.Get(PowerKey::SavePowerSelect) != 0);
    check(kMoveWake, values.Get(PowerKey::MoveWakeEn) != 0);
    for (const SwitchControl& s : kSensorSwitches) check(QLatin1String(s.name), values.Get(s.key) != 0);
    const bool second = values.Get(PowerKey::LODHeight) == 1;
    check(second ? kLod2 : kLod1, true);
    m_refreshing = false;
}

void PowerPage::ShowTimer(const Timer& timer, int value) {
    const bool was = m_refreshing;
    m_refreshing = true;  // setting the slider must not count as the user's change
    if (auto* slider = m_pm.Find<CSliderUI>(timer.slider)) slider->SetValue(value);
    if (auto* edit = m_pm.FindControl(timer.edit)) edit->SetText(QString::number(value));
    if (auto* label = m_pm.FindControl(timer.value)) label->SetText(QString::number(value));
    m_refreshing = was;
}

void PowerPage::Set(const std::vector<std::pair<PowerKey, int>>& values) {
    if (!m_hooks.set) return;
    const control::OpResult r = m_hooks.set(values, Options().Ranges());
    if (r.outcome != control::OpResult::Outcome::Refused) return;
    DebugF("power page: not set: %s\n", r.reason);
    Refresh();
}

void PowerPage::StoreTimer(const Timer& timer, int value, bool store) {
    const PowerOptions options = Options();
    // The slider stops where the timers would leave their order, so each change stays one write.
    const int kept = KeptInOrder(timer.key, options.Ranges().Of(timer.key).Clamp(value), options.Load());
    ShowTimer(timer, kept);
    if (store) Set({{timer.key, kept}});
}

void PowerPage::StoreSwitch(PowerKey key, bool on) {
    Set({{key, on ? 1 : 0}});
}

void PowerPage::StoreSensorSwitches() {
    // The four switches travel in one byte: all of them are stored, then the byte is sent.
    std::vector<std::pair<PowerKey, int>> values;
    for (const SwitchControl& s : kSensorSwitches) {
        auto* box = m_pm.Find<COptionUI>(QLatin1String(s.name));
        values.emplace_back(s.key, box != nullptr && box->IsSelected() ? 1 : 0);
    }
    Set(values);
}

bool PowerPage::Notify(ui::TNotifyUI& msg) {
    if (msg.pSender == nullptr) return false;
    const QString name = msg.pSender->GetName();
    for (const Timer& timer : Timers()) {
        if (name == timer.slider) {
            if (m_refreshing || !IsValueChange(msg.sType)) return true;
            auto* slider = qobject_cast<CSliderUI*>(msg.pSender);
            const bool released = msg.sType == QLatin1String("valuechanged");
            StoreTimer(timer, slider->GetValue(), released);
            return true;
        }
        if (name == timer.edit) {
            if (m_refreshing) return true;
            const bool done = msg.sType == QLatin1String("return") || msg.sType == QLatin1String("killfocus");
            if (!done) return true;
            const int stored = Options().Load().Get(timer.key);
            const int typed = msg.pSender->GetText().trimmed().toInt();
            // Leaving an entry whose value did not change sends nothing.
            if (msg.sType == QLatin1String("killfocus") &&
                Options().Ranges().Of(timer.key).Clamp(typed) == stored) {
                ShowTimer(timer, stored);
                return true;
            }
            StoreTimer(timer, typed, true);
            return true;
        }
    }
    const bool toggled = msg.sType == QLatin1String("selectchanged");
    if (name == kSavePower || name == kMoveWake || name == kLod1 || name == kLod2) {
        if (!toggled || m_refreshing) return true;
        auto* option = qobject_cast<COptionUI*>(msg.pSender);
        if (name == kSavePower) StoreSwitch(PowerKey::SavePowerSelect, option->IsSelected());
        if (name == kMoveWake) StoreSwitch(PowerKey::MoveWakeEn, option->IsSelected());
        // Of the lift-off pair only the option that became selected reports the change.
        if ((name == kLod1 || name == kLod2) && option->IsSelected())
            Set({{PowerKey::LODHeight, name == kLod2 ? 1 : 0}});
        return true;
    }
    for (const SwitchControl& s : kSensorSwitches) {
        if (name != QLatin1String(s.name)) continue;
        if (toggled && !m_refreshing) StoreSensorSwitches();
        return true;
    }
    return false;
}

}  // namespace zor
