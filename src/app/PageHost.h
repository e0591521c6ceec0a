// The pages the main window hosts: the DPI, lighting, key and power pages, the macro page, the
// DPI pop-up and the colour picker. It builds them bound to the skin, hands them the model and
// the profile, routes control notifications and the pages' window messages to them, and keeps
// the state the device's reports are compared with (DeviceView) in step with what they show.
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "app/AppContext.h"
#include "app/Notices.h"
#include "app/WindowMessage.h"
#include "control/DeviceStack.h"
#include "control/ModelSession.h"
#include "control/Operations.h"
#include "control/RunScheduler.h"
#include "macro/gui/MacroPage.h"
#include "settings/gui/DpiPage.h"
#include "settings/gui/KeyPage.h"
#include "settings/gui/LightingPage.h"
#include "settings/gui/PopPush.h"
#include "settings/gui/PowerPage.h"
#include "ui/Language.h"
#include "ui/WindowImplBase.h"

namespace zor::app {

class PageHost {
public:
    // What the window does for it.
    struct Hooks {
        std::function<bool()> resetToFactory;  // the "Reset" command of the "more" menu
        std::function<void()> applyEdits;      // the Apply button: save, announce, push
        std::function<void()> imported;        // a configuration was imported into the model folder
        // A power option's change: its single write (if it has one), then a run of the kind.
        std::function<void(std::optional<SingleSetting> single, ApplyKind kind)> singleWrite;
    };
    struct Parts {
        ui::WindowImplBase& window;
        const AppContext& context;
        control::DeviceStack& stack;
        control::ModelSession& model;
        control::RunScheduler& scheduler;
        ui::LanguageManager& language;
        Notices& notices;
    };
    PageHost(Parts parts, Hooks hooks);
    ~PageHost();

    // Builds the pages on the window's skin.
    void Build();
    // The model just loaded: its DPI table, lighting modes and key layouts.
    void SetModel();
    // Every page shows the profile in use and the connection's limits; the device view follows.
    void Refresh();
    // A page the skin built on first show (lazy include) gets what the others got.
    void OnPageBuilt(ui::TNotifyUI& msg, bool started);
    // A control notification for the pages; the macro page takes all of its own while shown.
    void Notify(ui::TNotifyUI& msg);
    // An item of the tray menu that belongs to the pages, as the mouse page's menu reports it.
    void OnMenuItem(const QString& item);
    // The navigation options of the settings area ("opt_nav_<page>") each show "page_<page>".
    void ShowSettingsPage(ui::TNotifyUI& msg);
    // The profile list's items in the language in use, the choice kept.
    void RetextProfileList();
    void SelectProfile(int profile);
    void OnLanguageChanged();

    DpiPage& Dpi() { return *m_dpi; }
    KeyPage& Keys() { return *m_keys; }
    LightingPage& Light() { return *m_light; }
    MacroPage& Macro() { return *m_macro; }
    MacroPage* MacroIfBuilt() { return m_macro.get(); }
    PowerPage& Power() { return *m_power; }
    CPopPush* DpiPopup() { return m_popPush.get(); }  // null until first shown

    // Message handlers.
    void ForKeyPage(const WindowMessage& message);
    long long ForMacroEditor(const WindowMessage& message);
    void OnPopColour(const WindowMessage& message);
    void OnDeviceLightChanged(const WindowMessage& message);
    void OnDeviceDpiChanged(const WindowMessage& message);
    void OnDeviceRateChanged(const WindowMessage& message);
    void OnStageSwitch(const WindowMessage& message);
    void OnMacroKeyTexts(const WindowMessage& message);

    // The window's way of sending an operation's edit: the pages' posts it to the window, the
    // service's starts the run before it returns, so the call can wait for that run's end.
    control::EditSender& Sender() { return m_sender; }
    control::EditSender& ImmediateSender() { return m_immediateSender; }

private:
    void BuildKeyPage();
    void BuildLightingPage();
    void BuildMacroPage();
    void RefreshLighting();
    bool ChooseColour(std::uint32_t& colour);
    void ShowDpiPop(int gear);
    void OpenSystemMouseSettings();
    // Texts of the macro page and the configuration exchange, from their language sections.
    QString MacroText(const QString& key) const;
    void TellExported(const QString& path);
    QString FunctionText(int code) const;
    // The "Import" and "Export" commands of the "more" menu.
    void ExchangeConfig(const QString& command);
    void RequestApply(int kind, int profile, bool sync);
    bool Busy() const;
    std::string MatchedName() const;

    // The pages' edits reach the mouse as message 2051 to the window (posted, or sent at once),
    // unless a run or a profile change is pending.
    class WindowSender final : public control::EditSender {
    public:
        WindowSender(PageHost& host, bool immediate) : m_host(host), m_immediate(immediate) {}
        control::OpResult SendEdit(const control::DeviceEdit& edit) override;
        control::OpResult SendProfileChoice(int profile) override;
        control::OpResult SendConfiguration(int profile, const std::vector<int>& keys) override;

    private:
        PageHost& m_host;
        bool m_immediate;
    };

    Parts m_parts;
    Hooks m_hooks;
    WindowSender m_sender{*this, false};
    WindowSender m_immediateSender{*this, true};
    std::unique_ptr<DpiPage> m_dpi;
    std::unique_ptr<LightingPage> m_light;
    std::unique_ptr<KeyPage> m_keys;
    std::unique_ptr<MacroPage> m_macro;
    std::unique_ptr<PowerPage> m_power;
    std::unique_ptr<CPopPush> m_popPush;
    std::optional<std::uint32_t> m_pickedColour;  // from the colour picker's 2025
};

}  // namespace zor::app
