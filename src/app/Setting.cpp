#include "app/Setting.h"

#include <QLineEdit>
#include <algorithm>
#include <string>

#include "common/Debug.h"
#include "common/IniFile.h"
#include "config/MouseConfig.h"
#include "ui/Language.h"
#include "ui/PaintManager.h"

namespace zor::app {
namespace {

using control::AppProfileRules;
using ui::CComboUI;
using ui::CControlUI;
using ui::COptionUI;

constexpr const char* kSection = "Set";

}  // namespace

Setting::Setting(Init init, Hooks hooks)
    : m_init(std::move(init)),
      m_hooks(std::move(hooks)),
      m_closeOption(m_init.closeOption),
      m_remind(m_init.remind) {}

int Setting::ReadInt(const char* key) const {
    return IniFile(m_init.setIni).GetInt(kSection, key);
}

bool Setting::WriteInt(const char* key, int value) const {
    if (IniFile(m_init.setIni).WriteString(kSection, key, std::to_string(value))) return true;
    DebugF("settings window: %s not written, Set.ini cannot be written\n", key);
    return false;
}

void Setting::SetCheck(const char* name, bool on) {
    if (auto* option = Find<COptionUI>(QLatin1String(name))) option->Selected(on, false);
}

bool Setting::IsChecked(const char* name) const {
    const auto* option = Find<COptionUI>(QLatin1String(name));
    return option != nullptr && option->IsSelected();
}

void Setting::Fill() {
    m_initialising = true;
    if (auto* mark = FindControl(QStringLiteral("setting_red_point")))
        mark->SetVisible(m_init.updateAvailable);
    if (auto* version = FindControl(QStringLiteral("ver_text"))) version->SetText(m_init.version);
    ShowLanguage();
    ShowStartOptions();
    SetCheck("opt_lightmode", ReadInt("OverallLightControlEn") != 0);
    SetCheck("Exit", m_closeOption != 0);
    SetCheck("Minimize", m_closeOption == 0);
    SetCheck("RemindAgain", m_remind != 0);
    ShowAppProfiles();
    RequestChargeCounter();
    m_initialising = false;
}

void Setting::ShowLanguage() {
    auto* combo = Find<CComboUI>(QStringLiteral("btn_language"));
    if (combo == nullptr) return;
    const QString name = ui::LanguageName(ui::ProgramLanguage(m_init.setIni));
    for (int i = 0; i < combo->GetCount(); ++i)
        if (combo->GetItemData(i).compare(name, Qt::CaseInsensitive) == 0) combo->SelectItem(i, false);
}

void Setting::ShowStartOptions() {
    const bool open = ReadInt("AutomaticallyOpenEn") != 0;
    SetCheck("opt_automaticallyOpen", open);
    // Hidden start only means something when the program starts with the desktop.
    SetCheck("opt_automaticallyHide", open && ReadInt("AutomaticallyHideEn") != 0);
    if (auto* hide = FindControl(QStringLiteral("opt_automaticallyHide"))) hide->SetEnabled(open);
    SetCheck("opt_dpipopck", ReadInt("DpiPopEn") != 0);
}

void Setting::RequestChargeCounter() {
    // "--" until the count arrives, and for good when it cannot be read now.
    ShowChargeCounter(-1);
    if (m_hooks.requestChargeCounter) m_hooks.requestChargeCounter();
}

void Setting::ShowChargeCounter(int count) {
    if (auto* label = FindControl(QStringLiteral("ChargeCntLabel")))
        label->SetText(count >= 0 ? QString::number(count) : QStringLiteral("--"));
}

void Setting::ShowPage(const QString& nav) {
    static const std::pair<const char*, const char*> kPages[] = {{"opt_routine", "setting_general"},
                                                                 {"opt_more", "setting_more"},
                                                                 {"opt_apps", "setting_apps"},
                                                                 {"opt_about", "setting_about"}};
    auto* tabs = Find<ui::CContainerUI>(QStringLiteral("tab_setting"));
    if (tabs == nullptr) return;
    for (const auto& [option, page] : kPages) {
        if (nav != QLatin1String(option)) continue;
        for (int i = 0; i < tabs->GetCount(); ++i)
            if (tabs->GetItemAt(i)->GetName() == QLatin1String(page)) tabs->SelectItem(i);
    }
}

void Setting::FlipAutostart() {
    const bool open = ReadInt("AutomaticallyOpenEn") == 0;
    bool hidden = ReadInt("AutomaticallyHideEn") != 0;
    if (auto* hide = FindControl(QStringLiteral("opt_automaticallyHide"))) hide->SetEnabled(open);
    if (!open) {
        hidden = false;
        SetCheck("opt_automaticallyHide", false);
    }
    SetCheck("opt_automaticallyOpen", open);
    WriteInt("AutomaticallyOpenEn", open ? 1 : 0);
    WriteInt("AutomaticallyHideEn", hidden ? 1 : 0);
    if (m_hooks.alignAutostart) m_hooks.alignAutostart();
}

void Setting::FlipHiddenStart() {
    const bool hidden = ReadInt("AutomaticallyHideEn") == 0;
    SetCheck("opt_automaticallyHide", hidden);
    WriteInt("AutomaticallyHideEn", hidden ? 1 : 0);
    if (m_hooks.alignAutostart) m_hooks.alignAutostart();
}

void Setting::FlipFlag(const char* key, const char* option) {
    const bool on = ReadInt(key) == 0;
    SetCheck(option, on);
    WriteInt(key, on ? 1 : 0);
}

void Setting::Notify(ui::TNotifyUI& msg) {
    if (msg.sType == QLatin1String("windowinit")) {
        Fill();
        return;
    }
    const QString name = msg.pSender != nullptr ? msg.pSender->GetName() : QString();
    if (!m_initialising && OnAppProfilesNotify(msg, name)) return;
    if (msg.sType == QLatin1String("itemselect") && name == QLatin1String("btn_language")) {
        auto* combo = qobject_cast<CComboUI*>(msg.pSender);
        const QString language = combo->GetItemData(combo->GetCurSel());
        if (!m_initialising && !language.isEmpty())
            ui::SendMessageTo(GetOwner(), ui::kMsgLanguageChanged, 0, 0, language);
        update();
        return;
    }
    if (msg.sType == QLatin1String("selectchanged") && !m_initialising) {
        auto* option = qobject_cast<COptionUI*>(msg.pSender);
        if (option != nullptr && option->GetGroup() == QLatin1String("setting_nav") && option->IsSelected())
            ShowPage(name);
        // The switches toggle themselves; each one's stored value decides the new state.
        if (name == QLatin1String("opt_automaticallyOpen")) FlipAutostart();
        if (name == QLatin1String("opt_automaticallyHide")) FlipHiddenStart();
        if (name == QLatin1String("opt_dpipopck")) FlipFlag("DpiPopEn", "opt_dpipopck");
        if (name == QLatin1String("opt_lightmode")) FlipFlag("OverallLightControlEn", "opt_lightmode");
        return;
    }
    if (msg.sType == QLatin1String("click") && !m_initialising) {
        HandleClick(name);
        return;
    }
    WindowImplBase::Notify(msg);
}

void Setting::HandleClick(const QString& name) {
    QWidget* owner = GetOwner();
    if (name == QLatin1String("btn_close")) {
        ui::PostMessageTo(owner, ui::kMsgSettingClosed);
    } else if (name == QLatin1String("Minimize") || name == QLatin1String("Exit")) {
        m_closeOption = name == QLatin1String("Exit") ? 1 : 0;
        SetCheck("Exit", m_closeOption == 1);
        SetCheck("Minimize", m_closeOption == 0);
        ui::SendMessageTo(owner, ui::kMsgCloseConfig, m_closeOption, -1);
    } else if (name == QLatin1String("RemindAgain")) {
        // The click comes before the box toggles: unchecked now means "ask" from now on.
        m_remind = IsChecked("RemindAgain") ? 0 : 1;
        ui::PostMessageTo(owner, ui::kMsgCloseConfig, -1, m_remind);
    } else if (name == QLatin1String("opt_routine")) {
        m_initialising = true;
        ShowLanguage();
        ShowStartOptions();
        m_initialising = false;
    } else if (name == QLatin1String("opt_more")) {
        SetCheck("opt_lightmode", ReadInt("OverallLightControlEn") != 0);
    } else if (name == QLatin1String("opt_about")) {
        if (auto* mark = FindControl(QStringLiteral("setting_about_red_point")))
            mark->SetVisible(m_init.updateAvailable);
    } else if (name.contains(QLatin1String("link_"))) {
        const std::string address = IniFile(m_init.setIni).GetString(kSection, name.toStdString());
        const QUrl url(QString::fromStdString(address), QUrl::StrictMode);
        // Only web addresses are opened: the entry comes from a file the user may have edited.
        if (!url.isValid() ||
            (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))) {
            DebugF("settings window: %s has no web address\n", name.toStdString());
            return;
        }
        if (m_hooks.openUrl) m_hooks.openUrl(url);
    } else if (name == QLatin1String("btn_update")) {
        ui::SendMessageTo(owner, ui::kMsgStartUpdater, 1, 0);
        ui::PostMessageTo(owner, ui::kMsgSettingClosed);
    }
}

