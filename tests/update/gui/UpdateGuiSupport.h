// Shared pieces of the update window tests: the skin in use, a program folder whose version
// files point at the local test service, and a click the way a user makes it.
#pragma once

#include <gtest/gtest.h>
#include <QDesktopServices>
#include <QObject>
#include <QTest>
#include <QUrl>
#include <filesystem>

#include "LocalHttpServer.h"
#include "support/TempDir.h"
#include "ui/WindowImplBase.h"

namespace zor::update::test {

// Points the skin library at <source>/res/<skin>/.
void UseSkin(const char* skin);

// Presses and releases the left button on the top-level window at the control's centre, so the
// window's own hit-testing decides what receives it (tests/support/UserInput.h). False when there
// is no such control or something covers it.
bool ClickControl(ui::WindowImplBase& window, const char* name);
QString ControlText(const ui::WindowImplBase& window, const char* name);
bool ControlVisible(const ui::WindowImplBase& window, const char* name);

// Writes the version files of a program folder: the updater's question goes to
// <server>/api/, the version window's files to <server>/SeverVersion.json and /installer/<name>.
void WriteVersionFiles(const std::filesystem::path& folder, const zor::test::LocalHttpServer& server,
                       const std::string& installerName = "zormouse_2.0.0_amd64.deb");

// Receives what the program hands to the desktop (QDesktopServices::openUrl of file: URLs).
class OpenedUrls : public QObject {
    Q_OBJECT
public:
    OpenedUrls() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "open"); }
    ~OpenedUrls() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

}  // namespace zor::update::test
