// The main window's side of the macro page (its construction and the services it asks for) and
// the configuration exchange of the mouse page's "more" menu.
#include "app/ZorMainWnd.h"
#include "app/ZorMainWndNames.h"
#include "common/Debug.h"
#include "common/IniFile.h"
#include "common/Text.h"
#include "config/ConfigExchange.h"
#include "config/DpiEventCode.h"
#include "macro/gui/FileDialogs.h"

namespace zor::app {

namespace {
const QString kMacroFilter = QStringLiteral("Config Flie(*.Macro.Config)");
const QString kConfigFilter = QString::fromLatin1(kConfigExchangeFilter.data(), kConfigExchangeFilter.size());
}  // namespace

QString CZorMainWnd::MacroText(const QString& key) const {
    const LanguageFile& language = m_language.Current();
    for (const char* section : {"Macro", "MacroPopUI", "MacroUI", "OthersUI"})
        if (auto text = language.Find(QLatin1String(section), key)) return *text;
    return {};
}

void CZorMainWnd::CreateMacroPage() {
    MacroPage::Hooks hooks;
    hooks.text = [this](const QString& key) { return MacroText(key); };
    hooks.messageBox = [this](const QString& titleKey, const QString& textKey, bool withCancel) {
        auto text = [this](const QString& key) {
            const QString t = MacroText(key);
            return t.isEmpty() ? key : t;
        };
        return CMsgWnd::ShowMessageBox(
            this, text(titleKey), text(textKey), withCancel ? CMsgWnd::kConfirm : CMsgWnd::kInfo,
            text(QStringLiteral("MessageOK")), text(QStringLiteral("MessageCancel")));
    };
    hooks.chooseImportFiles = [this] { return ChooseOpenFiles(this, kMacroFilter, true); };
    hooks.chooseExportFile = [this](const QString& suggested) {
        return ChooseSaveFile(this, kMacroFilter, suggested, QStringLiteral("Macro.Config"));
    };
    hooks.deviceChangesPending = [] { DebugLine("a bound macro changed: Apply sends it to the mouse\n"); };
    hooks.macroNamesChanged = [this] { PostMessageTo(this, kMsgMacroKeyTexts); };
    hooks.dpiEventCode = [this] { return DpiEventCode(m_model.feature); };
    m_macroPage = std::make_unique<MacroPage>(*this, m_model.macros, m_model.keys, std::move(hooks));
}

long long CZorMainWnd::OnMacroKeyTexts(qintptr, qintptr, bool&) {
    // Keys that play a renamed or removed macro show its new name (or lose it).
    m_model.doc.RefreshMacroLabels(m_model.macros, m_model.catalog, m_model.keys);
    RefreshPages();
    return 0;
}

void CZorMainWnd::ExchangeConfig(const QString& command) {
    if (m_scheduler->RunInProgress() || (m_macroPage && m_macroPage->Recording())) return;
    const std::filesystem::path folder = ModelFolder();
    const std::u16string model =
        Utf8ToUtf16(IniFile(DeviceFeaturePath(folder)).GetString("Init", "PRODUCTNAME"));
    auto text = [this](const char* key) { return MacroText(QLatin1String(key)); };
    if (command == QLatin1String("Export")) {
        SaveDocument();
        const QString path = ChooseSaveFile(
            this, kConfigFilter, QString::fromStdU16String(model) + QStringLiteral(".Mouse.Config"),
            QStringLiteral("Mouse.Config"));
        if (path.isEmpty()) return;
        const ConfigExchangeResult r = ExportConfig(path.toStdString(), folder, model);
        if (r.result != 1)
            CMsgWnd::ShowMessageBox(this, text("Error"), text("ExportErr"), CMsgWnd::kInfo,
                                    text("MessageOK"));
        return;
    }
    const QStringList chosen = ChooseOpenFiles(this, kConfigFilter, false);
    if (chosen.isEmpty()) return;
    const ConfigExchangeResult r = ImportConfig(chosen.first().toStdString(), folder, model);
    if (r.outcome != ExchangeOutcome::Done) {
        // Nothing was copied: the configuration stays as it is and nothing is sent.
        DebugF("configuration not imported: %s\n", r.error);
        CMsgWnd::ShowMessageBox(this, text("Error"), text("ImportErr"), CMsgWnd::kInfo, text("MessageOK"));
        return;
    }
    LoadModel();
    PushWithNewProfileIds();
}

}  // namespace zor::app