// ---------------------------------------------------------------- profiles per application

QString Setting::Text(const char* id, const char* english) const {
    if (ui::IQueryControlText* query = ui::CResourceManager::GetInstance().GetTextQueryInterface()) {
        const QString text = query->QueryControlText(QLatin1String(id), QString());
        if (!text.isEmpty()) return text;
    }
    return QString::fromUtf8(english);
}

void Setting::ShowAppProfiles() {
    const bool initialising = m_initialising;
    m_initialising = true;
    const control::AppProfilesRead read = control::LoadAppProfiles(m_init.appProfiles);
    SetCheck("opt_appprofiles", read.rules.enabled);
    if (auto* note = FindControl(QStringLiteral("lab_appnosource"))) note->SetVisible(!m_init.focusSource);
    const QString profile = Text("ProfileItem", "Profile");
    if (auto* combo = Find<CComboUI>(QStringLiteral("cmb_appdefault"))) {
        combo->RemoveAll();
        combo->AddItem(Text("AppProfileKeep", "Keep the profile"));
        for (int p = 1; p <= kConfigProfiles; ++p)
            combo->AddItem(QStringLiteral("%1 %2").arg(profile).arg(p));
        combo->SelectItem(read.rules.defaultProfile + 1, false);
    }
    if (auto* combo = Find<CComboUI>(QStringLiteral("cmb_appprofile"))) {
        const int chosen = std::max(combo->GetCurSel(), 0);
        combo->RemoveAll();
        for (int p = 1; p <= kConfigProfiles; ++p)
            combo->AddItem(QStringLiteral("%1 %2").arg(profile).arg(p));
        combo->SelectItem(chosen, false);
    }
    if (auto* combo = Find<CComboUI>(QStringLiteral("cmb_apprunning"))) {
        combo->RemoveAll();
        combo->AddItem(Text("AppRunningPick", "Choose a running application"));
        for (const std::string& app : m_init.knownApps) combo->AddItem(QString::fromStdString(app));
        combo->SelectItem(0, false);
    }
    if (auto* row = FindControl(QStringLiteral("row_apprunning"))) row->SetVisible(!m_init.knownApps.empty());
    if (auto* edit = Find<ui::CEditUI>(QStringLiteral("edt_appid")))
        edit->LineEdit()->setPlaceholderText(Text("AppIdPrompt", "Application id, e.g. firefox"));
    if (auto* rows = Find<ui::CContainerUI>(QStringLiteral("lst_apprules"))) {
        rows->RemoveAll();
        for (const control::AppProfileRule& rule : read.rules.rules) {
            ui::CDialogBuilder builder;
            CControlUI* row =
                builder.Create(QStringLiteral("setting_apprule.xml"), this, &PaintManager(), rows);
            if (row == nullptr) continue;
            const QString id = QString::fromStdString(rule.appId);
            if (auto* label = PaintManager().FindSubControlByName(row, QStringLiteral("AppRuleId")))
                label->SetText(id);
            if (auto* label = PaintManager().FindSubControlByName(row, QStringLiteral("AppRuleProfile")))
                label->SetText(QStringLiteral("%1 %2").arg(profile).arg(rule.profile + 1));
            if (auto* remove = PaintManager().FindSubControlByName(row, QStringLiteral("AppRuleRemove"))) {
                remove->SetText(Text("AppRuleRemove", "Remove"));
                remove->SetUserData(id);
            }
            rows->Add(row);
        }
    }
    if (auto* error = FindControl(QStringLiteral("lab_apperror"))) error->SetVisible(false);
    if (!read.ok) ShowAppProfileError("AppProfilesUnread", "The file of these rules cannot be read.");
    m_initialising = initialising;
}

