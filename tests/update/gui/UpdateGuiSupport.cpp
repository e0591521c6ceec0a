#include "UpdateGuiSupport.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <QApplication>
#include <QWindow>

#include <nlohmann/json.hpp>

#include "UpdateService.h"
#include "support/UserInput.h"
#include "ui/Controls.h"
#include "ui/PaintManager.h"
#include "update/UpdatePaths.h"

namespace zor::update::test {

void UseSkin(const char* skin) {
    const QString res = QString::fromStdString((zor::test::SourceDir() / "res").string()) + '/';
    ui::CPaintManagerUI::SetInstancePath(res);
    ui::CPaintManagerUI::SetResourcePath(res + QLatin1String(skin) + '/');
    ui::SetResourcePrefix(QStringLiteral("./") + QLatin1String(skin));
}

bool ClickControl(ui::WindowImplBase& window, const char* name) {
    ui::CControlUI* control = window.FindControl(QLatin1String(name));
    return control != nullptr && zor::test::ClickControl(control);
}

QString ControlText(const ui::WindowImplBase& window, const char* name) {
    ui::CControlUI* control = window.FindControl(QLatin1String(name));
    return control ? control->GetText() : QString();
}

bool ControlVisible(const ui::WindowImplBase& window, const char* name) {
    ui::CControlUI* control = window.FindControl(QLatin1String(name));
    return control != nullptr && control->isVisible();
}

void WriteVersionFiles(const std::filesystem::path& folder, const zor::test::LocalHttpServer& server,
                       const std::string& installerName) {
    std::filesystem::create_directories(folder / "res");
    zor::test::WriteFile(VersionInfoPath(folder),
                         zor::test::VersionInfoJson("zormouse", "0.1.0", server.Url("/api/")));
    zor::test::WriteFile(LocalVersionPath(folder),
                         nlohmann::json{{"LocalVersion",
                                         {{"CurVersion", "0.1.0"},
                                          {"SeverCenterURL", server.Url("/SeverVersion.json")},
                                          {"InstallerURL", server.Url("/installer/" + installerName)}}}}
                             .dump());
}

}  // namespace zor::update::test

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // A private runtime folder: the updater's single-instance channel of these tests meets no
    // other copy on this machine.
    char runtime[] = "/tmp/zor-update-gui-XXXXXX";
    if (mkdtemp(runtime) != nullptr) qputenv("XDG_RUNTIME_DIR", runtime);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int code = RUN_ALL_TESTS();
    std::error_code ignored;
    std::filesystem::remove_all(runtime, ignored);
    return code;
}
