#include "UiTestSupport.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QDir>

#include "support/TempDir.h"
#include "support/UserInput.h"
#include "ui/PaintManager.h"

namespace zor::ui::test {

QString SourceRes() {
    return QString::fromStdString((zor::test::SourceDir() / "res").string()) + '/';
}
QString TestData() {
    return QStringLiteral(ZOR_UI_TEST_DATA "/");
}
QString BuildDir() {
    return QString::fromStdString(zor::test::BuildDir().string());
}

void UseSkin(const QString& skin) {
    CPaintManagerUI::SetInstancePath(SourceRes());
    CPaintManagerUI::SetResourcePath(SourceRes() + skin);
    SetResourcePrefix(QStringLiteral("./") + skin);
}

void Click(QWidget* widget, Qt::MouseButton button) {
    zor::test::ClickControl(widget, button);
}

}  // namespace zor::ui::test

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