void Setting::ShowAppProfileError(const char* id, const char* english) {
    DebugF("settings window: profiles per application not changed (%s)\n", id);
    if (auto* error = FindControl(QStringLiteral("lab_apperror"))) {
        error->SetText(Text(id, english));
        error->SetVisible(true);
    }
}

void Setting::EditAppProfiles(const std::function<control::OpResult(AppProfileRules&)>& edit) {
    if (!control::LoadAppProfiles(m_init.appProfiles).ok) {
        ShowAppProfiles();  // as the file is, with the reason
        return;
    }
    const control::OpResult result = control::EditAppProfiles(m_init.appProfiles, edit);
    if (!result.Done()) {
        DebugLine("settings window: " + result.reason + "\n");
        ShowAppProfiles();
        ShowAppProfileError("lab_apperror", "This application id cannot be used.");
        return;
    }
    ShowAppProfiles();
    if (m_hooks.appProfilesChanged) m_hooks.appProfilesChanged();
}

void Setting::AddAppProfile() {
    auto* edit = Find<ui::CEditUI>(QStringLiteral("edt_appid"));
    const auto* combo = Find<CComboUI>(QStringLiteral("cmb_appprofile"));
    if (edit == nullptr || combo == nullptr) return;
    const std::string id = edit->GetText().toStdString();
    const int profile = std::max(combo->GetCurSel(), 0);
    bool added = false;
    EditAppProfiles([&](AppProfileRules& rules) {
        control::OpResult result = rules.Add(id, profile);
        added = result.Done();
        return result;
    });
    if (added) edit->SetText(QString());
}

