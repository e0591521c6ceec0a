#include "app/PageHost.h"

#include <QProcess>
#include <QStandardPaths>
#include <algorithm>

#include "app/ZorMainWndNames.h"
#include "common/Debug.h"
#include "common/IniFile.h"
#include "common/ProgramPaths.h"
#include "common/Text.h"
#include "config/AppFeature.h"
#include "config/ConfigExchange.h"
#include "config/DpiEventCode.h"
#include "control/Operations.h"
#include "control/SettingsOperations.h"
#include "device/DevicePresence.h"
#include "macro/gui/FileDialogs.h"
#include "settings/DpiRules.h"
#include "settings/KeyAssign.h"
#include "settings/PopColor.h"
#include "settings/gui/OnScreenKeyboard.h"
#include "settings/gui/PopColorWnd.h"
#include "ui/LazyInclude.h"

namespace zor::app {

namespace {
const QString kMacroFilter = QStringLiteral("Config File(*.Macro.Config)");
const QString kConfigFilter = QString::fromLatin1(kConfigExchangeFilter.data(), kConfigExchangeFilter.size());
}  // namespace

PageHost::PageHost(Parts parts, Hooks hooks) : m_parts(parts), m_hooks(std::move(hooks)) {}

PageHost::~PageHost() = default;

void PageHost::RequestApply(int kind, int profile, bool sync) {
    if (sync)
        SendMessageTo(&m_parts.window, kMsgApply, kind, profile);
    else
        PostMessageTo(&m_parts.window, kMsgApply, kind, profile);
}

control::OpResult PageHost::WindowSender::SendEdit(const control::DeviceEdit& edit) {
    // The edit is stored; it goes with the next run when one is on the mouse now.
    if (m_host.Busy()) {
        DebugF("change of kind %d not sent, a run is in progress\n", static_cast<int>(edit.kind));
        return {};
    }
    if (edit.power) {
        if (m_host.m_hooks.singleWrite) m_host.m_hooks.singleWrite(edit.single, edit.kind);
        return {};
    }
    control::RunScheduler& scheduler = m_host.m_parts.scheduler;
    if (edit.fireKeys) scheduler.Flags().fireKeyResend = true;
    if (edit.key >= 0) scheduler.SetCurrentKey(edit.key);
    m_host.RequestApply(static_cast<int>(edit.kind), edit.profile, m_immediate);
    return {};
}

control::OpResult PageHost::WindowSender::SendProfileChoice(int profile) {
    PostMessageTo(&m_host.m_parts.window, kMsgApply,
                  kApplySyncFlag | static_cast<int>(ApplyKind::ActiveProfile), profile);
    return {};
}

control::OpResult PageHost::WindowSender::SendConfiguration(int profile, const std::vector<int>& keys) {
    // The window applies what its pages changed, for the profile they show.
    if (!keys.empty())
        return control::OpResult::Refuse("the window applies a whole profile, not single keys");
    if (profile != m_host.m_parts.model.Profile())
        return control::OpResult::Refuse("the window applies the profile its pages show");
    if (m_host.m_parts.scheduler.RunInProgress())
        return control::OpResult::Refuse("a transfer to the mouse is in progress");
    if (m_host.m_hooks.applyEdits) m_host.m_hooks.applyEdits();
    return {};
}

bool PageHost::Busy() const {
    return m_parts.scheduler.RunInProgress() || m_parts.scheduler.Flags().profileChanged;
}

std::string PageHost::MatchedName() const {
    const DeviceEntry* entry = m_parts.stack.SelectedEntry();
    return entry != nullptr ? entry->matchedName : std::string();
}

// ---------------------------------------------------------------- building the pages

void PageHost::Build() {
    CPaintManagerUI& pm = m_parts.window.PaintManager();
    DpiPage::Hooks hooks;
    hooks.setGear = [this](int profile, const control::DpiGearEdit& edit) {
        return control::SetDpiGear(m_parts.model, m_sender, profile, edit);
    };
    hooks.setFire = [this](int profile, int value) {
        return control::SetFireValue(m_parts.model, m_sender, profile, value);
    };
    hooks.chooseColour = [this](std::uint32_t& colour) { return ChooseColour(colour); };
    hooks.openSystemMouseSettings = [this] { OpenSystemMouseSettings(); };
    hooks.setReportRate = [this](int profile, int option) {
        const control::OpResult r = control::SetReportRate(m_parts.model, control::ConnectionOf(m_parts.stack),
                                                           m_sender, profile, option);
        if (r.outcome == control::OpResult::Outcome::Refused) {
            DebugF("report rate not set: %s\n", r.reason);
            m_dpi->Refresh();  // the option of the stored rate again
        }
    };
    m_dpi = std::make_unique<DpiPage>(pm, m_parts.model.doc, std::move(hooks));
    BuildLightingPage();
    BuildKeyPage();
    BuildMacroPage();
    PowerPage::Hooks power;
    power.set = [this](const std::vector<std::pair<PowerKey, int>>& values, const PowerRanges& ranges) {
        return control::SetPowerOptions(m_parts.model, m_sender, values, ranges);
    };
    m_power = std::make_unique<PowerPage>(pm, paths::SetIni(m_parts.context.programFolder), std::move(power));
}

void PageHost::BuildLightingPage() {
    LightingPage::Hooks hooks;
    hooks.edit = [this](int profile, const LightingEdit& edit) {
        return control::SetLighting(m_parts.model, m_sender, profile, edit);
    };
    hooks.chooseColour = [this](std::uint32_t colour) -> std::optional<std::uint32_t> {
        if (!ChooseColour(colour)) return std::nullopt;
        return colour;
    };
    hooks.text = [this](const QString& id) { return m_parts.notices.Text(id); };
    m_light =
        std::make_unique<LightingPage>(m_parts.window.PaintManager(), m_parts.model.doc, std::move(hooks));
}

void PageHost::BuildKeyPage() {
    ui::WindowImplBase& window = m_parts.window;
    KeyPage::Hooks hooks;
    hooks.assign = [this](int profile, int slot, const KeyChoice& choice) {
        AssignStatus status = AssignStatus::BadSlot;
        const control::OpResult r =
            control::SetKey(m_parts.model, m_sender, control::KeyRulesOf(m_parts.stack, m_parts.model),
                            profile, slot, choice, &status);
        if (r.outcome == control::OpResult::Outcome::Refused) DebugF("key %d not set: %s\n", slot, r.reason);
        return status;
    };
    hooks.restore = [this](int profile, int slot, const doc::KeyAssignment& previous) {
        control::RestoreKeyAssignment(m_parts.model, m_sender, profile, slot, previous);
    };
    hooks.ble = [this] { return m_parts.stack.Link().bleMode.load() != 0; };
    hooks.setCurrentKey = [this](int slot) { m_parts.scheduler.SetCurrentKey(slot); };
    hooks.text = [this](const QString& id) { return m_parts.notices.Text(id); };
    hooks.messageBox = [this](const QString& title, const QString& text) {
        m_parts.notices.ShowInfo(title, text);
    };
    hooks.postSetValue = [&window] { PostMessageTo(&window, kMsgKeyPopSetValue, 1, 1); };
    hooks.sendRecordKey = [&window](unsigned scan) { SendMessageTo(&window, kMsgRecordKey, scan, 0); };
    hooks.startOnScreenKeyboard = [] { return StartOnScreenKeyboard(); };
    hooks.showPage = [&window] {
        if (auto* nav = window.Find<COptionUI>(QStringLiteral("opt_nav_keys"))) nav->Selected(true);
    };
    hooks.functionText = [this](int code) { return FunctionText(code); };
    control::ModelSession& model = m_parts.model;
    m_keys = std::make_unique<KeyPage>(window.PaintManager(), &window, model.doc, model.macros, model.catalog,
                                       model.keys, std::move(hooks));
    if (auto* nav = window.FindControl(QStringLiteral("opt_nav_keys"))) nav->SetVisible(true);
}

void PageHost::BuildMacroPage() {
    ui::WindowImplBase& window = m_parts.window;
    MacroPage::Hooks hooks;
    hooks.text = [this](const QString& key) { return MacroText(key); };
    hooks.messageBox = [this, &window](const QString& titleKey, const QString& textKey, bool withCancel) {
        auto text = [this](const QString& key) {
            const QString t = MacroText(key);
            return t.isEmpty() ? key : t;
        };
        return CMsgWnd::ShowMessageBox(
            &window, text(titleKey), text(textKey), withCancel ? CMsgWnd::kConfirm : CMsgWnd::kInfo,
            text(QStringLiteral("MessageOK")), text(QStringLiteral("MessageCancel")));
    };
    hooks.chooseImportFiles = [&window] { return ChooseOpenFiles(&window, kMacroFilter, true); };
    hooks.chooseExportFile = [&window](const QString& suggested) {
        return ChooseSaveFile(&window, kMacroFilter, suggested, QStringLiteral("Macro.Config"));
    };
    hooks.exported = [this](const QString& path) { TellExported(path); };
    hooks.deviceChangesPending = [] { DebugLine("a bound macro changed: Apply sends it to the mouse\n"); };
    hooks.macroNamesChanged = [&window] { PostMessageTo(&window, kMsgMacroKeyTexts); };
    hooks.dpiEventCode = [this] { return control::DpiEventCodeOfModel(m_parts.model); };
    m_macro = std::make_unique<MacroPage>(window, m_parts.model.macros, m_parts.model.keys, std::move(hooks));
}

// The catalog names the functions in English, briefly, for the keys. Another language names a
// built-in function by the text of its item in the key popup's lists ("ItemValue" + code + "_"
// + name), which every language file carries.
QString PageHost::FunctionText(int code) const {
    if (m_parts.language.AppliedIndex() == ui::kEnglishIndex) return {};
    static const QString prefix = QStringLiteral("ItemValue");
    for (const auto& [id, text] : m_parts.language.Current().Section(QStringLiteral("MouseUI"))) {
        if (!id.startsWith(prefix, Qt::CaseInsensitive) || id.endsWith(QLatin1String("_tip"))) continue;
        const qsizetype end = id.indexOf(QLatin1Char('_'), prefix.size());
        bool number = false;
        if (end > prefix.size() && id.mid(prefix.size(), end - prefix.size()).toInt(&number) == code &&
            number)
            return text;
    }
    return {};
}

// A finished export says where the file went, so the user can find it.
void PageHost::TellExported(const QString& path) {
    m_parts.notices.ShowInfo(m_parts.notices.Text("Tip"),
                             m_parts.notices.Text("ExportDone") + QLatin1Char('\n') + path);
}

QString PageHost::MacroText(const QString& key) const {
    const LanguageFile& language = m_parts.language.Current();
    for (const char* section : {"Macro", "MacroPopUI", "MacroUI", "OthersUI", "MouseUI"})
        if (auto text = language.Find(QLatin1String(section), key)) return *text;
    return {};
}

// ---------------------------------------------------------------- model and profile

void PageHost::SetModel() {
    control::ModelSession& model = m_parts.model;
    m_dpi->SetTable(DpiTable::FromFeature(model.feature));
    m_light->SetModel(model.feature.ledModes, LoadLightingLayout(model.ModelFolder()));
    const AppFeature app = LoadAppFeature(m_parts.context.programFolder);
    const DeviceEntry* selected = m_parts.stack.SelectedEntry();
    m_keys->SetModel(
        model.ModelFolder(),
        IniFile(paths::SetIni(m_parts.context.programFolder)).GetInt("Set", "OnlyOnePageVersion") != 0,
        ModelHasLighting(app.keySelLedVis != 0, selected ? selected->productName : std::string()));
}

void PageHost::Refresh() {
    control::DeviceStack& stack = m_parts.stack;
    control::ModelSession& model = m_parts.model;
    const std::string matched = MatchedName();
    const RateConnection connection = control::ConnectionOf(stack);
    m_dpi->SetConnection(connection, matched);
    // Over Bluetooth LE the mouse keeps its own report rate: a line says so in place of the choice.
    if (auto* rate = m_parts.window.FindControl(QStringLiteral("ver_MouseUsbRate")))
        rate->SetVisible(connection != RateConnection::Ble);
    if (auto* note = m_parts.window.FindControl(QStringLiteral("lab_MouseAdv_BleRate")))
        note->SetVisible(connection == RateConnection::Ble);
    const int profile = model.Profile();
    m_dpi->SetProfile(profile);
    m_dpi->Refresh();
    RefreshLighting();
    m_keys->SetProfile(profile);
    m_keys->Refresh();
    m_power->SetModel(model.chip, matched, LoadAppFeature(m_parts.context.programFolder).keySelLedVis != 0);
    m_power->Refresh();
    if (auto* profiles = m_parts.window.Find<CComboUI>(QStringLiteral("btn_Mouse_SelProfile")))
        profiles->SelectItem(profile, false);

    const auto& adv = model.doc.adv[static_cast<std::size_t>(profile)];
    stack.View().Update([&](DeviceViewState& view) {
        view.activeProfile = profile;
        view.currentGear = adv.cruseldpi;
        view.gearMask = 0;
        for (std::size_t g = 0; g < adv.gears.size() && g < 8; ++g)
            if (adv.gears[g].enabled) view.gearMask = static_cast<std::uint8_t>(view.gearMask | (1u << g));
        // The mouse reports its rate as the device code, so the code is what the rules compare.
        view.reportRateCode = ReportRateCode(matched, ReportRateOption(adv, connection));
    });
}

void PageHost::RefreshLighting() {
    m_light->SetProfile(m_parts.model.Profile());
    m_light->Refresh();
    const int deviceMode = m_light->CurrentDeviceMode();
    m_parts.stack.View().Update([deviceMode](DeviceViewState& view) { view.lightingMode = deviceMode - 1; });
}

void PageHost::RetextProfileList() {
    auto* profiles = m_parts.window.Find<CComboUI>(QStringLiteral("btn_Mouse_SelProfile"));
    const QString word = m_parts.notices.Text("ProfileItem");
    if (profiles == nullptr || word.isEmpty()) return;
    const int selected = std::max(profiles->GetCurSel(), 0);
    profiles->RemoveAll();
    for (int p = 1; p <= kConfigProfiles; ++p) profiles->AddItem(QStringLiteral("%1 %2").arg(word).arg(p));
    profiles->SelectItem(selected, false);
}

void PageHost::OnLanguageChanged() {
    RetextProfileList();
    m_light->Refresh();  // the mode names
    if (m_keys) m_keys->Refresh();  // the functions' names
    // The macro page's own texts and its events' names, once it is built and not recording.
    if (m_macro && !m_macro->Recording() &&
        m_parts.window.FindControl(QStringLiteral("tre_Macro_GroupDisplay")))
        m_macro->Rebuild();
}

void PageHost::SelectProfile(int profile) {
    const control::OpResult selected =
        control::SelectProfile(m_parts.model, m_parts.scheduler, m_sender, profile);
    if (!selected.Done()) {
        DebugF("profile %d not selected: %s\n", profile, selected.reason);
        if (auto* profiles = m_parts.window.Find<CComboUI>(QStringLiteral("btn_Mouse_SelProfile")))
            profiles->SelectItem(m_parts.model.Profile(), false);
        return;
    }
    Refresh();
}

// ---------------------------------------------------------------- notifications

void PageHost::OnPageBuilt(TNotifyUI& msg, bool started) {
    auto* part = qobject_cast<CLazyIncludeUI*>(msg.pSender);
    if (part == nullptr) return;
    const QString source = part->GetSource();
    if (source == QLatin1String("page_light.xml"))
        RefreshLighting();
    else if (source == QLatin1String("page_power.xml") && m_power)
        m_power->Refresh();
    else if (source == QLatin1String("page_keys.xml") && m_keys)
        m_keys->OnBuilt();
    else if (source == QLatin1String("tab_mac.xml") && m_macro && started)
        m_macro->Rebuild();
}

void PageHost::ShowSettingsPage(TNotifyUI& msg) {
    auto* option = qobject_cast<COptionUI*>(msg.pSender);
    if (option == nullptr || option->GetGroup() != QLatin1String("navigation_bar") || !option->IsSelected())
        return;
    const QString name = option->GetName();
    if (!name.startsWith(QLatin1String("opt_nav_"))) return;
    auto* tabs = m_parts.window.Find<CContainerUI>(QStringLiteral("tab_settings"));
    if (tabs == nullptr) return;
    const QString page = QStringLiteral("page_") + name.mid(8);
    for (int i = 0; i < tabs->GetCount(); ++i)
        if (tabs->GetItemAt(i)->GetName() == page) tabs->SelectItem(i);
}

void PageHost::Notify(TNotifyUI& msg) {
    auto* macroNav = m_parts.window.Find<COptionUI>(QStringLiteral("btn_Mac"));
    const bool macroPage = macroNav != nullptr && macroNav->IsSelected();
    const QString sender = msg.pSender ? msg.pSender->GetName() : QString();
    const bool menu = msg.sType == QLatin1String("MyMenuClick");
    const bool exchange =
        menu && (msg.sText == QLatin1String("Import") || msg.sText == QLatin1String("Export"));
    if (macroPage && sender != QLatin1String("btn_Mouse_SelProfile") &&
        sender != QLatin1String("btn_Mouse_More")) {
        if (menu && msg.sText == QLatin1String("Reset"))
            m_hooks.resetToFactory();
        else if (exchange)
            ExchangeConfig(msg.sText);
        else if (m_macro)
            m_macro->Notify(msg);
        return;  // the macro editor's notifications
    }
    if (exchange) {
        ExchangeConfig(msg.sText);
        return;
    }
    if (menu && msg.sText == QLatin1String("Reset")) {
        m_hooks.resetToFactory();
        return;
    }
    if (msg.pSender != nullptr || msg.sType == QLatin1String("WM_RecordKey")) {
        if (m_keys && m_keys->Notify(msg)) return;
        if (m_dpi && m_dpi->Notify(msg)) return;
        if (m_light && m_light->Notify(msg)) return;
        if (m_power && m_power->Notify(msg)) return;
        if (msg.sType == QLatin1String("click") && sender == QLatin1String("btn_Mouse_Apply")) {
            const control::OpResult applied = control::ApplyConfiguration(m_parts.model, m_sender);
            if (!applied.Done()) DebugF("not applied: %s\n", applied.reason);
        }
    }
}

void PageHost::OnMenuItem(const QString& item) {
    CControlUI sender;
    sender.SetName(QStringLiteral("MouseDevice"));
    TNotifyUI note;
    note.sType = QStringLiteral("MyMenuClick");
    note.pSender = &sender;
    note.sText = item;
    Notify(note);
}

void PageHost::ExchangeConfig(const QString& command) {
    if (m_parts.scheduler.RunInProgress() || (m_macro && m_macro->Recording())) return;
    ui::WindowImplBase& window = m_parts.window;
    const std::filesystem::path folder = m_parts.model.ModelFolder();
    const std::u16string model =
        Utf8ToUtf16(IniFile(DeviceFeaturePath(folder)).GetString("Init", "PRODUCTNAME"));
    auto text = [this](const char* key) { return MacroText(QLatin1String(key)); };
    if (command == QLatin1String("Export")) {
        m_parts.model.Save();
        const QString path = ChooseSaveFile(
            &window, kConfigFilter, QString::fromStdU16String(model) + QStringLiteral(".Mouse.Config"),
            QStringLiteral("Mouse.Config"));
        if (path.isEmpty()) return;
        const control::OpResult r = control::ExportConfiguration(folder, path.toStdString());
        if (!r.Done())
            CMsgWnd::ShowMessageBox(&window, text("Error"), text("ExportErr"), CMsgWnd::kInfo,
                                    text("MessageOK"));
        else
            TellExported(path);
        return;
    }
    const QStringList chosen = ChooseOpenFiles(&window, kConfigFilter, false);
    if (chosen.isEmpty()) return;
    const control::OpResult r =
        control::ImportConfiguration(m_parts.context.programFolder, folder, chosen.first().toStdString());
    if (!r.Done()) {
        // Nothing was copied: the configuration stays as it is and nothing is sent.
        DebugF("configuration not imported: %s\n", r.reason);
        CMsgWnd::ShowMessageBox(&window, text("Error"), text("ImportErr"), CMsgWnd::kInfo, text("MessageOK"));
        return;
    }
    m_hooks.imported();
}

// ---------------------------------------------------------------- the colour picker and the DPI pop-up

bool PageHost::ChooseColour(std::uint32_t& colour) {
    // The picker answers with message 2025; Cancel sends nothing.
    m_pickedColour.reset();
    CPopColorWnd::Choose(&m_parts.window, PopColorPath(m_parts.model.ModelFolder()), colour, 1);
    if (!m_pickedColour) return false;
    colour = *m_pickedColour;
    return true;
}

void PageHost::ShowDpiPop(int gear) {
    if (IniFile(paths::SetIni(m_parts.context.programFolder)).GetInt("Set", "DpiPopEn") == 0) return;
    if (gear < 0 || gear >= kDpiGearCount) return;
    const int profile = m_parts.model.Profile();
    const auto& adv = m_parts.model.doc.adv[static_cast<std::size_t>(profile)];
    const int value = static_cast<std::size_t>(gear) < adv.gears.size()
                          ? adv.gears[static_cast<std::size_t>(gear)].value
                          : 0;
    auto text = [this](const char* id, const char* fallback) {
        const QString t = m_parts.notices.Text(id);
        return t.isEmpty() ? QString::fromLatin1(fallback) : t;
    };
    PopPushInfo info;
    info.level = gear + 1;
    info.dpi = value;
    info.dpiValue = QString::fromStdString(m_dpi->Table().Label(value));
    info.dpiText = text("PopDpiText", "DPI");
    info.modeText = QStringLiteral("%1 %2").arg(text("ProfileItem", "Profile")).arg(profile + 1);
    if (const DeviceEntry* entry = m_parts.stack.SelectedEntry())
        info.deviceName = QString::fromStdString(entry->displayName);
    if (!m_popPush) {
        // Built when first needed: most sessions never see it.
        m_popPush = std::make_unique<CPopPush>();
        m_popPush->CreatePopup();
    }
    m_popPush->SetSliderMax(m_dpi->Table().Max());
    m_popPush->Show(info);
}

void PageHost::OpenSystemMouseSettings() {
    const std::vector<QStringList> candidates = {
        {QStringLiteral("gnome-control-center"), QStringLiteral("mouse")},
        {QStringLiteral("systemsettings"), QStringLiteral("kcm_mouse")},
        {QStringLiteral("xfce4-mouse-settings")},
        {QStringLiteral("lxqt-config-input")}};
    for (const QStringList& command : candidates) {
        const QString program = QStandardPaths::findExecutable(command.first());
        if (program.isEmpty()) continue;
        if (QProcess::startDetached(program, command.mid(1))) return;
    }
    m_parts.notices.Ask("Tip", m_parts.notices.Text("NoMouseSettings"));
}

// ---------------------------------------------------------------- the pages' messages

void PageHost::ForKeyPage(const WindowMessage& message) {
    if (!m_keys) return;  // before the window is initialised
    switch (message.id) {
        case kMsgKeyPopSetValue:
            m_keys->OnPopSetValue(static_cast<int>(message.wParam));
            CResourceManager::GetInstance().ReloadText();
            message.handled = true;
            break;
        case kMsgRecordKey:
            m_keys->OnRecordKey(static_cast<unsigned>(message.wParam));
            break;
        case kWmMouseMove:
            m_keys->OnMouseMove(PointFromParam(message.lParam));
            break;
        case kWmMouseActivate:
            m_keys->ClearHover();
            break;
        default:
            break;
    }
}

long long PageHost::ForMacroEditor(const WindowMessage& message) {
    return m_macro ? m_macro->HandleMessage(message.id, message.wParam, message.lParam, message.handled) : 0;
}

void PageHost::OnPopColour(const WindowMessage& message) {
    message.handled = true;
    if (message.wParam == 1) m_pickedColour = static_cast<std::uint32_t>(message.lParam) & 0xFFFFFFu;
}

void PageHost::OnDeviceLightChanged(const WindowMessage& message) {
    const int deviceMode = static_cast<int>(message.wParam & 0x3F);
    if (!m_light->ShowDeviceMode(deviceMode))
        DebugF("the mouse chose lighting mode %d, which this model's page does not offer\n", deviceMode);
    m_parts.stack.View().Update([deviceMode](DeviceViewState& view) { view.lightingMode = deviceMode - 1; });
}

void PageHost::OnDeviceDpiChanged(const WindowMessage& message) {
    const int gear = static_cast<int>(message.wParam & 0xFF) - 1;
    m_dpi->ShowCurrentGear(gear);
    m_parts.stack.View().Update([gear](DeviceViewState& view) { view.currentGear = gear; });
    if (!m_parts.scheduler.RunInProgress()) ShowDpiPop(gear);
}

void PageHost::OnDeviceRateChanged(const WindowMessage& message) {
    // The report carries the device's rate code; the page shows the option that stands for it.
    const auto code = static_cast<std::uint8_t>(message.wParam & 0xFF);
    const std::string model = MatchedName();
    const int option = ReportRateIndex(model, code);
    if (ReportRateCode(model, option) != code) {
        DebugF("report rate code %d is not one of this model's rates\n", static_cast<int>(code));
        return;
    }
    auto& adv = m_parts.model.doc.adv[static_cast<std::size_t>(m_parts.model.Profile())];
    const bool receiver = m_parts.stack.Presence().ConnectionKind() == kConnectionReceiver;
    StoreReportRate(adv, receiver ? RateConnection::Receiver : RateConnection::Cable, option);
    m_dpi->ShowReportRate(option);
    m_parts.stack.View().Update([code](DeviceViewState& view) { view.reportRateCode = code; });
}

void PageHost::OnStageSwitch(const WindowMessage&) {
    const DeviceViewState view = m_parts.stack.View().Get();
    if (view.activeProfile != m_parts.model.Profile() && view.activeProfile >= 0 &&
        view.activeProfile < kConfigProfiles) {
        m_parts.model.SetProfile(view.activeProfile);
        Refresh();
    }
    m_dpi->ShowCurrentGear(view.currentGear);
    if (!m_parts.scheduler.RunInProgress()) ShowDpiPop(view.currentGear);
}

void PageHost::OnMacroKeyTexts(const WindowMessage&) {
    // Keys that play a renamed or removed macro show its new name (or lose it).
    control::ModelSession& model = m_parts.model;
    model.doc.RefreshMacroLabels(model.macros, model.catalog, model.keys);
    Refresh();
}

}  // namespace zor::app
