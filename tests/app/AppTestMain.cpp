// The program's windows are tested offscreen, or on the platform ZOR_TEST_PLATFORM names (the
// Wayland run of tests/app/Wayland.sh sets "wayland").
#include <gtest/gtest.h>
#include <QApplication>

int main(int argc, char** argv) {
    const QByteArray platform = qgetenv("ZOR_TEST_PLATFORM");
    qputenv("QT_QPA_PLATFORM", platform.isEmpty() ? QByteArrayLiteral("offscreen") : platform);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