bool Setting::OnAppProfilesNotify(ui::TNotifyUI& msg, const QString& name) {
    if (msg.sType == QLatin1String("selectchanged") && name == QLatin1String("opt_appprofiles")) {
        const bool on = IsChecked("opt_appprofiles");
        EditAppProfiles([on](AppProfileRules& rules) {
            rules.enabled = on;
            return control::OpResult{};
        });
        return true;
    }
    if (msg.sType == QLatin1String("itemselect") && name == QLatin1String("cmb_appdefault")) {
        const int profile = static_cast<int>(msg.wParam) - 1;
        EditAppProfiles([profile](AppProfileRules& rules) { return rules.SetDefault(profile); });
        return true;
    }
    if (msg.sType == QLatin1String("itemselect") && name == QLatin1String("cmb_apprunning")) {
        // A running application's id goes into the entry, the list shows its prompt again.
        auto* combo = qobject_cast<CComboUI*>(msg.pSender);
        const auto index = static_cast<std::size_t>(msg.wParam);
        if (auto* edit = Find<ui::CEditUI>(QStringLiteral("edt_appid"));
            edit && index >= 1 && index <= m_init.knownApps.size())
            edit->SetText(QString::fromStdString(m_init.knownApps[index - 1]));
        combo->SelectItem(0, false);
        return true;
    }
    if ((msg.sType == QLatin1String("click") && name == QLatin1String("btn_appadd")) ||
        (msg.sType == QLatin1String("return") && name == QLatin1String("edt_appid"))) {
        AddAppProfile();
        return true;
    }
    if (msg.sType == QLatin1String("click") && name == QLatin1String("AppRuleRemove")) {
        const std::string id = msg.pSender->GetUserData().toStdString();
        EditAppProfiles([id](AppProfileRules& rules) { return rules.Remove(id); });
        return true;
    }
    return false;
}

}  // namespace zor::app
