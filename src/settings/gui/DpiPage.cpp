#include "settings/gui/DpiPage.h"

#include <QColor>
#include <algorithm>

#include "common/Debug.h"

namespace zor {
namespace {

using ui::CButtonUI;
using ui::CCheckBoxUI;
using ui::CControlUI;
using ui::CEditUI;
using ui::CLabelUI;
using ui::COptionUI;
using ui::CSliderUI;

const QString kEnable = QStringLiteral("chk_MouseAdv_PDIEn");
const QString kGearOption = QStringLiteral("chk_MouseAdv_SelDPI");
const QString kColour = QStringLiteral("btn_MouseAdv_Color");
const QString kEdit = QStringLiteral("MouseAdv_Edit");
const QString kRate = QStringLiteral("opt_MouseUsbRate");
const QString kSlider = QStringLiteral("btn_MouseAdv_DpiSlider");
const QString kFire = QStringLiteral("btn_MouseAdv_FireCtrl");

QString Colour(std::uint32_t rgb) {
    return QStringLiteral("#FF%1").arg(rgb & 0xFFFFFFu, 6, 16, QLatin1Char('0'));
}

}  // namespace

DpiPage::DpiPage(ui::CPaintManagerUI& pm, MouseConfigDocument& document, Hooks hooks)
    : m_pm(pm), m_doc(document), m_hooks(std::move(hooks)) {}

void DpiPage::SetConnection(RateConnection connection, std::string model) {
    m_connection = connection;
    m_model = std::move(model);
}

doc::MouseAdvSettings& DpiPage::Adv() {
    return m_doc.adv[static_cast<std::size_t>(std::clamp(m_profile, 0, kConfigProfiles - 1))];
}

int DpiPage::IndexAfter(const QString& name, const QString& prefix) {
    if (!name.startsWith(prefix)) return -1;
    bool ok = false;
    const int index = name.mid(prefix.size()).toInt(&ok);
    return ok && index >= 0 && index < kDpiGearCount ? index : -1;
}

void DpiPage::Refresh() {
    m_refreshing = true;
    ClampGearValues(m_doc, m_table.Max());
    auto& adv = Adv();
    adv.gears.resize(kDpiGearCount);
    for (int k = 0; k < kDpiGearCount; ++k) {
        const auto& gear = adv.gears[static_cast<std::size_t>(k)];
        if (auto* box = m_pm.Find<CCheckBoxUI>(kEnable + QString::number(k)))
            box->SetCheck(gear.enabled != 0, false);
        if (auto* colour = m_pm.Find<CButtonUI>(kColour + QString::number(k))) {
            colour->SetAttribute(QStringLiteral("bkcolor"), Colour(gear.colour));
            colour->SetAttribute(QStringLiteral("textcolor"), Colour(gear.colour));
        }
        ShowGearValue(k);
    }
    SelectCurrentOption();
    ShowSlider();

    LimitReportRates(adv, m_model, m_connection);
    const int rates = ReportRateOptions(m_model, m_connection);
    for (int i = 0; i < 7; ++i)
        if (auto* option = m_pm.Find<COptionUI>(kRate + QString::number(i))) option->SetVisible(i < rates);
    ShowReportRate(ReportRateOption(adv, m_connection));

    if (auto* fire = m_pm.Find<CSliderUI>(kFire)) fire->SetValue(adv.firevalue);
    if (auto* label = m_pm.FindControl(QStringLiteral("lab_MouseAdv_FireValue")))
        label->SetText(QString::number(adv.firevalue));
    m_refreshing = false;
}

void DpiPage::ShowGearValue(int gear) {
    const auto& adv = Adv();
    const QString label =
        QString::fromStdString(m_table.Label(adv.gears[static_cast<std::size_t>(gear)].value));
    if (auto* option = m_pm.Find<COptionUI>(kGearOption + QString::number(gear))) option->SetText(label);
    if (auto* edit = m_pm.Find<CEditUI>(kEdit + QString::number(gear))) {
        edit->SetText(label);
        edit->SetVisible(gear == adv.cruseldpi);
    }
}

void DpiPage::ShowSlider() {
    const auto& adv = Adv();
    const int current = std::clamp(adv.cruseldpi, 0, kDpiGearCount - 1);
    const int value = adv.gears[static_cast<std::size_t>(current)].value;
    if (auto* slider = m_pm.Find<CSliderUI>(kSlider)) {
        slider->SetMinValue(0);
        slider->SetMaxValue(m_table.Max());
        slider->SetValue(value);
    }
    auto text = [&](const char* name, const QString& t) {
        if (auto* c = m_pm.FindControl(QLatin1String(name))) c->SetText(t);
    };
    text("lab_MouseAdv_DpiSliderValue", QString::fromStdString(m_table.Label(value)));
    text("lab_MouseAdv_DpiSliderMin",
         QString::fromStdString(m_table.Max() < 1 ? kNullDpiLabel : m_table.Label(1)));
    text("lab_MouseAdv_DpiSliderMax",
         QStringLiteral("/ ") + QString::fromStdString(m_table.Label(m_table.Max())));
    for (int k = 0; k < kDpiGearCount; ++k)
        if (auto* edit = m_pm.FindControl(kEdit + QString::number(k))) edit->SetVisible(k == current);
}

void DpiPage::SelectCurrentOption() {
    if (auto* option = m_pm.Find<COptionUI>(kGearOption + QString::number(Adv().cruseldpi)))
        option->Selected(true, false);
}

void DpiPage::ShowCurrentGear(int gear) {
    if (gear < 0 || gear >= kDpiGearCount) return;
    Adv().cruseldpi = gear;
    m_refreshing = true;
    SelectCurrentOption();
    ShowSlider();
    ShowGearValue(gear);
    m_refreshing = false;
}

void DpiPage::ShowReportRate(int option) {
    if (auto* rate = m_pm.Find<COptionUI>(kRate + QString::number(option))) rate->Selected(true, false);
}

void DpiPage::ShowDraggedValue(int value) {
    const QString label = QString::fromStdString(m_table.Label(value));
    const QString gear = QString::number(Adv().cruseldpi);
    if (auto* option = m_pm.Find<COptionUI>(kGearOption + gear)) option->SetText(label);
    if (auto* edit = m_pm.Find<CEditUI>(kEdit + gear)) edit->SetText(label);
    if (auto* valueLabel = m_pm.FindControl(QStringLiteral("lab_MouseAdv_DpiSliderValue")))
        valueLabel->SetText(label);
}

void DpiPage::EditGear(const control::DpiGearEdit& edit) {
    if (!m_hooks.setGear) return;
    const control::OpResult r = m_hooks.setGear(m_profile, edit);
    if (r.outcome == control::OpResult::Outcome::Refused)
        DebugF("DPI page: gear %d not changed: %s\n", edit.gear, r.reason);
    Refresh();  // what the document holds now
}

bool DpiPage::Notify(ui::TNotifyUI& msg) {
    if (msg.pSender == nullptr || m_refreshing) return false;
    const QString name = msg.pSender->GetName();
    const auto& adv = Adv();

    if (name == kSlider &&
        (msg.sType == QLatin1String("movevaluechanged") || msg.sType == QLatin1String("valuechanged"))) {
        auto* slider = qobject_cast<CSliderUI*>(msg.pSender);
        int value = slider->GetValue();
        if (value == 0) value = 1;
        // The mouse only knows the table's values: the slider lands on the nearest one.
        value = m_table.Nearest(value);
        if (msg.sType == QLatin1String("valuechanged")) {
            control::DpiGearEdit edit;
            edit.gear = adv.cruseldpi;
            edit.value = value;
            EditGear(edit);
        } else {
            ShowDraggedValue(value);
        }
        return true;
    }
    if (name == kFire &&
        (msg.sType == QLatin1String("movevaluechanged") || msg.sType == QLatin1String("valuechanged"))) {
        auto* slider = qobject_cast<CSliderUI*>(msg.pSender);
        int value = slider->GetValue();
        if (value == 0) {
            value = 2;
            slider->SetValue(value);
        }
        if (auto* label = m_pm.FindControl(QStringLiteral("lab_MouseAdv_FireValue")))
            label->SetText(QString::number(value));
        if (msg.sType == QLatin1String("valuechanged") && m_hooks.setFire) {
            const control::OpResult r = m_hooks.setFire(m_profile, value);
            if (r.outcome == control::OpResult::Outcome::Refused) {
                DebugF("DPI page: fire value not changed: %s\n", r.reason);
                Refresh();
            }
        }
        return true;
    }
    if (const int k = IndexAfter(name, kEdit); k >= 0) {
        if (msg.sType != QLatin1String("return") && msg.sType != QLatin1String("killfocus")) return true;
        if (k != adv.cruseldpi) return true;
        const std::string typed = msg.pSender->GetText().toStdString();
        const int value = m_table.FromTypedText(typed);
        if (value == adv.gears[static_cast<std::size_t>(k)].value &&
            msg.sType == QLatin1String("killfocus")) {
            ShowGearValue(k);
            return true;
        }
        control::DpiGearEdit edit;
        edit.gear = k;
        edit.value = value;
        EditGear(edit);
        return true;
    }
    if (const int k = IndexAfter(name, kEnable); k >= 0) {
        if (msg.sType != QLatin1String("selectchanged")) return true;
        control::DpiGearEdit edit;
        edit.gear = k;
        edit.enabled = qobject_cast<CCheckBoxUI*>(msg.pSender)->GetCheck();
        EditGear(edit);
        return true;
    }
    if (const int k = IndexAfter(name, kGearOption); k >= 0) {
        if (msg.sType != QLatin1String("selectchanged") ||
            !qobject_cast<COptionUI*>(msg.pSender)->IsSelected())
            return true;
        control::DpiGearEdit edit;
        edit.gear = k;
        edit.current = true;
        EditGear(edit);
        return true;
    }
    if (const int k = IndexAfter(name, kColour); k >= 0) {
        if (msg.sType != QLatin1String("click")) return true;
        std::uint32_t colour = adv.gears[static_cast<std::size_t>(k)].colour;
        if (m_hooks.chooseColour && m_hooks.chooseColour(colour)) {
            control::DpiGearEdit edit;
            edit.gear = k;
            edit.colour = colour & 0xFFFFFFu;
            EditGear(edit);
        }
        return true;
    }
    if (const int k = IndexAfter(name, kRate); k >= 0) {
        if (msg.sType != QLatin1String("selectchanged") ||
            !qobject_cast<COptionUI*>(msg.pSender)->IsSelected())
            return true;
        if (m_hooks.setReportRate) m_hooks.setReportRate(m_profile, k);
        return true;
    }
    if (name == QLatin1String("btn_MouseAdv_Sysproperties") && msg.sType == QLatin1String("click")) {
        if (m_hooks.openSystemMouseSettings) m_hooks.openSystemMouseSettings();
        return true;
    }
    return false;
}

}  // namespace zor
